// What extraction and removal need from the system, in our own words. One
// implementation serves Windows (payload_io_win32.cpp, over the C runtime
// and kernel32); the host tests link their own, with fault injection.
#pragma once

#include <stdint.h>

namespace payload_io {

struct PathStatus {
    bool isDirectory;
    int64_t modificationTime;  // seconds since 1970-01-01 UTC
};

struct File;  // an open file of the implementation

// The Windows system directory, without a guaranteed trailing separator.
// False when it cannot be had or does not fit the buffer.
bool systemDirectory(char* buffer, uint32_t size);

// False when nothing exists at the path.
bool pathStatus(const char* path, PathStatus* status);

// Creates one directory; false when it cannot be created.
bool createDirectory(const char* path);

// Creates or truncates a file for binary writing. On failure returns null and
// tells whether the open was refused for lack of access (a file in use or
// read-only) as opposed to any other reason.
File* openForWriting(const char* path, bool* accessDenied);

// Opens an existing file for binary writing without truncating it: the
// proof that no program holds a file before it is replaced. On failure
// returns null and tells whether nothing exists at the path, and whether the
// open was refused for lack of access.
File* openExistingForWriting(const char* path, bool* missing, bool* accessDenied);

// Opens an existing file for binary reading; null when it does not open.
File* openForReading(const char* path);

// Writes with one call; returns the number of bytes written.
uint32_t writeFile(File* file, const void* data, uint32_t size);

// Reads up to `size` bytes; returns the number read, 0 at the end and -1
// when the read fails, which must never pass for the end.
int32_t readFile(File* file, void* data, uint32_t size);

// Writes what the file has buffered through to the disk, as far as the
// system can; false when that fails.
bool flushFile(File* file);

// Closes the file; false when buffered bytes could not be written out.
bool closeFile(File* file);

// Gives a file another name in the same folder, bytes and times unchanged;
// false when that fails, and always when a file of the new name exists.
bool renameFile(const char* from, const char* to);

// Sets access and modification time; failures are of no interest.
void setFileTimes(const char* path, int32_t time);

// Deletes a file; false when it could not be deleted.
bool removeFile(const char* path);

// Deletes an empty directory; false when it stays.
bool removeDirectory(const char* path);

// Has the system delete a file (or an empty directory) when it next
// starts; false when that cannot be arranged.
bool removeAtRestart(const char* path);

// The working buffer; null when there is no memory for it.
void* allocate(uint32_t size);
void release(void* block);

}  // namespace payload_io
