#pragma once

// Arithmetic shared by Duration and Time: both hold a span as {seconds, nanoseconds} and
// compute on the whole span in nanoseconds.

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

namespace vexa {
namespace core {
namespace timespan {

constexpr int64_t NS_PER_SEC = 1000000000;
constexpr int64_t MAX_SEC = 0x7fffffff;

inline int64_t toNanos(int32_t sec, uint32_t nanosec) {
    return int64_t{sec} * NS_PER_SEC + nanosec;
}

// Whether a double of seconds can become a seconds word: converting NaN, an infinity or a value
// beyond the integer range to an integer is undefined, so those never reach a conversion.
inline bool secondsFit(double s) {
    return std::isfinite(s) && s >= 0.0 && s < 2147483648.0;
}

// Nanoseconds of the fraction of s, truncated; s must pass secondsFit.
inline unsigned fractionNanos(double s) {
    double const frac = (s - std::trunc(s)) * 1e9;
    // A fraction just below 1 may round up to a whole second.
    return frac >= 999999999.0 ? 999999999u : static_cast<unsigned>(frac);
}

// How a refused double appears at the end of a setter's message.
inline std::string describe(double s) {
    std::ostringstream text;
    text << s;
    return text.str();
}

}  // namespace timespan
}  // namespace core
}  // namespace vexa
