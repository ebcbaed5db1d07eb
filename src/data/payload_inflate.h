// Inflating one carried file's zlib stream into a caller's buffer.
#pragma once

#include <cstdint>

#include "data/payload_table.h"

namespace Velmora {

// Inflates the CompressedSize bytes at Entry.Data into Buffer, which holds
// BufferSize bytes, reading and writing nothing outside either block. Returns
// zlib's result: Z_OK when the whole stream fits, Z_BUF_ERROR when it does not
// (or is cut where the buffer is full), Z_DATA_ERROR when it is corrupt or cut
// short; Z_MEM_ERROR when a buffer of BufferSize bytes was asked for but could
// not be had (Buffer is null), or zlib's own memory. *Length is the number of
// bytes produced (0 on Z_MEM_ERROR).
int InflatePayload(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                   uint32_t* Length);

} // namespace Velmora
