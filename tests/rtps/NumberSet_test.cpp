#include <gtest/gtest.h>

#include "WireBytes.h"
#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/SequenceNumberSet.h"

using namespace RTPS;

TEST(NumberSet, BitOrderIsLeastSignificantFirst) {
    SequenceNumberSet s{};
    s.numBits = 256;
    for (uint32_t i : {0u, 5u, 31u, 32u, 255u}) {
        EXPECT_TRUE(s.set(i)) << i;
    }
    EXPECT_EQ(s.bitmap[0], 0x80000021u);
    EXPECT_EQ(s.bitmap[1], 0x00000001u);
    EXPECT_EQ(s.bitmap[7], 0x80000000u);
    EXPECT_TRUE(s.isSet(32));
    EXPECT_FALSE(s.isSet(33));
    EXPECT_FALSE(s.set(256));

    FragmentNumberSet f{};
    f.numBits = 10;
    EXPECT_FALSE(f.set(10));  // outside the set even though the word has room
    EXPECT_TRUE(f.set(9));
    EXPECT_EQ(f.bitmap[0], 0x200u);
    EXPECT_FALSE(f.isSet(10));
}

TEST(NumberSet, WireSizes) {
    struct {
        uint32_t bits;
        uint32_t snSize;
        uint32_t fragSize;
    } const cases[] = {{0, 12, 8}, {1, 16, 12}, {32, 16, 12}, {33, 20, 16}, {256, 44, 40}};
    for (auto const& c : cases) {
        SequenceNumberSet s{};
        s.numBits = c.bits;
        FragmentNumberSet f{};
        f.numBits = c.bits;
        EXPECT_EQ(wireSize(s), c.snSize) << c.bits;
        EXPECT_EQ(wireSize(f), c.fragSize) << c.bits;
    }
    EXPECT_EQ(setWords(0xFFFFFFFFu), 0x08000000u);  // no wrap for absurd counts
}

TEST(NumberSet, ReadingTable) {
    struct {
        char const* name;
        Bytes wire;
        bool ok;
        uint32_t bits;
        uint32_t word0;
        uint32_t word1;
    } const cases[] = {
        {"empty", cat({le32(0), le32(9), le32(0)}), true, 0, 0, 0},
        {"33 bits, stray bits above them cleared",
         cat({le32(0), le32(9), le32(33), le32(0xFFFFFFFF), le32(0xFFFFFFFF)}), true, 33,
         0xFFFFFFFF, 1},
        {"256 bits", cat({le32(0), le32(9), le32(256), repeat(0x11, 32)}), true, 256, 0x11111111,
         0x11111111},
        {"257 bits refused", cat({le32(0), le32(9), le32(257), repeat(0, 36)}), false, 0, 0, 0},
        {"count near 2^32 refused", cat({le32(0), le32(9), le32(0xFFFFFFE0), repeat(0, 36)}), false,
         0, 0, 0},
        {"words cut short", cat({le32(0), le32(9), le32(64), le32(1)}), false, 0, 0, 0},
        {"count cut short", cat({le32(0), le32(9), {0x01}}), false, 0, 0, 0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        ByteCursor cur(c.wire.data(), c.wire.size());
        SequenceNumberSet s;
        EXPECT_EQ(readSequenceNumberSet(cur, s), c.ok);
        EXPECT_EQ(cur.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(s.bitmapBase.low, 9u);
            EXPECT_EQ(s.numBits, c.bits);
            EXPECT_EQ(s.bitmap[0], c.word0);
            EXPECT_EQ(s.bitmap[1], c.word1);
            EXPECT_EQ(cur.remaining(), 0u);
        }
        // The same words behind a fragment base (4 bytes shorter).
        ByteCursor fc(c.wire.data() + 4, c.wire.size() - 4);
        FragmentNumberSet f;
        EXPECT_EQ(readFragmentNumberSet(fc, f), c.ok);
        if (c.ok) {
            EXPECT_EQ(f.bitmapBase, 9u);
            EXPECT_EQ(f.numBits, c.bits);
            EXPECT_EQ(f.bitmap[1], c.word1);
        }
    }
}
