#include "data/payload_checksums.h"

#ifdef _WIN32
#include <zlib.h>
#endif

namespace Velmora {

uint32_t CompactCrc32(uint32_t Crc, const uint8_t* Bytes, size_t Length) {
    Crc = ~Crc;
    for (size_t Index = 0; Index < Length; ++Index) {
        Crc ^= Bytes[Index];
        for (int Bit = 0; Bit < 8; ++Bit) {
            Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
        }
    }
    return ~Crc;
}

uint32_t CompactAdler32(uint32_t Adler, const uint8_t* Bytes, size_t Length) {
    uint32_t low = Adler & 0xFFFF;
    uint32_t high = Adler >> 16;
    // Both sums modulo 65521, taken once every 5552 bytes: the most bytes
    // after which the higher sum still fits in 32 bits.
    while (Length != 0) {
        size_t run = Length < 5552 ? Length : 5552;
        Length -= run;
        for (; run != 0; --run) {
            low += *Bytes++;
            high += low;
        }
        low %= 65521;
        high %= 65521;
    }
    return high << 16 | low;
}

} // namespace Velmora

#ifdef _WIN32
// zlib's inflate refers to crc32 only to check gzip headers and trailers,
// which the carried zlib streams never have, and to adler32 for the check at
// the end of each stream. Defining them here keeps the library's unrolled and
// table-driven versions (about 10 KB of code and tables) out of the
// executable; these give the same results.
extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
    return buf == Z_NULL ? 0 : Velmora::CompactCrc32(static_cast<uint32_t>(crc), buf, len);
}

extern "C" uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
    return buf == Z_NULL ? 1 : Velmora::CompactAdler32(static_cast<uint32_t>(adler), buf, len);
}
#endif
