#include "rtps/SchedulerClock.h"

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
    // A relative wait: the condition variable measures it on the steady clock.
    cv.wait_for(lock, std::chrono::microseconds(deadline - now), woken);
}

}  // namespace RTPS
