#include <sys/stat.h>
#include <sys/utime.h>
#include <windows.h>

#include "support/test_platform.h"

std::string prepareSystemDirectory(const std::string&) {
    char directory[MAX_PATH];
    GetSystemDirectoryA(directory, sizeof directory);
    return directory;
}

HeldFile::HeldFile(const std::string& path) : path_(path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = file == INVALID_HANDLE_VALUE ? nullptr : file;
}

HeldFile::~HeldFile() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}

int64_t modificationTime(const std::string& path) {
    struct _stat64 info;
    return _stat64(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime) : -1;
}

void setModificationTime(const std::string& path, int64_t time) {
    struct __utimbuf64 times = {time, time};
    _utime64(path.c_str(), &times);
}

// The runtime refuses to delete a read-only file.
void makeUndeletable(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

void makeDeletable(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
