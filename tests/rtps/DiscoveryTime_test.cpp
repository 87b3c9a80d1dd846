#include <gtest/gtest.h>

#include "rtps/discovery/DiscoveryTime.h"

using vexa::dds::Duration_t;
using vexa::dds::Time_t;

namespace {

bool same(Duration_t a, Duration_t b) {
    return a.sec == b.sec && a.nanosec == b.nanosec;
}

}  // namespace

TEST(DiscoveryTime, MicrosecondsToTime) {
    Time_t const t = RTPS::usToTime(5123456);
    EXPECT_EQ(t.sec, 5);
    EXPECT_EQ(t.nanosec, 123456000u);
    // The seconds word keeps the low 32 bits.
    Time_t const big = RTPS::usToTime((uint64_t{1} << 32) * 1000000 + 7000001);
    EXPECT_EQ(big.sec, 7);
    EXPECT_EQ(big.nanosec, 1000u);
}

TEST(DiscoveryTime, DifferenceBorrowsFromTheSeconds) {
    using RTPS::operator-;
    struct Case {
        Time_t a, b;
        Duration_t d;
    };
    Case const cases[] = {
        {{5, 100}, {3, 200}, {1, 999999900}},
        {{5, 300}, {3, 200}, {2, 100}},
        {{3, 0}, {5, 0}, {-2, 0}},
        {{7, 5}, {7, 5}, {0, 0}},
    };
    for (Case const& c : cases) {
        Duration_t const d = c.a - c.b;
        EXPECT_TRUE(same(d, c.d)) << c.a.sec << "." << c.a.nanosec << " - " << c.b.sec << "."
                                  << c.b.nanosec << " gave " << d.sec << "." << d.nanosec;
    }
    // As a lease check uses it: silent 46 s against a 45 s lease.
    Duration_t const lease{45, 0};
    EXPECT_TRUE((Time_t{146, 0} - Time_t{100, 0}) > lease);
    EXPECT_FALSE((Time_t{145, 0} - Time_t{100, 0}) > lease);
}

TEST(DiscoveryTime, HalfOfADuration) {
    struct Case {
        Duration_t d, half;
    };
    Case const cases[] = {
        {{3, 0}, {1, 500000000}},
        {{4, 2}, {2, 1}},
        {{0, 1}, {0, 0}},
        {{10, 0}, {5, 0}},
        {{-3, 0}, {-2, 500000000}},  // -1.5 s
        {{-1, 0}, {-1, 500000000}},  // -0.5 s
        {vexa::dds::DURATION_INFINITE, vexa::dds::DURATION_INFINITE},
    };
    for (Case const& c : cases) {
        Duration_t const h = RTPS::half(c.d);
        EXPECT_TRUE(same(h, c.half))
            << c.d.sec << "." << c.d.nanosec << " gave " << h.sec << "." << h.nanosec;
    }
}

TEST(DiscoveryTime, DurationInMicroseconds) {
    EXPECT_EQ(RTPS::durationToUs({2, 1999}), 2000001);
    EXPECT_EQ(RTPS::durationToUs({0, 999}), 0);
}
