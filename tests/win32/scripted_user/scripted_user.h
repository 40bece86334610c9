// The scripted user: runs a program as a person would, seeing its windows,
// reading their texts and pressing their buttons, and keeps a transcript of
// all of it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "scripted_user/controls.h"
#include "scripted_user/delivery.h"
#include "scripted_user/process.h"
#include "scripted_user/screen.h"
#include "scripted_user/top_windows.h"
#include "scripted_user/transcript.h"

namespace scripted_user {

// Where a test's screenshots and transcript go: the Windows path in
// TW_TEST_OUTPUT, "" when the test bed gave none.
std::string testOutputFolder();

class ScriptedUser {
public:
    ScriptedUser() = default;
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;
    // A program still running is ended: its windows would otherwise stay.
    ~ScriptedUser();

    // Starts the program in `folder` as its current directory.
    bool start(const std::string& exe, const std::string& folder,
               const std::string& arguments = "");
    // The programs started from now on write their standard output to
    // `file`, an inheritable handle that the caller keeps open; null gives
    // them none of their own again.
    void redirectOutput(HANDLE file) { standardOutput_ = file; }
    const Program& program() const { return program_; }

    // Waits for the program's top-level window with exactly this caption
    // and, for a dialog, for its first control; records "window: <caption>".
    // Null on timeout.
    HWND waitForWindow(const std::string& caption, DWORD milliseconds);
    // The same for a message box: waits for its text control too.
    HWND waitForMessageBox(const std::string& caption, DWORD milliseconds);

    // Reads a message box's text; records "text: <text>".
    std::string readMessageBox(HWND box);
    // Reads a dialog control's text; records "text: <text>".
    std::string readControl(HWND dialog, int id);

    // Types into an edit control; records "type: <text>".
    bool type(HWND dialog, int id, const std::string& text);

    // Every press below is posted through `press` and recorded when it went
    // through. One that did not is recorded as "not delivered: <kind>
    // <name>: <what the window was doing>", with a picture of the screen,
    // and returns false.

    // Posts the messages of one press to `window` (postPress); records
    // "<kind>: <name>".
    bool press(HWND window, const char* kind, const std::string& name,
               const std::vector<PostedMessage>& messages);

    // Presses a button; records "answer: <name>". False when it has no such
    // button.
    bool answer(HWND dialog, int id);
    bool answerOk(HWND dialog) { return answer(dialog, IDOK); }
    bool answerYes(HWND dialog) { return answer(dialog, IDYES); }
    bool answerNo(HWND dialog) { return answer(dialog, IDNO); }

    // Presses the key `key` once the control `id` of `dialog` has the
    // keyboard focus, where the dialog's own loop sees it; records
    // "key: <name>". The focus is read from another process, so it can be
    // read in passing, on the dialog while it is being activated or on a
    // control about to lose it: the key waits until it is on the control.
    bool pressKey(HWND dialog, int id, UINT key, const std::string& name, DWORD milliseconds);

    // Asks the window to close as its close box does; records
    // "close: <name>".
    bool closeBox(HWND window, const std::string& name);

    // Waits for the program to end; records "exit: <code>". False on timeout.
    bool waitForExit(DWORD milliseconds, DWORD* exitCode);
    // Waits for the program to end while none of its windows shows but
    // those captioned as in `ownWindows` (none when it is empty), which are
    // windows the program keeps up by itself; a message box never counts as
    // one. False when it did not end in time or another window showed first;
    // that window's caption is then in `window` and recorded as "window:
    // <caption>", with its text when it is a message box.
    bool waitForExitShowingOnly(DWORD milliseconds, const std::vector<std::string>& ownWindows,
                                DWORD* exitCode, std::string* window);

    // Whether a visible top-level window of the program is open.
    bool hasOpenWindow() const;

    // Saves the screen as <output folder>\<name>.png; false when there is no
    // output folder or it cannot be written.
    bool screenshot(const std::string& name);

    Transcript& transcript() { return transcript_; }
    // Saves the transcript as <output folder>\transcript.txt.
    bool saveTranscript() const;

private:
    // Records a press or a typing that did not go through, and pictures it.
    void notDelivered(const char* kind, const std::string& name, HWND window);

    Program program_;
    HANDLE standardOutput_ = nullptr;
    Transcript transcript_;
};

}  // namespace scripted_user
