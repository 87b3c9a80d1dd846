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
    if (trigger_.load() != 1u) {
        return;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mt_);
    for (WaitSet* ws : waitSets_) {
        ws->signals();
    }
    trigger_.fetch_or(2u);
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
