// Keeps a Wine prefix's server running for the length of one test: while an
// ordinary Wine process lives, every further start in the prefix reuses the
// server (a tenth of a second instead of two), and services are not ended
// along with the last program. The test bed ends it by ending the server.
//
//   keeper.exe [READY-FILE]
//
// READY-FILE, a Windows path, is created once the keeper runs, so that the
// test bed can wait for it instead of guessing how long a start takes.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc > 1) {
        HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(ready);
    }
    Sleep(INFINITE);
    return 0;
}
