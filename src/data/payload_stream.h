// The carried screensaver: one zlib stream, generated at build time by
// payload_embed from the screensaver program built beside the installer.
#pragma once

#include <cstdint>

namespace Velmora {

extern const uint8_t ScreensaverPayload[];
extern const uint32_t ScreensaverPayloadSize; // length of the stream
extern const uint32_t ScreensaverFileSize;    // length of the file it inflates to

} // namespace Velmora
