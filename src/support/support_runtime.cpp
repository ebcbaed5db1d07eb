// What both release programs would otherwise take from a C runtime DLL (the
// test programs have their C runtime's): memcpy and memset, which zlib and
// the compiler's own code call by those names, for copies and fills the
// code does not spell out.
#include "support/support_bytes.h"

extern "C" void* memcpy(void* Target, const void* Source, size_t Count) {
    Velmora::CopyBytes(Target, Source, Count);
    return Target;
}

extern "C" void* memset(void* Target, int Value, size_t Count) {
    Velmora::FillBytes(Target, static_cast<uint8_t>(Value), Count);
    return Target;
}
