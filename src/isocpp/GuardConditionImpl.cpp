#include "vexa/core/cond/GuardConditionImpl.hpp"

#include "dcps/condition/GuardCondition.h"

namespace vexa {
namespace core {
namespace cond {

GuardConditionImpl::GuardConditionImpl() : guard_(std::make_shared<vexa::dcps::GuardCondition>()) {
    condition_ = guard_.get();
}

GuardConditionImpl::~GuardConditionImpl() = default;

void GuardConditionImpl::dispatch() {
    if (handler_) {
        handler_();
    }
}

void GuardConditionImpl::trigger_value(bool value) {
    guard_->set_trigger_value(value);
}

}  // namespace cond
}  // namespace core
}  // namespace vexa
