#include "dds/core/Time.hpp"

#include <string>

#include "isocpp/TimeSpan.h"
#include "vexa/core/Exception.hpp"

namespace dds {
namespace core {

using namespace vexa::core::timespan;

namespace {

constexpr char SEC_OUT_OF_BOUNDS[] = "dds::core::Time::sec out of bounds:  at Time:78";

// A non-negative point in nanoseconds; 2^31 s or more cannot be held and is the invalid time.
Time fromNanos(int64_t ns) {
    int64_t const sec = ns / NS_PER_SEC;
    if (sec > MAX_SEC) {
        return Time::invalid();
    }
    return Time(static_cast<long>(sec), static_cast<unsigned>(ns % NS_PER_SEC));
}

void refuseSeconds(std::string const& value) {
    throw InvalidDataError(SEC_OUT_OF_BOUNDS + value);
}

}  // namespace

Time::Time(long sec, unsigned nanosec) {
    if (sec == -1 && nanosec == 0xffffffffu) {
        sec_ = -1;
        nanosec_ = 0xffffffffu;
        return;
    }
    this->sec(sec);
    this->nanosec(nanosec);
}

void Time::sec(long s) {
    if (s < 0 || s > MAX_SEC) {
        refuseSeconds(std::to_string(s));
    }
    sec_ = static_cast<int32_t>(s);
}

void Time::nanosec(unsigned n) {
    if (n > 999999999u && n != 0xffffffffu) {
        throw InvalidDataError("dds::core::Time::nanosec out of bounds at Time:93" +
                               std::to_string(n));
    }
    nanosec_ = n;
}

int Time::compare(Time const& other) const {
    if (sec_ != other.sec_) {
        return sec_ < other.sec_ ? -1 : 1;
    }
    if (nanosec_ != other.nanosec_) {
        return nanosec_ < other.nanosec_ ? -1 : 1;
    }
    return 0;
}

Time& Time::operator+=(Duration const& d) {
    if (is_invalid()) {
        return *this;
    }
    if (d.is_infinite()) {
        return *this = invalid();
    }
    // Both spans are below 2^31 s plus 4.3 s, so the sum fits in 64 bits.
    return *this = fromNanos(toNanos(sec_, nanosec_) + toNanos(d.sec(), d.nanosec()));
}

Time& Time::operator-=(Duration const& d) {
    if (is_invalid()) {
        return *this;
    }
    if (d.is_infinite()) {
        throw InvalidDataError("dds::core::Time subtrahend is infinite at Time:172");
    }
    int64_t const diff = toNanos(sec_, nanosec_) - toNanos(d.sec(), d.nanosec());
    if (diff < 0) {
        throw IllegalOperationError(
            "dds::core::Time Arithmetic operation resulted in a out of bounds at Time:188");
    }
    return *this = fromNanos(diff);
}

int64_t Time::to_millisecs() const {
    if (is_invalid()) {
        throw IllegalOperationError("dds::core::Time is invalid at Time:200");
    }
    return int64_t{sec_} * 1000 + nanosec_ / 1000000;
}

int64_t Time::to_microsecs() const {
    if (is_invalid()) {
        throw IllegalOperationError("dds::core::Time is invalid at Time:210");
    }
    return int64_t{sec_} * 1000000 + nanosec_ / 1000;
}

double Time::to_secs() const {
    if (is_invalid()) {
        throw IllegalOperationError("dds::core::Time is invalid at Time:220");
    }
    return sec_ + nanosec_ / 1e9;
}

Time const& Time::invalid() {
    static Time const value(-1, 0xffffffffu);
    return value;
}

Time Time::from_millisecs(long ms) {
    return Time(ms / 1000, static_cast<unsigned>((ms % 1000) * 1000000));
}

Time Time::from_microsecs(long us) {
    return Time(us / 1000000, static_cast<unsigned>((us % 1000000) * 1000));
}

Time Time::from_secs(double s) {
    if (!secondsFit(s)) {
        refuseSeconds(describe(s));
    }
    return Time(static_cast<long>(s), fractionNanos(s));
}

Time operator+(Time const& t, Duration const& d) {
    Time r(t);
    return r += d;
}

Time operator+(Duration const& d, Time const& t) {
    return t + d;
}

Time operator-(Time const& t, Duration const& d) {
    Time r(t);
    return r -= d;
}

}  // namespace core
}  // namespace dds
