// The installer's own CRC-32, which stands in for zlib's: it must give what
// zlib gives, for any data and when continued piece by piece.
#include "data/payload_crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(CompactCrc32, MatchesZlib) {
    const char Check[] = "123456789";
    EXPECT_EQ(Velmora::CompactCrc32(0, reinterpret_cast<const uint8_t*>(Check), 9), 0xCBF43926u);
    EXPECT_EQ(Velmora::CompactCrc32(0, nullptr, 0), 0u);

    std::mt19937 Random(7);
    std::vector<uint8_t> Data(1000);
    for (uint8_t& Byte : Data) {
        Byte = uint8_t(Random());
    }
    for (size_t Length : {1u, 2u, 3u, 4u, 7u, 8u, 31u, 256u, 999u, 1000u}) {
        SCOPED_TRACE(Length);
        const uint32_t Want = uint32_t(crc32(0, Data.data(), uInt(Length)));
        EXPECT_EQ(Velmora::CompactCrc32(0, Data.data(), Length), Want);
        // Continued over two pieces, and from a running value.
        const size_t Half = Length / 2;
        EXPECT_EQ(Velmora::CompactCrc32(Velmora::CompactCrc32(0, Data.data(), Half),
                                        Data.data() + Half, Length - Half),
                  Want);
        EXPECT_EQ(Velmora::CompactCrc32(0x12345678u, Data.data(), Length),
                  uint32_t(crc32(0x12345678u, Data.data(), uInt(Length))));
    }
}

} // namespace
