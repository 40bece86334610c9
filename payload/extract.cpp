#include "payload/extract.h"

#include <string.h>
#include <zlib.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/payload_io.h"

namespace {

// The path a payload name is written to: the name itself, relative to the
// current directory, or for "SYSTEM" names the rest below the system
// directory. False when the system directory cannot be had or the path would
// not fit: a shortened path would put the file somewhere else.
bool resolvePayloadPath(const char* name, char* path) {
    if (!hasSystemPrefix(name)) return copyText(path, PATH_BUFFER_SIZE, name);
    char systemDirectory[PATH_BUFFER_SIZE];
    if (!payload_io::systemDirectory(systemDirectory, sizeof systemDirectory)) return false;
    return joinPath(path, PATH_BUFFER_SIZE, systemDirectory, name + SYSTEM_PREFIX_LENGTH);
}

// A system file whose existing copy is strictly newer than the stored time
// is left alone: another product may have installed a later version.
bool existingCopyIsNewer(const char* path, int32_t storedTime) {
    payload_io::PathStatus status;
    if (!payload_io::pathStatus(path, &status)) return false;
    return status.modificationTime > storedTime;
}

// A DLL held open by a running program refuses the open with an access
// error; it is taken to be in place already rather than failing the run.
bool isDllInUse(const char* path, bool accessDenied) {
    return accessDenied && (strstr(path, "DLL") != nullptr || strstr(path, "dll") != nullptr);
}

struct Progress {
    WindowHandle window;
    ProgressCallback callback;
    int64_t chunksDone;
    int64_t totalChunks;

    void report(const char* text) const {
        if (callback) callback(window, text, progressPercent(chunksDone, totalChunks));
    }
};

// Inflates one chunk into the working buffer. A damaged stream, or one that
// would inflate past CHUNK_SIZE, yields false and nothing of its output may
// reach the disk.
bool inflateChunk(const unsigned char* chunk, uint32_t length, unsigned char* buffer,
                  uLongf* produced) {
    *produced = CHUNK_SIZE;
    return uncompress(buffer, produced, chunk, length) == Z_OK;
}

ExtractResult writeChunks(const PayloadTable& table, int index, payload_io::File* file,
                          unsigned char* buffer, Progress& progress) {
    const char* name = table.fileNames[index];
    for (int32_t c = 0; c < table.fileChunkCounts[index]; ++c) {
        uLongf produced = 0;
        if (!inflateChunk(table.fileChunks[index][c], table.fileChunkLengths[index][c], buffer,
                          &produced)) {
            return EXTRACT_WRITE_FAILED;
        }
        uint32_t size = static_cast<uint32_t>(produced);
        if (payload_io::writeFile(file, buffer, size) < size) return EXTRACT_WRITE_FAILED;
        ++progress.chunksDone;
        progress.report(name);
    }
    return EXTRACT_DONE;
}

ExtractResult extractFile(const PayloadTable& table, int index, unsigned char* buffer,
                          Progress& progress) {
    const char* name = table.fileNames[index];
    int32_t chunkCount = table.fileChunkCounts[index];
    progress.report(name);  // announced before any test, so a skipped file shows too

    char path[PATH_BUFFER_SIZE];
    if (!resolvePayloadPath(name, path)) return EXTRACT_CANNOT_CREATE;
    if (hasSystemPrefix(name) && existingCopyIsNewer(path, table.fileTimes[index])) {
        progress.chunksDone += chunkCount;
        return EXTRACT_DONE;
    }
    if (!makeParentDirectories(path)) return EXTRACT_CANNOT_CREATE;

    bool accessDenied = false;
    payload_io::File* file = payload_io::openForWriting(path, &accessDenied);
    if (!file) {
        if (!isDllInUse(path, accessDenied)) return EXTRACT_CANNOT_CREATE;
        progress.chunksDone += chunkCount;
        return EXTRACT_DONE;
    }
    ExtractResult result = writeChunks(table, index, file, buffer, progress);
    // A failing close means the last buffered bytes never reached the disk.
    bool closed = payload_io::closeFile(file);
    if (result != EXTRACT_DONE) return result;
    if (!closed) return EXTRACT_WRITE_FAILED;
    // Times are set only after the close, or the close's own write would
    // give the file the current time again.
    payload_io::setFileTimes(path, table.fileTimes[index]);
    return EXTRACT_DONE;
}

int64_t countChunks(const PayloadTable& table) {
    int64_t total = 0;
    for (int32_t i = 0; i < table.fileCount; ++i) total += table.fileChunkCounts[i];
    return total;
}

}  // namespace

int progressPercent(int64_t chunksDone, int64_t totalChunks) {
    if (totalChunks <= 0) return 100;
    return static_cast<int>(chunksDone * 100 / totalChunks);
}

ExtractResult extractPayloadFrom(const PayloadTable& table, WindowHandle window,
                                 ProgressCallback callback) {
    unsigned char* buffer = static_cast<unsigned char*>(payload_io::allocate(CHUNK_SIZE));
    if (!buffer) return EXTRACT_NO_MEMORY;

    Progress progress = {window, callback, 0, countChunks(table)};
    ExtractResult result = EXTRACT_DONE;
    for (int32_t i = 0; i < table.fileCount && result == EXTRACT_DONE; ++i) {
        result = extractFile(table, i, buffer, progress);
    }
    payload_io::release(buffer);
    if (result != EXTRACT_DONE) return result;

    if (callback) {
        callback(window, "", 100);
        progress.report("Done");
    }
    return EXTRACT_DONE;
}

PayloadCheck checkPayloadFrom(const PayloadTable& table) {
    unsigned char* buffer = static_cast<unsigned char*>(payload_io::allocate(CHUNK_SIZE));
    if (!buffer) return PAYLOAD_UNCHECKED;
    PayloadCheck result = PAYLOAD_INTACT;
    for (int32_t i = 0; i < table.fileCount && result == PAYLOAD_INTACT; ++i) {
        const int32_t last = table.fileChunkCounts[i] - 1;
        for (int32_t c = 0; c <= last; ++c) {
            uLongf produced = 0;
            // The generator cuts every piece but a file's last to the full size.
            if (!inflateChunk(table.fileChunks[i][c], table.fileChunkLengths[i][c], buffer,
                              &produced) ||
                produced > CHUNK_SOURCE_SIZE || (c < last && produced != CHUNK_SOURCE_SIZE) ||
                produced == 0) {
                result = PAYLOAD_DAMAGED;
                break;
            }
        }
    }
    payload_io::release(buffer);
    return result;
}

int makeParentDirectories(const char* path) {
    char prefix[PATH_BUFFER_SIZE];
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (!isPathSeparator(path[i])) continue;
        if (i >= sizeof prefix) return 0;
        memcpy(prefix, path, i);
        prefix[i] = '\0';
        // The root ("" before a leading separator) and a drive designator are
        // no directories to create.
        if (i == 0 || isDriveDesignator(prefix, i)) continue;
        payload_io::PathStatus status;
        if (payload_io::pathStatus(prefix, &status)) continue;
        if (!payload_io::createDirectory(prefix)) return 0;
    }
    return 1;
}

int removePayloadFilesFrom(const PayloadTable& table, WindowHandle window,
                           ProgressCallback callback) {
    for (int32_t i = 0; i < table.fileCount; ++i) {
        const char* name = table.fileNames[i];
        if (callback) callback(window, name, static_cast<int>(int64_t{i} * 100 / table.fileCount));
        // Names are used as stored: files in the system directory are shared
        // with other programs and never removed.
        payload_io::File* probe = payload_io::openForReading(name);
        if (!probe) continue;
        payload_io::closeFile(probe);
        if (!payload_io::removeFile(name)) return 0;
    }
    if (callback) callback(window, "", 100);
    return EXTRACT_DONE;
}
