#ifndef VEXA_CORE_COND_STATUSCONDITIONIMPL_HPP
#define VEXA_CORE_COND_STATUSCONDITIONIMPL_HPP

// An entity's status condition as the application holds it. It holds the entity's delegate,
// so the core entity, which owns the core condition, outlives every handle of the condition.

#include <memory>

#include "dds/core/status/StatusMask.hpp"
#include "vexa/core/cond/ConditionImpl.hpp"

namespace vexa {
namespace core {

class EntityDelegate;

namespace cond {

class StatusConditionImpl : public ConditionImpl {
public:
    explicit StatusConditionImpl(std::shared_ptr<EntityDelegate> entity);
    ~StatusConditionImpl() override;

    // Wraps the entity's core status condition and takes its mask (nothing without entity).
    void initByEntity();
    // PreconditionNotMetError without a wrapped condition.
    void enabled_statuses(::dds::core::status::StatusMask const& mask);
    ::dds::core::status::StatusMask const& enabled_statuses() const { return mask_; }
    std::shared_ptr<EntityDelegate> const& entity() const { return entity_; }

private:
    std::shared_ptr<EntityDelegate> entity_;
    ::dds::core::status::StatusMask mask_;
};

}  // namespace cond
}  // namespace core
}  // namespace vexa

#endif
