// The run's message boxes: modal, owned by the given window (null: none).
// Declared here in the run's own words; message_box_win32.cpp shows them,
// and the native tests link a stand-in that records them and answers from a
// script.
#pragma once

#include "common/handles.h"

// OK with the warning icon: something failed, or is about to happen.
void showWarning(WindowHandle owner, const char* caption, const char* text);

// OK without an icon: a notice of what comes next.
void showNotice(WindowHandle owner, const char* caption, const char* text);

// Yes and No without an icon; true only for Yes.
bool askYesNo(WindowHandle owner, const char* caption, const char* text);

// The uninstaller's: OK with the information icon (news, nothing wrong)
// and Yes and No with the question icon, which its own question carries.
void showInformation(WindowHandle owner, const char* caption, const char* text);
bool askQuestion(WindowHandle owner, const char* caption, const char* text);
