#ifndef DDS_CORE_COND_TCONDITION_HPP
#define DDS_CORE_COND_TCONDITION_HPP

// An application condition: a shared reference to its implementation. Two handles are equal
// when they share one implementation.

#include "dds/core/Reference.hpp"
#include "vexa/core/cond/ConditionImpl.hpp"

namespace dds {
namespace core {
namespace cond {

template <typename D>
class TCondition : public Reference<D> {
public:
    TCondition() = default;
    TCondition(null_type const& nil) : Reference<D>(nil) {}
    explicit TCondition(std::shared_ptr<D> const& impl) : Reference<D>(impl) {}
    ~TCondition() override = default;
    TCondition(TCondition const&) = default;
    TCondition& operator=(TCondition const&) = default;

    virtual void dispatch() { this->impl_->dispatch(); }
    virtual bool trigger_value() const { return this->impl_->get_trigger_value(); }
};

using Condition = TCondition<vexa::core::cond::ConditionImpl>;

}  // namespace cond
}  // namespace core
}  // namespace dds

#endif
