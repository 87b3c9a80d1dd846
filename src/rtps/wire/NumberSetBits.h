#pragma once

#include <cstdint>

namespace RTPS {

// Sets of sequence or fragment numbers hold at most 256 bits. Bit i stands for base + i and is
// bit i % 32 of word i / 32, counted from the least significant bit.
inline constexpr uint32_t MAX_SET_BITS = 256;
inline constexpr uint32_t MAX_SET_WORDS = MAX_SET_BITS / 32;

// Bitmap words on the wire for a number of bits.
inline constexpr uint32_t setWords(uint32_t numBits) {
    return numBits / 32 + (numBits % 32 != 0 ? 1 : 0);
}

}  // namespace RTPS
