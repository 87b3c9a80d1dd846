#include "vexa/core/ConvertQos.hpp"

#include "vexa/core/policy/ConvertPolicy.hpp"

namespace vexa {

namespace {

using vexa::core::policy::convertPolicy;

// Converts one core policy into a copy of the holder's and puts it back: the holders hand out
// their policies read-only.
template <typename CORE, typename HOLDER, typename API>
void intoHolder(CORE const& from, HOLDER& holder, API const& current) {
    API p(current);
    convertPolicy(from, p);
    holder.policy(p);
}

template <typename GROUP_REC, typename HOLDER>
void groupToApi(GROUP_REC const& from, HOLDER& h) {
    intoHolder(from.presentation, h, h.presentation());
    intoHolder(from.partition, h, h.partition());
    intoHolder(from.group_data, h, h.group_data());
    intoHolder(from.entity_factory, h, h.entity_factory());
}

template <typename HOLDER, typename GROUP_REC>
void groupToCore(HOLDER const& h, GROUP_REC& to) {
    convertPolicy(h.presentation(), to.presentation);
    convertPolicy(h.partition(), to.partition);
    convertPolicy(h.group_data(), to.group_data);
    convertPolicy(h.entity_factory(), to.entity_factory);
}

}  // namespace

namespace domain {
namespace qos {

void convertQos(vexa::dds::DomainParticipantQos const& from,
                ::dds::domain::qos::DomainParticipantQos& to) {
    auto& h = to.delegate();
    intoHolder(from.user_data, h, h.user_data());
    intoHolder(from.entity_factory, h, h.entity_factory());
}

void convertQos(::dds::domain::qos::DomainParticipantQos const& from,
                vexa::dds::DomainParticipantQos& to) {
    auto const& h = from.delegate();
    convertPolicy(h.user_data(), to.user_data);
    convertPolicy(h.entity_factory(), to.entity_factory);
}

}  // namespace qos
}  // namespace domain

namespace topic {
namespace qos {

void convertQos(vexa::dds::TopicQos const& from, ::dds::topic::qos::TopicQos& to) {
    auto& h = to.delegate();
    intoHolder(from.topic_data, h, h.topic_data());
    intoHolder(from.durability, h, h.durability());
    intoHolder(from.durability_service, h, h.durability_service());
    intoHolder(from.ownership, h, h.ownership());
    intoHolder(from.deadline, h, h.deadline());
    intoHolder(from.latency_budget, h, h.latency_budget());
    intoHolder(from.liveliness, h, h.liveliness());
    intoHolder(from.reliability, h, h.reliability());
    intoHolder(from.destination_order, h, h.destination_order());
    intoHolder(from.history, h, h.history());
    intoHolder(from.resource_limits, h, h.resource_limits());
    intoHolder(from.transport_priority, h, h.transport_priority());
    intoHolder(from.lifespan, h, h.lifespan());
}

void convertQos(::dds::topic::qos::TopicQos const& from, vexa::dds::TopicQos& to) {
    auto const& h = from.delegate();
    convertPolicy(h.topic_data(), to.topic_data);
    convertPolicy(h.durability(), to.durability);
    convertPolicy(h.durability_service(), to.durability_service);
    convertPolicy(h.deadline(), to.deadline);
    convertPolicy(h.latency_budget(), to.latency_budget);
    convertPolicy(h.liveliness(), to.liveliness);
    convertPolicy(h.reliability(), to.reliability);
    convertPolicy(h.destination_order(), to.destination_order);
    convertPolicy(h.history(), to.history);
    convertPolicy(h.resource_limits(), to.resource_limits);
    convertPolicy(h.transport_priority(), to.transport_priority);
    convertPolicy(h.lifespan(), to.lifespan);
    convertPolicy(h.ownership(), to.ownership);
}

}  // namespace qos
}  // namespace topic

namespace pub {
namespace qos {

void convertQos(vexa::dds::PublisherQos const& from, ::dds::pub::qos::PublisherQos& to) {
    groupToApi(from, to.delegate());
}

void convertQos(::dds::pub::qos::PublisherQos const& from, vexa::dds::PublisherQos& to) {
    groupToCore(from.delegate(), to);
}

void convertQos(vexa::dds::DataWriterQos const& from, ::dds::pub::qos::DataWriterQos& to) {
    auto& h = to.delegate();
    intoHolder(from.durability, h, h.durability());
    intoHolder(from.durability_service, h, h.durability_service());
    intoHolder(from.deadline, h, h.deadline());
    intoHolder(from.latency_budget, h, h.latency_budget());
    intoHolder(from.liveliness, h, h.liveliness());
    intoHolder(from.reliability, h, h.reliability());
    intoHolder(from.destination_order, h, h.destination_order());
    intoHolder(from.history, h, h.history());
    intoHolder(from.resource_limits, h, h.resource_limits());
    intoHolder(from.transport_priority, h, h.transport_priority());
    intoHolder(from.lifespan, h, h.lifespan());
    intoHolder(from.user_data, h, h.user_data());
    intoHolder(from.ownership, h, h.ownership());
    intoHolder(from.ownership_strength, h, h.ownership_strength());
    intoHolder(from.writer_data_lifecycle, h, h.writer_data_lifecycle());
}

void convertQos(::dds::pub::qos::DataWriterQos const& from, vexa::dds::DataWriterQos& to) {
    auto const& h = from.delegate();
    convertPolicy(h.durability(), to.durability);
    convertPolicy(h.durability_service(), to.durability_service);
    convertPolicy(h.deadline(), to.deadline);
    convertPolicy(h.latency_budget(), to.latency_budget);
    convertPolicy(h.liveliness(), to.liveliness);
    convertPolicy(h.reliability(), to.reliability);
    convertPolicy(h.destination_order(), to.destination_order);
    convertPolicy(h.history(), to.history);
    convertPolicy(h.resource_limits(), to.resource_limits);
    convertPolicy(h.transport_priority(), to.transport_priority);
    convertPolicy(h.lifespan(), to.lifespan);
    convertPolicy(h.user_data(), to.user_data);
    convertPolicy(h.ownership(), to.ownership);
    convertPolicy(h.ownership_strength(), to.ownership_strength);
    convertPolicy(h.writer_data_lifecycle(), to.writer_data_lifecycle);
}

}  // namespace qos
}  // namespace pub

namespace sub {
namespace qos {

void convertQos(vexa::dds::SubscriberQos const& from, ::dds::sub::qos::SubscriberQos& to) {
    groupToApi(from, to.delegate());
}

void convertQos(::dds::sub::qos::SubscriberQos const& from, vexa::dds::SubscriberQos& to) {
    groupToCore(from.delegate(), to);
}

void convertQos(vexa::dds::DataReaderQos const& from, ::dds::sub::qos::DataReaderQos& to) {
    auto& h = to.delegate();
    intoHolder(from.durability, h, h.durability());
    intoHolder(from.deadline, h, h.deadline());
    intoHolder(from.latency_budget, h, h.latency_budget());
    intoHolder(from.liveliness, h, h.liveliness());
    intoHolder(from.reliability, h, h.reliability());
    intoHolder(from.destination_order, h, h.destination_order());
    intoHolder(from.history, h, h.history());
    intoHolder(from.resource_limits, h, h.resource_limits());
    intoHolder(from.user_data, h, h.user_data());
    intoHolder(from.ownership, h, h.ownership());
    intoHolder(from.time_based_filter, h, h.time_based_filter());
    intoHolder(from.reader_data_lifecycle, h, h.reader_data_lifecycle());
}

void convertQos(::dds::sub::qos::DataReaderQos const& from, vexa::dds::DataReaderQos& to) {
    auto const& h = from.delegate();
    convertPolicy(h.durability(), to.durability);
    convertPolicy(h.deadline(), to.deadline);
    convertPolicy(h.latency_budget(), to.latency_budget);
    convertPolicy(h.liveliness(), to.liveliness);
    convertPolicy(h.reliability(), to.reliability);
    convertPolicy(h.destination_order(), to.destination_order);
    convertPolicy(h.history(), to.history);
    convertPolicy(h.resource_limits(), to.resource_limits);
    convertPolicy(h.user_data(), to.user_data);
    convertPolicy(h.ownership(), to.ownership);
    convertPolicy(h.time_based_filter(), to.time_based_filter);
    convertPolicy(h.reader_data_lifecycle(), to.reader_data_lifecycle);
}

}  // namespace qos
}  // namespace sub
}  // namespace vexa
