// The built-in subscriber's intake of remote participants, topics, writers and readers, as the
// engine reports them on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "CoreFixture.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeEngine.h"
#include "fake/FakeParticipant.h"
#include "rtps/LogCapture.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/SampleSeq.h"

namespace {

namespace api = vexa::dcps::api;
using vexa::dcps::RemoteDP;
using vexa::dcps::SubscriberBuiltin;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;

constexpr unsigned PEER[3] = {0xAAAA0001u, 2u, 3u};
constexpr uint32_t ALIVE = 1;
constexpr uint32_t GONE = 6;

// Counts data-available calls on the built-in reader.
class DataAvailable : public api::DREventForwarder {
public:
    void on_requested_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, vexa::dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, vexa::dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override { calls.fetch_add(1); }
    void on_subscription_matched(void*, vexa::dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void*, vexa::dds::SampleLostStatus const&) override {}

    std::atomic<int> calls{0};
};

class BuiltinSub : public ::testing::Test {
protected:
    void SetUp() override {
        dp = vexatest::factory().createParticipant(vexatest::testDomain(), nullptr);
        ASSERT_NE(dp, nullptr);
        engine = FakeEngine::instance().newest();
        builtin = dp->getBuiltinSubscriber();
    }
    void TearDown() override {
        engine->drain();
        vexatest::factory().delete_participant(dp);
        vexatest::factory().collectGarbage();
        vexatest::factory().collectGarbage();
    }

    // The engine reports one change of a built-in reader, as its thread does.
    template <class Record>
    bool report(FakeParticipant::BuiltinIndex which, Record const& record, uint32_t flags,
                unsigned entityId = 0, unsigned const (&prefix)[3] = PEER,
                uint64_t length = sizeof(Record), void const* data = nullptr,
                bool withData = true) {
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = length;
        RTPS::SampleInfo* h = engine->builtinReader(which)->addHeldChange(
            info, data != nullptr ? data : &record, length, prefix, entityId);
        if (!withData) {
            h->data = nullptr;  // the engine's record without its data
        }
        size_t const before = engine->changeAvailableResults().size();
        engine->queueChangeAvailable(engine->builtinReader(which), nullptr, h);
        engine->drain();
        return engine->changeAvailableResults().at(before);
    }
    void announceParticipant(uint32_t flags, unsigned const (&prefix)[3] = PEER) {
        vexa::dds::ParticipantBuiltinTopicData p;
        for (unsigned i = 0; i < 3; ++i) {
            p.key.value[i] = prefix[i];
        }
        report(FakeParticipant::PARTICIPANT_READER, p, flags, 0x1C1, prefix);
    }
    vexa::dds::PublicationBuiltinTopicData publication(char const* topic) {
        vexa::dds::PublicationBuiltinTopicData w;
        w.topic_name = topic;
        w.type_name = "Keyed";
        return w;
    }
    RemoteDP const* peer() { return builtin->findRemote(PEER); }
    void advance(int64_t seconds) {
        dp->getTimeService().advance(static_cast<uint64_t>(seconds) * 1000000u);
    }

    vexa::dcps::DomainParticipant* dp = nullptr;
    FakeParticipant* engine = nullptr;
    SubscriberBuiltin* builtin = nullptr;
};

TEST_F(BuiltinSub, DepartureMarksRemovedAndLaterAnnouncementsWaitForTheCollector) {
    announceParticipant(ALIVE);
    ASSERT_NE(peer(), nullptr);
    EXPECT_EQ(peer()->flags, 0u);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102);
    announceParticipant(GONE);
    EXPECT_EQ(peer()->flags & RemoteDP::REMOVED, RemoteDP::REMOVED);
    EXPECT_TRUE(peer()->writers.at(0x102)->handled);
    announceParticipant(ALIVE);
    EXPECT_EQ(peer()->flags & RemoteDP::REMOVED, RemoteDP::REMOVED);
    dp->collectGarbage();
    EXPECT_EQ(peer(), nullptr);
    announceParticipant(ALIVE);
    ASSERT_NE(peer(), nullptr);
    EXPECT_EQ(peer()->flags, 0u);
}

TEST_F(BuiltinSub, LostThenHeardAgainKeepsTheTimeOfTheLoss) {
    announceParticipant(ALIVE);
    advance(5);
    engine->queueParticipantLost(PEER);
    engine->drain();
    ASSERT_EQ(peer()->flags, RemoteDP::LOST);
    vexa::dds::Time_t const lostAt = peer()->activity;
    advance(5);
    announceParticipant(ALIVE);
    EXPECT_EQ(peer()->flags, 0u);
    EXPECT_EQ(peer()->activity, lostAt);
}

TEST_F(BuiltinSub, LivelinessFromAnUnknownPrefixCreatesAnEmptyRecord) {
    unsigned const other[3] = {9, 9, 9};
    engine->queueAssertLiveliness(engine->builtinReader(FakeParticipant::PARTICIPANT_READER),
                                  nullptr, other, 0);
    engine->drain();
    RemoteDP const* r = builtin->findRemote(other);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->writers.empty());
    EXPECT_NE(r->activity.sec, 0);
    EXPECT_EQ(r->writerLiveliness.sec, 0);
}

// A lost participant goes when its loss time plus 300 s is below the clock's seconds.
TEST_F(BuiltinSub, LostParticipantIsRemovedAfter300Seconds) {
    struct Row {
        int64_t after;
        bool removed;
    } const rows[] = {{299, false}, {300, false}, {301, true}};
    for (Row const& row : rows) {
        unsigned const prefix[3] = {0xB0u, static_cast<unsigned>(row.after), 1};
        announceParticipant(ALIVE, prefix);
        engine->queueParticipantLost(prefix);
        engine->drain();
        vexa::dds::Time_t const lostAt = builtin->findRemote(prefix)->activity;
        // Whole seconds from the loss: the clock lands at lostAt.sec + after, same fraction.
        advance(row.after);
        ASSERT_EQ(dp->getTimeService().now().sec, lostAt.sec + row.after);
        dp->collectGarbage();
        RemoteDP const* r = builtin->findRemote(prefix);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ((r->flags & RemoteDP::REMOVED) != 0, row.removed) << row.after;
        dp->collectGarbage();
        EXPECT_EQ(builtin->findRemote(prefix) == nullptr, row.removed) << row.after;
        announceParticipant(ALIVE, prefix);  // heard again: not lost any more
    }
}

// A lost participant's writers are lost with it; announced again, each is itself again (same
// id), while one that is not announced again stays lost.
TEST_F(BuiltinSub, ReappearingParticipantGetsItsWritersBackAsTheyAreAnnounced) {
    announceParticipant(ALIVE);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x202);
    uint32_t const id = peer()->writers.at(0x102)->id;
    engine->queueParticipantLost(PEER);
    engine->drain();
    EXPECT_TRUE(peer()->writers.at(0x102)->handled);
    EXPECT_TRUE(peer()->writers.at(0x202)->handled);
    advance(200);
    announceParticipant(ALIVE);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102);
    EXPECT_FALSE(peer()->writers.at(0x102)->handled);
    EXPECT_EQ(peer()->writers.at(0x102)->id, id);
    EXPECT_TRUE(peer()->writers.at(0x202)->handled);
    advance(200);
    dp->collectGarbage();
    dp->collectGarbage();
    ASSERT_NE(peer(), nullptr);
    EXPECT_FALSE(peer()->writers.at(0x102)->handled);
    EXPECT_EQ(peer()->writers.count(0x202), 0u);
    // A departure is no lease loss: announced again, it stays gone until collected.
    report(FakeParticipant::PUBLICATION_READER, publication("T"), GONE, 0x102);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102);
    EXPECT_TRUE(peer()->writers.at(0x102)->handled);
}

TEST_F(BuiltinSub, DisabledBuiltinReaderGetsNothingEnabledOneGetsSamples) {
    EXPECT_FALSE(report(FakeParticipant::TOPIC_READER, vexa::dds::TopicBuiltinTopicData{[] {
                            vexa::dds::TopicBuiltinTopicData t;
                            t.name = "T";
                            return t;
                        }()},
                        ALIVE, 0x2C2));
    ASSERT_NE(peer(), nullptr);  // handled all the same
    ASSERT_NE(builtin->lookupDR("DCPSPublication"), nullptr);
    EXPECT_TRUE(builtin->entry(SubscriberBuiltin::PUBLICATION).reader->isEnabled());
    EXPECT_TRUE(report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102));
}

// Discovery goes on while the application's built-in reader is disabled, and nothing reaches
// that reader; once the application looks the reader up, each record reaches it and its
// listener.
TEST_F(BuiltinSub, EnabledBuiltinReaderCanReadTheRecordsAndHearsOfThem) {
    EXPECT_FALSE(report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102));
    ASSERT_NE(peer(), nullptr);
    EXPECT_EQ(peer()->writers.count(0x102), 1u);

    DataAvailable listener;
    api::DataReaderImpl* bridge = builtin->lookupDR("DCPSPublication");
    ASSERT_NE(bridge, nullptr);
    vexa::dcps::Reader* reader = bridge->getEntity();
    ASSERT_EQ(builtin->setReaderListener(&listener, vexa::dds::DATA_AVAILABLE_STATUS, reader),
              vexa::dds::RETCODE_OK);
    EXPECT_TRUE(report(FakeParticipant::PUBLICATION_READER, publication("U"), ALIVE, 0x202));
    dp->handleSubscriptions();  // files it now, if the data-handling thread has not yet
    EXPECT_EQ(listener.calls.load(), 1);
    EXPECT_EQ(peer()->writers.count(0x202), 1u);

    api::SampleSeq seq;
    ASSERT_EQ(builtin->loanSamples(seq, reader, true, -1, vexa::dds::ANY_SAMPLE_STATE,
                                   vexa::dds::ANY_VIEW_STATE, vexa::dds::ANY_INSTANCE_STATE),
              vexa::dds::RETCODE_OK);
    ASSERT_EQ(seq.data.size(), 1u);  // the record from before the lookup never came
    EXPECT_EQ(static_cast<vexa::dds::PublicationBuiltinTopicData const*>(seq.data[0])->topic_name,
              "U");
    EXPECT_EQ(builtin->returnLoan(seq, reader), vexa::dds::RETCODE_OK);
    builtin->setReaderListener(nullptr, 0, reader);
}

TEST_F(BuiltinSub, PublicationTwiceKeepsItsIdAndPartitionChangeIsStored) {
    announceParticipant(ALIVE);
    auto w = publication("T");
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);
    uint32_t const id = peer()->writers.at(0x102)->id;
    EXPECT_EQ(id, 0x10000001u);
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);
    w.partition.name = {"P"};
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);
    EXPECT_EQ(peer()->writers.at(0x102)->id, id);
    EXPECT_EQ(peer()->writers.at(0x102)->data.partition.name, w.partition.name);
}

TEST_F(BuiltinSub, RemovedWriterAnnouncedAgainBeforeAndAfterTheCollector) {
    auto w = publication("T");
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);
    report(FakeParticipant::PUBLICATION_READER, w, GONE, 0x102);
    LogCapture log;
    std::string const handled = "Удалённый писатель или тема \"T\" уже удалены";
    size_t const lines = LogCapture::count(handled);
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);  // ignored
    EXPECT_EQ(LogCapture::count(handled), lines + 1);
    EXPECT_TRUE(peer()->writers.at(0x102)->handled);
    EXPECT_EQ(peer()->writers.at(0x102)->id, 0x10000001u);
    dp->collectGarbage();
    EXPECT_EQ(peer()->writers.count(0x102), 0u);
    report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102);
    EXPECT_EQ(peer()->writers.at(0x102)->id, 0x10000002u);
}

TEST_F(BuiltinSub, InconsistentRemoteTopicCountsAtEveryAnnouncement) {
    vexatest::registerFakeTypes(dp);
    vexa::dcps::Topic* local = dp->createTopic("T", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(local, nullptr);
    vexa::dds::TopicBuiltinTopicData t = local->getAnnouncedData();
    t.reliability.kind = t.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS
                             ? vexa::dds::BEST_EFFORT_RELIABILITY_QOS
                             : vexa::dds::RELIABLE_RELIABILITY_QOS;
    for (int i = 1; i <= 3; ++i) {
        report(FakeParticipant::TOPIC_READER, t, ALIVE, 0x2C2);
        vexa::dds::InconsistentTopicStatus st;
        local->getInconsistentTopicStatus(st);
        EXPECT_EQ(st.total_count, i);
    }
    EXPECT_EQ(builtin->countInconsistentRemoteTopics(*local), 1);
}

// Remote topics known before the local one is created count at its creation, once per remote
// record that disagrees with it.
TEST_F(BuiltinSub, TopicCreatedAfterInconsistentRemoteOnesStartsWithTheirCount) {
    vexatest::registerFakeTypes(dp);
    unsigned const other[3] = {0xAAAA0002u, 2u, 3u};
    vexa::dds::TopicBuiltinTopicData t;
    t.name = "U";
    t.type_name = "Other";
    report(FakeParticipant::TOPIC_READER, t, ALIVE, 0x2C2);
    report(FakeParticipant::TOPIC_READER, t, ALIVE, 0x2C2);  // the same record again
    report(FakeParticipant::TOPIC_READER, t, ALIVE, 0x2C2, other);
    t.name = "V";
    report(FakeParticipant::TOPIC_READER, t, ALIVE, 0x3C2);
    vexa::dcps::Topic* local = dp->createTopic("U", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(local, nullptr);
    vexa::dds::InconsistentTopicStatus st;
    ASSERT_EQ(local->getInconsistentTopicStatus(st), vexa::dds::RETCODE_OK);
    EXPECT_EQ(st.total_count, 2);
    EXPECT_EQ(st.total_count_change, 2);
}

// Network input that cannot be a record is logged and dropped: not handled, and not queued
// even for an enabled built-in reader.
TEST_F(BuiltinSub, MalformedSamplesAreDropped) {
    LogCapture log;
    ASSERT_NE(builtin->lookupDR("DCPSTopic"), nullptr);
    ASSERT_NE(builtin->lookupDR("DCPSPublication"), nullptr);
    vexa::dds::TopicBuiltinTopicData unnamed;
    vexa::dds::PublicationBuiltinTopicData const w = publication("T");
    struct Case {
        char const* name;
        std::function<bool()> report;
    } const cases[] = {
        {"topic without a name",
         [&] { return report(FakeParticipant::TOPIC_READER, unnamed, ALIVE, 0x2C2); }},
        // The fake keeps a whole record; the engine's length says 8 bytes.
        {"publication of the wrong size",
         [&] { return report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x102, PEER, 8); }},
        {"publication without data",
         [&] {
             return report(FakeParticipant::PUBLICATION_READER, w, ALIVE, 0x202, PEER, sizeof w,
                           nullptr, false);
         }},
    };
    for (Case const& c : cases) {
        size_t const lines = LogCapture::count("отброшен: запись повреждена");
        EXPECT_FALSE(c.report()) << c.name;
        EXPECT_EQ(LogCapture::count("отброшен: запись повреждена"), lines + 1) << c.name;
        EXPECT_TRUE(peer() == nullptr || (peer()->topics.empty() && peer()->writers.empty()))
            << c.name;
    }
}

TEST_F(BuiltinSub, RemoteIdsRunOutAndNewEndpointsAreIgnored) {
    LogCapture log;
    std::string const refused = "Удалённая конечная точка темы \"T\" не принята";
    size_t const lines = LogCapture::count(refused);
    builtin->setNextRemoteIds(0x10FFFFFEu, 0x20FFFFFFu);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x102);
    report(FakeParticipant::PUBLICATION_READER, publication("T"), ALIVE, 0x202);
    EXPECT_EQ(LogCapture::count(refused), lines + 1);
    EXPECT_EQ(peer()->writers.at(0x102)->id, 0x10FFFFFEu);
    EXPECT_EQ(peer()->writers.count(0x202), 0u);
    vexa::dds::SubscriptionBuiltinTopicData r;
    r.topic_name = "T";
    report(FakeParticipant::SUBSCRIPTION_READER, r, ALIVE, 0x107);
    EXPECT_EQ(peer()->readers.count(0x107), 0u);
    EXPECT_EQ(LogCapture::count(refused), lines + 2);
}

TEST_F(BuiltinSub, RefusesReaderOperations) {
    EXPECT_EQ(builtin->createDR(nullptr, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(builtin->setReaderQoS(vexa::dds::predefDataReaderQos(), nullptr),
              vexa::dds::RETCODE_UNSUPPORTED);
    EXPECT_EQ(builtin->deleteDR(nullptr), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    api::DataReaderImpl* reader = builtin->lookupDR("DCPSPublication");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(builtin->deleteDR(reader), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    // The participant keeps its built-in subscriber.
    EXPECT_EQ(dp->deleteSubscriber(builtin), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_EQ(dp->getBuiltinSubscriber(), builtin);
    EXPECT_FALSE(builtin->isMarked());
    EXPECT_EQ(builtin->lookupDR("DCPSPublication"), reader);
}

}  // namespace
