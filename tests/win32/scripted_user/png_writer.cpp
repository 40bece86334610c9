#include "scripted_user/png_writer.h"

#include <stdio.h>
#include <zlib.h>

#include <vector>

namespace scripted_user {

namespace {

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// A chunk is its length, type, data and the CRC-32 of type and data.
void putChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
    putBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool writePng(const std::string& path, uint32_t width, uint32_t height, const uint8_t* pixels) {
    const uint32_t limit = 0x7FFFFFFF;
    if (width == 0 || height == 0 || width > limit / 3 || height > limit) return false;

    // Every row starts with its filter type; 0 stores the bytes as they are,
    // which deflate alone compresses well enough for flat screen areas.
    const size_t rowBytes = size_t{width} * 3;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint8_t* row = pixels + y * rowBytes;
        raw.insert(raw.end(), row, row + rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    // 8 bits per sample, colour type 2 (RGB), deflate, no filter variants
    // beyond the basic set, no interlace.
    const uint8_t settings[] = {8, 2, 0, 0, 0};
    header.insert(header.end(), settings, settings + sizeof settings);

    static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> file(signature, signature + sizeof signature);
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", packed);
    putChunk(file, "IEND", {});

    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    return fclose(out) == 0 && written;
}

}  // namespace scripted_user
