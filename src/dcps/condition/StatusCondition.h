#pragma once

#include <cstdint>

#include "dcps/condition/Condition.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

class Entity;

// An entity's status condition: triggered while the entity has a changed status that the
// enabled-status mask selects.
class StatusCondition : public Condition {
public:
    static constexpr uint32_t ALL_STATUSES = 0x7FFF;

    explicit StatusCondition(Entity* entity) : entity_(entity) {}

    // Stores a new mask; the trigger follows the entity's changes under it, and a rise from 0
    // signals at once. Returns OK.
    vexa::dds::ReturnCode_t set_enabled_statuses(uint32_t mask);
    uint32_t get_enabled_statuses() const { return mask_.load(); }
    Entity* getEntity() const { return entity_; }

    // From Entity::set_status_changes: raised bits that the mask selects trigger (no signal).
    void trySetTriggerValue(uint32_t changes);
    // From Entity::reset_status_changes with the remaining bits: none selected untriggers.
    void tryResetTriggerValue(uint32_t changes);

private:
    std::atomic<uint32_t> mask_{ALL_STATUSES};
    Entity* const entity_;
};

}  // namespace vexa::dcps
