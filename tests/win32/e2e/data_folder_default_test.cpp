// The folder proposed when nothing is recorded: the Program Files folder the
// platform reports, with Tarnwick below it. Taking it installs there, on NT
// and on the Windows 95 family alike; cancelling installs nothing and
// records nothing.
#include "e2e/data_folder_support.h"

namespace e2e {
namespace data_folder {
namespace {

using DataFolderDefault = ScriptedRun;

const DWORD WINDOWS_95_FAMILY = 1;  // VER_PLATFORM_WIN32_WINDOWS

// From the agreement to the end of the run, taking the proposed folder as
// it stands: it is created, made current for the extraction and recorded.
void installIntoTheProposedFolder(scripted_user::ScriptedUser& user,
                                  const std::string& screenshotName) {
    const std::string programFiles = programFilesFolder();
    ASSERT_NE(programFiles, "");
    const std::string folder = joinPath(programFiles, "Tarnwick");
    ASSERT_FALSE(isDirectory(folder)) << "the fresh prefix already has " << folder;
    ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));

    ASSERT_TRUE(user.start(setupExe(), SETUP_START_FOLDER));
    ASSERT_TRUE(acceptAgreement(user));
    HWND dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    EXPECT_EQ(readProposal(user, dialog), (Proposal{programFiles, "Tarnwick"}));
    EXPECT_TRUE(user.screenshot(screenshotName));
    ASSERT_TRUE(user.answer(dialog, IDOK));
    expectRunCompletes(user);
    if (::testing::Test::HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              concat({std::string("window: ") + AGREEMENT_CAPTION, "answer: I Accept",
                      std::string("window: ") + FOLDER_CAPTION, "text: " + programFiles,
                      "text: Tarnwick", "answer: OK"},
                     completedEnding()));
    bool recorded = false;
    EXPECT_EQ(recordedDataFolder(&recorded), folder);
    EXPECT_TRUE(recorded) << "no dataDir in " << settingsFilePath();
    // Extraction writes below the current directory: the files land in the
    // chosen folder and none in the folder setup started in.
    expectPayloadIn(folder);
    EXPECT_EQ(folderEntries(SETUP_START_FOLDER), std::vector<std::string>{});
}

TEST_F(DataFolderDefault, ProgramFilesFolderIsProposedAndInstalledInto) {
    installIntoTheProposedFolder(user, "choose-a-folder");
}

TEST_F(DataFolderDefault, WholeRunPassesAsTheWindows95Family) {
    ASSERT_TRUE(setWindowsVersionFor("setup.exe", "win98"));
    // Any program named setup.exe now gets the setting; the probe under that
    // name shows that Wine really hands out the Windows 95 family.
    const std::string probeFolder = "C:\\twtest\\probe";
    const std::string probe = joinPath(probeFolder, "setup.exe");
    ASSERT_TRUE(makeEmptyFolder(probeFolder));
    ASSERT_TRUE(copyFile(buildPath(TW_VERSION_PROBE_EXE), probe));
    scripted_user::Program probeRun;
    ASSERT_TRUE(scripted_user::startProgram(probe, "", probeFolder, &probeRun));
    DWORD platform = 0;
    bool ended = scripted_user::waitForExit(probeRun, RUN_TIMEOUT_MS, &platform);
    scripted_user::endProgram(&probeRun);
    ASSERT_TRUE(ended);
    ASSERT_EQ(platform, WINDOWS_95_FAMILY);

    installIntoTheProposedFolder(user, "choose-a-folder-win98");
}

TEST_F(DataFolderDefault, CancelShutsDownAndRecordsNothing) {
    const std::string folder = joinPath(programFilesFolder(), "Tarnwick");
    ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));

    ASSERT_TRUE(user.start(setupExe(), SETUP_START_FOLDER));
    ASSERT_TRUE(acceptAgreement(user));
    HWND dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    expectCancelEndsTheRun(user, dialog);
    if (HasFatalFailure()) return;

    EXPECT_EQ(user.transcript().lines(),
              (std::vector<std::string>{std::string("window: ") + AGREEMENT_CAPTION,
                                        "answer: I Accept",
                                        std::string("window: ") + FOLDER_CAPTION,
                                        "answer: Cancel",
                                        std::string("window: ") + SHUTTING_DOWN_CAPTION,
                                        std::string("text: ") + SHUTTING_DOWN_TEXT, "answer: OK",
                                        std::string("window: ") + NOT_INSTALLED_CAPTION,
                                        std::string("text: ") + NOT_INSTALLED_TEXT, "answer: OK",
                                        "exit: 0"}));
    bool recorded = true;
    recordedDataFolder(&recorded);
    EXPECT_FALSE(recorded);
    EXPECT_FALSE(fileExists(settingsFilePath()));
    EXPECT_FALSE(isDirectory(folder));
    EXPECT_EQ(folderEntries(SETUP_START_FOLDER), std::vector<std::string>{});
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
