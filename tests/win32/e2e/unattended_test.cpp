// setup.exe /S: a run with nobody at the screen, as deployment tools start
// it. It shows no window at all, says by its exit code how it ended, and
// leaves its log where /LOG= names it.
#include <shlobj.h>

#include <algorithm>

#include "e2e/data_folder_support.h"
#include "e2e/e2e_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"
#include "scripted_user/process.h"
#include "scripted_user/scripted_user.h"
#include "scripted_user/top_windows.h"

namespace e2e {
namespace {

using data_folder::expectPayloadIn;
using data_folder::recordedDataFolder;
using data_folder::settingsFilePath;

struct UnattendedRun {
    bool ended = false;
    DWORD exitCode = 99;
    std::vector<std::string> windowsSeen;  // titles of visible top-level windows, any poll
};

// Starts setup with `arguments` and watches its visible top-level windows
// every few milliseconds until it ends.
UnattendedRun runUnattended(const std::string& arguments) {
    UnattendedRun run;
    EXPECT_TRUE(isDirectory(SETUP_START_FOLDER) || makeEmptyFolder(SETUP_START_FOLDER));
    scripted_user::Program program;
    if (!scripted_user::startProgram(buildPath(TW_SETUP_EXE), arguments, SETUP_START_FOLDER,
                                     &program)) {
        ADD_FAILURE() << "setup.exe did not start";
        return run;
    }
    run.ended = scripted_user::pollUntil(RUN_TIMEOUT_MS, [&] {
        for (HWND window : scripted_user::visibleTopLevelWindows(program.processId)) {
            char title[256] = "";
            GetWindowTextA(window, title, sizeof title);
            run.windowsSeen.push_back(title);
        }
        return !scripted_user::isRunning(program);
    });
    if (run.ended) scripted_user::waitForExit(program, 0, &run.exitCode);
    scripted_user::endProgram(&program);
    return run;
}

std::vector<std::string> logLines(const std::string& path) {
    std::vector<std::string> lines;
    std::vector<uint8_t> bytes;
    if (!readFile(path, &bytes)) return lines;
    std::string line;
    for (uint8_t byte : bytes) {
        if (byte == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    return lines;
}

bool logged(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        // "2026-12-09 14:03:27 " and the step.
        return line.size() > 20 && line.compare(20, std::string::npos, text) == 0;
    });
}

TEST(Unattended, InstallsIntoTheNamedFolderWithoutAWindowOnEachFamily) {
    for (const bool windows95 : {false, true}) {
        SCOPED_TRACE(windows95 ? "the Windows 95 family" : "the NT family");
        const std::string folder = windows95 ? "C:\\Some Folder 95" : "C:\\Some Folder";
        const std::string log = windows95 ? "C:\\setup 95.log" : "C:\\setup.log";
        if (windows95) {
            ASSERT_TRUE(setWindowsVersionFor("setup.exe", "win98"));
        }
        const UnattendedRun run = runUnattended("/S /LOG=\"" + log + "\" /D=" + folder);
        ASSERT_TRUE(run.ended) << "setup did not end";
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.windowsSeen, std::vector<std::string>{}) << "setup showed a window";

        expectPayloadIn(folder);
        expectTarnwickRegistered(folder);
        bool recorded = false;
        EXPECT_EQ(recordedDataFolder(&recorded), folder);
        // Kept with the test's output, for a person to read.
        if (!scripted_user::testOutputFolder().empty()) {
            CopyFileA(log.c_str(),
                      joinPath(scripted_user::testOutputFolder(), windows95 ? "95.log" : "nt.log")
                          .c_str(),
                      FALSE);
        }
        const std::vector<std::string> lines = logLines(log);
        EXPECT_TRUE(logged(lines, "The agreement counts as accepted by whoever deploys the product."));
        EXPECT_TRUE(logged(lines, "Data folder " + folder + ": named on the command line."));
        EXPECT_TRUE(logged(lines, "tarnwick.exe written.")) << testing::PrintToString(lines);
        EXPECT_TRUE(logged(lines, "Link \"Tarnwick\" in Tarnwick to " + folder + "\\tarnwick.exe"));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(20), "Exit code 0.");
    }
}

TEST(Unattended, RefusedFolderEndsWithItsCodeAndWritesNothingButTheLog) {
    const std::string log = "C:\\refused.log";
    const UnattendedRun run = runUnattended("/S /LOG=" + log + " /D=Some Folder");
    ASSERT_TRUE(run.ended) << "setup did not end";
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_EQ(run.windowsSeen, std::vector<std::string>{});

    EXPECT_TRUE(folderEntries(SETUP_START_FOLDER).empty()) << "something was made beside setup";
    EXPECT_FALSE(isDirectory("C:\\Some Folder"));
    EXPECT_FALSE(fileExists(settingsFilePath()));
    EXPECT_FALSE(machineKeyExists(uninstallKey("Tarnwick")));
    const std::vector<std::string> lines = logLines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(20), "Exit code 3.");
}

}  // namespace
}  // namespace e2e
