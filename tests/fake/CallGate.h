#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vexatest {

// Holds one kind of call inside a fake (an engine call, a send, an unpack) until the test opens
// the gate, so a test can act (close a participant, delete an endpoint, stop a writer) while the
// core has that call in flight. Open at construction. Its mutex is its own, taken by no code under
// test, and never held while the caller returns.
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
        enter();
        changed_.wait(lock, [this] { return !closed_; });
        --held_;
    }
    // As pass(), but gives up after `limit`; false when the gate stayed closed.
    bool pass(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        enter();
        bool const opened = changed_.wait_for(lock, limit, [this] { return !closed_; });
        --held_;
        return opened;
    }
    // Until `count` calls have entered, at most `limit`; false when they did not.
    bool waitEntered(unsigned count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this, count] { return entered_ >= count; });
    }
    // How many calls wait in pass() now. A call through an open gate never shows here: it keeps
    // the mutex from entering to leaving.
    unsigned held() {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_;
    }
    // Until `count` calls wait in pass() at once, at most `limit`; false when they did not.
    bool waitHeld(unsigned count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this, count] { return held_ >= count; });
    }

private:
    void enter() {
        ++entered_;
        ++held_;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    unsigned entered_ = 0;
    unsigned held_ = 0;
};

}  // namespace vexatest
