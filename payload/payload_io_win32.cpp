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

File* openForReading(const char* path) {
    return reinterpret_cast<File*>(fopen(path, "rb"));
}

uint32_t writeFile(File* file, const void* data, uint32_t size) {
    return static_cast<uint32_t>(fwrite(data, 1, size, reinterpret_cast<FILE*>(file)));
}

bool closeFile(File* file) { return fclose(reinterpret_cast<FILE*>(file)) == 0; }

void setFileTimes(const char* path, int32_t time) {
    RuntimeTimes times;
    times.actime = time;
    times.modtime = time;
    runtimeSetTimes(path, &times);
}

bool removeFile(const char* path) { return remove(path) == 0; }

void* allocate(uint32_t size) { return malloc(size); }
void release(void* block) { free(block); }

}  // namespace payload_io
