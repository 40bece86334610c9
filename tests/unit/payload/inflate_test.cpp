// The inflater against zlib's uncompress, which extraction used before it:
// every stream below must pass or fail alike in both, with the same output.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <optional>
#include <string>

#include "payload/inflate.h"
#include "payload/payload_table.h"
#include "support/test_payload.h"

namespace {

using Output = std::optional<Bytes>;  // nothing: the stream fails

Output ours(const Bytes& stream, uint32_t capacity) {
    Bytes out(capacity);
    uint32_t produced = 0;
    if (!inflateStream(stream.data(), static_cast<uint32_t>(stream.size()), out.data(), capacity,
                       &produced))
        return std::nullopt;
    return Bytes(out.begin(), out.begin() + produced);
}

Output zlibs(const Bytes& stream, uint32_t capacity) {
    Bytes out(capacity);
    uLongf produced = capacity;
    if (uncompress(out.data(), &produced, stream.data(), stream.size()) != Z_OK)
        return std::nullopt;
    return Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(produced));
}

Bytes deflated(const Bytes& data, int level, int windowBits = 15,
               int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z = {};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Deflate bits in stream order, spaces for reading: a field's lowest bit
// comes first, a Huffman code's highest.
std::string field(uint32_t value, int bits) {
    std::string s;
    for (int i = 0; i < bits; ++i) s += static_cast<char>('0' + (value >> i & 1));
    return s;
}
std::string code(uint32_t value, int bits) {
    std::string s;
    for (int i = bits - 1; i >= 0; --i) s += static_cast<char>('0' + (value >> i & 1));
    return s;
}
std::string fixed(uint32_t symbol) {
    if (symbol < 144) return code(0x30 + symbol, 8);
    if (symbol < 256) return code(0x190 + symbol - 144, 9);
    return symbol < 280 ? code(symbol - 256, 7) : code(0xC0 + symbol - 280, 8);
}

// A last dynamic block's codes. Its code-length code gives lengths 0-12 and
// the runs 16, 17, 18 a 4-bit code each: a length is written as its own 4
// bits, a run as 13, 14 or 15 and its count.
std::string dynamic(uint32_t literals, uint32_t distances, const std::string& lengthBits) {
    std::string s =
        "1" + field(2, 2) + field(literals - 257, 5) + field(distances - 1, 5) + field(15, 4);
    for (int symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15})
        s += field(symbol == 13 || symbol == 14 || symbol == 15 ? 0 : 4, 3);
    return s + lengthBits;
}
// Symbols not given have no code; one distance code unless told.
std::string dynamic(uint32_t literals, std::map<int, int> lengths, uint32_t distances = 1) {
    std::string lengthBits;
    for (uint32_t symbol = 0; symbol < literals + distances; ++symbol)
        lengthBits += code(lengths[symbol], 4);
    return dynamic(literals, distances, lengthBits);
}

// A zlib stream of the bits, its check value that of `output`.
Bytes stream(const std::string& bits, const std::string& output = "") {
    Bytes s = {0x78, 0x9C};
    int at = 0;
    for (char bit : bits) {
        if (bit == ' ') continue;
        if (at++ % 8 == 0) s.push_back(0);
        s.back() |= static_cast<unsigned char>((bit == '1') << (at - 1) % 8);
    }
    const uLong check =
        adler32(1, reinterpret_cast<const Bytef*>(output.data()), static_cast<uInt>(output.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<unsigned char>(check >> shift));
    return s;
}
Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Output text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Inflation, PassesOrFailsAsZlibDoes) {
    const Bytes ABC = {0x78, 0x9C, 1, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c', 0x02, 0x4D, 0x01, 0x27};
    const std::string FIXED = "1" + field(1, 2), DYNAMIC = "1" + field(2, 2), NO_COUNTS(14, '0');
    const std::string A = fixed('a'), END = fixed(256), COPY3 = fixed(257), A259(259, 'a');
    const std::map<int, int> A_OR_COPY = {{'a', 1}, {256, 2}, {257, 2}};  // "0", "10", "11"
    const int D0 = 258;  // distance 0 after 258 literal/length symbols
    // 97 zeros, a-d 3 bits long, 155 zeros, 256 3 bits long: a code of eight
    // 3-bit codes when 257-259 follow, in which these bits are "abcd".
    const std::string RUNS = code(15, 4) + field(86, 7) + code(3, 4) + code(13, 4) + field(0, 2) +
                             code(15, 4) + field(127, 7) + code(15, 4) + field(6, 7) + code(3, 4);
    const std::string ABCD = "000 001 010 011 100";
    const Bytes PIECE = patternBytes(CHUNK_SOURCE_SIZE, 1),
                NOISE = randomBytes(CHUNK_SOURCE_SIZE, 2);
    const Bytes FULL = patternBytes(CHUNK_SIZE, 3), PAST = patternBytes(CHUNK_SIZE + 1, 4);
    const Output FAILS;
    struct Row {
        const char* label;
        Bytes stream;
        Output output;
        uint32_t capacity = CHUNK_SIZE;
    };
    const Row rows[] = {
        {"level 6, a piece of text", deflated(PIECE, 6), PIECE},
        {"level 1, a piece of noise", deflated(NOISE, 1), NOISE},
        {"level 9, exactly the buffer", deflated(FULL, 9), FULL},
        {"level 9, one past the buffer", deflated(PAST, 9), FAILS},
        {"level 6, a byte", deflated({'x'}, 6), Bytes{'x'}},
        {"level 6, nothing", deflated({}, 6), Bytes()},
        {"level 6, exactly the capacity", deflated(PIECE, 6), PIECE, CHUNK_SOURCE_SIZE},
        {"level 6, one byte past the capacity", deflated(PIECE, 6), FAILS, CHUNK_SOURCE_SIZE - 1},
        {"level 0: stored blocks", deflated(FULL, 0), FULL},
        {"the fixed code", deflated(PIECE, 9, 15, Z_FIXED), PIECE},
        {"Huffman codes only", deflated(NOISE, 6, 15, Z_HUFFMAN_ONLY), NOISE},
        {"a window of 512 bytes", deflated(PIECE, 9, 9), PIECE},
        {"stored", ABC, text("abc")},
        {"stored, one past the capacity", ABC, FAILS, 2},
        {"stored, padding bits set", {0x78, 0x9C, 0xF9, 0, 0, 0xFF, 0xFF, 0, 0, 0, 1}, Bytes()},
        {"stored, length and complement differ",
         {0x78, 0x9C, 1, 3, 0, 0xFC, 0xFE, 'a', 'b', 'c', 0x02, 0x4D, 0x01, 0x27},
         FAILS},
        {"stored, longer than the input", {0x78, 0x9C, 1, 9, 0, 0xF6, 0xFF, 'a', 'b'}, FAILS},
        {"stray bytes after the check value", ABC + Bytes{0, 0xFF, 0x78}, text("abc")},
        {"check value wrong", stream(FIXED + A + END, "b"), FAILS},
        {"check value cut short", Bytes(ABC.begin(), ABC.end() - 1), FAILS},
        {"empty output, no capacity", stream(FIXED + END), Bytes(), 0},
        {"no bytes at all", {}, FAILS},
        {"header alone", {0x78, 0x9C}, FAILS},
        {"method 7", {0x77, 0x09, 0x03, 0, 0, 0, 0, 1}, FAILS},
        {"window of 64 KB", {0x88, 0x1C, 0x03, 0, 0, 0, 0, 1}, FAILS},
        {"header check bits wrong", {0x78, 0x9D, 0x03, 0, 0, 0, 0, 1}, FAILS},
        {"preset dictionary", {0x78, 0xBB, 0, 0, 0, 1, 0x03, 0, 0, 0, 0, 1}, FAILS},
        {"block type 3", stream("111"), FAILS},
        {"no end of block", stream(FIXED + A, "a"), FAILS},
        {"not the last block, then nothing", stream("0" + field(1, 2) + END), FAILS},
        {"two blocks", stream("0" + field(1, 2) + A + END + FIXED + A + END, "aa"), text("aa")},
        {"padding bits set before the check value", stream(FIXED + A + END + "1111", "a"),
         text("a")},
        {"a copy of the byte before", stream(FIXED + A + COPY3 + "00000" + END, "aaaa"),
         text("aaaa")},
        {"a copy from before the output", stream(FIXED + A + COPY3 + "00001" + END), FAILS},
        {"a copy past the capacity", stream(FIXED + A + COPY3 + "00000" + END, "aaaa"), FAILS, 3},
        {"length 258 as code 284 and 31",
         stream(FIXED + A + fixed(284) + "11111 00000" + END, A259), text(A259)},
        {"length symbol 286", stream(FIXED + A + fixed(286) + "00000" + END), FAILS},
        {"length symbol 287", stream(FIXED + A + fixed(287) + "00000" + END), FAILS},
        {"distance symbol 30", stream(FIXED + A + COPY3 + code(30, 5) + END), FAILS},
        {"distance symbol 31", stream(FIXED + A + COPY3 + code(31, 5) + END), FAILS},
        {"dynamic",
         stream(dynamic(258, {{'a', 1}, {256, 2}, {257, 2}, {D0, 1}}) + "0 11 0 10", "aaaa"),
         text("aaaa")},
        {"dynamic, no distance code", stream(dynamic(258, A_OR_COPY) + "0 10", "a"), text("a")},
        {"dynamic, no distance code for a copy", stream(dynamic(258, A_OR_COPY) + "0 11 0"), FAILS},
        {"dynamic, one 2-bit distance code",
         stream(dynamic(258, {{'a', 1}, {256, 2}, {257, 2}, {D0, 2}}) + "0 10", "a"), FAILS},
        {"dynamic, one 1-bit code, the end", stream(dynamic(257, {{256, 1}}) + "0"), Bytes()},
        {"dynamic, one 1-bit code, none met", stream(dynamic(257, {{256, 1}}) + "1"), FAILS},
        {"dynamic, literals over-subscribed",
         stream(dynamic(258, {{'a', 1}, {256, 1}, {257, 1}}) + "0"), FAILS},
        {"dynamic, literals incomplete", stream(dynamic(257, {{'a', 2}, {256, 2}}) + "00 01", "a"),
         FAILS},
        {"dynamic, no end-of-block code", stream(dynamic(258, {{'a', 1}, {257, 1}}) + "0"), FAILS},
        {"dynamic, 287 literal/length codes", stream(dynamic(287, {{256, 1}, {286, 1}}) + "0"),
         FAILS},
        {"dynamic, 31 distance codes", stream(dynamic(257, {{256, 1}}, 31) + "0"), FAILS},
        {"dynamic, runs, one into the distances",
         stream(
             dynamic(262, 2, RUNS + code(13, 4) + "00" + code(14, 4) + "000" + code(1, 4)) + ABCD,
             "abcd"),
         text("abcd")},
        {"dynamic, a run past the last length",
         stream(dynamic(260, 1, RUNS + code(13, 4) + "01") + ABCD), FAILS},
        {"dynamic, a repeat with nothing before", stream(dynamic(257, 1, code(13, 4) + "00")),
         FAILS},
        {"code-length code over-subscribed", stream(DYNAMIC + NO_COUNTS + "100 100 100 000"),
         FAILS},
        {"code-length code incomplete", stream(DYNAMIC + NO_COUNTS + "000 000 000 100 0000"),
         FAILS},
        {"code-length code empty", stream(DYNAMIC + NO_COUNTS + "000 000 000 000 0000"), FAILS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(row.output, ours(row.stream, row.capacity));
        EXPECT_EQ(row.output, zlibs(row.stream, row.capacity)) << "zlib tells otherwise";
    }
}

TEST(Inflation, EveryCutAndEveryFlippedBitFailsOrPassesAsZlibDoes) {
    for (const Bytes& s : {deflated(patternBytes(300, 5), 6), deflated(randomBytes(40, 6), 6),
                           deflated(patternBytes(300, 7), 9, 15, Z_FIXED)}) {
        for (size_t length = 0; length < s.size(); ++length) {
            const Bytes cut(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_EQ(zlibs(cut, CHUNK_SIZE), ours(cut, CHUNK_SIZE)) << "cut to " << length;
        }
        for (size_t bit = 0; bit < s.size() * 8; ++bit) {
            Bytes flipped = s;
            flipped[bit / 8] ^= static_cast<unsigned char>(1 << bit % 8);
            EXPECT_EQ(zlibs(flipped, CHUNK_SIZE), ours(flipped, CHUNK_SIZE)) << "bit " << bit;
        }
    }
}

}  // namespace
