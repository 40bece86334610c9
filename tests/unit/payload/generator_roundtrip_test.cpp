// From the generator's own chunking to extracted files: whatever shape a
// product file has, it comes back byte for byte with its stored time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/extract.h"
#include "payloadgen/chunker.h"
#include "support/scratch_folder.h"
#include "support/test_payload.h"
#include "support/test_platform.h"

namespace {

TEST(GeneratorRoundTrip, EveryShapeOfFileComesBackWithItsTime) {
    struct Case {
        const char* label;
        std::string name;
        std::string hostPath;
        Bytes content;
        size_t chunks;
    };
    std::vector<Case> cases = {
        {"empty file", "empty.twr", "empty.twr", Bytes(), 0},
        {"exactly one piece", "piece.bin", "piece.bin", patternBytes(30000, 1), 1},
        {"one byte more", "piece1.bin", "piece1.bin", patternBytes(30001, 2), 2},
        {"incompressible", "noise.gif", "noise.gif", randomBytes(30000, 3), 1},
        {"nested folders", "a/b\\c/deep.htm", "a/b/c/deep.htm", patternBytes(64000, 4), 3},
    };
    std::vector<SourceFile> sources;
    for (size_t i = 0; i < cases.size(); ++i) {
        sources.push_back(SourceFile{cases[i].name, cases[i].content,
                                     1100000000 + static_cast<int32_t>(i)});
    }
    std::vector<ChunkedFile> chunked = chunkFiles(sources, 0);

    TestPayload payload;
    for (ChunkedFile& file : chunked) payload.addRawChunks(file.name, file.chunks, file.time);
    ScratchFolder scratch;
    ASSERT_EQ(EXTRACT_DONE, extractPayloadFrom(payload.table(), nullptr, nullptr));

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        EXPECT_EQ(cases[i].chunks, chunked[i].chunks.size());
        EXPECT_EQ(cases[i].content, readFile(cases[i].hostPath));
        EXPECT_EQ(1100000000 + static_cast<int64_t>(i), modificationTime(cases[i].hostPath));
    }
    EXPECT_GT(chunked[3].chunks[0].size(), 30000u) << "stored compressed even when longer";
}

}  // namespace
