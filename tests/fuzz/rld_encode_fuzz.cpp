// The build-time side of the picture: any bytes through the PPM reader, and
// any pixels through the encoder, must come back unchanged from RldDecode.
#include "data/rld_decode.h"
#include "fuzz_check.h"
#include "fuzz_targets.h"
#include "rld_encoder.h"

#include <cstring>
#include <string>
#include <vector>

namespace VelmoraFuzz {

namespace {

// Encodes PixelCount pixels, checks the stream ends with the end marker and
// decodes it into a block of exactly the picture's size.
void RoundTrip(const uint8_t* Bgr, size_t PixelCount, uint32_t MaxRun) {
    const std::vector<uint8_t> Stream = Velmora::RldEncodeStream(Bgr, PixelCount, MaxRun);
    FUZZ_CHECK(Stream.size() >= 3 && Stream[Stream.size() - 1] == 0 &&
               Stream[Stream.size() - 2] == 0);
    std::vector<uint8_t> Pixels(PixelCount * 4 + 1);
    const uint32_t Written =
        Velmora::RldDecode(Stream.data(), Stream.size(), Pixels.data(), PixelCount * 4);
    FUZZ_CHECK(Written == PixelCount * 4);
    for (size_t Index = 0; Index < PixelCount; ++Index) {
        FUZZ_CHECK(std::memcmp(&Pixels[Index * 4], Bgr + Index * 3, 3) == 0);
        FUZZ_CHECK(Pixels[Index * 4 + 3] == 0);
    }
}

} // namespace

int FuzzRldEncode(const uint8_t* Data, size_t Size) {
    if (Size < 1) {
        return 0;
    }
    // First byte: the longest run (1 .. 255), 0 for the format's limit.
    const uint32_t MaxRun = Data[0] != 0 ? Data[0] : Velmora::RldMaxCount;
    const std::vector<uint8_t> Rest(Data + 1, Data + Size);
    if (Rest.size() >= 2 && Rest[0] == 'P' && Rest[1] == '6') {
        Velmora::PpmImage Image;
        std::string Error;
        if (!Velmora::ParsePpm(Rest, Image, Error)) {
            FUZZ_CHECK(!Error.empty());
            return 0;
        }
        FUZZ_CHECK(Image.Width >= 1 && Image.Height >= 1);
        FUZZ_CHECK(Image.Bgr.size() == size_t(Image.Width) * Image.Height * 3);
        RoundTrip(Image.Bgr.data(), Image.Width * Image.Height, MaxRun);
    } else {
        RoundTrip(Rest.data(), Rest.size() / 3, MaxRun);
    }
    return 0;
}

} // namespace VelmoraFuzz
