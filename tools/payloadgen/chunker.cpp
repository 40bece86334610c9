#include "payloadgen/chunker.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include "payload/payload_table.h"

static_assert(CHUNK_SOURCE_SIZE <= CHUNK_SIZE,
              "a piece must fit the extractor's buffer even when stored uncompressed");

namespace {

// Every chunk is made at level 6; zlib then writes the header
// 0x78 0x9C, which the extractor's tests and ours look for.
constexpr int compressionLevel = 6;

// One unit of work: a piece of a file and where its chunk goes.
struct Piece {
    std::size_t file;
    std::size_t chunk;
};

}  // namespace

std::vector<unsigned char> compressPiece(const unsigned char* data, std::size_t size) {
    if (size > static_cast<std::size_t>(CHUNK_SOURCE_SIZE))
        throw std::logic_error("a piece is larger than CHUNK_SOURCE_SIZE");
    uLongf length = compressBound(static_cast<uLong>(size));
    std::vector<unsigned char> chunk(length);
    int result = compress2(chunk.data(), &length, data, static_cast<uLong>(size), compressionLevel);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) throw std::logic_error("zlib refused to compress a piece");
    chunk.resize(length);

    // The extractor inflates into a buffer of CHUNK_SIZE bytes and trusts the
    // result; a chunk that does not come back whole within it must never be
    // emitted.
    std::vector<unsigned char> check(CHUNK_SIZE);
    uLongf inflated = static_cast<uLongf>(check.size());
    result = uncompress(check.data(), &inflated, chunk.data(), static_cast<uLong>(chunk.size()));
    if (result != Z_OK || inflated != size || !std::equal(data, data + size, check.begin()))
        throw std::logic_error("a compressed chunk does not inflate back to its piece");
    return chunk;
}

unsigned workerCount(unsigned threads) {
    if (threads != 0) return threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<ChunkedFile> chunkFiles(const std::vector<SourceFile>& files, unsigned threads,
                                    const std::function<void(std::size_t)>& pieceDone) {
    std::vector<ChunkedFile> result(files.size());
    std::vector<Piece> pieces;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const std::size_t size = files[f].content.size();
        const std::size_t count = (size + CHUNK_SOURCE_SIZE - 1) / CHUNK_SOURCE_SIZE;
        result[f].name = files[f].name;
        result[f].time = files[f].time;
        result[f].size = size;
        result[f].chunks.resize(count);
        for (std::size_t c = 0; c < count; ++c) pieces.push_back({f, c});
    }

    // Every piece has its own slot in `result`, so workers never share
    // output and the order of completion cannot show in the result.
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
        try {
            for (std::size_t i = next++; i < pieces.size(); i = next++) {
                const Piece& piece = pieces[i];
                const auto& content = files[piece.file].content;
                const std::size_t offset = piece.chunk * CHUNK_SOURCE_SIZE;
                const std::size_t size =
                    std::min<std::size_t>(CHUNK_SOURCE_SIZE, content.size() - offset);
                result[piece.file].chunks[piece.chunk] = compressPiece(content.data() + offset, size);
                if (pieceDone) pieceDone(size);
            }
        } catch (...) {
            std::lock_guard<std::mutex> hold(failureLock);
            if (!failure) failure = std::current_exception();
            next = pieces.size();
        }
    };

    const std::size_t workers = std::min<std::size_t>(workerCount(threads), pieces.size());
    if (workers <= 1) {
        work();
    } else {
        std::vector<std::thread> pool;
        pool.reserve(workers);
        try {
            for (std::size_t i = 0; i < workers; ++i) pool.emplace_back(work);
        } catch (...) {
            // Joinable threads must not be destroyed: stop and wait for the
            // ones already running before passing the failure on.
            next = pieces.size();
            for (auto& thread : pool) thread.join();
            throw;
        }
        for (auto& thread : pool) thread.join();
    }
    if (failure) std::rethrow_exception(failure);
    return result;
}
