#ifndef VEXA_DDS_BUILTINTOPICDATA_H
#define VEXA_DDS_BUILTINTOPICDATA_H

// The discovery records of the four built-in topics, as the core, the engine and the API
// exchange them in memory. They own strings and sequences: copy them by assignment (member by
// member), never as raw bytes, or two records end up sharing, and later freeing, one buffer.

#include <cstdint>
#include <string>

#include "vexa/dds/QosPolicy.h"

namespace vexa {
namespace dds {

constexpr char DCPS_PARTICIPANT_TOPIC_NAME[] = "DCPSParticipant";
constexpr char DCPS_TOPIC_TOPIC_NAME[] = "DCPSTopic";
constexpr char DCPS_PUBLICATION_TOPIC_NAME[] = "DCPSPublication";
constexpr char DCPS_SUBSCRIPTION_TOPIC_NAME[] = "DCPSSubscription";

// Twelve bytes seen as three words; a participant's key is its GUID prefix.
struct BuiltinTopicKey_t {
    uint32_t value[3] = {0, 0, 0};
};

static_assert(sizeof(BuiltinTopicKey_t) == 12, "a key is a 12-byte GUID prefix");

inline bool operator==(BuiltinTopicKey_t const& a, BuiltinTopicKey_t const& b) {
    return a.value[0] == b.value[0] && a.value[1] == b.value[1] && a.value[2] == b.value[2];
}
inline bool operator!=(BuiltinTopicKey_t const& a, BuiltinTopicKey_t const& b) {
    return !(a == b);
}

struct ParticipantBuiltinTopicData {
    BuiltinTopicKey_t key;
    UserDataQosPolicy user_data;
};

struct TopicBuiltinTopicData {
    BuiltinTopicKey_t key;
    std::string name;
    std::string type_name;
    DurabilityQosPolicy durability;
    DurabilityServiceQosPolicy durability_service;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    TransportPriorityQosPolicy transport_priority;
    LifespanQosPolicy lifespan;
    DestinationOrderQosPolicy destination_order;
    HistoryQosPolicy history;
    ResourceLimitsQosPolicy resource_limits;
    OwnershipQosPolicy ownership;
    TopicDataQosPolicy topic_data;
};

struct PublicationBuiltinTopicData {
    BuiltinTopicKey_t key;
    BuiltinTopicKey_t participant_key;
    std::string topic_name;
    std::string type_name;
    DurabilityQosPolicy durability;
    DurabilityServiceQosPolicy durability_service;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    LifespanQosPolicy lifespan;
    UserDataQosPolicy user_data;
    OwnershipQosPolicy ownership;
    OwnershipStrengthQosPolicy ownership_strength;
    DestinationOrderQosPolicy destination_order;
    PresentationQosPolicy presentation;
    PartitionQosPolicy partition;
    TopicDataQosPolicy topic_data;
    GroupDataQosPolicy group_data;
};

struct SubscriptionBuiltinTopicData {
    BuiltinTopicKey_t key;
    BuiltinTopicKey_t participant_key;
    std::string topic_name;
    std::string type_name;
    DurabilityQosPolicy durability;
    DeadlineQosPolicy deadline;
    LatencyBudgetQosPolicy latency_budget;
    LivelinessQosPolicy liveliness;
    ReliabilityQosPolicy reliability;
    OwnershipQosPolicy ownership;
    DestinationOrderQosPolicy destination_order;
    UserDataQosPolicy user_data;
    TimeBasedFilterQosPolicy time_based_filter;
    PresentationQosPolicy presentation;
    PartitionQosPolicy partition;
    TopicDataQosPolicy topic_data;
    GroupDataQosPolicy group_data;
};

// Member-by-member equality, key included.
bool operator==(ParticipantBuiltinTopicData const& a, ParticipantBuiltinTopicData const& b);
bool operator==(TopicBuiltinTopicData const& a, TopicBuiltinTopicData const& b);
bool operator==(PublicationBuiltinTopicData const& a, PublicationBuiltinTopicData const& b);
bool operator==(SubscriptionBuiltinTopicData const& a, SubscriptionBuiltinTopicData const& b);

inline bool operator!=(ParticipantBuiltinTopicData const& a, ParticipantBuiltinTopicData const& b) {
    return !(a == b);
}
inline bool operator!=(TopicBuiltinTopicData const& a, TopicBuiltinTopicData const& b) {
    return !(a == b);
}
inline bool operator!=(PublicationBuiltinTopicData const& a, PublicationBuiltinTopicData const& b) {
    return !(a == b);
}
inline bool operator!=(SubscriptionBuiltinTopicData const& a,
                       SubscriptionBuiltinTopicData const& b) {
    return !(a == b);
}

}  // namespace dds
}  // namespace vexa

#endif
