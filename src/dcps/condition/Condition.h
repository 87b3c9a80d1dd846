#pragma once

#include <atomic>
#include <cstdint>
#include <set>

#include "dcps/lock/OrderedMutex.h"

namespace vexa::dcps {

class WaitSet;

// A trigger value that wait sets watch. 0 not triggered, 1 triggered, 3 triggered and already
// signalled: the threads that change data set the value, the notification passes signal it,
// and only the first signal after a rise wakes the wait sets.
//
// Locks: mt_ (one for the process) guards every condition's set of wait sets and every wait
// set's set of conditions; it is taken before a wait set's mutex. Trigger values are atomic
// and read without a lock.
class Condition {
public:
    static CoreRecursiveMutex mt_;

    Condition() = default;
    // Leaves every wait set it is attached to and wakes a waiter whose set became empty, so no
    // wait set keeps a dangling pointer.
    virtual ~Condition();
    Condition(Condition const&) = delete;
    Condition& operator=(Condition const&) = delete;

    uint32_t getTriggerValue() const { return trigger_.load(); }
    bool isTriggered() const { return (trigger_.load() & 1u) != 0; }

    // When the value is exactly 1: adds bit 1, then wakes every attached wait set (with mt_
    // held, which keeps them alive; each wakes its waiter after releasing its own mutex).
    void signal();
    // Destroys a condition attached to no wait set: true; false while attached.
    static bool tryDelete(Condition* condition);

    // With mt_ held.
    void addWaitSet(WaitSet* waitSet) { waitSets_.insert(waitSet); }
    void removeWaitSet(WaitSet* waitSet) { waitSets_.erase(waitSet); }
    size_t waitSetCount() const { return waitSets_.size(); }

protected:
    std::atomic<uint32_t> trigger_{0};

private:
    std::set<WaitSet*> waitSets_;
};

}  // namespace vexa::dcps
