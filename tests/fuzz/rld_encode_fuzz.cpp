// The build-time side of the picture: any bytes through the PPM reader, and
// any pixels through the encoder, must come back unchanged from RldDecode.
#include "data/rld_decode.h"
#include "fuzz_targets.h"
#include "rld_encoder.h"

#include <cstring>

int VelmoraFuzz::FuzzRldEncode(const uint8_t* Data, size_t Size) {
    if (Size < 1) {
        return 0;
    }
    const Bytes Rest(Data + 1, Data + Size);
    Velmora::PpmImage Image;
    std::string Error;
    if (Rest.size() < 2 || Rest[0] != 'P' || Rest[1] != '6') {
        Image.Bgr.assign(Rest.begin(), Rest.end() - Rest.size() % 3);
    } else if (!Velmora::ParsePpm(Rest, Image, Error)) {
        FUZZ_CHECK(!Error.empty());
        return 0;
    } else {
        FUZZ_CHECK(Image.Bgr.size() == size_t(Image.Width) * Image.Height * 3 && Image.Width > 0);
    }
    const size_t Pixels = Image.Bgr.size() / 3;
    const Bytes Stream = Velmora::RldEncodeStream(Image.Bgr.data(), Pixels,
                                                  Data[0] ? Data[0] : Velmora::RldMaxCount);
    FUZZ_CHECK(Stream.size() >= 3 && Stream.back() == 0 && Stream[Stream.size() - 2] == 0);
    Bytes Decoded(Pixels * 4);
    FUZZ_CHECK(Velmora::RldDecode(Stream.data(), Stream.size(), Decoded.data(), Pixels * 4) ==
               Pixels * 4);
    for (size_t Index = 0; Index < Pixels; ++Index) {
        FUZZ_CHECK(std::memcmp(&Decoded[Index * 4], &Image.Bgr[Index * 3], 3) == 0);
    }
    return 0;
}
