// payload_io on the host, over POSIX, with the faults the tests ask for.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <utime.h>

#include <unistd.h>

#include <set>
#include <vector>
#include <string>

#include "payload/payload_io.h"
#include "support/payload_io_control.h"

namespace {

struct State {
    std::string systemDirectory;
    bool systemDirectoryFails = false;
    bool allocationFails = false;
    int shortWriteCall = 0;
    int failingCloseCall = 0;
    int writes = 0;
    int closesOfWrittenFiles = 0;
    int allocations = 0;
    std::set<std::string> deniedPaths;
    std::set<std::string> unremovablePaths;
    bool restartFails = false;
    std::vector<std::string> dueAtRestart;
};

State state;

// Windows paths arrive with "\"; the host file system wants "/".
std::string hostPath(const char* path) {
    std::string result(path);
    for (char& c : result) {
        if (c == '\\') c = '/';
    }
    return result;
}

struct HostFile {
    FILE* stream;
    bool forWriting;
};

}  // namespace

namespace payload_io_control {

void reset() { state = State(); }
void setSystemDirectory(const std::string& directory) { state.systemDirectory = directory; }
void failSystemDirectory() { state.systemDirectoryFails = true; }
void failAllocation() { state.allocationFails = true; }
void shortWriteOnCall(int writeNumber) { state.shortWriteCall = writeNumber; }
void failCloseOnCall(int closeNumber) { state.failingCloseCall = closeNumber; }
void denyWriteAccess(const std::string& path) { state.deniedPaths.insert(hostPath(path.c_str())); }
void failRemove(const std::string& path) { state.unremovablePaths.insert(hostPath(path.c_str())); }
void failRemoveAtRestart() { state.restartFails = true; }
const std::vector<std::string>& dueAtRestart() { return state.dueAtRestart; }
int writeCalls() { return state.writes; }
int allocations() { return state.allocations; }

}  // namespace payload_io_control

namespace payload_io {

bool systemDirectory(char* buffer, uint32_t size) {
    if (state.systemDirectoryFails || state.systemDirectory.size() >= size) return false;
    memcpy(buffer, state.systemDirectory.c_str(), state.systemDirectory.size() + 1);
    return true;
}

bool pathStatus(const char* path, PathStatus* status) {
    struct stat info;
    if (stat(hostPath(path).c_str(), &info) != 0) return false;
    status->isDirectory = S_ISDIR(info.st_mode);
    status->modificationTime = info.st_mtime;
    return true;
}

bool createDirectory(const char* path) { return mkdir(hostPath(path).c_str(), 0777) == 0; }

File* openForWriting(const char* path, bool* accessDenied) {
    std::string host = hostPath(path);
    *accessDenied = false;
    if (state.deniedPaths.count(host)) {
        *accessDenied = true;
        return nullptr;
    }
    FILE* stream = fopen(host.c_str(), "wb");
    if (!stream) {
        *accessDenied = errno == EACCES;
        return nullptr;
    }
    return reinterpret_cast<File*>(new HostFile{stream, true});
}

File* openExistingForWriting(const char* path, bool* missing, bool* accessDenied) {
    std::string host = hostPath(path);
    *missing = false;
    *accessDenied = false;
    if (state.deniedPaths.count(host)) {
        *accessDenied = true;
        return nullptr;
    }
    FILE* stream = fopen(host.c_str(), "r+b");
    if (!stream) {
        *missing = errno == ENOENT;
        *accessDenied = errno == EACCES;
        return nullptr;
    }
    return reinterpret_cast<File*>(new HostFile{stream, false});
}

int32_t readFile(File* file, void* data, uint32_t size) {
    HostFile* host = reinterpret_cast<HostFile*>(file);
    const size_t got = fread(data, 1, size, host->stream);
    return got == 0 && ferror(host->stream) ? -1 : static_cast<int32_t>(got);
}

bool flushFile(File* file) {
    HostFile* host = reinterpret_cast<HostFile*>(file);
    return fflush(host->stream) == 0 && fsync(fileno(host->stream)) == 0;
}

// Windows never renames over an existing file; the host's rename would.
bool renameFile(const char* from, const char* to) {
    struct stat info;
    if (stat(hostPath(to).c_str(), &info) == 0) return false;
    return rename(hostPath(from).c_str(), hostPath(to).c_str()) == 0;
}

File* openForReading(const char* path) {
    FILE* stream = fopen(hostPath(path).c_str(), "rb");
    if (!stream) return nullptr;
    return reinterpret_cast<File*>(new HostFile{stream, false});
}

uint32_t writeFile(File* file, const void* data, uint32_t size) {
    HostFile* host = reinterpret_cast<HostFile*>(file);
    ++state.writes;
    if (state.writes == state.shortWriteCall && size > 0) --size;
    return static_cast<uint32_t>(fwrite(data, 1, size, host->stream));
}

bool closeFile(File* file) {
    HostFile* host = reinterpret_cast<HostFile*>(file);
    bool ok = fclose(host->stream) == 0;
    if (host->forWriting && ++state.closesOfWrittenFiles == state.failingCloseCall) ok = false;
    delete host;
    return ok;
}

void setFileTimes(const char* path, int32_t time) {
    struct utimbuf times;
    times.actime = time;
    times.modtime = time;
    utime(hostPath(path).c_str(), &times);
}

bool removeFile(const char* path) {
    std::string host = hostPath(path);
    if (state.unremovablePaths.count(host)) return false;
    return remove(host.c_str()) == 0;
}

bool removeDirectory(const char* path) { return rmdir(hostPath(path).c_str()) == 0; }

bool removeAtRestart(const char* path) {
    if (state.restartFails) return false;
    state.dueAtRestart.push_back(path);
    return true;
}

void* allocate(uint32_t size) {
    if (state.allocationFails) return nullptr;
    ++state.allocations;
    return malloc(size);
}

void release(void* block) { free(block); }

}  // namespace payload_io
