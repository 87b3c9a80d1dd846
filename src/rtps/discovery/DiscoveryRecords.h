#pragma once

#include <cstdint>
#include <vector>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// The decoded discovery records in memory: what the built-in writers announce and what the
// built-in readers store. They own their vectors and strings: copy them by assignment.

// Where a remote reader listens, as discovery learnt it.
struct ReaderProxyInfo {
    GUID_t guid{};
    bool expectsInlineQos = false;
    std::vector<Locator_t> unicastLocators;
    std::vector<Locator_t> multicastLocators;
};

// Where a remote writer sends from, as discovery learnt it.
struct WriterProxyInfo {
    GUID_t guid{};
    std::vector<Locator_t> unicastLocators;
    std::vector<Locator_t> multicastLocators;
};

struct DiscoveredWriterData {
    vexa::dds::PublicationBuiltinTopicData publication;
    WriterProxyInfo proxy;
};

struct DiscoveredReaderData {
    vexa::dds::SubscriptionBuiltinTopicData subscription;
    ReaderProxyInfo proxy;
    char contentFilter[4][256] = {};
};

// A participant's announcement.
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

// One liveliness message of the participant-message topic.
struct ParticipantMessageData {
    uint8_t guidPrefix[GUID_PREFIX_SIZE] = {};
    uint8_t kind[4] = {};
    std::vector<uint8_t> data;
};

}  // namespace RTPS
