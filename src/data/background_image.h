// The decoded background picture: 32-bit pixels, rows top to bottom, bytes
// blue, green, red, 0 — a top-down BI_RGB bitmap, blitted as it is.
#pragma once

#include <cstdint>

namespace Velmora {

struct BackgroundImageRecord {
    uint32_t Width;
    uint32_t Height;
    uint8_t* Pixels;
};

extern BackgroundImageRecord BackgroundImage;

} // namespace Velmora
