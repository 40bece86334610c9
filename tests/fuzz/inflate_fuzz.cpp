// The inflater against zlib's uncompress, the reference it replaced in the
// engine: for every stream, both pass or both fail, and when they pass they
// give the same bytes. A stream is the input itself, zlib's compression of
// it (which must then come back whole when it fits), or that compression
// with a few bytes changed, cut or added. The output buffer is exactly
// the capacity given, and the stream exactly its bytes, so that a read or
// write outside them stops AddressSanitizer.
//
// Input: a byte for the kind, one for the capacity, three for zlib's
// settings, a byte counting the changes and 4 bytes per change, then the
// data.
#include <zlib.h>

#include <algorithm>
#include <memory>

#include "fuzz_support.h"
#include "payload/inflate.h"
#include "payload/payload_table.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes compressed(const Bytes& data, uint8_t level, uint8_t strategy, uint8_t sizes) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    z_stream z = {};
    REQUIRE(deflateInit2(&z, level % 10, Z_DEFLATED, 9 + sizes % 7, 1 + sizes / 7 % 9,
                         strategies[strategy % 5]) == Z_OK);
    // zlib 1.2.13 bounds an empty input at level 0 with a small window a byte short.
    Bytes out(deflateBound(&z, data.size()) + 1);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    REQUIRE(deflate(&z, Z_FINISH) == Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t kind = input.byte() % 3, capacityChoice = input.byte();
    const uint8_t level = input.byte(), strategy = input.byte(), sizes = input.byte();
    const uint8_t changes = input.byte() % 5;
    const Bytes edits = input.bytes(4 * changes);
    const Bytes rest = input.bytes(size);
    // The engine's buffer, or a capacity near the data's own length.
    const uint32_t capacity = capacityChoice >= 128
                                  ? CHUNK_SIZE
                                  : static_cast<uint32_t>(rest.size() + capacityChoice % 5) - 2u;
    // Near an empty input the choice falls below zero. A capacity of 0 has
    // no reference: uncompress then inflates into a byte of its own and
    // passes a stream of one byte as a stream of none.
    if (capacity == 0 || capacity > CHUNK_SIZE) return -1;

    Bytes stream = kind == 0 ? rest : compressed(rest, level, strategy, sizes);
    for (size_t i = 0; kind == 2 && i + 4 <= edits.size(); i += 4) {
        const size_t at = (edits[i + 1] | edits[i + 2] << 8) % (stream.size() + 1);
        if (edits[i] % 3 == 0 && at < stream.size()) stream[at] ^= edits[i + 3] | 1;
        if (edits[i] % 3 == 1) stream.resize(at);
        if (edits[i] % 3 == 2)
            stream.insert(stream.begin() + static_cast<ptrdiff_t>(at), edits[i + 3]);
    }

    const std::unique_ptr<unsigned char[]> in(new unsigned char[stream.size()]);
    if (!stream.empty()) memcpy(in.get(), stream.data(), stream.size());
    const std::unique_ptr<unsigned char[]> ours(new unsigned char[capacity]);
    const std::unique_ptr<unsigned char[]> theirs(new unsigned char[capacity]);
    uint32_t produced = 0;
    const bool whole = inflateStream(in.get(), static_cast<uint32_t>(stream.size()), ours.get(),
                                     capacity, &produced);
    uLongf length = capacity;
    const bool zlibWhole = uncompress(theirs.get(), &length, in.get(), stream.size()) == Z_OK;

    REQUIRE(whole == zlibWhole);
    REQUIRE(whole || produced == 0);
    if (whole)
        REQUIRE(produced == length && std::equal(ours.get(), ours.get() + produced, theirs.get()));
    if (kind == 1 && rest.size() <= capacity)
        REQUIRE(whole && produced == rest.size() &&
                std::equal(rest.begin(), rest.end(), ours.get()));
    return 0;
}
