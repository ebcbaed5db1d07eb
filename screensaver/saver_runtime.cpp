// What the screensaver would otherwise take from a C runtime DLL, for the
// release build alone (the test programs have their C runtime's): memcpy and
// memset, which the compiler may call for copies and fills of its own (the
// code itself calls CopyBytes and FillBytes; unused, these are not linked).
#include "support/support_bytes.h"

extern "C" void* memcpy(void* Target, const void* Source, size_t Count) {
    Velmora::CopyBytes(Target, Source, Count);
    return Target;
}

extern "C" void* memset(void* Target, int Value, size_t Count) {
    Velmora::FillBytes(Target, static_cast<uint8_t>(Value), Count);
    return Target;
}
