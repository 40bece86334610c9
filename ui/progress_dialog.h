// The modeless dialog that stands on the screen during extraction.
#pragma once

#include <windows.h>

// Dialog 109. Shows itself on creation; its close box only hides it.
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The run's progress callback: the percentage line, then the item line.
// Keeps no state and dispatches no messages: static controls redraw
// themselves when their text is set.
void updateProgressDialog(HWND dialog, const char* text, int percent);
