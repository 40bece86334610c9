// Does nothing and ends: what starting a program costs by itself under
// Wine, for the timed run (autopilot --times). It imports from the same
// system DLLs as setup.exe, so that the loader maps and initialises the
// same set before its entry point runs; no function of theirs is called.
#include <windows.h>
#include <shlobj.h>

// Referenced, so that the linker keeps one import of each DLL.
extern const void* const SETUP_DLLS[];
const void* const SETUP_DLLS[] = {
    reinterpret_cast<const void*>(&RegCloseKey),                 // advapi32
    reinterpret_cast<const void*>(&GetStockObject),              // gdi32
    reinterpret_cast<const void*>(&CoInitialize),                // ole32
    reinterpret_cast<const void*>(&SHGetSpecialFolderLocation),  // shell32
    reinterpret_cast<const void*>(&CreateWindowExA),             // user32
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
