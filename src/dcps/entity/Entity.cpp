#include "dcps/entity/Entity.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

Entity::Entity(int32_t id, Entity* parent) : id_(id), statusCondition_(this), parent_(parent) {}

ReturnCode_t Entity::enable() {
    if (enabled_.load()) {
        return vexa::dds::RETCODE_OK;
    }
    if (parent_ != nullptr && !parent_->isEnabled()) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    enabled_ = true;
    enable_childs();
    return vexa::dds::RETCODE_OK;
}

void Entity::markToDelete() {
    apiObject_.reset();
    marked_ = true;
}

void Entity::set_status_changes(uint32_t mask) {
    statusChanges_.fetch_or(mask);
    statusCondition_.trySetTriggerValue(mask);
}

void Entity::reset_status_changes(uint32_t mask) {
    uint32_t const remaining = statusChanges_.fetch_and(~mask) & ~mask;
    statusCondition_.tryResetTriggerValue(remaining);
}

}  // namespace vexa::dcps
