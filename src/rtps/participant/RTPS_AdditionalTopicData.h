#pragma once

#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// What the DCPS core gives beside every writer or reader description it adds or changes.
struct RTPS_AdditionalTopicData {
    vexa::dds::Time_t timestamp;  // of the creation or the QoS change
    int32_t transportPriority;    // taken over by writers; non-zero sends on the fast queue
};

}  // namespace RTPS
