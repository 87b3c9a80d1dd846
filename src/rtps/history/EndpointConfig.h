#pragma once

#include <cstdint>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"

namespace RTPS {

// A topic's kind: TOPIC_KIND_NO_KEY or TOPIC_KIND_WITH_KEY.
using TOPIC_KIND = uint32_t;

inline constexpr uint32_t TOPIC_KIND_NO_KEY = 1;
inline constexpr uint32_t TOPIC_KIND_WITH_KEY = 2;
inline constexpr uint32_t RELIABILITY_BEST_EFFORT = 1;
inline constexpr uint32_t RELIABILITY_RELIABLE = 3;

// What the participant gives a new writer or reader.
struct EndpointConfig {
    GUID_t guid;
    uint32_t topicKind;         // TOPIC_KIND_*
    uint32_t reliabilityLevel;  // RELIABILITY_*
    Locator_t unicastLocator;
    Locator_t multicastLocator;  // kind LOCATOR_KIND_INVALID: none
    uint32_t historyReserve;     // the endpoint's sample limit; a preallocation hint
};

}  // namespace RTPS
