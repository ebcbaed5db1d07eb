// What the installer would otherwise take from a C runtime DLL, for the
// release build alone (the test programs have their C runtime's): memcpy and
// memset, which zlib and the compiler's own code call, and zlib's default
// allocator, which its streams use here.
#include <zlib.h>

#include "support/support_bytes.h"
#include "support/support_memory.h"

extern "C" void* memcpy(void* Target, const void* Source, size_t Count) {
    Velmora::CopyBytes(Target, Source, Count);
    return Target;
}

extern "C" void* memset(void* Target, int Value, size_t Count) {
    Velmora::FillBytes(Target, static_cast<uint8_t>(Value), Count);
    return Target;
}

// Blocks of the global heap, as every other block of the program, instead of
// the C library's malloc and free that zlib's own allocator calls.
extern "C" voidpf zcalloc(voidpf, unsigned Items, unsigned Size) {
    return Velmora::AllocateBlock(Items * Size);
}

extern "C" void zcfree(voidpf, voidpf Block) {
    Velmora::FreeBlock(Block);
}
