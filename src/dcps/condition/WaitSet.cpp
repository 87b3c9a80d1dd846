#include "dcps/condition/WaitSet.h"

#include <chrono>
#include <mutex>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {
char const MODULE_WAIT[] = "DCPS::WaitSet::wait";
char const MODULE_SIGNALS[] = "DCPS::WaitSet::signals";
}  // namespace

WaitSet::WaitSet() : mutex_(LockLevel::WaitSet, "WaitSet") {}

WaitSet::~WaitSet() {
    lockJoint(Condition::mt_, mutex_);
    for (Condition* c : conditions_) {
        c->removeWaitSet(this);
    }
    conditions_.clear();
    Condition::mt_.unlock();
    // The waiter needs mt_ on its way out: wait for it with only our own mutex held.
    std::unique_lock<CoreMutex> lock(mutex_, std::adopt_lock);
    waiting_ = false;
    wake_.notify_all();
    wake_.wait(lock, [this] { return !inWait_; });
}

ReturnCode_t WaitSet::attachCondition(Condition* condition) {
    bool wake = false;
    {
        JointLock<CoreRecursiveMutex, CoreMutex> lock(Condition::mt_, mutex_);
        if (!conditions_.insert(condition).second) {
            return vexa::dds::RETCODE_OK;
        }
        condition->addWaitSet(this);
        if (waiting_ && condition->isTriggered()) {
            waiting_ = false;
            wake = true;
        }
    }
    if (wake) {
        wake_.notify_all();
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t WaitSet::detachCondition(Condition* condition) {
    bool wake = false;
    {
        JointLock<CoreRecursiveMutex, CoreMutex> lock(Condition::mt_, mutex_);
        if (conditions_.erase(condition) == 0) {
            return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
        }
        condition->removeWaitSet(this);
        if (waiting_ && conditions_.empty()) {
            waiting_ = false;
            wake = true;
        }
    }
    if (wake) {
        wake_.notify_all();
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t WaitSet::getConditions(ConditionArray& out, unsigned& count) {
    std::lock_guard<CoreRecursiveMutex> lock(Condition::mt_);
    count = 0;
    for (Condition* c : conditions_) {
        if (count == MAX_CONDITIONS) {
            break;
        }
        out[count++] = c;
    }
    return vexa::dds::RETCODE_OK;
}

unsigned WaitSet::collectTriggered(ConditionArray& out) const {
    unsigned count = 0;
    for (Condition* c : conditions_) {
        if (count == MAX_CONDITIONS) {
            break;
        }
        if (c->isTriggered()) {
            out[count++] = c;
        }
    }
    return count;
}

ReturnCode_t WaitSet::wait(ConditionArray& out, unsigned& count, vexa::dds::Duration_t limit) {
    count = 0;
    lockJoint(Condition::mt_, mutex_);
    std::unique_lock<CoreMutex> lock(mutex_, std::adopt_lock);
    if (inWait_) {
        Condition::mt_.unlock();
        vexalog::Logger::getLogger().logMessage(MODULE_WAIT, 3, vexares::DCPS_MSG_WAITSET_BUSY);
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    count = collectTriggered(out);
    Condition::mt_.unlock();
    if (count > 0) {
        return vexa::dds::RETCODE_OK;
    }

    if (limit == vexa::dds::DURATION_INFINITE) {
        vexalog::Logger::getLogger().logMessage(MODULE_WAIT, 7,
                                                vexares::DCPS_MSG_WAITSET_WAIT_INFINITE);
        waiting_ = true;
        inWait_ = true;
        wake_.wait(lock, [this] { return !waiting_; });
    } else {
        int64_t const ms = static_cast<int64_t>(limit.sec) * 1000 + limit.nanosec / 1000000;
        if (ms <= 0) {
            return vexa::dds::RETCODE_TIMEOUT;
        }
        vexalog::Logger::getLogger().logMessage(MODULE_WAIT, 7, vexares::DCPS_MSG_WAITSET_WAIT,
                                                static_cast<long long>(ms));
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        waiting_ = true;
        inWait_ = true;
        if (!wake_.wait_until(lock, deadline, [this] { return !waiting_; })) {
            waiting_ = false;
            inWait_ = false;
            wake_.notify_all();  // a destructor may wait for us
            return vexa::dds::RETCODE_TIMEOUT;
        }
    }

    // Woken: the set changes only with this mutex held as well, and a condition leaves it
    // before it is destroyed, so the mutex alone is enough to collect. The signaller may still
    // hold mt_: needing it here would make every wake wait for the signaller's unlock.
    count = collectTriggered(out);
    inWait_ = false;
    // Under the mutex: a destructor waiting for us may free the wait set once it is released.
    wake_.notify_all();
    return vexa::dds::RETCODE_OK;
}

void WaitSet::signals() {
    vexalog::Logger::getLogger().logMessage(MODULE_SIGNALS, 7, vexares::DCPS_MSG_WAITSET_SIGNALS);
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        waiting_ = false;
    }
    wake_.notify_all();
}

void WaitSet::forgetCondition(Condition* condition) {
    bool wake = false;
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        conditions_.erase(condition);
        if (waiting_ && conditions_.empty()) {
            waiting_ = false;
            wake = true;
        }
    }
    // After the unlock (the caller's mt_ keeps the wait set alive): the waiter does not wait
    // for this mutex first.
    if (wake) {
        wake_.notify_all();
    }
}

}  // namespace vexa::dcps
