#include "support/test_payload.h"

#include <zlib.h>

#include <stdexcept>

Bytes compressStream(const unsigned char* data, size_t size) {
    uLongf length = compressBound(size);
    Bytes out(length);
    if (compress2(out.data(), &length, data, size, 6) != Z_OK) throw std::runtime_error("compress2");
    out.resize(length);
    return out;
}

Bytes patternBytes(size_t size, unsigned variant) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<unsigned char>("tarn wick "[(i / 7 + variant) % 10] + (i % 97 == 0));
    return out;
}

Bytes randomBytes(size_t size, unsigned variant) {
    Bytes out(size);
    uint32_t x = variant * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<unsigned char>(x);
    }
    return out;
}

TestPayload& TestPayload::add(const std::string& name, const Bytes& content, int32_t time) {
    std::vector<Bytes> chunks;
    for (size_t at = 0; at < content.size(); at += CHUNK_SOURCE_SIZE) {
        size_t piece = std::min<size_t>(CHUNK_SOURCE_SIZE, content.size() - at);
        chunks.push_back(compressStream(content.data() + at, piece));
    }
    return addRawChunks(name, std::move(chunks), time);
}

TestPayload& TestPayload::addRawChunks(const std::string& name, std::vector<Bytes> chunks,
                                       int32_t time) {
    files_.push_back(File{name, time, std::move(chunks)});
    return *this;
}

const PayloadTable& TestPayload::table() {
    chunkPointers_.assign(files_.size(), {});
    chunkLengths_.assign(files_.size(), {});
    fileChunks_.clear();
    fileChunkLengths_.clear();
    fileNames_.clear();
    fileChunkCounts_.clear();
    fileTimes_.clear();
    for (size_t i = 0; i < files_.size(); ++i) {
        for (const Bytes& c : files_[i].chunks) {
            chunkPointers_[i].push_back(c.data());
            chunkLengths_[i].push_back(static_cast<uint32_t>(c.size()));
        }
        fileChunks_.push_back(chunkPointers_[i].data());
        fileChunkLengths_.push_back(chunkLengths_[i].data());
        fileNames_.push_back(files_[i].name.c_str());
        fileChunkCounts_.push_back(static_cast<int32_t>(files_[i].chunks.size()));
        fileTimes_.push_back(files_[i].time);
    }
    table_ = PayloadTable{static_cast<int32_t>(files_.size()), fileChunks_.data(),
                          fileChunkLengths_.data(), fileNames_.data(), fileChunkCounts_.data(),
                          fileTimes_.data()};
    return table_;
}
