#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vexa/dds/EntityQos.h"

using namespace vexa::dds;

namespace {

// One checked value: a member path, what the predefined set holds and what it must hold.
// Durations are folded into one number (seconds, then nanoseconds) so a row checks both words.
struct Row {
    std::string what;
    int64_t actual;
    int64_t expected;
};

int64_t d(Duration_t v) {
    return int64_t{v.sec} * 4294967296LL + v.nanosec;
}
int64_t d(int32_t sec, uint32_t nanosec) {
    return int64_t{sec} * 4294967296LL + nanosec;
}

const int64_t INF = d(0x7FFFFFFF, 0x7FFFFFFF);
const int64_t ZERO = d(0, 0);
const int64_t MS100 = d(0, 100000000);

void expectRows(std::string const& set, std::vector<Row> const& rows) {
    for (Row const& r : rows) {
        EXPECT_EQ(r.actual, r.expected) << set << "." << r.what;
    }
}

// The policies that topics, writers and readers share start from the same values.
template <typename Q>
void addSharedRows(Q const& q, std::vector<Row>& rows) {
    std::vector<Row> shared = {
        {"durability.kind", q.durability.kind, 0},
        {"deadline.period", d(q.deadline.period), INF},
        {"latency_budget.duration", d(q.latency_budget.duration), ZERO},
        {"liveliness.kind", q.liveliness.kind, 0},
        {"liveliness.lease_duration", d(q.liveliness.lease_duration), INF},
        {"reliability.kind", q.reliability.kind, 0},
        {"reliability.max_blocking_time", d(q.reliability.max_blocking_time), MS100},
        {"destination_order.kind", q.destination_order.kind, 0},
        {"history.kind", q.history.kind, 0},
        {"history.depth", q.history.depth, 1},
        {"resource_limits.max_samples", q.resource_limits.max_samples, -1},
        {"resource_limits.max_instances", q.resource_limits.max_instances, -1},
        {"resource_limits.max_samples_per_instance", q.resource_limits.max_samples_per_instance,
         -1},
        {"ownership.kind", q.ownership.kind, 0},
    };
    rows.insert(rows.end(), shared.begin(), shared.end());
}

void addDurabilityServiceRows(DurabilityServiceQosPolicy const& s, std::vector<Row>& rows) {
    std::vector<Row> ds = {
        {"durability_service.service_cleanup_delay", d(s.service_cleanup_delay), ZERO},
        {"durability_service.history_kind", s.history_kind, 0},
        {"durability_service.history_depth", s.history_depth, 1},
        {"durability_service.max_samples", s.max_samples, -1},
        {"durability_service.max_instances", s.max_instances, -1},
        {"durability_service.max_samples_per_instance", s.max_samples_per_instance, -1},
    };
    rows.insert(rows.end(), ds.begin(), ds.end());
}

void addGroupRows(PresentationQosPolicy const& p, PartitionQosPolicy const& part,
                  GroupDataQosPolicy const& g, EntityFactoryQosPolicy const& f, int64_t accessScope,
                  std::vector<Row>& rows) {
    std::vector<Row> group = {
        {"presentation.access_scope", p.access_scope, accessScope},
        {"presentation.coherent_access", p.coherent_access, 0},
        {"presentation.ordered_access", p.ordered_access, 0},
        // No names at all: one empty name would be a different partition set.
        {"partition.name size", static_cast<int64_t>(part.name.size()), 0},
        {"group_data size", static_cast<int64_t>(g.value.size()), 0},
        {"entity_factory.autoenable_created_entities", f.autoenable_created_entities, 1},
    };
    rows.insert(rows.end(), group.begin(), group.end());
}

}  // namespace

TEST(EntityQosDefaults, WriterQos) {
    DataWriterQos const q = predefDataWriterQos();
    std::vector<Row> rows;
    addSharedRows(q, rows);
    addDurabilityServiceRows(q.durability_service, rows);
    rows.push_back({"user_data size", static_cast<int64_t>(q.user_data.value.size()), 0});
    rows.push_back({"transport_priority.value", q.transport_priority.value, 0});
    rows.push_back({"lifespan.duration", d(q.lifespan.duration), INF});
    rows.push_back({"ownership_strength.value", q.ownership_strength.value, 0});
    rows.push_back({"writer_data_lifecycle.autodispose_unregistered_instances",
                    q.writer_data_lifecycle.autodispose_unregistered_instances, 0});
    expectRows("default_dw_qos", rows);
}

TEST(EntityQosDefaults, ReaderQos) {
    DataReaderQos const q = predefDataReaderQos();
    std::vector<Row> rows;
    addSharedRows(q, rows);
    rows.push_back({"user_data size", static_cast<int64_t>(q.user_data.value.size()), 0});
    rows.push_back(
        {"time_based_filter.minimum_separation", d(q.time_based_filter.minimum_separation), ZERO});
    rows.push_back({"reader_data_lifecycle.autopurge_nowriter_samples_delay",
                    d(q.reader_data_lifecycle.autopurge_nowriter_samples_delay), INF});
    rows.push_back({"reader_data_lifecycle.autopurge_disposed_samples_delay",
                    d(q.reader_data_lifecycle.autopurge_disposed_samples_delay), INF});
    expectRows("default_dr_qos", rows);
}

TEST(EntityQosDefaults, TopicQos) {
    TopicQos const q = predefTopicQos();
    std::vector<Row> rows;
    addSharedRows(q, rows);
    addDurabilityServiceRows(q.durability_service, rows);
    rows.push_back({"topic_data size", static_cast<int64_t>(q.topic_data.value.size()), 0});
    rows.push_back({"transport_priority.value", q.transport_priority.value, 0});
    rows.push_back({"lifespan.duration", d(q.lifespan.duration), INF});
    expectRows("default_topic_qos", rows);
}

TEST(EntityQosDefaults, PublisherSubscriberAndParticipantQos) {
    PublisherQos const pub = predefPublisherQos();
    SubscriberQos const sub = predefSubscriberQos();
    SubscriberQos const builtin = predefBuiltinSubscriberQos();
    DomainParticipantQos const part = predefParticipantQos();

    std::vector<Row> rows;
    addGroupRows(pub.presentation, pub.partition, pub.group_data, pub.entity_factory,
                 INSTANCE_PRESENTATION_QOS, rows);
    expectRows("default_pub_qos", rows);
    rows.clear();
    addGroupRows(sub.presentation, sub.partition, sub.group_data, sub.entity_factory,
                 INSTANCE_PRESENTATION_QOS, rows);
    expectRows("default_sub_qos", rows);
    rows.clear();
    addGroupRows(builtin.presentation, builtin.partition, builtin.group_data,
                 builtin.entity_factory, TOPIC_PRESENTATION_QOS, rows);
    expectRows("builtin_qos", rows);

    EXPECT_TRUE(part.user_data.value.empty());
    EXPECT_TRUE(part.entity_factory.autoenable_created_entities);
}

// The built-in readers keep discovery data reliably for late joiners; everything else is the
// ordinary reader default.
TEST(EntityQosDefaults, BuiltinReaderDiffersFromDefaultReaderInExactlyTwoMembers) {
    DataReaderQos const plain = predefDataReaderQos();
    DataReaderQos const builtin = predefBuiltinReaderQos();

    EXPECT_EQ(builtin.durability.kind, TRANSIENT_LOCAL_DURABILITY_QOS);
    EXPECT_EQ(builtin.reliability.kind, RELIABLE_RELIABILITY_QOS);
    EXPECT_EQ(builtin.reliability.max_blocking_time, plain.reliability.max_blocking_time);

    DataReaderQos reverted = builtin;
    reverted.durability = plain.durability;
    EXPECT_NE(reverted, plain);
    reverted.reliability = plain.reliability;
    EXPECT_EQ(reverted, plain);
}

// Default-constructed records are the predefined sets, so a record built by hand and then
// partly filled starts from the same values as an entity created without QoS.
TEST(EntityQosDefaults, DefaultConstructedRecordsEqualThePredefinedSets) {
    EXPECT_EQ(DataWriterQos{}, predefDataWriterQos());
    EXPECT_EQ(DataReaderQos{}, predefDataReaderQos());
    EXPECT_EQ(TopicQos{}, predefTopicQos());
    EXPECT_EQ(PublisherQos{}, predefPublisherQos());
    EXPECT_EQ(SubscriberQos{}, predefSubscriberQos());
    EXPECT_EQ(DomainParticipantQos{}, predefParticipantQos());
}
