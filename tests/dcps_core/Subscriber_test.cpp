#include <gtest/gtest.h>

#include <mutex>

#include "ReaderFixture.h"
#include "dcps/api/DPEventForwarder.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "fake/FakeWriter.h"
#include "rtps/LogCapture.h"
#include "vexa/DataReaderImpl.h"

using vexa::dcps::Reader;
using vexa::dcps::Subscriber;
using vexa::dcps::api::SampleSeq;
using vexatest::FakeParticipant;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

using SubscriberTest = ReaderFixture;

// Records what the core reports, on the data-handling thread.
class RecordingReaderListener : public vexa::dcps::api::DREventForwarder {
public:
    void on_requested_deadline_missed(void* e, dds::DeadlineMissedStatus const& s) override {
        std::lock_guard<std::mutex> lock(m);
        entity = e;
        deadline.push_back(s);
    }
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void* e, dds::SampleRejectedStatus const& s) override {
        std::lock_guard<std::mutex> lock(m);
        entity = e;
        rejected.push_back(s);
    }
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {
        std::lock_guard<std::mutex> lock(m);
        ++dataAvailable;
    }
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void* e, dds::SampleLostStatus const& s) override {
        std::lock_guard<std::mutex> lock(m);
        entity = e;
        lost.push_back(s);
    }

    std::mutex m;
    void* entity = nullptr;
    std::vector<dds::DeadlineMissedStatus> deadline;
    std::vector<dds::SampleRejectedStatus> rejected;
    std::vector<dds::SampleLostStatus> lost;
    int dataAvailable = 0;
};

class RecordingParticipantListener : public vexa::dcps::api::DPEventForwarder {
public:
    void on_data_on_readers(void*) override {}
    void on_inconsistent_topic(void*, dds::InconsistentTopicStatus const&) override {}
    void on_offered_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {}
    void on_liveliness_lost(void*, dds::LivelinessLostStatus const&) override {}
    void on_publication_matched(void*, dds::PublicationMatchedStatus const&) override {}
    void on_requested_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void* e, dds::SampleLostStatus const& s) override {
        std::lock_guard<std::mutex> lock(m);
        entity = e;
        lost.push_back(s);
    }

    std::mutex m;
    void* entity = nullptr;
    std::vector<dds::SampleLostStatus> lost;
};

}  // namespace

TEST_F(SubscriberTest, ReaderIdsRunOutAfter2042) {
    dds::DataReaderQos const q = qosOf(1);
    Reader* first = nullptr;
    for (int i = 0; i < 2042; ++i) {
        Reader* r = sub_->createDR(keyed_, &q, nullptr, 0);
        ASSERT_NE(r, nullptr) << i;
        first = first != nullptr ? first : r;
    }
    EXPECT_EQ(sub_->createDR(keyed_, &q, nullptr, 0), nullptr);
    EXPECT_EQ(static_cast<uint32_t>(first->getId()) & 0xFF00FFFFu, 0x08000001u);
    EXPECT_TRUE(dp_->contains_entity(first->getId()));
}

// A reader whose engine reader cannot be made leaves nothing behind, not even in its topic.
TEST_F(SubscriberTest, ACreationTheEngineRefusesLeavesTheTopicUnused) {
    engine_->failNextAddReader(vexatest::Failure::DDSI);
    dds::DataReaderQos const q = qosOf(1);
    EXPECT_EQ(sub_->createDR(keyed_, &q, nullptr, 0), nullptr);
    EXPECT_FALSE(keyed_->inUse());
    EXPECT_FALSE(sub_->inUse());
    EXPECT_EQ(dp_->deleteTopic(keyed_), dds::RETCODE_OK);
}

// The durability service answers a request it refuses with an empty history, which the reader
// cannot tell from an empty store; the application's log says so, with the reason, when the
// durable reader is made.
TEST_F(SubscriberTest, ADurableReaderTheServiceWillRefuseIsLoggedWithTheReason) {
    LogCapture log;
    vexares::ResourceManager::getInstance().initialise("dcps_strings_ru.res");
    vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_WARNING);
    struct Case {
        char const* topic;
        dds::ReliabilityQosPolicyKind topicReliability;
        dds::DurabilityQosPolicyKind readerDurability;
        char const* reason;  // null: nothing to say
    } const cases[] = {
        {"BestEffortTopic", dds::BEST_EFFORT_RELIABILITY_QOS, dds::TRANSIENT_DURABILITY_QOS,
         "RELIABILITY читателя RELIABLE, у темы BEST_EFFORT"},
        {"ReliableTopic", dds::RELIABLE_RELIABILITY_QOS, dds::TRANSIENT_DURABILITY_QOS, nullptr},
        {"VolatileReader", dds::BEST_EFFORT_RELIABILITY_QOS, dds::VOLATILE_DURABILITY_QOS, nullptr},
    };
    for (Case const& c : cases) {
        dds::TopicQos tq = dds::predefTopicQos();
        tq.durability.kind = dds::TRANSIENT_DURABILITY_QOS;
        tq.reliability.kind = c.topicReliability;
        vexa::dcps::Topic* topic = dp_->createTopic(c.topic, "Keyed", &tq, nullptr, 0);
        ASSERT_NE(topic, nullptr) << c.topic;
        dds::DataReaderQos q = qosOf(1);
        q.durability.kind = c.readerDurability;
        q.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
        makeReader(q, topic);
        std::string const head = std::string("откажет читателю темы \"") + c.topic + "\" в истории";
        EXPECT_EQ(LogCapture::count(c.reason ? head + ": " + c.reason : head), c.reason ? 1u : 0u)
            << c.topic << "\n"
            << LogCapture::text();
    }
}

TEST_F(SubscriberTest, CreationDescribesTheReaderToTheEngine) {
    dds::DataReaderQos q = qosOf(3);
    q.user_data.value = {1, 2};
    Reader* r = makeReader(q);
    auto const described = engine_->readers().back();
    EXPECT_EQ(described.userData, r);
    EXPECT_EQ(described.kind, RTPS::TOPIC_KIND_WITH_KEY);
    EXPECT_EQ(described.data.topic_name, "K");
    EXPECT_EQ(described.data.type_name, "Keyed");
    EXPECT_EQ(described.data.user_data.value, q.user_data.value);
    EXPECT_EQ(described.data.key.value[0], static_cast<uint32_t>(r->getId()) & 0xFFFFFFu);
    EXPECT_EQ(described.data.participant_key, dp_->participantData().key);
    Reader* keyless = makeReader(q, keyless_);
    EXPECT_EQ(engine_->readers().back().kind, RTPS::TOPIC_KIND_NO_KEY);
    EXPECT_TRUE(keyless->isEnabled());
}

TEST_F(SubscriberTest, LoanFrontEnds) {
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 1);
    offer(r, 2, 2);
    settle();
    SampleSeq seq;
    EXPECT_EQ(sub_->loanSamples(seq, r, true, 0, dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                dds::ANY_INSTANCE_STATE),
              dds::RETCODE_BAD_PARAMETER);
    EXPECT_EQ(sub_->loanInstanceSamples(seq, r, true, 1, false, 0, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_BAD_PARAMETER);
    // An empty sequence goes back without a look at the reader.
    Subscriber* other = dp_->createSubscriber(nullptr, nullptr, 0);
    EXPECT_EQ(other->returnLoan(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(other->loanSamples(seq, r, true, -1, dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                 dds::ANY_INSTANCE_STATE),
              dds::RETCODE_BAD_PARAMETER);
    // GROUP with ordered access lends one sample at a time, in arrival order.
    dds::SubscriberQos grouped = vexa::dds::predefSubscriberQos();
    grouped.presentation.access_scope = dds::GROUP_PRESENTATION_QOS;
    grouped.presentation.ordered_access = true;
    Subscriber* g = dp_->createSubscriber(&grouped, nullptr, 0);
    Reader* gr = makeReader(qosOf(5), keyed_, g);
    offer(gr, 2, 20);
    offer(gr, 1, 10);
    settle();
    ASSERT_EQ(read(seq, gr), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 1u);
    EXPECT_EQ(valueOf(seq, 0), 20);
    giveBack(seq, gr);
}

TEST_F(SubscriberTest, OrderedAccessLendsInArrivalOrderAcrossInstances) {
    dds::SubscriberQos topicScope = vexa::dds::predefSubscriberQos();
    topicScope.presentation.access_scope = dds::TOPIC_PRESENTATION_QOS;
    topicScope.presentation.ordered_access = true;
    Subscriber* s = dp_->createSubscriber(&topicScope, nullptr, 0);
    Reader* r = makeReader(qosOf(5), keyed_, s);
    offer(r, 1, 1);
    offer(r, 2, 2);
    offer(r, 1, 3);
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 3u);
    EXPECT_EQ(valueOf(seq, 0), 1);
    EXPECT_EQ(valueOf(seq, 1), 2);
    EXPECT_EQ(valueOf(seq, 2), 3);
    EXPECT_EQ(seq.info[0]->sample_rank, 1);
    EXPECT_EQ(seq.info[1]->sample_rank, 0);
    EXPECT_EQ(seq.info[2]->sample_rank, 0);
    giveBack(seq, r);
}

TEST_F(SubscriberTest, DeletionAnnouncesClosesAndMarksOnce) {
    Reader* r = makeReader(qosOf(1));
    vexatest::FakeReader* engine = engineOf(r);
    auto* bridge = r->getBridge();
    ASSERT_NE(bridge, nullptr);
    EXPECT_EQ(sub_->lookupDR("K"), bridge);
    EXPECT_TRUE(sub_->inUse());
    ASSERT_EQ(sub_->deleteDR(bridge), dds::RETCODE_OK);
    EXPECT_TRUE(r->isMarked());
    EXPECT_TRUE(engine->closed());
    auto const changes = engine_->builtinWriter(FakeParticipant::SUBSCRIPTION_WRITER)->changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].info.statusFlags, 6u);
    EXPECT_EQ(changes[0].info.instanceHandle, r->getId());
    EXPECT_EQ(std::get<dds::SubscriptionBuiltinTopicData>(changes[0].data).topic_name, "K");
    EXPECT_EQ(sub_->deleteDR(bridge), dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_EQ(engine_->builtinWriter(FakeParticipant::SUBSCRIPTION_WRITER)->changes().size(), 1u);
    // A deleted reader is not handed out again: its bridge goes two passes later.
    EXPECT_EQ(sub_->lookupDR("K"), nullptr);
    EXPECT_FALSE(sub_->inUse());
    EXPECT_FALSE(keyed_->inUse());
    EXPECT_FALSE(dp_->contains_entity(r->getId()));
    Reader* second = makeReader(qosOf(1));
    EXPECT_EQ(sub_->lookupDR("K"), second->getBridge());
}

TEST_F(SubscriberTest, ParticipantSideOfSubscribers) {
    EXPECT_EQ(dp_->deleteSubscriber(nullptr), dds::RETCODE_PRECONDITION_NOT_MET);
    Reader* r = makeReader(qosOf(1));
    EXPECT_EQ(dp_->deleteSubscriber(sub_), dds::RETCODE_PRECONDITION_NOT_MET);  // in use
    EXPECT_TRUE(dp_->contains_entity(sub_->getId()));
    ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
    EXPECT_EQ(dp_->deleteSubscriber(sub_), dds::RETCODE_OK);
    EXPECT_TRUE(sub_->isMarked());
    int made = 1;
    while (dp_->createSubscriber(nullptr, nullptr, 0) != nullptr) {
        ++made;
    }
    EXPECT_EQ(made, 246);
}

// Lost, rejected and missed-deadline statuses reach the reader's listener, or the
// participant's when the reader's does not take them; a getter clears what it hands out.
TEST_F(SubscriberTest, StatusesThroughListenersAndGetters) {
    RecordingReaderListener listener;
    dds::DataReaderQos q = qosOf(2, 2);
    q.deadline.period = {0, 300000000};
    Reader* r = sub_->createDR(keyed_, &q, &listener,
                               dds::SAMPLE_LOST_STATUS | dds::SAMPLE_REJECTED_STATUS |
                                   dds::REQUESTED_DEADLINE_MISSED_STATUS);
    ASSERT_NE(r, nullptr);
    offer(r, 1, 1);
    offer(r, 1, 2);
    settle();
    offer(r, 1, 3);  // a full reader makes room: 1 goes unread
    settle();
    {
        std::lock_guard<std::mutex> lock(listener.m);
        ASSERT_EQ(listener.lost.size(), 1u);
        EXPECT_EQ(listener.lost[0].total_count, 1);
        EXPECT_EQ(listener.lost[0].total_count_change, 1);
        EXPECT_EQ(listener.entity, r);
    }
    EXPECT_EQ(lost(r).total_count_change, 0);  // cleared by the call
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    offer(r, 2, 1);  // both samples of the limit are on loan: refused
    settle();
    {
        std::lock_guard<std::mutex> lock(listener.m);
        ASSERT_EQ(listener.rejected.size(), 1u);
        EXPECT_EQ(listener.rejected[0].last_reason, dds::REJECTED_BY_SAMPLES_LIMIT);
    }
    giveBack(seq, r);
    // No sample for a while: every instance alive misses its deadline at the next tick.
    dp_->getTimeService().advance(1000000);
    auto const until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(listener.m);
            if (!listener.deadline.empty() || std::chrono::steady_clock::now() > until) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    {
        std::lock_guard<std::mutex> lock(listener.m);
        ASSERT_FALSE(listener.deadline.empty());
        EXPECT_EQ(listener.deadline[0].last_instance_handle, r->instances()[0].handle);
    }

    // The participant's listener takes what the reader's mask leaves.
    RecordingParticipantListener dpListener;
    dp_->setListener(&dpListener, dds::SAMPLE_LOST_STATUS);
    Reader* plain = makeReader(qosOf(1));
    offer(plain, 1, 1);
    settle();
    offer(plain, 1, 2);
    settle();
    {
        std::lock_guard<std::mutex> lock(dpListener.m);
        ASSERT_EQ(dpListener.lost.size(), 1u);
        EXPECT_EQ(dpListener.entity, plain);
    }
    // A status read through its getter is not reported again.
    dp_->setListener(nullptr, 0);
    offer(plain, 1, 3);
    settle();
    dds::SampleLostStatus const got = lost(plain);
    EXPECT_EQ(got.total_count, 2);
    EXPECT_EQ(got.total_count_change, 1);
    EXPECT_EQ(plain->get_status_changes() & dds::SAMPLE_LOST_STATUS, 0u);
    dp_->setListener(&dpListener, dds::SAMPLE_LOST_STATUS);
    offer(plain, 2, 1);
    settle();
    dp_->setListener(nullptr, 0);
    std::lock_guard<std::mutex> lock(dpListener.m);
    EXPECT_EQ(dpListener.lost.size(), 1u);
}

TEST_F(SubscriberTest, DataAvailableReachesTheReadersListener) {
    RecordingReaderListener listener;
    dds::DataReaderQos const q = qosOf(1);
    Reader* r = sub_->createDR(keyed_, &q, &listener, dds::DATA_AVAILABLE_STATUS);
    offer(r, 1, 1);
    settle();
    {
        std::lock_guard<std::mutex> lock(listener.m);
        EXPECT_EQ(listener.dataAvailable, 1);
    }
    EXPECT_EQ(r->get_status_changes() & dds::DATA_AVAILABLE_STATUS, 0u);
    EXPECT_EQ(sub_->get_status_changes() & dds::DATA_ON_READERS_STATUS, 0u);
}

// A QoS change reaches the engine reader with the mask of what changed.
TEST_F(SubscriberTest, ReaderQosChangesReachTheEngine) {
    Reader* r = makeReader(qosOf(1));
    dds::DataReaderQos q = r->getQoS();
    q.deadline.period = {1, 0};
    q.user_data.value = {9};
    EXPECT_EQ(sub_->setReaderQoS(q, r), dds::RETCODE_OK);
    auto changes = engineOf(r)->qosChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].mask, 8u | 1u);
    EXPECT_EQ(changes[0].data.user_data.value, q.user_data.value);
    EXPECT_EQ(r->maxSamples(), 1024u);
    dds::SubscriberQos sq;
    sub_->getQoS(sq);
    sq.partition.name = {"p"};
    EXPECT_EQ(sub_->setQoS(sq), dds::RETCODE_OK);
    changes = engineOf(r)->qosChanges();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].mask, 128u);
    EXPECT_EQ(changes[1].data.partition.name, sq.partition.name);
}
