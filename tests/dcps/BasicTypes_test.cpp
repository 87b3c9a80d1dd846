#include <gtest/gtest.h>

#include <cstring>

#include "vexa/dds/BasicTypes.h"

using namespace vexa::dds;

// The engine carries these values as raw words on the wire; their exact bit patterns matter.
TEST(BasicTypes, SpecialValuesHaveTheirExactWords) {
    EXPECT_EQ(DURATION_INFINITE.sec, 2147483647);
    EXPECT_EQ(DURATION_INFINITE.nanosec, 2147483647u);
    EXPECT_EQ(DURATION_ZERO.sec, 0);
    EXPECT_EQ(DURATION_ZERO.nanosec, 0u);
    EXPECT_EQ(TIME_INVALID.sec, -1);
    EXPECT_EQ(TIME_INVALID.nanosec, 0xFFFFFFFFu);

    Duration_t const d{};
    EXPECT_EQ(d, DURATION_ZERO);
}

TEST(BasicTypes, DurationOrderingTable) {
    struct Case {
        Duration_t a;
        Duration_t b;
        bool less;
        bool equal;
    } const cases[] = {
        {{0, 0}, {0, 0}, false, true},
        {{0, 1}, {0, 0}, false, false},
        {{0, 999999999}, {1, 0}, true, false},  // seconds weigh more than nanoseconds
        {{1, 0}, {0, 999999999}, false, false},
        {{-1, 999999999}, {0, 0}, true, false},  // seconds are signed
        {{0x7FFFFFFF, 999999999}, DURATION_INFINITE, true, false},
        {DURATION_INFINITE, {0x7FFFFFFF, 0x7FFFFFFF}, false, true},
        {{5, 7}, {5, 7}, false, true},
        {{5, 7}, {5, 8}, true, false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "{" << c.a.sec << "," << c.a.nanosec << "} vs {"
                                        << c.b.sec << "," << c.b.nanosec << "}");
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a != c.b, !c.equal);
        EXPECT_EQ(c.a > c.b, !c.less && !c.equal);
        EXPECT_EQ(c.a <= c.b, c.less || c.equal);
        EXPECT_EQ(c.a >= c.b, !c.less);
    }
}

TEST(BasicTypes, TimeOrderingTable) {
    struct Case {
        Time_t a;
        Time_t b;
        bool less;
        bool equal;
    } const cases[] = {
        {{100, 5}, {100, 5}, false, true},
        {{100, 5}, {100, 6}, true, false},
        {{99, 999999999}, {100, 0}, true, false},
        {TIME_INVALID, {0, 0}, true, false},  // an invalid time sorts before every valid one
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "{" << c.a.sec << "," << c.a.nanosec << "} vs {"
                                        << c.b.sec << "," << c.b.nanosec << "}");
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a != c.b, !c.equal);
        EXPECT_EQ(c.a > c.b, !c.less && !c.equal);
        EXPECT_EQ(c.a <= c.b, c.less || c.equal);
        EXPECT_EQ(c.a >= c.b, !c.less);
    }
}

// A keyless type's hash is the default-constructed one: all sixteen bytes zero.
TEST(BasicTypes, KeyHashStartsZeroAndComparesEveryByte) {
    KeyHash_t const zero;
    unsigned char none[16] = {};
    EXPECT_EQ(std::memcmp(zero.hash, none, 16), 0);

    for (int i = 0; i < 16; ++i) {
        KeyHash_t h;
        h.hash[i] = 0x80;
        EXPECT_NE(h, zero) << "byte " << i;
        KeyHash_t copy = h;
        EXPECT_EQ(copy, h) << "byte " << i;
    }
}
