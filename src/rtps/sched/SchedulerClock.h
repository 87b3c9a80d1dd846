#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace RTPS {

// Time source of the task scheduler, in microseconds of a clock that never steps back. The
// scheduler also waits through it, so a test clock can decide when a wait ends.
class SchedulerClock {
public:
    static constexpr uint64_t NO_DEADLINE = ~uint64_t{0};

    virtual ~SchedulerClock() = default;

    virtual uint64_t nowMks() = 0;

    // Called with `lock` held on the mutex that guards `woken`; returns with it held once
    // `woken()` holds or the clock has reached `deadline` (NO_DEADLINE: no time-out). May
    // return early; the caller looks again.
    virtual void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                      uint64_t deadline, std::function<bool()> const& woken) = 0;
};

// The monotonic clock of the operating-system layer.
class MonotonicSchedulerClock : public SchedulerClock {
public:
    uint64_t nowMks() override;
    void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint64_t deadline,
              std::function<bool()> const& woken) override;
};

}  // namespace RTPS
