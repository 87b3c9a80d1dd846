#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vexatest {

// Holds one kind of engine call inside the fake until the test opens the gate, so a test can
// act (close a participant, delete an endpoint) while the core has that call in flight. Open
// at construction. Its mutex is the fake's own and never held while the caller returns.
class CallGate {
public:
    // Later calls wait in pass() until open().
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    // Lets every waiting and later call through.
    void open() {
        // Notified under the mutex: the released call may end its participant, and this gate
        // with it, as soon as it runs.
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = false;
        changed_.notify_all();
    }
    // At the start of the guarded call.
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !closed_; });
    }
    // Until `count` calls have entered, at most `limit`; false when they did not.
    bool waitEntered(unsigned count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this, count] { return entered_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    unsigned entered_ = 0;
};

}  // namespace vexatest
