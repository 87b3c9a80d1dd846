#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

namespace {

constexpr int32_t HIGH_MAX = 0x7FFFFFFF;

// Signed overflow is undefined: the high word wraps to 0 explicitly.
int32_t nextHigh(int32_t high) {
    return high == HIGH_MAX ? 0 : high + 1;
}

}  // namespace

SequenceNumber_t& operator++(SequenceNumber_t& s) {
    if (s == SEQUENCENUMBER_UNKNOWN) {
        return s;
    }
    if (s.low == 0xFFFFFFFFu) {
        s.low = 0;
        s.high = nextHigh(s.high);
    } else {
        ++s.low;
    }
    return s;
}

SequenceNumber_t operator++(SequenceNumber_t& s, int) {
    SequenceNumber_t old = s;
    ++s;
    return old;
}

SequenceNumber_t& operator--(SequenceNumber_t& s) {
    if (s == SEQUENCENUMBER_UNKNOWN) {
        return s;
    }
    if (s.low == 0) {
        if (s.high <= 0) {
            s = SEQUENCENUMBER_UNKNOWN;
        } else {
            --s.high;
            s.low = 0xFFFFFFFFu;
        }
    } else {
        --s.low;
    }
    return s;
}

SequenceNumber_t operator--(SequenceNumber_t& s, int) {
    SequenceNumber_t old = s;
    --s;
    return old;
}

SequenceNumber_t operator+(SequenceNumber_t const& s, unsigned int n) {
    SequenceNumber_t r = s;
    r.low = s.low + n;
    if (r.low < s.low) {
        r.high = nextHigh(s.high);
    }
    return r;
}

}  // namespace RTPS
