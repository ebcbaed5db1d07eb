// RldDecode against a plain byte-by-byte reading of the format, on any
// stream and any destination size. Source and destination are heap blocks
// of exactly their sizes, so the sanitizers see any access outside them.
#include "data/rld_decode.h"
#include "fuzz_check.h"
#include "fuzz_targets.h"

#include <cstring>

namespace VelmoraFuzz {

namespace {

// Destinations up to 64 KiB and a little more: room for 16,000 pixels and
// every count form, small enough for many runs a second.
const size_t MaxCapacity = (1 << 16) + 64;

// The format read one byte at a time: a start byte whose bit 0 says whether
// a fill comes first, then counts (one byte: even, value >> 1; two bytes:
// bit 0 set, bit 1 clear, value >> 2; four bytes: both set, value >> 3)
// each followed by one pixel (fill) or Count pixels (literal), runs
// alternating, until two zero bytes where a count is due.
size_t ReferenceDecode(const uint8_t* Source, size_t Length, uint8_t* Out, size_t Capacity) {
    const size_t Room = Capacity / 4;
    size_t Pixels = 0;
    if (Length == 0) {
        return 0;
    }
    size_t At = 1;
    bool Fill = (Source[0] & 1) != 0;
    for (;;) {
        if (Length - At < 2 || (Source[At] == 0 && Source[At + 1] == 0)) {
            break;
        }
        const size_t Bytes = (Source[At] & 1) == 0 ? 1 : (Source[At] & 2) == 0 ? 2 : 4;
        if (Length - At < Bytes) {
            break;
        }
        uint32_t Count = 0;
        for (size_t Index = Bytes; Index-- > 0;) {
            Count = Count << 8 | Source[At + Index];
        }
        Count >>= Bytes == 1 ? 1 : Bytes == 2 ? 2 : 3;
        At += Bytes;
        if (Fill && Length - At < 3) {
            break;
        }
        uint32_t Done = 0;
        for (; Done < Count && Pixels < Room; ++Done, ++Pixels) {
            if (!Fill && Length - At < 3) {
                break;
            }
            uint8_t* To = Out + Pixels * 4;
            To[0] = Source[At];
            To[1] = Source[At + 1];
            To[2] = Source[At + 2];
            To[3] = 0;
            At += Fill ? 0 : 3;
        }
        At += Fill ? 3 : 0;
        if (Done != Count) {
            break;
        }
        Fill = !Fill;
    }
    return Pixels * 4;
}

} // namespace

int FuzzRldDecode(const uint8_t* Data, size_t Size) {
    if (Size < 3) {
        return 0;
    }
    const size_t Capacity =
        (size_t(Data[0]) | size_t(Data[1]) << 8 | size_t(Data[2]) << 16) % (MaxCapacity + 1);
    const size_t Length = Size - 3;
    // Exactly sized copies; new[] of 0 bytes is still a block of its own.
    uint8_t* Source = new uint8_t[Length];
    std::memcpy(Source, Data + 3, Length);
    uint8_t* Destination = new uint8_t[Capacity];
    std::memset(Destination, 0xA5, Capacity);

    const uint32_t Returned = Velmora::RldDecode(Source, Length, Destination, Capacity);
    static uint8_t Want[MaxCapacity];
    const size_t WantLength = ReferenceDecode(Source, Length, Want, Capacity);
    FUZZ_CHECK(Returned == WantLength);
    FUZZ_CHECK(Returned % 4 == 0 && Returned <= Capacity);
    FUZZ_CHECK(std::memcmp(Destination, Want, WantLength) == 0);
    static const uint8_t Zeros[MaxCapacity] = {};
    FUZZ_CHECK(std::memcmp(Destination + Returned, Zeros, Capacity - Returned) == 0);
    delete[] Destination;
    delete[] Source;
    return 0;
}

} // namespace VelmoraFuzz
