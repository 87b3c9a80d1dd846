#include "vexa/dds/EntityQos.h"

namespace vexa {
namespace dds {

// Every policy record starts at the core's default, so most predefined sets are just the
// default-constructed record; the values are written out here anyway, so that a change to a
// policy's initialiser cannot silently change what entities are created with.

DomainParticipantQos predefParticipantQos() {
    DomainParticipantQos q;
    q.user_data.value.clear();
    q.entity_factory.autoenable_created_entities = true;
    return q;
}

TopicQos predefTopicQos() {
    TopicQos q;
    q.topic_data.value.clear();
    q.durability.kind = VOLATILE_DURABILITY_QOS;
    q.durability_service =
        DurabilityServiceQosPolicy{DURATION_ZERO,    KEEP_LAST_HISTORY_QOS, 1,
                                   LENGTH_UNLIMITED, LENGTH_UNLIMITED,      LENGTH_UNLIMITED};
    q.deadline.period = DURATION_INFINITE;
    q.latency_budget.duration = DURATION_ZERO;
    q.liveliness = LivelinessQosPolicy{AUTOMATIC_LIVELINESS_QOS, DURATION_INFINITE};
    q.reliability = ReliabilityQosPolicy{BEST_EFFORT_RELIABILITY_QOS, {0, 100000000u}};
    q.destination_order.kind = BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS;
    q.history = HistoryQosPolicy{KEEP_LAST_HISTORY_QOS, 1};
    q.resource_limits =
        ResourceLimitsQosPolicy{LENGTH_UNLIMITED, LENGTH_UNLIMITED, LENGTH_UNLIMITED};
    q.transport_priority.value = 0;
    q.lifespan.duration = DURATION_INFINITE;
    q.ownership.kind = SHARED_OWNERSHIP_QOS;
    return q;
}

PublisherQos predefPublisherQos() {
    PublisherQos q;
    q.presentation = PresentationQosPolicy{INSTANCE_PRESENTATION_QOS, false, false};
    q.partition.name.clear();
    q.group_data.value.clear();
    q.entity_factory.autoenable_created_entities = true;
    return q;
}

SubscriberQos predefSubscriberQos() {
    SubscriberQos q;
    q.presentation = PresentationQosPolicy{INSTANCE_PRESENTATION_QOS, false, false};
    q.partition.name.clear();
    q.group_data.value.clear();
    q.entity_factory.autoenable_created_entities = true;
    return q;
}

DataWriterQos predefDataWriterQos() {
    TopicQos const t = predefTopicQos();
    DataWriterQos q;
    q.durability = t.durability;
    q.durability_service = t.durability_service;
    q.deadline = t.deadline;
    q.latency_budget = t.latency_budget;
    q.liveliness = t.liveliness;
    q.reliability = t.reliability;
    q.destination_order = t.destination_order;
    q.history = t.history;
    q.resource_limits = t.resource_limits;
    q.transport_priority = t.transport_priority;
    q.lifespan = t.lifespan;
    q.user_data.value.clear();
    q.ownership = t.ownership;
    q.ownership_strength.value = 0;
    q.writer_data_lifecycle.autodispose_unregistered_instances = false;
    return q;
}

DataReaderQos predefDataReaderQos() {
    TopicQos const t = predefTopicQos();
    DataReaderQos q;
    q.durability = t.durability;
    q.deadline = t.deadline;
    q.latency_budget = t.latency_budget;
    q.liveliness = t.liveliness;
    q.reliability = t.reliability;
    q.destination_order = t.destination_order;
    q.history = t.history;
    q.resource_limits = t.resource_limits;
    q.user_data.value.clear();
    q.ownership = t.ownership;
    q.time_based_filter.minimum_separation = DURATION_ZERO;
    q.reader_data_lifecycle = ReaderDataLifecycleQosPolicy{DURATION_INFINITE, DURATION_INFINITE};
    return q;
}

DataReaderQos predefBuiltinReaderQos() {
    DataReaderQos q = predefDataReaderQos();
    q.durability.kind = TRANSIENT_LOCAL_DURABILITY_QOS;
    q.reliability.kind = RELIABLE_RELIABILITY_QOS;
    return q;
}

SubscriberQos predefBuiltinSubscriberQos() {
    SubscriberQos q = predefSubscriberQos();
    q.presentation.access_scope = TOPIC_PRESENTATION_QOS;
    return q;
}

bool operator==(DomainParticipantQos const& a, DomainParticipantQos const& b) {
    return a.user_data == b.user_data && a.entity_factory == b.entity_factory;
}

bool operator==(TopicQos const& a, TopicQos const& b) {
    return a.topic_data == b.topic_data && a.durability == b.durability &&
           a.durability_service == b.durability_service && a.deadline == b.deadline &&
           a.latency_budget == b.latency_budget && a.liveliness == b.liveliness &&
           a.reliability == b.reliability && a.destination_order == b.destination_order &&
           a.history == b.history && a.resource_limits == b.resource_limits &&
           a.transport_priority == b.transport_priority && a.lifespan == b.lifespan &&
           a.ownership == b.ownership;
}

bool operator==(PublisherQos const& a, PublisherQos const& b) {
    return a.presentation == b.presentation && a.partition == b.partition &&
           a.group_data == b.group_data && a.entity_factory == b.entity_factory;
}

bool operator==(SubscriberQos const& a, SubscriberQos const& b) {
    return a.presentation == b.presentation && a.partition == b.partition &&
           a.group_data == b.group_data && a.entity_factory == b.entity_factory;
}

bool operator==(DataWriterQos const& a, DataWriterQos const& b) {
    return a.durability == b.durability && a.durability_service == b.durability_service &&
           a.deadline == b.deadline && a.latency_budget == b.latency_budget &&
           a.liveliness == b.liveliness && a.reliability == b.reliability &&
           a.destination_order == b.destination_order && a.history == b.history &&
           a.resource_limits == b.resource_limits && a.transport_priority == b.transport_priority &&
           a.lifespan == b.lifespan && a.user_data == b.user_data && a.ownership == b.ownership &&
           a.ownership_strength == b.ownership_strength &&
           a.writer_data_lifecycle == b.writer_data_lifecycle;
}

bool operator==(DataReaderQos const& a, DataReaderQos const& b) {
    return a.durability == b.durability && a.deadline == b.deadline &&
           a.latency_budget == b.latency_budget && a.liveliness == b.liveliness &&
           a.reliability == b.reliability && a.destination_order == b.destination_order &&
           a.history == b.history && a.resource_limits == b.resource_limits &&
           a.user_data == b.user_data && a.ownership == b.ownership &&
           a.time_based_filter == b.time_based_filter &&
           a.reader_data_lifecycle == b.reader_data_lifecycle;
}

}  // namespace dds
}  // namespace vexa
