#pragma once

#include "dcps/condition/Condition.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

// A condition the application sets.
class GuardCondition : public Condition {
public:
    // false -> true triggers and signals; true -> false untriggers; otherwise nothing. OK.
    vexa::dds::ReturnCode_t set_trigger_value(bool value) {
        if (value) {
            uint32_t expected = 0;
            if (trigger_.compare_exchange_strong(expected, 1u)) {
                signal();
            }
        } else {
            trigger_ = 0;
        }
        return vexa::dds::RETCODE_OK;
    }
};

}  // namespace vexa::dcps
