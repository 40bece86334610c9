// A folder on a drive too small for the product: the user is told how much
// is needed and how much there is, and chooses again, starting from the
// folder just chosen. The drive is a real 512 KB disk, T:.
#include "e2e/data_folder_support.h"

namespace e2e {
namespace data_folder {
namespace {

using DataFolderDiskSpace = ScriptedRun;

const char SHORT_DRIVE_TEXT[] =
    "Not enough free disk space is available on the drive you have specified. 1 megabytes of "
    "free space are required for the proper operation of the program. On drive T:\\ only 0 "
    "megabytes of free space are available.\r\n\r\nYou will be given another opportunity to "
    "choose a location for the software. You may wish to cancel the installation process, or "
    "use your Windows desktop to delete files, making more room for the program.";

bool sameFolder(std::string a, std::string b) {
    for (std::string* path : {&a, &b}) {
        if (path->size() > 3 && path->back() == '\\') path->pop_back();
    }
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST_F(DataFolderDiskSpace, ShortDriveIsToldAndTheFolderIsChosenAgain) {
    if (GetDriveTypeA("T:\\") == DRIVE_NO_ROOT_DIR) {
        GTEST_SKIP() << "no T: drive: the test bed mounts its small disk only as root";
    }
    ULARGE_INTEGER available;
    ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &available, nullptr, nullptr));
    ASSERT_LT(available.QuadPart, 1024u * 1024u) << "T: is no small disk";
    const std::string shortFolder = "T:\\Tarnwick";
    const Proposal roomy = {"C:\\twtest", "Tarnwick"};
    const std::string roomyFolder = roomy.parent + "\\" + roomy.application;
    ASSERT_TRUE(makeEmptyFolder(SETUP_START_FOLDER));

    ASSERT_TRUE(user.start(setupExe(), SETUP_START_FOLDER));
    ASSERT_TRUE(acceptAgreement(user));
    HWND dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "no dialog captioned " << FOLDER_CAPTION;
    ASSERT_TRUE(user.type(dialog, PARENT_FOLDER_ID, "T:\\"));
    ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, "Tarnwick"));
    ASSERT_TRUE(user.answer(dialog, IDOK));

    HWND warning = user.waitForMessageBox(DISK_SPACE_CAPTION, WINDOW_TIMEOUT_MS);
    ASSERT_NE(warning, nullptr) << "no message captioned " << DISK_SPACE_CAPTION;
    EXPECT_EQ(user.readMessageBox(warning), SHORT_DRIVE_TEXT);
    EXPECT_TRUE(user.screenshot("not-enough-disk-space"));
    // By now the folder is made, entered and recorded.
    EXPECT_TRUE(isDirectory(shortFolder));
    EXPECT_PRED2(sameFolder, currentDirectoryOf(user.program().process), shortFolder);
    bool recorded = false;
    EXPECT_EQ(recordedDataFolder(&recorded), shortFolder);
    ASSERT_TRUE(answerAndWaitUntilClosed(user, warning, IDOK));

    dialog = waitForFolderDialog(user);
    ASSERT_NE(dialog, nullptr) << "the dialog did not come back";
    EXPECT_EQ(readProposal(user, dialog), (Proposal{"T:", "Tarnwick"}));
    ASSERT_TRUE(user.type(dialog, PARENT_FOLDER_ID, roomy.parent));
    ASSERT_TRUE(user.type(dialog, APPLICATION_FOLDER_ID, roomy.application));
    ASSERT_TRUE(user.answer(dialog, IDOK));
    expectRunCompletes(user);
    if (HasFatalFailure()) return;

    std::string shown = SHORT_DRIVE_TEXT;
    // The transcript keeps a line break as "\n" so that one event is one line.
    for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at)) {
        shown.replace(at, 2, "\\r\\n");
    }
    EXPECT_EQ(user.transcript().lines(),
              concat({std::string("window: ") + AGREEMENT_CAPTION, "answer: I Accept",
                      std::string("window: ") + FOLDER_CAPTION, "type: T:\\", "type: Tarnwick",
                      "answer: OK", std::string("window: ") + DISK_SPACE_CAPTION,
                      "text: " + shown, "answer: OK", std::string("window: ") + FOLDER_CAPTION,
                      "text: T:", "text: Tarnwick", "type: " + roomy.parent,
                      "type: " + roomy.application, "answer: OK"},
                     completedEnding()));
    EXPECT_EQ(recordedDataFolder(&recorded), roomyFolder);
    expectPayloadIn(roomyFolder);
    EXPECT_EQ(folderEntries(shortFolder), std::vector<std::string>{});
}

}  // namespace
}  // namespace data_folder
}  // namespace e2e
