// A reader's remote writers: matching, the liveliness state machine, leases, ownership, and
// discovery reaching the reader through the built-in subscriber.
#include <mutex>
#include <random>
#include <string>

#include "ReaderFixture.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "fake/FakeParticipant.h"
#include "rtps/LogCapture.h"

namespace {

using vexa::dcps::Reader;
using vexatest::FakeParticipant;
using RDW = vexa::dcps::Reader::RemoteDW;
namespace dds = vexa::dds;

constexpr unsigned PEER[3] = {0xAAAA0001u, 2u, 3u};
constexpr unsigned A = 0x102;
constexpr unsigned B = 0x202;
constexpr unsigned C = 0x302;
constexpr uint32_t ALIVE = 1;
constexpr uint32_t GONE = 6;

class RemoteWriters : public vexatest::ReaderFixture {
protected:
    // The engine reports a publication of PEER to the built-in subscriber.
    void announce(dds::PublicationBuiltinTopicData const& w, unsigned entityId,
                  uint32_t flags = ALIVE) {
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof w;
        FakeParticipant::BuiltinIndex const which = FakeParticipant::PUBLICATION_READER;
        RTPS::SampleInfo* h =
            engine_->builtinReader(which)->addHeldChange(info, &w, sizeof w, PEER, entityId);
        engine_->queueChangeAvailable(engine_->builtinReader(which), nullptr, h);
        engine_->drain();
    }
    void announceParticipant(uint32_t flags) {
        dds::ParticipantBuiltinTopicData p;
        for (unsigned i = 0; i < 3; ++i) {
            p.key.value[i] = PEER[i];
        }
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof p;
        FakeParticipant::BuiltinIndex const which = FakeParticipant::PARTICIPANT_READER;
        RTPS::SampleInfo* h =
            engine_->builtinReader(which)->addHeldChange(info, &p, sizeof p, PEER, 0x1C1);
        engine_->queueChangeAvailable(engine_->builtinReader(which), nullptr, h);
        engine_->drain();
    }
    // A writer of topic "K" that the default reader accepts.
    static dds::PublicationBuiltinTopicData publication() {
        dds::PublicationBuiltinTopicData w;
        w.topic_name = "K";
        w.type_name = "Keyed";
        return w;
    }
    void advance(double seconds) {
        dp_->getTimeService().advance(static_cast<uint64_t>(seconds * 1e6));
    }
    // One status pass of the data-handling thread, now.
    void statusPass() {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(dp_->getMutex());
        sub_->periodicStatusCheckAndNotify(nullptr, 0);
    }
    RDW record(Reader* reader, unsigned entityId) {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        int32_t const i = reader->findRDW(PEER, entityId);
        EXPECT_GE(i, 0);
        return i < 0 ? RDW{} : reader->remoteWriters()[i];
    }
    uint32_t flagsOf(Reader* reader, unsigned entityId) { return record(reader, entityId).flags; }
    dds::LivelinessChangedStatus liveliness(Reader* reader) {
        dds::LivelinessChangedStatus s;
        sub_->getLivelinessChangedStatus(s, reader);
        return s;
    }
    dds::SubscriptionMatchedStatus matched(Reader* reader) {
        dds::SubscriptionMatchedStatus s;
        sub_->getSubscriptionMatchedStatus(s, reader);
        return s;
    }
    // The number of liveliness lines with exactly this state text.
    static size_t stateLines(char const* state) {
        std::string const needle = std::string("\"K\": ") + state;
        size_t n = LogCapture::count(needle);
        if (std::string(state) == "MATCHED") {
            n -= LogCapture::count("\"K\": MATCHED & ALIVE");
        }
        return n;
    }
    vexa::dcps::RemoteDW* builtinRecord(unsigned entityId) {
        auto const* r = dp_->getBuiltinSubscriber()->findRemote(PEER);
        return r == nullptr ? nullptr : r->writers.at(entityId).get();
    }

    LogCapture log_;
};

// Each row moves the record from `from` to `to`; the counts change by the deltas, the
// instance written by the writer holds `writers` of them afterwards, and the state text is
// logged once (or nothing for a silent row).
TEST_F(RemoteWriters, StateMachineTable) {
    Reader* reader = makeReader(qosOf(5));
    announce(publication(), A);
    offerFrom(reader, PEER, A, 1, 10, RTPS::SAMPLE_ALIVE, 0x7001);
    settle();
    struct Row {
        uint32_t from, to;
        int alive, notAlive;
        uint32_t writers;
        char const* state;
    } const rows[] = {
        {3, 0, -1, 0, 0, "NOT EXIST"},      {1, 0, 0, -1, 0, "NOT EXIST"},
        {3, 5, -1, 0, 0, "NOT MATCHED"},    {1, 9, 0, -1, 0, "NOT MATCHED"},
        {1, 3, 1, -1, 1, "ALIVE"},          {3, 1, -1, 1, 0, "NOT ALIVE"},
        {5, 3, 1, 0, 1, "MATCHED & ALIVE"}, {9, 1, 0, 1, 0, "MATCHED"},
        {0, 3, 1, 0, 1, "MATCHED & ALIVE"}, {0, 1, 0, 1, 0, "MATCHED"},
        {0, 5, 0, 0, 0, nullptr},           {5, 0, 0, 0, 0, nullptr},
        {7, 5, 0, 0, 0, nullptr},  // an incompatible writer is never alive
    };
    char const* const states[] = {"NOT EXIST", "NOT MATCHED",     "ALIVE",
                                  "NOT ALIVE", "MATCHED & ALIVE", "MATCHED"};
    for (Row const& row : rows) {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        int32_t const i = reader->findRDW(PEER, A);
        ASSERT_GE(i, 0);
        reader->changeRDWliveliness(i, row.from);
        dds::LivelinessChangedStatus before;
        reader->getLivelinessChangedStatus(before);
        size_t lines[6];
        for (int k = 0; k < 6; ++k) {
            lines[k] = stateLines(states[k]);
        }
        reader->changeRDWliveliness(i, row.to);
        dds::LivelinessChangedStatus after;
        reader->getLivelinessChangedStatus(after);
        std::string const what = std::to_string(row.from) + "->" + std::to_string(row.to);
        EXPECT_EQ(after.alive_count - before.alive_count, row.alive) << what;
        EXPECT_EQ(after.not_alive_count - before.not_alive_count, row.notAlive) << what;
        EXPECT_EQ(after.alive_count_change, row.alive) << what;
        EXPECT_EQ(after.not_alive_count_change, row.notAlive) << what;
        EXPECT_EQ(reader->instances()[0].writers, row.writers) << what;
        EXPECT_EQ(reader->remoteWriters()[i].flags, row.to & ~(row.to & 12 ? 2u : 0u)) << what;
        for (int k = 0; k < 6; ++k) {
            bool const expected = row.state != nullptr && std::string(row.state) == states[k];
            EXPECT_EQ(stateLines(states[k]) - lines[k], expected ? 1u : 0u)
                << what << " " << states[k];
        }
        EXPECT_GE(after.alive_count, 0);
        EXPECT_GE(after.not_alive_count, 0);
    }
}

TEST_F(RemoteWriters, DeadlineIncompatibleWriterIsMatchedAfterTheReaderRaisesItsDeadline) {
    dds::DataReaderQos q = qosOf(1);
    q.deadline.period = {1, 0};
    Reader* reader = makeReader(q);
    dds::PublicationBuiltinTopicData w = publication();
    w.deadline.period = {2, 0};
    announce(w, A);
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_INCOMPATIBLE_CHANGEABLE);
    EXPECT_EQ(matched(reader).current_count, 0);
    EXPECT_EQ(liveliness(reader).alive_count, 0);
    dds::IncompatibleQosStatus inc;
    sub_->getRequestedIncompatibleQosStatus(inc, reader);
    EXPECT_EQ(inc.total_count, 1);
    EXPECT_EQ(inc.last_policy_id, dds::DEADLINE_QOS_POLICY_ID);

    size_t const lines = stateLines("MATCHED & ALIVE");
    q.deadline.period = {3, 0};
    ASSERT_EQ(sub_->setReaderQoS(q, reader), dds::RETCODE_OK);
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    EXPECT_EQ(matched(reader).current_count, 1);
    EXPECT_EQ(liveliness(reader).alive_count, 1);
    EXPECT_EQ(stateLines("MATCHED & ALIVE"), lines + 1);

    // And back: a shorter deadline than offered makes it incompatible again.
    q.deadline.period = {1, 0};
    ASSERT_EQ(sub_->setReaderQoS(q, reader), dds::RETCODE_OK);
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_INCOMPATIBLE_CHANGEABLE);
    EXPECT_EQ(matched(reader).current_count, 0);
    EXPECT_EQ(liveliness(reader).alive_count, 0);
}

// Requested against offered, one policy at a time.
TEST_F(RemoteWriters, CompatibilityTable) {
    struct Row {
        char const* what;
        void (*offer)(dds::PublicationBuiltinTopicData&);
        uint32_t flags;
        dds::QosPolicyId_t policy;
    } const rows[] = {
        {"all defaults", [](dds::PublicationBuiltinTopicData&) {}, 3, 0},
        {"reliable requested, best effort offered",
         [](dds::PublicationBuiltinTopicData& w) {
             w.reliability.kind = dds::BEST_EFFORT_RELIABILITY_QOS;
         },
         9, dds::RELIABILITY_QOS_POLICY_ID},
        {"latency budget longer",
         [](dds::PublicationBuiltinTopicData& w) {
             w.latency_budget.duration = {1, 0};
         },
         5, dds::LATENCYBUDGET_QOS_POLICY_ID},
        {"ownership differs",
         [](dds::PublicationBuiltinTopicData& w) {
             w.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
         },
         9, dds::OWNERSHIP_QOS_POLICY_ID},
        {"lease longer",
         [](dds::PublicationBuiltinTopicData& w) {
             w.liveliness.lease_duration = {5, 0};
         },
         9, dds::LIVELINESS_QOS_POLICY_ID},
    };
    dds::DataReaderQos q = qosOf(1);
    q.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    q.liveliness.lease_duration = {2, 0};
    Reader* reader = makeReader(q);
    unsigned entity = 0x1002;
    for (Row const& row : rows) {
        dds::PublicationBuiltinTopicData w = publication();
        w.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
        w.liveliness.lease_duration = {1, 0};
        row.offer(w);
        announce(w, entity);
        EXPECT_EQ(flagsOf(reader, entity), row.flags) << row.what;
        if (row.policy != 0) {
            dds::IncompatibleQosStatus inc;
            sub_->getRequestedIncompatibleQosStatus(inc, reader);
            EXPECT_EQ(inc.last_policy_id, row.policy) << row.what;
        }
        entity += 0x100;
    }
    EXPECT_EQ(matched(reader).current_count, 1);
}

TEST_F(RemoteWriters, SilentWriterTurnsNotAliveAndItsInstancesHaveNoWriters) {
    dds::DataReaderQos q = qosOf(5);
    q.liveliness.lease_duration = {2, 0};
    q.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    Reader* reader = makeReader(q);
    dds::PublicationBuiltinTopicData w = publication();
    w.liveliness.lease_duration = {1, 0};
    w.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    announce(w, A);
    offerFrom(reader, PEER, A, 1, 10, RTPS::SAMPLE_ALIVE, 0x7001);
    settle();
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        ASSERT_EQ(reader->instances().size(), 1u);
        EXPECT_EQ(reader->instances()[0].writers, 1u);
        EXPECT_EQ(reader->instances()[0].owner, reader->findRDW(PEER, A));
    }
    size_t const lines = stateLines("NOT ALIVE");
    advance(3);
    statusPass();
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED);
    dds::LivelinessChangedStatus const s = liveliness(reader);
    EXPECT_EQ(s.alive_count, 0);
    EXPECT_EQ(s.not_alive_count, 1);
    EXPECT_EQ(stateLines("NOT ALIVE"), lines + 1);
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        EXPECT_EQ(reader->instances()[0].writers, 0u);
        EXPECT_EQ(reader->instances()[0].owner, -1);
    }
    vexa::dcps::api::SampleSeq seq;
    ASSERT_EQ(take(seq, reader), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(seq.info[1]->instance_state, dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE);
    EXPECT_FALSE(seq.info[1]->valid_data);
    EXPECT_NE(seq.info[0]->publication_handle, dds::HANDLE_NIL);
    giveBack(seq, reader);

    // Heard again: alive, and the instance has its writer back.
    offerFrom(reader, PEER, A, 1, 11, RTPS::SAMPLE_ALIVE, 0x7001);
    settle();
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    EXPECT_EQ(liveliness(reader).alive_count, 1);
    std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
    EXPECT_EQ(reader->instances()[0].writers, 1u);
}

TEST_F(RemoteWriters, SampleOfAWriterTheReaderDoesNotKnowAsksDiscovery) {
    Reader* reader = makeReader(qosOf(5));
    // A writer nobody announced stays unknown.
    unsigned const stranger[3] = {7, 7, 7};
    offerFrom(reader, stranger, A, 1, 10);
    settle();
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        EXPECT_EQ(reader->findRDW(stranger, A), -1);
    }
    // A writer the reader lost but discovery still knows is linked again by its sample.
    announce(publication(), A);
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        reader->looseDW(PEER, A);
        EXPECT_EQ(reader->remoteWritersInUse(), 0u);
    }
    EXPECT_EQ(matched(reader).current_count, 0);
    EXPECT_EQ(record(reader, A).record, nullptr);
    offerFrom(reader, PEER, A, 1, 11);
    settle();
    RDW const r = record(reader, A);
    EXPECT_EQ(r.record, builtinRecord(A));
    EXPECT_EQ(r.flags, RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    EXPECT_EQ(r.handle, static_cast<int32_t>(builtinRecord(A)->id));
    EXPECT_EQ(matched(reader).current_count, 1);
    EXPECT_EQ(liveliness(reader).alive_count, 1);
    std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
    EXPECT_EQ(reader->remoteWritersInUse(), 1u);
    EXPECT_EQ(reader->remoteWriters().size(), 1u);  // the old slot, not a new one
}

// Which writers a participant-level report renews: AUTOMATIC ones always, MANUAL_BY_PARTICIPANT
// ones only for a manual report, MANUAL_BY_TOPIC ones never.
TEST_F(RemoteWriters, ParticipantAssertionRenewsByLivelinessKind) {
    struct Row {
        dds::LivelinessQosPolicyKind kind;
        unsigned manual;
        bool renewed;
    } const rows[] = {
        {dds::AUTOMATIC_LIVELINESS_QOS, 0, true},
        {dds::AUTOMATIC_LIVELINESS_QOS, 1, true},
        {dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS, 0, false},
        {dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS, 1, true},
        {dds::MANUAL_BY_TOPIC_LIVELINESS_QOS, 1, false},
    };
    dds::DataReaderQos q = qosOf(1);
    q.liveliness.lease_duration = {2, 0};
    Reader* reader = makeReader(q);
    for (Row const& row : rows) {
        dds::PublicationBuiltinTopicData w = publication();
        SCOPED_TRACE(std::to_string(row.kind) + " manual " + std::to_string(row.manual));
        w.liveliness.kind = row.kind;
        w.liveliness.lease_duration = {1, 0};
        announce(w, A);
        ASSERT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_ALIVE);
        advance(3);
        statusPass();
        ASSERT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED);
        engine_->queueAssertLiveliness(engine_->builtinReader(FakeParticipant::PARTICIPANT_READER),
                                       nullptr, PEER, row.manual);
        engine_->drain();
        EXPECT_EQ(flagsOf(reader, A) == (RDW::RDW_MATCHED | RDW::RDW_ALIVE), row.renewed)
            << row.kind << " manual " << row.manual;
        // The writer goes and its record is collected before the next row.
        announce(w, A, GONE);
        dp_->collectGarbage();
    }
    EXPECT_GE(liveliness(reader).not_alive_count, 0);
}

// A writer writes, then unregisters, disposes or just goes, before the application reads. A
// change without data must not push the unread sample out of a full history: the sample carries
// the instance's new state itself. A sample already read gives its place as before, and a
// history with room keeps both.
TEST_F(RemoteWriters, TheLastUnreadSampleOutlivesTheNewsThatFollowsIt) {
    constexpr uint32_t DEPARTS = 0;
    struct Row {
        char const* what;
        uint32_t depth;
        bool readFirst;
        uint32_t then;   // the change without data, or DEPARTS
        bool validLast;  // what the last sample taken holds
        size_t taken;
        int32_t state;
    } const rows[] = {
        {"departure", 1, false, DEPARTS, true, 1, dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE},
        {"unregistration", 1, false, RTPS::SAMPLE_UNREGISTERED, true, 1,
         dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE},
        {"disposal", 1, false, RTPS::SAMPLE_DISPOSED, true, 1,
         dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE},
        {"departure after a read", 1, true, DEPARTS, false, 1,
         dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE},
        {"departure, room left", 5, false, DEPARTS, false, 2,
         dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.what);
        Reader* reader = makeReader(qosOf(row.depth));
        dds::PublicationBuiltinTopicData const w = publication();
        announce(w, A);
        offerFrom(reader, PEER, A, 1, 10, RTPS::SAMPLE_ALIVE, 0x7001);
        settle();
        vexa::dcps::api::SampleSeq seq;
        if (row.readFirst) {
            ASSERT_EQ(read(seq, reader), dds::RETCODE_OK);
            giveBack(seq, reader);
        }
        if (row.then == DEPARTS) {
            announce(w, A, GONE);
        } else {
            offerFrom(reader, PEER, A, 1, 10, row.then, 0x7001);
        }
        settle();
        ASSERT_EQ(take(seq, reader), dds::RETCODE_OK);
        ASSERT_EQ(seq.size(), row.taken);
        size_t const last = seq.size() - 1;
        EXPECT_EQ(seq.info[last]->valid_data, row.validLast);
        EXPECT_EQ(seq.info[last]->instance_state, row.state);
        if (row.validLast) {
            EXPECT_EQ(valueOf(seq, last), 10);
        }
        giveBack(seq, reader);
        announce(w, A, GONE);
        dp_->collectGarbage();
    }
}

TEST_F(RemoteWriters, EngineReportForTheReaderRenewsItsWriter) {
    dds::DataReaderQos q = qosOf(1);
    q.liveliness.lease_duration = {2, 0};
    Reader* reader = makeReader(q);
    dds::PublicationBuiltinTopicData w = publication();
    w.liveliness.kind = dds::MANUAL_BY_TOPIC_LIVELINESS_QOS;
    w.liveliness.lease_duration = {1, 0};
    announce(w, A);
    advance(3);
    statusPass();
    ASSERT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED);
    engine_->queueAssertLiveliness(engineOf(reader), reader, PEER, A);
    engine_->drain();
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    EXPECT_EQ(liveliness(reader).alive_count, 1);
}

// A known writer's lifespan bounds its samples: one older than that on arrival is lost.
TEST_F(RemoteWriters, SampleOlderThanItsWritersLifespanIsLost) {
    Reader* reader = makeReader(qosOf(5));
    dds::PublicationBuiltinTopicData w = publication();
    w.lifespan.duration = {1, 0};
    announce(w, A);
    dds::Time_t const now = dp_->getTimeService().now();
    offerFrom(reader, PEER, A, 1, 10, RTPS::SAMPLE_ALIVE, 0, {now.sec - 5, now.nanosec});
    offerFrom(reader, PEER, A, 1, 11, RTPS::SAMPLE_ALIVE, 0, now);
    settle();
    EXPECT_EQ(lost(reader).total_count, 1);
    vexa::dcps::api::SampleSeq seq;
    ASSERT_EQ(take(seq, reader), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 1u);
    EXPECT_EQ(valueOf(seq, 0), 11);
    giveBack(seq, reader);
}

// EXCLUSIVE ownership: the stronger writer owns, a tie goes to the higher GUID, and a missed
// deadline frees the instance for anyone.
TEST_F(RemoteWriters, ExclusiveOwnership) {
    dds::DataReaderQos q = qosOf(10);
    q.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    q.deadline.period = {1, 0};
    Reader* reader = makeReader(q);
    dds::PublicationBuiltinTopicData w = publication();
    w.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    w.deadline.period = {1, 0};
    w.ownership_strength.value = 5;
    announce(w, A);
    announce(w, B);  // same strength, higher entity id: the higher GUID
    w.ownership_strength.value = 3;
    announce(w, C);
    auto values = [&] {
        vexa::dcps::api::SampleSeq seq;
        std::vector<int32_t> out;
        if (take(seq, reader) == dds::RETCODE_OK) {
            for (size_t i = 0; i < seq.size(); ++i) {
                out.push_back(valueOf(seq, i));
            }
        }
        giveBack(seq, reader);
        return out;
    };
    offerFrom(reader, PEER, A, 1, 1);
    offerFrom(reader, PEER, C, 1, 2);  // weaker: dropped
    offerFrom(reader, PEER, B, 1, 3);  // tie, higher GUID: takes over
    offerFrom(reader, PEER, A, 1, 4);  // dropped now
    offerFrom(reader, PEER, B, 1, 5);
    settle();
    EXPECT_EQ(values(), (std::vector<int32_t>{1, 3, 5}));

    advance(2);
    statusPass();  // B missed its deadline: no owner
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        EXPECT_EQ(reader->instances()[0].owner, -1);
    }
    offerFrom(reader, PEER, C, 1, 6);  // anyone may take it
    offerFrom(reader, PEER, A, 1, 7);  // stronger than C
    offerFrom(reader, PEER, C, 1, 8);
    settle();
    EXPECT_EQ(values(), (std::vector<int32_t>{6, 7}));
}

TEST_F(RemoteWriters, DiscoveryReachesTheReader) {
    // Known before the reader exists: matched at its creation.
    announce(publication(), A);
    Reader* reader = makeReader(qosOf(1));
    EXPECT_EQ(flagsOf(reader, A), RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    // The same publication again changes nothing.
    announce(publication(), A);
    EXPECT_EQ(matched(reader).total_count, 1);
    // Lifespan and strength changes reach the reader.
    dds::PublicationBuiltinTopicData w = publication();
    w.lifespan.duration = {4, 0};
    announce(w, A);
    EXPECT_EQ(record(reader, A).lifespan, (dds::Duration_t{4, 0}));
    // A second writer, then its removal and the departure of the participant.
    announce(publication(), B);
    EXPECT_EQ(matched(reader).current_count, 2);
    size_t const lines = stateLines("NOT EXIST");
    announce(publication(), B, GONE);
    EXPECT_EQ(matched(reader).current_count, 1);
    EXPECT_EQ(record(reader, B).record, nullptr);
    announceParticipant(GONE);
    EXPECT_EQ(matched(reader).current_count, 0);
    EXPECT_EQ(record(reader, A).record, nullptr);
    EXPECT_EQ(stateLines("NOT EXIST"), lines + 2);
    dds::LivelinessChangedStatus const s = liveliness(reader);
    EXPECT_EQ(s.alive_count, 0);
    EXPECT_EQ(s.not_alive_count, 0);
    dp_->collectGarbage();
}

// The same publication again, or with another partition, leaves the match as it is.
TEST_F(RemoteWriters, RepeatedOrRepartitionedPublicationKeepsTheMatch) {
    Reader* reader = makeReader(qosOf(1));
    dds::PublicationBuiltinTopicData w = publication();
    announce(w, A);
    RDW const before = record(reader, A);
    announce(w, A);
    w.partition.name = {"P"};
    announce(w, A);
    dds::SubscriptionMatchedStatus const m = matched(reader);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(m.total_count, 1);
    RDW const after = record(reader, A);
    EXPECT_EQ(after.record, before.record);
    EXPECT_EQ(after.flags, before.flags);
    EXPECT_EQ(after.handle, before.handle);
}

// The engine forgets a participant whose lease ended, with its writers: the reader loses them at
// once, not at the collector's pass 300 s later, and matches them again, under the same handle,
// when they are announced again.
TEST_F(RemoteWriters, ParticipantLostLosesItsWritersAtOnceAndMatchesThemAgain) {
    Reader* reader = makeReader(qosOf(1));
    announceParticipant(ALIVE);
    announce(publication(), A);
    dds::InstanceHandle_t const handle = record(reader, A).handle;
    engine_->queueParticipantLost(PEER);
    engine_->drain();
    dds::SubscriptionMatchedStatus m = matched(reader);
    EXPECT_EQ(m.current_count, 0);
    EXPECT_EQ(m.last_publication_handle, handle);
    EXPECT_EQ(record(reader, A).record, nullptr);

    announceParticipant(ALIVE);
    announce(publication(), A);
    m = matched(reader);
    EXPECT_EQ(m.current_count, 1);
    EXPECT_EQ(m.total_count, 2);
    EXPECT_NE(record(reader, A).record, nullptr);
    EXPECT_EQ(record(reader, A).handle, handle);
    // Heard again: the collector keeps it.
    advance(302);
    dp_->collectGarbage();
    EXPECT_EQ(matched(reader).current_count, 1);
}

// A reader marked for deletion is not told that its writer went; the writer's record is
// collected before the reader, whose destruction must not touch it (ASan).
TEST_F(RemoteWriters, MarkedReaderOutlivesTheRecordOfItsWriter) {
    Reader* reader = makeReader(qosOf(1));
    announce(publication(), A);
    ASSERT_EQ(sub_->deleteDR(reader->getBridge()), dds::RETCODE_OK);
    announce(publication(), A, GONE);
    dp_->collectGarbage();  // the writer's record goes; the reader gets ready
    dp_->collectGarbage();  // the reader goes
    EXPECT_EQ(dp_->getBuiltinSubscriber()->findRemote(PEER)->writers.count(A), 0u);
}

// Compaction of the remote-writer table renumbers the writers everywhere they are named: the
// GUID index, the instances' owners and the stored samples.
TEST_F(RemoteWriters, CompactedWriterTableKeepsOwnersAndSampleWriters) {
    dds::DataReaderQos q = qosOf(5);
    q.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    Reader* reader = makeReader(q);
    dds::PublicationBuiltinTopicData w = publication();
    w.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
    unsigned const last = 0x10000 + (100u << 8);
    for (unsigned i = 0; i <= 100; ++i) {
        w.ownership_strength.value = i == 100 ? 9 : 1;
        announce(w, 0x10000 + (i << 8));
    }
    offerFrom(reader, PEER, last, 1, 10, RTPS::SAMPLE_ALIVE, 0x7001);
    settle();
    for (unsigned i = 0; i < 60; ++i) {
        announce(w, 0x10000 + (i << 8), GONE);
    }
    dp_->collectGarbage();
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        ASSERT_EQ(reader->remoteWriters().size(), 41u);
        int32_t const i = reader->findRDW(PEER, last);
        ASSERT_EQ(i, 40);
        EXPECT_EQ(reader->remoteWriters()[i].entityId, last);
        EXPECT_EQ(reader->instances()[0].owner, i);
        EXPECT_EQ(reader->instances()[0].writers, 1u);
    }
    offerFrom(reader, PEER, 0x10000 + (70u << 8), 1, 11);  // weaker than the owner: dropped
    offerFrom(reader, PEER, last, 1, 12, RTPS::SAMPLE_ALIVE, 0x7001);
    settle();
    vexa::dcps::api::SampleSeq seq;
    ASSERT_EQ(take(seq, reader), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(valueOf(seq, 0), 10);
    EXPECT_EQ(valueOf(seq, 1), 12);
    auto const handle = static_cast<dds::InstanceHandle_t>(builtinRecord(last)->id);
    EXPECT_EQ(seq.info[0]->publication_handle, handle);
    EXPECT_EQ(seq.info[1]->publication_handle, handle);
    giveBack(seq, reader);
}

// Compaction of the instance table rewrites the writers' maps of their instance handles: a
// later sample that names its instance by the writer's handle reaches that instance, even
// when the old index now belongs to another instance.
TEST_F(RemoteWriters, CompactedInstanceTableKeepsTheWritersInstanceMaps) {
    Reader* reader = makeReader(qosOf(1));
    announce(publication(), A);
    for (int32_t key = 0; key < 110; ++key) {
        offerFrom(reader, PEER, A, key, 1, RTPS::SAMPLE_ALIVE, 0x1000 + key);
    }
    settle();
    for (int32_t key = 1; key <= 100; ++key) {
        offerFrom(reader, PEER, A, key, 2, RTPS::SAMPLE_DISPOSED, 0x1000 + key);
    }
    settle();
    drainReader(reader);
    dp_->collectGarbage();  // the disposed ones are removed
    dp_->collectGarbage();  // and the table compacted
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        ASSERT_EQ(reader->instances().size(), 10u);
    }
    for (int32_t key = 200; key < 300; ++key) {  // new instances take the old indices
        offerFrom(reader, PEER, A, key, 3, RTPS::SAMPLE_ALIVE, 0x2000 + key);
    }
    settle();
    drainReader(reader);
    offerFrom(reader, PEER, A, 105, 777, RTPS::SAMPLE_ALIVE, 0x1000 + 105);
    settle();
    vexa::dcps::api::SampleSeq seq;
    ASSERT_EQ(take(seq, reader), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 1u);
    EXPECT_EQ(valueOf(seq, 0), 777);
    vexatest::KeyedSample k;
    k.key = 105;
    EXPECT_EQ(seq.info[0]->instance_handle, sub_->lookupInstance(&k, reader));
    giveBack(seq, reader);
}

// Samples, assertions, leases, losses, rediscoveries and QoS changes in any order: the counts
// always equal the records in each state and never go negative.
TEST_F(RemoteWriters, RandomSequencesKeepTheCountsInStep) {
    dds::DataReaderQos q = qosOf(3);
    q.liveliness.lease_duration = {2, 0};
    q.deadline.period = {5, 0};
    Reader* reader = makeReader(q);
    unsigned const writers[] = {A, B, C};
    for (unsigned id : writers) {
        dds::PublicationBuiltinTopicData w = publication();
        w.liveliness.lease_duration = {1, 0};
        w.deadline.period = {5, 0};
        announce(w, id);
    }
    std::mt19937 rng(20261210);
    for (int step = 0; step < 300; ++step) {
        unsigned const id = writers[rng() % 3];
        unsigned const op = rng() % 8;
        if (op == 0) {
            offerFrom(reader, PEER, id, static_cast<int32_t>(rng() % 4), step, RTPS::SAMPLE_ALIVE,
                      static_cast<int32_t>(0x7000 + rng() % 4));
            settle();
        } else if (op == 1) {
            advance(1.5);
            statusPass();
        } else {
            // As discovery calls in: the participant mutex first (discoverDW's record comes
            // from the built-in subscriber).
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> participant(dp_->getMutex());
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
            dds::Time_t const now = dp_->getTimeService().now();
            switch (op) {
                case 2:
                    reader->assertLiveliness(PEER, id);
                    break;
                case 3:
                    reader->assertLiveliness(PEER, id, now, (rng() & 1) != 0);
                    break;
                case 4:
                    reader->looseDW(PEER, id);
                    break;
                case 5: {
                    dds::PublicationBuiltinTopicData w = publication();
                    w.liveliness.lease_duration = {1, 0};
                    w.deadline.period = {5, 0};
                    reader->discoverDW(builtinRecord(id), PEER, id, w);
                    break;
                }
                case 6: {
                    dds::DeadlineQosPolicy d;
                    d.period = {static_cast<int32_t>(4 + rng() % 3), 0};
                    reader->changeDWQoS(PEER, id, d, dds::LatencyBudgetQosPolicy{},
                                        dds::LifespanQosPolicy{},
                                        dds::OwnershipStrengthQosPolicy{});
                    break;
                }
                default:
                    reader->changeRDWliveliness(
                        reader->findRDW(PEER, id),
                        reader->remoteWriters()[reader->findRDW(PEER, id)].flags ^ RDW::RDW_ALIVE);
                    break;
            }
        }
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        int alive = 0;
        int notAlive = 0;
        for (RDW const& w : reader->remoteWriters()) {
            alive += w.counted() && (w.flags & RDW::RDW_ALIVE) != 0 ? 1 : 0;
            notAlive += w.counted() && (w.flags & RDW::RDW_ALIVE) == 0 ? 1 : 0;
        }
        dds::LivelinessChangedStatus s;
        reader->getLivelinessChangedStatus(s);
        dds::SubscriptionMatchedStatus m;
        reader->getSubscriptionMatchedStatus(m);
        ASSERT_EQ(s.alive_count, alive) << "step " << step << " op " << op;
        ASSERT_EQ(s.not_alive_count, notAlive) << "step " << step << " op " << op;
        ASSERT_EQ(m.current_count, alive + notAlive) << "step " << step << " op " << op;
        // Each instance counts the alive writers that write it.
        for (size_t i = 0; i < reader->instances().size(); ++i) {
            uint32_t writing = 0;
            for (RDW const& w : reader->remoteWriters()) {
                for (auto const& e : w.instances) {
                    writing += (w.flags & RDW::RDW_ALIVE) != 0 && e.second == i ? 1u : 0u;
                }
            }
            ASSERT_EQ(reader->instances()[i].writers, writing) << "step " << step;
        }
    }
}

}  // namespace
