// Extraction of the payload to disk, and its removal after a failed run.
#pragma once

#include "common/handles.h"
#include "payload/payload_table.h"

// Called with the window given to the operation, a payload name as stored
// (or "" / "Done" at the end) and a percentage from 0 to 100.
typedef void (*ProgressCallback)(WindowHandle window, const char* text, int percent);

enum ExtractResult {
    EXTRACT_CANNOT_CREATE = 1,  // a directory or a file cannot be created
    EXTRACT_WRITE_FAILED = 2,   // a file was not written completely
    EXTRACT_NO_MEMORY = 3,      // the working buffer cannot be allocated
    EXTRACT_DONE = 4            // every file is in place
};

// Writes every file of the table below the current directory ("SYSTEM/"
// names below the system directory), in table order, each with its stored
// time. A null callback reports nothing and changes nothing else.
ExtractResult extractPayloadFrom(const PayloadTable& table, WindowHandle window,
                                 ProgressCallback callback);

// The same for the table linked into this program.
ExtractResult extractPayload(WindowHandle window, ProgressCallback callback);

// Whether every chunk of the table is whole, found before anything is
// written: each inflates without error (its Adler-32 checksum included)
// into the working buffer, to a full piece or, as a file's last chunk, to
// at most one. A buffer that cannot be had leaves the table unchecked; the
// extraction then reports the lack of memory itself.
enum PayloadCheck { PAYLOAD_INTACT, PAYLOAD_DAMAGED, PAYLOAD_UNCHECKED };
PayloadCheck checkPayloadFrom(const PayloadTable& table);

// The same for the table linked into this program.
PayloadCheck checkPayload();

// Creates every directory on the path before its last separator; a drive
// designator ("C:") is passed over. Returns 1 when all exist, 0 when one
// cannot be created (those made so far stay).
int makeParentDirectories(const char* path);

// Deletes every payload name found below the current directory, in table
// order. Returns EXTRACT_DONE when all are gone, 0 at the first file that
// exists but cannot be deleted (later files are left).
int removePayloadFilesFrom(const PayloadTable& table, WindowHandle window,
                           ProgressCallback callback);
int removePayloadFiles(WindowHandle window, ProgressCallback callback);

// The percentage reported for chunksDone of totalChunks, truncated. A table
// without chunks counts as complete rather than dividing by zero.
int progressPercent(int64_t chunksDone, int64_t totalChunks);
