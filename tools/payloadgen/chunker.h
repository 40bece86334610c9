// Cutting payload files into pieces and compressing each piece into one
// self-contained zlib stream; the in-memory half of the generator, also used
// by tests that build payload tables without files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SourceFile { std::string name; std::vector<unsigned char> content; int32_t time; };
struct ChunkedFile {
    std::string name;
    int32_t time;
    std::vector<std::vector<unsigned char>> chunks;
    uint64_t size = 0;  // unpacked bytes
};
// Cuts and compresses every file; deterministic whatever `threads` is (0 = all cores).
// `pieceDone`, when given, is called with each piece's size once its chunk
// is made, from whichever thread made it.
std::vector<ChunkedFile> chunkFiles(const std::vector<SourceFile>& files, unsigned threads,
                                    const std::function<void(std::size_t)>& pieceDone = {});

// One piece (at most CHUNK_SOURCE_SIZE bytes) as a complete zlib stream at
// level 6. Throws std::logic_error when the stream does not inflate back to
// the piece within CHUNK_SIZE bytes, which the extractor relies on.
std::vector<unsigned char> compressPiece(const unsigned char* data, std::size_t size);

// The number of workers `threads` asks for: 0 means every core, and a
// machine that cannot tell still gets one.
unsigned workerCount(unsigned threads);
