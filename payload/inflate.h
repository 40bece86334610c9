// Inflation of one zlib stream held whole in memory: all the engine asks of
// zlib's uncompress, in a fraction of its size.
#pragma once

#include <stdint.h>

// Inflates the zlib stream at the start of `in` (RFC 1950: deflate with a
// window of at most 32 KB and no preset dictionary, the deflate data of RFC
// 1951, the Adler-32 of the output) into `out`. True only when the stream
// is complete and valid throughout, its check value matches and its whole
// output fits `outCapacity`; *produced is then the output's length, and 0
// after false, when `out` holds an unusable partial output. Bytes after the
// check value are not looked at, as uncompress does not look at them.
// Nothing is read outside `in` or written outside `out`; no memory is
// allocated, and about 4 KB of stack are used.
bool inflateStream(const unsigned char* in, uint32_t inLength, unsigned char* out,
                   uint32_t outCapacity, uint32_t* produced);
