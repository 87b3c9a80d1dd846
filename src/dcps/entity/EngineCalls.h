#pragma once

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
    mutable CoreMutex mutex_;
    std::condition_variable_any done_;
    int count_ = 0;
    std::function<void()> release_;
};

}  // namespace vexa::dcps
