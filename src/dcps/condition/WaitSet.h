#pragma once

#include <array>
#include <condition_variable>
#include <set>

#include "dcps/condition/Condition.h"
#include "dcps/lock/OrderedMutex.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

// Lets one application thread block until an attached condition is triggered or a time limit
// passes. Results go into a fixed array: never more than MAX_CONDITIONS entries are written.
//
// Locks: Condition::mt_, then this wait set's mutex (always through one joint lock where both
// are needed); signals runs with mt_ held and takes the wait set's mutex. waiting_ and inWait_
// are guarded by the wait set's mutex; the set of conditions changes only with both held, so
// either one is enough to read it. Wakers notify after releasing the wait set's mutex, and a
// woken waiter needs that mutex only, not mt_.
class WaitSet {
public:
    static constexpr unsigned MAX_CONDITIONS = 4000;
    using ConditionArray = std::array<Condition*, MAX_CONDITIONS>;

    WaitSet();
    // Detaches every condition, wakes a waiter and returns only after it has left wait.
    ~WaitSet();
    WaitSet(WaitSet const&) = delete;
    WaitSet& operator=(WaitSet const&) = delete;

    // OK; attaching an attached condition changes nothing. A waiter is woken when the new
    // condition is already triggered.
    vexa::dds::ReturnCode_t attachCondition(Condition* condition);
    // OK, or PRECONDITION_NOT_MET when not attached. A waiter is woken when none is left.
    vexa::dds::ReturnCode_t detachCondition(Condition* condition);
    // The attached conditions in set order. OK.
    vexa::dds::ReturnCode_t getConditions(ConditionArray& out, unsigned& count);
    // OK with the triggered conditions (possibly none after a detach or the wait set's end),
    // TIMEOUT when the limit passed, PRECONDITION_NOT_MET when another thread waits already.
    // One deadline on the monotonic clock holds across wake-ups.
    vexa::dds::ReturnCode_t wait(ConditionArray& out, unsigned& count, vexa::dds::Duration_t limit);

    // A condition of this set was signalled (mt_ held): wakes the waiter.
    void signals();
    // A condition is being destroyed (mt_ held): drops it, wakes a waiter left with nothing.
    void forgetCondition(Condition* condition);

private:
    // With mt_ or the wait set's mutex held: the triggered conditions, at most MAX_CONDITIONS.
    unsigned collectTriggered(ConditionArray& out) const;

    std::set<Condition*> conditions_;
    CoreMutex mutex_;
    std::condition_variable_any wake_;
    bool waiting_ = false;  // a waiter sleeps until someone clears it
    bool inWait_ = false;   // a thread is inside wait
};

}  // namespace vexa::dcps
