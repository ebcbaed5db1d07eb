// The background picture carried in the executable: an RLD image (16-byte
// header, then the pixel stream), generated at build time by rld_encode.
#pragma once

#include <cstdint>

namespace Velmora {

extern const uint8_t BackgroundPicture[];
extern const uint32_t BackgroundPictureSize;

} // namespace Velmora
