#pragma once

#include <cstdint>

#include "dcps/condition/Condition.h"

namespace vexa::dcps {

class Reader;

// A reader's condition on sample, view and instance states: triggered by a stored sample whose
// states are all in its masks (one held when it is made counts); the reader destroys it.
class ReadCondition : public Condition {
public:
    ReadCondition(Reader* reader, uint32_t sampleMask, uint32_t viewMask, uint32_t instanceMask)
        : reader_(reader),
          sampleMask_(sampleMask),
          viewMask_(viewMask),
          instanceMask_(instanceMask) {}

    // Not yet triggered and each state in its mask: triggers (no signal).
    void trySetTriggerValue(uint32_t sampleState, uint32_t viewState, uint32_t instanceState) {
        if ((sampleState & sampleMask_) != 0 && (viewState & viewMask_) != 0 &&
            (instanceState & instanceMask_) != 0) {
            uint32_t expected = 0;
            trigger_.compare_exchange_strong(expected, 1u);
        }
    }
    void tryResetTriggerValue() { trigger_ = 0; }
    // Triggers (no signal): samples held when the condition was made.
    void setTriggered() {
        uint32_t expected = 0;
        trigger_.compare_exchange_strong(expected, 1u);
    }

    Reader* getReader() const { return reader_; }
    uint32_t getSampleStateMask() const { return sampleMask_; }
    uint32_t getViewStateMask() const { return viewMask_; }
    uint32_t getInstanceStateMask() const { return instanceMask_; }

private:
    Reader* const reader_;
    uint32_t const sampleMask_;
    uint32_t const viewMask_;
    uint32_t const instanceMask_;
};

}  // namespace vexa::dcps
