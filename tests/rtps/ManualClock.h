#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "rtps/sched/SchedulerClock.h"

// A scheduler clock that moves only when the test says so. waitIdle() returns once the worker
// sleeps with nothing to do at the current time, so a test can check what did not run.
class ManualClock : public RTPS::SchedulerClock {
public:
    explicit ManualClock(uint64_t start = 1000000000) : m_now(start) {}

    uint64_t nowMks() override { return m_now.load(); }

    void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint64_t deadline,
              std::function<bool()> const& woken) override {
        const uint64_t seen = m_now.load();
        if (deadline != NO_DEADLINE && deadline <= seen) {
            return;
        }
        {
            std::lock_guard<std::mutex> g(m_registry);
            m_cv = &cv;
            m_mutex = lock.mutex();
            m_registered.notify_all();
        }
        m_waiting = true;
        m_woken = &woken;
        m_seen = seen;
        m_idle.notify_all();
        cv.wait(lock, [&] { return woken() || m_now.load() != seen; });
        m_waiting = false;
        m_woken = nullptr;
    }

    // Moves the clock and lets the worker look at the new time.
    void advance(uint64_t mks) {
        m_now += mks;
        std::condition_variable* cv;
        std::mutex* mutex;
        {
            std::lock_guard<std::mutex> g(m_registry);
            cv = m_cv;
            mutex = m_mutex;
        }
        if (mutex != nullptr) {
            std::lock_guard<std::mutex> g(*mutex);
            cv->notify_all();
        }
    }

    void advanceMs(uint64_t ms) { advance(ms * 1000); }

    // Blocks until the worker waits with no wake pending and has seen the current time.
    void waitIdle() {
        std::mutex* mutex;
        {
            std::unique_lock<std::mutex> g(m_registry);
            m_registered.wait(g, [&] { return m_mutex != nullptr; });
            mutex = m_mutex;
        }
        std::unique_lock<std::mutex> lock(*mutex);
        m_idle.wait(lock, [&] { return m_waiting && !(*m_woken)() && m_now.load() == m_seen; });
    }

private:
    std::atomic<uint64_t> m_now;
    std::mutex m_registry;
    std::condition_variable m_registered;
    std::condition_variable* m_cv = nullptr;
    std::mutex* m_mutex = nullptr;
    // Under the scheduler's mutex.
    std::condition_variable m_idle;
    bool m_waiting = false;
    std::function<bool()> const* m_woken = nullptr;
    uint64_t m_seen = 0;
};
