#include "payload/inflate.h"

#include <string.h>

namespace {

// No deflate code is longer than 15 bits.
const uint32_t MAX_CODE_BITS = 15;
// Codes up to FAST_BITS long decode with one table look-up; 9 bits take in
// nearly every literal of a typical block at a 1 KB table.
const uint32_t FAST_BITS = 9;
const uint32_t FAST_SIZE = 1u << FAST_BITS;
// The fixed code defines 288 literal/length and 32 distance symbols, though
// the last two of each have no meaning; a stream's own codes may define at
// most 286 and 30, which zlib insists on.
const uint32_t LITERAL_SYMBOLS = 288;
const uint32_t DISTANCE_SYMBOLS = 32;
const uint32_t MAX_STREAM_LITERALS = 286;
const uint32_t MAX_STREAM_DISTANCES = 30;
const uint32_t END_OF_BLOCK = 256;

const uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t DISTANCE_BASE[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block lists the lengths of its code-length code.
const uint8_t CODE_LENGTH_ORDER[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code: the codes of each length are consecutive
// numbers, given to the symbols of that length in symbol order, and each
// length's first code follows the last code one bit shorter.
struct HuffmanCode {
    uint16_t count[MAX_CODE_BITS + 1];  // codes of each length; [0]: symbols without one
    uint16_t symbol[LITERAL_SYMBOLS];   // the symbols in code order
    // By the next FAST_BITS bits of input: symbol << 4 | code length, or 0
    // when no code that short starts with those bits.
    uint16_t fast[FAST_SIZE];
};

struct Inflation {
    const unsigned char* in;
    uint32_t inLength;
    uint32_t inPosition;  // the next byte to load into bitBuffer
    uint32_t bitBuffer;   // loaded bits not yet used, the next one lowest
    uint32_t bitCount;    // how many bits of bitBuffer are loaded
    unsigned char* out;
    uint32_t outCapacity;
    uint32_t outPosition;
};

// Whether `n` bits (at most 24) are loaded or can be; the input's end is
// the only thing that stops it.
bool need(Inflation& s, uint32_t n) {
    while (s.bitCount < n) {
        if (s.inPosition == s.inLength) return false;
        s.bitBuffer |= uint32_t{s.in[s.inPosition++]} << s.bitCount;
        s.bitCount += 8;
    }
    return true;
}

void drop(Inflation& s, uint32_t n) {
    s.bitBuffer >>= n;
    s.bitCount -= n;
}

// Takes `n` bits (at most 16) as a number whose first bit is the lowest,
// the way deflate stores every field but a Huffman code.
bool take(Inflation& s, uint32_t n, uint32_t* value) {
    if (!need(s, n)) return false;
    *value = s.bitBuffer & ((1u << n) - 1);
    drop(s, n);
    return true;
}

// Deflate pads with bits up to a byte before a stored block's lengths and
// before the check value. What is loaded beyond the padding is whole bytes,
// which go back to the input to be read as bytes.
void skipToByte(Inflation& s) {
    s.inPosition -= s.bitCount / 8;
    s.bitBuffer = 0;
    s.bitCount = 0;
}

// Builds `code` for symbols 0 to n - 1 from their code lengths (0: no
// code). False when the lengths make no prefix code (more codes than the
// bits can tell apart), and when they leave bit patterns that mean nothing,
// as zlib refuses them too, but for its one exception: a literal/length or
// distance code of a single 1-bit code or of none, the way compressors
// write a block that copies from one distance or never copies. Such a
// pattern fails when it is met.
bool buildCode(HuffmanCode& code, const uint8_t* lengths, uint32_t n, bool mayBeIncomplete) {
    memset(code.count, 0, sizeof code.count);
    for (uint32_t i = 0; i < n; ++i) ++code.count[lengths[i]];
    int32_t left = 1;  // codes of the current length still free
    uint32_t longest = 0;
    for (uint32_t length = 1; length <= MAX_CODE_BITS; ++length) {
        left = left * 2 - code.count[length];
        if (left < 0) return false;
        if (code.count[length] != 0) longest = length;
    }
    if (left > 0 && !(mayBeIncomplete && longest <= 1)) return false;

    uint16_t next[MAX_CODE_BITS + 1];  // where each length's symbols go in code order
    next[1] = 0;
    for (uint32_t length = 1; length < MAX_CODE_BITS; ++length)
        next[length + 1] = static_cast<uint16_t>(next[length] + code.count[length]);
    for (uint32_t symbol = 0; symbol < n; ++symbol)
        if (lengths[symbol] != 0)
            code.symbol[next[lengths[symbol]]++] = static_cast<uint16_t>(symbol);

    // The input holds a code's first bit lowest, so the table's index is the
    // code with its bits reversed; every index that continues it with any
    // later bits decodes to the same symbol.
    memset(code.fast, 0, sizeof code.fast);
    uint32_t value = 0, index = 0;
    for (uint32_t length = 1; length <= FAST_BITS; ++length) {
        for (uint32_t i = 0; i < code.count[length]; ++i, ++value, ++index) {
            uint32_t reversed = 0;
            for (uint32_t bit = 0; bit < length; ++bit)
                reversed |= (value >> bit & 1) << (length - 1 - bit);
            const uint16_t entry = static_cast<uint16_t>(code.symbol[index] << 4 | length);
            for (uint32_t slot = reversed; slot < FAST_SIZE; slot += 1u << length)
                code.fast[slot] = entry;
        }
        value <<= 1;
    }
    return true;
}

// The next symbol of `code`; -1 when the bits are no code of it or the
// input ends inside one.
int decode(Inflation& s, const HuffmanCode& code) {
    while (s.bitCount <= 24 && s.inPosition < s.inLength) {
        s.bitBuffer |= uint32_t{s.in[s.inPosition++]} << s.bitCount;
        s.bitCount += 8;
    }
    // Near the input's end the bits past it read as zeros: a code is taken
    // only when its every bit was loaded.
    const uint32_t entry = code.fast[s.bitBuffer & (FAST_SIZE - 1)];
    if (entry != 0) {
        const uint32_t length = entry & 15;
        if (length > s.bitCount) return -1;
        drop(s, length);
        return static_cast<int>(entry >> 4);
    }
    // A longer code, a bit at a time: `first` is the first code of the
    // current length, `index` where its symbols begin.
    uint32_t value = 0, first = 0, index = 0;
    for (uint32_t length = 1; length <= MAX_CODE_BITS; ++length) {
        if (length > s.bitCount) return -1;
        value |= s.bitBuffer >> (length - 1) & 1;
        const uint32_t count = code.count[length];
        if (value >= first && value - first < count) {
            drop(s, length);
            return code.symbol[index + value - first];
        }
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

bool buildFixedCodes(HuffmanCode& literals, HuffmanCode& distances) {
    uint8_t lengths[LITERAL_SYMBOLS];
    memset(lengths, 8, 144);
    memset(lengths + 144, 9, 256 - 144);
    memset(lengths + 256, 7, 280 - 256);
    memset(lengths + 280, 8, LITERAL_SYMBOLS - 280);
    if (!buildCode(literals, lengths, LITERAL_SYMBOLS, false)) return false;
    memset(lengths, 5, DISTANCE_SYMBOLS);
    return buildCode(distances, lengths, DISTANCE_SYMBOLS, false);
}

// Reads the codes a dynamic block begins with. The literal/length and
// distance code lengths are one sequence: a run may go on from the one
// into the other.
bool readDynamicCodes(Inflation& s, HuffmanCode& literals, HuffmanCode& distances) {
    uint32_t literalCount, distanceCount, codeLengthCount;
    if (!take(s, 5, &literalCount) || !take(s, 5, &distanceCount) ||
        !take(s, 4, &codeLengthCount)) {
        return false;
    }
    literalCount += 257;
    distanceCount += 1;
    codeLengthCount += 4;
    if (literalCount > MAX_STREAM_LITERALS || distanceCount > MAX_STREAM_DISTANCES) return false;

    uint8_t lengths[MAX_STREAM_LITERALS + MAX_STREAM_DISTANCES] = {};
    for (uint32_t i = 0; i < codeLengthCount; ++i) {
        uint32_t length;
        if (!take(s, 3, &length)) return false;
        lengths[CODE_LENGTH_ORDER[i]] = static_cast<uint8_t>(length);
    }
    // The code-length code lives in `literals` until that code is built.
    if (!buildCode(literals, lengths, 19, false)) return false;

    const uint32_t total = literalCount + distanceCount;
    for (uint32_t have = 0; have < total;) {
        const int symbol = decode(s, literals);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[have++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint32_t repeat, length = 0;
        if (symbol == 16) {
            if (have == 0 || !take(s, 2, &repeat)) return false;  // no length to repeat
            length = lengths[have - 1];
            repeat += 3;
        } else if (symbol == 17) {
            if (!take(s, 3, &repeat)) return false;
            repeat += 3;
        } else {
            if (!take(s, 7, &repeat)) return false;
            repeat += 11;
        }
        if (repeat > total - have) return false;
        while (repeat-- > 0) lengths[have++] = static_cast<uint8_t>(length);
    }
    return buildCode(literals, lengths, literalCount, true) &&
           buildCode(distances, lengths + literalCount, distanceCount, true);
}

// The symbols of a Huffman block, up to its end-of-block code.
bool inflateCodes(Inflation& s, const HuffmanCode& literals, const HuffmanCode& distances) {
    for (;;) {
        const int symbol = decode(s, literals);
        if (symbol < 0) return false;
        if (symbol < 256) {
            if (s.outPosition == s.outCapacity) return false;
            s.out[s.outPosition++] = static_cast<unsigned char>(symbol);
            continue;
        }
        if (symbol == END_OF_BLOCK) return true;
        const uint32_t lengthCode = static_cast<uint32_t>(symbol) - 257;
        if (lengthCode >= 29) return false;  // 286 or 287, of the fixed code
        uint32_t length, distance;
        if (!take(s, LENGTH_EXTRA[lengthCode], &length)) return false;
        length += LENGTH_BASE[lengthCode];
        const int distanceCode = decode(s, distances);
        if (distanceCode < 0 || distanceCode >= 30) return false;  // 30 and 31: fixed code
        if (!take(s, DISTANCE_EXTRA[distanceCode], &distance)) return false;
        distance += DISTANCE_BASE[distanceCode];
        // No preset dictionary: a copy starts within this stream's output.
        if (distance > s.outPosition || length > s.outCapacity - s.outPosition) return false;
        unsigned char* to = s.out + s.outPosition;
        const unsigned char* from = to - distance;
        s.outPosition += length;
        // Byte by byte: a copy may repeat bytes it has just written.
        while (length-- > 0) *to++ = *from++;
    }
}

// A stored block: its length, the length's complement, then the bytes as
// they are.
bool copyStored(Inflation& s) {
    skipToByte(s);
    if (s.inLength - s.inPosition < 4) return false;
    const unsigned char* header = s.in + s.inPosition;
    const uint32_t length = header[0] | uint32_t{header[1]} << 8;
    const uint32_t complement = header[2] | uint32_t{header[3]} << 8;
    s.inPosition += 4;
    if (length != (~complement & 0xFFFF)) return false;
    if (length > s.inLength - s.inPosition || length > s.outCapacity - s.outPosition) return false;
    if (length > 0) memcpy(s.out + s.outPosition, s.in + s.inPosition, length);
    s.inPosition += length;
    s.outPosition += length;
    return true;
}

// NMAX, 5552, is the most bytes whose sums cannot pass 2^32 - 1 before
// they are reduced again.
uint32_t adler32Of(const unsigned char* data, uint32_t length) {
    const uint32_t BASE = 65521, NMAX = 5552;
    uint32_t a = 1, b = 0;
    while (length > 0) {
        uint32_t n = length < NMAX ? length : NMAX;
        length -= n;
        while (n-- > 0) {
            a += *data++;
            b += a;
        }
        a %= BASE;
        b %= BASE;
    }
    return b << 16 | a;
}

}  // namespace

bool inflateStream(const unsigned char* in, uint32_t inLength, unsigned char* out,
                   uint32_t outCapacity, uint32_t* produced) {
    *produced = 0;
    // Deflate (method 8) with a window of at most 32 KB, a header that is a
    // multiple of 31 as its check bits make it, and no preset dictionary,
    // which nothing here could supply.
    if (inLength < 2) return false;
    const uint32_t header = uint32_t{in[0]} << 8 | in[1];
    if ((header >> 8 & 0x0F) != 8 || header >> 12 > 7 || header % 31 != 0 || (header & 0x20))
        return false;

    Inflation s = {in, inLength, 2, 0, 0, out, outCapacity, 0};
    HuffmanCode literals, distances;
    uint32_t last;
    do {
        uint32_t type;
        if (!take(s, 1, &last) || !take(s, 2, &type)) return false;
        bool whole = false;
        if (type == 0) {
            whole = copyStored(s);
        } else if (type == 1) {
            whole = buildFixedCodes(literals, distances) && inflateCodes(s, literals, distances);
        } else if (type == 2) {
            whole =
                readDynamicCodes(s, literals, distances) && inflateCodes(s, literals, distances);
        }
        if (!whole) return false;
    } while (!last);

    skipToByte(s);
    if (s.inLength - s.inPosition < 4) return false;
    const unsigned char* check = s.in + s.inPosition;
    const uint32_t expected =
        uint32_t{check[0]} << 24 | uint32_t{check[1]} << 16 | uint32_t{check[2]} << 8 | check[3];
    if (adler32Of(out, s.outPosition) != expected) return false;
    *produced = s.outPosition;
    return true;
}
