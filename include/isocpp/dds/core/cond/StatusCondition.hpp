#ifndef DDS_CORE_COND_STATUSCONDITION_HPP
#define DDS_CORE_COND_STATUSCONDITION_HPP

// The status condition of an entity: triggered while the entity has a changed status that
// enabled_statuses selects. The condition keeps the entity's delegate alive.

#include <memory>

#include "dds/core/cond/TCondition.hpp"
#include "vexa/core/cond/StatusConditionImpl.hpp"

namespace dds {
namespace core {
namespace cond {

template <typename D>
class TStatusCondition : public TCondition<vexa::core::cond::ConditionImpl> {
public:
    // `entity`: any entity handle (participant, publisher, subscriber, writer, reader).
    template <typename E>
    explicit TStatusCondition(E const& entity)
        : TCondition(std::make_shared<D>(entity.delegate())) {
        impl()->initByEntity();
    }

    void enabled_statuses(status::StatusMask const& mask) { impl()->enabled_statuses(mask); }
    status::StatusMask const& enabled_statuses() const { return impl()->enabled_statuses(); }

private:
    D* impl() const { return static_cast<D*>(this->impl_.get()); }
};

using StatusCondition = TStatusCondition<vexa::core::cond::StatusConditionImpl>;

}  // namespace cond
}  // namespace core
}  // namespace dds

#endif
