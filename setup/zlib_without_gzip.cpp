// setup.exe inflates zlib streams only (uncompress: a zlib header and an
// Adler-32 trailer), never gzip ones, yet zlib's inflate refers to crc32 for
// the gzip trailer it could meet. Defining it here keeps the library's CRC
// code and its tables (some 8 KB) out of the program. A gzip stream cannot
// reach it: without the gzip window bits inflate rejects the gzip header,
// and should it ever be called, 0 fails the trailer check, never passes it.
#include <zlib.h>

extern "C" uLong ZEXPORT crc32(uLong, const Bytef*, uInt) {
    return 0;
}
