#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace RTPS {

// How many threads are inside one kind of a writer's work, so that stopping can wait until
// none is. Any number of threads may enter at once. Entering and leaving are one atomic step
// each; only the leaving that empties the count while someone waits takes the mutex.
class BusyCount {
public:
    void enter() { m_count.fetch_add(1); }
    void leave() {
        if (m_count.fetch_sub(1) == (WAITED | 1u)) {
            wakeWaiters();
        }
    }
    // As leave, but never below zero: with nobody inside it does nothing.
    void leaveIfInside() {
        uint32_t v = m_count.load();
        do {
            if ((v & INSIDE) == 0) {
                return;
            }
        } while (!m_count.compare_exchange_weak(v, v - 1));
        if (v == (WAITED | 1u)) {
            wakeWaiters();
        }
    }
    uint32_t inside() const { return m_count.load() & INSIDE; }
    bool busy() const { return inside() != 0; }
    // Returns once no thread is inside, and the one that left last is done with this object:
    // the owner may destroy it then.
    void waitIdle() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if ((m_count.fetch_or(WAITED) & INSIDE) == 0) {
            return;
        }
        // The leaving that empties the count saw the bit: it counts under the mutex.
        uint64_t const seen = m_idles;
        m_idle.wait(lock, [this, seen] { return m_idles != seen; });
    }

private:
    // The leaving that emptied the count while it was waited for.
    void wakeWaiters() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_idles;
        m_idle.notify_all();
    }

    // The count in the low bits, and a bit raised for good by the first waitIdle, so that one
    // atomic step tells a leaving thread whether it must wake a waiter.
    static constexpr uint32_t WAITED = 0x80000000u;
    static constexpr uint32_t INSIDE = WAITED - 1;
    std::atomic<uint32_t> m_count{0};
    std::mutex m_mutex;
    std::condition_variable m_idle;
    uint64_t m_idles = 0;  // under m_mutex: leavings that emptied the count while waited for
};

// Enters on construction, leaves on destruction.
class BusyScope {
public:
    explicit BusyScope(BusyCount& count) : m_count(count) { m_count.enter(); }
    ~BusyScope() { m_count.leave(); }
    BusyScope(BusyScope const&) = delete;
    BusyScope& operator=(BusyScope const&) = delete;

private:
    BusyCount& m_count;
};

}  // namespace RTPS
