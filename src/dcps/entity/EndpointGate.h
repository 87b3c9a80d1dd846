#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "dcps/lock/OrderedMutex.h"

namespace vexa::dcps {

// One engine endpoint (an RTPS::Reader or RTPS::Writer) of a core entity, with the engine calls
// made on it after the core mutex that guards it was released (an application's wait for
// historical data or for acknowledgements). A delete or a close never pulls the endpoint away
// under such a call.
//
// The owner changes the gate only under its own mutex: `get` and `enter` see the endpoint
// until `release`, which hides it from new calls at once. When no call is in flight the
// endpoint is closed there; otherwise the last call's `leave` closes it, so nobody waits for a
// call in flight while holding a core mutex. `waitIdle` is for the one place that must wait
// (the participant's close, before the engine participant goes) and is called holding no core
// mutex. The gate's own mutex is a leaf, never held while the endpoint is called.
template <class Endpoint>
class EndpointGate {
public:
    explicit EndpointGate(Endpoint* endpoint)
        : endpoint_(endpoint), mutex_(LockLevel::Leaf, "EndpointGate") {}
    EndpointGate(EndpointGate const&) = delete;
    EndpointGate& operator=(EndpointGate const&) = delete;

    // With the owner's mutex held: the endpoint, null once released.
    Endpoint* get() const { return released_.load() ? nullptr : endpoint_; }
    // With the owner's mutex held: the endpoint for a call that will run after the owner's
    // mutex is released (then `leave`), or null once released.
    Endpoint* enter() {
        std::lock_guard<CoreMutex> lock(mutex_);
        if (released_.load()) {
            return nullptr;
        }
        ++calls_;
        return endpoint_;
    }
    // The call that `enter` admitted has returned; the last one closes a released endpoint.
    void leave() {
        std::unique_lock<CoreMutex> lock(mutex_);
        if (calls_ == 1 && closePending_) {
            closePending_ = false;
            lock.unlock();
            closeEndpoint();  // still counted as in flight: waitIdle waits for the close too
            lock.lock();
        }
        if (--calls_ == 0) {
            idle_.notify_all();
        }
    }
    // With the owner's mutex held: no new call reaches the endpoint. `close`: the endpoint is
    // closed, here when nothing is in flight, else by the last call in flight.
    void release(bool close) {
        std::unique_lock<CoreMutex> lock(mutex_);
        if (released_.exchange(true)) {
            return;
        }
        if (!close) {
            return;
        }
        if (calls_ > 0) {
            closePending_ = true;
            return;
        }
        lock.unlock();
        closeEndpoint();
    }
    // Read without a lock by calls that wait in slices: stop, the endpoint is going.
    bool released() const { return released_.load(); }
    // Holding no core mutex: until no call is in flight.
    void waitIdle() {
        std::unique_lock<CoreMutex> lock(mutex_);
        idle_.wait(lock, [this] { return calls_ == 0; });
    }
    bool idle() const {
        std::lock_guard<CoreMutex> lock(mutex_);
        return calls_ == 0;
    }

private:
    void closeEndpoint() {
        try {
            endpoint_->close();
        } catch (std::exception const&) {
            // The engine refused; the endpoint is forgotten all the same.
        }
    }

    Endpoint* const endpoint_;
    std::atomic<bool> released_{false};
    mutable CoreMutex mutex_;
    std::condition_variable_any idle_;
    int calls_ = 0;
    bool closePending_ = false;
};

}  // namespace vexa::dcps
