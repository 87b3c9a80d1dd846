#ifndef VEXA_DDS_ENTITYQOS_H
#define VEXA_DDS_ENTITYQOS_H

// The QoS sets of the six entity kinds and the predefined values the core starts from.

#include "vexa/dds/QosPolicy.h"

namespace vexa {
namespace dds {

struct DomainParticipantQos {
    UserDataQosPolicy user_data;
    EntityFactoryQosPolicy entity_factory;
};

struct TopicQos {
    TopicDataQosPolicy topic_data;
    DurabilityQosPolicy durability;
    DurabilityServiceQosPolicy durability_service;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    DestinationOrderQosPolicy destination_order;
    HistoryQosPolicy history;
    ResourceLimitsQosPolicy resource_limits;
    TransportPriorityQosPolicy transport_priority;
    LifespanQosPolicy lifespan;
    OwnershipQosPolicy ownership;
};

struct PublisherQos {
    PresentationQosPolicy presentation;
    PartitionQosPolicy partition;
    GroupDataQosPolicy group_data;
    EntityFactoryQosPolicy entity_factory;
};

struct SubscriberQos {
    PresentationQosPolicy presentation;
    PartitionQosPolicy partition;
    GroupDataQosPolicy group_data;
    EntityFactoryQosPolicy entity_factory;
};

struct DataWriterQos {
    DurabilityQosPolicy durability;
    DurabilityServiceQosPolicy durability_service;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    DestinationOrderQosPolicy destination_order;
    HistoryQosPolicy history;
    ResourceLimitsQosPolicy resource_limits;
    TransportPriorityQosPolicy transport_priority;
    LifespanQosPolicy lifespan;
    UserDataQosPolicy user_data;
    OwnershipQosPolicy ownership;
    OwnershipStrengthQosPolicy ownership_strength;
    WriterDataLifecycleQosPolicy writer_data_lifecycle;
};

struct DataReaderQos {
    DurabilityQosPolicy durability;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    DestinationOrderQosPolicy destination_order;
    HistoryQosPolicy history;
    ResourceLimitsQosPolicy resource_limits;
    UserDataQosPolicy user_data;
    OwnershipQosPolicy ownership;
    TimeBasedFilterQosPolicy time_based_filter;
    ReaderDataLifecycleQosPolicy reader_data_lifecycle;
};

// Predefined values, for entities created without a QoS and for resetting a default. They are
// returned by value so that static members of the entity classes can be initialised from them
// in any order.
DomainParticipantQos predefParticipantQos();
TopicQos predefTopicQos();
PublisherQos predefPublisherQos();
SubscriberQos predefSubscriberQos();
DataWriterQos predefDataWriterQos();
DataReaderQos predefDataReaderQos();
// The built-in readers keep discovery data for late joiners and must not lose it.
DataReaderQos predefBuiltinReaderQos();
// The built-in subscriber presents each discovery topic as a whole.
SubscriberQos predefBuiltinSubscriberQos();

// Member-by-member equality.
bool operator==(DomainParticipantQos const& a, DomainParticipantQos const& b);
bool operator==(TopicQos const& a, TopicQos const& b);
bool operator==(PublisherQos const& a, PublisherQos const& b);
bool operator==(SubscriberQos const& a, SubscriberQos const& b);
bool operator==(DataWriterQos const& a, DataWriterQos const& b);
bool operator==(DataReaderQos const& a, DataReaderQos const& b);

inline bool operator!=(DomainParticipantQos const& a, DomainParticipantQos const& b) {
    return !(a == b);
}
inline bool operator!=(TopicQos const& a, TopicQos const& b) {
    return !(a == b);
}
inline bool operator!=(PublisherQos const& a, PublisherQos const& b) {
    return !(a == b);
}
inline bool operator!=(SubscriberQos const& a, SubscriberQos const& b) {
    return !(a == b);
}
inline bool operator!=(DataWriterQos const& a, DataWriterQos const& b) {
    return !(a == b);
}
inline bool operator!=(DataReaderQos const& a, DataReaderQos const& b) {
    return !(a == b);
}

}  // namespace dds
}  // namespace vexa

#endif
