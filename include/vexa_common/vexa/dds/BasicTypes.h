#ifndef VEXA_DDS_BASICTYPES_H
#define VEXA_DDS_BASICTYPES_H

// Return codes and the small values every layer passes around: durations, time points,
// instance handles and key hashes.

#include <cstdint>
#include <cstring>

namespace vexa {
namespace dds {

// Outcome of a core operation. The underlying type is fixed, so any 32-bit value (also one the
// caller made up) is a valid ReturnCode_t and reaches the mapping to exceptions unchanged.
enum ReturnCode_t : int32_t {
    RETCODE_OK = 0,
    RETCODE_ERROR = 1,
    RETCODE_UNSUPPORTED = 2,
    RETCODE_BAD_PARAMETER = 3,
    RETCODE_PRECONDITION_NOT_MET = 4,
    RETCODE_OUT_OF_RESOURCES = 5,
    RETCODE_NOT_ENABLED = 6,
    RETCODE_IMMUTABLE_POLICY = 7,
    RETCODE_INCONSISTENT_POLICY = 8,
    RETCODE_ALREADY_DELETED = 9,
    RETCODE_TIMEOUT = 10,
    RETCODE_NO_DATA = 11,
    RETCODE_ILLEGAL_OPERATION = 12
};

// A span of time. Discovery records carry it as these two words, in this order.
struct Duration_t {
    int32_t sec = 0;
    uint32_t nanosec = 0;
};

// A point in time since the Unix epoch; same layout as Duration_t.
struct Time_t {
    int32_t sec = 0;
    uint32_t nanosec = 0;
};

// Both words at their maximum: the nanoseconds word is deliberately not below one second, so
// code that carries nanoseconds over into seconds must test for this value first.
constexpr Duration_t DURATION_INFINITE{0x7FFFFFFF, 0x7FFFFFFFu};
constexpr Duration_t DURATION_ZERO{0, 0};
// Marks a change or datagram that carries no time.
constexpr Time_t TIME_INVALID{-1, 0xFFFFFFFFu};

// Durations and times order by seconds, then nanoseconds; DURATION_INFINITE is the largest
// duration, so "a >= b" is the usual "offers at least as long" test of QoS matching.
constexpr bool operator==(Duration_t a, Duration_t b) {
    return a.sec == b.sec && a.nanosec == b.nanosec;
}
constexpr bool operator!=(Duration_t a, Duration_t b) {
    return !(a == b);
}
constexpr bool operator<(Duration_t a, Duration_t b) {
    return a.sec < b.sec || (a.sec == b.sec && a.nanosec < b.nanosec);
}
constexpr bool operator>(Duration_t a, Duration_t b) {
    return b < a;
}
constexpr bool operator<=(Duration_t a, Duration_t b) {
    return !(b < a);
}
constexpr bool operator>=(Duration_t a, Duration_t b) {
    return !(a < b);
}

constexpr bool operator==(Time_t a, Time_t b) {
    return a.sec == b.sec && a.nanosec == b.nanosec;
}
constexpr bool operator!=(Time_t a, Time_t b) {
    return !(a == b);
}
constexpr bool operator<(Time_t a, Time_t b) {
    return a.sec < b.sec || (a.sec == b.sec && a.nanosec < b.nanosec);
}
constexpr bool operator>(Time_t a, Time_t b) {
    return b < a;
}
constexpr bool operator<=(Time_t a, Time_t b) {
    return !(b < a);
}
constexpr bool operator>=(Time_t a, Time_t b) {
    return !(a < b);
}

// Entity ids and instance ids share this type; 0 names nothing.
using InstanceHandle_t = int32_t;
constexpr InstanceHandle_t HANDLE_NIL = 0;

// 16-byte hash of an instance key; all zero for a keyless type.
struct KeyHash_t {
    uint8_t hash[16] = {};
};

inline bool operator==(KeyHash_t const& a, KeyHash_t const& b) {
    return std::memcmp(a.hash, b.hash, sizeof a.hash) == 0;
}
inline bool operator!=(KeyHash_t const& a, KeyHash_t const& b) {
    return !(a == b);
}

// The engine stores and sends these as raw words.
static_assert(sizeof(ReturnCode_t) == 4, "return codes are 32-bit");
static_assert(sizeof(Duration_t) == 8 && sizeof(Time_t) == 8, "two 32-bit words");
static_assert(sizeof(KeyHash_t) == 16, "key hashes are 16 bytes");

}  // namespace dds
}  // namespace vexa

#endif
