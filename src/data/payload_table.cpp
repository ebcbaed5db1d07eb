#include "data/payload_table.h"

#include "data/payload_stream.h"

namespace Velmora {

PayloadEntry PayloadTable[PayloadCount];

const char ScreensaverFileName[] = "Velmora.scr";

void LoadPayloadTable() {
    PayloadTable[0].Name = ScreensaverFileName;
    PayloadTable[0].CompressedSize = ScreensaverPayloadSize;
    PayloadTable[0].Size = ScreensaverFileSize;
    PayloadTable[0].Data = ScreensaverPayload;
}

} // namespace Velmora
