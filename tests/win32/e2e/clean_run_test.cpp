// A first installation into an empty folder: every file arrives intact with
// its stored time, and the user sees nothing go wrong.
#include <algorithm>

#include "e2e/e2e_support.h"

namespace e2e {
namespace {

using CleanRun = ScriptedRun;

TEST_F(CleanRun, WritesEveryFileIntactWithItsTimeAndShowsNoWindow) {
    const std::string folder = "C:\\twtest\\clean";
    ASSERT_TRUE(makeEmptyFolder(folder));

    ASSERT_TRUE(user.start(buildPath(TW_SETUP_EXE), folder));
    expectQuietSuccess(user, "after-exit");
    if (HasFatalFailure()) return;

    std::vector<std::string> expectedNames;
    for (const PayloadFile& file : tarnwickFiles()) {
        SCOPED_TRACE(file.name);
        expectedNames.push_back(file.name);
        std::vector<uint8_t> written, genuine;
        ASSERT_TRUE(readFile(joinPath(folder, file.name), &written));
        ASSERT_TRUE(readFile(file.source, &genuine)) << file.source;
        EXPECT_TRUE(written == genuine) << written.size() << " bytes written, "
                                        << genuine.size() << " in the product";
        // The generator stores the source's modification time at build time.
        EXPECT_EQ(modificationTime(joinPath(folder, file.name)), modificationTime(file.source));
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(folderEntries(folder), expectedNames);
}

}  // namespace
}  // namespace e2e
