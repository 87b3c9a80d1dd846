#include "rtps/discovery/DiscoveryTime.h"

namespace RTPS {

namespace {

constexpr uint32_t NS_PER_S = 1000000000u;

}  // namespace

vexa::dds::Time_t usToTime(uint64_t microseconds) {
    vexa::dds::Time_t t;
    t.sec = static_cast<int32_t>(static_cast<uint32_t>(microseconds / 1000000u));
    t.nanosec = static_cast<uint32_t>(microseconds % 1000000u) * 1000u;
    return t;
}

vexa::dds::Duration_t operator-(vexa::dds::Time_t a, vexa::dds::Time_t b) {
    // Wrapping arithmetic: the seconds word is the low 32 bits of the clock.
    vexa::dds::Duration_t d;
    if (a.nanosec >= b.nanosec) {
        d.sec = static_cast<int32_t>(static_cast<uint32_t>(a.sec) - static_cast<uint32_t>(b.sec));
        d.nanosec = a.nanosec - b.nanosec;
    } else {
        d.sec =
            static_cast<int32_t>(static_cast<uint32_t>(a.sec) - static_cast<uint32_t>(b.sec) - 1u);
        d.nanosec = a.nanosec + NS_PER_S - b.nanosec;
    }
    return d;
}

vexa::dds::Duration_t half(vexa::dds::Duration_t d) {
    if (d == vexa::dds::DURATION_INFINITE) {
        return d;
    }
    // Total nanoseconds fit easily in 64 bits; floor division keeps the nanoseconds word in
    // [0, 1e9) also for negative durations.
    int64_t const total = (static_cast<int64_t>(d.sec) * NS_PER_S + d.nanosec);
    int64_t h = total / 2;
    if (total < 0 && total % 2 != 0) {
        --h;
    }
    int64_t sec = h / NS_PER_S;
    int64_t ns = h % NS_PER_S;
    if (ns < 0) {
        ns += NS_PER_S;
        --sec;
    }
    return vexa::dds::Duration_t{static_cast<int32_t>(sec), static_cast<uint32_t>(ns)};
}

int64_t durationToUs(vexa::dds::Duration_t d) {
    return static_cast<int64_t>(d.sec) * 1000000 + d.nanosec / 1000u;
}

}  // namespace RTPS
