// The RLD codec: the decoder on hand-made and hostile streams, the encoder
// against the decoder and the format's rules, the PPM reader, the rld_encode
// tool and the picture the product carries. Every decode runs between exactly
// sized heap blocks, so AddressSanitizer reports any access outside them.
#include "data/background_picture.h"
#include "data/rld_decode.h"
#include "rld_encoder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes End = {0, 0};

Bytes Cat(std::initializer_list<Bytes> Parts) {
    Bytes Out;
    for (const Bytes& Part : Parts) {
        Out.insert(Out.end(), Part.begin(), Part.end());
    }
    return Out;
}

Bytes Start(uint8_t Byte) {
    return {Byte};
}

Bytes Head(const Bytes& Data, size_t Count) {
    return Bytes(Data.begin(), Data.begin() + Count);
}

// Count pixels of colour 0xRRGGBB as stored: blue, green, red.
Bytes Stored(uint32_t Rgb, size_t Count = 1) {
    Bytes Out;
    for (size_t Index = 0; Index < Count; ++Index) {
        Out.insert(Out.end(), {uint8_t(Rgb), uint8_t(Rgb >> 8), uint8_t(Rgb >> 16)});
    }
    return Out;
}

// Stored pixels as the decoder writes them: blue, green, red, 0.
Bytes Expand(const Bytes& Bgr) {
    Bytes Out;
    for (size_t At = 0; At + 3 <= Bgr.size(); At += 3) {
        Out.insert(Out.end(), {Bgr[At], Bgr[At + 1], Bgr[At + 2], 0});
    }
    return Out;
}

Bytes Px(uint32_t Rgb, size_t Count = 1) {
    return Expand(Stored(Rgb, Count));
}

// Count stored pixels of random colours, or of Colours grey levels.
Bytes Noise(size_t Count, uint32_t Seed, uint32_t Colours = 0) {
    std::mt19937 Random(Seed);
    Bytes Bgr(Count * 3);
    for (size_t At = 0; At < Bgr.size(); ++At) {
        Bgr[At] = uint8_t(!Colours ? Random() : At % 3 ? Bgr[At - 1] : Random() % Colours * 0x40);
    }
    return Bgr;
}

// A count in the one-, two- or four-byte form.
Bytes Count(uint32_t Value, size_t Size = 1) {
    uint32_t Coded = Size == 1 ? Value << 1 : Size == 2 ? Value << 2 | 1 : Value << 3 | 3;
    return Head({uint8_t(Coded), uint8_t(Coded >> 8), uint8_t(Coded >> 16), uint8_t(Coded >> 24)},
                Size);
}

struct Decoded {
    uint32_t Returned;
    Bytes Output; // the whole destination after the call
};

// Decodes from a copy of Stream into Capacity bytes (no block at all for 0)
// holding a pattern beforehand; both are heap blocks of exactly that size.
Decoded Decode(const Bytes& Stream, size_t Capacity) {
    const Bytes Source(Stream);
    Bytes Out(Capacity, 0xA5);
    uint8_t* Destination = Capacity ? Out.data() : nullptr;
    return {Velmora::RldDecode(Source.data(), Source.size(), Destination, Capacity), Out};
}

// The decoder wrote Want and zeroed the rest of the destination.
void ExpectDecoded(const Decoded& Got, Bytes Want) {
    ASSERT_EQ(Got.Returned, Want.size());
    Want.resize(Got.Output.size(), 0);
    ASSERT_EQ(Got.Output, Want);
}

TEST(RldDecode, FormatAndEdgeCases) {
    const Bytes Nine = {1, 2, 3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9}, Six = Head(Nine, 6);
    const Bytes Two = Cat({Count(2), Stored(0x123456), Stored(0x090000), End});
    const Bytes Huge = Count(Velmora::RldMaxCount, 4), Five = Noise(5, 1);
    const struct {
        const char* Name;
        Bytes Stream;
        size_t Capacity;
        Bytes Want;
    } Cases[] = {
        {"end marker at once", {0x00, 0, 0}, 16, {}},
        {"end marker at once, start FF", {0xFF, 0, 0}, 16, {}},
        {"fill count 12: 9 pixels", {0x01, 0x12, 0x5A, 0x7B, 0xEF, 0, 0}, 36, Px(0xEF7B5A, 9)},
        {"empty literal skipped", {0x00, 0x00, 0x04, 0x11, 0x22, 0x33, 0, 0}, 8, Px(0x332211, 2)},
        {"fills joined by an empty literal",
         Cat({Start(1), Count(3), Stored(1), Count(0), Count(2), Stored(2), End}), 20,
         Cat({Px(1, 3), Px(2, 2)})},
        {"literal: fourth byte 0", Cat({Start(0), Count(3), Nine, Count(1), Stored(0xABCDEF), End}),
         16, Cat({Expand(Nine), Px(0xABCDEF)})},
        {"start byte FE: literal", Cat({Start(0xFE), Two}), 8, Cat({Px(0x123456), Px(0x090000)})},
        {"start byte 03: fill", Cat({Start(0x03), Two}), 8, Px(0x123456, 2)},
        {"two-byte count 01 04 is 256", {1, 1, 4, 0x10, 0x20, 0x30, 0, 0}, 1024, Px(0x302010, 256)},
        {"counts 127, 128",
         Cat({Start(1), Count(127), Stored(1), Count(0), Count(128, 2), Stored(2), End}), 1020,
         Cat({Px(1, 127), Px(2, 128)})},
        {"four-byte count 5", {0x01, 0x2B, 0, 0, 0, 7, 8, 9, 0, 0}, 20, Px(0x090807, 5)},
        {"end where a fill count is due", Cat({Start(0), Count(2), Six, End, Count(5), Stored(3)}),
         32, Expand(Six)},
        {"end where a literal count is due",
         Cat({Start(1), Count(3), Stored(4), End, Count(1), Stored(5)}), 32, Px(4, 3)},
        {"fill count 0 still has its pixel",
         Cat({Start(1), Count(0), Stored(6), Count(1), Stored(0x0A0B0C), End}), 4, Px(0x0A0B0C)},
        {"cut literal keeps whole pixels", Cat({Start(0), Count(10), Head(Nine, 8)}), 40,
         Expand(Six)},
        {"huge fill, 100 pixels and 3 bytes of room", Cat({Start(1), Huge, Stored(0x5A), End}), 403,
         Px(0x5A, 100)},
        {"huge literal with data for 5", Cat({Start(0), Huge, Five}), 64, Expand(Five)},
        {"empty source", {}, 12, {}},
        {"no destination", {0x01, 0x12, 0x5A, 0x7B, 0xEF, 0, 0}, 0, {}},
        {"cut two-byte count", Cat({Start(1), Count(2), Stored(7), Head(Count(128, 2), 1)}), 16,
         Px(7, 2)},
        {"cut four-byte count", Cat({Start(1), Head(Count(20000, 4), 3)}), 16, {}},
    };
    for (const auto& Each : Cases) {
        SCOPED_TRACE(Each.Name);
        ExpectDecoded(Decode(Each.Stream, Each.Capacity), Each.Want);
    }
}

TEST(RldDecode, HostileInputStaysInBounds) {
    // Every kind of run and count form, and what it decodes to.
    const Bytes A = Noise(5, 2), B = Noise(130, 3);
    const Bytes Stream = Cat({Start(0), Count(5), A, Count(4), Stored(0xAABBCC), Count(130, 2), B,
                              Count(300, 2), Stored(0xFF00), Count(0), Count(17000, 4),
                              Stored(0xFF), Count(1), Stored(0xFEDCBA), Count(7), Stored(1), End});
    const Bytes Want = Cat({Expand(A), Px(0xAABBCC, 4), Expand(B), Px(0xFF00, 300), Px(0xFF, 17000),
                            Px(0xFEDCBA), Px(1, 7)});
    ExpectDecoded(Decode(Stream, Want.size()), Want);
    // Every truncation stops inside the source and keeps what came before.
    for (size_t Length = 0; Length < Stream.size(); ++Length) {
        SCOPED_TRACE("source length " + std::to_string(Length));
        Decoded Got = Decode(Head(Stream, Length), Want.size());
        ASSERT_TRUE(Got.Returned % 4 == 0 && Got.Returned <= Want.size());
        ASSERT_NO_FATAL_FAILURE(ExpectDecoded(Got, Head(Want, Got.Returned)));
    }
    EXPECT_EQ(Decode(Head(Stream, Stream.size() - 2), Want.size()).Returned, Want.size());
    EXPECT_EQ(Decode(Head(Stream, Stream.size() - 3), Want.size()).Returned, Want.size() - 28);
    // Every capacity up to beyond the first long run, and the last 40.
    for (size_t Capacity = 0; Capacity <= Want.size(); ++Capacity) {
        if (Capacity <= 2000 || Capacity + 40 >= Want.size()) {
            SCOPED_TRACE("capacity " + std::to_string(Capacity));
            ASSERT_NO_FATAL_FAILURE(
                ExpectDecoded(Decode(Stream, Capacity), Head(Want, Capacity / 4 * 4)));
        }
    }
}

// Fill runs are written in blocks wider than a pixel: every run length
// around the block sizes, cut by every capacity, at every destination
// alignment, must write exactly its own pixels and nothing before or after.
TEST(RldDecode, FillRunsAtEveryLengthAndAlignment) {
    for (size_t Offset = 0; Offset < 16; ++Offset) {
        for (uint32_t Run = 1; Run <= 40; ++Run) {
            const Bytes Stream = Cat({Start(1), Count(Run), Stored(0x0A0B0C), Count(1),
                                      Stored(0xFFFFFF), Count(3), Stored(0x010203), End});
            const Bytes Want = Cat({Px(0x0A0B0C, Run), Px(0xFFFFFF), Px(0x010203, 3)});
            for (size_t Capacity = Run * 4 - 4; Capacity <= Want.size() + 3; ++Capacity) {
                SCOPED_TRACE(std::to_string(Run) + " pixels at offset " + std::to_string(Offset) +
                             ", capacity " + std::to_string(Capacity));
                Bytes Block(Offset + Capacity, 0xA5);
                uint32_t Returned = Velmora::RldDecode(Stream.data(), Stream.size(),
                                                       Block.data() + Offset, Capacity);
                Bytes Expected(Offset, 0xA5);
                Bytes Decoded = Head(Want, std::min(Capacity / 4 * 4, Want.size()));
                ASSERT_EQ(Returned, Decoded.size());
                Expected.insert(Expected.end(), Decoded.begin(), Decoded.end());
                Expected.resize(Block.size(), 0);
                ASSERT_EQ(Block, Expected);
            }
        }
    }
}

// Reads Stream without the decoder and checks the encoder's rules for the
// image Bgr: shortest counts of at most MaxRun, no empty fill, empty literals
// only between fills, no equal neighbours in a literal, and runs split only
// where a count reached MaxRun.
void CheckStream(const Bytes& Stream, const Bytes& Bgr, uint32_t MaxRun) {
    struct Span {
        bool Fill;
        uint32_t Count;
        size_t First; // pixel
    };
    std::vector<Span> Runs;
    size_t At = 1, Pixels = 0;
    ASSERT_LE(Stream.at(0), 1);
    for (bool Fill = Stream[0]; At + 2 <= Stream.size() && (Stream[At] | Stream[At + 1]);
         Fill = !Fill) {
        size_t Size = Stream[At] & 1 ? (Stream[At] & 2 ? 4 : 2) : 1;
        uint32_t Value = 0;
        for (size_t Index = 0; Index < Size && At + Index < Stream.size(); ++Index) {
            Value |= uint32_t(Stream[At + Index]) << 8 * Index;
        }
        Runs.push_back({Fill, Value >> (Size == 4 ? 3 : Size), Pixels});
        ASSERT_EQ(Size, Runs.back().Count < 128 ? 1u : Runs.back().Count < 16384 ? 2u : 4u);
        ASSERT_LE(Runs.back().Count, MaxRun);
        At += Size + (Fill ? 3 : 3 * size_t(Runs.back().Count));
        Pixels += Runs.back().Count;
    }
    ASSERT_EQ(At + 2, Stream.size()) << "the stream ends in its end marker";
    ASSERT_EQ(Pixels * 3, Bgr.size());
    auto Same = [&](size_t A, size_t B) { return std::memcmp(&Bgr[A * 3], &Bgr[B * 3], 3) == 0; };
    const Span* Before = nullptr; // the last non-empty run
    for (size_t Index = 0; Index < Runs.size(); ++Index) {
        const Span& Run = Runs[Index];
        SCOPED_TRACE("run " + std::to_string(Index) + " of count " + std::to_string(Run.Count));
        if (Run.Count == 0) {
            ASSERT_TRUE(!Run.Fill && Index > 0 && Index + 1 < Runs.size()) << "empty run";
            continue;
        }
        bool Split = Before && Before->Count == MaxRun;
        if (Before && !Split) {
            ASSERT_FALSE(Same(Run.First - 1, Run.First)) << "equal neighbours in two runs";
        }
        if (Run.Fill && Run.Count == 1 && MaxRun > 1) {
            ASSERT_TRUE(Split && (!Before->Fill || Same(Before->First, Run.First))) << "lone fill";
        }
        for (size_t Pixel = Run.First + 1; !Run.Fill && Pixel < Run.First + Run.Count; ++Pixel) {
            ASSERT_FALSE(Same(Pixel - 1, Pixel)) << "equal neighbours in a literal at " << Pixel;
        }
        Before = &Run;
    }
}

// Encodes Bgr (through the default limit unless MaxRun is given), checks the
// stream and decodes it back.
void RoundTrip(const Bytes& Bgr, uint32_t MaxRun = Velmora::RldMaxCount) {
    const size_t Pixels = Bgr.size() / 3;
    Bytes Stream = MaxRun == Velmora::RldMaxCount
                       ? Velmora::RldEncodeStream(Bgr.data(), Pixels)
                       : Velmora::RldEncodeStream(Bgr.data(), Pixels, MaxRun);
    ASSERT_NO_FATAL_FAILURE(CheckStream(Stream, Bgr, MaxRun));
    ExpectDecoded(Decode(Stream, Pixels * 4), Expand(Bgr));
}

TEST(RldEncoder, GeneratedImagesRoundTrip) {
    std::vector<std::pair<std::string, Bytes>> Images = {
        {"no pixels", {}},
        {"one pixel", Stored(0x123456)},
        {"one black pixel", Stored(0)},
        {"two equal", Stored(0, 2)},
        {"two different", Cat({Stored(0), Stored(1)})},
        {"pair, single, pair", Cat({Stored(5, 2), Stored(6), Stored(7, 2)})},
        {"single, pair, single", Cat({Stored(5), Stored(6, 2), Stored(7)})},
        {"flat 600 x 450", Stored(0x202075, 600 * 450)},
        {"full-colour noise", Noise(5000, 1)},
        {"noise of 2 colours", Noise(20000, 2, 2)},
        {"noise of 3 colours", Noise(20000, 3, 3)},
        {"noise patches", Cat({Stored(1, 300), Noise(17, 2), Stored(3, 2), Noise(1, 4),
                               Stored(3, 2), Noise(129, 5), Stored(6, 1000)})},
    };
    // Runs at the limits of the count forms.
    for (size_t Length : {127, 128, 129, 16383, 16384, 16385, 70000}) {
        std::string Name = " of " + std::to_string(Length);
        Images.push_back({"fill" + Name, Cat({Noise(3, 7), Stored(0xFF00, Length), Noise(3, 8)})});
        Images.push_back({"whole image fill" + Name, Stored(0xFF, Length)});
        Images.push_back({"literal" + Name, Cat({Stored(0, 4), Noise(Length, 9), Stored(0, 4)})});
    }
    for (const auto& [Name, Bgr] : Images) {
        SCOPED_TRACE(Name);
        RoundTrip(Bgr);
    }
    // Runs split at a small limit, standing in for the largest count.
    for (uint32_t Limit : {1u, 2u, 5u, 127u, 128u}) {
        SCOPED_TRACE("split at " + std::to_string(Limit));
        for (const Bytes& Bgr :
             {Stored(0x445566, 1000), Noise(1000, 12),
              Cat({Noise(11, 13), Stored(1, 23), Stored(2, 6), Noise(5, 14), Stored(2, 2)}),
              Cat({Noise(2 * Limit + 2, 16), Stored(1, 3)})}) {
            RoundTrip(Bgr, Limit);
        }
    }
    Bytes Largest;
    Velmora::RldAppendCount(Largest, Velmora::RldMaxCount);
    EXPECT_EQ(Largest, Bytes({0xFB, 0xFF, 0xFF, 0xFF}));
}

Bytes Text(const std::string& Value) {
    return Bytes(Value.begin(), Value.end());
}

TEST(PpmReader, AcceptsBinaryPpmOnly) {
    const struct {
        const char* Name;
        std::string File, Bgr; // no pixels: rejected
    } Cases[] = {
        {"comments; RGB turns BGR", "P6\n# by hand\n2 # w\n1\n255\n\1\2\3\4\5\6", "\3\2\1\6\5\4"},
        {"samples that look like whitespace", "P6 1 1 255  \n\t", "\t\n "},
        {"largest width", "P6\n65535 1\n255\n" + std::string(65535 * 3, 7),
         std::string(65535 * 3, 7)},
        {"ASCII PPM", "P3\n1 1\n255\n0 0 0\n", ""},
        {"PGM", "P5\n1 1\n255\n\1", ""},
        {"maxval 65535", "P6\n1 1\n65535\n" + std::string(6, 0), ""},
        {"width 65536", "P6\n65536 1\n255\n" + std::string(65536 * 3, 0), ""},
        {"height 65536", "P6\n1 65536\n255\n" + std::string(65536 * 3, 0), ""},
        {"width 0", "P6\n0 1\n255\n", ""},
        {"negative height", "P6\n1 -1\n255\n", ""},
        {"missing maxval", "P6\n1 1\n", ""},
        {"no pixel data", "P6\n1 1\n255", ""},
        {"truncated pixels", "P6\n2 2\n255\n" + std::string(11, 0), ""},
    };
    for (const auto& Each : Cases) {
        SCOPED_TRACE(Each.Name);
        Velmora::PpmImage Image;
        std::string Error;
        ASSERT_EQ(Velmora::ParsePpm(Text(Each.File), Image, Error), !Each.Bgr.empty()) << Error;
        EXPECT_FALSE(Each.Bgr.empty() && Error.empty()) << "a rejection says why";
        EXPECT_EQ(Image.Bgr, Text(Each.Bgr));
    }
}

std::string TempPath(const std::string& Name) {
    return ::testing::TempDir() + "rld_codec_test_" + std::to_string(getpid()) + "_" + Name;
}

Bytes ReadAll(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
}

// Runs rld_encode with a PPM holding Content at TempPath("in.ppm"); returns
// its exit code and what it printed.
int RunEncoder(const std::string& Content, const std::string& Arguments, std::string& Printed) {
    std::ofstream(TempPath("in.ppm"), std::ios::binary) << Content;
    FILE* Pipe = popen(("'" VELMORA_RLD_ENCODE "' " + Arguments + " 2>&1").c_str(), "r");
    Printed.clear();
    for (int Char; Pipe && (Char = std::fgetc(Pipe)) != EOF;) {
        Printed.push_back(char(Char));
    }
    int Status = Pipe ? pclose(Pipe) : -1;
    std::remove(TempPath("in.ppm").c_str());
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

TEST(RldEncodeTool, WritesTheRawImageOrFailsWithTheReason) {
    const std::string Out = TempPath("out"), Files = "'" + TempPath("in.ppm") + "' '" + Out + "'";
    const std::string Ppm =
        "P6\n3 2\n255\n\x0A\x14\x1E\x0A\x14\x1E\x0A\x14\x1E\1\2\3\4\5\6\7\x08\x09";
    std::string Printed;
    ASSERT_EQ(RunEncoder(Ppm, "--raw " + Files, Printed), 0) << Printed;
    Velmora::PpmImage Image;
    ASSERT_TRUE(Velmora::ParsePpm(Text(Ppm), Image, Printed)) << Printed;
    EXPECT_EQ(ReadAll(Out), Velmora::RldEncodeImage(3, 2, Image.Bgr.data()));
    std::remove(Out.c_str());

    const struct {
        std::string Content, Arguments;
        const char* Says;
    } Cases[] = {
        {"P3\n1 1\n255\n0 0 0\n", Files, "P6"},
        {"P6\n4 4\n255\n" + std::string(20, 0), "--raw " + Files, "truncated"},
        {"P6\n1 1\n1023\n", Files, "maxval"},
        {Ppm, "'" + TempPath("missing.ppm") + "' '" + Out + "'", "cannot open"},
        {Ppm, "'" + TempPath("in.ppm") + "'", "usage"},
    };
    for (const auto& Each : Cases) {
        SCOPED_TRACE(Each.Arguments);
        EXPECT_NE(RunEncoder(Each.Content, Each.Arguments, Printed), 0);
        EXPECT_NE(Printed.find(Each.Says), std::string::npos) << Printed;
        EXPECT_FALSE(std::ifstream(Out).is_open()) << "no output for bad input";
        std::remove(Out.c_str());
    }
}

TEST(CarriedPicture, IsTheEncoded600By450Ppm) {
    const Bytes Carried(Velmora::BackgroundPicture,
                        Velmora::BackgroundPicture + Velmora::BackgroundPictureSize);
    ASSERT_GT(Carried.size(), Velmora::RldHeaderSize);
    EXPECT_EQ(Head(Carried, 16),
              Bytes({0x52, 0x4C, 0x44, 0, 0, 0, 0x58, 0x02, 0xC2, 0x01, 32, 24, 0, 0, 0, 0}));
    EXPECT_LT(Carried.size(), 150u * 1024);
    Velmora::PpmImage Image;
    std::string Error;
    ASSERT_TRUE(Velmora::ReadPpmFile(VELMORA_BACKGROUND_PPM, Image, Error)) << Error;
    ASSERT_TRUE(Image.Width == 600 && Image.Height == 450);
    const Bytes Stream(Carried.begin() + Velmora::RldHeaderSize, Carried.end());
    ExpectDecoded(Decode(Stream, 4 * 600 * 450), Expand(Image.Bgr));
    EXPECT_EQ(Stream[0], 1) << "the first run is a fill";
    CheckStream(Stream, Image.Bgr, Velmora::RldMaxCount);
    EXPECT_TRUE(Carried == Velmora::RldEncodeImage(600, 450, Image.Bgr.data()));
}

} // namespace
