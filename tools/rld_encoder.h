// Host-side encoder for the RLD run-length picture format, and the binary
// PPM reader that feeds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Velmora {

// Largest count a run can carry (29-bit count field).
const uint32_t RldMaxCount = (1u << 29) - 1;

// Appends Count in its shortest form: one byte below 2^7, two bytes below
// 2^14, four bytes up to RldMaxCount.
void RldAppendCount(std::vector<uint8_t>& Out, uint32_t Count);

// The pixel stream (start byte, runs, end marker) for PixelCount pixels
// stored as blue, green, red bytes.
std::vector<uint8_t> RldEncodeStream(const uint8_t* Bgr, size_t PixelCount);

// Same, with runs split at MaxRunLength pixels (1 .. RldMaxCount).
std::vector<uint8_t> RldEncodeStream(const uint8_t* Bgr, size_t PixelCount, uint32_t MaxRunLength);

// The 16-byte header (magic "RLD\0", width, height, 32 and 24 bits per
// pixel) followed by the pixel stream of Width x Height pixels.
std::vector<uint8_t> RldEncodeImage(uint16_t Width, uint16_t Height, const uint8_t* Bgr);

struct PpmImage {
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Bgr; // Width x Height pixels, blue, green, red
};

// Reads a binary PPM (P6, maxval 255, 1 .. 65535 pixels each way). On failure
// returns false and says why in Error.
bool ParsePpm(const std::vector<uint8_t>& Bytes, PpmImage& Image, std::string& Error);
bool ReadPpmFile(const std::string& Path, PpmImage& Image, std::string& Error);

} // namespace Velmora
