#pragma once

#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// What the DCPS core gives beside every writer or reader description it adds or changes: the
// time stamp of the creation or change, and the transport priority the endpoint's submessages
// carry (non-zero: the transport's high-priority queue).
struct RTPS_AdditionalTopicData {
    vexa::dds::Time_t timestamp;
    int32_t transportPriority = 0;
};

}  // namespace RTPS
