// The publisher: writer ids and handles, creation and deletion of writers, QoS changes and the
// acknowledgement waits.
#include <gtest/gtest.h>

#include "PublisherFixture.h"
#include "rtps/LogCapture.h"
#include "vexa/DataWriterImpl.h"

using vexa::dcps::Publisher;
using vexa::dcps::Writer;
using vexa::dds::DataWriterQos;
using vexatest::FakeParticipant;
using vexatest::FakeWriter;
using vexatest::KeyedSample;

namespace {

using PublisherOps = vexatest::PublisherTest;

DataWriterQos volatileQos() {
    DataWriterQos q = vexa::dds::predefDataWriterQos();
    q.durability.kind = vexa::dds::VOLATILE_DURABILITY_QOS;
    return q;
}

}  // namespace

TEST_F(PublisherOps, IdsAndHandlesCarryThePublisher) {
    Writer* w = create(volatileQos());
    uint32_t const pubIndex = static_cast<uint32_t>(pub_->getId()) & 0xFFu;
    EXPECT_EQ(static_cast<uint32_t>(w->getId()), 0x04000001u | (pubIndex << 16));
    EXPECT_EQ(w->publicationData().key.value[0], static_cast<uint32_t>(w->getId()) & 0xFFFFFFu);
    EXPECT_TRUE(dp_->contains_entity(w->getId()));
    KeyedSample s{1, 0};
    uint32_t const h = static_cast<uint32_t>(pub_->registerInstance(w, &s, nullptr));
    EXPECT_EQ(h, 0x40000001u | (pubIndex << 20));
    EXPECT_EQ(pub_->getLocalObjectIndex(static_cast<int32_t>(h)), 0u);

    // Another publisher's handle is not in this one's table.
    Publisher* other = dp_->createPublisher(nullptr, nullptr, 0);
    Writer* ow = create(volatileQos(), nullptr, other);
    vexa::dds::InstanceHandle_t const oh = other->registerInstance(ow, &s, nullptr);
    EXPECT_EQ(pub_->getLocalObjectIndex(oh), 0xFFFFFFFFu);
    EXPECT_EQ(other->getLocalObjectIndex(oh), 0u);
    EXPECT_EQ(pub_->getLocalObjectIndex(static_cast<int32_t>(h + 5)), 0xFFFFFFFFu);
    EXPECT_FALSE(pub_->setLocalObjectIndex(oh, 3));
}

TEST_F(PublisherOps, NoWriterIdAfter2042) {
    LogCapture log;
    Writer* first = nullptr;
    for (int i = 0; i < 2042; ++i) {
        Writer* w = create(volatileQos());
        ASSERT_NE(w, nullptr) << i;
        first = first != nullptr ? first : w;
    }
    size_t const before = LogCapture::count("идентификаторы писателей исчерпаны");
    EXPECT_EQ(create(volatileQos()), nullptr);
    EXPECT_EQ(LogCapture::count("идентификаторы писателей исчерпаны"), before + 1);
    // A deleted writer's id is not handed out again.
    pub_->deleteDW(first->getBridge());
    EXPECT_EQ(create(volatileQos()), nullptr);
}

TEST_F(PublisherOps, AWriterTheEngineRefusesLeavesTheTopicUnused) {
    LogCapture log;
    size_t const before = LogCapture::count("писатель RTPS не получен");
    engine_->failNextAddWriter(vexatest::Failure::DDSI);
    EXPECT_EQ(create(volatileQos()), nullptr);
    EXPECT_EQ(LogCapture::count("писатель RTPS не получен"), before + 1);
    EXPECT_FALSE(keyed_->inUse());
    EXPECT_FALSE(pub_->inUse());
    EXPECT_EQ(dp_->deleteTopic(keyed_), vexa::dds::RETCODE_OK);
}

TEST_F(PublisherOps, CreationHandsTheEngineTheDescription) {
    DataWriterQos q =
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 3);
    q.transport_priority.value = 7;
    Writer* keyedWriter = create(q);
    Writer* keylessWriter = create(q, keyless_);
    auto const records = engine_->writers();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, RTPS::TOPIC_KIND_WITH_KEY);
    EXPECT_EQ(records[1].kind, RTPS::TOPIC_KIND_NO_KEY);
    EXPECT_EQ(records[0].extra.transportPriority, 7);
    EXPECT_EQ(records[0].data, keyedWriter->publicationData());
    EXPECT_EQ(records[0].data.participant_key, dp_->participantData().key);
    EXPECT_EQ(records[0].data.topic_name, "Keyed topic");
    EXPECT_EQ(records[0].data.type_name, "Keyed");
    EXPECT_EQ(records[0].data.reliability.kind, vexa::dds::RELIABLE_RELIABILITY_QOS);
    EXPECT_TRUE(keyedWriter->isEnabled());
    EXPECT_TRUE(keyed_->getWriters().count(keyedWriter) == 1);
    EXPECT_TRUE(keyless_->getWriters().count(keylessWriter) == 1);
}

TEST_F(PublisherOps, DeletionAnnouncesTheRemovalAndClosesTheEngineWriter) {
    Writer* w = create(volatileQos());
    FakeWriter* engine = engineOf(w);
    int32_t const id = w->getId();
    pub_->deleteDW(w->getBridge());
    EXPECT_TRUE(engine->closed());
    EXPECT_TRUE(w->isMarked());
    EXPECT_FALSE(dp_->contains_entity(id));
    EXPECT_FALSE(keyed_->inUse());
    auto const announced = engine_->builtinWriter(FakeParticipant::PUBLICATION_WRITER)->changes();
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0].info.statusFlags, 6u);
    EXPECT_EQ(announced[0].info.instanceHandle, id);
    EXPECT_EQ(std::get<vexa::dds::PublicationBuiltinTopicData>(announced[0].data).key.value[0],
              static_cast<uint32_t>(id) & 0xFFFFFFu);
    pub_->deleteDW(w->getBridge());  // already marked: nothing more
    EXPECT_EQ(engine_->builtinWriter(FakeParticipant::PUBLICATION_WRITER)->changes().size(), 1u);
    EXPECT_EQ(dp_->deletePublisher(pub_), vexa::dds::RETCODE_OK);
}

TEST_F(PublisherOps, APublisherWithALiveWriterIsNotDeleted) {
    Writer* w = create(volatileQos());
    EXPECT_EQ(dp_->deletePublisher(pub_), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_EQ(dp_->deletePublisher(nullptr), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    pub_->deleteDW(w->getBridge());
    EXPECT_EQ(dp_->deletePublisher(pub_), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(pub_->isMarked());
}

TEST_F(PublisherOps, LookupSkipsADeletedWriter) {
    Writer* w = create(volatileQos());
    EXPECT_EQ(pub_->lookupDW("Keyed topic"), w->getBridge());
    pub_->deleteDW(w->getBridge());
    EXPECT_EQ(pub_->lookupDW("Keyed topic"), nullptr);
    Writer* again = create(volatileQos());
    EXPECT_EQ(pub_->lookupDW("Keyed topic"), again->getBridge());
    EXPECT_EQ(pub_->lookupDW("Keyless topic"), nullptr);
}

TEST_F(PublisherOps, ADeletedWriterIsFreedOnTheSecondPass) {
    Writer* w = create(volatileQos());
    uint32_t const index = static_cast<uint32_t>(w->getId()) & 0xFFFFu;
    pub_->deleteDW(w->getBridge());
    dp_->collectGarbage();
    EXPECT_EQ(pub_->writerAt(index), w);
    dp_->collectGarbage();
    EXPECT_EQ(pub_->writerAt(index), nullptr);
}

TEST_F(PublisherOps, PublisherQosReachesTheEngineWritersOnlyWhenPartitionOrGroupDataChange) {
    Writer* w = create(volatileQos());
    vexa::dds::PublisherQos q;
    pub_->getQoS(q);
    q.presentation.access_scope = vexa::dds::TOPIC_PRESENTATION_QOS;
    q.entity_factory.autoenable_created_entities = false;
    EXPECT_EQ(pub_->setQoS(q), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(engineOf(w)->qosChanges().empty());
    vexa::dds::PublisherQos stored;
    pub_->getQoS(stored);
    EXPECT_EQ(stored, q);

    q.partition.name = {"A", "B"};
    EXPECT_EQ(pub_->setQoS(q), vexa::dds::RETCODE_OK);
    q.group_data.value = {1, 2};
    EXPECT_EQ(pub_->setQoS(q), vexa::dds::RETCODE_OK);
    auto const changes = engineOf(w)->qosChanges();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].mask, 128u);
    EXPECT_EQ(changes[0].data.partition.name, q.partition.name);
    EXPECT_EQ(changes[1].mask, 4u);
    EXPECT_EQ(changes[1].data.group_data.value, q.group_data.value);
    EXPECT_EQ(w->publicationData().group_data.value, q.group_data.value);
}

TEST_F(PublisherOps, WriterQosChangesReachTheEngineWithTheirMask) {
    Writer* w = create(volatileQos());
    struct Case {
        char const* name;
        void (*change)(DataWriterQos&);
        unsigned mask;
    } const cases[] = {
        {"nothing", [](DataWriterQos&) {}, 0},
        {"history only", [](DataWriterQos& q) { q.history.depth = 9; }, 0},
        {"deadline",
         [](DataWriterQos& q) {
             q.deadline.period = {1, 0};
         },
         8},
        {"latency",
         [](DataWriterQos& q) {
             q.latency_budget.duration = {0, 5};
         },
         16},
        {"lifespan",
         [](DataWriterQos& q) {
             q.lifespan.duration = {9, 0};
         },
         0x200},
        {"user data", [](DataWriterQos& q) { q.user_data.value = {7}; }, 1},
        {"transport priority", [](DataWriterQos& q) { q.transport_priority.value = 3; }, 0x100},
    };
    for (Case const& c : cases) {
        DataWriterQos q;
        ASSERT_EQ(w->getQoS(q), vexa::dds::RETCODE_OK);
        c.change(q);
        size_t const before = engineOf(w)->qosChanges().size();
        EXPECT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK) << c.name;
        auto const changes = engineOf(w)->qosChanges();
        EXPECT_EQ(changes.size(), before + (c.mask != 0 ? 1 : 0)) << c.name;
        if (c.mask != 0) {
            EXPECT_EQ(changes.back().mask, c.mask) << c.name;
            EXPECT_EQ(changes.back().data.deadline, q.deadline) << c.name;
            EXPECT_EQ(changes.back().extra.transportPriority, q.transport_priority.value) << c.name;
        }
        DataWriterQos stored;
        w->getQoS(stored);
        EXPECT_EQ(stored, q) << c.name;
    }
    EXPECT_EQ(w->maxSamples(), 1024);  // limits keep their construction values
    EXPECT_EQ(w->depth(), 1);
}

TEST_F(PublisherOps, AcknowledgementWaits) {
    Writer* bestEffort = create(volatileQos());
    EXPECT_EQ(pub_->waitForAcknowledgements({1, 0}), vexa::dds::RETCODE_OK);
    EXPECT_EQ(pub_->waitForWriterAcknowledgements({1, 0}, bestEffort), vexa::dds::RETCODE_OK);
    EXPECT_EQ(engine_->deliveryChecks(), 0u);

    Writer* reliable =
        create(qos(vexa::dds::VOLATILE_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS));
    struct Case {
        char const* name;
        FakeParticipant::DeliveryResult result;
        vexa::dds::ReturnCode_t rc;
    } const cases[] = {
        {"delivered", FakeParticipant::DeliveryResult::Delivered, vexa::dds::RETCODE_OK},
        {"timed out", FakeParticipant::DeliveryResult::TimedOut, vexa::dds::RETCODE_TIMEOUT},
        {"engine error", FakeParticipant::DeliveryResult::Throw, vexa::dds::RETCODE_ERROR},
    };
    for (Case const& c : cases) {
        engine_->setDeliveryResult(c.result);
        unsigned const before = engine_->deliveryChecks();
        EXPECT_EQ(pub_->waitForWriterAcknowledgements({0, 0}, reliable), c.rc) << c.name;
        EXPECT_EQ(pub_->waitForAcknowledgements({0, 0}), c.rc) << c.name;
        EXPECT_EQ(engine_->deliveryChecks(), before + 2) << c.name;
    }
    // A wait longer than a slice goes on until the acknowledgement comes.
    engine_->setDeliveryResult(FakeParticipant::DeliveryResult::WaitForAck);
    unsigned const before = engine_->deliveryChecks();
    std::thread ack([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        engine_->acknowledge();
    });
    EXPECT_EQ(pub_->waitForWriterAcknowledgements({10, 0}, reliable), vexa::dds::RETCODE_OK);
    ack.join();
    EXPECT_GE(engine_->deliveryChecks() - before, 2u);  // in slices
}

TEST_F(PublisherOps, No255thPublisher) {
    vexa::dcps::Publisher* last = pub_;
    for (int i = 2; i <= 254; ++i) {
        last = dp_->createPublisher(nullptr, nullptr, 0);
        ASSERT_NE(last, nullptr) << i;
    }
    EXPECT_EQ(static_cast<uint32_t>(last->getId()), 0x010000FEu);
    EXPECT_EQ(dp_->deletePublisher(last), vexa::dds::RETCODE_OK);
    EXPECT_EQ(dp_->createPublisher(nullptr, nullptr, 0), nullptr);
    EXPECT_TRUE(dp_->contains_entity(pub_->getId()));
}
