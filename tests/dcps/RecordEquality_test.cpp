#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "vexa/dds/DdsTypes.h"

using namespace vexa::dds;

namespace {

template <typename R>
using Mutations = std::vector<std::pair<std::string, std::function<void(R&)>>>;

// Equality must look at every member: a forgotten one makes a QoS change, a partition change
// or a changed discovery record go unnoticed. Each mutation changes one member only.
template <typename R>
void expectEveryMutationSeen(R const& base, Mutations<R> const& mutations) {
    R const same = base;
    EXPECT_TRUE(same == base);
    EXPECT_FALSE(same != base);
    for (auto const& m : mutations) {
        R changed = base;
        m.second(changed);
        EXPECT_FALSE(changed == base) << m.first;
        EXPECT_TRUE(changed != base) << m.first;
        EXPECT_FALSE(base == changed) << m.first;
    }
}

Duration_t const OTHER{3, 4};

}  // namespace

TEST(RecordEquality, PolicyMembers) {
    expectEveryMutationSeen<DurabilityServiceQosPolicy>(
        {},
        {
            {"service_cleanup_delay.sec", [](auto& p) { p.service_cleanup_delay.sec = 1; }},
            {"service_cleanup_delay.nanosec", [](auto& p) { p.service_cleanup_delay.nanosec = 1; }},
            {"history_kind", [](auto& p) { p.history_kind = KEEP_ALL_HISTORY_QOS; }},
            {"history_depth", [](auto& p) { p.history_depth = 2; }},
            {"max_samples", [](auto& p) { p.max_samples = 10; }},
            {"max_instances", [](auto& p) { p.max_instances = 10; }},
            {"max_samples_per_instance", [](auto& p) { p.max_samples_per_instance = 10; }},
        });
    expectEveryMutationSeen<PresentationQosPolicy>(
        {}, {
                {"access_scope", [](auto& p) { p.access_scope = GROUP_PRESENTATION_QOS; }},
                {"coherent_access", [](auto& p) { p.coherent_access = true; }},
                {"ordered_access", [](auto& p) { p.ordered_access = true; }},
            });
    expectEveryMutationSeen<LivelinessQosPolicy>(
        {}, {
                {"kind", [](auto& p) { p.kind = MANUAL_BY_TOPIC_LIVELINESS_QOS; }},
                {"lease_duration", [](auto& p) { p.lease_duration = OTHER; }},
            });
    expectEveryMutationSeen<ReliabilityQosPolicy>(
        {}, {
                {"kind", [](auto& p) { p.kind = RELIABLE_RELIABILITY_QOS; }},
                {"max_blocking_time", [](auto& p) { p.max_blocking_time = OTHER; }},
            });
    expectEveryMutationSeen<HistoryQosPolicy>(
        {}, {
                {"kind", [](auto& p) { p.kind = KEEP_ALL_HISTORY_QOS; }},
                {"depth", [](auto& p) { p.depth = 7; }},
            });
    expectEveryMutationSeen<ResourceLimitsQosPolicy>(
        {}, {
                {"max_samples", [](auto& p) { p.max_samples = 1; }},
                {"max_instances", [](auto& p) { p.max_instances = 1; }},
                {"max_samples_per_instance", [](auto& p) { p.max_samples_per_instance = 1; }},
            });
    expectEveryMutationSeen<ReaderDataLifecycleQosPolicy>(
        {}, {
                {"autopurge_nowriter_samples_delay",
                 [](auto& p) { p.autopurge_nowriter_samples_delay = OTHER; }},
                {"autopurge_disposed_samples_delay",
                 [](auto& p) { p.autopurge_disposed_samples_delay = OTHER; }},
            });
    // The one-member policies.
    expectEveryMutationSeen<DurabilityQosPolicy>(
        {}, {{"kind", [](auto& p) { p.kind = PERSISTENT_DURABILITY_QOS; }}});
    expectEveryMutationSeen<DeadlineQosPolicy>({}, {{"period", [](auto& p) { p.period = OTHER; }}});
    expectEveryMutationSeen<LatencyBudgetQosPolicy>(
        {}, {{"duration", [](auto& p) { p.duration = OTHER; }}});
    expectEveryMutationSeen<OwnershipQosPolicy>(
        {}, {{"kind", [](auto& p) { p.kind = EXCLUSIVE_OWNERSHIP_QOS; }}});
    expectEveryMutationSeen<OwnershipStrengthQosPolicy>({},
                                                        {{"value", [](auto& p) { p.value = 5; }}});
    expectEveryMutationSeen<TimeBasedFilterQosPolicy>(
        {}, {{"minimum_separation", [](auto& p) { p.minimum_separation = OTHER; }}});
    expectEveryMutationSeen<DestinationOrderQosPolicy>(
        {}, {{"kind", [](auto& p) { p.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }}});
    expectEveryMutationSeen<TransportPriorityQosPolicy>({},
                                                        {{"value", [](auto& p) { p.value = 9; }}});
    expectEveryMutationSeen<LifespanQosPolicy>({},
                                               {{"duration", [](auto& p) { p.duration = OTHER; }}});
    expectEveryMutationSeen<EntityFactoryQosPolicy>(
        {}, {{"autoenable", [](auto& p) { p.autoenable_created_entities = false; }}});
    expectEveryMutationSeen<WriterDataLifecycleQosPolicy>(
        {}, {{"autodispose", [](auto& p) { p.autodispose_unregistered_instances = true; }}});
}

// Byte sequences differ by length or by any byte; a sequence is never equal to its prefix.
TEST(RecordEquality, ByteSequencesTable) {
    struct Case {
        OctetSeq a;
        OctetSeq b;
        bool equal;
    } const cases[] = {
        {{}, {}, true},
        {{}, {0}, false},
        {{1, 2, 3}, {1, 2, 3}, true},
        {{1, 2, 3}, {1, 2}, false},
        {{1, 2, 3}, {1, 2, 4}, false},
        {{0xFF, 2, 3}, {0x7F, 2, 3}, false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a.size() << " vs " << c.b.size() << " bytes");
        EXPECT_EQ(UserDataQosPolicy{c.a} == UserDataQosPolicy{c.b}, c.equal);
        EXPECT_EQ(TopicDataQosPolicy{c.a} == TopicDataQosPolicy{c.b}, c.equal);
        EXPECT_EQ(GroupDataQosPolicy{c.a} != GroupDataQosPolicy{c.b}, !c.equal);
    }
}

// Partition names compare as a list: count, order and each name's bytes all count. No names
// and one empty name are different partition sets.
TEST(RecordEquality, PartitionNamesTable) {
    struct Case {
        StringSeq a;
        StringSeq b;
        bool equal;
    } const cases[] = {
        {{}, {}, true},
        {{}, {""}, false},
        {{"a", "b"}, {"a", "b"}, true},
        {{"a", "b"}, {"ab"}, false},
        {{"a", "b"}, {"b", "a"}, false},
        {{"a"}, {"a", ""}, false},
        {{"раздел"}, {"раздел"}, true},
        {{std::string("a\0b", 3)}, {std::string("a\0c", 3)}, false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a.size() << " vs " << c.b.size() << " names");
        EXPECT_EQ(PartitionQosPolicy{c.a} == PartitionQosPolicy{c.b}, c.equal);
        EXPECT_EQ(PartitionQosPolicy{c.a} != PartitionQosPolicy{c.b}, !c.equal);
    }
}

TEST(RecordEquality, EntityQosMembers) {
    expectEveryMutationSeen<DomainParticipantQos>(
        {}, {
                {"user_data", [](auto& q) { q.user_data.value = {1}; }},
                {"entity_factory",
                 [](auto& q) { q.entity_factory.autoenable_created_entities = false; }},
            });
    Mutations<PublisherQos> const group = {
        {"presentation", [](auto& q) { q.presentation.ordered_access = true; }},
        {"partition", [](auto& q) { q.partition.name = {"p"}; }},
        {"group_data", [](auto& q) { q.group_data.value = {1}; }},
        {"entity_factory", [](auto& q) { q.entity_factory.autoenable_created_entities = false; }},
    };
    expectEveryMutationSeen<PublisherQos>({}, group);
    expectEveryMutationSeen<SubscriberQos>(
        {}, {
                {"presentation", [](auto& q) { q.presentation.coherent_access = true; }},
                {"partition", [](auto& q) { q.partition.name = {"p"}; }},
                {"group_data", [](auto& q) { q.group_data.value = {1}; }},
                {"entity_factory",
                 [](auto& q) { q.entity_factory.autoenable_created_entities = false; }},
            });
    expectEveryMutationSeen<TopicQos>(
        {},
        {
            {"topic_data", [](auto& q) { q.topic_data.value = {1}; }},
            {"durability", [](auto& q) { q.durability.kind = TRANSIENT_DURABILITY_QOS; }},
            {"durability_service", [](auto& q) { q.durability_service.history_depth = 3; }},
            {"deadline", [](auto& q) { q.deadline.period = OTHER; }},
            {"latency_budget", [](auto& q) { q.latency_budget.duration = OTHER; }},
            {"liveliness", [](auto& q) { q.liveliness.lease_duration = OTHER; }},
            {"reliability", [](auto& q) { q.reliability.max_blocking_time = OTHER; }},
            {"destination_order",
             [](auto& q) { q.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"history", [](auto& q) { q.history.depth = 3; }},
            {"resource_limits", [](auto& q) { q.resource_limits.max_instances = 3; }},
            {"transport_priority", [](auto& q) { q.transport_priority.value = 3; }},
            {"lifespan", [](auto& q) { q.lifespan.duration = OTHER; }},
            {"ownership", [](auto& q) { q.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
        });
    expectEveryMutationSeen<DataWriterQos>(
        {},
        {
            {"durability", [](auto& q) { q.durability.kind = TRANSIENT_DURABILITY_QOS; }},
            {"durability_service", [](auto& q) { q.durability_service.max_samples = 3; }},
            {"deadline", [](auto& q) { q.deadline.period = OTHER; }},
            {"latency_budget", [](auto& q) { q.latency_budget.duration = OTHER; }},
            {"liveliness",
             [](auto& q) { q.liveliness.kind = MANUAL_BY_PARTICIPANT_LIVELINESS_QOS; }},
            {"reliability", [](auto& q) { q.reliability.kind = RELIABLE_RELIABILITY_QOS; }},
            {"destination_order",
             [](auto& q) { q.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"history", [](auto& q) { q.history.kind = KEEP_ALL_HISTORY_QOS; }},
            {"resource_limits", [](auto& q) { q.resource_limits.max_samples = 3; }},
            {"transport_priority", [](auto& q) { q.transport_priority.value = 3; }},
            {"lifespan", [](auto& q) { q.lifespan.duration = OTHER; }},
            {"user_data", [](auto& q) { q.user_data.value = {1}; }},
            {"ownership", [](auto& q) { q.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
            {"ownership_strength", [](auto& q) { q.ownership_strength.value = 3; }},
            {"writer_data_lifecycle",
             [](auto& q) { q.writer_data_lifecycle.autodispose_unregistered_instances = true; }},
        });
    expectEveryMutationSeen<DataReaderQos>(
        {},
        {
            {"durability", [](auto& q) { q.durability.kind = TRANSIENT_LOCAL_DURABILITY_QOS; }},
            {"deadline", [](auto& q) { q.deadline.period = OTHER; }},
            {"latency_budget", [](auto& q) { q.latency_budget.duration = OTHER; }},
            {"liveliness", [](auto& q) { q.liveliness.kind = MANUAL_BY_TOPIC_LIVELINESS_QOS; }},
            {"reliability", [](auto& q) { q.reliability.kind = RELIABLE_RELIABILITY_QOS; }},
            {"destination_order",
             [](auto& q) { q.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"history", [](auto& q) { q.history.depth = 3; }},
            {"resource_limits", [](auto& q) { q.resource_limits.max_samples_per_instance = 3; }},
            {"user_data", [](auto& q) { q.user_data.value = {1}; }},
            {"ownership", [](auto& q) { q.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
            {"time_based_filter", [](auto& q) { q.time_based_filter.minimum_separation = OTHER; }},
            {"reader_data_lifecycle",
             [](auto& q) { q.reader_data_lifecycle.autopurge_disposed_samples_delay = OTHER; }},
        });
}

TEST(RecordEquality, StatusMembers) {
    expectEveryMutationSeen<InconsistentTopicStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
            });
    expectEveryMutationSeen<LivelinessLostStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
            });
    expectEveryMutationSeen<SampleLostStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
            });
    expectEveryMutationSeen<DeadlineMissedStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
                {"last_instance_handle", [](auto& s) { s.last_instance_handle = 0x40100001; }},
            });
    IncompatibleQosStatus incompatible;
    incompatible.policies = {{DURABILITY_QOS_POLICY_ID, 0}, {DEADLINE_QOS_POLICY_ID, 2}};
    expectEveryMutationSeen<IncompatibleQosStatus>(
        incompatible,
        {
            {"total_count", [](auto& s) { s.total_count = 1; }},
            {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
            {"last_policy_id", [](auto& s) { s.last_policy_id = RELIABILITY_QOS_POLICY_ID; }},
            {"policies[1].count", [](auto& s) { s.policies[1].count = 3; }},
            {"policies[0].policy_id", [](auto& s) { s.policies[0].policy_id = 3; }},
            {"policies order", [](auto& s) { std::swap(s.policies[0], s.policies[1]); }},
            {"policies length", [](auto& s) { s.policies.push_back({}); }},
        });
    expectEveryMutationSeen<PublicationMatchedStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
                {"current_count", [](auto& s) { s.current_count = 1; }},
                {"current_count_change", [](auto& s) { s.current_count_change = -1; }},
                {"last_subscription_handle", [](auto& s) { s.last_subscription_handle = 8; }},
            });
    expectEveryMutationSeen<SubscriptionMatchedStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
                {"current_count", [](auto& s) { s.current_count = 1; }},
                {"current_count_change", [](auto& s) { s.current_count_change = -1; }},
                {"last_publication_handle", [](auto& s) { s.last_publication_handle = 4; }},
            });
    expectEveryMutationSeen<LivelinessChangedStatus>(
        {}, {
                {"alive_count", [](auto& s) { s.alive_count = 1; }},
                {"not_alive_count", [](auto& s) { s.not_alive_count = 1; }},
                {"alive_count_change", [](auto& s) { s.alive_count_change = 1; }},
                {"not_alive_count_change", [](auto& s) { s.not_alive_count_change = 1; }},
                {"last_publication_handle", [](auto& s) { s.last_publication_handle = 4; }},
            });
    expectEveryMutationSeen<SampleRejectedStatus>(
        {}, {
                {"total_count", [](auto& s) { s.total_count = 1; }},
                {"total_count_change", [](auto& s) { s.total_count_change = 1; }},
                {"last_reason", [](auto& s) { s.last_reason = REJECTED_BY_SAMPLES_LIMIT; }},
                {"last_instance_handle", [](auto& s) { s.last_instance_handle = 0x60100001; }},
            });
}

TEST(RecordEquality, BuiltinTopicDataMembers) {
    expectEveryMutationSeen<BuiltinTopicKey_t>({},
                                               {
                                                   {"value[0]", [](auto& k) { k.value[0] = 1; }},
                                                   {"value[1]", [](auto& k) { k.value[1] = 1; }},
                                                   {"value[2]", [](auto& k) { k.value[2] = 1; }},
                                               });
    expectEveryMutationSeen<ParticipantBuiltinTopicData>(
        {}, {
                {"key", [](auto& r) { r.key.value[2] = 1; }},
                {"user_data", [](auto& r) { r.user_data.value = {0}; }},
            });
    expectEveryMutationSeen<TopicBuiltinTopicData>(
        {},
        {
            {"key", [](auto& r) { r.key.value[1] = 1; }},
            {"name", [](auto& r) { r.name = "T"; }},
            {"type_name", [](auto& r) { r.type_name = "M::T"; }},
            {"durability", [](auto& r) { r.durability.kind = PERSISTENT_DURABILITY_QOS; }},
            {"durability_service",
             [](auto& r) { r.durability_service.service_cleanup_delay = OTHER; }},
            {"deadline", [](auto& r) { r.deadline.period = OTHER; }},
            {"latency_budget", [](auto& r) { r.latency_budget.duration = OTHER; }},
            {"liveliness", [](auto& r) { r.liveliness.lease_duration = OTHER; }},
            {"reliability", [](auto& r) { r.reliability.kind = RELIABLE_RELIABILITY_QOS; }},
            {"transport_priority", [](auto& r) { r.transport_priority.value = 2; }},
            {"lifespan", [](auto& r) { r.lifespan.duration = OTHER; }},
            {"destination_order",
             [](auto& r) { r.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"history", [](auto& r) { r.history.depth = 2; }},
            {"resource_limits", [](auto& r) { r.resource_limits.max_samples = 2; }},
            {"ownership", [](auto& r) { r.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
            {"topic_data", [](auto& r) { r.topic_data.value = {7}; }},
        });
    expectEveryMutationSeen<PublicationBuiltinTopicData>(
        {},
        {
            {"key", [](auto& r) { r.key.value[0] = 1; }},
            {"participant_key", [](auto& r) { r.participant_key.value[0] = 1; }},
            {"topic_name", [](auto& r) { r.topic_name = "T"; }},
            {"type_name", [](auto& r) { r.type_name = "M::T"; }},
            {"durability", [](auto& r) { r.durability.kind = TRANSIENT_DURABILITY_QOS; }},
            {"durability_service", [](auto& r) { r.durability_service.max_instances = 2; }},
            {"deadline", [](auto& r) { r.deadline.period = OTHER; }},
            {"latency_budget", [](auto& r) { r.latency_budget.duration = OTHER; }},
            {"liveliness", [](auto& r) { r.liveliness.kind = MANUAL_BY_TOPIC_LIVELINESS_QOS; }},
            {"reliability", [](auto& r) { r.reliability.max_blocking_time = OTHER; }},
            {"lifespan", [](auto& r) { r.lifespan.duration = OTHER; }},
            {"user_data", [](auto& r) { r.user_data.value = {1}; }},
            {"ownership", [](auto& r) { r.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
            {"ownership_strength", [](auto& r) { r.ownership_strength.value = 2; }},
            {"destination_order",
             [](auto& r) { r.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"presentation", [](auto& r) { r.presentation.access_scope = TOPIC_PRESENTATION_QOS; }},
            {"partition", [](auto& r) { r.partition.name = {""}; }},
            {"topic_data", [](auto& r) { r.topic_data.value = {1}; }},
            {"group_data", [](auto& r) { r.group_data.value = {1}; }},
        });
    expectEveryMutationSeen<SubscriptionBuiltinTopicData>(
        {},
        {
            {"key", [](auto& r) { r.key.value[0] = 1; }},
            {"participant_key", [](auto& r) { r.participant_key.value[2] = 1; }},
            {"topic_name", [](auto& r) { r.topic_name = "T"; }},
            {"type_name", [](auto& r) { r.type_name = "M::T"; }},
            {"durability", [](auto& r) { r.durability.kind = TRANSIENT_LOCAL_DURABILITY_QOS; }},
            {"deadline", [](auto& r) { r.deadline.period = OTHER; }},
            {"latency_budget", [](auto& r) { r.latency_budget.duration = OTHER; }},
            {"liveliness", [](auto& r) { r.liveliness.lease_duration = OTHER; }},
            {"reliability", [](auto& r) { r.reliability.kind = RELIABLE_RELIABILITY_QOS; }},
            {"ownership", [](auto& r) { r.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }},
            {"destination_order",
             [](auto& r) { r.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS; }},
            {"user_data", [](auto& r) { r.user_data.value = {1}; }},
            {"time_based_filter", [](auto& r) { r.time_based_filter.minimum_separation = OTHER; }},
            {"presentation", [](auto& r) { r.presentation.coherent_access = true; }},
            {"partition", [](auto& r) { r.partition.name = {"p"}; }},
            {"topic_data", [](auto& r) { r.topic_data.value = {1}; }},
            {"group_data", [](auto& r) { r.group_data.value = {1}; }},
        });
}
