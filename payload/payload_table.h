// The product's files as linked-in tables of zlib-compressed chunks.
#pragma once

#include <stdint.h>

#include "common/path_rules.h"

// The generator cuts files into pieces of CHUNK_SOURCE_SIZE bytes and stores
// each as one self-contained zlib stream. CHUNK_SIZE is the extraction buffer;
// it is larger than any piece, so every intact chunk inflates into it.
enum { CHUNK_SOURCE_SIZE = 30000, CHUNK_SIZE = 32000 };

// A view of one generated table. Entry i of the five per-file arrays taken
// together is one payload file: name, chunks, chunk lengths, count, time.
// fileTimes are seconds since 1970-01-01 UTC in a signed 32-bit time_t.
struct PayloadTable {
    int32_t fileCount;
    const unsigned char* const* const* fileChunks;
    const uint32_t* const* fileChunkLengths;
    const char* const* fileNames;
    const int32_t* fileChunkCounts;
    const int32_t* fileTimes;
};

// Names with the system prefix (hasSystemPrefix, path_rules.h) land below
// the Windows system directory.

// The table of the product built into this program (generated source).
extern const PayloadTable payloadTable;

// The unpacked size of all its files together, in kilobytes of 1024 bytes,
// rounded up: what the installed product takes on the disk, less slack.
extern const uint32_t payloadInstalledKilobytes;
