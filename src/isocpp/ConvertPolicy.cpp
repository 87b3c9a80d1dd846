#include "vexa/core/policy/ConvertPolicy.hpp"

#include "vexa/core/TimeConversion.hpp"

namespace vexa {
namespace core {
namespace policy {

namespace api = ::dds::core::policy;
namespace rec = vexa::dds;

namespace {

::dds::core::Duration toApi(rec::Duration_t const& d) {
    ::dds::core::Duration out;
    convertDuration(d, out);
    return out;
}

rec::Duration_t toCore(::dds::core::Duration const& d) {
    rec::Duration_t out;
    convertDuration(d, out);
    return out;
}

// 0, 1, 2 kept, anything else PERSISTENT; the same rule both ways.
uint32_t durabilityKind(uint32_t k) {
    return k <= 2 ? k : 3;
}

// 0 kept, anything else the one other kind; used for ownership and destination order.
uint32_t binaryKind(uint32_t k) {
    return k == 0 ? 0 : 1;
}

uint32_t livelinessKind(uint32_t k) {
    return k <= 1 ? k : 2;
}

}  // namespace

void convertPolicy(rec::UserDataQosPolicy const& from, api::UserData& to) {
    to.value(from.value);
}
void convertPolicy(api::UserData const& from, rec::UserDataQosPolicy& to) {
    to.value = from.value();
}

void convertPolicy(rec::TopicDataQosPolicy const& from, api::TopicData& to) {
    to.value(from.value);
}
void convertPolicy(api::TopicData const& from, rec::TopicDataQosPolicy& to) {
    to.value = from.value();
}

void convertPolicy(rec::GroupDataQosPolicy const& from, api::GroupData& to) {
    to.value(from.value);
}
void convertPolicy(api::GroupData const& from, rec::GroupDataQosPolicy& to) {
    to.value = from.value();
}

void convertPolicy(rec::DurabilityQosPolicy const& from, api::Durability& to) {
    to.kind(static_cast<api::DurabilityKind::Type>(durabilityKind(from.kind)));
}
void convertPolicy(api::Durability const& from, rec::DurabilityQosPolicy& to) {
    to.kind = static_cast<rec::DurabilityQosPolicyKind>(durabilityKind(from.kind()));
}

void convertPolicy(rec::DurabilityServiceQosPolicy const& from, api::DurabilityService& to) {
    to.service_cleanup_delay(toApi(from.service_cleanup_delay));
    if (from.history_kind == rec::KEEP_LAST_HISTORY_QOS) {
        to.history_kind(api::HistoryKind::KEEP_LAST);
        to.history_depth(from.history_depth);
    } else {
        to.history_kind(api::HistoryKind::KEEP_ALL);
    }
    to.max_samples(from.max_samples);
    to.max_instances(from.max_instances);
    to.max_samples_per_instance(from.max_samples_per_instance);
}
void convertPolicy(api::DurabilityService const& from, rec::DurabilityServiceQosPolicy& to) {
    to.service_cleanup_delay = toCore(from.service_cleanup_delay());
    to.history_kind = from.history_kind() == api::HistoryKind::KEEP_LAST
                          ? rec::KEEP_LAST_HISTORY_QOS
                          : rec::KEEP_ALL_HISTORY_QOS;
    // Unlike History, the depth travels as it is, also for keep-all.
    to.history_depth = from.history_depth();
    to.max_samples = from.max_samples();
    to.max_instances = from.max_instances();
    to.max_samples_per_instance = from.max_samples_per_instance();
}

void convertPolicy(rec::PresentationQosPolicy const& from, api::Presentation& to) {
    to.access_scope(from.access_scope == rec::INSTANCE_PRESENTATION_QOS
                        ? api::PresentationAccessScopeKind::INSTANCE
                        : api::PresentationAccessScopeKind::TOPIC);
    to.coherent_access(from.coherent_access);
    to.ordered_access(from.ordered_access);
}
void convertPolicy(api::Presentation const& from, rec::PresentationQosPolicy& to) {
    // The core presents by topic whatever the application asked for.
    to.access_scope = rec::TOPIC_PRESENTATION_QOS;
    to.coherent_access = from.coherent_access();
    to.ordered_access = from.ordered_access();
}

void convertPolicy(rec::DeadlineQosPolicy const& from, api::Deadline& to) {
    to.period(toApi(from.period));
}
void convertPolicy(api::Deadline const& from, rec::DeadlineQosPolicy& to) {
    to.period = toCore(from.period());
}

void convertPolicy(rec::LatencyBudgetQosPolicy const& from, api::LatencyBudget& to) {
    to.duration(toApi(from.duration));
}
void convertPolicy(api::LatencyBudget const& from, rec::LatencyBudgetQosPolicy& to) {
    to.duration = toCore(from.duration());
}

void convertPolicy(rec::OwnershipQosPolicy const& from, api::Ownership& to) {
    to.kind(static_cast<api::OwnershipKind::Type>(binaryKind(from.kind)));
}
void convertPolicy(api::Ownership const& from, rec::OwnershipQosPolicy& to) {
    to.kind = static_cast<rec::OwnershipQosPolicyKind>(binaryKind(from.kind()));
}

void convertPolicy(rec::OwnershipStrengthQosPolicy const& from, api::OwnershipStrength& to) {
    to.value(from.value);
}
void convertPolicy(api::OwnershipStrength const& from, rec::OwnershipStrengthQosPolicy& to) {
    to.value = from.value();
}

void convertPolicy(rec::LivelinessQosPolicy const& from, api::Liveliness& to) {
    to.kind(static_cast<api::LivelinessKind::Type>(livelinessKind(from.kind)));
    to.lease_duration(toApi(from.lease_duration));
}
void convertPolicy(api::Liveliness const& from, rec::LivelinessQosPolicy& to) {
    to.kind = static_cast<rec::LivelinessQosPolicyKind>(livelinessKind(from.kind()));
    to.lease_duration = toCore(from.lease_duration());
}

void convertPolicy(rec::TimeBasedFilterQosPolicy const& from, api::TimeBasedFilter& to) {
    to.minimum_separation(toApi(from.minimum_separation));
}
void convertPolicy(api::TimeBasedFilter const& from, rec::TimeBasedFilterQosPolicy& to) {
    to.minimum_separation = toCore(from.minimum_separation());
}

void convertPolicy(rec::PartitionQosPolicy const& from, api::Partition& to) {
    to.name(from.name);
}
void convertPolicy(api::Partition const& from, rec::PartitionQosPolicy& to) {
    to.name = from.name();
}

void convertPolicy(rec::ReliabilityQosPolicy const& from, api::Reliability& to) {
    if (from.kind == rec::BEST_EFFORT_RELIABILITY_QOS) {
        to.kind(api::ReliabilityKind::BEST_EFFORT);
    } else {
        to.kind(api::ReliabilityKind::RELIABLE);
        to.max_blocking_time(toApi(from.max_blocking_time));
    }
}
void convertPolicy(api::Reliability const& from, rec::ReliabilityQosPolicy& to) {
    to.kind = from.kind() == api::ReliabilityKind::BEST_EFFORT ? rec::BEST_EFFORT_RELIABILITY_QOS
                                                               : rec::RELIABLE_RELIABILITY_QOS;
    to.max_blocking_time = toCore(from.max_blocking_time());
}

void convertPolicy(rec::DestinationOrderQosPolicy const& from, api::DestinationOrder& to) {
    to.kind(static_cast<api::DestinationOrderKind::Type>(binaryKind(from.kind)));
}
void convertPolicy(api::DestinationOrder const& from, rec::DestinationOrderQosPolicy& to) {
    to.kind = static_cast<rec::DestinationOrderQosPolicyKind>(binaryKind(from.kind()));
}

void convertPolicy(rec::HistoryQosPolicy const& from, api::History& to) {
    if (from.kind == rec::KEEP_LAST_HISTORY_QOS) {
        to.kind(api::HistoryKind::KEEP_LAST);
        to.depth(from.depth);
    } else {
        to.kind(api::HistoryKind::KEEP_ALL);
    }
}
void convertPolicy(api::History const& from, rec::HistoryQosPolicy& to) {
    if (from.kind() == api::HistoryKind::KEEP_LAST) {
        to.kind = rec::KEEP_LAST_HISTORY_QOS;
        to.depth = from.depth();
    } else {
        to.kind = rec::KEEP_ALL_HISTORY_QOS;
        to.depth = 1;
    }
}

void convertPolicy(rec::ResourceLimitsQosPolicy const& from, api::ResourceLimits& to) {
    to.max_samples(from.max_samples);
    to.max_instances(from.max_instances);
    to.max_samples_per_instance(from.max_samples_per_instance);
}
void convertPolicy(api::ResourceLimits const& from, rec::ResourceLimitsQosPolicy& to) {
    to.max_samples = from.max_samples();
    to.max_instances = from.max_instances();
    to.max_samples_per_instance = from.max_samples_per_instance();
}

void convertPolicy(rec::TransportPriorityQosPolicy const& from, api::TransportPriority& to) {
    to.value(from.value);
}
void convertPolicy(api::TransportPriority const& from, rec::TransportPriorityQosPolicy& to) {
    to.value = from.value();
}

void convertPolicy(rec::LifespanQosPolicy const& from, api::Lifespan& to) {
    to.duration(toApi(from.duration));
}
void convertPolicy(api::Lifespan const& from, rec::LifespanQosPolicy& to) {
    to.duration = toCore(from.duration());
}

void convertPolicy(rec::EntityFactoryQosPolicy const& from, api::EntityFactory& to) {
    to.autoenable_created_entities(from.autoenable_created_entities);
}
void convertPolicy(api::EntityFactory const& from, rec::EntityFactoryQosPolicy& to) {
    to.autoenable_created_entities = from.autoenable_created_entities();
}

void convertPolicy(rec::WriterDataLifecycleQosPolicy const& from, api::WriterDataLifecycle& to) {
    to.autodispose_unregistered_instances(from.autodispose_unregistered_instances);
}
void convertPolicy(api::WriterDataLifecycle const& from, rec::WriterDataLifecycleQosPolicy& to) {
    to.autodispose_unregistered_instances = from.autodispose_unregistered_instances();
}

void convertPolicy(rec::ReaderDataLifecycleQosPolicy const& from, api::ReaderDataLifecycle& to) {
    to.autopurge_nowriter_samples_delay(toApi(from.autopurge_nowriter_samples_delay));
    to.autopurge_disposed_samples_delay(toApi(from.autopurge_disposed_samples_delay));
}
void convertPolicy(api::ReaderDataLifecycle const& from, rec::ReaderDataLifecycleQosPolicy& to) {
    to.autopurge_nowriter_samples_delay = toCore(from.autopurge_nowriter_samples_delay());
    to.autopurge_disposed_samples_delay = toCore(from.autopurge_disposed_samples_delay());
}

}  // namespace policy
}  // namespace core
}  // namespace vexa
