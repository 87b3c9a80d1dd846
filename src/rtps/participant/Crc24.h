#pragma once

#include <array>
#include <cstdint>

namespace RTPS {

// CRC-24 of OpenPGP: polynomial 0x864CFB, initial value 0xB704CE, most significant bit first,
// no reflection, no final XOR. The multicast router hashes topic names with it.
inline constexpr uint32_t CRC24_INIT = 0xB704CE;
inline constexpr uint32_t CRC24_POLY = 0x864CFB;

// Built at compile time, so concurrent participants never write it.
extern std::array<uint32_t, 256> const CRC24_TABLE;

// Kept for callers that prepare the table before use; the table is always ready.
void mkCRC24Table();

// 24 significant bits; an empty buffer gives CRC24_INIT.
unsigned int crc24(void const* data, unsigned int length);

}  // namespace RTPS
