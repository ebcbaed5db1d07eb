#include "data/payload_inflate.h"

#include <zlib.h>

namespace Velmora {

int InflatePayload(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                   uint32_t* Length) {
    *Length = 0;
    if (BufferSize != 0 && Buffer == nullptr) {
        return Z_MEM_ERROR;
    }
    // zlib wants somewhere to write even when nothing may be written.
    uint8_t spare = 0;
    uLongf produced = BufferSize;
    const int result = uncompress(Buffer != nullptr ? Buffer : &spare, &produced, Entry.Data,
                                  Entry.CompressedSize);
    *Length = static_cast<uint32_t>(produced);
    return result;
}

} // namespace Velmora
