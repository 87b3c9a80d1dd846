#include "vexa/core/cond/ConditionImpl.hpp"

#include "dcps/condition/Condition.h"

namespace vexa {
namespace core {
namespace cond {

ConditionImpl::~ConditionImpl() = default;

void ConditionImpl::dispatch() {}

bool ConditionImpl::get_trigger_value() const {
    return condition_ != nullptr && condition_->isTriggered();
}

}  // namespace cond
}  // namespace core
}  // namespace vexa
