// Holds a file the way a running program does: open, shared with nobody.
//
//   holdfile.exe FILE [RELEASE-EVENT [HELD-EVENT]]
//
// Creates FILE when it does not exist. Sets the named event HELD-EVENT once
// the file is open, so that nobody needs to probe the file to learn that
// (a probe open at the moment of this open would make it fail). Keeps the
// file open until the named manual-reset event RELEASE-EVENT is set, or,
// without it, until it is ended. Exits with 2 when the file cannot be
// opened, 3 when an event cannot be had.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    if (argc > 3) {
        HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (!held || !SetEvent(held)) {
            CloseHandle(file);
            return 3;
        }
        CloseHandle(held);
    }
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
