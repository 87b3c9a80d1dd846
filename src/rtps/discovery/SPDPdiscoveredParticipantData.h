#pragma once

#include <cstdint>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// Bits of availableBuiltinEndpoints: which built-in endpoints a participant runs.
inline constexpr uint32_t BUILTIN_ENDPOINT_PARTICIPANT_ANNOUNCER = 0x0001;
inline constexpr uint32_t BUILTIN_ENDPOINT_PARTICIPANT_DETECTOR = 0x0002;
inline constexpr uint32_t BUILTIN_ENDPOINT_PUBLICATION_ANNOUNCER = 0x0004;
inline constexpr uint32_t BUILTIN_ENDPOINT_PUBLICATION_DETECTOR = 0x0008;
inline constexpr uint32_t BUILTIN_ENDPOINT_SUBSCRIPTION_ANNOUNCER = 0x0010;
inline constexpr uint32_t BUILTIN_ENDPOINT_SUBSCRIPTION_DETECTOR = 0x0020;
inline constexpr uint32_t BUILTIN_ENDPOINT_PARTICIPANT_MESSAGE_WRITER = 0x0400;
inline constexpr uint32_t BUILTIN_ENDPOINT_PARTICIPANT_MESSAGE_READER = 0x0800;
inline constexpr uint32_t BUILTIN_ENDPOINT_TOPIC_ANNOUNCER = 0x1000;
inline constexpr uint32_t BUILTIN_ENDPOINT_TOPIC_DETECTOR = 0x2000;
// What this engine runs.
inline constexpr uint32_t BUILTIN_ENDPOINTS_OWN = 0x3C3F;

// A participant's announcement. The wire carries each locator as a list; the record keeps one.
struct SPDPdiscoveredParticipantData {
    uint8_t protocolVersion[2] = {2, 2};
    uint8_t guidPrefix[GUID_PREFIX_SIZE] = {};
    uint8_t vendorId[2] = {0xAA, 0xAA};
    bool expectsInlineQos = false;
    uint32_t availableBuiltinEndpoints = 0;
    Locator_t metatrafficUnicastLocator = _LOCATOR_INVALID;
    Locator_t metatrafficMulticastLocator = _LOCATOR_INVALID;
    Locator_t defaultMulticastLocator = _LOCATOR_INVALID;
    Locator_t defaultUnicastLocator = _LOCATOR_INVALID;
    int32_t manualLivelinessCount = 0;
    vexa::dds::Duration_t leaseDuration = vexa::dds::DURATION_INFINITE;
    vexa::dds::ParticipantBuiltinTopicData participant;
};

}  // namespace RTPS
