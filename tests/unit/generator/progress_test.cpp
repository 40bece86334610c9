// The compression's progress: shown on a terminal once a run takes long
// enough, never in a build log.
#include <gtest/gtest.h>

#include <sstream>

#include "payloadgen/cli.h"
#include "payloadgen/progress.h"
#include "test_support.h"

namespace {

TEST(ProgressLine, CountsChunksAndRate) {
    struct Row {
        std::size_t done, total;
        uint64_t bytes;
        double seconds;
        const char* line;
    };
    const Row rows[] = {
        {0, 2260, 0, 0.0, "payloadgen: 0 of 2260 chunks (0%), - MB/s"},
        {1130, 2260, 33900000, 1.5, "payloadgen: 1130 of 2260 chunks (50%), 22.6 MB/s"},
        {2260, 2260, 67800000, 2.0, "payloadgen: 2260 of 2260 chunks (100%), 33.9 MB/s"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(payloadgen::progressLine(row.done, row.total, row.bytes, row.seconds), row.line);
}

TEST(Progress, StaysQuietForAShortRun) {
    double now = 10.0;
    std::ostringstream out;
    payloadgen::Progress progress(out, 3, 0.5, [&] { return now; });
    for (int i = 0; i < 3; ++i) {
        now += 0.1;
        progress.chunkDone(30000);
    }
    progress.finish();
    EXPECT_EQ(out.str(), "");
}

TEST(Progress, RedrawsOneLineAfterTheDelayAndEndsIt) {
    double now = 0.0;
    std::ostringstream out;
    payloadgen::Progress progress(out, 4, 0.5, [&] { return now; });
    now = 0.4;
    progress.chunkDone(1000000);  // still within the delay
    now = 1.0;
    progress.chunkDone(1000000);  // drawn
    now = 1.05;
    progress.chunkDone(1000000);  // too soon to redraw
    now = 2.0;
    progress.chunkDone(1000000);  // the last one is always drawn
    progress.finish();
    EXPECT_EQ(out.str(),
              "\rpayloadgen: 2 of 4 chunks (50%), 2.0 MB/s"
              "\rpayloadgen: 4 of 4 chunks (100%), 2.0 MB/s"
              "\rpayloadgen: 4 of 4 chunks (100%), 2.0 MB/s\n");
}

// A build log is no terminal: the generator prints its summary line alone.
TEST(Progress, NeverReachesABuildLog) {
    gentest::TestProduct product;
    product.addSource("big.bin", "files/big.bin", gentest::sampleBytes(300000, 5, false));
    std::ostringstream out, err;
    const std::vector<std::string> args = {"--product", product.productDir().string(), "--built",
                                           product.builtDir().string(), "--output",
                                           product.outputDir().string()};
    product.save();
    EXPECT_EQ(payloadgen::runPayloadgen(args, out, err, false), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str().find("payloadgen: 3 files"), 0u) << out.str();
}

}  // namespace
