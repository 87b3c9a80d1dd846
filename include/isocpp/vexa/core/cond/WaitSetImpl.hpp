#ifndef VEXA_CORE_COND_WAITSETIMPL_HPP
#define VEXA_CORE_COND_WAITSETIMPL_HPP

// The implementation behind an application wait set: a core wait set and the map from its
// core conditions back to the application's conditions (which keeps them alive while
// attached), at most MAX_CONDITIONS of them.
//
// Threads: any thread may attach, detach or list while another waits. mutex_ guards the map
// and the triggered list; it is never held across the core's wait nor while dispatch runs
// handlers, and it comes before Condition::mt_ (attach and detach call the core under it).
// Only one thread dispatches at a time (dispatching_); a second gets PreconditionNotMetError.
// The array the core fills is the calling thread's own.

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "dds/core/Duration.hpp"
#include "dds/core/cond/TCondition.hpp"

namespace vexa {
namespace dcps {
class Condition;
class WaitSet;
}  // namespace dcps

namespace core {
namespace cond {

class WaitSetImpl {
public:
    using ConditionSeq = std::vector<::dds::core::cond::Condition>;
    static constexpr size_t MAX_CONDITIONS = 4000;

    WaitSetImpl();
    // Detaches every condition; never throws.
    ~WaitSetImpl();
    WaitSetImpl(WaitSetImpl const&) = delete;
    WaitSetImpl& operator=(WaitSetImpl const&) = delete;

    // OutOfResourcesError beyond MAX_CONDITIONS; attaching an attached condition changes
    // nothing.
    void attach_condition(::dds::core::cond::Condition const& c);
    // The core's refusal (not attached) as PreconditionNotMetError.
    bool detach_condition(::dds::core::cond::Condition const& c);
    // Replaces `triggered` with the triggered conditions, in the core's order; TimeoutError
    // when none was triggered in time.
    void wait(ConditionSeq& triggered, ::dds::core::Duration const& timeout);
    // wait, then each triggered condition's dispatch on this thread.
    void dispatch(::dds::core::Duration const& timeout);
    // Appends every attached condition.
    void conditions(ConditionSeq& out) const;

private:
    std::unique_ptr<vexa::dcps::WaitSet> waitSet_;
    mutable std::mutex mutex_;
    ConditionSeq triggered_;
    std::atomic<bool> dispatching_{false};
    std::unordered_map<vexa::dcps::Condition*, ::dds::core::cond::Condition> conditions_;
};

}  // namespace cond
}  // namespace core
}  // namespace vexa

#endif
