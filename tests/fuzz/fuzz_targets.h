// Bodies of the fuzz targets: libFuzzer runs them on generated inputs, the
// native tests replay the kept corpus through them. A failed check aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VelmoraFuzz {

// Input: three bytes of destination capacity (little-endian, reduced below
// 64 KiB and a little more), then the pixel stream.
int FuzzRldDecode(const uint8_t* Data, size_t Size);

// Input: three bytes of buffer size (little-endian), one byte of flags (bit 0:
// the buffer could not be had), then the zlib stream.
int FuzzPayloadInflate(const uint8_t* Data, size_t Size);

// Input: one byte of longest run (0: the format's limit), then either a PPM
// file (starting "P6") or stored pixels, three bytes each.
int FuzzRldEncode(const uint8_t* Data, size_t Size);

} // namespace VelmoraFuzz
