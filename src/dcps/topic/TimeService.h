#pragma once

#include <atomic>
#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

// A participant's clock: starts at the system time and is then advanced only by the
// participant's data-handling thread, in steps of exactly 100 ms. One 64-bit word holds
// seconds (high half) and nanoseconds (low half), so a reader never sees the seconds of one
// value with the nanoseconds of another.
class TimeService {
public:
    TimeService() { setInitial(); }

    // The clock = the system time.
    void setInitial();
    // The clock = the system time, unless it is ahead already: an advance made before the
    // data-handling thread started (a test's) is kept, and the clock never goes back.
    void catchUp();
    void advance(uint64_t microseconds);
    void getCurrentTime(vexa::dds::Time_t& out) const;
    vexa::dds::Time_t now() const;
    // The host's microsecond clock as a duration since the epoch.
    static void getHostTimeCount(vexa::dds::Duration_t& out);

    // Whether start + d lies at or before the clock's time. Only the infinite duration never
    // elapses; the sum is formed in 64 bits, so a finite duration too large for Time_t never
    // elapses either.
    bool isTimeIntervalElapsed(vexa::dds::Time_t start, vexa::dds::Duration_t d) const {
        return isElapsed(start, d, now());
    }
    static bool isElapsed(vexa::dds::Time_t start, vexa::dds::Duration_t d, vexa::dds::Time_t now);

    // A time plus a duration in nanoseconds since the epoch, in 64 bits (no overflow for any
    // Time_t and finite Duration_t).
    static int64_t endNanos(vexa::dds::Time_t start, vexa::dds::Duration_t d);
    static int64_t toNanos(vexa::dds::Time_t t);

private:
    void store(int64_t sec, uint32_t nanosec);
    static vexa::dds::Time_t unpack(uint64_t packed);

    std::atomic<uint64_t> packed_{0};
};

}  // namespace vexa::dcps
