// Inflating one carried file's zlib stream into a caller's buffer.
#pragma once

#include <cstdint>

#include "data/payload_table.h"

namespace Velmora {

// Inflates the CompressedSize bytes at Entry.Data into Buffer, which holds
// BufferSize bytes, reading and writing nothing outside either block. Returns
// zlib's result (Z_OK, Z_BUF_ERROR when the stream is cut or does not fit,
// Z_DATA_ERROR when it is corrupt); Z_MEM_ERROR when a buffer of BufferSize
// bytes was asked for but could not be had (Buffer is null). *Length is the
// number of bytes produced (0 on Z_MEM_ERROR).
int InflatePayload(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                   uint32_t* Length);

} // namespace Velmora
