// What the data folder tests share: the texts of the folder choice as the
// user must read them, the folders the platform reports to this process,
// the settings file, and the ways through the dialog and out of a run.
#pragma once

#include <windows.h>

#include <iosfwd>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "e2e/setup_driving.h"

namespace e2e {
namespace data_folder {

// Captions and texts, word for word.
extern const char* const WINDOWS_DIRECTORY_CAPTION;
extern const char* const WINDOWS_DIRECTORY_TEXT;
extern const char* const CANNOT_CREATE_CAPTION;
extern const char* const CANNOT_CREATE_FOLDER_TEXT;
extern const char* const EXISTING_FOLDER_TEXT;
extern const char* const ENTER_FOLDER_NAME_CAPTION;
extern const char* const ENTER_FOLDER_NAME_TEXT;  // names Tarnwick as the example
extern const char* const TOO_LONG_CAPTION;
extern const char* const TOO_LONG_TEXT;
extern const char* const SHUTTING_DOWN_CAPTION;
extern const char* const SHUTTING_DOWN_TEXT;
extern const char* const DISK_SPACE_CAPTION;

// The setup program under test.
std::string setupExe();

// Folders as the platform reports them to this process; "" when it does
// not say.
std::string programFilesFolder();
std::string windowsDirectory();

// The settings file, tarnwick.ini in the Windows directory, read and
// written through the profile functions setup uses. `recorded` says
// whether "dataDir" is there at all.
std::string recordedDataFolder(bool* recorded);
bool recordDataFolder(const std::string& folder);
std::string settingsFilePath();

// The two edits of the folder dialog.
struct Proposal {
    std::string parent;
    std::string application;
    bool operator==(const Proposal& other) const {
        return parent == other.parent && application == other.application;
    }
};
std::ostream& operator<<(std::ostream& out, const Proposal& proposal);

// Waits for "Choose a Folder" and its edits; null when it did not show.
HWND waitForFolderDialog(scripted_user::ScriptedUser& user);
// Starts setup in an empty SETUP_START_FOLDER, accepts the agreement and
// waits for the folder dialog; null when any of it failed.
HWND openFolderDialog(scripted_user::ScriptedUser& user);
// Reads both edits; records them as "text:" lines.
Proposal readProposal(scripted_user::ScriptedUser& user, HWND dialog);

// Waits for the message box `caption`, reads its text into `text` and
// presses `button`. False when it did not show or could not be answered.
bool answerMessage(scripted_user::ScriptedUser& user, const std::string& caption, int button,
                   std::string* text);

// Presses `button` and waits until the window is gone: a message box
// stays on the screen for a moment after its answer.
bool answerAndWaitUntilClosed(scripted_user::ScriptedUser& user, HWND window, int button);

// Whether the folder dialog is still open and taking messages once the
// message box it showed has gone: a dialog that was ended after the message
// would be destroyed before it answers again.
bool dialogStaysOpen(HWND dialog);

// Setup, once the folder is chosen, runs to the final question with no
// message box before it but the running-copies notice, which is answered,
// and ends with 0 after its No; the transcript gains completedEnding's
// lines.
void expectRunCompletes(scripted_user::ScriptedUser& user);
std::vector<std::string> completedEnding();

// Cancel in the folder dialog: "Shutting Down", then "Application Not
// Installed", both answered with OK, and exit code 0.
void expectCancelEndsTheRun(scripted_user::ScriptedUser& user, HWND dialog);

// Tarnwick's nine files, intact, are the only entries of the folder.
void expectPayloadIn(const std::string& folder);

// The transcript lines from `first` on.
std::vector<std::string> transcriptFrom(scripted_user::ScriptedUser& user, size_t first);

// The current directory of a running program of this program's word size,
// read from its process parameters; "" when it cannot be read.
std::string currentDirectoryOf(HANDLE process);

// The shell's folder browser opened by the dialog's Browse: a dialog of
// the program owned by `owner`, with its tree. Null when none showed.
HWND waitForFolderBrowser(scripted_user::ScriptedUser& user, HWND owner);

// Selects `folder`, a full path from a drive letter on, in the folder
// browser of another process as a user clicking through its tree would:
// the drive, then each folder on the way opened, the last one clicked.
// False when a folder is not in the tree or did not become the selection.
bool selectInFolderBrowser(const scripted_user::Program& program, HWND browser,
                           const std::string& folder);

// Copies a file, replacing any copy already there.
bool copyFile(const std::string& from, const std::string& to);

}  // namespace data_folder
}  // namespace e2e
