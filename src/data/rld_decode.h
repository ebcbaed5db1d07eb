// Decoder for the RLD run-length picture format carried by the installer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Velmora {

// Bytes before the pixel stream: magic "RLD\0", reserved, width, height,
// decoded and stored bit depths, reserved.
const uint32_t RldHeaderSize = 16;

// Decodes the pixel stream at Source (the start byte, header offset 16) into
// 32-bit pixels (blue, green, red, 0) at Destination. Reads at most
// SourceLength bytes and writes at most Capacity bytes, whole pixels only;
// decoding stops at the end marker, at the end of the source, or when the
// destination is full. Every destination byte not written by decoding is set
// to zero. Returns the number of bytes written by decoding (4 x pixels).
uint32_t RldDecode(const uint8_t* Source, size_t SourceLength, uint8_t* Destination,
                   size_t Capacity);

} // namespace Velmora
