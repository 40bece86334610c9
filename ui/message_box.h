// The run's message boxes: modal, owned by the given window, OK with the
// warning icon unless a question is asked.
#pragma once

#include <windows.h>

void showWarning(HWND owner, const char* caption, const char* text);
