#include <gtest/gtest.h>

#include <climits>

#include "rtps/wire/SequenceNumber.h"

using RTPS::SequenceNumber_t;

namespace {

constexpr SequenceNumber_t UNKNOWN = RTPS::SEQUENCENUMBER_UNKNOWN;

struct StepCase {
    SequenceNumber_t before;
    SequenceNumber_t afterIncrement;
    SequenceNumber_t afterDecrement;
};

}  // namespace

TEST(SequenceNumber, IncrementAndDecrementTable) {
    const StepCase cases[] = {
        {{0, 0}, {0, 1}, UNKNOWN},
        {{0, 1}, {0, 2}, {0, 0}},
        {{0, 0xFFFFFFFF}, {1, 0}, {0, 0xFFFFFFFE}},
        {{1, 0}, {1, 1}, {0, 0xFFFFFFFF}},
        {{0x7FFFFFFF, 0xFFFFFFFF}, {0, 0}, {0x7FFFFFFF, 0xFFFFFFFE}},
        {{-5, 0}, {-5, 1}, UNKNOWN},
        {UNKNOWN, UNKNOWN, UNKNOWN},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.before.high << "/" << c.before.low);
        SequenceNumber_t s = c.before;
        SequenceNumber_t r = ++s;
        EXPECT_EQ(s, c.afterIncrement);
        EXPECT_EQ(r, c.afterIncrement);

        s = c.before;
        r = s++;
        EXPECT_EQ(s, c.afterIncrement);
        EXPECT_EQ(r, c.before);

        s = c.before;
        r = --s;
        EXPECT_EQ(s, c.afterDecrement);
        EXPECT_EQ(r, c.afterDecrement);

        s = c.before;
        r = s--;
        EXPECT_EQ(s, c.afterDecrement);
        EXPECT_EQ(r, c.before);
    }
}

TEST(SequenceNumber, AdditionCarriesIntoHighWord) {
    struct {
        SequenceNumber_t s;
        unsigned n;
        SequenceNumber_t sum;
    } const cases[] = {
        {{0, 0}, 0, {0, 0}},          {{0, 1}, 5, {0, 6}},
        {{0, 0xFFFFFFFF}, 1, {1, 0}}, {{3, 0xFFFFFFF0}, 0x20, {4, 0x10}},
        {{2, 7}, UINT_MAX, {3, 6}},
    };
    for (auto const& c : cases) {
        SequenceNumber_t const before = c.s;
        EXPECT_EQ(c.s + c.n, c.sum) << c.s.high << "/" << c.s.low << " + " << c.n;
        EXPECT_EQ(c.s, before);
    }
}

TEST(SequenceNumber, OrderComparesHighSignedThenLowUnsigned) {
    struct {
        SequenceNumber_t a;
        SequenceNumber_t b;
        bool less;
        bool equal;
    } const cases[] = {
        {{-1, 5}, {0, 0}, true, false},          {{0, 0xFFFFFFFF}, {1, 0}, true, false},
        {{1, 0}, {0, 0xFFFFFFFF}, false, false}, {{0, 0x80000000}, {0, 0x7FFFFFFF}, false, false},
        {{4, 4}, {4, 4}, false, true},           {{-2, 0}, {-1, 0}, true, false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.a.high << "/" << c.a.low << " vs " << c.b.high << "/" << c.b.low);
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a <= c.b, c.less || c.equal);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a > c.b, !c.less && !c.equal);
        EXPECT_EQ(c.a >= c.b, !c.less);
    }
}
