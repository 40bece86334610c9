#include "payload/extract.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/path_rules.h"
#include "payload/inflate.h"
#include "payload/journal.h"
#include "payload/payload_io.h"
#include "payload/upgrade.h"
#include "state/run_log.h"

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
    Journal* journal;  // null: files are written over, as by extractPayload

    void report(const char* text) const {
        if (callback) callback(window, text, progressPercent(chunksDone, totalChunks));
    }
};

// Inflates one chunk into the working buffer. A damaged stream, or one that
// would inflate past CHUNK_SIZE, yields false and nothing of its output may
// reach the disk.
bool inflateChunk(const unsigned char* chunk, uint32_t length, unsigned char* buffer,
                  uint32_t* produced) {
    return inflateStream(chunk, length, buffer, CHUNK_SIZE, produced);
}

ExtractResult writeChunks(const PayloadTable& table, int index, payload_io::File* file,
                          unsigned char* buffer, Progress& progress) {
    const char* name = table.fileNames[index];
    for (int32_t c = 0; c < table.fileChunkCounts[index]; ++c) {
        uint32_t produced = 0;
        if (!inflateChunk(table.fileChunks[index][c], table.fileChunkLengths[index][c], buffer,
                          &produced)) {
            return EXTRACT_WRITE_FAILED;
        }
        if (payload_io::writeFile(file, buffer, produced) < produced) return EXTRACT_WRITE_FAILED;
        ++progress.chunksDone;
        progress.report(name);
    }
    return EXTRACT_DONE;
}

// With a journal, a file that exists is first opened without truncating
// it: that open is the test whether a program holds it. Only then is it
// listed and renamed aside, and the new file made under its name; a name
// that is taken already for the kept copy is no user's file to guess at,
// and fails the run. A missing file is listed as new before it is made,
// unless it goes to the system directory, whose files setup never
// removes. EXTRACT_DONE with no file: the file is skipped as in place.
ExtractResult openTarget(const char* name, const char* path, Journal* journal,
                         payload_io::File** file) {
    bool accessDenied = false;
    bool keptAside = false;
    if (journal) {
        bool missing = false;
        payload_io::File* probe = payload_io::openExistingForWriting(path, &missing, &accessDenied);
        char kept[PATH_BUFFER_SIZE];
        if (probe) {
            payload_io::closeFile(probe);
            payload_io::PathStatus status;
            if (!keptName(kept, path) ||
                payload_io::pathStatus(kept, &status)) {
                return EXTRACT_CANNOT_CREATE;
            }
            if (!writeJournalLine(journal, "kept", path)) return EXTRACT_WRITE_FAILED;
            if (!payload_io::renameFile(path, kept)) return EXTRACT_CANNOT_CREATE;
            logStep("%s kept aside until the run ends.", path);
            keptAside = true;
        } else if (!missing) {
            return isDllInUse(path, accessDenied) ? EXTRACT_DONE : EXTRACT_CANNOT_CREATE;
        } else if (!hasSystemPrefix(name) && !writeJournalLine(journal, "new", path)) {
            return EXTRACT_WRITE_FAILED;
        }
    }
    *file = payload_io::openForWriting(path, &accessDenied);
    if (*file) return EXTRACT_DONE;
    // The copy kept aside is whole and must come back: this cannot pass
    // for a library in place.
    return !keptAside && isDllInUse(path, accessDenied) ? EXTRACT_DONE : EXTRACT_CANNOT_CREATE;
}

ExtractResult extractFile(const PayloadTable& table, int index, unsigned char* buffer,
                          Progress& progress) {
    const char* name = table.fileNames[index];
    int32_t chunkCount = table.fileChunkCounts[index];
    progress.report(name);  // announced before any test, so a skipped file shows too

    char path[PATH_BUFFER_SIZE];
    if (!resolvePayloadPath(name, path)) return EXTRACT_CANNOT_CREATE;
    if (hasSystemPrefix(name) && existingCopyIsNewer(path, table.fileTimes[index])) {
        logStep("%s skipped: the copy in place is newer.", path);
        progress.chunksDone += chunkCount;
        return EXTRACT_DONE;
    }
    if (!makeParentDirectories(path)) {
        logStep("%s: its folder cannot be created.", path);
        return EXTRACT_CANNOT_CREATE;
    }

    payload_io::File* file = nullptr;
    ExtractResult opened = openTarget(name, path, progress.journal, &file);
    if (opened != EXTRACT_DONE) {
        logStep("%s cannot be written.", path);
        return opened;
    }
    if (!file) {
        logStep("%s skipped: a program holds it, and a library held is taken as in place.", path);
        progress.chunksDone += chunkCount;
        return EXTRACT_DONE;
    }
    ExtractResult result = writeChunks(table, index, file, buffer, progress);
    // A failing close means the last buffered bytes never reached the disk.
    bool closed = payload_io::closeFile(file);
    if (result != EXTRACT_DONE || !closed) {
        logStep("%s could not be written whole.", path);
        return EXTRACT_WRITE_FAILED;
    }
    // Times are set only after the close, or the close's own write would
    // give the file the current time again.
    payload_io::setFileTimes(path, table.fileTimes[index]);
    logStep("%s written.", path);
    return EXTRACT_DONE;
}

int64_t countChunks(const PayloadTable& table) {
    int64_t total = 0;
    for (int32_t i = 0; i < table.fileCount; ++i) total += table.fileChunkCounts[i];
    return total;
}

// Every file in table order, stopping at the first failure.
ExtractResult extractFiles(const PayloadTable& table, unsigned char* buffer, Progress& progress) {
    ExtractResult result = EXTRACT_DONE;
    for (int32_t i = 0; i < table.fileCount && result == EXTRACT_DONE; ++i) {
        result = extractFile(table, i, buffer, progress);
    }
    return result;
}

void reportCompletion(const Progress& progress) {
    if (!progress.callback) return;
    progress.callback(progress.window, "", 100);
    progress.report("Done");
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

    Progress progress = {window, callback, 0, countChunks(table), nullptr};
    ExtractResult result = extractFiles(table, buffer, progress);
    payload_io::release(buffer);
    if (result == EXTRACT_DONE) reportCompletion(progress);
    return result;
}

ExtractResult upgradePayloadFrom(const PayloadTable& table, const char* folder,
                                 const UpgradeNotes& notes, WindowHandle window,
                                 ProgressCallback callback, UpgradeOutcome* outcome) {
    // What an earlier run left is finished before this one begins its own;
    // if it cannot be, its kept files are still needed, and nothing may
    // stand in their place.
    finishUpgradeIn(folder, outcome);
    const bool blocked = outcome->journalFound && !outcome->journalRemoved;
    memset(outcome, 0, sizeof *outcome);
    if (blocked) return EXTRACT_CANNOT_CREATE;

    unsigned char* buffer = static_cast<unsigned char*>(payload_io::allocate(CHUNK_SIZE));
    if (!buffer) return EXTRACT_NO_MEMORY;
    Journal journal;
    if (!openJournal(&journal, folder, notes)) {
        payload_io::release(buffer);
        return EXTRACT_CANNOT_CREATE;
    }
    Progress progress = {window, callback, 0, countChunks(table), &journal};
    ExtractResult result = extractFiles(table, buffer, progress);
    payload_io::release(buffer);
    if (result == EXTRACT_DONE && !writeJournalLine(&journal, "done", nullptr)) {
        result = EXTRACT_WRITE_FAILED;
    }
    closeJournal(&journal);

    // The journal as it stands on disk decides, whatever this run meant: a
    // commit line that was written but could not be confirmed commits all
    // the same, and one that is not there undoes the run.
    finishUpgradeIn(folder, outcome);
    if (outcome->committed) result = EXTRACT_DONE;
    if (result == EXTRACT_DONE) reportCompletion(progress);
    return result;
}

PayloadCheck checkPayloadFrom(const PayloadTable& table) {
    unsigned char* buffer = static_cast<unsigned char*>(payload_io::allocate(CHUNK_SIZE));
    if (!buffer) return PAYLOAD_UNCHECKED;
    PayloadCheck result = PAYLOAD_INTACT;
    for (int32_t i = 0; i < table.fileCount && result == PAYLOAD_INTACT; ++i) {
        const int32_t last = table.fileChunkCounts[i] - 1;
        for (int32_t c = 0; c <= last; ++c) {
            uint32_t produced = 0;
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
