#ifndef VEXA_DDS_QOSPOLICY_H
#define VEXA_DDS_QOSPOLICY_H

// The QoS policy records. Each member starts at the value the core uses when nothing else is
// asked for, so a default-constructed policy is the core's default for it.

#include <cstdint>
#include <string>
#include <vector>

#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace dds {

using OctetSeq = std::vector<uint8_t>;
using StringSeq = std::vector<std::string>;

// Identifiers of the policies counted in IncompatibleQosStatus.
using QosPolicyId_t = int32_t;
constexpr QosPolicyId_t DURABILITY_QOS_POLICY_ID = 2;
constexpr QosPolicyId_t PRESENTATION_QOS_POLICY_ID = 3;
constexpr QosPolicyId_t DEADLINE_QOS_POLICY_ID = 4;
constexpr QosPolicyId_t LATENCYBUDGET_QOS_POLICY_ID = 5;
constexpr QosPolicyId_t OWNERSHIP_QOS_POLICY_ID = 6;
constexpr QosPolicyId_t LIVELINESS_QOS_POLICY_ID = 8;
constexpr QosPolicyId_t RELIABILITY_QOS_POLICY_ID = 11;
constexpr QosPolicyId_t DESTINATIONORDER_QOS_POLICY_ID = 12;

// Resource limit meaning "no limit".
constexpr int32_t LENGTH_UNLIMITED = -1;

// Kinds are 32-bit. For durability, liveliness, reliability and destination order a larger
// number is the stronger offer; matching compares the numbers, so their order matters. The
// fixed underlying type keeps any received value representable, also one outside the list.
enum DurabilityQosPolicyKind : uint32_t {
    VOLATILE_DURABILITY_QOS = 0,
    TRANSIENT_LOCAL_DURABILITY_QOS = 1,
    TRANSIENT_DURABILITY_QOS = 2,
    PERSISTENT_DURABILITY_QOS = 3
};
enum HistoryQosPolicyKind : uint32_t { KEEP_LAST_HISTORY_QOS = 0, KEEP_ALL_HISTORY_QOS = 1 };
enum PresentationQosPolicyAccessScopeKind : uint32_t {
    INSTANCE_PRESENTATION_QOS = 0,
    TOPIC_PRESENTATION_QOS = 1,
    GROUP_PRESENTATION_QOS = 2
};
enum OwnershipQosPolicyKind : uint32_t { SHARED_OWNERSHIP_QOS = 0, EXCLUSIVE_OWNERSHIP_QOS = 1 };
enum LivelinessQosPolicyKind : uint32_t {
    AUTOMATIC_LIVELINESS_QOS = 0,
    MANUAL_BY_PARTICIPANT_LIVELINESS_QOS = 1,
    MANUAL_BY_TOPIC_LIVELINESS_QOS = 2
};
enum ReliabilityQosPolicyKind : uint32_t {
    BEST_EFFORT_RELIABILITY_QOS = 0,
    RELIABLE_RELIABILITY_QOS = 1
};
enum DestinationOrderQosPolicyKind : uint32_t {
    BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS = 0,
    BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS = 1
};

struct UserDataQosPolicy {
    OctetSeq value;
};

struct TopicDataQosPolicy {
    OctetSeq value;
};

struct GroupDataQosPolicy {
    OctetSeq value;
};

struct DurabilityQosPolicy {
    DurabilityQosPolicyKind kind = VOLATILE_DURABILITY_QOS;
};

struct DurabilityServiceQosPolicy {
    Duration_t service_cleanup_delay = DURATION_ZERO;
    HistoryQosPolicyKind history_kind = KEEP_LAST_HISTORY_QOS;
    int32_t history_depth = 1;
    int32_t max_samples = LENGTH_UNLIMITED;
    int32_t max_instances = LENGTH_UNLIMITED;
    int32_t max_samples_per_instance = LENGTH_UNLIMITED;
};

struct PresentationQosPolicy {
    PresentationQosPolicyAccessScopeKind access_scope = INSTANCE_PRESENTATION_QOS;
    bool coherent_access = false;
    bool ordered_access = false;
};

struct DeadlineQosPolicy {
    Duration_t period = DURATION_INFINITE;
};

struct LatencyBudgetQosPolicy {
    Duration_t duration = DURATION_ZERO;
};

struct OwnershipQosPolicy {
    OwnershipQosPolicyKind kind = SHARED_OWNERSHIP_QOS;
};

struct OwnershipStrengthQosPolicy {
    int32_t value = 0;
};

struct LivelinessQosPolicy {
    LivelinessQosPolicyKind kind = AUTOMATIC_LIVELINESS_QOS;
    Duration_t lease_duration = DURATION_INFINITE;
};

struct TimeBasedFilterQosPolicy {
    Duration_t minimum_separation = DURATION_ZERO;
};

struct PartitionQosPolicy {
    StringSeq name;
};

struct ReliabilityQosPolicy {
    ReliabilityQosPolicyKind kind = BEST_EFFORT_RELIABILITY_QOS;
    Duration_t max_blocking_time = {0, 100000000u};  // 100 ms
};

struct DestinationOrderQosPolicy {
    DestinationOrderQosPolicyKind kind = BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS;
};

struct HistoryQosPolicy {
    HistoryQosPolicyKind kind = KEEP_LAST_HISTORY_QOS;
    int32_t depth = 1;
};

struct ResourceLimitsQosPolicy {
    int32_t max_samples = LENGTH_UNLIMITED;
    int32_t max_instances = LENGTH_UNLIMITED;
    int32_t max_samples_per_instance = LENGTH_UNLIMITED;
};

struct TransportPriorityQosPolicy {
    int32_t value = 0;
};

struct LifespanQosPolicy {
    Duration_t duration = DURATION_INFINITE;
};

struct EntityFactoryQosPolicy {
    bool autoenable_created_entities = true;
};

struct WriterDataLifecycleQosPolicy {
    bool autodispose_unregistered_instances = false;
};

struct ReaderDataLifecycleQosPolicy {
    Duration_t autopurge_nowriter_samples_delay = DURATION_INFINITE;
    Duration_t autopurge_disposed_samples_delay = DURATION_INFINITE;
};

// Field-by-field equality; sequences compare by length and contents.
bool operator==(UserDataQosPolicy const& a, UserDataQosPolicy const& b);
bool operator==(TopicDataQosPolicy const& a, TopicDataQosPolicy const& b);
bool operator==(GroupDataQosPolicy const& a, GroupDataQosPolicy const& b);
bool operator==(DurabilityQosPolicy const& a, DurabilityQosPolicy const& b);
bool operator==(DurabilityServiceQosPolicy const& a, DurabilityServiceQosPolicy const& b);
bool operator==(PresentationQosPolicy const& a, PresentationQosPolicy const& b);
bool operator==(DeadlineQosPolicy const& a, DeadlineQosPolicy const& b);
bool operator==(LatencyBudgetQosPolicy const& a, LatencyBudgetQosPolicy const& b);
bool operator==(OwnershipQosPolicy const& a, OwnershipQosPolicy const& b);
bool operator==(OwnershipStrengthQosPolicy const& a, OwnershipStrengthQosPolicy const& b);
bool operator==(LivelinessQosPolicy const& a, LivelinessQosPolicy const& b);
bool operator==(TimeBasedFilterQosPolicy const& a, TimeBasedFilterQosPolicy const& b);
bool operator==(PartitionQosPolicy const& a, PartitionQosPolicy const& b);
bool operator==(ReliabilityQosPolicy const& a, ReliabilityQosPolicy const& b);
bool operator==(DestinationOrderQosPolicy const& a, DestinationOrderQosPolicy const& b);
bool operator==(HistoryQosPolicy const& a, HistoryQosPolicy const& b);
bool operator==(ResourceLimitsQosPolicy const& a, ResourceLimitsQosPolicy const& b);
bool operator==(TransportPriorityQosPolicy const& a, TransportPriorityQosPolicy const& b);
bool operator==(LifespanQosPolicy const& a, LifespanQosPolicy const& b);
bool operator==(EntityFactoryQosPolicy const& a, EntityFactoryQosPolicy const& b);
bool operator==(WriterDataLifecycleQosPolicy const& a, WriterDataLifecycleQosPolicy const& b);
bool operator==(ReaderDataLifecycleQosPolicy const& a, ReaderDataLifecycleQosPolicy const& b);

inline bool operator!=(UserDataQosPolicy const& a, UserDataQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(TopicDataQosPolicy const& a, TopicDataQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(GroupDataQosPolicy const& a, GroupDataQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(DurabilityQosPolicy const& a, DurabilityQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(DurabilityServiceQosPolicy const& a, DurabilityServiceQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(PresentationQosPolicy const& a, PresentationQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(DeadlineQosPolicy const& a, DeadlineQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(LatencyBudgetQosPolicy const& a, LatencyBudgetQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(OwnershipQosPolicy const& a, OwnershipQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(OwnershipStrengthQosPolicy const& a, OwnershipStrengthQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(LivelinessQosPolicy const& a, LivelinessQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(TimeBasedFilterQosPolicy const& a, TimeBasedFilterQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(PartitionQosPolicy const& a, PartitionQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(ReliabilityQosPolicy const& a, ReliabilityQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(DestinationOrderQosPolicy const& a, DestinationOrderQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(HistoryQosPolicy const& a, HistoryQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(ResourceLimitsQosPolicy const& a, ResourceLimitsQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(TransportPriorityQosPolicy const& a, TransportPriorityQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(LifespanQosPolicy const& a, LifespanQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(EntityFactoryQosPolicy const& a, EntityFactoryQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(WriterDataLifecycleQosPolicy const& a,
                       WriterDataLifecycleQosPolicy const& b) {
    return !(a == b);
}
inline bool operator!=(ReaderDataLifecycleQosPolicy const& a,
                       ReaderDataLifecycleQosPolicy const& b) {
    return !(a == b);
}

}  // namespace dds
}  // namespace vexa

#endif
