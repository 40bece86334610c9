// The licence agreement: the gate of the installation.
#pragma once

#include <windows.h>

// Dialog 111. Ends with 1 when the user accepts, 0 when the user declines
// (the decline button, Escape or the close box).
INT_PTR CALLBACK agreementDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
