// Local writers against the remote readers that discovery reports: the requested/offered rules,
// re-checks when either side changes, and losing readers in every way the built-in subscriber
// reports it.
#include <atomic>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "PublisherFixture.h"
#include "dcps/api/DWEventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "fake/FakeParticipant.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/DataWriterImpl.h"

namespace vexatest {
namespace {

using vexa::dcps::Writer;
using Entry = Writer::RemoteReader;
using Subscription = vexa::dds::SubscriptionBuiltinTopicData;

constexpr unsigned PEER[3] = {0xAAAA0007u, 8u, 9u};
constexpr uint32_t ALIVE = 1;
constexpr uint32_t GONE = 6;

class WriterMatching : public PublisherTest {
protected:
    void SetUp() override {
        PublisherTest::SetUp();
        builtin_ = dp_->getBuiltinSubscriber();
        ASSERT_NE(builtin_, nullptr);
    }

    // The engine reports one DCPSSubscription change, as its thread does.
    void report(Subscription const& s, uint32_t flags, unsigned entityId,
                unsigned const (&prefix)[3] = PEER) {
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof s;
        FakeReader* reader = engine_->builtinReader(FakeParticipant::SUBSCRIPTION_READER);
        RTPS::SampleInfo* h = reader->addHeldChange(info, &s, sizeof s, prefix, entityId);
        engine_->queueChangeAvailable(reader, nullptr, h);
        engine_->drain();
    }
    void announceParticipant(uint32_t flags) {
        vexa::dds::ParticipantBuiltinTopicData p;
        for (unsigned i = 0; i < 3; ++i) {
            p.key.value[i] = PEER[i];
        }
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof p;
        FakeReader* reader = engine_->builtinReader(FakeParticipant::PARTICIPANT_READER);
        RTPS::SampleInfo* h = reader->addHeldChange(info, &p, sizeof p, PEER, 0x1C1);
        engine_->queueChangeAvailable(reader, nullptr, h);
        engine_->drain();
    }
    static Subscription subscription(std::string const& topic) {
        Subscription s;
        s.topic_name = topic;
        s.type_name = "Keyed";
        return s;
    }
    static vexa::dds::DataWriterQos offer() {
        return qos(vexa::dds::VOLATILE_DURABILITY_QOS, vexa::dds::BEST_EFFORT_RELIABILITY_QOS);
    }
    static vexa::dds::PublicationMatchedStatus matched(Writer* w) {
        vexa::dds::PublicationMatchedStatus st;
        w->getPublicationMatchedStatus(st);
        return st;
    }
    static vexa::dds::IncompatibleQosStatus incompatible(Writer* w) {
        vexa::dds::IncompatibleQosStatus st;
        w->getOfferedIncompatibleQosStatus(st);
        return st;
    }
    static int32_t policyCount(vexa::dds::IncompatibleQosStatus const& st,
                               vexa::dds::QosPolicyId_t id) {
        for (auto const& c : st.policies) {
            if (c.policy_id == id) {
                return c.count;
            }
        }
        return -1;
    }
    vexa::dcps::RemoteDR const* remoteReader(unsigned entityId) {
        vexa::dcps::RemoteDP const* r = builtin_->findRemote(PEER);
        if (r == nullptr || r->readers.count(entityId) == 0) {
            return nullptr;
        }
        return r->readers.at(entityId).get();
    }
    static vexa::dds::Duration_t seconds(int32_t s) { return {s, 0}; }

    vexa::dcps::SubscriberBuiltin* builtin_ = nullptr;
};

// One rule broken at a time; every other policy is at its default on both sides.
TEST_F(WriterMatching, RequestedAgainstOffered) {
    using namespace vexa::dds;
    struct Row {
        char const* name;
        std::function<void(Subscription&)> request;
        std::function<void(DataWriterQos&, PublisherQos&)> offered;
        QosPolicyId_t refused;  // 0: matched
        uint32_t flags;
    };
    auto none = [](DataWriterQos&, PublisherQos&) {};
    Row const rows[] = {
        {"defaults", [](Subscription&) {}, none, 0, Entry::IN_USE},
        {"durability", [](Subscription& s) { s.durability.kind = TRANSIENT_LOCAL_DURABILITY_QOS; },
         none, DURABILITY_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"stronger durability offered",
         [](Subscription& s) { s.durability.kind = TRANSIENT_LOCAL_DURABILITY_QOS; },
         [](DataWriterQos& q, PublisherQos&) { q.durability.kind = PERSISTENT_DURABILITY_QOS; }, 0,
         Entry::IN_USE},
        {"deadline", [](Subscription& s) { s.deadline.period = seconds(1); },
         [](DataWriterQos& q, PublisherQos&) { q.deadline.period = seconds(2); },
         DEADLINE_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE_CHANGEABLE},
        {"latency budget", [](Subscription& s) { s.latency_budget.duration = seconds(1); },
         [](DataWriterQos& q, PublisherQos&) { q.latency_budget.duration = seconds(2); },
         LATENCYBUDGET_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE_CHANGEABLE},
        {"latency budget 0 offered",
         [](Subscription& s) {
             s.latency_budget.duration = {0, 1};
         },
         none, 0, Entry::IN_USE},
        {"liveliness kind",
         [](Subscription& s) { s.liveliness.kind = MANUAL_BY_TOPIC_LIVELINESS_QOS; }, none,
         LIVELINESS_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"liveliness lease", [](Subscription& s) { s.liveliness.lease_duration = seconds(1); },
         [](DataWriterQos& q, PublisherQos&) { q.liveliness.lease_duration = seconds(2); },
         LIVELINESS_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"reliability", [](Subscription& s) { s.reliability.kind = RELIABLE_RELIABILITY_QOS; },
         none, RELIABILITY_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"ownership", [](Subscription& s) { s.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; }, none,
         OWNERSHIP_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"ownership offered only", [](Subscription&) {},
         [](DataWriterQos& q, PublisherQos&) { q.ownership.kind = EXCLUSIVE_OWNERSHIP_QOS; },
         OWNERSHIP_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"destination order",
         [](Subscription& s) {
             s.destination_order.kind = BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
         },
         none, DESTINATIONORDER_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"presentation scope",
         [](Subscription& s) { s.presentation.access_scope = TOPIC_PRESENTATION_QOS; }, none,
         PRESENTATION_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"presentation coherent", [](Subscription& s) { s.presentation.coherent_access = true; },
         none, PRESENTATION_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"presentation ordered", [](Subscription& s) { s.presentation.ordered_access = true; },
         none, PRESENTATION_QOS_POLICY_ID, Entry::IN_USE | Entry::INCOMPATIBLE},
        {"presentation offered", [](Subscription& s) { s.presentation.ordered_access = true; },
         [](DataWriterQos&, PublisherQos& p) { p.presentation.ordered_access = true; }, 0,
         Entry::IN_USE},
    };
    unsigned entityId = 0x100;
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        // A topic and publisher of its own, so earlier rows' readers stay out.
        std::string const topicName = std::string("Row ") + row.name;
        vexa::dcps::Topic* topic = dp_->createTopic(topicName, "Keyed", nullptr, nullptr, 0);
        ASSERT_NE(topic, nullptr);
        DataWriterQos q = offer();
        PublisherQos pq = predefPublisherQos();
        row.offered(q, pq);
        vexa::dcps::Publisher* pub = dp_->createPublisher(&pq, nullptr, 0);
        Writer* w = create(q, topic, pub);
        ASSERT_NE(w, nullptr);
        Subscription s = subscription(topicName);
        row.request(s);
        report(s, ALIVE, entityId += 0x100);

        ASSERT_EQ(w->remoteReaders().size(), 1u);
        EXPECT_EQ(w->remoteReaders()[0].flags, row.flags);
        EXPECT_EQ(w->remoteReaders()[0].firstWord, remoteReader(entityId)->id);
        EXPECT_EQ(
            w->get_status_changes() & (Writer::PUBLICATION_MATCHED | Writer::INCOMPATIBLE_QOS),
            row.refused == 0 ? Writer::PUBLICATION_MATCHED : Writer::INCOMPATIBLE_QOS);
        auto const m = matched(w);
        auto const inc = incompatible(w);
        EXPECT_EQ(m.current_count, row.refused == 0 ? 1 : 0);
        EXPECT_EQ(m.total_count, row.refused == 0 ? 1 : 0);
        EXPECT_EQ(m.last_subscription_handle, HANDLE_NIL);
        EXPECT_EQ(inc.total_count, row.refused == 0 ? 0 : 1);
        EXPECT_EQ(inc.last_policy_id, row.refused);
        if (row.refused != 0) {
            EXPECT_EQ(policyCount(inc, row.refused), 1);
        }
        // The record lists the writer, matched or not: it must hear of the reader's loss.
        ASSERT_EQ(remoteReader(entityId)->writers.size(), 1u);
        EXPECT_EQ(remoteReader(entityId)->writers[0], w);
    }
}

TEST_F(WriterMatching, ReliableRequestedFromBestEffortIsNeverMatched) {
    Writer* w = create(offer());
    Subscription s = subscription(keyed_->getName());
    s.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    s.deadline.period = seconds(5);
    report(s, ALIVE, 0x107);
    EXPECT_EQ(incompatible(w).last_policy_id, vexa::dds::RELIABILITY_QOS_POLICY_ID);
    // Neither side's deadline change reopens it.
    auto q = offer();
    q.deadline.period = seconds(1);
    ASSERT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK);
    s.deadline.period = seconds(10);
    report(s, ALIVE, 0x107);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(matched(w).total_count, 0);
    EXPECT_EQ(w->remoteReaders()[0].flags, Entry::IN_USE | Entry::INCOMPATIBLE);
    EXPECT_EQ(w->get_status_changes() & Writer::PUBLICATION_MATCHED, 0u);
}

TEST_F(WriterMatching, DeadlineMatchedAfterTheWriterLowersItsOffer) {
    auto q = offer();
    q.deadline.period = seconds(2);
    Writer* w = create(q);
    Subscription s = subscription(keyed_->getName());
    s.deadline.period = seconds(1);
    report(s, ALIVE, 0x107);
    EXPECT_EQ(incompatible(w).last_policy_id, vexa::dds::DEADLINE_QOS_POLICY_ID);
    EXPECT_EQ(matched(w).current_count, 0);

    q.deadline.period = seconds(1);
    ASSERT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK);
    EXPECT_NE(w->get_status_changes() & Writer::PUBLICATION_MATCHED, 0u);
    auto const m = matched(w);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(m.current_count_change, 1);
    EXPECT_EQ(w->remoteReaders()[0].flags, Entry::IN_USE);

    // And back: a longer offered deadline makes it incompatible again.
    q.deadline.period = seconds(3);
    ASSERT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(incompatible(w).total_count, 2);
    EXPECT_EQ(w->remoteReaders()[0].flags, Entry::IN_USE | Entry::INCOMPATIBLE_CHANGEABLE);
}

TEST_F(WriterMatching, ReaderChangingItsDeadlineMovesTheMatch) {
    auto q = offer();
    q.deadline.period = seconds(2);
    Writer* w = create(q);
    Subscription s = subscription(keyed_->getName());
    s.deadline.period = seconds(3);
    report(s, ALIVE, 0x107);
    EXPECT_EQ(matched(w).current_count, 1);
    s.deadline.period = seconds(1);
    report(s, ALIVE, 0x107);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(incompatible(w).last_policy_id, vexa::dds::DEADLINE_QOS_POLICY_ID);
    s.deadline.period = seconds(2);
    report(s, ALIVE, 0x107);
    auto const m = matched(w);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(m.total_count, 2);
}

TEST_F(WriterMatching, DiscoveringAReaderTwiceChangesNothing) {
    Writer* w = create(offer());
    Subscription s = subscription(keyed_->getName());
    report(s, ALIVE, 0x107);
    report(s, ALIVE, 0x107);
    s.partition.name = {"P"};
    report(s, ALIVE, 0x107);  // a partition change keeps the match
    EXPECT_EQ(pub_->discoverDR(w, remoteReader(0x107), PEER, 0x107, s), 0);
    EXPECT_EQ(w->remoteReaders().size(), 1u);
    auto const m = matched(w);
    EXPECT_EQ(m.total_count, 1);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(remoteReader(0x107)->writers.size(), 1u);
}

// Discovery's engine thread asks for a pass; the pass, not the next tick, tells the writer.
TEST_F(WriterMatching, MatchAndLossReachTheListenerOnThePassThatFollows) {
    struct Matched : vexa::dcps::api::DWEventForwarder {
        void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
        void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
        void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const&) override {}
        void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const& s) override {
            ++calls;
            current = s.current_count;
        }
        int calls = 0;
        int32_t current = -1;
    } listener;
    Writer* w = create(offer());
    ASSERT_EQ(w->setListener(&listener, Writer::PUBLICATION_MATCHED), vexa::dds::RETCODE_OK);
    struct Step {
        uint32_t flags;
        int32_t current;
    };
    int calls = 0;
    for (Step const step : {Step{ALIVE, 1}, Step{GONE, 0}}) {
        report(subscription(keyed_->getName()), step.flags, 0x107);
        dp_->handleSubscriptions();
        EXPECT_EQ(listener.calls, ++calls);
        EXPECT_EQ(listener.current, step.current);
    }
    dp_->handleSubscriptions();  // nothing discovered since: nobody is called
    EXPECT_EQ(listener.calls, calls);
    w->setListener(nullptr, 0);
}

TEST_F(WriterMatching, LosingANeverMatchedReaderKeepsTheCount) {
    Writer* w = create(offer());
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    Subscription refused = subscription(keyed_->getName());
    refused.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    report(refused, ALIVE, 0x207);
    EXPECT_EQ(w->knownRemoteReaders(), 2u);
    report(refused, GONE, 0x207);
    EXPECT_EQ(matched(w).current_count, 1);
    EXPECT_EQ(w->knownRemoteReaders(), 1u);
    report(subscription(keyed_->getName()), GONE, 0x107);
    auto const m = matched(w);
    EXPECT_EQ(m.current_count, 0);
    EXPECT_EQ(m.total_count, 1);
    EXPECT_EQ(w->knownRemoteReaders(), 0u);
}

// The collector frees a lost reader's record: no entry may keep it, compatible or not.
TEST_F(WriterMatching, IncompatibleReaderLostAndCollectedThenSetQoS) {
    auto q = offer();
    q.deadline.period = seconds(2);
    Writer* w = create(q);
    Subscription s = subscription(keyed_->getName());
    s.deadline.period = seconds(1);
    report(s, ALIVE, 0x107);
    ASSERT_EQ(w->remoteReaders()[0].flags, Entry::IN_USE | Entry::INCOMPATIBLE_CHANGEABLE);
    report(s, GONE, 0x107);
    EXPECT_EQ(w->knownRemoteReaders(), 0u);
    EXPECT_EQ(w->remoteReaders()[0].record, nullptr);
    dp_->collectGarbage();
    ASSERT_EQ(remoteReader(0x107), nullptr);
    q.deadline.period = seconds(1);
    ASSERT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(matched(w).total_count, 0);
}

TEST_F(WriterMatching, ParticipantDepartureLosesItsReaders) {
    Writer* w = create(offer());
    announceParticipant(ALIVE);
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    report(subscription(keyed_->getName()), ALIVE, 0x207);
    EXPECT_EQ(matched(w).current_count, 2);
    announceParticipant(GONE);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(w->knownRemoteReaders(), 0u);
    dp_->collectGarbage();
    EXPECT_EQ(builtin_->findRemote(PEER), nullptr);
}

// The engine forgets a participant whose lease ended, with its readers: the writer loses them at
// once (its listener on the pass that follows), not at the collector's pass 300 s later, and
// matches them again when they are announced again.
TEST_F(WriterMatching, ParticipantLostLosesItsReadersAtOnceAndMatchesThemAgain) {
    struct Matched : vexa::dcps::api::DWEventForwarder {
        void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
        void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
        void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const&) override {}
        void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const& s) override {
            current = s.current_count;
        }
        std::atomic<int32_t> current{-1};
    } listener;
    Writer* w = create(offer());
    announceParticipant(ALIVE);
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    report(subscription(keyed_->getName()), ALIVE, 0x207);
    dp_->handleSubscriptions();
    ASSERT_EQ(w->setListener(&listener, Writer::PUBLICATION_MATCHED), vexa::dds::RETCODE_OK);
    engine_->queueParticipantLost(PEER);
    engine_->drain();
    dp_->handleSubscriptions();
    EXPECT_EQ(listener.current.load(), 0);
    EXPECT_EQ(matched(w).current_count, 0);
    EXPECT_EQ(w->knownRemoteReaders(), 0u);

    announceParticipant(ALIVE);
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    auto const m = matched(w);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(m.total_count, 3);
    ASSERT_EQ(remoteReader(0x107)->writers.size(), 1u);
    EXPECT_EQ(remoteReader(0x107)->writers[0], w);
    // Heard again: the collector keeps it; the reader not announced again stays lost.
    advanceClock(302 * 1000000ll);
    dp_->collectGarbage();
    EXPECT_EQ(matched(w).current_count, 1);
    EXPECT_EQ(w->knownRemoteReaders(), 1u);
    w->setListener(nullptr, 0);
}

TEST_F(WriterMatching, NewWriterMatchesTheKnownReadersButNotTheLostOnes) {
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    report(subscription(keyed_->getName()), ALIVE, 0x207);
    report(subscription(keyed_->getName()), GONE, 0x207);
    report(subscription("Another topic"), ALIVE, 0x307);
    Writer* w = create(offer());
    EXPECT_EQ(w->knownRemoteReaders(), 1u);
    EXPECT_EQ(matched(w).current_count, 1);
    ASSERT_EQ(remoteReader(0x107)->writers.size(), 1u);
    EXPECT_EQ(remoteReader(0x107)->writers[0], w);
    dp_->collectGarbage();  // the lost one goes; nothing of this writer points to it
    report(subscription(keyed_->getName()), GONE, 0x107);
    EXPECT_EQ(matched(w).current_count, 0);
}

TEST_F(WriterMatching, DeletedWriterLeavesTheReaderRecords) {
    Writer* w = create(offer());
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    ASSERT_EQ(remoteReader(0x107)->writers.size(), 1u);
    pub_->deleteDW(w->getBridge());
    dp_->collectGarbage();
    dp_->collectGarbage();
    dp_->collectGarbage();
    EXPECT_TRUE(remoteReader(0x107)->writers.empty());
    report(subscription(keyed_->getName()), GONE, 0x107);  // reaches no writer
    dp_->collectGarbage();
    EXPECT_EQ(remoteReader(0x107), nullptr);
}

// A writer deleted by the application stays until the collector's second pass; a reader lost
// in between must still reach it, or it frees the record the collector already erased.
TEST_F(WriterMatching, ReaderLostWhileTheWriterAwaitsCollection) {
    Writer* w = create(offer());
    report(subscription(keyed_->getName()), ALIVE, 0x107);
    pub_->deleteDW(w->getBridge());
    ASSERT_TRUE(w->isMarked());
    report(subscription(keyed_->getName()), GONE, 0x107);
    EXPECT_EQ(w->knownRemoteReaders(), 0u);
    dp_->collectGarbage();
    dp_->collectGarbage();
    dp_->collectGarbage();
}

// More than 100 entries, most of them lost: the list is compacted and the index still finds
// the survivors.
TEST_F(WriterMatching, SparseReaderListIsCompacted) {
    Writer* w = create(offer());
    Subscription const s = subscription(keyed_->getName());
    for (unsigned i = 1; i <= 120; ++i) {
        report(s, ALIVE, i << 8);
    }
    for (unsigned i = 1; i <= 70; ++i) {
        report(s, GONE, i << 8);
    }
    EXPECT_EQ(matched(w).current_count, 50);
    dp_->collectGarbage();
    ASSERT_EQ(w->remoteReaders().size(), 50u);
    EXPECT_EQ(w->knownRemoteReaders(), 50u);
    report(s, GONE, 120u << 8);
    EXPECT_EQ(matched(w).current_count, 49);
    EXPECT_EQ(w->knownRemoteReaders(), 49u);
    EXPECT_EQ(w->remoteReaders()[49].record, nullptr);
    EXPECT_NE(w->remoteReaders()[48].record, nullptr);
}

}  // namespace
}  // namespace vexatest
