#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace RTPS {

// How many threads are inside one kind of a writer's work, so that stopping can wait until
// none is. Any number of threads may enter at once.
class BusyCount {
public:
    void enter() { m_count.fetch_add(1); }
    void leave() {
        if (m_count.fetch_sub(1) == 1) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_idle.notify_all();
        }
    }
    bool busy() const { return m_count.load() != 0; }
    // Returns once no thread is inside.
    void waitIdle() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idle.wait(lock, [this] { return m_count.load() == 0; });
    }

private:
    std::atomic<int> m_count{0};
    std::mutex m_mutex;
    std::condition_variable m_idle;
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
