// Finding the top-level windows of the program under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace scripted_user {

// Visible top-level windows in Z order, those of `processId` only (every
// process's when it is 0). Hidden helper windows that Wine and the system
// keep per process are no part of what a user sees.
std::vector<HWND> visibleTopLevelWindows(DWORD processId);

// The window's caption; "" for a window that is gone.
std::string windowCaption(HWND window);

// Waits for a visible top-level window of `processId` whose caption is
// exactly `caption`; null when none showed before the deadline.
HWND waitForWindow(DWORD processId, const std::string& caption, DWORD milliseconds);

// Waits until `window` is destroyed or hidden, as an answered dialog or
// message box goes some moments after its button was pressed.
bool waitUntilGone(HWND window, DWORD milliseconds);


}  // namespace scripted_user
