#include "vexa/core/cond/WaitSetImpl.hpp"

#include "dcps/condition/WaitSet.h"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace core {
namespace cond {

static_assert(WaitSetImpl::MAX_CONDITIONS == vexa::dcps::WaitSet::MAX_CONDITIONS,
              "the API holds no more conditions than the core reports");

namespace {

// The core fills an array of up to 4000 pointers per wait; each thread has its own, so two
// threads waiting on one wait set never share it.
vexa::dcps::WaitSet::ConditionArray& threadArray() {
    thread_local std::unique_ptr<vexa::dcps::WaitSet::ConditionArray> array(
        new vexa::dcps::WaitSet::ConditionArray);
    return *array;
}

// Clears the dispatching flag on every way out of dispatch.
class DispatchFlag {
public:
    explicit DispatchFlag(std::atomic<bool>& flag) : flag_(flag) {}
    ~DispatchFlag() { flag_ = false; }
    DispatchFlag(DispatchFlag const&) = delete;
    DispatchFlag& operator=(DispatchFlag const&) = delete;

private:
    std::atomic<bool>& flag_;
};

}  // namespace

WaitSetImpl::WaitSetImpl()
    : waitSet_(std::make_unique<vexa::dcps::WaitSet>()), conditions_(MAX_CONDITIONS) {
    conditions_.max_load_factor(1.0f);
}

WaitSetImpl::~WaitSetImpl() {
    std::lock_guard<std::mutex> lock(mutex_);
    // A code here only says a condition had left already; a destructor must not throw.
    for (auto& entry : conditions_) {
        (void)waitSet_->detachCondition(entry.first);
    }
    conditions_.clear();
}

void WaitSetImpl::attach_condition(::dds::core::cond::Condition const& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (conditions_.size() > MAX_CONDITIONS - 1) {
        code2exception(vexa::dds::RETCODE_OUT_OF_RESOURCES,
                       "attach_condition - too much conditions");
    }
    vexa::dcps::Condition* core = c->getCondition();
    if (!conditions_.emplace(core, c).second) {
        return;
    }
    vexa::dds::ReturnCode_t const rc = waitSet_->attachCondition(core);
    if (rc != vexa::dds::RETCODE_OK) {
        conditions_.erase(core);
        code2exception(rc, "attach_condition");
    }
}

bool WaitSetImpl::detach_condition(::dds::core::cond::Condition const& c) {
    vexa::dcps::Condition* core = c->getCondition();
    ::dds::core::cond::Condition released;  // dropped after unlocking
    std::lock_guard<std::mutex> lock(mutex_);
    code2exception(waitSet_->detachCondition(core), "detach_condition");
    auto it = conditions_.find(core);
    if (it != conditions_.end()) {
        released = std::move(it->second);
        conditions_.erase(it);
    }
    return true;
}

void WaitSetImpl::wait(ConditionSeq& triggered, ::dds::core::Duration const& timeout) {
    vexa::dcps::WaitSet::ConditionArray& array = threadArray();
    unsigned count = 0;
    vexa::dds::Duration_t limit;
    limit.sec = timeout.sec();
    limit.nanosec = timeout.nanosec();
    code2exception(waitSet_->wait(array, count, limit), "wait");

    std::lock_guard<std::mutex> lock(mutex_);
    triggered.clear();
    triggered.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        // A condition detached since the core collected it is skipped.
        auto it = conditions_.find(array[i]);
        if (it != conditions_.end()) {
            triggered.push_back(it->second);
        }
    }
}

void WaitSetImpl::dispatch(::dds::core::Duration const& timeout) {
    if (dispatching_.exchange(true)) {
        code2exception(vexa::dds::RETCODE_PRECONDITION_NOT_MET, "dispatch busy");
    }
    DispatchFlag flag(dispatching_);
    ConditionSeq work;
    {
        ConditionSeq found;
        wait(found, timeout);
        std::lock_guard<std::mutex> lock(mutex_);
        triggered_ = found;
        work = std::move(found);
    }
    // Handlers may attach, detach or wait: they run on the copy, with no lock held.
    for (auto& c : work) {
        c.dispatch();
    }
}

void WaitSetImpl::conditions(ConditionSeq& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    out.reserve(out.size() + conditions_.size());
    for (auto const& entry : conditions_) {
        out.push_back(entry.second);
    }
}

}  // namespace cond
}  // namespace core
}  // namespace vexa
