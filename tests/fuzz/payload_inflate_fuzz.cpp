// InflatePayload on any stream and any buffer size, against zlib's own
// streaming inflate into a buffer that grows as needed. The stream and the
// buffer are heap blocks of exactly their sizes.
#include "data/payload_inflate.h"
#include "fuzz_check.h"
#include "fuzz_targets.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace VelmoraFuzz {

namespace {

// Buffers up to 64 KiB: room for the carried screensaver and a little more.
const size_t MaxBuffer = 1 << 16;

struct Inflated {
    int Result; // Z_STREAM_END for a whole stream, else the error
    std::vector<uint8_t> Bytes;
};

// Inflates the whole stream, stopping after Limit bytes of output.
Inflated ReferenceInflate(const uint8_t* Stream, size_t Length, size_t Limit) {
    Inflated Got{Z_OK, {}};
    z_stream State;
    std::memset(&State, 0, sizeof State);
    FUZZ_CHECK(inflateInit(&State) == Z_OK);
    State.next_in = const_cast<Bytef*>(Stream);
    State.avail_in = uInt(Length);
    uint8_t Chunk[4096];
    while (Got.Bytes.size() <= Limit) {
        State.next_out = Chunk;
        State.avail_out = sizeof Chunk;
        Got.Result = inflate(&State, Z_NO_FLUSH);
        Got.Bytes.insert(Got.Bytes.end(), Chunk, State.next_out);
        if (Got.Result != Z_OK) {
            break;
        }
    }
    inflateEnd(&State);
    return Got;
}

} // namespace

int FuzzPayloadInflate(const uint8_t* Data, size_t Size) {
    if (Size < 4) {
        return 0;
    }
    const uint32_t BufferSize =
        (uint32_t(Data[0]) | uint32_t(Data[1]) << 8 | uint32_t(Data[2]) << 16) % (MaxBuffer + 1);
    const bool NoBuffer = (Data[3] & 1) != 0;
    const size_t Length = Size - 4;
    uint8_t* Stream = new uint8_t[Length];
    std::memcpy(Stream, Data + 4, Length);
    uint8_t* Buffer = NoBuffer ? nullptr : new uint8_t[BufferSize];
    if (Buffer != nullptr) {
        std::memset(Buffer, 0xA5, BufferSize);
    }

    const Velmora::PayloadEntry Entry = {"fuzz.scr", uint32_t(Length), BufferSize, Stream};
    uint32_t Produced = 0xFFFFFFFFu;
    const int Result = Velmora::InflatePayload(Entry, Buffer, BufferSize, &Produced);
    if (NoBuffer && BufferSize != 0) {
        FUZZ_CHECK(Result == Z_MEM_ERROR && Produced == 0);
    } else {
        FUZZ_CHECK(Produced <= BufferSize);
        const Inflated Want = ReferenceInflate(Stream, Length, BufferSize);
        const bool Fits = Want.Result == Z_STREAM_END && Want.Bytes.size() <= BufferSize;
        // Z_OK exactly when the whole stream fits, and then byte for byte.
        FUZZ_CHECK((Result == Z_OK) == Fits);
        FUZZ_CHECK(!Fits || Produced == Want.Bytes.size());
        // Whatever was produced is what the stream says, up to the failure.
        FUZZ_CHECK(Produced <= Want.Bytes.size());
        FUZZ_CHECK(Produced == 0 || std::memcmp(Buffer, Want.Bytes.data(), Produced) == 0);
        // A corrupt stream is called corrupt unless the buffer was full first.
        if (Want.Result == Z_DATA_ERROR && Want.Bytes.size() < BufferSize) {
            FUZZ_CHECK(Result == Z_DATA_ERROR);
        }
        FUZZ_CHECK(Result == Z_OK || Result == Z_BUF_ERROR || Result == Z_DATA_ERROR);
    }
    delete[] Buffer;
    delete[] Stream;
    return 0;
}

} // namespace VelmoraFuzz
