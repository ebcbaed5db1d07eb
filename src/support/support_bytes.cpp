#include "support/support_bytes.h"

namespace Velmora {

#if !defined(__i386__) && !defined(__x86_64__)
#error "CopyBytes and FillBytes use the x86 string instructions"
#endif

// Whole 4-byte words, then the bytes left, with the processor's own string
// instructions: as fast as a C library's for long blocks such as the
// screensaver's rows of pixels, at any alignment.

void CopyBytes(void* Target, const void* Source, size_t Count) {
    size_t words = Count / 4;
    size_t bytes = Count % 4;
    __asm__ volatile("rep movsl" : "+D"(Target), "+S"(Source), "+c"(words) : : "memory");
    __asm__ volatile("rep movsb" : "+D"(Target), "+S"(Source), "+c"(bytes) : : "memory");
}

void FillBytes(void* Target, uint8_t Value, size_t Count) {
    const uint32_t word = Value * 0x01010101u;
    size_t words = Count / 4;
    size_t bytes = Count % 4;
    __asm__ volatile("rep stosl" : "+D"(Target), "+c"(words) : "a"(word) : "memory");
    __asm__ volatile("rep stosb" : "+D"(Target), "+c"(bytes) : "a"(word) : "memory");
}

} // namespace Velmora
