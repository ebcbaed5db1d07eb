// The checksums of zlib's formats computed in a few lines each: CRC-32 (the
// gzip and PNG one) bit by bit without tables, Adler-32 (the zlib one).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Velmora {

// Continues Crc over Length bytes at Bytes (start with 0), as zlib's crc32.
uint32_t CompactCrc32(uint32_t Crc, const uint8_t* Bytes, size_t Length);

// Continues Adler over Length bytes at Bytes (start with 1), as zlib's adler32.
uint32_t CompactAdler32(uint32_t Adler, const uint8_t* Bytes, size_t Length);

} // namespace Velmora
