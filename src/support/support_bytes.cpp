// Built with -fno-tree-loop-distribute-patterns: the compiler must not turn
// these loops into calls of memcpy and memset, which are these routines.
#include "support/support_bytes.h"

namespace Velmora {

// A 4-byte word that may hold bytes of any type.
typedef uint32_t __attribute__((may_alias)) Word;

static bool IsWordAligned(const void* At) {
    return (reinterpret_cast<uintptr_t>(At) & (sizeof(Word) - 1)) == 0;
}

void CopyBytes(void* Target, const void* Source, size_t Count) {
    uint8_t* to = static_cast<uint8_t*>(Target);
    const uint8_t* from = static_cast<const uint8_t*>(Source);
    // Whole words where both blocks reach a word boundary together, as rows
    // of pixels do; bytes before the first boundary and after the last word.
    if (((reinterpret_cast<uintptr_t>(to) ^ reinterpret_cast<uintptr_t>(from)) &
         (sizeof(Word) - 1)) == 0) {
        for (; Count != 0 && !IsWordAligned(to); --Count) {
            *to++ = *from++;
        }
        for (; Count >= sizeof(Word); Count -= sizeof(Word)) {
            *reinterpret_cast<Word*>(to) = *reinterpret_cast<const Word*>(from);
            to += sizeof(Word);
            from += sizeof(Word);
        }
    }
    for (; Count != 0; --Count) {
        *to++ = *from++;
    }
}

void FillBytes(void* Target, uint8_t Value, size_t Count) {
    uint8_t* to = static_cast<uint8_t*>(Target);
    for (; Count != 0 && !IsWordAligned(to); --Count) {
        *to++ = Value;
    }
    const Word word = Value * 0x01010101u;
    for (; Count >= sizeof(Word); Count -= sizeof(Word)) {
        *reinterpret_cast<Word*>(to) = word;
        to += sizeof(Word);
    }
    for (; Count != 0; --Count) {
        *to++ = Value;
    }
}

} // namespace Velmora
