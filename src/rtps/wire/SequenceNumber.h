#pragma once

#include <cstdint>

namespace RTPS {

struct SequenceNumber_t {
    int32_t high;
    uint32_t low;
};
static_assert(sizeof(SequenceNumber_t) == 8, "a sequence number is 8 bytes on the wire");

inline constexpr SequenceNumber_t SEQUENCENUMBER_UNKNOWN{-1, 0};
inline constexpr SequenceNumber_t SEQUENCENUMBER_NULL{0, 0};

inline bool operator==(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return a.high == b.high && a.low == b.low;
}
inline bool operator!=(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return !(a == b);
}
inline bool operator<(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return a.high < b.high || (a.high == b.high && a.low < b.low);
}
inline bool operator<=(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return a.high < b.high || (a.high == b.high && a.low <= b.low);
}
inline bool operator>(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return b < a;
}
inline bool operator>=(SequenceNumber_t const& a, SequenceNumber_t const& b) {
    return b <= a;
}

// Increment and decrement change the operand in place and leave SEQUENCENUMBER_UNKNOWN as it is.
// The high word wraps from 0x7FFFFFFF to 0; decrementing {<=0, 0} gives SEQUENCENUMBER_UNKNOWN.
SequenceNumber_t& operator++(SequenceNumber_t& s);
SequenceNumber_t operator++(SequenceNumber_t& s, int);
SequenceNumber_t& operator--(SequenceNumber_t& s);
SequenceNumber_t operator--(SequenceNumber_t& s, int);

// low + n modulo 2^32 with the carry added to high (which wraps like increment does).
SequenceNumber_t operator+(SequenceNumber_t const& s, unsigned int n);

}  // namespace RTPS
