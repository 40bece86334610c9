// The user's way through the opening stages of a run, shared by the tests
// that are about what comes after them.
#pragma once

#include <windows.h>

#include <string>

#include "e2e/window_spy.h"
#include "scripted_user/scripted_user.h"

namespace e2e {

// Captions and control ids as the user meets them.
extern const char* const BACKDROP_CAPTION;   // "Install Tarnwick"
extern const char* const AGREEMENT_CAPTION;  // "END USER LICENSE AGREEMENT"
extern const char* const FOLDER_CAPTION;     // "Choose a Folder"
extern const char* const PROGRESS_CAPTION;   // "Setup Progress"
extern const char* const EXISTING_FOLDER_CAPTION;
extern const char* const NOT_INSTALLED_CAPTION;
extern const char* const NOT_INSTALLED_TEXT;
extern const char* const FINAL_CAPTION;      // "Installation Successful"
extern const char* const RUNNING_COPIES_CAPTION;  // "Closing Running Copies"
extern const char* const OLD_SERVICE_CAPTION;     // "Uninstalling Old Service (If Present)"
extern const char* const OLD_SERVICE_TEXT;
// The running-copies notice for the product `product`.
std::string runningCopiesText(const std::string& product);
enum {
    AGREEMENT_TEXT_ID = 1101,
    PARENT_FOLDER_ID = 24001,
    APPLICATION_FOLDER_ID = 24002,
    BROWSE_ID = 24003,
    PROGRESS_PERCENT_ID = 1002,
    PROGRESS_ITEM_ID = 1100,
};

// Waits for the agreement and accepts it with "I Accept". False when it
// did not show.
bool acceptAgreement(scripted_user::ScriptedUser& user);

// A folder split as the dialog shows it: at its last separator, the whole
// folder as the parent when it has none.
void splitFolder(const std::string& folder, std::string* parent, std::string* application);

// Waits for the folder dialog, types the two edits and presses OK. False
// when the dialog did not show or an edit could not be typed into.
bool chooseFolder(scripted_user::ScriptedUser& user, const std::string& parent,
                  const std::string& application);

// What a run shows between the folder choice and the extraction: the
// running-copies notice, which names the product, and for a product with a
// service on the NT family the notice of the old service's removal.
struct ProductRun {
    const char* product;
    bool removesOldService;
};
extern const ProductRun TARNWICK_RUN;

// Accepts the agreement, chooses `folder` (a full path without a trailing
// separator) and says Yes when asked about an existing folder (asked unless
// its path ends with "Tarnwick"). Returns once the folder dialog is gone.
bool driveThroughFolderChoice(scripted_user::ScriptedUser& user, const std::string& folder);

// Returns once setup's folder dialog is gone (true at once when none is
// open). While the dialog is being taken down its controls go one by one,
// and for that moment it can look like a message box to a test that scans
// the windows: a run that goes on past the dialog waits here first.
bool waitUntilFolderDialogGone(scripted_user::ScriptedUser& user);

// Reads and answers the notices of `run`, each of which must be setup's
// next message box. `lastAnswer`, when given, receives the tick count
// (GetTickCount64) just before the last notice was answered: every wait
// that comes before the extraction starts after it.
bool answerNotices(scripted_user::ScriptedUser& user, const ProductRun& run,
                   ULONGLONG* lastAnswer = nullptr);
std::vector<std::string> noticesTranscript(const ProductRun& run);

// Waits out setup's fixed waits after the notices: returns once the
// extraction is under way (the progress dialog or a message box shows, or
// setup has ended). False when none of that happened in time.
bool waitForExtraction(scripted_user::ScriptedUser& user);

// The whole opening for a run into `folder`: the three steps above.
bool driveToExtraction(scripted_user::ScriptedUser& user, const std::string& folder,
                       const ProductRun& run = TARNWICK_RUN);

// The transcript lines of that opening, to put before a test's own. Asked
// before the run: whether the folder exists decides the question.
std::vector<std::string> openingTranscript(const std::string& folder,
                                           const ProductRun& run = TARNWICK_RUN);

// Where setup starts: an empty folder of its own, apart from every folder a
// test installs into, so that a file landing in the directory setup started
// in would be seen.
extern const char* const SETUP_START_FOLDER;

// Starts `exe` in SETUP_START_FOLDER and waits for its first window, the
// backdrop captioned `backdrop` (nothing is recorded for that wait); hooks
// `spy` into it then, unless it is null. False when any of it failed.
bool startSetup(scripted_user::ScriptedUser& user, const std::string& exe,
                WindowSpy* spy = nullptr, const std::string& backdrop = BACKDROP_CAPTION);

// The question that ends every complete run, for the product `product`.
std::string finalQuestionText(const std::string& product);

// Waits for setup's next message box, which must be captioned `caption`,
// and records it as the scripted user does. Null when another message box
// showed first (recorded, with its text), or none in time.
HWND waitForNextMessage(scripted_user::ScriptedUser& user, const std::string& caption);

// The end of a complete run: `question`, found by waitForNextMessage, must
// be the final question of `product`, with Yes and No and no icon; it is
// read, saved as the screenshot `screenshotName` and answered with
// `button`, and setup must then end with 0. With the wait, the transcript
// gains finalTranscript's lines.
void answerFinalQuestion(scripted_user::ScriptedUser& user, HWND question,
                         const std::string& product, int button,
                         const std::string& screenshotName);
std::vector<std::string> finalTranscript(const std::string& product, const char* answer);

// A run that must fail: `exe` started and driven to extraction into
// `folder`, then the product's failure message, which is returned (null
// when any of it did not happen). `opening` receives the opening's
// transcript lines, asked before the run.
HWND runToFailureMessage(scripted_user::ScriptedUser& user, const std::string& exe,
                         const std::string& folder, std::vector<std::string>* opening);

// A run of a product named Tarnwick that must succeed: `exe` started,
// driven to extraction into `folder`, then no message box but the final
// question, answered with `button`. The transcript is the opening and the
// final question's lines; setup closed its progress dialog itself before
// the question and its backdrop after it, rather than leaving either
// standing until the process went.
void runToSuccess(scripted_user::ScriptedUser& user, const std::string& exe,
                  const std::string& folder, int button, const std::string& screenshotName);

}  // namespace e2e
