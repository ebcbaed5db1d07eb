#include "rld_encoder.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace Velmora {

namespace {

bool SamePixel(const uint8_t* Bgr, size_t A, size_t B) {
    return std::memcmp(Bgr + A * 3, Bgr + B * 3, 3) == 0;
}

// Emits runs while keeping literal and fill runs alternating.
struct StreamWriter {
    std::vector<uint8_t> Out;
    bool FillDue = false; // the kind of run the decoder expects next
};

void AppendPixel(StreamWriter& Writer, const uint8_t* Pixel) {
    Writer.Out.insert(Writer.Out.end(), Pixel, Pixel + 3);
}

void EmitFill(StreamWriter& Writer, uint32_t Count, const uint8_t* Pixel) {
    if (!Writer.FillDue) {
        // Two fills in a row: an empty literal run between them. The fill
        // count after it is never 0, so the 00 byte cannot read as an end.
        Writer.Out.push_back(0);
    }
    RldAppendCount(Writer.Out, Count);
    AppendPixel(Writer, Pixel);
    Writer.FillDue = false;
}

void EmitLiteral(StreamWriter& Writer, uint32_t Count, const uint8_t* Pixels) {
    // Only called right after a fill (or at the start, when the start byte
    // says literal): two literals are never adjacent.
    RldAppendCount(Writer.Out, Count);
    Writer.Out.insert(Writer.Out.end(), Pixels, Pixels + size_t(Count) * 3);
    Writer.FillDue = true;
}

} // namespace

void RldAppendCount(std::vector<uint8_t>& Out, uint32_t Count) {
    if (Count < (1u << 7)) {
        Out.push_back(uint8_t(Count << 1));
    } else if (Count < (1u << 14)) {
        uint32_t Value = Count << 2 | 1;
        Out.push_back(uint8_t(Value));
        Out.push_back(uint8_t(Value >> 8));
    } else {
        uint32_t Value = Count << 3 | 3;
        for (int Shift = 0; Shift < 32; Shift += 8) {
            Out.push_back(uint8_t(Value >> Shift));
        }
    }
}

std::vector<uint8_t> RldEncodeStream(const uint8_t* Bgr, size_t PixelCount) {
    return RldEncodeStream(Bgr, PixelCount, RldMaxCount);
}

std::vector<uint8_t> RldEncodeStream(const uint8_t* Bgr, size_t PixelCount, uint32_t MaxRunLength) {
    if (MaxRunLength == 0 || MaxRunLength > RldMaxCount) {
        MaxRunLength = RldMaxCount;
    }
    StreamWriter Writer;
    Writer.Out.reserve(PixelCount + 16);

    // A pixel equal to a neighbour belongs to a fill run: even a pair is
    // shorter as a fill (count + 3 bytes) than inside a literal (6 bytes),
    // including the count byte it costs to interrupt a literal run.
    auto FillLength = [&](size_t At) {
        size_t End = At + 1;
        while (End < PixelCount && SamePixel(Bgr, At, End)) {
            ++End;
        }
        return End - At;
    };

    bool StartsWithFill = PixelCount >= 2 && SamePixel(Bgr, 0, 1);
    Writer.Out.push_back(StartsWithFill ? 1 : 0);
    Writer.FillDue = StartsWithFill;

    size_t At = 0;
    while (At < PixelCount) {
        size_t Run = FillLength(At);
        if (Run >= 2) {
            while (Run > 0) {
                uint32_t Take = Run > MaxRunLength ? MaxRunLength : uint32_t(Run);
                EmitFill(Writer, Take, Bgr + At * 3);
                At += Take;
                Run -= Take;
            }
            continue;
        }
        // A literal stretch: up to the first pixel that starts a pair.
        size_t End = At + 1;
        while (End < PixelCount && !(End + 1 < PixelCount && SamePixel(Bgr, End, End + 1))) {
            ++End;
        }
        while (At < End) {
            size_t Left = End - At;
            uint32_t Take = Left > MaxRunLength ? MaxRunLength : uint32_t(Left);
            EmitLiteral(Writer, Take, Bgr + At * 3);
            At += Take;
            if (At < End) {
                // A literal longer than a count can say: one pixel as a fill
                // of 1 keeps the runs alternating.
                EmitFill(Writer, 1, Bgr + At * 3);
                ++At;
            }
        }
    }
    Writer.Out.push_back(0);
    Writer.Out.push_back(0);
    return Writer.Out;
}

std::vector<uint8_t> RldEncodeImage(uint16_t Width, uint16_t Height, const uint8_t* Bgr) {
    std::vector<uint8_t> Image = {0x52,
                                  0x4C,
                                  0x44,
                                  0x00,
                                  0,
                                  0,
                                  uint8_t(Width),
                                  uint8_t(Width >> 8),
                                  uint8_t(Height),
                                  uint8_t(Height >> 8),
                                  32,
                                  24,
                                  0,
                                  0,
                                  0,
                                  0};
    std::vector<uint8_t> Stream = RldEncodeStream(Bgr, size_t(Width) * Height);
    Image.insert(Image.end(), Stream.begin(), Stream.end());
    return Image;
}

namespace {

// Header tokens of a PPM: whitespace separated, '#' starts a comment that
// runs to the end of the line.
bool NextToken(const std::vector<uint8_t>& Bytes, size_t& At, std::string& Token) {
    for (;;) {
        while (At < Bytes.size() && std::strchr(" \t\r\n\v\f", Bytes[At]) && Bytes[At] != 0) {
            ++At;
        }
        if (At < Bytes.size() && Bytes[At] == '#') {
            while (At < Bytes.size() && Bytes[At] != '\n' && Bytes[At] != '\r') {
                ++At;
            }
            continue;
        }
        break;
    }
    Token.clear();
    while (At < Bytes.size() && !std::strchr(" \t\r\n\v\f#", Bytes[At])) {
        Token.push_back(char(Bytes[At]));
        ++At;
    }
    return !Token.empty();
}

bool ParseNumber(const std::string& Token, uint32_t Limit, uint32_t& Value) {
    if (Token.empty() || Token.size() > 9) {
        return false;
    }
    uint32_t Result = 0;
    for (char Digit : Token) {
        if (Digit < '0' || Digit > '9') {
            return false;
        }
        Result = Result * 10 + uint32_t(Digit - '0');
    }
    Value = Result;
    return Result <= Limit;
}

} // namespace

bool ParsePpm(const std::vector<uint8_t>& Bytes, PpmImage& Image, std::string& Error) {
    size_t At = 0;
    std::string Token;
    if (!NextToken(Bytes, At, Token) || Token != "P6") {
        Error = "not a binary PPM (the file must start with \"P6\")";
        return false;
    }
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t MaxValue = 0;
    if (!NextToken(Bytes, At, Token) || !ParseNumber(Token, 999999999, Width)) {
        Error = "bad or missing width in the PPM header";
        return false;
    }
    if (!NextToken(Bytes, At, Token) || !ParseNumber(Token, 999999999, Height)) {
        Error = "bad or missing height in the PPM header";
        return false;
    }
    if (Width == 0 || Height == 0 || Width > 65535 || Height > 65535) {
        Error = "image size " + std::to_string(Width) + " x " + std::to_string(Height) +
                " is outside 1 .. 65535 pixels each way";
        return false;
    }
    if (!NextToken(Bytes, At, Token) || !ParseNumber(Token, 999999999, MaxValue)) {
        Error = "bad or missing maxval in the PPM header";
        return false;
    }
    if (MaxValue != 255) {
        Error = "maxval " + std::to_string(MaxValue) + " is not supported (only 255)";
        return false;
    }
    // Exactly one whitespace byte separates the header from the samples.
    if (At >= Bytes.size()) {
        Error = "truncated PPM: no pixel data";
        return false;
    }
    if (!std::strchr(" \t\r\n\v\f", Bytes[At]) || Bytes[At] == 0) {
        Error = "bad PPM header: no whitespace after maxval";
        return false;
    }
    ++At;
    size_t Pixels = size_t(Width) * Height;
    if (Bytes.size() - At < Pixels * 3) {
        Error = "truncated PPM: " + std::to_string(Bytes.size() - At) + " bytes of pixel data, " +
                std::to_string(Pixels * 3) + " expected";
        return false;
    }
    Image.Width = Width;
    Image.Height = Height;
    Image.Bgr.resize(Pixels * 3);
    const uint8_t* Rgb = Bytes.data() + At;
    for (size_t Index = 0; Index < Pixels; ++Index) {
        Image.Bgr[Index * 3 + 0] = Rgb[Index * 3 + 2];
        Image.Bgr[Index * 3 + 1] = Rgb[Index * 3 + 1];
        Image.Bgr[Index * 3 + 2] = Rgb[Index * 3 + 0];
    }
    return true;
}

bool ReadPpmFile(const std::string& Path, PpmImage& Image, std::string& Error) {
    std::ifstream File(Path, std::ios::binary);
    if (!File) {
        Error = "cannot open " + Path;
        return false;
    }
    std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(File)),
                               std::istreambuf_iterator<char>());
    if (File.bad()) {
        Error = "cannot read " + Path;
        return false;
    }
    return ParsePpm(Bytes, Image, Error);
}

} // namespace Velmora
