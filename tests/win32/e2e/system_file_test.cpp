// Files named "SYSTEM/..." go to the system directory, where another
// product may already have placed a later version.
#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"

namespace e2e {
namespace {

using SystemFile = ScriptedRun;

// The times stored for the test product (products/system/product.json).
const int64_t LIBRARY_TIME = 1000000000;
const int64_t README_TIME = 1100000000;
const int64_t ONE_DAY = 86400;

std::string systemLibraryPath() {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, sizeof directory);
    return length > 0 && length < sizeof directory ? joinPath(directory, "twsystest.dll") : "";
}

std::string productFile(const char* name) {
    return joinPath(buildPath(TW_SYSTEM_PRODUCT_DIR), std::string("files\\") + name);
}

// Runs the system product's setup into a new folder below `parent`; it
// must reach the final question without another message, end with 0 after
// its No, and leave the plain file in the folder.
void runToCompletion(scripted_user::ScriptedUser& user, const std::string& parent,
                     const std::string& screenshotName) {
    ASSERT_TRUE(makeEmptyFolder(parent));
    const std::string folder = joinPath(parent, "Tarnwick");
    runToSuccess(user, buildPath(TW_SYSTEM_SETUP_EXE), folder, IDNO, screenshotName);
    if (::testing::Test::HasFatalFailure()) return;

    std::vector<uint8_t> readme, genuine;
    ASSERT_TRUE(readFile(joinPath(folder, "readme.txt"), &readme));
    ASSERT_TRUE(readFile(productFile("readme.txt"), &genuine));
    EXPECT_TRUE(readme == genuine);
    EXPECT_EQ(modificationTime(joinPath(folder, "readme.txt")), README_TIME);
    // The system file is not written into the data folder as well; the
    // engine's uninstaller is.
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"kluninst.exe", "readme.txt"}));
}

TEST_F(SystemFile, LandsInTheSystemDirectoryWithItsStoredTime) {
    const std::string library = systemLibraryPath();
    ASSERT_FALSE(library.empty());
    ASSERT_FALSE(fileExists(library)) << "the fresh prefix already has " << library;

    runToCompletion(user, "C:\\twtest\\system", "final-question");
    if (HasFatalFailure()) return;

    std::vector<uint8_t> written, genuine;
    ASSERT_TRUE(readFile(library, &written)) << library << " was not written";
    ASSERT_TRUE(readFile(productFile("twsystest.dll"), &genuine));
    EXPECT_TRUE(written == genuine);
    EXPECT_EQ(modificationTime(library), LIBRARY_TIME);
}

TEST_F(SystemFile, ExistingCopyDecidesByItsTime) {
    struct Case {
        const char* label;
        int64_t existingTime;
        bool replaced;
    };
    const Case cases[] = {
        {"newer copy is left alone", LIBRARY_TIME + ONE_DAY, false},
        {"copy of the same time is replaced", LIBRARY_TIME, true},
        {"older copy is replaced", LIBRARY_TIME - ONE_DAY, true},
    };
    const std::string library = systemLibraryPath();
    ASSERT_FALSE(library.empty());
    std::vector<uint8_t> genuine;
    ASSERT_TRUE(readFile(productFile("twsystest.dll"), &genuine));
    const std::vector<uint8_t> existing = bytesOf("another product's version of the library\r\n");

    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(writeFile(library, existing));
        ASSERT_TRUE(setModificationTime(library, c.existingTime));

        scripted_user::ScriptedUser caseUser;
        ++run;
        runToCompletion(caseUser, "C:\\twtest\\system" + std::to_string(run),
                        "final-question-" + std::to_string(run));
        for (const std::string& line : caseUser.transcript().lines()) {
            user.transcript().add("case", std::string(c.label) + ": " + line);
        }
        if (HasFatalFailure()) return;

        std::vector<uint8_t> after;
        ASSERT_TRUE(readFile(library, &after));
        EXPECT_TRUE(after == (c.replaced ? genuine : existing));
        EXPECT_EQ(modificationTime(library), c.replaced ? LIBRARY_TIME : c.existingTime);
    }
}

}  // namespace
}  // namespace e2e
