#include "payloadgen/icon.h"

#include <cstdint>
#include <cstdlib>

#include "payloadgen/refusal.h"

namespace payloadgen {

namespace {

constexpr std::size_t headerSize = 6;
constexpr std::size_t entrySize = 16;

unsigned byteAt(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

uint32_t littleEndian32(const std::string& bytes, std::size_t at) {
    return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8 | byteAt(bytes, at + 2) << 16 |
           static_cast<uint32_t>(byteAt(bytes, at + 3)) << 24;
}

std::size_t imageCount(const std::string& icon) {
    return byteAt(icon, 4) | byteAt(icon, 5) << 8;
}

// An entry's width or height: 0 stands for 256.
unsigned side(const std::string& icon, std::size_t entry, std::size_t field) {
    const unsigned value = byteAt(icon, headerSize + entrySize * entry + field);
    return value == 0 ? 256 : value;
}

}  // namespace

void checkIcon(const std::string& icon, const std::filesystem::path& path) {
    const bool header = icon.size() >= headerSize && byteAt(icon, 0) == 0 && byteAt(icon, 1) == 0 &&
                        byteAt(icon, 2) == 1 && byteAt(icon, 3) == 0;
    const std::size_t images = header ? imageCount(icon) : 0;
    if (images == 0 || icon.size() < headerSize + entrySize * images)
        throw Refusal("icon", path.string() + " is not an icon file");
    for (std::size_t i = 0; i < images; ++i) {
        const uint64_t size = littleEndian32(icon, headerSize + entrySize * i + 8);
        const uint64_t offset = littleEndian32(icon, headerSize + entrySize * i + 12);
        if (size == 0 || offset + size > icon.size())
            throw Refusal("icon", path.string() + " is damaged: image " + std::to_string(i + 1) +
                                      " of " + std::to_string(images) +
                                      " lies beyond the end of the file");
    }
}

std::string reducedIcon(const std::string& icon) {
    const std::size_t images = imageCount(icon);
    const auto distance = [&](std::size_t i) {
        return std::abs(static_cast<int>(side(icon, i, 0)) - 32) +
               std::abs(static_cast<int>(side(icon, i, 1)) - 32);
    };
    const auto bits = [&](std::size_t i) {
        return byteAt(icon, headerSize + entrySize * i + 6) |
               byteAt(icon, headerSize + entrySize * i + 7) << 8;
    };
    const auto size = [&](std::size_t i) { return littleEndian32(icon, headerSize + entrySize * i + 8); };
    std::size_t best = 0;
    for (std::size_t i = 1; i < images; ++i) {
        const bool nearer = distance(i) < distance(best);
        const bool same = distance(i) == distance(best);
        const bool better = distance(i) == 0 ? bits(i) > bits(best) : size(i) < size(best);
        if (nearer || (same && better)) best = i;
    }
    const std::size_t entry = headerSize + entrySize * best;
    std::string reduced = icon.substr(0, 4);
    reduced += std::string("\x01\x00", 2);
    reduced += icon.substr(entry, 12);
    const uint32_t offset = headerSize + entrySize;
    for (int shift = 0; shift < 32; shift += 8) reduced += static_cast<char>(offset >> shift & 0xFF);
    reduced += icon.substr(littleEndian32(icon, entry + 12), size(best));
    return reduced;
}

}  // namespace payloadgen
