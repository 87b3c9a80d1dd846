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
    std::weak_ptr<void> forgotten;
    {
        std::lock_guard<std::mutex> lock(apiObjectMutex_);
        forgotten.swap(apiObject_);
    }
    marked_ = true;
}

void Entity::setApiObject(std::weak_ptr<void> object) {
    std::lock_guard<std::mutex> lock(apiObjectMutex_);
    apiObject_.swap(object);
}

std::shared_ptr<void> Entity::getApiObject() const {
    std::lock_guard<std::mutex> lock(apiObjectMutex_);
    return apiObject_.lock();
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
