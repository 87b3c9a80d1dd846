#pragma once

// Discovery records with a distinct value in every field, so a field written in the wrong
// place or dropped shows, and comparisons for the records that have no operator==.

#include <cstring>

#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/wire/Locator.h"

namespace discovery_samples {

using namespace RTPS;

inline Locator_t udp(char const* address, uint32_t port) {
    Locator_t l{LOCATOR_KIND_UDPv4, port, {}};
    strToLoc(&l, address);
    return l;
}

inline GUID_t guidOf(uint8_t seed, EntityId_t id) {
    GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.guidPrefix[1] = 0xAA;
    for (unsigned i = 2; i < GUID_PREFIX_SIZE; ++i) {
        g.guidPrefix[i] = static_cast<uint8_t>(seed + i);
    }
    g.entityId = id;
    return g;
}

inline vexa::dds::BuiltinTopicKey_t keyOf(uint8_t const* prefix) {
    vexa::dds::BuiltinTopicKey_t k;
    std::memcpy(k.value, prefix, sizeof k.value);
    return k;
}

inline SPDPdiscoveredParticipantData participantSample() {
    SPDPdiscoveredParticipantData p;
    p.protocolVersion[0] = 2;
    p.protocolVersion[1] = 1;
    GUID_t const g = guidOf(0x10, _ENTITYID_PARTICIPANT);
    std::memcpy(p.guidPrefix, g.guidPrefix, sizeof p.guidPrefix);
    p.vendorId[0] = 0xAA;
    p.vendorId[1] = 0xAB;
    p.expectsInlineQos = true;
    p.availableBuiltinEndpoints = BUILTIN_ENDPOINTS_OWN;
    p.metatrafficUnicastLocator = udp("127.0.0.1", 7410);
    p.metatrafficMulticastLocator = udp("239.255.0.1", 7400);
    p.defaultMulticastLocator = _LOCATOR_INVALID;
    p.defaultUnicastLocator = udp("127.0.0.1", 7411);
    p.manualLivelinessCount = -7;
    p.leaseDuration = {45, 123};
    p.participant.key = keyOf(p.guidPrefix);
    p.participant.user_data.value = {1, 2, 3, 4, 5};
    return p;
}

inline vexa::dds::DurabilityServiceQosPolicy durabilityServiceSample() {
    vexa::dds::DurabilityServiceQosPolicy d;
    d.service_cleanup_delay = {1, 2};
    d.history_kind = vexa::dds::KEEP_ALL_HISTORY_QOS;
    d.history_depth = 11;
    d.max_samples = 12;
    d.max_instances = 13;
    d.max_samples_per_instance = 14;
    return d;
}

inline DiscoveredWriterData writerSample() {
    DiscoveredWriterData w;
    auto& p = w.publicationData;
    GUID_t const g = guidOf(0x20, EntityId_t{{0, 0, 5}, 0x02});
    p.key.value[0] = 0x00000500;
    p.key.value[1] = 0x11;
    p.key.value[2] = 0x12;
    p.participant_key = keyOf(g.guidPrefix);
    p.topic_name = "ab";
    p.type_name = "Type";
    p.durability.kind = vexa::dds::PERSISTENT_DURABILITY_QOS;
    p.durability_service = durabilityServiceSample();
    p.deadline.period = {3, 4};
    p.latency_budget.duration = {5, 6};
    p.liveliness.kind = vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    p.liveliness.lease_duration = {7, 8};
    p.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    p.reliability.max_blocking_time = {9, 10};
    p.lifespan.duration = {15, 16};
    p.user_data.value = {0xE1, 0xE2};
    p.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;
    p.ownership_strength.value = -5;
    p.destination_order.kind = vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    p.presentation.access_scope = vexa::dds::GROUP_PRESENTATION_QOS;
    p.presentation.coherent_access = true;
    p.presentation.ordered_access = false;
    p.partition.name = {"A*", "B"};
    p.topic_data.value = {0xD1};
    w.writerProxy.remoteWriterGuid = g;
    w.writerProxy.unicastLocatorList = {udp("127.0.0.1", 7411)};
    w.writerProxy.multicastLocatorList = {udp("239.255.1.2", 7401), udp("239.255.1.3", 7402)};
    return w;
}

inline DiscoveredReaderData readerSample() {
    DiscoveredReaderData r;
    auto& s = r.subscriptionData;
    GUID_t const g = guidOf(0x30, EntityId_t{{0, 0, 6}, 0x07});
    s.key.value[0] = 0x00000600;
    s.participant_key = keyOf(g.guidPrefix);
    s.topic_name = "ab";
    s.type_name = "";
    s.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    s.deadline.period = {3, 4};
    s.latency_budget.duration = {5, 6};
    s.liveliness.kind = vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS;
    s.liveliness.lease_duration = {7, 8};
    s.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    s.reliability.max_blocking_time = {9, 10};
    s.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;
    s.destination_order.kind = vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    s.time_based_filter.minimum_separation = {0, 500};
    s.presentation.access_scope = vexa::dds::TOPIC_PRESENTATION_QOS;
    s.presentation.coherent_access = false;
    s.presentation.ordered_access = true;
    s.partition.name = {"ABC"};
    s.group_data.value = {0xC1};
    r.readerProxy.remoteReaderGuid = g;
    r.readerProxy.expectsInlineQos = true;
    r.readerProxy.unicastLocatorList = {udp("127.0.0.1", 7413)};
    r.contentFilter[0] = 'x';
    r.contentFilter[DiscoveredReaderData::CONTENT_FILTER_SIZE - 1] = 'z';
    return r;
}

inline DiscoveredTopicData topicSample() {
    DiscoveredTopicData d;
    auto& t = d.topicData;
    t.key.value[0] = 0x0700;
    t.key.value[2] = 0xFFFFFFFF;
    t.name = "ab";
    t.type_name = "T";
    t.durability.kind = vexa::dds::TRANSIENT_DURABILITY_QOS;
    t.durability_service = durabilityServiceSample();
    t.deadline.period = {3, 4};
    t.latency_budget.duration = {5, 6};
    t.liveliness.kind = vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    t.liveliness.lease_duration = {7, 8};
    t.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    t.reliability.max_blocking_time = {9, 10};
    t.transport_priority.value = -3;
    t.lifespan.duration = {15, 16};
    t.destination_order.kind = vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    t.history.kind = vexa::dds::KEEP_ALL_HISTORY_QOS;
    t.history.depth = 20;
    t.resource_limits.max_samples = 21;
    t.resource_limits.max_instances = 22;
    t.resource_limits.max_samples_per_instance = 23;
    t.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;
    t.topic_data.value = {7, 8};
    return d;
}

inline ParticipantMessageData messageSample() {
    ParticipantMessageData m;
    GUID_t const g = guidOf(0x40, _ENTITYID_PARTICIPANT);
    std::memcpy(m.guidPrefix, g.guidPrefix, sizeof m.guidPrefix);
    m.kind[3] = 2;
    m.data = {9, 8, 7};
    return m;
}

inline bool sameParticipant(SPDPdiscoveredParticipantData const& a,
                            SPDPdiscoveredParticipantData const& b) {
    return std::memcmp(a.protocolVersion, b.protocolVersion, 2) == 0 &&
           prefixEq(a.guidPrefix, b.guidPrefix) && std::memcmp(a.vendorId, b.vendorId, 2) == 0 &&
           a.expectsInlineQos == b.expectsInlineQos &&
           a.availableBuiltinEndpoints == b.availableBuiltinEndpoints &&
           a.metatrafficUnicastLocator == b.metatrafficUnicastLocator &&
           a.metatrafficMulticastLocator == b.metatrafficMulticastLocator &&
           a.defaultMulticastLocator == b.defaultMulticastLocator &&
           a.defaultUnicastLocator == b.defaultUnicastLocator &&
           a.manualLivelinessCount == b.manualLivelinessCount &&
           a.leaseDuration == b.leaseDuration && a.participant == b.participant;
}

inline bool sameWriter(DiscoveredWriterData const& a, DiscoveredWriterData const& b) {
    return a.publicationData == b.publicationData &&
           a.writerProxy.remoteWriterGuid == b.writerProxy.remoteWriterGuid &&
           a.writerProxy.unicastLocatorList == b.writerProxy.unicastLocatorList &&
           a.writerProxy.multicastLocatorList == b.writerProxy.multicastLocatorList;
}

inline bool sameReader(DiscoveredReaderData const& a, DiscoveredReaderData const& b) {
    return a.subscriptionData == b.subscriptionData &&
           a.readerProxy.remoteReaderGuid == b.readerProxy.remoteReaderGuid &&
           a.readerProxy.expectsInlineQos == b.readerProxy.expectsInlineQos &&
           a.readerProxy.unicastLocatorList == b.readerProxy.unicastLocatorList &&
           a.readerProxy.multicastLocatorList == b.readerProxy.multicastLocatorList &&
           std::memcmp(a.contentFilter, b.contentFilter, sizeof a.contentFilter) == 0;
}

inline bool sameMessage(ParticipantMessageData const& a, ParticipantMessageData const& b) {
    return prefixEq(a.guidPrefix, b.guidPrefix) && std::memcmp(a.kind, b.kind, 4) == 0 &&
           a.data == b.data;
}

}  // namespace discovery_samples
