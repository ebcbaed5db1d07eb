#include "support/support_memory.h"

#include <windows.h>

namespace Velmora {

void* AllocateBlock(uint32_t Size) {
    return reinterpret_cast<void*>(GlobalAlloc(0, Size));
}

void FreeBlock(void* Block) {
    if (Block != nullptr) {
        GlobalFree(reinterpret_cast<HGLOBAL>(Block));
    }
}

} // namespace Velmora
