#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"

namespace api = dds::core::policy;
namespace rec = vexa::dds;
using dds::core::Duration;

namespace {

struct Row {
    std::string name;
    std::function<void()> check;
};

void runRows(std::initializer_list<Row> rows) {
    for (auto const& r : rows) {
        SCOPED_TRACE(r.name);
        r.check();
    }
}

// The API's defaults are the core's predefined values except where the API says otherwise.
TEST(ConvertQos, ApiToCore) {
    runRows({
        {"participant default",
         [] {
             rec::DomainParticipantQos core;
             core.entity_factory.autoenable_created_entities = false;
             core.user_data.value = {1};
             vexa::domain::qos::convertQos(dds::domain::qos::DomainParticipantQos(), core);
             EXPECT_EQ(core, rec::predefParticipantQos());
         }},
        {"topic default: blocking time {0, 0}",
         [] {
             rec::TopicQos expected = rec::predefTopicQos();
             expected.reliability.max_blocking_time = {0, 0};
             rec::TopicQos core;
             vexa::topic::qos::convertQos(dds::topic::qos::TopicQos(), core);
             EXPECT_EQ(core, expected);
         }},
        {"publisher default: one empty partition name and topic scope",
         [] {
             rec::PublisherQos core;
             vexa::pub::qos::convertQos(dds::pub::qos::PublisherQos(), core);
             EXPECT_EQ(core.partition.name, (rec::StringSeq{""}));
             EXPECT_EQ(core.presentation.access_scope, rec::TOPIC_PRESENTATION_QOS);
             EXPECT_TRUE(core.group_data.value.empty());
             EXPECT_TRUE(core.entity_factory.autoenable_created_entities);
         }},
        {"subscriber default likewise",
         [] {
             rec::SubscriberQos core;
             vexa::sub::qos::convertQos(dds::sub::qos::SubscriberQos(), core);
             EXPECT_EQ(core.partition.name, (rec::StringSeq{""}));
         }},
        {"writer default: blocking time {0, 0}, autodispose on",
         [] {
             rec::DataWriterQos expected = rec::predefDataWriterQos();
             expected.reliability.max_blocking_time = {0, 0};
             expected.writer_data_lifecycle.autodispose_unregistered_instances = true;
             rec::DataWriterQos core;
             vexa::pub::qos::convertQos(dds::pub::qos::DataWriterQos(), core);
             EXPECT_EQ(core, expected);
         }},
        {"reader default: blocking time {0, 0}",
         [] {
             rec::DataReaderQos expected = rec::predefDataReaderQos();
             expected.reliability.max_blocking_time = {0, 0};
             rec::DataReaderQos core;
             vexa::sub::qos::convertQos(dds::sub::qos::DataReaderQos(), core);
             EXPECT_EQ(core, expected);
         }},
        {"writer policies land in their own members",
         [] {
             dds::pub::qos::DataWriterQos q;
             q.policy(api::TransportPriority(7))
                 .policy(api::Lifespan(Duration(3, 0)))
                 .policy(api::OwnershipStrength(9))
                 .policy(api::History(api::HistoryKind::KEEP_ALL, 20))
                 .policy(api::Reliability(api::ReliabilityKind::RELIABLE, Duration(1, 0)))
                 .policy(api::DurabilityService(Duration(4, 0), api::HistoryKind::KEEP_LAST, 6, 7,
                                                8, 9));
             rec::DataWriterQos core;
             vexa::pub::qos::convertQos(q, core);
             EXPECT_EQ(core.transport_priority.value, 7);
             EXPECT_EQ(core.lifespan.duration, (rec::Duration_t{3, 0}));
             EXPECT_EQ(core.ownership_strength.value, 9);
             EXPECT_EQ(core.history, (rec::HistoryQosPolicy{rec::KEEP_ALL_HISTORY_QOS, 1}));
             EXPECT_EQ(core.reliability,
                       (rec::ReliabilityQosPolicy{rec::RELIABLE_RELIABILITY_QOS, {1, 0}}));
             EXPECT_EQ(
                 core.durability_service,
                 (rec::DurabilityServiceQosPolicy{{4, 0}, rec::KEEP_LAST_HISTORY_QOS, 6, 7, 8, 9}));
         }},
        {"topic ownership and topic data",
         [] {
             dds::topic::qos::TopicQos q;
             q.policy(api::Ownership(api::OwnershipKind::EXCLUSIVE))
                 .policy(api::TopicData(dds::core::ByteSeq{4, 2}));
             rec::TopicQos core;
             vexa::topic::qos::convertQos(q, core);
             EXPECT_EQ(core.ownership.kind, rec::EXCLUSIVE_OWNERSHIP_QOS);
             EXPECT_EQ(core.topic_data.value, (rec::OctetSeq{4, 2}));
         }},
    });
}

TEST(ConvertQos, CoreToApi) {
    runRows({
        {"core writer default: best effort keeps the API blocking time",
         [] {
             dds::pub::qos::DataWriterQos q;
             vexa::pub::qos::convertQos(rec::predefDataWriterQos(), q);
             EXPECT_EQ(q->reliability().max_blocking_time(), Duration(0, 0));
             EXPECT_FALSE(q->writer_data_lifecycle().autodispose_unregistered_instances());
             EXPECT_TRUE(q->deadline().period().is_infinite());
         }},
        {"core publisher default: no partition names at all",
         [] {
             dds::pub::qos::PublisherQos q;
             vexa::pub::qos::convertQos(rec::predefPublisherQos(), q);
             EXPECT_TRUE(q->partition().name().empty());
             EXPECT_EQ(q->presentation().access_scope(),
                       api::PresentationAccessScopeKind::INSTANCE);
         }},
        {"built-in subscriber: topic scope",
         [] {
             dds::sub::qos::SubscriberQos q;
             vexa::sub::qos::convertQos(rec::predefBuiltinSubscriberQos(), q);
             EXPECT_EQ(q->presentation().access_scope(), api::PresentationAccessScopeKind::TOPIC);
         }},
        {"reader: the three policies the core lacks stay in the API object",
         [] {
             dds::sub::qos::DataReaderQos q;
             q.policy(api::Lifespan(Duration(5, 0)))
                 .policy(api::TransportPriority(3))
                 .policy(api::DurabilityService(Duration(1, 0), api::HistoryKind::KEEP_ALL, 2, 3, 4,
                                                5));
             rec::DataReaderQos core = rec::predefBuiltinReaderQos();
             vexa::sub::qos::convertQos(core, q);
             EXPECT_EQ(q->lifespan().duration(), Duration(5, 0));
             EXPECT_EQ(q->transport_priority().value(), 3);
             EXPECT_EQ(q->durability_service().max_samples_per_instance(), 5);
             EXPECT_EQ(q->durability().kind(), api::DurabilityKind::TRANSIENT_LOCAL);
             EXPECT_EQ(q->reliability().kind(), api::ReliabilityKind::RELIABLE);
             EXPECT_EQ(q->reliability().max_blocking_time(), Duration(0, 100000000));
         }},
        {"participant",
         [] {
             dds::domain::qos::DomainParticipantQos q;
             vexa::domain::qos::convertQos(rec::DomainParticipantQos{{{7, 7}}, {false}}, q);
             EXPECT_EQ(q->user_data().value(), (dds::core::ByteSeq{7, 7}));
             EXPECT_FALSE(q->entity_factory().autoenable_created_entities());
         }},
        {"a bad core duration throws",
         [] {
             rec::TopicQos core;
             core.lifespan.duration = {1, 1000000000u};
             dds::topic::qos::TopicQos q;
             EXPECT_THROW(vexa::topic::qos::convertQos(core, q), dds::core::InvalidDataError);
         }},
    });
}

TEST(ConvertQos, ApiDefaultsSurviveARoundTrip) {
    rec::TopicQos core;
    vexa::topic::qos::convertQos(dds::topic::qos::TopicQos(), core);
    dds::topic::qos::TopicQos back;
    back.policy(api::History(api::HistoryKind::KEEP_LAST, 99));
    vexa::topic::qos::convertQos(core, back);
    rec::TopicQos again;
    vexa::topic::qos::convertQos(back, again);
    EXPECT_EQ(again, core);
    EXPECT_EQ(back->history().depth(), 1);

    rec::DataReaderQos reader;
    vexa::sub::qos::convertQos(dds::sub::qos::DataReaderQos(), reader);
    dds::sub::qos::DataReaderQos readerBack;
    vexa::sub::qos::convertQos(reader, readerBack);
    rec::DataReaderQos readerAgain;
    vexa::sub::qos::convertQos(readerBack, readerAgain);
    EXPECT_EQ(readerAgain, reader);

    rec::PublisherQos pub;
    vexa::pub::qos::convertQos(dds::pub::qos::PublisherQos(), pub);
    dds::pub::qos::PublisherQos pubBack;
    vexa::pub::qos::convertQos(pub, pubBack);
    EXPECT_EQ(pubBack->partition().name(), (dds::core::StringSeq{""}));
}

TEST(EntityQos, WriterAndReaderFromTopic) {
    dds::topic::qos::TopicQos t;
    t.policy(api::Lifespan(Duration(5, 0)))
        .policy(api::TopicData(dds::core::ByteSeq{1}))
        .policy(api::Durability(api::DurabilityKind::TRANSIENT))
        .policy(api::Ownership(api::OwnershipKind::EXCLUSIVE))
        .policy(api::ResourceLimits(10, 2, 5));

    dds::pub::qos::DataWriterQos w(t);
    EXPECT_EQ(w->lifespan().duration(), Duration(5, 0));
    EXPECT_EQ(w->durability().kind(), api::DurabilityKind::TRANSIENT);
    EXPECT_EQ(w->ownership().kind(), api::OwnershipKind::EXCLUSIVE);
    EXPECT_EQ(w->resource_limits().max_samples(), 10);
    EXPECT_TRUE(w->user_data().value().empty());
    EXPECT_EQ(w->ownership_strength().value(), 0);
    EXPECT_TRUE(w->writer_data_lifecycle().autodispose_unregistered_instances());

    dds::sub::qos::DataReaderQos r(t);
    EXPECT_EQ(r->lifespan().duration(), Duration(5, 0));
    EXPECT_EQ(r->time_based_filter().minimum_separation(), Duration(0, 0));
    EXPECT_TRUE(r->reader_data_lifecycle().autopurge_disposed_samples_delay().is_infinite());
    rec::DataReaderQos core;
    vexa::sub::qos::convertQos(r, core);
    EXPECT_EQ(core.durability.kind, rec::TRANSIENT_DURABILITY_QOS);
    EXPECT_EQ(core.resource_limits.max_samples_per_instance, 5);
}

TEST(EntityQos, PolicySetterReplacesOneMemberAndToleratesItself) {
    dds::sub::qos::SubscriberQos s;
    s.policy(api::Partition(dds::core::StringSeq{"a", "b"}));
    s.policy(s->partition());
    EXPECT_EQ(s->partition().name(), (dds::core::StringSeq{"a", "b"}));

    dds::pub::qos::DataWriterQos w;
    w.policy(api::UserData(dds::core::ByteSeq{1, 2, 3}));
    w.policy(w->user_data());
    EXPECT_EQ(w->user_data().value(), (dds::core::ByteSeq{1, 2, 3}));
    EXPECT_EQ(w->history().depth(), 1);

    dds::sub::qos::DataReaderQos r;
    r.policy(api::Deadline(Duration(2, 0)));
    r.policy(r->deadline());
    EXPECT_EQ(r->deadline().period(), Duration(2, 0));
}

TEST(EntityQos, MemberWiseConstructors) {
    vexa::pub::qos::PublisherQosImpl impl(
        api::Presentation(api::PresentationAccessScopeKind::GROUP, true, true),
        api::Partition(dds::core::StringSeq{"p"}), api::GroupData(dds::core::ByteSeq{5}),
        api::EntityFactory(false));
    dds::pub::qos::PublisherQos q(impl);
    EXPECT_EQ(q->presentation().access_scope(), api::PresentationAccessScopeKind::GROUP);
    EXPECT_EQ(q->partition().name(), (dds::core::StringSeq{"p"}));
    EXPECT_EQ(q->group_data().value(), (dds::core::ByteSeq{5}));
    EXPECT_FALSE(q->entity_factory().autoenable_created_entities());

    vexa::topic::qos::TopicQosImpl t(
        api::TopicData(), api::Durability(api::DurabilityKind::PERSISTENT),
        api::DurabilityService(), api::Ownership(api::OwnershipKind::EXCLUSIVE),
        api::Deadline(Duration(1, 0)), api::LatencyBudget(Duration(0, 1)),
        api::Liveliness(api::LivelinessKind::MANUAL_BY_TOPIC, Duration(3, 0)),
        api::Reliability(api::ReliabilityKind::RELIABLE, Duration(0, 2)),
        api::DestinationOrder(api::DestinationOrderKind::BY_SOURCE_TIMESTAMP),
        api::History(api::HistoryKind::KEEP_LAST, 4), api::ResourceLimits(1, 2, 3),
        api::TransportPriority(5), api::Lifespan(Duration(6, 0)));
    rec::TopicQos core;
    vexa::topic::qos::convertQos(dds::topic::qos::TopicQos(t), core);
    EXPECT_EQ(core.durability.kind, rec::PERSISTENT_DURABILITY_QOS);
    EXPECT_EQ(core.ownership.kind, rec::EXCLUSIVE_OWNERSHIP_QOS);
    EXPECT_EQ(core.deadline.period, (rec::Duration_t{1, 0}));
    EXPECT_EQ(core.latency_budget.duration, (rec::Duration_t{0, 1}));
    EXPECT_EQ(core.liveliness.kind, rec::MANUAL_BY_TOPIC_LIVELINESS_QOS);
    EXPECT_EQ(core.destination_order.kind, rec::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS);
    EXPECT_EQ(core.history.depth, 4);
    EXPECT_EQ(core.resource_limits.max_instances, 2);
    EXPECT_EQ(core.transport_priority.value, 5);
    EXPECT_EQ(core.lifespan.duration, (rec::Duration_t{6, 0}));
}

}  // namespace
