#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <typeinfo>

#include "dds/core/Duration.hpp"
#include "dds/core/Time.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/TimeConversion.hpp"

using dds::core::Duration;
using dds::core::Time;

namespace {

// The class and text an operation threw, or "" when it did not throw.
struct Outcome {
    std::string type;
    std::string what;
};

Outcome run(std::function<void()> const& f) {
    try {
        f();
    } catch (dds::core::Exception const& e) {
        return {typeid(e).name(), e.what()};
    }
    return {};
}

std::string const INVALID_DATA = typeid(dds::core::InvalidDataError).name();
std::string const ILLEGAL_OP = typeid(dds::core::IllegalOperationError).name();

Duration const INF = Duration::infinite();

struct BoundCase {
    std::string name;
    std::function<void()> op;
    std::string type;  // "" accepted
    std::string what;
};

TEST(DurationTime, SetterBounds) {
    BoundCase const cases[] = {
        {"duration zero", [] { Duration(0, 0); }, "", ""},
        {"duration largest finite", [] { Duration(2147483647, 999999999); }, "", ""},
        {"duration infinite", [] { Duration(0x7fffffff, 0x7fffffff); }, "", ""},
        {"duration odd nanoseconds word", [] { Duration(5, 0x7fffffff); }, "", ""},
        {"duration negative seconds", [] { Duration(-1, 0); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79-1"},
        {"duration seconds beyond 32 bits", [] { Duration(2147483648L, 0); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:792147483648"},
        {"duration a whole second of nanoseconds", [] { Duration(5, 1000000000); }, INVALID_DATA,
         "dds::core::Duration::nanosec out of bounds:  at Duration:941000000000"},
        {"duration seconds setter", [] { Duration().sec(-7); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79-7"},
        {"time epoch", [] { Time(0, 0); }, "", ""},
        {"time invalid pair", [] { Time(-1, 0xffffffff); }, "", ""},
        {"time nanoseconds all ones", [] { Time(3, 0xffffffff); }, "", ""},
        {"time negative seconds", [] { Time(-1, 0); }, INVALID_DATA,
         "dds::core::Time::sec out of bounds:  at Time:78-1"},
        {"time seconds beyond 32 bits", [] { Time(1L << 40, 0); }, INVALID_DATA,
         "dds::core::Time::sec out of bounds:  at Time:781099511627776"},
        {"time a whole second of nanoseconds", [] { Time(0, 1000000000); }, INVALID_DATA,
         "dds::core::Time::nanosec out of bounds at Time:931000000000"},
        {"time infinite-duration nanoseconds", [] { Time(0, 0x7fffffff); }, INVALID_DATA,
         "dds::core::Time::nanosec out of bounds at Time:932147483647"},
    };
    for (auto const& c : cases) {
        Outcome const o = run(c.op);
        EXPECT_EQ(o.type, c.type) << c.name;
        EXPECT_EQ(o.what, c.what) << c.name;
    }
}

struct ArithCase {
    std::string name;
    std::function<Duration()> op;
    Duration expected;
};

TEST(DurationTime, DurationArithmetic) {
    ArithCase const cases[] = {
        {"carry", [] { return Duration(1, 600000000) + Duration(0, 500000000); },
         Duration(2, 100000000)},
        {"sum reaching 2^31 s is infinite", [] { return Duration(2147483647, 0) + Duration(1, 0); },
         INF},
        {"sum with infinite", [] { return Duration(0, 0) + INF; }, INF},
        {"odd nanoseconds word adds as 2.147483647 s",
         [] { return Duration(5, 0x7fffffff) + Duration(0, 0); }, Duration(7, 147483647)},
        {"largest finite sum stays finite",
         [] { return Duration(2147483646, 999999999) + Duration(0, 1000000000 - 999999999); },
         Duration(2147483647, 0)},
        {"borrow", [] { return Duration(2, 100000000) - Duration(0, 200000000); },
         Duration(1, 900000000)},
        {"infinite minus finite", [] { return INF - Duration(5, 0); }, INF},
        {"infinite times 3", [] { return INF * 3; }, INF},
        {"product with nanosecond carry", [] { return Duration(1, 600000000) * 3; },
         Duration(4, 800000000)},
        {"factor first", [] { return 2 * Duration(0, 750000000); }, Duration(1, 500000000)},
        {"product of 2^31 s is infinite", [] { return Duration(1, 0) * 2147483648UL; }, INF},
        // A factor that wraps 32-bit or 64-bit arithmetic back to a small value.
        {"product wrapping 64 bits is infinite",
         [] { return Duration(4, 294967296) * 4294967296UL; }, INF},
        {"times zero", [] { return Duration(9, 9) * 0; }, Duration(0, 0)},
        {"division", [] { return Duration(3, 0) / 2; }, Duration(1, 500000000)},
        {"division of the whole span", [] { return Duration(1, 0) / 3; }, Duration(0, 333333333)},
        {"infinite divided", [] { return INF / 7; }, INF},
        {"from millisecs", [] { return Duration::from_millisecs(2500); }, Duration(2, 500000000)},
        {"from microsecs", [] { return Duration::from_microsecs(1000001); }, Duration(1, 1000)},
        {"from secs", [] { return Duration::from_secs(1.25); }, Duration(1, 250000000)},
        {"from secs just below 2^31", [] { return Duration::from_secs(2147483647.5); },
         Duration(2147483647, 500000000)},
    };
    for (auto const& c : cases) {
        Duration got;
        Outcome const o = run([&] { got = c.op(); });
        EXPECT_EQ(o.what, "") << c.name;
        EXPECT_EQ(got.sec(), c.expected.sec()) << c.name;
        EXPECT_EQ(got.nanosec(), c.expected.nanosec()) << c.name;
    }
}

struct TimeArithCase {
    std::string name;
    std::function<Time()> op;
    Time expected;
};

TEST(DurationTime, TimeArithmetic) {
    TimeArithCase const cases[] = {
        {"carry", [] { return Time(1, 600000000) + Duration(0, 500000000); }, Time(2, 100000000)},
        {"duration first", [] { return Duration(1, 0) + Time(1, 0); }, Time(2, 0)},
        {"plus infinite is invalid", [] { return Time(10, 0) + INF; }, Time::invalid()},
        {"sum reaching 2^31 s is invalid", [] { return Time(2147483647, 0) + Duration(1, 0); },
         Time::invalid()},
        {"invalid plus a duration stays invalid", [] { return Time::invalid() + Duration(0, 1); },
         Time::invalid()},
        {"invalid plus zero stays invalid", [] { return Time::invalid() + Duration(0, 0); },
         Time::invalid()},
        {"invalid minus stays invalid", [] { return Time::invalid() - Duration(3, 0); },
         Time::invalid()},
        {"all-ones nanoseconds add as 4.294967295 s",
         [] { return Time(1, 0xffffffff) + Duration(0, 5); }, Time(5, 294967300)},
        {"borrow", [] { return Time(5, 0) - Duration(0, 1); }, Time(4, 999999999)},
        {"from millisecs", [] { return Time::from_millisecs(1001); }, Time(1, 1000000)},
        {"from secs", [] { return Time::from_secs(0.5); }, Time(0, 500000000)},
    };
    for (auto const& c : cases) {
        Time got;
        Outcome const o = run([&] { got = c.op(); });
        EXPECT_EQ(o.what, "") << c.name;
        EXPECT_EQ(got.sec(), c.expected.sec()) << c.name;
        EXPECT_EQ(got.nanosec(), c.expected.nanosec()) << c.name;
    }
}

TEST(DurationTime, ArithmeticFailures) {
    double const nan = std::numeric_limits<double>::quiet_NaN();
    BoundCase const cases[] = {
        {"negative difference", [] { Duration(1, 0) - Duration(2, 0); }, ILLEGAL_OP,
         "dds::core::Duration Arithmetic operation resulted in a out of bounds at Duration:189"},
        {"infinite subtrahend", [] { Duration(1, 0) - INF; }, INVALID_DATA,
         "dds::core::Duration subtrahend is infinite at Duration:173"},
        {"divide by zero", [] { Duration(1, 0) / 0; }, INVALID_DATA,
         "dds::core::Duration divider is zero at Duration:278"},
        {"infinite to millisecs", [] { INF.to_millisecs(); }, ILLEGAL_OP,
         "dds::core::Duration is infinite at Duration:241"},
        {"infinite to microsecs", [] { INF.to_microsecs(); }, ILLEGAL_OP,
         "dds::core::Duration is infinite at Duration:251"},
        {"infinite to secs", [] { INF.to_secs(); }, ILLEGAL_OP,
         "dds::core::Duration is infinite at Duration:261"},
        {"duration from NaN", [=] { Duration::from_secs(nan); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79nan"},
        {"duration from 1e12 s", [] { Duration::from_secs(1e12); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:791e+12"},
        {"duration from 2^31 s", [] { Duration::from_secs(2147483648.0); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:792.14748e+09"},
        {"duration from negative secs", [] { Duration::from_secs(-0.5); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79-0.5"},
        {"duration from infinity",
         [] { Duration::from_secs(std::numeric_limits<double>::infinity()); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79inf"},
        {"duration from negative millisecs", [] { Duration::from_millisecs(-2000); }, INVALID_DATA,
         "dds::core::Duration::sec out of bounds:  at Duration:79-2"},
        {"time before the epoch", [] { Time(1, 0) - Duration(1, 1); }, ILLEGAL_OP,
         "dds::core::Time Arithmetic operation resulted in a out of bounds at Time:188"},
        {"time minus infinite", [] { Time(1, 0) - INF; }, INVALID_DATA,
         "dds::core::Time subtrahend is infinite at Time:172"},
        {"invalid to millisecs", [] { Time::invalid().to_millisecs(); }, ILLEGAL_OP,
         "dds::core::Time is invalid at Time:200"},
        {"invalid to microsecs", [] { Time::invalid().to_microsecs(); }, ILLEGAL_OP,
         "dds::core::Time is invalid at Time:210"},
        {"invalid to secs", [] { Time::invalid().to_secs(); }, ILLEGAL_OP,
         "dds::core::Time is invalid at Time:220"},
        {"time from NaN", [=] { Time::from_secs(nan); }, INVALID_DATA,
         "dds::core::Time::sec out of bounds:  at Time:78nan"},
        {"time from 1e12 s", [] { Time::from_secs(1e12); }, INVALID_DATA,
         "dds::core::Time::sec out of bounds:  at Time:781e+12"},
    };
    for (auto const& c : cases) {
        Outcome const o = run(c.op);
        EXPECT_EQ(o.type, c.type) << c.name;
        EXPECT_EQ(o.what, c.what) << c.name;
    }
}

TEST(DurationTime, ConversionsToNumbers) {
    EXPECT_EQ(Duration(2, 345678901).to_millisecs(), 2345);
    EXPECT_EQ(Duration(2, 345678901).to_microsecs(), 2345678);
    EXPECT_DOUBLE_EQ(Duration(2, 500000000).to_secs(), 2.5);
    EXPECT_EQ(Duration(2147483647, 999999999).to_microsecs(), 2147483647999999LL);
    EXPECT_EQ(Time(1, 999999).to_millisecs(), 1000);
    EXPECT_DOUBLE_EQ(Time(3, 250000000).to_secs(), 3.25);
}

TEST(DurationTime, ComparisonIsSignedSecondsThenNanoseconds) {
    EXPECT_EQ(Duration(1, 5).compare(Duration(1, 6)), -1);
    EXPECT_EQ(Duration(2, 0).compare(Duration(1, 999999999)), 1);
    EXPECT_EQ(Duration(1, 5).compare(Duration(1, 5)), 0);
    EXPECT_TRUE(Duration(0, 0) < INF);
    EXPECT_TRUE(Time::invalid() < Time(0, 0));
    EXPECT_TRUE(Time(0, 0xffffffff) > Time(0, 1));
    EXPECT_EQ(Duration::zero(), Duration());
    EXPECT_EQ(&Duration::zero(), &Duration::zero());
}

TEST(DurationTime, CoreRecordsConvertFieldByField) {
    vexa::dds::Duration_t core{};
    vexa::core::convertDuration(Duration(4, 5), core);
    EXPECT_EQ(core, (vexa::dds::Duration_t{4, 5}));
    vexa::core::convertDuration(INF, core);
    EXPECT_EQ(core, vexa::dds::DURATION_INFINITE);

    Duration api;
    vexa::core::convertDuration(vexa::dds::DURATION_INFINITE, api);
    EXPECT_TRUE(api.is_infinite());
    EXPECT_THROW(vexa::core::convertDuration(vexa::dds::Duration_t{1, 1000000000u}, api),
                 dds::core::InvalidDataError);

    Time t;
    vexa::core::convertTime(vexa::dds::TIME_INVALID, t);
    EXPECT_TRUE(t.is_invalid());
    vexa::dds::Time_t coreTime{};
    vexa::core::convertTime(Time(7, 8), coreTime);
    EXPECT_EQ(coreTime, (vexa::dds::Time_t{7, 8}));
}

}  // namespace
