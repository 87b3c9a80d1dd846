#include "rtps/participant/Crc24.h"

namespace RTPS {

namespace {

constexpr std::array<uint32_t, 256> buildTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 16;
        for (int bit = 0; bit < 8; ++bit) {
            bool top = (crc & 0x800000u) != 0;
            crc <<= 1;
            if (top) {
                crc ^= CRC24_POLY;
            }
        }
        table[i] = crc & 0xFFFFFFu;
    }
    return table;
}

}  // namespace

constexpr std::array<uint32_t, 256> CRC24_TABLE = buildTable();

void mkCRC24Table() {}

unsigned int crc24(void const* data, unsigned int length) {
    auto const* p = static_cast<unsigned char const*>(data);
    uint32_t crc = CRC24_INIT;
    for (unsigned int i = 0; i < length; ++i) {
        crc = (crc << 8) ^ CRC24_TABLE[((crc >> 16) ^ p[i]) & 0xFFu];
    }
    return crc & 0xFFFFFFu;
}

}  // namespace RTPS
