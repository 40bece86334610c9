// What the fuzz targets share: a property check that holds in every build
// type and names the property that broke, and the reading of an input as
// parameter bytes and text fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

[[noreturn]] inline void propertyBroken(const char* property, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
    std::abort();
}

// Aborts, which libFuzzer records as a crash with the input that did it.
#define REQUIRE(property) ((property) ? (void)0 : propertyBroken(#property, __FILE__, __LINE__))

// An input read from the front: single bytes and little-endian words, then
// text fields. Reads past the end give zeros and empty fields.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ == size_; }

    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    uint16_t word() { return static_cast<uint16_t>(byte() | byte() << 8); }

    uint32_t dword() { return static_cast<uint32_t>(word()) | static_cast<uint32_t>(word()) << 16; }

    // Up to `count` bytes, fewer at the end of the input.
    std::vector<unsigned char> bytes(size_t count) {
        count = count < size_ - at_ ? count : size_ - at_;
        std::vector<unsigned char> result(data_ + at_, data_ + at_ + count);
        at_ += count;
        return result;
    }

    // The text up to the next '\n' (dropped) or the end.
    std::string field() {
        size_t end = at_;
        while (end < size_ && data_[end] != '\n') ++end;
        std::string result(reinterpret_cast<const char*>(data_ + at_), end - at_);
        at_ = end < size_ ? end + 1 : end;
        return result;
    }

    // As field(), cut at its first NUL: what a C string of it holds.
    std::string textField() {
        std::string text = field();
        return text.substr(0, std::strlen(text.c_str()));
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A buffer size chosen by one input byte around the length a result needs,
// so that both sides of "fits" come up often: 1 to length + 2, or the
// engine's full PATH_BUFFER_SIZE-like `full` for 255.
inline size_t bufferSizeNear(uint8_t choice, size_t length, size_t full) {
    if (choice == 255) return full;
    return 1 + choice % (length + 2);
}
