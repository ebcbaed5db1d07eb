// Blocks of the Windows global heap: thin wrappers that report nothing.
#pragma once

#include <cstdint>

namespace Velmora {

// Fixed, not zero-filled memory (GlobalAlloc with flags 0); null on failure.
void* AllocateBlock(uint32_t Size);
void FreeBlock(void* Block);

} // namespace Velmora
