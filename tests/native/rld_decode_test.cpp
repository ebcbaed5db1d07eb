// RldDecode: the format's cases, and hostile input (truncated streams,
// undersized destinations, garbage) decoded between exactly sized heap
// buffers so that AddressSanitizer reports any access outside them.
#include "data/rld_decode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t Poison = 0xA5;

struct Decoded {
    uint32_t Returned;
    Bytes Output; // the whole destination after the call
};

// Copies Stream into a heap block of exactly its length and decodes it into
// a heap block of exactly Capacity bytes, filled with Poison beforehand.
Decoded Decode(const Bytes& Stream, size_t Capacity) {
    std::unique_ptr<uint8_t[]> Source(new uint8_t[Stream.size()]);
    if (!Stream.empty()) {
        std::memcpy(Source.get(), Stream.data(), Stream.size());
    }
    std::unique_ptr<uint8_t[]> Destination(new uint8_t[Capacity]);
    std::memset(Destination.get(), Poison, Capacity);
    Decoded Result;
    Result.Returned = Velmora::RldDecode(Source.get(), Stream.size(), Destination.get(), Capacity);
    Result.Output.assign(Destination.get(), Destination.get() + Capacity);
    return Result;
}

// Pixels as the decoder writes them: blue, green, red, 0.
Bytes Pixels(std::initializer_list<uint32_t> Rgb, size_t Repeat = 1) {
    Bytes Out;
    for (size_t Times = 0; Times < Repeat; ++Times) {
        for (uint32_t Colour : Rgb) {
            Out.push_back(uint8_t(Colour));
            Out.push_back(uint8_t(Colour >> 8));
            Out.push_back(uint8_t(Colour >> 16));
            Out.push_back(0);
        }
    }
    return Out;
}

Bytes Concat(std::initializer_list<Bytes> Parts) {
    Bytes Out;
    for (const Bytes& Part : Parts) {
        Out.insert(Out.end(), Part.begin(), Part.end());
    }
    return Out;
}

Bytes Zeros(size_t Count) {
    return Bytes(Count, 0);
}

Bytes Head(const Bytes& Data, size_t Count) {
    return Bytes(Data.begin(), Data.begin() + Count);
}

Bytes Count1(uint32_t Count) {
    return {uint8_t(Count << 1)};
}

Bytes Count2(uint32_t Count) {
    uint32_t Value = Count << 2 | 1;
    return {uint8_t(Value), uint8_t(Value >> 8)};
}

Bytes Count4(uint32_t Count) {
    uint32_t Value = Count << 3 | 3;
    return {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16), uint8_t(Value >> 24)};
}

// A stored pixel from 0xRRGGBB: bytes blue, green, red.
Bytes Stored(uint32_t Rgb) {
    return {uint8_t(Rgb), uint8_t(Rgb >> 8), uint8_t(Rgb >> 16)};
}

const Bytes EndMarker = {0, 0};

// --- The format --------------------------------------------------------------

TEST(RldDecodeFormat, EndMarkerRightAfterStartByteDecodesNothing) {
    for (uint8_t Start : {0x00, 0x01, 0xFE, 0xFF}) {
        Decoded Result = Decode({Start, 0x00, 0x00}, 16);
        EXPECT_EQ(Result.Returned, 0u) << "start byte " << int(Start);
        EXPECT_EQ(Result.Output, Zeros(16)) << "start byte " << int(Start);
    }
}

TEST(RldDecodeFormat, OneByteFillCountWritesNinePixels) {
    Bytes Stream = {0x01, 0x12, 0x5A, 0x7B, 0xEF, 0x00, 0x00};
    Decoded Result = Decode(Stream, 9 * 4);
    EXPECT_EQ(Result.Returned, 36u);
    Bytes Nine;
    for (int Index = 0; Index < 9; ++Index) {
        Nine.insert(Nine.end(), {0x5A, 0x7B, 0xEF, 0x00});
    }
    EXPECT_EQ(Result.Output, Nine);
}

TEST(RldDecodeFormat, EmptyLiteralRunIsSkipped) {
    // Start byte 0 (literal first), literal count 0, fill count 2.
    Decoded Result = Decode({0x00, 0x00, 0x04, 0x11, 0x22, 0x33, 0x00, 0x00}, 8);
    EXPECT_EQ(Result.Returned, 8u);
    EXPECT_EQ(Result.Output, Pixels({0x332211}, 2));

    // Two fills back to back, joined by an empty literal run.
    Bytes Stream = Concat(
        {{0x01}, Count1(3), Stored(0x0000FF), Count1(0), Count1(2), Stored(0xFF0000), EndMarker});
    Result = Decode(Stream, 5 * 4);
    EXPECT_EQ(Result.Returned, 20u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x0000FF}, 3), Pixels({0xFF0000}, 2)}));
}

TEST(RldDecodeFormat, LiteralRunStoresBlueGreenRedAndAZeroByte) {
    // The byte after each stored pixel is non-zero: it must not leak into
    // the fourth output byte.
    Bytes Stream = Concat({{0x00},
                           Count1(3),
                           {0x01, 0x02, 0x03, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9},
                           Count1(1),
                           Stored(0xABCDEF),
                           EndMarker});
    Decoded Result = Decode(Stream, 4 * 4);
    EXPECT_EQ(Result.Returned, 16u);
    EXPECT_EQ(Result.Output, Bytes({0x01, 0x02, 0x03, 0x00, 0xF4, 0xF5, 0xF6, 0x00, 0xF7, 0xF8,
                                    0xF9, 0x00, 0xEF, 0xCD, 0xAB, 0x00}));
}

TEST(RldDecodeFormat, StartByteUsesOnlyBitZero) {
    // Read as a literal run: two pixels. Read as a fill run: the first pixel
    // twice, and then the second pixel's bytes 00 00 end the stream.
    Bytes Runs = Concat({Count1(2), Stored(0x123456), Stored(0x090000), EndMarker});
    for (uint8_t Start : {0x00, 0x02, 0xFE}) {
        Decoded Literal = Decode(Concat({{Start}, Runs}), 2 * 4);
        EXPECT_EQ(Literal.Returned, 8u);
        EXPECT_EQ(Literal.Output, Pixels({0x123456, 0x090000})) << "start byte " << int(Start);
    }
    for (uint8_t Start : {0x01, 0x03, 0xFF}) {
        Decoded Fill = Decode(Concat({{Start}, Runs}), 2 * 4);
        EXPECT_EQ(Fill.Returned, 8u);
        EXPECT_EQ(Fill.Output, Pixels({0x123456}, 2)) << "start byte " << int(Start);
    }
}

TEST(RldDecodeFormat, CountForms) {
    // Two-byte count 01 04: v = 0x0401, count 256.
    Decoded Result = Decode({0x01, 0x01, 0x04, 0x10, 0x20, 0x30, 0x00, 0x00}, 256 * 4);
    EXPECT_EQ(Result.Returned, 1024u);
    EXPECT_EQ(Result.Output, Pixels({0x302010}, 256));

    // Largest one-byte and smallest two-byte counts.
    Result = Decode(Concat({{0x01},
                            Count1(127),
                            Stored(0x010203),
                            Count1(0),
                            Count2(128),
                            Stored(0x040506),
                            EndMarker}),
                    255 * 4);
    EXPECT_EQ(Result.Returned, 255u * 4);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x010203}, 127), Pixels({0x040506}, 128)}));

    // Four-byte counts, for a fill and for a literal run.
    const uint32_t Long = 70000;
    Bytes LiteralPixels;
    Bytes Expected = Pixels({0xC0FFEE}, Long);
    for (uint32_t Index = 0; Index < 20000; ++Index) {
        uint32_t Rgb = Index * 2654435761u >> 8;
        Bytes One = Stored(Rgb);
        LiteralPixels.insert(LiteralPixels.end(), One.begin(), One.end());
        Bytes Out = Pixels({Rgb & 0xFFFFFF});
        Expected.insert(Expected.end(), Out.begin(), Out.end());
    }
    Bytes Stream =
        Concat({{0x01}, Count4(Long), Stored(0xC0FFEE), Count4(20000), LiteralPixels, EndMarker});
    Result = Decode(Stream, (Long + 20000) * 4);
    EXPECT_EQ(Result.Returned, (Long + 20000) * 4);
    EXPECT_EQ(Result.Output, Expected);

    // A four-byte form is accepted for a small count too (0x2B = 5 << 3 | 3).
    Result = Decode({0x01, 0x2B, 0x00, 0x00, 0x00, 0x07, 0x08, 0x09, 0x00, 0x00}, 5 * 4);
    EXPECT_EQ(Result.Returned, 20u);
    EXPECT_EQ(Result.Output, Pixels({0x090807}, 5));
}

TEST(RldDecodeFormat, EndMarkerWhereEitherCountIsDue) {
    // Where a fill count is due (after a literal run).
    Decoded Result = Decode(Concat({{0x00},
                                    Count1(2),
                                    Stored(0x111111),
                                    Stored(0x222222),
                                    EndMarker,
                                    Count1(5),
                                    Stored(0x333333)}),
                            8 * 4);
    EXPECT_EQ(Result.Returned, 8u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x111111, 0x222222}), Zeros(6 * 4)}));

    // Where a literal count is due (after a fill run).
    Result = Decode(
        Concat({{0x01}, Count1(3), Stored(0x444444), EndMarker, Count1(1), Stored(0x555555)}),
        8 * 4);
    EXPECT_EQ(Result.Returned, 12u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x444444}, 3), Zeros(5 * 4)}));
}

TEST(RldDecodeFormat, ZeroFillCountConsumesItsPixel) {
    // A fill count of 0 still has its stored pixel; its first byte keeps the
    // 00 count byte from reading as an end marker.
    Bytes Stream =
        Concat({{0x01}, {0x00}, Stored(0x070605), Count1(1), Stored(0x0A0B0C), EndMarker});
    Decoded Result = Decode(Stream, 4);
    EXPECT_EQ(Result.Returned, 4u);
    EXPECT_EQ(Result.Output, Pixels({0x0A0B0C}));
}

// --- Hostile input -----------------------------------------------------------

// A stream with every kind of run and count: literal and fill runs with
// one-, two- and four-byte counts, an empty literal run and the end marker.
Bytes MixedStream() {
    Bytes Literal5;
    for (uint32_t Index = 0; Index < 5; ++Index) {
        Bytes One = Stored(0x102030 * (Index + 1));
        Literal5.insert(Literal5.end(), One.begin(), One.end());
    }
    Bytes Literal130;
    for (uint32_t Index = 0; Index < 130; ++Index) {
        Bytes One = Stored(Index * 0x030507 + 1);
        Literal130.insert(Literal130.end(), One.begin(), One.end());
    }
    return Concat({{0x00},
                   Count1(5),
                   Literal5,
                   Count1(4),
                   Stored(0xAABBCC),
                   Count2(130),
                   Literal130,
                   Count2(300),
                   Stored(0x00FF00),
                   Count1(0),
                   Count4(17000),
                   Stored(0x0000FF),
                   Count1(1),
                   Stored(0xFEDCBA),
                   Count1(7),
                   Stored(0x000001),
                   EndMarker});
}

const size_t MixedPixels = 5 + 4 + 130 + 300 + 17000 + 1 + 7;

TEST(RldDecodeHostile, MixedStreamDecodesCompletely) {
    Decoded Full = Decode(MixedStream(), MixedPixels * 4);
    EXPECT_EQ(Full.Returned, MixedPixels * 4);
    EXPECT_EQ(Full.Output.size(), MixedPixels * 4);
    // The fill of 17000 blue pixels sits after 439 pixels.
    EXPECT_EQ(Head(Bytes(Full.Output.begin() + 439 * 4, Full.Output.end()), 4), Pixels({0x0000FF}));
    EXPECT_EQ(Bytes(Full.Output.end() - 4, Full.Output.end()), Pixels({0x000001}));
}

TEST(RldDecodeHostile, TruncatedStreamsStopWithoutReadingPastTheEnd) {
    const Bytes Stream = MixedStream();
    const size_t Capacity = MixedPixels * 4;
    const Decoded Full = Decode(Stream, Capacity);
    uint32_t Previous = 0;
    for (size_t Length = 0; Length <= Stream.size(); ++Length) {
        Decoded Part = Decode(Head(Stream, Length), Capacity);
        SCOPED_TRACE("source length " + std::to_string(Length));
        ASSERT_EQ(Part.Returned % 4, 0u);
        ASSERT_LE(Part.Returned, Full.Returned);
        ASSERT_GE(Part.Returned, Previous);
        // What was decoded agrees with the full decode; the rest is black.
        ASSERT_TRUE(std::equal(Part.Output.begin(), Part.Output.begin() + Part.Returned,
                               Full.Output.begin()));
        ASSERT_EQ(Bytes(Part.Output.begin() + Part.Returned, Part.Output.end()),
                  Zeros(Capacity - Part.Returned));
        Previous = Part.Returned;
    }
    // Losing only the end marker loses no pixel; cutting into the last
    // stored pixel loses the last run.
    EXPECT_EQ(Decode(Head(Stream, Stream.size() - 2), Capacity).Returned, Full.Returned);
    EXPECT_EQ(Decode(Head(Stream, Stream.size() - 3), Capacity).Returned, Full.Returned - 7 * 4);
}

TEST(RldDecodeHostile, TruncatedLiteralKeepsItsWholePixels) {
    // A literal run announcing 10 pixels, cut after 3 pixels and 2 bytes.
    Bytes Stream = Concat(
        {{0x00}, Count1(10), Stored(0x010101), Stored(0x020202), Stored(0x030303), {0x04, 0x04}});
    Decoded Result = Decode(Stream, 10 * 4);
    EXPECT_EQ(Result.Returned, 12u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x010101, 0x020202, 0x030303}), Zeros(7 * 4)}));
}

TEST(RldDecodeHostile, DestinationNeverOverrun) {
    const Bytes Stream = MixedStream();
    const Decoded Full = Decode(Stream, MixedPixels * 4);
    // Every capacity near the run boundaries, multiples of 4 or not.
    std::vector<size_t> Capacities;
    for (size_t Capacity = 0; Capacity <= 600; ++Capacity) {
        Capacities.push_back(Capacity);
    }
    for (size_t Around : std::vector<size_t>{439 * 4, (439 + 17000) * 4, MixedPixels * 4 - 8}) {
        for (size_t Capacity = Around - 6; Capacity <= Around + 6; ++Capacity) {
            Capacities.push_back(Capacity);
        }
    }
    for (size_t Capacity : Capacities) {
        SCOPED_TRACE("capacity " + std::to_string(Capacity));
        Decoded Part = Decode(Stream, Capacity);
        ASSERT_EQ(Part.Returned, Capacity / 4 * 4);
        ASSERT_TRUE(std::equal(Part.Output.begin(), Part.Output.begin() + Part.Returned,
                               Full.Output.begin()));
        // A partial pixel at the end is not written by decoding: zero.
        ASSERT_EQ(Bytes(Part.Output.begin() + Part.Returned, Part.Output.end()),
                  Zeros(Capacity % 4));
    }
}

TEST(RldDecodeHostile, HugeCountsAreClipped) {
    // A fill of 2^29 - 1 pixels into 100 pixels of room.
    Decoded Result =
        Decode(Concat({{0x01}, Count4((1u << 29) - 1), Stored(0x5A5A5A), EndMarker}), 100 * 4 + 3);
    EXPECT_EQ(Result.Returned, 400u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x5A5A5A}, 100), Zeros(3)}));

    // A literal of 2^29 - 1 pixels with the data for 5.
    Bytes Five;
    for (uint32_t Index = 1; Index <= 5; ++Index) {
        Bytes One = Stored(Index);
        Five.insert(Five.end(), One.begin(), One.end());
    }
    Result = Decode(Concat({{0x00}, Count4((1u << 29) - 1), Five}), 64);
    EXPECT_EQ(Result.Returned, 20u);
    EXPECT_EQ(Result.Output, Concat({Pixels({1, 2, 3, 4, 5}), Zeros(44)}));
}

TEST(RldDecodeHostile, EmptySourceAndEmptyDestination) {
    Decoded Result = Decode({}, 12);
    EXPECT_EQ(Result.Returned, 0u);
    EXPECT_EQ(Result.Output, Zeros(12));

    // No room at all: nothing is touched.
    uint8_t Stream[] = {0x01, 0x12, 0x5A, 0x7B, 0xEF, 0x00, 0x00};
    EXPECT_EQ(Velmora::RldDecode(Stream, sizeof Stream, nullptr, 0), 0u);
}

TEST(RldDecodeHostile, StreamEndingInsideACount) {
    // One byte of a two-byte count, three of a four-byte count.
    Decoded Result = Decode(Concat({{0x01}, Count1(2), Stored(0x777777), {0x01}}), 16);
    EXPECT_EQ(Result.Returned, 8u);
    EXPECT_EQ(Result.Output, Concat({Pixels({0x777777}, 2), Zeros(8)}));
    Result = Decode(Concat({{0x01}, Head(Count4(20000), 3)}), 16);
    EXPECT_EQ(Result.Returned, 0u);
    EXPECT_EQ(Result.Output, Zeros(16));
}

TEST(RldDecodeHostile, RandomGarbageStaysInBounds) {
    std::mt19937 Random(1234);
    for (int Round = 0; Round < 3000; ++Round) {
        size_t Length = Random() % 64;
        Bytes Stream(Length);
        for (uint8_t& Byte : Stream) {
            // Small values make short counts, and so runs that fit, likelier.
            Byte = uint8_t(Random() % 4 == 0 ? Random() : Random() % 16);
        }
        size_t Capacity = Random() % 300;
        Decoded Result = Decode(Stream, Capacity);
        ASSERT_EQ(Result.Returned % 4, 0u);
        ASSERT_LE(Result.Returned, Capacity);
        ASSERT_EQ(Bytes(Result.Output.begin() + Result.Returned, Result.Output.end()),
                  Zeros(Capacity - Result.Returned));
    }
}

} // namespace
