// The payload's file operations on Windows, over the C runtime (msvcrt) and
// kernel32. Paths are narrow strings in the ANSI code page.
//
// The runtime of the Windows 95 family and of NT 4 has only the status and
// time functions with 32-bit times, _stat and _utime; their 64-bit forms
// came later, and importing one keeps the program from starting there. The
// 32-bit build calls them by their explicit names (the import library
// binds _stat32 and _utime32 to _stat and _utime); the x86-64 build, which
// only the tests use, has 64-bit times throughout.
#include "payload/payload_io.h"

#include <direct.h>
#include <io.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <windows.h>

namespace payload_io {

bool systemDirectory(char* buffer, uint32_t size) {
    UINT length = GetSystemDirectoryA(buffer, size);
    return length > 0 && length < size;
}

#if defined(_WIN64)
typedef struct _stat64 RuntimeStatus;
typedef struct __utimbuf64 RuntimeTimes;
#define runtimeStatus _stat64
#define runtimeSetTimes _utime64
#else
typedef struct _stat32 RuntimeStatus;
typedef struct __utimbuf32 RuntimeTimes;
#define runtimeStatus _stat32
#define runtimeSetTimes _utime32
#endif

bool pathStatus(const char* path, PathStatus* status) {
    RuntimeStatus info;
    if (runtimeStatus(path, &info) != 0) return false;
    status->isDirectory = (info.st_mode & _S_IFDIR) != 0;
    status->modificationTime = info.st_mtime;
    return true;
}

bool createDirectory(const char* path) { return _mkdir(path) == 0; }

File* openForWriting(const char* path, bool* accessDenied) {
    errno = 0;
    FILE* file = fopen(path, "wb");
    *accessDenied = file == nullptr && errno == EACCES;
    return reinterpret_cast<File*>(file);
}

File* openExistingForWriting(const char* path, bool* missing, bool* accessDenied) {
    errno = 0;
    FILE* file = fopen(path, "r+b");
    *missing = file == nullptr && errno == ENOENT;
    *accessDenied = file == nullptr && errno == EACCES;
    return reinterpret_cast<File*>(file);
}

File* openForReading(const char* path) {
    return reinterpret_cast<File*>(fopen(path, "rb"));
}

uint32_t writeFile(File* file, const void* data, uint32_t size) {
    return static_cast<uint32_t>(fwrite(data, 1, size, reinterpret_cast<FILE*>(file)));
}

int32_t readFile(File* file, void* data, uint32_t size) {
    FILE* stream = reinterpret_cast<FILE*>(file);
    const size_t got = fread(data, 1, size, stream);
    return got == 0 && ferror(stream) ? -1 : static_cast<int32_t>(got);
}

// _commit has the system write the file's buffers to the disk
// (FlushFileBuffers); how far the disk's own cache keeps them is beyond
// any program.
bool flushFile(File* file) {
    FILE* stream = reinterpret_cast<FILE*>(file);
    return fflush(stream) == 0 && _commit(_fileno(stream)) == 0;
}

bool closeFile(File* file) { return fclose(reinterpret_cast<FILE*>(file)) == 0; }

bool renameFile(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

void setFileTimes(const char* path, int32_t time) {
    RuntimeTimes times;
    times.actime = time;
    times.modtime = time;
    runtimeSetTimes(path, &times);
}

bool removeFile(const char* path) { return remove(path) == 0; }

bool removeDirectory(const char* path) { return RemoveDirectoryA(path) != FALSE; }

namespace {

// The Windows 95 family's WININIT.EXE deletes, at the next start, every
// file named by a NUL= line of the [rename] section of WININIT.INI, by its
// short name: it runs before long names are available. The section may
// hold several NUL= lines, which the key functions would fold into one, so
// the whole section is read, extended and written back.
bool removeAtRestartByWininit(const char* path) {
    static char section[32768];
    char line[MAX_PATH + 4] = "NUL=";
    const DWORD shortLength = GetShortPathNameA(path, line + 4, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) return false;
    char wininit[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(wininit, MAX_PATH - 13);
    if (windowsLength == 0 || windowsLength >= MAX_PATH - 13) return false;
    lstrcpyA(wininit + windowsLength, "\\WININIT.INI");
    const DWORD used = GetPrivateProfileSectionA("rename", section, sizeof section, wininit);
    const DWORD lineLength = static_cast<DWORD>(lstrlenA(line));
    if (used + lineLength + 2 > sizeof section) return false;
    lstrcpyA(section + used, line);
    section[used + lineLength + 1] = '\0';
    return WritePrivateProfileSectionA("rename", section, wininit) != FALSE;
}

typedef BOOL(WINAPI* MoveFileExProc)(LPCSTR, LPCSTR, DWORD);

}  // namespace

// MoveFileEx is looked up at run time: the Windows 95 family's kernel32
// does not implement it, and there WININIT.INI does the same.
bool removeAtRestart(const char* path) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    MoveFileExProc moveFileEx = kernel ? reinterpret_cast<MoveFileExProc>(reinterpret_cast<void*>(
                                             GetProcAddress(kernel, "MoveFileExA")))
                                       : nullptr;
    if (moveFileEx && moveFileEx(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
    const bool windows95Family = (GetVersion() & 0x80000000u) != 0;
    return windows95Family && removeAtRestartByWininit(path);
}

void* allocate(uint32_t size) { return malloc(size); }
void release(void* block) { free(block); }

}  // namespace payload_io
