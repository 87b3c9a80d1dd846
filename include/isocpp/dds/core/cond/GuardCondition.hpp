#ifndef DDS_CORE_COND_GUARDCONDITION_HPP
#define DDS_CORE_COND_GUARDCONDITION_HPP

// A condition the application triggers: trigger_value(true) wakes the wait sets it is
// attached to; a handler runs when a wait set's dispatch finds it triggered.

#include <functional>
#include <memory>

#include "dds/core/cond/TCondition.hpp"
#include "vexa/core/cond/GuardConditionImpl.hpp"

namespace dds {
namespace core {
namespace cond {

template <typename D>
class TGuardCondition : public TCondition<vexa::core::cond::ConditionImpl> {
public:
    TGuardCondition() : TCondition(std::make_shared<D>()) {}
    template <typename F>
    explicit TGuardCondition(F const& handler) : TGuardCondition() {
        impl()->handler(std::function<void()>(handler));
    }

    using TCondition::trigger_value;
    void trigger_value(bool value) { impl()->trigger_value(value); }
    template <typename F>
    void handler(F const& h) {
        impl()->handler(std::function<void()>(h));
    }
    void reset_handler() { impl()->handler(std::function<void()>()); }

private:
    D* impl() const { return static_cast<D*>(this->impl_.get()); }
};

using GuardCondition = TGuardCondition<vexa::core::cond::GuardConditionImpl>;

}  // namespace cond
}  // namespace core
}  // namespace dds

#endif
