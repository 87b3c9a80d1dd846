#pragma once

#include <atomic>
#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace vexa::ds {

// The domain clock: set from the wall clock, then moved only by the data thread in 100 ms
// steps. Engine threads read it while the data thread advances it, so the time is one atomic
// count of nanoseconds and a read is never torn.
class DSTimeService {
public:
    static constexpr vexa::dds::Time_t INVALID = {-1, 0xFFFFFFFFu};
    static constexpr vexa::dds::Duration_t INFINITE = {0x7FFFFFFF, 0x7FFFFFFFu};

    DSTimeService() { setInitial(); }

    void setInitial();
    void advance(uint64_t us);
    void set(vexa::dds::Time_t t);
    void getCurrentTime(vexa::dds::Time_t& out) const;
    vexa::dds::Time_t now() const;
    static void getHostTimeCount(vexa::dds::Duration_t& out);
    bool isTimeElapsed(vexa::dds::Time_t t) const;
    bool isTimeIntervalElapsed(vexa::dds::Time_t t, vexa::dds::Duration_t d) const;
    vexa::dds::Time_t addInterval(vexa::dds::Duration_t d) const;
    static vexa::dds::Time_t addInterval(vexa::dds::Time_t t, vexa::dds::Duration_t d);
    static bool isNewTimeLess(vexa::dds::Time_t a, vexa::dds::Time_t b);

private:
    std::atomic<int64_t> m_nanos{0};
};

}  // namespace vexa::ds
