// Running copies of the product are asked to close before its files are
// replaced. Portable: the windows come through window_platform.h.
#pragma once

#include <stdint.h>

#include "common/handles.h"

// What a top-level window is asked: a title that begins with the product's
// name (case-sensitive) is a copy of the product, asked to close; else a
// title equal to the service window's (non-empty) title is the product's
// service program on the Windows 95 family, asked to quit.
enum WindowRequest { LEAVE_WINDOW, CLOSE_WINDOW, QUIT_WINDOW };
WindowRequest requestFor(const char* title, const char* productName, const char* serviceTitle);

// Tells the user, waits 2 s, asks every matching window, waits 8 s for them
// to go. `instance` is not used. Nothing is checked: a copy that stays
// holds its files, and the extraction reports that.
void closeRunningCopies(ModuleHandle instance, WindowHandle owner);

struct InstallerConfig;

// Asks every matching window of the product `config` describes, without a
// word or a wait: the waiting is the caller's.
void askRunningCopiesToClose(const InstallerConfig& config);

// One window of the enumeration, `parameter` the InstallerConfig; always
// true, so that every window is seen.
bool closeMatchingWindow(WindowHandle window, intptr_t parameter);
