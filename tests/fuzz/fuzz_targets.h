// Fuzz target bodies, run by libFuzzer and by the native tests. A failed check
// prints itself and returns 1, which libFuzzer's entry point turns into a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#define FUZZ_CHECK(C)                                                                              \
    do {                                                                                           \
        if (!(C)) {                                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #C);             \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

namespace VelmoraFuzz {

using Bytes = std::vector<uint8_t>;

// Input: 3 bytes of capacity (little-endian, modulo 65,601), the pixel stream.
int FuzzRldDecode(const uint8_t* Data, size_t Size);

} // namespace VelmoraFuzz

#ifdef VELMORA_FUZZ_TARGET // libFuzzer's entry point, in each target's own build
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (VELMORA_FUZZ_TARGET(Data, Size) != 0) {
        std::abort();
    }
    return 0;
}
#endif
