// Input for another process's windows: posted, as the system posts a
// user's, so that a window that is busy never blocks the test, and judged
// delivered or not by one rule that every press of the scripted user
// follows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace scripted_user {

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What became of one post.
enum class PostResult {
    POSTED,
    WINDOW_GONE,  // the window no longer existed
    REFUSED,      // the window exists but its queue took nothing (full)
};

// Whether a press reached the program, from what became of each of its
// posts, in order. The first (the key-down, the click) is the one the
// program acts on. Once it is posted the program may end the window on it
// before the rest (the key-up) are posted: a later post that finds the
// window gone takes nothing from the press. One refused by a window that is
// still there leaves the press half made, which no user can do.
bool pressDelivered(const std::vector<PostResult>& results);

// Posts the messages of one press to `window`, in order, each to
// `window`; true when the press was delivered as above.
bool postPress(HWND window, const std::vector<PostedMessage>& messages);

// A key pressed and let go, as the system posts it to the window that has
// the keyboard focus.
std::vector<PostedMessage> keyPress(UINT key);

// A click on the button `id` of `dialog`, as its parent hears of it.
std::vector<PostedMessage> buttonClick(HWND dialog, int id);

// The control that has the keyboard focus in the window's thread, as the
// system tells another process; null when the focus lies outside `window`.
HWND focusedControl(HWND window);

// What the window was doing at this moment, for the report of a press that
// did not go through: "gone", or its caption, whether it is visible,
// enabled and in front, whether its thread answers within half a second
// (a modal loop elsewhere, a long wait), and where its keyboard focus is.
std::string describeWindow(HWND window);

}  // namespace scripted_user
