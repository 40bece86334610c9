/* The product's program: it shows the folder it runs in. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    MessageBoxA(NULL, folder, "Minimal", MB_OK | MB_ICONINFORMATION);
    return 0;
}
