// Reports the platform that GetVersionExA gives this program as its exit
// code (1 for the Windows 95 family, 2 for NT). Copied under the name
// setup.exe, it shows which version Wine's per-program setting for
// setup.exe really hands out.
#include <windows.h>

int main() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return 255;
    return static_cast<int>(version.dwPlatformId);
}
