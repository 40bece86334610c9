// The uninstaller that setup links and registers, run from the data folder
// as its link runs it: it asks once, takes away what setup put in place,
// and keeps the user's own files with the folder that holds them.
#include <shlobj.h>
#include <string.h>

#include <string>
#include <vector>

#include "e2e/data_folder_support.h"
#include "e2e/machine_state.h"
#include "e2e/setup_driving.h"
#include "scripted_user/deadline.h"

namespace e2e {
namespace {

using Uninstall = ScriptedRun;

const char* const UNINSTALL_CAPTION = "Uninstall Tarnwick";
const char* const UNINSTALL_QUESTION = "Do you want to remove Tarnwick from this computer?";
const char* const REMOVED_TEXT = "Tarnwick has been removed from your computer.";

// The operations the system carries out at its next start, as
// MoveFileEx records them: pairs of a source ("\??\" and the path) and a
// target, empty for a deletion.
std::vector<std::string> pendingDeletions() {
    HKEY key = nullptr;
    std::vector<std::string> deletions;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return deletions;
    }
    std::vector<char> value(65536);
    DWORD size = static_cast<DWORD>(value.size());
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value.data()), &size) == ERROR_SUCCESS) {
        std::vector<std::string> strings;
        for (size_t at = 0; at < size && value[at];) {
            strings.push_back(value.data() + at);
            at += strings.back().size() + 1;
            // A deletion's empty target is a lone NUL.
            if (at < size && !value[at]) {
                deletions.push_back(strings.back());
                ++at;
            } else if (at < size) {
                at += strlen(value.data() + at) + 1;
            }
        }
    }
    RegCloseKey(key);
    return deletions;
}

// The last word comes from the uninstaller's copy in a fresh folder of its
// own below the temporary folder, once the first has ended: read,
// answered, and waited for until it ends. The copy and its folder are
// due for deletion at the next start, the copy first.
void answerRemovedMessage(scripted_user::ScriptedUser& user, std::string* text) {
    HWND box = scripted_user::waitForWindow(0, UNINSTALL_CAPTION, WINDOW_TIMEOUT_MS);
    ASSERT_NE(box, nullptr) << "no message captioned " << UNINSTALL_CAPTION << " at the end";
    ASSERT_TRUE(scripted_user::waitForControl(box, scripted_user::MESSAGE_BOX_TEXT_ID,
                                              WINDOW_TIMEOUT_MS));
    user.transcript().add("window", UNINSTALL_CAPTION);
    *text = user.readMessageBox(box);
    // Everything of the product went: news, not a warning.
    EXPECT_EQ(messageBoxIcon(box), "information");
    DWORD id = 0;
    GetWindowThreadProcessId(box, &id);
    HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, id);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(id, user.program().processId) << "not said by a copy";
    char image[MAX_PATH] = "";
    DWORD length = sizeof image;
    HANDLE queried = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    ASSERT_NE(queried, nullptr);
    EXPECT_TRUE(QueryFullProcessImageNameA(queried, 0, image, &length));
    CloseHandle(queried);
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    const std::string copyImage = image;
    const std::string copyFolder = copyImage.substr(0, copyImage.rfind('\\'));
    user.transcript().add("copy", copyImage);
    EXPECT_EQ(_stricmp(copyFolder.substr(0, strlen(temp) + 3).c_str(),
                       (std::string(temp) + "kun").c_str()), 0) << copyImage;
    EXPECT_EQ(copyFolder.size(), strlen(temp) + 3 + 16) << "kun and 16 hex digits: " << copyImage;
    EXPECT_EQ(copyImage.substr(copyFolder.size()), "\\kluninst.exe");
    const std::vector<std::string> due = pendingDeletions();
    const auto position = [&](const std::string& path) {
        for (size_t i = 0; i < due.size(); ++i) {
            if (_stricmp(due[i].c_str(), ("\\??\\" + path).c_str()) == 0) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_GE(position(copyImage), 0) << "the copy is not due for deletion";
    EXPECT_GT(position(copyFolder), position(copyImage)) << "its folder is not due after it";
    EXPECT_TRUE(user.screenshot("removed"));
    EXPECT_TRUE(user.answerOk(box));
    EXPECT_EQ(WaitForSingleObject(copy, RUN_TIMEOUT_MS), WAIT_OBJECT_0) << "the copy did not end";
    CloseHandle(copy);
}

TEST_F(Uninstall, YesRemovesWhatSetupPutInPlaceAndKeepsTheUsersFiles) {
    struct Row {
        const char* label;
        const char* parent;
        const char* userFile;  // put into the folder before the uninstaller runs, or null
    };
    const Row rows[] = {
        {"a file of the user's in the folder", "C:\\twtest\\kept", "my notes.txt"},
        {"nothing but the product's files", "C:\\twtest\\gone", nullptr},
    };
    const std::vector<uint8_t> notes = bytesOf("the user's own notes\r\n");
    const std::string group = joinPath(specialFolder(CSIDL_PROGRAMS), "Tarnwick");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        user.transcript().add("row", row.label);
        ASSERT_TRUE(makeEmptyFolder(row.parent));
        const std::string folder = joinPath(row.parent, "Tarnwick");
        {
            scripted_user::ScriptedUser installer;
            runToSuccess(installer, buildPath(TW_SETUP_EXE), folder, IDNO, "final-question");
            for (const std::string& line : installer.transcript().lines()) {
                user.transcript().add("setup", line);
            }
            if (HasFatalFailure()) return;
        }
        ASSERT_TRUE(isDirectory(group));
        if (row.userFile) {
            ASSERT_TRUE(writeFile(joinPath(folder, row.userFile), notes));
        }

        ASSERT_TRUE(user.start(joinPath(folder, "kluninst.exe"), folder));
        HWND question = user.waitForMessageBox(UNINSTALL_CAPTION, WINDOW_TIMEOUT_MS);
        ASSERT_NE(question, nullptr) << "no question captioned " << UNINSTALL_CAPTION;
        EXPECT_EQ(user.readMessageBox(question), UNINSTALL_QUESTION);
        EXPECT_EQ(messageBoxIcon(question), "question");
        EXPECT_NE(GetDlgItem(question, IDNO), nullptr);
        ASSERT_TRUE(user.answerYes(question));
        DWORD exitCode = 1;
        ASSERT_TRUE(user.waitForExit(RUN_TIMEOUT_MS, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        std::string said;
        answerRemovedMessage(user, &said);
        if (HasFatalFailure()) return;

        if (row.userFile) {
            EXPECT_EQ(said, std::string(REMOVED_TEXT) + "\n\nYour own files in " + folder +
                                " were kept.");
            EXPECT_EQ(folderEntries(folder), std::vector<std::string>{row.userFile});
            std::vector<uint8_t> after;
            EXPECT_TRUE(readFile(joinPath(folder, row.userFile), &after) && after == notes);
        } else {
            EXPECT_EQ(said, REMOVED_TEXT);
            EXPECT_FALSE(isDirectory(folder)) << folder << " is left";
        }
        EXPECT_FALSE(isDirectory(group)) << group << " is left";
        EXPECT_FALSE(machineKeyExists(uninstallKey("Tarnwick")));
        bool recorded = true;
        data_folder::recordedDataFolder(&recorded);
        EXPECT_FALSE(recorded) << "dataDir is left";
    }
}

}  // namespace
}  // namespace e2e
