#include <gtest/gtest.h>

#include "dcps/topic/TimeService.h"

using vexa::dcps::TimeService;
using vexa::dds::Duration_t;
using vexa::dds::Time_t;

TEST(TimeService, AdvanceCarriesNanoseconds) {
    TimeService clock;
    // Reaching a known value through the public operations: from now, go to a second border.
    Time_t t = clock.now();
    clock.advance(static_cast<uint64_t>(1000000000u - t.nanosec) / 1000);
    Time_t const base = clock.now();
    clock.advance(999950);  // base + 0.99995 s
    clock.advance(100000);
    Time_t const after = clock.now();
    int64_t const ns = TimeService::toNanos(after) - TimeService::toNanos(base);
    EXPECT_EQ(ns, 1099950000);
    EXPECT_LT(after.nanosec, 1000000000u);
}

TEST(TimeService, ElapsedDecisions) {
    Time_t const now{1000, 500};
    struct Case {
        char const* name;
        Time_t start;
        Duration_t d;
        bool elapsed;
    } const cases[] = {
        {"zero duration", now, {0, 0}, true},
        {"infinite", {0, 0}, vexa::dds::DURATION_INFINITE, false},
        {"ends exactly now", {999, 500}, {1, 0}, true},
        {"one nanosecond later", {999, 501}, {1, 0}, false},
        {"nanoseconds carry", {999, 999999999}, {0, 501}, true},
        // Finite but beyond what Time_t holds: never, not a wrapped past time.
        {"too large for Time_t", {0x7FFFFFF0, 0}, {0x7FFFFFFF, 0}, false},
        {"near-infinite nanoseconds", {0, 0}, {0x7FFFFFFF, 0x7FFFFFFE}, false},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(TimeService::isElapsed(c.start, c.d, now), c.elapsed) << c.name;
    }
}
