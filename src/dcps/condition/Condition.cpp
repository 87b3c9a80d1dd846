#include "dcps/condition/Condition.h"

#include <mutex>

#include "dcps/condition/WaitSet.h"

namespace vexa::dcps {

CoreRecursiveMutex Condition::mt_{LockLevel::Conditions, "Condition::mt_"};

Condition::~Condition() {
    std::lock_guard<CoreRecursiveMutex> lock(mt_);
    for (WaitSet* ws : waitSets_) {
        ws->forgetCondition(this);
    }
    waitSets_.clear();
}

void Condition::signal() {
    // Marked before the wake: a woken waiter may run and reset the value before this call
    // ends, and a mark set after that would leave 2, which no rise ever leaves again.
    uint32_t expected = 1u;
    if (!trigger_.compare_exchange_strong(expected, 3u)) {
        return;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mt_);
    for (WaitSet* ws : waitSets_) {
        ws->signals();
    }
}

bool Condition::tryDelete(Condition* condition) {
    // mt_ is recursive: ~Condition takes it again.
    std::lock_guard<CoreRecursiveMutex> lock(mt_);
    if (!condition->waitSets_.empty()) {
        return false;
    }
    delete condition;
    return true;
}

}  // namespace vexa::dcps
