// The files the installer carries, each as a zlib stream.
#pragma once

#include <cstdint>

namespace Velmora {

struct PayloadEntry {
    const char* Name;        // file name without a directory, NUL-terminated
    uint32_t CompressedSize; // length of the stream at Data
    uint32_t Size;           // exact length of the inflated file
    const uint8_t* Data;     // the zlib stream
};

// Entries 1..PayloadCount are PayloadTable[0..PayloadCount - 1].
const uint16_t PayloadCount = 1;
extern PayloadEntry PayloadTable[PayloadCount];

extern const char ScreensaverFileName[];

// Fills the table with the carried screensaver.
void LoadPayloadTable();

} // namespace Velmora
