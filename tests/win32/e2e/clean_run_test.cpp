// A first installation into a new folder: every file arrives intact with
// its stored time, the product gets its links and its uninstall entry, the
// folder is recorded, and the user sees nothing go wrong before the final
// question, whose No starts nothing.
#include <algorithm>

#include "e2e/e2e_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"

namespace e2e {
namespace {

using CleanRun = ScriptedRun;

std::string settingsFile() {
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length > 0 && length < sizeof windows ? joinPath(windows, "tarnwick.ini") : "";
}

TEST_F(CleanRun, WritesEveryFileLinksAndRegistersTheProductAndNoStartsNothing) {
    // The parent exists, the folder itself is made by setup: no question.
    ASSERT_TRUE(makeEmptyFolder("C:\\twtest\\clean"));
    const std::string folder = "C:\\twtest\\clean\\Tarnwick";

    // window_spy.dll, hooked into setup by the run, notes each text value
    // as setup counts it, which the registry read back cannot tell.
    char temp[MAX_PATH];
    const DWORD tempLength = GetTempPathA(sizeof temp, temp);
    ASSERT_TRUE(tempLength > 0 && tempLength < sizeof temp);
    const std::string textValues = joinPath(temp, "tw-text-values.txt");
    DeleteFileA(textValues.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("TW_REGISTRY_SPY_RECORD", textValues.c_str()));
    runToSuccess(user, buildPath(TW_SETUP_EXE), folder, IDNO, "final-question");
    SetEnvironmentVariableA("TW_REGISTRY_SPY_RECORD", nullptr);
    if (HasFatalFailure()) return;
    std::vector<uint8_t> noted;
    EXPECT_TRUE(readFile(textValues, &noted));
    // Each count takes in one terminating NUL.
    const auto counted = [](const std::string& name, const std::string& text) {
        return name + "=" + text + " (" + std::to_string(text.size() + 1) + " bytes)\n";
    };
    const std::string uninstaller = "\"" + joinPath(folder, "kluninst.exe") + "\"";
    EXPECT_EQ(std::string(noted.begin(), noted.end()),
              counted("DisplayName", "Tarnwick") + counted("UninstallString", uninstaller) +
                  counted("DisplayIcon", joinPath(folder, "tarnwick.exe")) +
                  counted("QuietUninstallString", uninstaller + " /S") +
                  counted("DisplayVersion", "1.0.0.0") +
                  counted("Publisher", "Kestrel Loom Software") +
                  counted("InstallLocation", folder));
    // A program started on the way out would be running by the time setup
    // has ended: WinExec returns once the process exists.
    EXPECT_EQ(processesNamed("tarnwick.exe"), std::vector<DWORD>{});
    expectTarnwickRegistered(folder);

    std::vector<std::string> expectedNames;
    for (const PayloadFile& file : tarnwickFiles()) {
        SCOPED_TRACE(file.name);
        expectedNames.push_back(file.name);
        std::vector<uint8_t> written, genuine;
        ASSERT_TRUE(readFile(joinPath(folder, file.name), &written));
        ASSERT_TRUE(readFile(file.source, &genuine)) << file.source;
        EXPECT_TRUE(written == genuine) << written.size() << " bytes written, "
                                        << genuine.size() << " in the product";
        EXPECT_EQ(modificationTime(joinPath(folder, file.name)), storedTime(file));
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(folderEntries(folder), expectedNames);
    // Extraction follows the chosen folder, not the directory setup started in.
    EXPECT_TRUE(folderEntries(SETUP_START_FOLDER).empty());

    char recorded[MAX_PATH] = "";
    GetPrivateProfileStringA("Options", "dataDir", "", recorded, sizeof recorded,
                             settingsFile().c_str());
    EXPECT_EQ(std::string(recorded), folder);
}

}  // namespace
}  // namespace e2e
