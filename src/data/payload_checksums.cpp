#include "data/payload_crc32.h"

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

} // namespace Velmora

#ifdef _WIN32
// zlib's inflate refers to crc32 only to check gzip headers and trailers,
// which the carried zlib streams never have. Defining it here keeps the
// library's table-driven version (about 8 KB of code and tables) out of the
// executable; this one gives the same results.
extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
    return buf == Z_NULL ? 0 : Velmora::CompactCrc32(static_cast<uint32_t>(crc), buf, len);
}
#endif
