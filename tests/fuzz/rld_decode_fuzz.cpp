// RldDecode against a plain byte-by-byte reading of the format, on any stream
// and destination size, both heap blocks of exactly their sizes.
#include "data/rld_decode.h"
#include "fuzz_targets.h"

#include <cstring>

// A start byte (bit 0: a fill first), then fills (count, pixel) alternating with
// literals (count, pixels) until two zero bytes where a count is due. Counts:
// one byte (bit 0 clear, value >> 1), two (bits 01, >> 2) or four (bits 11,
// >> 3), little-endian. Pixels are three bytes, written as four (the last 0)
// into Out, which starts zeroed. Returns the number of bytes written.
static size_t ReferenceDecode(const VelmoraFuzz::Bytes& In, VelmoraFuzz::Bytes& Out) {
    size_t At = 1, Written = 0;
    for (bool Fill = !In.empty() && (In[0] & 1); At + 2 <= In.size() && (In[At] | In[At + 1]);
         Fill = !Fill) {
        const size_t Bytes = (In[At] & 1) == 0 ? 1 : (In[At] & 2) == 0 ? 2 : 4;
        uint32_t Count = 0;
        for (size_t Index = Bytes; Index-- > 0 && At + Bytes <= In.size();) {
            Count = Count << 8 | In[At + Index];
        }
        At += Bytes; // past the end when the count is cut: the loop stops
        for (Count >>= Bytes == 4 ? 3 : Bytes; Count > 0; --Count, At += Fill ? 0 : 3) {
            if (At + 3 > In.size() || Written + 4 > Out.size()) {
                return Written;
            }
            std::memcpy(&Out[Written], &In[At], 3);
            Written += 4;
        }
        At += Fill ? 3 : 0;
    }
    return Written;
}

int VelmoraFuzz::FuzzRldDecode(const uint8_t* Data, size_t Size) {
    if (Size < 3) {
        return 0;
    }
    const size_t Capacity = (Data[0] | Data[1] << 8 | Data[2] << 16) % ((1 << 16) + 65);
    const Bytes Source(Data + 3, Data + Size);
    Bytes Destination(Capacity, 0xA5), Want(Capacity, 0);
    FUZZ_CHECK(Velmora::RldDecode(Source.data(), Source.size(), Destination.data(), Capacity) ==
               ReferenceDecode(Source, Want));
    FUZZ_CHECK(Destination == Want);
    return 0;
}
