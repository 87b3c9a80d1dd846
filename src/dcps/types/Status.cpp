#include "vexa/dds/Status.h"

namespace vexa {
namespace dds {

bool operator==(InconsistentTopicStatus const& a, InconsistentTopicStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change;
}

bool operator==(LivelinessLostStatus const& a, LivelinessLostStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change;
}

bool operator==(DeadlineMissedStatus const& a, DeadlineMissedStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change &&
           a.last_instance_handle == b.last_instance_handle;
}

bool operator==(QosPolicyCount const& a, QosPolicyCount const& b) {
    return a.policy_id == b.policy_id && a.count == b.count;
}

bool operator==(IncompatibleQosStatus const& a, IncompatibleQosStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change &&
           a.last_policy_id == b.last_policy_id && a.policies == b.policies;
}

bool operator==(PublicationMatchedStatus const& a, PublicationMatchedStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change &&
           a.current_count == b.current_count && a.current_count_change == b.current_count_change &&
           a.last_subscription_handle == b.last_subscription_handle;
}

bool operator==(SubscriptionMatchedStatus const& a, SubscriptionMatchedStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change &&
           a.current_count == b.current_count && a.current_count_change == b.current_count_change &&
           a.last_publication_handle == b.last_publication_handle;
}

bool operator==(LivelinessChangedStatus const& a, LivelinessChangedStatus const& b) {
    return a.alive_count == b.alive_count && a.not_alive_count == b.not_alive_count &&
           a.alive_count_change == b.alive_count_change &&
           a.not_alive_count_change == b.not_alive_count_change &&
           a.last_publication_handle == b.last_publication_handle;
}

bool operator==(SampleLostStatus const& a, SampleLostStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change;
}

bool operator==(SampleRejectedStatus const& a, SampleRejectedStatus const& b) {
    return a.total_count == b.total_count && a.total_count_change == b.total_count_change &&
           a.last_reason == b.last_reason && a.last_instance_handle == b.last_instance_handle;
}

}  // namespace dds
}  // namespace vexa
