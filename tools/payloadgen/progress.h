// How far the compression of a large product is, for a person watching a
// terminal: one line rewritten in place, "payloadgen: 1130 of 2260 chunks
// (50%), 28.4 MB/s". Nothing appears before `delay` seconds have passed, so
// a small product leaves the terminal as quiet as a build log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace payloadgen {

// "payloadgen: <done> of <total> chunks (<percent>%), <rate> MB/s", the rate
// being `bytes` (of the source, 1 MB = 1,000,000 bytes) over `seconds`.
std::string progressLine(std::size_t done, std::size_t total, uint64_t bytes, double seconds);

class Progress {
public:
    using Clock = std::function<double()>;  // seconds since any fixed moment

    Progress(std::ostream& out, std::size_t totalChunks, double delay = 0.5, Clock clock = {});
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // One more chunk is made from `bytes` source bytes. Safe from any thread.
    void chunkDone(std::size_t bytes);

    // Shows the final count and ends the line, when a line was shown.
    void finish();

private:
    void show(double now);  // with `lock_` held

    std::ostream& out_;
    const std::size_t total_;
    const double delay_;
    Clock clock_;
    const double start_;
    std::mutex lock_;
    std::size_t done_ = 0;
    uint64_t bytes_ = 0;
    double shownAt_ = -1;       // when the line was last drawn; < 0 before the first
    std::size_t shownWidth_ = 0;  // its length, so that a shorter line covers it
};

}  // namespace payloadgen
