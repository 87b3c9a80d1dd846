#pragma once

#include <cstdint>

#include "rtps/wire/ByteCursor.h"
#include "rtps/wire/NumberSetBits.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

struct SequenceNumberSet {
    SequenceNumber_t bitmapBase;
    uint32_t numBits;
    uint32_t bitmap[MAX_SET_WORDS];

    bool isSet(uint32_t i) const { return i < numBits && (bitmap[i / 32] >> (i % 32)) & 1u; }
    // False for a bit outside the set.
    bool set(uint32_t i) {
        if (i >= numBits || i >= MAX_SET_BITS) {
            return false;
        }
        bitmap[i / 32] |= 1u << (i % 32);
        return true;
    }
};

// Bytes on the wire: base, number of bits and the words in use.
inline constexpr uint32_t wireSize(SequenceNumberSet const& s) {
    return 4 * (3 + setWords(s.numBits));
}

// Reads a set; more than 256 bits, or a set cut short, fails the cursor. Bits past numBits are
// cleared, unused words are zero.
inline bool readSequenceNumberSet(ByteCursor& c, SequenceNumberSet& s) {
    s = SequenceNumberSet{};
    if (!c.readI32(s.bitmapBase.high) || !c.readU32(s.bitmapBase.low) || !c.readU32(s.numBits)) {
        return false;
    }
    if (s.numBits > MAX_SET_BITS) {
        c.fail();
        return false;
    }
    uint32_t words = setWords(s.numBits);
    for (uint32_t w = 0; w < words; ++w) {
        if (!c.readU32(s.bitmap[w])) {
            return false;
        }
    }
    if (s.numBits % 32 != 0) {
        s.bitmap[words - 1] &= (1u << (s.numBits % 32)) - 1;
    }
    return true;
}

}  // namespace RTPS
