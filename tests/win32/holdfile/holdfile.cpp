// Holds a file the way a running program does: open, shared with nobody.
//
//   holdfile.exe FILE [EVENT]
//
// Creates FILE when it does not exist. Keeps it open until the named
// manual-reset event EVENT is set, or, without EVENT, until it is ended.
// Exits with 2 when the file cannot be opened, 3 when EVENT cannot be had.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    if (argc > 2) {
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, argv[2]);
        if (!release) {
            CloseHandle(file);
            return 3;
        }
        WaitForSingleObject(release, INFINITE);
        CloseHandle(release);
    } else {
        Sleep(INFINITE);
    }
    CloseHandle(file);
    return 0;
}
