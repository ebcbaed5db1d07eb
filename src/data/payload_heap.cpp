// zlib's default allocator in the release build (the test programs have their
// C runtime's): blocks of the global heap, as every other block of the
// program, instead of the C library's malloc and free that zlib's own calls.
#include <zlib.h>

#include "support/support_memory.h"

extern "C" voidpf zcalloc(voidpf, unsigned Items, unsigned Size) {
    return Velmora::AllocateBlock(Items * Size);
}

extern "C" void zcfree(voidpf, voidpf Block) {
    Velmora::FreeBlock(Block);
}
