#include "vexa/dds/QosPolicy.h"

namespace vexa {
namespace dds {

bool operator==(UserDataQosPolicy const& a, UserDataQosPolicy const& b) {
    return a.value == b.value;
}

bool operator==(TopicDataQosPolicy const& a, TopicDataQosPolicy const& b) {
    return a.value == b.value;
}

bool operator==(GroupDataQosPolicy const& a, GroupDataQosPolicy const& b) {
    return a.value == b.value;
}

bool operator==(DurabilityQosPolicy const& a, DurabilityQosPolicy const& b) {
    return a.kind == b.kind;
}

bool operator==(DurabilityServiceQosPolicy const& a, DurabilityServiceQosPolicy const& b) {
    return a.service_cleanup_delay == b.service_cleanup_delay && a.history_kind == b.history_kind &&
           a.history_depth == b.history_depth && a.max_samples == b.max_samples &&
           a.max_instances == b.max_instances &&
           a.max_samples_per_instance == b.max_samples_per_instance;
}

bool operator==(PresentationQosPolicy const& a, PresentationQosPolicy const& b) {
    return a.access_scope == b.access_scope && a.coherent_access == b.coherent_access &&
           a.ordered_access == b.ordered_access;
}

bool operator==(DeadlineQosPolicy const& a, DeadlineQosPolicy const& b) {
    return a.period == b.period;
}

bool operator==(LatencyBudgetQosPolicy const& a, LatencyBudgetQosPolicy const& b) {
    return a.duration == b.duration;
}

bool operator==(OwnershipQosPolicy const& a, OwnershipQosPolicy const& b) {
    return a.kind == b.kind;
}

bool operator==(OwnershipStrengthQosPolicy const& a, OwnershipStrengthQosPolicy const& b) {
    return a.value == b.value;
}

bool operator==(LivelinessQosPolicy const& a, LivelinessQosPolicy const& b) {
    return a.kind == b.kind && a.lease_duration == b.lease_duration;
}

bool operator==(TimeBasedFilterQosPolicy const& a, TimeBasedFilterQosPolicy const& b) {
    return a.minimum_separation == b.minimum_separation;
}

bool operator==(PartitionQosPolicy const& a, PartitionQosPolicy const& b) {
    return a.name == b.name;
}

bool operator==(ReliabilityQosPolicy const& a, ReliabilityQosPolicy const& b) {
    return a.kind == b.kind && a.max_blocking_time == b.max_blocking_time;
}

bool operator==(DestinationOrderQosPolicy const& a, DestinationOrderQosPolicy const& b) {
    return a.kind == b.kind;
}

bool operator==(HistoryQosPolicy const& a, HistoryQosPolicy const& b) {
    return a.kind == b.kind && a.depth == b.depth;
}

bool operator==(ResourceLimitsQosPolicy const& a, ResourceLimitsQosPolicy const& b) {
    return a.max_samples == b.max_samples && a.max_instances == b.max_instances &&
           a.max_samples_per_instance == b.max_samples_per_instance;
}

bool operator==(TransportPriorityQosPolicy const& a, TransportPriorityQosPolicy const& b) {
    return a.value == b.value;
}

bool operator==(LifespanQosPolicy const& a, LifespanQosPolicy const& b) {
    return a.duration == b.duration;
}

bool operator==(EntityFactoryQosPolicy const& a, EntityFactoryQosPolicy const& b) {
    return a.autoenable_created_entities == b.autoenable_created_entities;
}

bool operator==(WriterDataLifecycleQosPolicy const& a, WriterDataLifecycleQosPolicy const& b) {
    return a.autodispose_unregistered_instances == b.autodispose_unregistered_instances;
}

bool operator==(ReaderDataLifecycleQosPolicy const& a, ReaderDataLifecycleQosPolicy const& b) {
    return a.autopurge_nowriter_samples_delay == b.autopurge_nowriter_samples_delay &&
           a.autopurge_disposed_samples_delay == b.autopurge_disposed_samples_delay;
}

}  // namespace dds
}  // namespace vexa
