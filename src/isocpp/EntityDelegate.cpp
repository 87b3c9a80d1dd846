#include "vexa/core/EntityDelegate.hpp"

#include "dcps/entity/Entity.h"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace core {

EntityBase::~EntityBase() = default;

EntityDelegate::~EntityDelegate() = default;

void EntityDelegate::enable() {
    if (closed_ || entity_ == nullptr) {
        throw ::dds::core::AlreadyClosedError(
            "Entity has been already closed at EntityDelegate:41");
    }
    if (entity_->enable() != vexa::dds::RETCODE_OK) {
        throw ::dds::core::PreconditionNotMetError(
            "The factory is not enabled at EntityDelegate:37");
    }
}

::dds::core::status::StatusMask EntityDelegate::status_changes() {
    if (closed_ || entity_ == nullptr) {
        throw ::dds::core::AlreadyClosedError(
            "Entity has been already closed at EntityDelegate:50");
    }
    return ::dds::core::status::StatusMask(entity_->get_status_changes());
}

::dds::core::InstanceHandle EntityDelegate::instance_handle() const {
    if (closed_ || entity_ == nullptr) {
        throw ::dds::core::AlreadyClosedError(
            "Entity has been already closed at EntityDelegate:60");
    }
    return ::dds::core::InstanceHandle(entity_->getId());
}

void EntityDelegate::close() {
    closed_ = true;
}

void EntityDelegate::retain() {}

void EntityDelegate::register_api_obj(std::shared_ptr<EntityBase> const& obj) {
    if (entity_ != nullptr) {
        entity_->setApiObject(std::weak_ptr<void>(std::shared_ptr<void>(obj)));
    }
}

std::weak_ptr<EntityBase> EntityDelegate::api_obj(vexa::dcps::Entity* entity) {
    if (entity == nullptr) {
        return {};
    }
    // The slot holds what register_api_obj stored: an EntityBase seen as void.
    return std::static_pointer_cast<EntityBase>(entity->getApiObject());
}

}  // namespace core
}  // namespace vexa
