// InflatePayload on any stream and buffer size against zlib's inflate called
// directly. Stream and buffer are heap blocks of exactly their sizes.
#include "data/payload_inflate.h"
#include "fuzz_targets.h"

#include <zlib.h>

int VelmoraFuzz::FuzzPayloadInflate(const uint8_t* Data, size_t Size) {
    if (Size < 4) {
        return 0;
    }
    const uint32_t BufferSize = (Data[0] | Data[1] << 8 | Data[2] << 16) % ((1 << 16) + 1);
    const bool NoBuffer = (Data[3] & 1) != 0;
    const Bytes Stream(Data + 4, Data + Size);
    Bytes Buffer(NoBuffer ? 0 : BufferSize, 0xA5), Want(BufferSize + 1);
    const Velmora::PayloadEntry Entry = {"fuzz.scr", uint32_t(Stream.size()), BufferSize,
                                         Stream.data()};
    uint32_t Produced = 0xFFFFFFFFu;
    const int Result =
        Velmora::InflatePayload(Entry, NoBuffer ? nullptr : Buffer.data(), BufferSize, &Produced);
    if (NoBuffer && BufferSize != 0) {
        FUZZ_CHECK(Result == Z_MEM_ERROR && Produced == 0);
        return 0;
    }
    // The whole stream into room for one byte more than the buffer.
    z_stream State = {};
    FUZZ_CHECK(inflateInit(&State) == Z_OK);
    State.next_in = const_cast<Bytef*>(Stream.data());
    State.avail_in = uInt(Stream.size());
    State.next_out = Want.data();
    State.avail_out = uInt(Want.size());
    const int WantResult = inflate(&State, Z_FINISH);
    Want.resize(Want.size() - State.avail_out);
    inflateEnd(&State);
    // Z_OK when the whole stream fits, then all of it; else what the stream says
    // up to the failure, Z_DATA_ERROR for corrupt data before the buffer is full.
    const bool Fits = WantResult == Z_STREAM_END && Want.size() <= BufferSize;
    FUZZ_CHECK((Result == Z_OK) == Fits && (!Fits || Produced == Want.size()));
    FUZZ_CHECK(Produced <= BufferSize && Produced <= Want.size());
    FUZZ_CHECK(Bytes(Buffer.begin(), Buffer.begin() + Produced) ==
               Bytes(Want.begin(), Want.begin() + Produced));
    FUZZ_CHECK(WantResult != Z_DATA_ERROR || Want.size() >= BufferSize || Result == Z_DATA_ERROR);
    FUZZ_CHECK(Result == Z_OK || Result == Z_BUF_ERROR || Result == Z_DATA_ERROR);
    return 0;
}
