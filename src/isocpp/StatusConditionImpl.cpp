#include "vexa/core/cond/StatusConditionImpl.hpp"

#include "dcps/entity/Entity.h"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace core {
namespace cond {

StatusConditionImpl::StatusConditionImpl(std::shared_ptr<EntityDelegate> entity)
    : entity_(std::move(entity)) {}

StatusConditionImpl::~StatusConditionImpl() = default;

void StatusConditionImpl::initByEntity() {
    if (entity_ == nullptr || entity_->entity() == nullptr) {
        return;
    }
    vexa::dcps::StatusCondition& core = entity_->entity()->getStatusCondition();
    mask_ = ::dds::core::status::StatusMask(core.get_enabled_statuses());
    condition_ = &core;
}

void StatusConditionImpl::enabled_statuses(::dds::core::status::StatusMask const& mask) {
    if (condition_ == nullptr) {
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : No entity at cond/StatusConditionImpl:28");
    }
    static_cast<vexa::dcps::StatusCondition*>(condition_)
        ->set_enabled_statuses(static_cast<uint32_t>(mask.to_ulong()));
    mask_ = mask;
}

}  // namespace cond
}  // namespace core
}  // namespace vexa
