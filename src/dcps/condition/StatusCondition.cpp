#include "dcps/condition/StatusCondition.h"

#include "dcps/entity/Entity.h"

namespace vexa::dcps {

vexa::dds::ReturnCode_t StatusCondition::set_enabled_statuses(uint32_t mask) {
    if (mask_.exchange(mask) == mask) {
        return vexa::dds::RETCODE_OK;
    }
    if ((entity_->get_status_changes() & mask) != 0) {
        uint32_t expected = 0;
        if (trigger_.compare_exchange_strong(expected, 1u)) {
            signal();
        }
    } else {
        trigger_ = 0;
    }
    return vexa::dds::RETCODE_OK;
}

void StatusCondition::trySetTriggerValue(uint32_t changes) {
    if ((changes & mask_.load()) != 0) {
        uint32_t expected = 0;
        trigger_.compare_exchange_strong(expected, 1u);
    }
}

void StatusCondition::tryResetTriggerValue(uint32_t changes) {
    if ((changes & mask_.load()) == 0) {
        trigger_ = 0;
    }
}

}  // namespace vexa::dcps
