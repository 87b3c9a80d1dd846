#pragma once

#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// Whether an endpoint's topic has a key: TOPIC_KIND_NO_KEY (1) or TOPIC_KIND_WITH_KEY (2),
// the values of rtps/history/EndpointConfig.h.
using TOPIC_KIND = uint32_t;

// What the DCPS core passes beside every writer or reader description, at creation and at
// every QoS change.
struct RTPS_AdditionalTopicData {
    vexa::dds::Time_t timestamp;  // the creation or change time on the participant's clock
    int32_t transportPriority = 0;
};

}  // namespace RTPS
