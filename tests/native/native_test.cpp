// The picture codec, the carried picture and the kept fuzz corpus, then the
// installer's small rules. Decoder and encoder also go through the fuzz targets'
// checks, which work between exactly sized heap blocks for AddressSanitizer.
#include "actions/screensaver_name.h"
#include "data/background_picture.h"
#include "data/rld_decode.h"
#include "fuzz_targets.h"
#include "saver_args.h"
#include "saver_maths.h"
#include "shell/shell_version.h"
#include "support/support_bytes.h"
#include "support/support_strings.h"
#include "ui/menu_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

using namespace Velmora;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> Parts) {
    Bytes Out;
    for (const Bytes& Part : Parts) {
        Out.insert(Out.end(), Part.begin(), Part.end());
    }
    return Out;
}

// Count pixels of colour 0xRRGGBB as stored: blue, green, red.
Bytes Stored(uint32_t Rgb, size_t Count = 1) {
    Bytes Out;
    while (Count-- > 0) {
        Out.insert(Out.end(), {uint8_t(Rgb), uint8_t(Rgb >> 8), uint8_t(Rgb >> 16)});
    }
    return Out;
}

// Count stored pixels of random colours, or of Greys grey levels.
Bytes Noise(size_t Count, uint32_t Seed, uint32_t Greys = 0) {
    std::mt19937 Random(Seed);
    Bytes Bgr(Count * 3);
    for (size_t At = 0; At < Bgr.size(); ++At) {
        Bgr[At] = uint8_t(!Greys ? Random() : At % 3 ? Bgr[At - 1] : Random() % Greys * 0x40);
    }
    return Bgr;
}

// A run's count in the one-, two- or four-byte form, as the format writes it.
Bytes Count(uint32_t Value, size_t Size = 1) {
    uint32_t Coded = Size == 1 ? Value << 1 : Size == 2 ? Value << 2 | 1 : Value << 3 | 3;
    Bytes Out = {uint8_t(Coded), uint8_t(Coded >> 8), uint8_t(Coded >> 16), uint8_t(Coded >> 24)};
    Out.resize(Size);
    return Out;
}

const Bytes End = {0, 0};

// Streams cut at every source length and decoded at every pixel, with 0 .. 3 bytes to
// spare: the end marker at once; a fill first (start byte 03: bit 0 alone tells), of 0, then
// of the largest count; after a literal first (start bytes FE .. F8) from four alignments,
// fills of 1 .. 40 pixels and runs of every count form, then bytes after the end marker.
TEST(RldDecode, EveryCutAndCapacity) {
    auto Check = [](size_t Capacity, const Bytes& Stream) {
        const Bytes Input =
            Cat({{uint8_t(Capacity), uint8_t(Capacity >> 8), uint8_t(Capacity >> 16)}, Stream});
        return VelmoraFuzz::FuzzRldDecode(Input.data(), Input.size());
    };
    const Bytes Fills = Cat({{0x03}, Count(0), Stored(6), Count(1), Stored(9)});
    std::vector<Bytes> Streams = {{0xFF, 0, 0}, Cat({Fills, Count((1u << 29) - 1, 4), Stored(5)})};
    for (uint32_t Lead = 1; Lead <= 4; ++Lead) {
        Bytes Stream = Cat({{uint8_t(0x100 - 2 * Lead)}, Count(Lead), Noise(Lead, Lead)});
        for (uint32_t Run = 1; Run <= 40; ++Run) {
            Stream = Cat({Stream, Count(Run), Stored(Run), Count(1), Stored(~Run)});
        }
        Stream = Cat({Stream, Count(300, 2), Stored(0xFF00), Count(130, 2), Noise(130, 3)});
        Stream = Cat({Stream, Count(700, 4), Stored(0xFF), Count(0), Count(7), Stored(1), End});
        Streams.push_back(Cat({Stream, Count(5), Stored(3)})); // after the end marker: not read
    }
    for (size_t Index = 0; Index < Streams.size(); ++Index) {
        const Bytes& Stream = Streams[Index];
        for (size_t Length = 0; Length <= Stream.size(); ++Length) {
            ASSERT_EQ(Check(12000, Bytes(Stream.begin(), Stream.begin() + Length)), 0) << Length;
        }
        for (size_t Capacity = Index % 4; Capacity <= 8400; Capacity += 4) {
            ASSERT_EQ(Check(Capacity, Stream), 0) << "capacity " << Capacity;
        }
    }
}

// The carried picture is the committed PPM, 600 x 450 as the program reads
// the header, its red, green, blue samples stored as blue, green, red.
TEST(CarriedPicture, DecodesToTheCommittedPpm) {
    const uint8_t* Carried = BackgroundPicture;
    ASSERT_GT(BackgroundPictureSize, RldHeaderSize);
    EXPECT_TRUE(Carried[6] + 256 * Carried[7] == 600 && Carried[8] + 256 * Carried[9] == 450);
    std::ifstream In(VELMORA_BACKGROUND_PPM, std::ios::binary);
    const Bytes Ppm((std::istreambuf_iterator<char>(In)), {});
    Bytes Want, Out(4 * 600 * 450);
    for (size_t At = Ppm.size() - 600 * 450 * 3; At < Ppm.size(); At += 3) {
        Want.insert(Want.end(), {Ppm[At + 2], Ppm[At + 1], Ppm[At], 0});
    }
    const Bytes Stream(Carried + RldHeaderSize, Carried + BackgroundPictureSize); // for ASan
    ASSERT_EQ(RldDecode(Stream.data(), Stream.size(), Out.data(), Out.size()), Want.size());
    EXPECT_EQ(Out, Want);
}

// Every input the fuzzer kept goes through its checks again.
TEST(FuzzCorpus, KeptInputsReplay) {
    for (const auto& File : std::filesystem::directory_iterator(VELMORA_FUZZ_CORPUS)) {
        std::ifstream In(File.path(), std::ios::binary);
        const Bytes Data((std::istreambuf_iterator<char>(In)), {});
        EXPECT_EQ(VelmoraFuzz::FuzzRldDecode(Data.data(), Data.size()), 0) << File.path();
    }
}

// Buttons of 75 x 30 at x 35 from y 30, gaps of 30, edges included. Rows: buttons
// counted, x, y, button hit. (The window's place: the end-to-end case.)
TEST(Menu, HitTests) {
    MenuTableRecord Table = {};
    LayOutMenuButtons(Table, 200); // more than there are slots: all of them
    const int32_t Hits[][4] = {
        {3, 35, 30, 1},      {3, 110, 60, 1},      {3, 111, 45, 0},   {3, 34, 45, 0},
        {3, 72, 29, 0},      {3, 72, 61, 0},       {3, 72, 89, 0},    {3, 72, 90, 2},
        {3, 110, 180, 3},    {3, 72, 181, 0},      {3, 72, 225, 0},   {4, 72, 225, 4},
        {0, 72, 45, 0},      {3, -1, 40, 0},       {3, 65608, 40, 0}, {3, 72, 65576, 0},
        {999, 72, 2370, 40}, {999, 110, 2400, 40}, {999, 72, 2401, 0}};
    for (const auto& H : Hits) {
        EXPECT_EQ(FindMenuEntry(Table, uint16_t(H[0]), H[1], H[2]), H[3]) << H[1] << ", " << H[2];
    }
}

// Rows: a text assigned to a buffer with no NUL at the cap, a text appended or
// else a number in decimal, the result and whether all of it fitted.
TEST(ShortStrings, KeepTheirFirst255Characters) {
    const std::string A(250, 'a'), B(255, 'b');
    const std::tuple<std::string, const char*, long, std::string, bool> Cases[] = {
        {"C:\\WINDOWS", "\\Velmora.scr", 0, "C:\\WINDOWS\\Velmora.scr", true},
        {A, "0123456789", 0, A + "01234", false},
        {B, "", 0, B, true},
        {B + "c", "", 0, B, false},
        {"(", nullptr, -3, "(-3", true},
        {"", nullptr, LONG_MIN, std::to_string(LONG_MIN), true},
        {"", nullptr, LONG_MAX, std::to_string(LONG_MAX), true},
        {A + "123", nullptr, -40, A + "123-4", false}};
    for (const auto& [Start, Text, Number, Want, Whole] : Cases) {
        ShortString Buffer;
        std::memset(Buffer, 'x', sizeof Buffer);
        bool Fitted = AssignString(Buffer, Start.c_str());
        Fitted &= Text ? AppendString(Buffer, Text) : AppendDecimal(Buffer, Number);
        EXPECT_TRUE(std::string(Buffer) == Want && Fitted == Whole) << Buffer << ", " << Fitted;
    }
}

TEST(ScreensaverName, LastFourCharactersReadDotScrInAnyCase) {
    for (const char* Name : {"Velmora.scr", "VELMORA.SCR", "v.ScR", ".scr", " .SCR"}) {
        EXPECT_TRUE(IsScreensaverName(Name)) << Name;
    }
    for (const char* Name : {"V.scr ", "V.sc", "V.scx", " SCR", "", "V_scr", "V.scrx", "V.ssr"}) {
        EXPECT_FALSE(IsScreensaverName(Name)) << Name;
    }
}

// Every length to 40, to and from every place within a word (the release
// builds' memcpy and memset): the bytes asked for, none beside them.
TEST(Bytes, CopyAndFillAtEveryLengthAndAlignment) {
    const Bytes Source = Noise(24, 7);
    for (size_t Case = 0; Case < 41 * 64; ++Case) {
        const size_t Length = Case / 64, To = Case % 8, From = Case / 8 % 8;
        Bytes Copied(64, 0xEE), Filled(Copied), Want(Copied), WantFilled(Copied);
        CopyBytes(&Copied[To], &Source[From], Length);
        FillBytes(&Filled[To], 0x5A, Length);
        std::copy_n(&Source[From], Length, &Want[To]);
        std::fill_n(&WantFilled[To], Length, 0x5A);
        ASSERT_TRUE(Copied == Want && Filled == WantFilled)
            << Length << " at " << To << ", " << From;
    }
}

// The screensaver's against the C library's: densely over a few turns, and
// at the angles of runs of hours to 49 days (10^4 to 10^7 radians).
TEST(SaverMaths, SineAndCosineStayExactOverLongRuns) {
    double Worst = 0;
    for (const double Start : {-20.0, 1e4, 1e5, 1e6, 1e7}) {
        for (double Angle = Start; Angle < Start + 40; Angle += 0.001) {
            Worst = std::max({Worst, std::fabs(Sine(Angle) - std::sin(Angle)),
                              std::fabs(Cosine(Angle) - std::cos(Angle))});
        }
    }
    EXPECT_LE(Worst, 2.3e-16);
}

// Rows: platform, major, minor, class. Win32s (0): 1. The 95 line (1) by the
// minor: 95 (0), minor 1, the rest. NT (2) by the major: up to 3, 4, from 5.
TEST(WindowsVersion, ClassesByPlatformAndVersion) {
    const uint32_t Cases[][4] = {
        {0, 0, 0, 1},    {0, ~0u, ~0u, 1}, {1, ~0u, 0, 2},    {1, 3, 1, 4},    {1, 4, 10, 8},
        {1, 0, ~0u, 8},  {2, 3, 51, 0x10}, {2, 0, 0, 0x10},   {2, 4, 0, 0x20}, {2, 4, 90, 0x20},
        {2, 5, 0, 0x40}, {2, 6, 1, 0x40},  {2, ~0u, 0, 0x40}, {3, 5, 0, 0},    {~0u, 4, 10, 0}};
    for (const auto& C : Cases) {
        EXPECT_EQ(ClassifyVersionFields(C[0], C[1], C[2]), C[3])
            << C[0] << ": " << C[1] << "." << C[2];
    }
}

// Full command lines: the program name (quoted, it may hold blanks; bare, it
// ends at a blank), then the switch and the window handle. Rows: the mode (c, s,
// p, a as the switches) and the handle, then the lines that give them.
TEST(SaverCommandLine, ModeAndWindowHandle) {
    const std::pair<const char*, std::vector<const char*>> Cases[] = {
        {"s 0", {"V /s", "V -S", "\"C:\\A B\\V.scr\" /s", "V\t/s 123", "V /s /p 5"}},
        {"a 0", {"V /a", "V -A x"}},
        {"a 123", {"V -A 123"}},
        {"p 0",
         {"V /p", "V /p abc", "V /p 12ab", "V /p -12", "V /p 0x1F", "V /p 4294967297",
          "V /p 99999999999999999999"}},
        {"p 123",
         {"V /p 123", "\"V\"/p:123", "V -P\t\t123", "V /p: 123", "  V  /p123", "V /p 0123",
          "V /p 123 4"}},
        {"p 4294967295", {"V /p 4294967295"}},
        {"c 0",
         {"V", "V /c", "V /c:xyz", "V /", "V /x 123", "V /preview 1", "V p 123", "V //s",
          "\"C:\\V.scr /s", "V\"x y\".scr /s", "\"C:\\x /s\\V.scr\"", nullptr}},
        {"c 123", {"\"C:\\A B\\V.scr\" /C:123", "V\t-c   123  "}}};
    for (const auto& [Want, Lines] : Cases) {
        for (const char* Line : Lines) {
            const SaverArgs Args = ParseSaverArgs(SkipProgramName(Line));
            EXPECT_EQ("cspa"[Args.Mode] + (" " + std::to_string(Args.Handle)), Want)
                << (Line ? Line : "null");
        }
    }
}

} // namespace
