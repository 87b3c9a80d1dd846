#include "dds/core/Duration.hpp"

#include <string>

#include "isocpp/TimeSpan.h"
#include "vexa/core/Exception.hpp"

namespace dds {
namespace core {

using namespace vexa::core::timespan;

namespace {

constexpr char SEC_OUT_OF_BOUNDS[] = "dds::core::Duration::sec out of bounds:  at Duration:79";

// A non-negative span in nanoseconds; 2^31 s or more is infinite.
Duration fromNanos(unsigned __int128 ns) {
    unsigned __int128 const sec = ns / NS_PER_SEC;
    if (sec > MAX_SEC) {
        return Duration::infinite();
    }
    return Duration(static_cast<long>(sec), static_cast<unsigned>(ns % NS_PER_SEC));
}

void refuseSeconds(std::string const& value) {
    throw InvalidDataError(SEC_OUT_OF_BOUNDS + value);
}

}  // namespace

Duration::Duration(long sec, unsigned nanosec) {
    this->sec(sec);
    this->nanosec(nanosec);
}

void Duration::sec(long s) {
    if (s < 0 || s > MAX_SEC) {
        refuseSeconds(std::to_string(s));
    }
    sec_ = static_cast<int32_t>(s);
}

void Duration::nanosec(unsigned n) {
    if (n > 999999999u && n != 0x7fffffffu) {
        throw InvalidDataError("dds::core::Duration::nanosec out of bounds:  at Duration:94" +
                               std::to_string(n));
    }
    nanosec_ = n;
}

int Duration::compare(Duration const& other) const {
    if (sec_ != other.sec_) {
        return sec_ < other.sec_ ? -1 : 1;
    }
    if (nanosec_ != other.nanosec_) {
        return nanosec_ < other.nanosec_ ? -1 : 1;
    }
    return 0;
}

Duration& Duration::operator+=(Duration const& other) {
    if (is_infinite() || other.is_infinite()) {
        return *this = infinite();
    }
    return *this = fromNanos(toNanos(sec_, nanosec_) + toNanos(other.sec_, other.nanosec_));
}

Duration& Duration::operator-=(Duration const& other) {
    if (is_infinite()) {
        return *this;
    }
    if (other.is_infinite()) {
        throw InvalidDataError("dds::core::Duration subtrahend is infinite at Duration:173");
    }
    int64_t const diff = toNanos(sec_, nanosec_) - toNanos(other.sec_, other.nanosec_);
    if (diff < 0) {
        throw IllegalOperationError(
            "dds::core::Duration Arithmetic operation resulted in a out of bounds at "
            "Duration:189");
    }
    return *this = fromNanos(static_cast<unsigned __int128>(diff));
}

Duration& Duration::operator*=(unsigned long factor) {
    if (is_infinite()) {
        return *this;
    }
    // 128 bits hold any span times any factor, so nothing wraps before the range test.
    return *this = fromNanos(static_cast<unsigned __int128>(toNanos(sec_, nanosec_)) * factor);
}

Duration Duration::operator+(Duration const& other) const {
    Duration d(*this);
    return d += other;
}

Duration Duration::operator-(Duration const& other) const {
    Duration d(*this);
    return d -= other;
}

int64_t Duration::to_millisecs() const {
    if (is_infinite()) {
        throw IllegalOperationError("dds::core::Duration is infinite at Duration:241");
    }
    return int64_t{sec_} * 1000 + nanosec_ / 1000000;
}

int64_t Duration::to_microsecs() const {
    if (is_infinite()) {
        throw IllegalOperationError("dds::core::Duration is infinite at Duration:251");
    }
    return int64_t{sec_} * 1000000 + nanosec_ / 1000;
}

double Duration::to_secs() const {
    if (is_infinite()) {
        throw IllegalOperationError("dds::core::Duration is infinite at Duration:261");
    }
    return sec_ + nanosec_ / 1e9;
}

Duration const& Duration::zero() {
    static Duration const value(0, 0);
    return value;
}

Duration const& Duration::infinite() {
    static Duration const value(0x7fffffff, 0x7fffffffu);
    return value;
}

Duration Duration::from_millisecs(long ms) {
    return Duration(ms / 1000, static_cast<unsigned>((ms % 1000) * 1000000));
}

Duration Duration::from_microsecs(long us) {
    return Duration(us / 1000000, static_cast<unsigned>((us % 1000000) * 1000));
}

Duration Duration::from_secs(double s) {
    if (!secondsFit(s)) {
        refuseSeconds(describe(s));
    }
    return Duration(static_cast<long>(s), fractionNanos(s));
}

Duration operator*(Duration const& d, unsigned long factor) {
    Duration r(d);
    return r *= factor;
}

Duration operator*(unsigned long factor, Duration const& d) {
    return d * factor;
}

Duration operator/(Duration const& d, unsigned long divider) {
    if (divider == 0) {
        throw InvalidDataError("dds::core::Duration divider is zero at Duration:278");
    }
    if (d.is_infinite()) {
        return d;
    }
    return fromNanos(static_cast<unsigned __int128>(toNanos(d.sec(), d.nanosec())) / divider);
}

}  // namespace core
}  // namespace dds
