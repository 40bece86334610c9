#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "support/payload_io_control.h"
#include "support/test_platform.h"

std::string prepareSystemDirectory(const std::string& scratchFolder) {
    std::string directory = scratchFolder + "/system32";
    std::filesystem::create_directories(directory);
    payload_io_control::setSystemDirectory(directory);
    return directory;
}

HeldFile::HeldFile(const std::string& path) : path_(path) {
    payload_io_control::denyWriteAccess(path);
}

HeldFile::~HeldFile() {}

int64_t modificationTime(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime) : -1;
}

void setModificationTime(const std::string& path, int64_t time) {
    struct utimbuf times = {static_cast<time_t>(time), static_cast<time_t>(time)};
    utime(path.c_str(), &times);
}

void makeUndeletable(const std::string& path) { payload_io_control::failRemove(path); }
void makeDeletable(const std::string&) {}
