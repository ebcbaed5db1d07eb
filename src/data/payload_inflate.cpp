#include "data/payload_inflate.h"

#include <zlib.h>

namespace Velmora {

int InflatePayload(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                   uint32_t* Length) {
    *Length = 0;
    if (BufferSize != 0 && Buffer == nullptr) {
        return Z_MEM_ERROR;
    }
    // The whole stream in one call: zlib then needs no window of its own when
    // it gets to the end. It wants somewhere to write even where nothing may be.
    uint8_t spare = 0;
    z_stream stream = {};
    int result = inflateInit(&stream);
    if (result != Z_OK) {
        return result;
    }
    stream.next_in = const_cast<Bytef*>(Entry.Data);
    stream.avail_in = Entry.CompressedSize;
    stream.next_out = Buffer != nullptr ? Buffer : &spare;
    stream.avail_out = BufferSize;
    result = inflate(&stream, Z_FINISH);
    *Length = static_cast<uint32_t>(stream.total_out);
    inflateEnd(&stream);
    // A stream cut short while there was room is a corrupt one, as is one that
    // needs a preset dictionary.
    if (result == Z_BUF_ERROR && stream.avail_out != 0) {
        return Z_DATA_ERROR;
    }
    return result == Z_STREAM_END ? Z_OK : result == Z_NEED_DICT ? Z_DATA_ERROR : result;
}

} // namespace Velmora
