#ifndef DDS_CORE_COND_WAITSET_HPP
#define DDS_CORE_COND_WAITSET_HPP

// Blocks an application thread until an attached condition is triggered or a time limit
// passes.

#include <memory>

#include "dds/core/Reference.hpp"
#include "vexa/core/cond/WaitSetImpl.hpp"

namespace dds {
namespace core {
namespace cond {

template <typename D>
class TWaitSet : public Reference<D> {
public:
    using ConditionSeq = typename D::ConditionSeq;

    TWaitSet() : Reference<D>(std::make_shared<D>()) {}

    ConditionSeq wait(Duration const& timeout = Duration::infinite()) {
        ConditionSeq triggered;
        this->impl_->wait(triggered, timeout);
        return triggered;
    }
    ConditionSeq& wait(ConditionSeq& triggered, Duration const& timeout = Duration::infinite()) {
        this->impl_->wait(triggered, timeout);
        return triggered;
    }
    void dispatch(Duration const& timeout = Duration::infinite()) {
        this->impl_->dispatch(timeout);
    }

    TWaitSet& attach_condition(Condition const& c) {
        this->impl_->attach_condition(c);
        return *this;
    }
    TWaitSet& operator+=(Condition const& c) { return attach_condition(c); }
    bool detach_condition(Condition const& c) { return this->impl_->detach_condition(c); }
    TWaitSet& operator-=(Condition const& c) {
        detach_condition(c);
        return *this;
    }
    ConditionSeq conditions() const {
        ConditionSeq out;
        this->impl_->conditions(out);
        return out;
    }
};

using WaitSet = TWaitSet<vexa::core::cond::WaitSetImpl>;

}  // namespace cond
}  // namespace core
}  // namespace dds

#endif
