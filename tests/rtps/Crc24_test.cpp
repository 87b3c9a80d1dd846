#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rtps/participant/Crc24.h"

namespace {

// Bit by bit, as the polynomial division is written down, with no table.
uint32_t crc24Reference(std::string const& s) {
    uint32_t crc = 0xB704CE;
    for (unsigned char byte : s) {
        crc ^= static_cast<uint32_t>(byte) << 16;
        for (int i = 0; i < 8; ++i) {
            crc <<= 1;
            if (crc & 0x1000000) {
                crc ^= 0x1864CFB;
            }
        }
    }
    return crc & 0xFFFFFF;
}

}  // namespace

TEST(Crc24, EmptyIsTheInitialValue) {
    EXPECT_EQ(RTPS::crc24("", 0), 0xB704CEu);
    EXPECT_EQ(RTPS::crc24(nullptr, 0), 0xB704CEu);
}

TEST(Crc24, MatchesBitwiseReference) {
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    for (std::string const& s :
         {std::string("abc"), std::string("a"), std::string("DCPSParticipant"),
          std::string("Тема датчика"), all}) {
        EXPECT_EQ(RTPS::crc24(s.data(), static_cast<unsigned>(s.size())), crc24Reference(s))
            << s.size();
    }
    // Known check value of this CRC over the nine digits.
    EXPECT_EQ(RTPS::crc24("123456789", 9), 0x21CF02u);
}
