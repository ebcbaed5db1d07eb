// libFuzzer's entry point for one target, chosen when this file is compiled.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    return VELMORA_FUZZ_TARGET(Data, Size);
}
