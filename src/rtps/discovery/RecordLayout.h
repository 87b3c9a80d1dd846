#pragma once

// The field order of the five packed discovery records, written once for the encoder, the size
// count and the decoder. An `Io` offers, for a field f of the record (const for writing and
// counting, mutable for reading):
//   u8(f) i32(f) u32(f) kind(f) flag(f) duration(f) key(f) guid(f) raw(p, n)
//   text(f) texts(f) octets(f) locators(f) oneLocator(f)
// All numbers are little-endian; there are no gaps between fields and no encapsulation header.

#include "rtps/discovery/DiscoveryRecords.h"

namespace RTPS {
namespace layout {

// Durability service: cleanup delay, history kind and depth, three resource limits (28 bytes).
template <class Io, class Rec>
void durabilityService(Io& io, Rec& d) {
    io.duration(d.service_cleanup_delay);
    io.kind(d.history_kind);
    io.i32(d.history_depth);
    io.i32(d.max_samples);
    io.i32(d.max_instances);
    io.i32(d.max_samples_per_instance);
}

template <class Io, class Rec>
void participant(Io& io, Rec& r) {
    io.u8(r.protocolVersion[0]);
    io.u8(r.protocolVersion[1]);
    io.raw(r.guidPrefix, sizeof r.guidPrefix);
    io.raw(r.vendorId, sizeof r.vendorId);
    io.flag(r.expectsInlineQos);
    io.u32(r.availableBuiltinEndpoints);
    io.oneLocator(r.metatrafficUnicastLocator);
    io.oneLocator(r.metatrafficMulticastLocator);
    io.oneLocator(r.defaultMulticastLocator);
    io.oneLocator(r.defaultUnicastLocator);
    io.i32(r.manualLivelinessCount);
    io.duration(r.leaseDuration);
    io.key(r.participant.key);
    io.octets(r.participant.user_data.value);
}

template <class Io, class Rec>
void publication(Io& io, Rec& r) {
    auto& p = r.publicationData;
    io.key(p.key);
    io.key(p.participant_key);
    io.text(p.topic_name);
    io.text(p.type_name);
    // QoS block, 80 bytes.
    io.kind(p.durability.kind);
    durabilityService(io, p.durability_service);
    io.duration(p.deadline.period);
    io.duration(p.latency_budget.duration);
    io.kind(p.liveliness.kind);
    io.duration(p.liveliness.lease_duration);
    io.kind(p.reliability.kind);
    io.duration(p.reliability.max_blocking_time);
    io.duration(p.lifespan.duration);

    io.octets(p.user_data.value);
    io.kind(p.ownership.kind);
    io.i32(p.ownership_strength.value);
    io.kind(p.destination_order.kind);
    io.kind(p.presentation.access_scope);
    io.flag(p.presentation.coherent_access);
    io.flag(p.presentation.ordered_access);
    io.texts(p.partition.name);
    io.octets(p.topic_data.value);
    io.octets(p.group_data.value);
    io.guid(r.writerProxy.remoteWriterGuid);
    io.locators(r.writerProxy.unicastLocatorList);
    io.locators(r.writerProxy.multicastLocatorList);
}

template <class Io, class Rec>
void subscription(Io& io, Rec& r) {
    auto& s = r.subscriptionData;
    io.key(s.key);
    io.key(s.participant_key);
    io.text(s.topic_name);
    io.text(s.type_name);
    // QoS block, 52 bytes.
    io.kind(s.durability.kind);
    io.duration(s.deadline.period);
    io.duration(s.latency_budget.duration);
    io.kind(s.liveliness.kind);
    io.duration(s.liveliness.lease_duration);
    io.kind(s.reliability.kind);
    io.duration(s.reliability.max_blocking_time);
    io.kind(s.ownership.kind);
    io.kind(s.destination_order.kind);

    io.octets(s.user_data.value);
    io.duration(s.time_based_filter.minimum_separation);
    io.kind(s.presentation.access_scope);
    io.flag(s.presentation.coherent_access);
    io.flag(s.presentation.ordered_access);
    io.texts(s.partition.name);
    io.octets(s.topic_data.value);
    io.octets(s.group_data.value);
    io.guid(r.readerProxy.remoteReaderGuid);
    io.flag(r.readerProxy.expectsInlineQos);
    io.locators(r.readerProxy.unicastLocatorList);
    io.locators(r.readerProxy.multicastLocatorList);
    io.raw(r.contentFilter, sizeof r.contentFilter);
}

template <class Io, class Rec>
void topic(Io& io, Rec& r) {
    auto& t = r.topicData;
    io.key(t.key);
    io.text(t.name);
    io.text(t.type_name);
    // QoS block, 112 bytes.
    io.kind(t.durability.kind);
    durabilityService(io, t.durability_service);
    io.duration(t.deadline.period);
    io.duration(t.latency_budget.duration);
    io.kind(t.liveliness.kind);
    io.duration(t.liveliness.lease_duration);
    io.kind(t.reliability.kind);
    io.duration(t.reliability.max_blocking_time);
    io.i32(t.transport_priority.value);
    io.duration(t.lifespan.duration);
    io.kind(t.destination_order.kind);
    io.kind(t.history.kind);
    io.i32(t.history.depth);
    io.i32(t.resource_limits.max_samples);
    io.i32(t.resource_limits.max_instances);
    io.i32(t.resource_limits.max_samples_per_instance);
    io.kind(t.ownership.kind);

    io.octets(t.topic_data.value);
}

template <class Io, class Rec>
void message(Io& io, Rec& r) {
    io.raw(r.guidPrefix, sizeof r.guidPrefix);
    io.raw(r.kind, sizeof r.kind);
    io.octets(r.data);
}

}  // namespace layout
}  // namespace RTPS
