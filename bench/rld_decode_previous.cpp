// The decoder as it was before fill runs were written in 16-byte blocks,
// kept so that the benchmark measures both in the same run.
#include "rld_decode_previous.h"

#include <cstring>

namespace VelmoraBench {

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "RldDecode assembles pixels with little-endian loads"
#endif

inline uint32_t LoadLe16(const uint8_t* At) {
    uint16_t Value;
    std::memcpy(&Value, At, sizeof Value);
    return Value;
}

inline uint32_t LoadLe32(const uint8_t* At) {
    uint32_t Value;
    std::memcpy(&Value, At, sizeof Value);
    return Value;
}

inline uint32_t LoadPixel(const uint8_t* At) {
    return uint32_t(At[0]) | uint32_t(At[1]) << 8 | uint32_t(At[2]) << 16;
}

// Reads the count at Source[*Position]. Returns false at the end marker or
// when the source ends inside the count.
inline bool ReadCount(const uint8_t* Source, size_t SourceLength, size_t* Position,
                      uint32_t* Count) {
    size_t At = *Position;
    if (SourceLength - At < 2) {
        return false;
    }
    uint32_t First = Source[At];
    if ((First | Source[At + 1]) == 0) {
        return false;
    }
    if ((First & 1) == 0) {
        *Count = First >> 1;
        *Position = At + 1;
    } else if ((First & 2) == 0) {
        *Count = LoadLe16(Source + At) >> 2;
        *Position = At + 2;
    } else {
        if (SourceLength - At < 4) {
            return false;
        }
        *Count = LoadLe32(Source + At) >> 3;
        *Position = At + 4;
    }
    return true;
}

// Copies Count stored pixels (3 bytes each) to 32-bit pixels. While at least
// one byte follows the pixel, a 4-byte load with the top byte masked off
// does the work; the last pixel of the source is assembled byte by byte.
inline void CopyLiteral(const uint8_t* From, size_t Count, size_t FromAvailable, uint8_t* To) {
    if (Count == 0) {
        return;
    }
    size_t Fast = Count;
    if (Count * 3 == FromAvailable) {
        --Fast;
    }
    for (size_t Index = 0; Index < Fast; ++Index) {
        uint32_t Pixel = LoadLe32(From) & 0x00FFFFFFu;
        std::memcpy(To, &Pixel, 4);
        From += 3;
        To += 4;
    }
    if (Fast != Count) {
        uint32_t Pixel = LoadPixel(From);
        std::memcpy(To, &Pixel, 4);
    }
}

// Writes Count copies of one 32-bit pixel, two at a time.
inline void Fill(uint8_t* To, size_t Count, uint32_t Pixel) {
    uint64_t Pair = uint64_t(Pixel) | uint64_t(Pixel) << 32;
    uint8_t* End = To + Count * 4;
    while (End - To >= 32) {
        std::memcpy(To, &Pair, 8);
        std::memcpy(To + 8, &Pair, 8);
        std::memcpy(To + 16, &Pair, 8);
        std::memcpy(To + 24, &Pair, 8);
        To += 32;
    }
    while (End - To >= 8) {
        std::memcpy(To, &Pair, 8);
        To += 8;
    }
    if (To != End) {
        std::memcpy(To, &Pixel, 4);
    }
}

} // namespace

uint32_t RldDecodePrevious(const uint8_t* Source, size_t SourceLength, uint8_t* Destination,
                           size_t Capacity) {
    const size_t PixelCapacity = Capacity / 4;
    size_t Written = 0; // pixels
    if (SourceLength != 0) {
        size_t Position = 1;
        bool FillNext = (Source[0] & 1) != 0;
        uint32_t Count;
        while (ReadCount(Source, SourceLength, &Position, &Count)) {
            size_t Available = SourceLength - Position;
            size_t Room = PixelCapacity - Written;
            size_t Take = Count < Room ? Count : Room;
            if (FillNext) {
                if (Available < 3) {
                    break;
                }
                Fill(Destination + Written * 4, Take, LoadPixel(Source + Position));
                Position += 3;
            } else {
                if (Take > Available / 3) {
                    Take = Available / 3;
                }
                CopyLiteral(Source + Position, Take, Available, Destination + Written * 4);
                Position += Take * 3;
            }
            Written += Take;
            if (Take != Count) {
                break;
            }
            FillNext = !FillNext;
        }
    }
    if (Capacity > Written * 4) {
        std::memset(Destination + Written * 4, 0, Capacity - Written * 4);
    }
    return uint32_t(Written * 4);
}

} // namespace VelmoraBench
