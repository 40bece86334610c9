// Other programs' top-level windows: visited one by one, their titles
// read, messages posted to them. window_platform_win32.cpp does it with
// the Win32 API; the native tests link a stand-in with windows of their
// own.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/handles.h"

namespace window_platform {

// Visits every top-level window, in the system's order, for as long as
// `visit` returns true.
typedef bool (*WindowVisitor)(WindowHandle window, intptr_t parameter);
void visitTopLevelWindows(WindowVisitor visit, intptr_t parameter);

// The window's title, cut by the system to `size` - 1 characters; "" when
// it has none.
void windowTitle(WindowHandle window, char* title, size_t size);

// Queued without waiting for the window's thread: WM_CLOSE asks a window to
// close, WM_QUIT ends its thread's message loop.
void postClose(WindowHandle window);
void postQuit(WindowHandle window);

}  // namespace window_platform
