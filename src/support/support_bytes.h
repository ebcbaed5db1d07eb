// Copying and filling blocks of bytes: what both programs would otherwise
// take from a C library's memcpy and memset (the release builds' memcpy and
// memset are these, see support_runtime.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Velmora {

// Copies Count bytes from Source to Target; the two blocks do not overlap.
void CopyBytes(void* Target, const void* Source, size_t Count);

// Sets Count bytes at Target to Value.
void FillBytes(void* Target, uint8_t Value, size_t Count);

} // namespace Velmora
