// Payload tables made in memory for tests, cut and compressed the way the
// generator does it, with hooks to damage them.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/payload_table.h"

using Bytes = std::vector<unsigned char>;

class TestPayload {
public:
    // Adds a file cut into CHUNK_SOURCE_SIZE pieces, each a zlib stream.
    TestPayload& add(const std::string& name, const Bytes& content, int32_t time);
    // Adds a file whose chunks are given as they are (possibly not zlib).
    TestPayload& addRawChunks(const std::string& name, std::vector<Bytes> chunks, int32_t time);

    Bytes& chunk(int file, int index) { return files_[file].chunks[index]; }

    // A view valid until the payload is changed or destroyed.
    const PayloadTable& table();

private:
    struct File {
        std::string name;
        int32_t time;
        std::vector<Bytes> chunks;
    };
    std::vector<File> files_;
    std::vector<std::vector<const unsigned char*>> chunkPointers_;
    std::vector<std::vector<uint32_t>> chunkLengths_;
    std::vector<const unsigned char* const*> fileChunks_;
    std::vector<const uint32_t*> fileChunkLengths_;
    std::vector<const char*> fileNames_;
    std::vector<int32_t> fileChunkCounts_;
    std::vector<int32_t> fileTimes_;
    PayloadTable table_ = {};
};

Bytes compressStream(const unsigned char* data, size_t size);
Bytes patternBytes(size_t size, unsigned variant);  // compressible, not trivial
Bytes randomBytes(size_t size, unsigned variant);   // incompressible
