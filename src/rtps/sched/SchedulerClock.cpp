#include "rtps/sched/SchedulerClock.h"

#include <algorithm>
#include <chrono>

#include "common/os/OsTime.h"

namespace RTPS {

uint64_t MonotonicSchedulerClock::nowMks() {
    return vexa::OsGetMonotonicMks();
}

void MonotonicSchedulerClock::wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                                   uint64_t deadline, std::function<bool()> const& woken) {
    if (deadline == NO_DEADLINE) {
        cv.wait(lock, woken);
        return;
    }
    const uint64_t now = nowMks();
    if (deadline <= now) {
        return;
    }
    // A relative wait: the condition variable measures it on the steady clock. Its nanosecond
    // arithmetic overflows past about 292 years and then returns at once, so a far deadline is
    // waited for a day at a time; the caller looks again after each.
    constexpr uint64_t MAX_WAIT_MKS = uint64_t{24} * 3600 * 1000000;
    cv.wait_for(lock, std::chrono::microseconds(std::min(deadline - now, MAX_WAIT_MKS)), woken);
}

}  // namespace RTPS
