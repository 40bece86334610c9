// What the stage sequence needs from the Win32 shell beyond the folder
// choice's machine: the start-up guards, the backdrop, the agreement and
// progress dialogs, and the end of the process. setup_platform_win32.cpp
// does it on Windows; the native tests link a stand-in that records each
// call, so that the order of the run can be checked.
#pragma once

#include <stdint.h>

#include "common/handles.h"

namespace setup_platform {

// The backdrop window (fills the backdrop's fields of setupState); false
// when its class cannot be registered.
bool createBackdrop();

// Destroys the backdrop window and deletes its title font: the end of a
// completed run only.
void destroyBackdrop();

// The modal agreement dialog: 1 accepted, 0 declined, -1 not shown.
int runAgreementDialog();

// The modeless progress dialog, visible at once; null when it cannot be
// made (the extraction reports to no window then).
WindowHandle openProgressDialog();
void closeProgressDialog(WindowHandle dialog);

// The progress dialog's callback (a ProgressCallback).
void reportProgress(WindowHandle dialog, const char* text, int percent);

// Ends the process at once with `status`, without returning to WinMain.
[[noreturn]] void endProcess(int status);

}  // namespace setup_platform
