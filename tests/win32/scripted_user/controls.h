// Reading and pressing the controls of another process's dialogs and
// message boxes.
#pragma once

#include <windows.h>

#include <string>

namespace scripted_user {

// Control ids of a message box as the system makes it.
enum {
    MESSAGE_BOX_TEXT_ID = 65535,  // the static control holding the text
    MESSAGE_BOX_ICON_ID = 1088    // the static control holding the icon
};

// How long a message sent to another process's window waits for its
// answer. A thread that is busy painting, or kept from the CPU on a loaded
// machine, answers within it. A window counts as hung when its thread took
// no message for five seconds, which a message box just shown after a long
// step of setup's does until its loop first runs: the send waits for it
// all the same (two failures under load came from giving up at once).
enum : UINT { SEND_TIMEOUT_MS = 30000 };

// Sends the message to a window of another process and waits for the
// answer as above: every send of the tests goes through here. False when
// the window is gone, hung or did not answer in time.
bool ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer);

// Waits until the window's thread has handled a message sent to it. Wine
// shows a message box while its initialisation is still setting its
// caption, text and icon, which a loaded machine can stretch to seconds; a
// message sent from another process is handled only once that is done and
// the box's own loop runs. False when the window went (a dialog being taken
// down can pass for a message box for a moment) or did not answer.
bool waitUntilReady(HWND window);

// A window found by its caption may not have its controls yet: waits until
// the control `id` exists. False when it did not appear in time.
bool waitForControl(HWND dialog, int id, DWORD milliseconds);

// Waits until the window has any child window at all.
bool waitForAnyControl(HWND window, DWORD milliseconds);

// The control's text; "" when there is no such control. An edit control of
// another process answers only WM_GETTEXT (GetWindowTextA gives "" there);
// static controls and buttons answer GetWindowTextA even while their owner
// is busy.
std::string controlText(HWND dialog, int id);
std::string childText(HWND control);

// The window class, e.g. "#32770" for dialogs and message boxes, "Button".
std::string windowClass(HWND window);

// A message box: the system's dialog class with the message text control
// and no controls but buttons, that text and the icon. Seen from outside,
// a dialog of the program's own passes for one while it is being taken
// down (its other controls go first): see waitUntilReady.
bool isMessageBox(HWND window);

// Whether a message box shows an icon. Wine's message box always has the
// icon control; without an icon it holds none.
bool messageBoxHasIcon(HWND box);

// Replaces the text of an edit control of another process, as typing would
// leave it (WM_SETTEXT is carried across processes). False when there is no
// such control or it did not answer.
bool setControlText(HWND dialog, int id, const std::string& text);

// The dialog's default push button (DM_GETDEFID); 0 when it names none or
// does not answer.
int defaultButton(HWND dialog);

// How a transcript names the answer: the button's text without its
// accelerator marks ("I Accept", "Yes"); "OK", "Cancel", "Yes" or "No" by id
// for a button without text.
std::string answerName(HWND dialog, int id);

}  // namespace scripted_user
