#include "payloadgen/progress.h"

#include <chrono>
#include <cstdio>

namespace payloadgen {

namespace {

// Redrawing more often than this only costs the terminal time.
constexpr double redrawInterval = 0.1;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string progressLine(std::size_t done, std::size_t total, uint64_t bytes, double seconds) {
    char rate[32];
    if (seconds > 0)
        std::snprintf(rate, sizeof rate, "%.1f MB/s", static_cast<double>(bytes) / 1e6 / seconds);
    else
        std::snprintf(rate, sizeof rate, "- MB/s");
    const std::size_t percent = total == 0 ? 100 : done * 100 / total;
    return "payloadgen: " + std::to_string(done) + " of " + std::to_string(total) + " chunks (" +
           std::to_string(percent) + "%), " + rate;
}

Progress::Progress(std::ostream& out, std::size_t totalChunks, double delay, Clock clock)
    : out_(out), total_(totalChunks), delay_(delay), clock_(clock ? std::move(clock) : steadySeconds),
      start_(clock_()) {}

void Progress::chunkDone(std::size_t bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    ++done_;
    bytes_ += bytes;
    const double now = clock_();
    if (now - start_ < delay_) return;
    if (shownAt_ >= 0 && now - shownAt_ < redrawInterval && done_ != total_) return;
    show(now);
}

void Progress::finish() {
    std::lock_guard<std::mutex> hold(lock_);
    if (shownAt_ < 0) return;
    show(clock_());
    out_ << "\n" << std::flush;
}

void Progress::show(double now) {
    std::string line = progressLine(done_, total_, bytes_, now - start_);
    const std::size_t width = line.size();
    if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
    out_ << "\r" << line << std::flush;
    shownWidth_ = width;
    shownAt_ = now;
}

}  // namespace payloadgen
