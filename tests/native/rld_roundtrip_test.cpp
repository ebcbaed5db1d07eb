// The RLD encoder against the decoder: generated images survive the round
// trip, and every stream the encoder writes keeps the format's rules. Also
// the PPM reader, the rld_encode tool, and the picture the product carries.
#include "data/background_picture.h"
#include "data/rld_decode.h"
#include "rld_encoder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// --- An independent reading of a pixel stream --------------------------------

struct Run {
    bool Fill;
    uint32_t Count;
    int CountBytes;
    size_t FirstPixel; // index of the first pixel the run produces
};

struct StreamWalk {
    bool Ended = false;   // an end marker was found
    size_t EndOffset = 0; // offset just past the end marker
    std::string Problem;  // why the walk stopped early, if it did
    uint8_t StartByte = 0;
    std::vector<Run> Runs;
    size_t PixelCount = 0;
};

StreamWalk WalkStream(const Bytes& Stream) {
    StreamWalk Walk;
    if (Stream.empty()) {
        Walk.Problem = "empty stream";
        return Walk;
    }
    Walk.StartByte = Stream[0];
    bool Fill = (Stream[0] & 1) != 0;
    size_t At = 1;
    for (;;) {
        if (Stream.size() - At < 2) {
            Walk.Problem = "no end marker";
            return Walk;
        }
        if (Stream[At] == 0 && Stream[At + 1] == 0) {
            Walk.Ended = true;
            Walk.EndOffset = At + 2;
            return Walk;
        }
        Run Next{Fill, 0, 0, Walk.PixelCount};
        if ((Stream[At] & 1) == 0) {
            Next.Count = Stream[At] >> 1;
            Next.CountBytes = 1;
        } else if ((Stream[At] & 2) == 0) {
            Next.Count = (Stream[At] | Stream[At + 1] << 8) >> 2;
            Next.CountBytes = 2;
        } else {
            if (Stream.size() - At < 4) {
                Walk.Problem = "cut four-byte count";
                return Walk;
            }
            uint32_t Value = uint32_t(Stream[At]) | uint32_t(Stream[At + 1]) << 8 |
                             uint32_t(Stream[At + 2]) << 16 | uint32_t(Stream[At + 3]) << 24;
            Next.Count = Value >> 3;
            Next.CountBytes = 4;
        }
        At += size_t(Next.CountBytes);
        size_t Payload = Fill ? 3 : size_t(Next.Count) * 3;
        if (Stream.size() - At < Payload) {
            Walk.Problem = "cut run";
            return Walk;
        }
        At += Payload;
        Walk.PixelCount += Next.Count;
        Walk.Runs.push_back(Next);
        Fill = !Fill;
    }
}

int ShortestCountBytes(uint32_t Count) {
    return Count < 128 ? 1 : Count < 16384 ? 2 : 4;
}

bool SamePixel(const Bytes& Bgr, size_t A, size_t B) {
    return std::memcmp(&Bgr[A * 3], &Bgr[B * 3], 3) == 0;
}

// The format's rules for an encoder, and the choice of runs: equal
// neighbours never sit in a literal run, and runs are only split where a
// count would overflow.
void ExpectEncoderRules(const StreamWalk& Walk, const Bytes& Bgr, uint32_t MaxRun) {
    ASSERT_TRUE(Walk.Ended) << Walk.Problem;
    ASSERT_EQ(Walk.PixelCount, Bgr.size() / 3);
    const std::vector<Run>& Runs = Walk.Runs;
    if (!Runs.empty()) {
        EXPECT_EQ(Walk.StartByte, Runs[0].Fill ? 1 : 0);
    }
    for (size_t Index = 0; Index < Runs.size(); ++Index) {
        const Run& This = Runs[Index];
        SCOPED_TRACE("run " + std::to_string(Index) + (This.Fill ? " (fill " : " (literal ") +
                     std::to_string(This.Count) + ")");
        EXPECT_EQ(This.CountBytes, ShortestCountBytes(This.Count));
        EXPECT_LE(This.Count, MaxRun);
        if (This.Fill) {
            EXPECT_NE(This.Count, 0u);
            if (This.Count == 1 && MaxRun > 1) {
                // A lone pixel is a fill only where a run was split: after a
                // literal run of the largest count, or as the rest of a fill.
                bool AfterLongLiteral = Index >= 1 && Runs[Index - 1].Count == MaxRun;
                bool RestOfFill = Index >= 2 && Runs[Index - 1].Count == 0 &&
                                  Runs[Index - 2].Count == MaxRun &&
                                  SamePixel(Bgr, This.FirstPixel, Runs[Index - 2].FirstPixel);
                EXPECT_TRUE(AfterLongLiteral || RestOfFill);
            }
            if (Index >= 2 && Runs[Index - 1].Count == 0) {
                // Fills of one colour in a row only where a count overflowed.
                if (SamePixel(Bgr, This.FirstPixel, Runs[Index - 2].FirstPixel)) {
                    EXPECT_EQ(Runs[Index - 2].Count, MaxRun);
                }
            }
            for (size_t Pixel = This.FirstPixel; Pixel < This.FirstPixel + This.Count; ++Pixel) {
                ASSERT_TRUE(SamePixel(Bgr, Pixel, This.FirstPixel)) << "pixel " << Pixel;
            }
        } else if (This.Count == 0) {
            // Empty literal runs only between two fills.
            EXPECT_TRUE(Index > 0 && Runs[Index - 1].Fill);
            EXPECT_TRUE(Index + 1 < Runs.size() && Runs[Index + 1].Fill);
        } else {
            for (size_t Pixel = This.FirstPixel + 1; Pixel < This.FirstPixel + This.Count;
                 ++Pixel) {
                ASSERT_FALSE(SamePixel(Bgr, Pixel - 1, Pixel)) << "pixel " << Pixel;
            }
        }
    }
    // Equal neighbours across a run boundary: the fill should have taken
    // them (unless a count overflowed there).
    for (size_t Index = 1; Index < Runs.size(); ++Index) {
        const Run& Before = Runs[Index - 1];
        const Run& This = Runs[Index];
        if (This.Count == 0 || Before.Count == 0 || Before.Count == MaxRun) {
            continue;
        }
        EXPECT_FALSE(SamePixel(Bgr, This.FirstPixel - 1, This.FirstPixel))
            << "run " << Index << " starts with the colour the one before ends with";
    }
}

// Decodes between exactly sized heap blocks.
Bytes DecodeExact(const uint8_t* Stream, size_t Length, size_t PixelCount, uint32_t* Returned) {
    std::unique_ptr<uint8_t[]> Source(new uint8_t[Length]);
    std::memcpy(Source.get(), Stream, Length);
    std::unique_ptr<uint8_t[]> Destination(new uint8_t[PixelCount * 4]);
    std::memset(Destination.get(), 0xA5, PixelCount * 4);
    *Returned = Velmora::RldDecode(Source.get(), Length, Destination.get(), PixelCount * 4);
    return Bytes(Destination.get(), Destination.get() + PixelCount * 4);
}

Bytes ToBgr0(const Bytes& Bgr) {
    Bytes Out;
    Out.reserve(Bgr.size() / 3 * 4);
    for (size_t At = 0; At < Bgr.size(); At += 3) {
        Out.insert(Out.end(), {Bgr[At], Bgr[At + 1], Bgr[At + 2], 0});
    }
    return Out;
}

void RoundTrip(const Bytes& Bgr, uint32_t MaxRun = Velmora::RldMaxCount) {
    size_t PixelCount = Bgr.size() / 3;
    Bytes Stream = Velmora::RldEncodeStream(Bgr.data(), PixelCount, MaxRun);
    StreamWalk Walk = WalkStream(Stream);
    ExpectEncoderRules(Walk, Bgr, MaxRun);
    EXPECT_EQ(Walk.EndOffset, Stream.size()) << "bytes after the end marker";
    uint32_t Returned = 0;
    Bytes Decoded = DecodeExact(Stream.data(), Stream.size(), PixelCount, &Returned);
    EXPECT_EQ(Returned, PixelCount * 4);
    EXPECT_TRUE(Decoded == ToBgr0(Bgr)) << "decoded pixels differ from the source";
}

// --- Generated images --------------------------------------------------------

void Put(Bytes& Bgr, uint32_t Rgb) {
    Bgr.insert(Bgr.end(), {uint8_t(Rgb), uint8_t(Rgb >> 8), uint8_t(Rgb >> 16)});
}

Bytes Flat(size_t Count, uint32_t Rgb) {
    Bytes Bgr;
    for (size_t Index = 0; Index < Count; ++Index) {
        Put(Bgr, Rgb);
    }
    return Bgr;
}

Bytes Noise(size_t Count, uint32_t Seed, uint32_t Colours = 0) {
    std::mt19937 Random(Seed);
    Bytes Bgr;
    for (size_t Index = 0; Index < Count; ++Index) {
        uint32_t Value = Random();
        Put(Bgr, Colours == 0 ? Value : (Value % Colours) * 0x404040);
    }
    return Bgr;
}

Bytes Join(std::initializer_list<Bytes> Parts) {
    Bytes Out;
    for (const Bytes& Part : Parts) {
        Out.insert(Out.end(), Part.begin(), Part.end());
    }
    return Out;
}

TEST(RldRoundTrip, TinyImages) {
    {
        SCOPED_TRACE("no pixels");
        RoundTrip({});
    }
    {
        SCOPED_TRACE("1 x 1");
        RoundTrip(Flat(1, 0x123456));
    }
    {
        SCOPED_TRACE("black pixel");
        RoundTrip(Flat(1, 0));
    }
    {
        SCOPED_TRACE("two equal");
        RoundTrip(Flat(2, 0));
    }
    {
        SCOPED_TRACE("two different");
        RoundTrip(Join({Flat(1, 0), Flat(1, 1)}));
    }
    {
        SCOPED_TRACE("pair, single, pair");
        RoundTrip(Join({Flat(2, 5), Flat(1, 6), Flat(2, 7)}));
    }
    {
        SCOPED_TRACE("single, pair, single");
        RoundTrip(Join({Flat(1, 5), Flat(2, 6), Flat(1, 7)}));
    }
}

TEST(RldRoundTrip, EmptyImageIsStartByteAndEndMarker) {
    Bytes Stream = Velmora::RldEncodeStream(nullptr, 0);
    ASSERT_EQ(Stream.size(), 3u);
    EXPECT_EQ(Stream[1], 0);
    EXPECT_EQ(Stream[2], 0);
}

TEST(RldRoundTrip, FlatStripesAndBands) {
    const size_t Width = 600;
    const size_t Height = 40;
    for (size_t Stripe : {1, 2, 3, 7}) {
        SCOPED_TRACE("vertical stripes " + std::to_string(Stripe));
        Bytes Bgr;
        for (size_t Y = 0; Y < Height; ++Y) {
            for (size_t X = 0; X < Width; ++X) {
                Put(Bgr, (X / Stripe) % 2 ? 0xFFFFFF : 0x000000);
            }
        }
        RoundTrip(Bgr);
    }
    {
        SCOPED_TRACE("horizontal bands of 5 rows");
        Bytes Bgr;
        for (size_t Y = 0; Y < Height; ++Y) {
            Bgr = Join({Bgr, Flat(Width, uint32_t(Y / 5) * 0x102030)});
        }
        RoundTrip(Bgr);
    }
    {
        SCOPED_TRACE("flat 600 x 450");
        RoundTrip(Flat(600 * 450, 0x202075));
    }
}

TEST(RldRoundTrip, NoiseImages) {
    {
        SCOPED_TRACE("full-colour noise");
        RoundTrip(Noise(5000, 1));
    }
    for (uint32_t Colours : {2u, 3u, 4u}) {
        // Few colours: short fills and short literals alternate everywhere.
        SCOPED_TRACE("noise of " + std::to_string(Colours) + " colours");
        RoundTrip(Noise(20000, Colours, Colours));
    }
    {
        SCOPED_TRACE("noise patches on flat ground");
        RoundTrip(Join({Flat(300, 1), Noise(17, 2), Flat(2, 3), Noise(1, 4), Flat(2, 3),
                        Noise(129, 5), Flat(1000, 6)}));
    }
}

TEST(RldRoundTrip, CountsAtTheFormBoundaries) {
    for (size_t Length : {127, 128, 129, 16383, 16384, 16385, 70000}) {
        SCOPED_TRACE("length " + std::to_string(Length));
        // A fill of that length, between literal pixels and alone.
        RoundTrip(Join({Noise(3, 7), Flat(Length, 0x00FF00), Noise(3, 8)}));
        RoundTrip(Flat(Length, 0x0000FF));
        // A literal run of that length.
        RoundTrip(Join({Flat(4, 0), Noise(Length, 9), Flat(4, 0)}));
    }
}

TEST(RldRoundTrip, LongRunsUseFourByteCounts) {
    Bytes Bgr = Join({Flat(20000, 0x0A0B0C), Noise(20000, 11)});
    Bytes Stream = Velmora::RldEncodeStream(Bgr.data(), Bgr.size() / 3);
    StreamWalk Walk = WalkStream(Stream);
    ASSERT_TRUE(Walk.Ended) << Walk.Problem;
    ASSERT_EQ(Walk.Runs.size(), 2u);
    EXPECT_TRUE(Walk.Runs[0].Fill);
    EXPECT_EQ(Walk.Runs[0].Count, 20000u);
    EXPECT_EQ(Walk.Runs[0].CountBytes, 4);
    EXPECT_FALSE(Walk.Runs[1].Fill);
    EXPECT_EQ(Walk.Runs[1].Count, 20000u);
    EXPECT_EQ(Walk.Runs[1].CountBytes, 4);
    RoundTrip(Bgr);
}

TEST(RldRoundTrip, RunsSplitAtTheLargestCount) {
    // A smaller limit stands in for 2^29 - 1, which would need gigabytes.
    for (uint32_t Limit : {1u, 2u, 5u, 127u, 128u}) {
        SCOPED_TRACE("limit " + std::to_string(Limit));
        RoundTrip(Flat(1000, 0x445566), Limit);
        RoundTrip(Noise(1000, 12), Limit);
        RoundTrip(Join({Noise(11, 13), Flat(23, 1), Flat(6, 2), Noise(5, 14), Flat(2, 2)}), Limit);
        // A literal stretch ending in the lone pixel of a split, then a fill.
        RoundTrip(Join({Noise(2 * (Limit + 1), 16), Flat(3, 1)}), Limit);
    }
    // Flat 12 pixels with a limit of 5: fills 5, 5, 2 joined by empty literals.
    Bytes Bgr = Flat(12, 0x010203);
    StreamWalk Walk = WalkStream(Velmora::RldEncodeStream(Bgr.data(), 12, 5));
    ASSERT_EQ(Walk.Runs.size(), 5u);
    EXPECT_EQ(Walk.Runs[0].Count, 5u);
    EXPECT_EQ(Walk.Runs[1].Count, 0u);
    EXPECT_EQ(Walk.Runs[2].Count, 5u);
    EXPECT_EQ(Walk.Runs[3].Count, 0u);
    EXPECT_EQ(Walk.Runs[4].Count, 2u);
}

TEST(RldEncoder, CountsTakeTheShortestForm) {
    struct Case {
        uint32_t Count;
        Bytes Encoded;
    };
    const Case Cases[] = {
        {0, {0x00}},
        {1, {0x02}},
        {127, {0xFE}},
        {128, {0x01, 0x02}},
        {256, {0x01, 0x04}},
        {16383, {0xFD, 0xFF}},
        {16384, {0x03, 0x00, 0x02, 0x00}},
        {Velmora::RldMaxCount, {0xFB, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& Each : Cases) {
        Bytes Out;
        Velmora::RldAppendCount(Out, Each.Count);
        EXPECT_EQ(Out, Each.Encoded) << "count " << Each.Count;
    }
}

TEST(RldEncoder, ImageHeader) {
    Bytes Bgr = Noise(300 * 2, 15);
    Bytes Image = Velmora::RldEncodeImage(300, 2, Bgr.data());
    ASSERT_GT(Image.size(), Velmora::RldHeaderSize);
    EXPECT_EQ(Bytes(Image.begin(), Image.begin() + 16),
              Bytes({0x52, 0x4C, 0x44, 0x00, 0, 0, 0x2C, 0x01, 0x02, 0x00, 32, 24, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(Image.begin() + 16, Image.end()), Velmora::RldEncodeStream(Bgr.data(), 600));
}

// --- PPM input ---------------------------------------------------------------

Bytes Text(const std::string& Value) {
    return Bytes(Value.begin(), Value.end());
}

TEST(PpmReader, ReadsHeaderWithCommentsAndConvertsToBgr) {
    Bytes File = Join({Text("P6\n# made by hand\n2 # width\n1\n255\n"), {1, 2, 3, 4, 5, 6}});
    Velmora::PpmImage Image;
    std::string Error;
    ASSERT_TRUE(Velmora::ParsePpm(File, Image, Error)) << Error;
    EXPECT_EQ(Image.Width, 2u);
    EXPECT_EQ(Image.Height, 1u);
    EXPECT_EQ(Image.Bgr, Bytes({3, 2, 1, 6, 5, 4}));

    // The byte after maxval is the last header byte even when the first
    // sample looks like whitespace.
    File = Join({Text("P6 1 1 255 "), {' ', '\n', '\t'}});
    ASSERT_TRUE(Velmora::ParsePpm(File, Image, Error)) << Error;
    EXPECT_EQ(Image.Bgr, Bytes({'\t', '\n', ' '}));
}

TEST(PpmReader, RejectsBadInput) {
    struct Case {
        const char* Name;
        Bytes File;
    };
    const Case Cases[] = {
        {"empty", {}},
        {"ASCII PPM", Text("P3\n1 1\n255\n0 0 0\n")},
        {"PGM", Join({Text("P5\n1 1\n255\n"), {0}})},
        {"maxval 65535", Join({Text("P6\n1 1\n65535\n"), Bytes(6, 0)})},
        {"maxval 15", Join({Text("P6\n1 1\n15\n"), Bytes(3, 0)})},
        {"width 65536", Join({Text("P6\n65536 1\n255\n"), Bytes(65536 * 3, 0)})},
        {"height 70000", Text("P6\n1 70000\n255\n")},
        {"width 0", Text("P6\n0 1\n255\n")},
        {"negative height", Text("P6\n1 -1\n255\n")},
        {"missing maxval", Text("P6\n1 1\n")},
        {"no pixel data", Text("P6\n1 1\n255")},
        {"truncated pixels", Join({Text("P6\n2 2\n255\n"), Bytes(11, 0)})},
    };
    for (const Case& Each : Cases) {
        Velmora::PpmImage Image;
        std::string Error;
        EXPECT_FALSE(Velmora::ParsePpm(Each.File, Image, Error)) << Each.Name;
        EXPECT_FALSE(Error.empty()) << Each.Name;
    }
    // Largest allowed size is accepted.
    Velmora::PpmImage Image;
    std::string Error;
    EXPECT_TRUE(
        Velmora::ParsePpm(Join({Text("P6\n65535 1\n255\n"), Bytes(65535 * 3, 7)}), Image, Error))
        << Error;
}

// --- The rld_encode tool ------------------------------------------------------

std::string TempPath(const std::string& Name) {
    return ::testing::TempDir() + "rld_test_" + std::to_string(getpid()) + "_" + Name;
}

Bytes ReadAll(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& Path, const Bytes& Data) {
    std::ofstream File(Path, std::ios::binary | std::ios::trunc);
    File.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
}

// Runs rld_encode with Arguments; returns its exit code and its stderr.
int RunEncoder(const std::string& Arguments, std::string* Errors) {
    std::string ErrorFile = TempPath("stderr.txt");
    std::string Command =
        std::string("'") + VELMORA_RLD_ENCODE + "' " + Arguments + " 2>'" + ErrorFile + "'";
    int Status = std::system(Command.c_str());
    Bytes ErrorText = ReadAll(ErrorFile);
    Errors->assign(ErrorText.begin(), ErrorText.end());
    std::remove(ErrorFile.c_str());
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

TEST(RldEncodeTool, RawOutputIsTheEncodedImage) {
    Bytes Pixels = {10, 20, 30, 10, 20, 30, 10, 20, 30, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::string Input = TempPath("in.ppm");
    std::string Output = TempPath("out.rld");
    WriteAll(Input, Join({Text("P6\n3 2\n255\n"), Pixels}));
    std::string Errors;
    ASSERT_EQ(RunEncoder("--raw '" + Input + "' '" + Output + "'", &Errors), 0) << Errors;
    Velmora::PpmImage Image;
    std::string Error;
    ASSERT_TRUE(Velmora::ReadPpmFile(Input, Image, Error)) << Error;
    EXPECT_EQ(ReadAll(Output), Velmora::RldEncodeImage(3, 2, Image.Bgr.data()));
    std::remove(Input.c_str());
    std::remove(Output.c_str());
}

TEST(RldEncodeTool, FailsClearlyOnBadInput) {
    std::string Input = TempPath("bad.ppm");
    std::string Output = TempPath("bad.out");
    std::string Errors;

    WriteAll(Input, Text("P3\n1 1\n255\n0 0 0\n"));
    EXPECT_NE(RunEncoder("'" + Input + "' '" + Output + "'", &Errors), 0);
    EXPECT_NE(Errors.find("P6"), std::string::npos) << Errors;

    WriteAll(Input, Join({Text("P6\n4 4\n255\n"), Bytes(20, 0)}));
    EXPECT_NE(RunEncoder("--raw '" + Input + "' '" + Output + "'", &Errors), 0);
    EXPECT_NE(Errors.find("truncated"), std::string::npos) << Errors;

    WriteAll(Input, Text("P6\n1 1\n1023\n"));
    EXPECT_NE(RunEncoder("'" + Input + "' '" + Output + "'", &Errors), 0);
    EXPECT_NE(Errors.find("maxval"), std::string::npos) << Errors;

    EXPECT_NE(RunEncoder("'" + TempPath("missing.ppm") + "' '" + Output + "'", &Errors), 0);
    EXPECT_NE(Errors.find("cannot open"), std::string::npos) << Errors;

    EXPECT_NE(RunEncoder("'" + Input + "'", &Errors), 0);
    EXPECT_NE(Errors.find("usage"), std::string::npos) << Errors;

    EXPECT_TRUE(ReadAll(Output).empty()) << "no output is written for bad input";
    std::remove(Input.c_str());
}

// --- The carried picture -----------------------------------------------------

TEST(CarriedPicture, HeaderNamesA600By450Image) {
    const uint8_t* Header = Velmora::BackgroundPicture;
    ASSERT_GT(Velmora::BackgroundPictureSize, Velmora::RldHeaderSize);
    EXPECT_EQ(Bytes(Header, Header + 4), Bytes({0x52, 0x4C, 0x44, 0x00}));
    EXPECT_EQ(Header[6] + 256 * Header[7], 600);
    EXPECT_EQ(Header[8] + 256 * Header[9], 450);
    EXPECT_EQ(Header[10], 32);
    EXPECT_EQ(Header[11], 24);
}

TEST(CarriedPicture, DecodesToTheDrawnPixels) {
    const uint8_t* Stream = Velmora::BackgroundPicture + Velmora::RldHeaderSize;
    const size_t Length = Velmora::BackgroundPictureSize - Velmora::RldHeaderSize;
    uint32_t Returned = 0;
    Bytes Decoded = DecodeExact(Stream, Length, 600 * 450, &Returned);
    EXPECT_EQ(Returned, 4u * 600 * 450);

    Velmora::PpmImage Image;
    std::string Error;
    ASSERT_TRUE(Velmora::ReadPpmFile(VELMORA_BACKGROUND_PPM, Image, Error)) << Error;
    ASSERT_EQ(Image.Width, 600u);
    ASSERT_EQ(Image.Height, 450u);
    EXPECT_TRUE(Decoded == ToBgr0(Image.Bgr)) << "decoded picture differs from the PPM";

    // The array is exactly what the encoder makes of the PPM, and its
    // stream keeps the rules, starting with a fill run.
    Bytes Carried(Velmora::BackgroundPicture,
                  Velmora::BackgroundPicture + Velmora::BackgroundPictureSize);
    EXPECT_TRUE(Carried == Velmora::RldEncodeImage(600, 450, Image.Bgr.data()));
    StreamWalk Walk = WalkStream(Bytes(Stream, Stream + Length));
    ExpectEncoderRules(Walk, Image.Bgr, Velmora::RldMaxCount);
    EXPECT_EQ(Walk.EndOffset, Length);
    EXPECT_EQ(Walk.StartByte, 1);
}

TEST(CarriedPicture, StaysSmall) {
    EXPECT_LT(Velmora::BackgroundPictureSize, 150u * 1024);
}

} // namespace
