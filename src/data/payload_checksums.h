// CRC-32 (the gzip and PNG checksum) computed bit by bit, without tables.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Velmora {

// Continues Crc over Length bytes at Bytes (start with 0), as zlib's crc32.
uint32_t CompactCrc32(uint32_t Crc, const uint8_t* Bytes, size_t Length);

} // namespace Velmora
