// The platform's handles as the portable code passes them on: the same
// incomplete types that <windows.h> declares for HWND, HINSTANCE and HFONT,
// so a Win32 handle converts to and from these without a cast, and code
// that only carries handles needs no <windows.h>.
#pragma once

struct HWND__;
struct HINSTANCE__;
struct HFONT__;

typedef HWND__* WindowHandle;
typedef HINSTANCE__* ModuleHandle;
typedef HFONT__* FontHandle;
