#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>

#include "dcps/lock/OrderedMutex.h"

namespace vexa::dcps {

// Engine calls in flight on one owner (a participant, a writer): calls the core makes on an
// engine object after releasing the mutex that guards the pointer to it. The owner begins a
// call under that mutex while the pointer is set; whoever takes the pointer away clears it
// under the same mutex, so no new call begins, and then either waits (drain, never with a core
// mutex held) or hands over what must happen once the object is idle (releaseWhenIdle: the
// last call in flight does it on its way out, so nobody waits).
//
// The count is atomic, so a call that nobody waits for takes no mutex. A drain or a handed-over
// release raises `watched_` under the mutex before it reads the count; an end that brings the
// count to zero reads `watched_` after, and then wakes the waiters and takes the release under
// the mutex. Both sides are sequentially consistent, so one of them sees the other: either the
// waiter finds the count at zero, or the last end finds it watched.
//
// Locks: the count's mutex is a leaf; a release task runs after it is let go.
class EngineCalls {
public:
    explicit EngineCalls(char const* name) : mutex_(LockLevel::Leaf, name) {}
    EngineCalls(EngineCalls const&) = delete;
    EngineCalls& operator=(EngineCalls const&) = delete;

    void begin();
    // Ends a call; the last one runs a task handed over by releaseWhenIdle.
    void end();
    // Waits until no call is in flight.
    void drain();
    // Runs `release` at once when no call is in flight, else when the last one ends.
    void releaseWhenIdle(std::function<void()> release);
    bool idle() const;

private:
    // Under the mutex: whether a drain waits or a release is handed over.
    void watchLocked();

    mutable CoreMutex mutex_;
    std::condition_variable_any done_;
    std::atomic<int> count_{0};
    std::atomic<bool> watched_{false};
    // Under the mutex.
    int drainers_ = 0;
    std::function<void()> release_;
};

}  // namespace vexa::dcps
