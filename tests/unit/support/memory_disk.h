// A Windows disk in memory behind payload_io (payload_io_memory.cpp), for
// tests that must fail or end a run at every single file-system step and
// then look at the whole disk. Paths are Windows paths: "/" counts as "\",
// case is ignored (and kept for display), and a relative path is taken
// against the current directory the test sets. Writes go straight to the
// file: a process that dies keeps what it wrote, since no cache is modelled.
//
// The disk follows Windows where the engine depends on it: a rename fails
// when the new name exists or the old one is missing; removing a missing
// file fails; a file that this process has open can be neither renamed nor
// removed (the C runtime opens without delete sharing); a file held by
// another program refuses every open for writing with an access error, and
// can be neither renamed nor removed, but it can be read.
#pragma once

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace memory_disk {

// Thrown just before the step given to stopAtStep is carried out: the
// process dies there. The disk keeps everything done so far; handles the
// run had open are closed as the system closes a dead process's handles.
struct Stopped {};

struct FileImage {
    std::vector<unsigned char> bytes;
    int64_t time;
};

// The whole disk, by full path as displayed.
struct Image {
    std::map<std::string, FileImage> files;
    std::set<std::string> directories;
};

enum StepKind {
    OPEN_FOR_WRITING,
    OPEN_EXISTING_FOR_WRITING,
    OPEN_FOR_READING,
    WRITE,
    READ,
    FLUSH,
    CLOSE,
    RENAME,
    REMOVE,
    SET_TIMES,
    CREATE_DIRECTORY,
    REMOVE_DIRECTORY,
    REMOVE_AT_RESTART,
};

struct Step {
    StepKind kind;
    std::string path;    // full path
    std::string target;  // a rename's new full path
    std::string text;    // for failure messages
    bool succeeded;
    bool injected;  // made to fail by failStep
    // The injected failure lost nothing: a flush or close of a handle
    // that had nothing written since its last flush.
    bool lossless;
};

// An empty disk: no files, no faults, nothing held; the current directory
// C:\, the system directory C:\WINDOWS\SYSTEM (not created), the clock at
// 2023. Frees whatever runs that died left behind.
void reset();

void setCurrentDirectory(const std::string& path);
void setSystemDirectory(const std::string& path);
void setNow(int64_t time);  // the time a written file gets

void addDirectory(const std::string& path);  // with its parents
void addFile(const std::string& path, const std::vector<unsigned char>& bytes, int64_t time);
void hold(const std::string& path);   // another program has the file open
void letGo(const std::string& path);  // and closes it

// Step n (1-based, counted since reset) fails as that step fails: an open
// returns null (not an access error), a write writes one byte short, a
// read returns -1, a flush, close, rename, removal or directory operation
// returns false, a time set changes nothing.
void failStep(int n);
// Step n throws Stopped instead of being carried out.
void stopAtStep(int n);

const std::vector<Step>& steps();
Image snapshot();

// Handles this process has open and working buffers it holds; a run that
// ended normally leaves none. A run that died is not counted.
int openHandles();
int heldBuffers();
// Misuse of the seam: a handle used after its close or never opened, a
// write through a reading handle, a buffer released twice.
const std::vector<std::string>& misuses();
const std::vector<std::string>& dueAtRestart();

}  // namespace memory_disk
