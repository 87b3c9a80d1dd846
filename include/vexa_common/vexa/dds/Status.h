#ifndef VEXA_DDS_STATUS_H
#define VEXA_DDS_STATUS_H

// Communication status records and the status bits that name them. Every field whose name
// ends in _change counts the changes since the status was last read.

#include <cstdint>
#include <vector>

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/QosPolicy.h"

namespace vexa {
namespace dds {

// One bit per status; the same values serve as changed-status bits and listener masks in the
// core and in the API, so masks pass between the layers unchanged.
using StatusMask = uint32_t;
constexpr StatusMask INCONSISTENT_TOPIC_STATUS = 0x0001;
constexpr StatusMask OFFERED_DEADLINE_MISSED_STATUS = 0x0002;
constexpr StatusMask REQUESTED_DEADLINE_MISSED_STATUS = 0x0004;
constexpr StatusMask OFFERED_INCOMPATIBLE_QOS_STATUS = 0x0020;
constexpr StatusMask REQUESTED_INCOMPATIBLE_QOS_STATUS = 0x0040;
constexpr StatusMask SAMPLE_LOST_STATUS = 0x0080;
constexpr StatusMask SAMPLE_REJECTED_STATUS = 0x0100;
constexpr StatusMask DATA_ON_READERS_STATUS = 0x0200;
constexpr StatusMask DATA_AVAILABLE_STATUS = 0x0400;
constexpr StatusMask LIVELINESS_LOST_STATUS = 0x0800;
constexpr StatusMask LIVELINESS_CHANGED_STATUS = 0x1000;
constexpr StatusMask PUBLICATION_MATCHED_STATUS = 0x2000;
constexpr StatusMask SUBSCRIPTION_MATCHED_STATUS = 0x4000;

// Why the last sample was rejected: the limit that refused it.
enum SampleRejectedStatusKind : int32_t {
    NOT_REJECTED = 0,
    REJECTED_BY_INSTANCES_LIMIT = 1,
    REJECTED_BY_SAMPLES_LIMIT = 2,
    REJECTED_BY_SAMPLES_PER_INSTANCE_LIMIT = 3
};

struct InconsistentTopicStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

struct LivelinessLostStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

// Offered (writer) and requested (reader) alike.
struct DeadlineMissedStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    InstanceHandle_t last_instance_handle = HANDLE_NIL;
};

struct QosPolicyCount {
    QosPolicyId_t policy_id = 0;
    int32_t count = 0;
};

// Offered and requested alike; the policy list keeps the order its owner created it in.
struct IncompatibleQosStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    QosPolicyId_t last_policy_id = 0;
    std::vector<QosPolicyCount> policies;
};

struct PublicationMatchedStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    int32_t current_count = 0;
    int32_t current_count_change = 0;
    InstanceHandle_t last_subscription_handle = HANDLE_NIL;
};

struct SubscriptionMatchedStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    int32_t current_count = 0;
    int32_t current_count_change = 0;
    InstanceHandle_t last_publication_handle = HANDLE_NIL;
};

// The reader records which writer's liveliness changed last.
struct LivelinessChangedStatus {
    int32_t alive_count = 0;
    int32_t not_alive_count = 0;
    int32_t alive_count_change = 0;
    int32_t not_alive_count_change = 0;
    InstanceHandle_t last_publication_handle = HANDLE_NIL;
};

struct SampleLostStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

struct SampleRejectedStatus {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    SampleRejectedStatusKind last_reason = NOT_REJECTED;
    InstanceHandle_t last_instance_handle = HANDLE_NIL;
};

// Field-by-field equality.
bool operator==(InconsistentTopicStatus const& a, InconsistentTopicStatus const& b);
bool operator==(LivelinessLostStatus const& a, LivelinessLostStatus const& b);
bool operator==(DeadlineMissedStatus const& a, DeadlineMissedStatus const& b);
bool operator==(QosPolicyCount const& a, QosPolicyCount const& b);
bool operator==(IncompatibleQosStatus const& a, IncompatibleQosStatus const& b);
bool operator==(PublicationMatchedStatus const& a, PublicationMatchedStatus const& b);
bool operator==(SubscriptionMatchedStatus const& a, SubscriptionMatchedStatus const& b);
bool operator==(LivelinessChangedStatus const& a, LivelinessChangedStatus const& b);
bool operator==(SampleLostStatus const& a, SampleLostStatus const& b);
bool operator==(SampleRejectedStatus const& a, SampleRejectedStatus const& b);

inline bool operator!=(InconsistentTopicStatus const& a, InconsistentTopicStatus const& b) {
    return !(a == b);
}
inline bool operator!=(LivelinessLostStatus const& a, LivelinessLostStatus const& b) {
    return !(a == b);
}
inline bool operator!=(DeadlineMissedStatus const& a, DeadlineMissedStatus const& b) {
    return !(a == b);
}
inline bool operator!=(QosPolicyCount const& a, QosPolicyCount const& b) {
    return !(a == b);
}
inline bool operator!=(IncompatibleQosStatus const& a, IncompatibleQosStatus const& b) {
    return !(a == b);
}
inline bool operator!=(PublicationMatchedStatus const& a, PublicationMatchedStatus const& b) {
    return !(a == b);
}
inline bool operator!=(SubscriptionMatchedStatus const& a, SubscriptionMatchedStatus const& b) {
    return !(a == b);
}
inline bool operator!=(LivelinessChangedStatus const& a, LivelinessChangedStatus const& b) {
    return !(a == b);
}
inline bool operator!=(SampleLostStatus const& a, SampleLostStatus const& b) {
    return !(a == b);
}
inline bool operator!=(SampleRejectedStatus const& a, SampleRejectedStatus const& b) {
    return !(a == b);
}

}  // namespace dds
}  // namespace vexa

#endif
