// Cutting files into 30000-byte pieces, each one complete zlib stream.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "payloadgen/chunker.h"
#include "test_support.h"

namespace {

struct ChunkRow {
    const char* label;
    std::size_t size;
    bool compressible;
    std::vector<std::size_t> pieces;
};

const ChunkRow chunkRows[] = {
    {"empty file", 0, true, {}},
    {"one byte", 1, false, {1}},
    {"exactly one piece", 30000, true, {30000}},
    {"one byte past a piece", 30001, true, {30000, 1}},
    {"noise, two pieces and a rest", 65000, false, {30000, 30000, 5000}},
};

std::vector<unsigned char> inflated(const std::vector<unsigned char>& chunk) {
    std::vector<unsigned char> buffer(32000);
    uLongf length = static_cast<uLongf>(buffer.size());
    EXPECT_EQ(uncompress(buffer.data(), &length, chunk.data(), static_cast<uLong>(chunk.size())), Z_OK)
        << "a chunk must inflate within 32000 bytes";
    buffer.resize(length);
    return buffer;
}

// All rows go through one call, so the test also sees that files keep their
// order, names and times.
TEST(Chunker, CutsEveryFileIntoPiecesThatInflateBack) {
    std::vector<SourceFile> sources;
    for (std::size_t i = 0; i < std::size(chunkRows); ++i) {
        const std::string bytes = gentest::sampleBytes(chunkRows[i].size, static_cast<uint32_t>(i),
                                                       chunkRows[i].compressible);
        sources.push_back({chunkRows[i].label, {bytes.begin(), bytes.end()}, static_cast<int32_t>(i) - 1});
    }
    const std::vector<ChunkedFile> files = chunkFiles(sources, 3);
    ASSERT_EQ(files.size(), sources.size());

    for (std::size_t i = 0; i < files.size(); ++i) {
        const ChunkRow& row = chunkRows[i];
        SCOPED_TRACE(row.label);
        EXPECT_EQ(files[i].name, row.label);
        EXPECT_EQ(files[i].time, static_cast<int32_t>(i) - 1);
        ASSERT_EQ(files[i].chunks.size(), row.pieces.size());
        std::size_t offset = 0;
        for (std::size_t c = 0; c < row.pieces.size(); ++c) {
            const auto& chunk = files[i].chunks[c];
            ASSERT_GE(chunk.size(), 2u);
            EXPECT_EQ(chunk[0], 0x78);
            EXPECT_EQ(chunk[1], 0x9C);
            const std::vector<unsigned char> piece(sources[i].content.begin() + offset,
                                                   sources[i].content.begin() + offset + row.pieces[c]);
            EXPECT_EQ(inflated(chunk), piece) << "chunk " << c;
            offset += row.pieces[c];
        }
    }
}

TEST(Chunker, StoresNoiseCompressedEvenWhenItGrows) {
    const std::string noise = gentest::sampleBytes(30000, 99, false);
    const auto files = chunkFiles({{"noise", {noise.begin(), noise.end()}, 0}}, 1);
    ASSERT_EQ(files[0].chunks.size(), 1u);
    const auto& chunk = files[0].chunks[0];
    EXPECT_GT(chunk.size(), noise.size());
    EXPECT_EQ(inflated(chunk), std::vector<unsigned char>(noise.begin(), noise.end()));
}

TEST(Chunker, RefusesAPieceLargerThanTheExtractorTakes) {
    const std::vector<unsigned char> tooLarge(30001, 'x');
    EXPECT_THROW(compressPiece(tooLarge.data(), tooLarge.size()), std::logic_error);
}

}  // namespace
