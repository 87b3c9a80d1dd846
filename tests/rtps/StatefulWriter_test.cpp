#include "rtps/writer/StatefulWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "FakeParticipant.h"
#include "LogCapture.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/writer/ChangeHandle.h"

using namespace RTPS;

namespace {

constexpr uint8_t USER_WRITER_NO_KEY = 0x03;

GUID_t writerGuid(uint8_t kind = USER_WRITER_NO_KEY, uint8_t key = 0x22) {
    GUID_t g{};
    const uint8_t prefix[12] = {0xAA, 0xAA, 9, 9, 9, 9, 1, 2, 3, 4, 5, 6};
    std::memcpy(g.guidPrefix, prefix, 12);
    g.entityId = EntityId_t{{0, 0, key}, kind};
    return g;
}

GUID_t readerGuid(uint8_t n, uint8_t participant = 1) {
    GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.guidPrefix[1] = 0xAA;
    g.guidPrefix[2] = participant;
    g.entityId = EntityId_t{{0, 0, n}, 0x04};
    return g;
}

Locator_t readerLocator(uint8_t n) {
    Locator_t l{LOCATOR_KIND_UDPv4, 7500u + n, {}};
    l.address[12] = 127;
    l.address[15] = 1;
    return l;
}

struct WriterOptions {
    uint8_t kind = USER_WRITER_NO_KEY;
    uint8_t key = 0x22;
    uint32_t historyReserve = 0;
    vexa::dds::DurabilityQosPolicyKind durability = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    vexa::dds::Duration_t maxBlocking{0, 100000000u};
};

struct Payload {
    explicit Payload(uint8_t fill, size_t n = 16) : bytes(n, fill) {
        info.data = bytes.data();
        info.length = bytes.size();
        info.statusFlags = SAMPLE_ALIVE;
        info.sourceTimestamp = vexa::dds::TIME_INVALID;
    }
    std::vector<uint8_t> bytes;
    SampleInfo info{};
};

class StatefulWriterTest : public ::testing::Test {
protected:
    void make(FakeParticipant::Settings const& s = FakeParticipant::Settings(),
              WriterOptions const& o = WriterOptions()) {
        TearDown();  // a writer never outlives its participant
        participant.reset(new FakeParticipant(s));
        traffic.reset(new TrafficReader(participant->transport));
        EndpointConfig config{};
        config.guid = writerGuid(o.kind, o.key);
        config.topicKind = TOPIC_KIND_NO_KEY;
        config.reliabilityLevel = RELIABILITY_RELIABLE;
        config.unicastLocator = _LOCATOR_INVALID;
        config.multicastLocator = _LOCATOR_INVALID;
        config.historyReserve = o.historyReserve;
        publication.topic_name = "T";
        publication.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
        publication.reliability.max_blocking_time = o.maxBlocking;
        publication.durability.kind = o.durability;
        writer.reset(new StatefulWriter(participant.get(), &config, &publication, 0));
    }

    void TearDown() override {
        writer.reset();
        participant.reset();
    }

    // A started writer matched with one reader whose first traffic was read; the reader's index.
    size_t startedWithOneReader() {
        make();
        writer->start();
        participant->settle();
        const size_t r = match(1);
        participant->settle();
        traffic->next(r);
        return r;
    }

    // A matched reader; the sender index of its socket is the order of matching.
    size_t match(uint8_t n,
                 vexa::dds::DurabilityQosPolicyKind durability = vexa::dds::VOLATILE_DURABILITY_QOS,
                 vexa::dds::OctetSeq userData = {}) {
        vexa::dds::SubscriptionBuiltinTopicData sub;
        sub.topic_name = "T";
        sub.durability.kind = durability;
        sub.user_data.value = userData;
        participant->knowReader(readerGuid(n), sub);
        Locator_t l = readerLocator(n);
        writer->matched_reader_add(new ReaderProxy(writer.get(), readerGuid(n),
                                                   participant->composer->getSocket(l), false));
        return static_cast<size_t>(participant->transport.sendersAdded.load()) - 1;
    }

    int64_t write(uint8_t fill = 1) {
        Payload p(fill);
        return writer->addChange(&p.info);
    }

    void acknack(uint8_t reader, uint32_t base, std::vector<uint32_t> requested, uint32_t count,
                 uint32_t numBits = 0, std::optional<bool> final = std::nullopt) {
        AckNAckData a;
        a.readerGUID = readerGuid(reader);
        a.writerGUID = writer->getGuid();
        a.readerSNState.bitmapBase = SequenceNumber_t{0, base};
        a.readerSNState.numBits = numBits;
        for (uint32_t r : requested) {
            uint32_t i = r - base;
            if (a.readerSNState.numBits <= i) {
                a.readerSNState.numBits = i + 1;
            }
            a.readerSNState.set(i);
        }
        a.count = count;
        // As readers send them: final when nothing is asked for.
        a.finalFlag = final.value_or(requested.empty());
        writer->acknack(&a);
    }

    std::unique_ptr<FakeParticipant> participant;
    std::unique_ptr<TrafficReader> traffic;
    vexa::dds::PublicationBuiltinTopicData publication;
    std::unique_ptr<StatefulWriter> writer;
};

using Seqs = std::vector<uint32_t>;
using Gaps = std::vector<std::pair<uint32_t, uint32_t>>;

TEST_F(StatefulWriterTest, PushModeSendsOnTheNextRunAndAnnouncesIt) {
    make();
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    EXPECT_EQ(write(), 0x0000000100000000);
    participant->settle();
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data, Seqs{1});
    EXPECT_EQ(t.dataReaderIds[0], readerGuid(1).entityId);
    EXPECT_TRUE(t.heartbeats.empty()) << "a lone change is announced after the pace";
    participant->advanceMs(2);
    t = traffic->next(r);
    ASSERT_EQ(t.heartbeats.size(), 1u);  // suppression 0: unacknowledged at once
    EXPECT_EQ(t.heartbeats[0].firstSN, (SequenceNumber_t{0, 1}));
    EXPECT_EQ(t.heartbeats[0].lastSN, (SequenceNumber_t{0, 1}));
    EXPECT_FALSE(t.heartbeats[0].final);
    EXPECT_EQ(t.heartbeats[0].count, 1u);
}

// A HEARTBEAT goes in the datagram of the data once a quarter of the history was sent since the
// last one, not with every change; a lone change is announced after the heartbeat pace.
TEST_F(StatefulWriterTest, TheHeartbeatGoesWithTheDataOncePerQuarterOfTheHistory) {
    WriterOptions o;
    o.historyReserve = 8;  // a heartbeat every 2 changes
    make(FakeParticipant::Settings(), o);
    const size_t r = match(1);
    struct Step {
        size_t writes;
        size_t heartbeats;
    };
    uint32_t sn = 0;
    for (Step const step : {Step{1, 0}, Step{1, 1}, Step{3, 1}, Step{1, 0}}) {
        Seqs written;
        for (size_t i = 0; i < step.writes; ++i) {
            write();
            written.push_back(++sn);
        }
        writer->reliableWorker();
        Traffic t = traffic->next(r);
        EXPECT_EQ(t.data, written);
        EXPECT_EQ(t.heartbeats.size(), step.heartbeats) << "up to " << sn;
        EXPECT_EQ(t.datagrams, 1u) << "data and heartbeat in one datagram, up to " << sn;
        if (!t.heartbeats.empty()) {
            EXPECT_EQ(t.heartbeats[0].lastSN, (SequenceNumber_t{0, sn}));
        }
    }
}

// After the data stops, a reader that has not acknowledged hears a HEARTBEAT within the pace
// (2 ms), then at twice the interval each time, not at the 10 s period; an acknowledgement
// that moves on brings the pace back.
TEST_F(StatefulWriterTest, AfterTheLastDataHeartbeatsFollowAtAGrowingPace) {
    FakeParticipant::Settings s;
    s.heartbeatMs = 10000;
    make(s);
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    write();
    participant->settle();
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data, Seqs{1});
    EXPECT_TRUE(t.heartbeats.empty());
    for (uint64_t pace : {2, 4, 8}) {
        participant->advanceMs(pace - 1);
        EXPECT_TRUE(traffic->next(r).heartbeats.empty()) << pace;
        participant->advanceMs(1);
        EXPECT_EQ(traffic->next(r).heartbeats.size(), 1u) << pace;
    }
    acknack(1, 1, {}, 1);  // nothing acknowledged: no progress, the pace stays
    participant->advanceMs(15);
    EXPECT_TRUE(traffic->next(r).heartbeats.empty());
    participant->advanceMs(1);
    EXPECT_EQ(traffic->next(r).heartbeats.size(), 1u) << 16;
    acknack(1, 2, {}, 2);  // 1 acknowledged
    write();
    participant->settle();
    EXPECT_EQ(traffic->next(r).data, Seqs{2});
    participant->advanceMs(1);
    EXPECT_TRUE(traffic->next(r).heartbeats.empty());
    participant->advanceMs(1);
    EXPECT_EQ(traffic->next(r).heartbeats.size(), 1u) << "back to 2 ms";
    acknack(1, 3, {}, 3);
    participant->advanceMs(10000);
    EXPECT_TRUE(traffic->next(r).heartbeats.empty()) << "everything acknowledged";
}

// A reader that lost a change acknowledges nothing until a HEARTBEAT tells it what to ask for,
// and its answers are all the writer's side hears of it: a steady stream, each change sooner
// than the pace, with fewer changes than go with one HEARTBEAT, still brings it one at least
// once a period.
TEST_F(StatefulWriterTest, AStreamStillHeartbeatsAReaderThatOwesAnAcknowledgementEachPeriod) {
    FakeParticipant::Settings s;
    s.heartbeatMs = 100;
    make(s);
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    traffic->next(r);
    uint64_t silentMs = 0;
    for (uint32_t sn = 1; sn <= 200; ++sn) {  // a change every 5 ms for a second, none acknowledged
        write();
        participant->advanceMs(5);
        silentMs = traffic->next(r).heartbeats.empty() ? silentMs + 5 : 0;
        ASSERT_LE(silentMs, 100u) << "no HEARTBEAT up to change " << sn;
    }
}

// A writer that waits for room asks its readers for acknowledgements at once.
TEST_F(StatefulWriterTest, AWriterWaitingForRoomAsksForAcknowledgements) {
    FakeParticipant::Settings s;
    s.heartbeatMs = 10000;
    WriterOptions o;
    o.historyReserve = 42;  // a heartbeat with every 10th change
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(s, o);
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    for (int i = 0; i < 42; ++i) {
        writer->deleteChange(write());  // as a volatile writer does
        writer->reliableWorker();       // one change per pass
        participant->settle();          // and the task's pass the write woke has ended
    }
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data.size(), 42u);
    ASSERT_EQ(t.heartbeats.size(), 4u);
    EXPECT_EQ(t.heartbeats.back().lastSN, (SequenceNumber_t{0, 40}));
    std::promise<int64_t> result;
    std::thread blocked([&] {
        Payload p(3);
        result.set_value(writer->addChange(&p.info));
    });
    auto future = result.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    participant->settle();
    t = traffic->next(r);
    ASSERT_EQ(t.heartbeats.size(), 1u) << "at once when the history is full";
    EXPECT_EQ(t.heartbeats[0].lastSN, (SequenceNumber_t{0, 42}));
    acknack(1, 43, {}, 1);
    EXPECT_EQ(future.get(), sequenceToHandle({0, 43}));
    blocked.join();
}

// The writing thread sends what it stored itself while the task runs passes of its own: one
// pass at a time, so the reader gets every change once and in order.
TEST_F(StatefulWriterTest, WritingThreadAndTaskSendOneAtATimeInOrder) {
    make();
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    constexpr uint32_t kChanges = 3000;
    std::atomic<bool> writing{true};
    std::thread task([&] {
        while (writing) {
            writer->reliableWorker();
        }
    });
    for (uint32_t i = 0; i < kChanges; ++i) {
        writer->deleteChange(write());
    }
    writing = false;
    task.join();
    participant->settle();
    Seqs expected(kChanges);
    for (uint32_t i = 0; i < kChanges; ++i) {
        expected[i] = i + 1;
    }
    EXPECT_EQ(traffic->next(r).data, expected);
}

// Once stop has returned nothing leaves, though a thread still writes.
TEST_F(StatefulWriterTest, NothingLeavesAfterStopWhileAThreadWrites) {
    make();
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();
    std::atomic<bool> writing{true};
    std::atomic<int> written{0};
    std::thread w([&] {
        while (writing) {
            writer->deleteChange(write());
            ++written;
        }
    });
    while (written < 100) {
        std::this_thread::yield();
    }
    writer->stop();
    const size_t atStop = participant->transport.sender(r)->sent().size();
    const int writtenAtStop = written;
    while (written < writtenAtStop + 100) {
        std::this_thread::yield();
    }
    writing = false;
    w.join();
    participant->settle();
    EXPECT_GT(atStop, 0u);
    EXPECT_EQ(participant->transport.sender(r)->sent().size(), atStop);
}

// A lone write leaves on the writing thread before the write returns: no task run, no timer.
TEST_F(StatefulWriterTest, ALoneWriteLeavesBeforeTheWriteReturns) {
    const size_t r = startedWithOneReader();
    participant->scheduler->stop();  // nothing runs the task from here on
    write();
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data, Seqs{1});
    EXPECT_EQ(t.datagrams, 1u);
}

// Writes that follow each other closely are left to the task, which packs them; a write after
// a pause leaves at once on the writing thread, taking along what the stream left unsent.
TEST_F(StatefulWriterTest, AStreamIsLeftToTheTaskAndALoneWriteLeavesAtOnce) {
    const size_t r = startedWithOneReader();
    participant->scheduler->stop();  // the task no longer runs: only writing threads send
    write();
    EXPECT_EQ(traffic->next(r).data, Seqs{1}) << "the first write is a lone one";
    write();
    write();
    EXPECT_TRUE(traffic->next(r).data.empty()) << "a stream's writes were sent one by one";
    participant->clock->advance(1000);
    write();
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data, (Seqs{2, 3, 4}));
    EXPECT_EQ(t.datagrams, 1u);
}

// Each stream write that comes after the task's last pass wakes it again: a write that skipped
// the wake because one was pending never leaves its change waiting for the period.
TEST_F(StatefulWriterTest, AStreamWakesTheTaskAgainAfterEachPass) {
    const size_t r = startedWithOneReader();
    write();  // lone
    EXPECT_EQ(traffic->next(r).data, Seqs{1});
    // The clock stands still: every write from here on is part of a stream, and no period ends.
    for (uint32_t n = 2; n < 6; ++n) {
        write();
        write();
        participant->settle();
        EXPECT_EQ(traffic->next(r).data, (Seqs{2 * n - 2, 2 * n - 1})) << "round " << n;
    }
}

// The task sends a stream's changes, in order, packing those written while it sent.
TEST_F(StatefulWriterTest, TheTaskPacksAStreamWrittenWhileItSends) {
    const size_t r = startedWithOneReader();
    FakeTransport& transport = participant->transport;
    write(1);  // lone: leaves on this thread
    transport.closeGate();
    auto second = std::async(std::launch::async, [&] { write(2); });
    ASSERT_TRUE(transport.waitAtGate(1));  // the task took the stream's first change
    for (int i = 0; i < 20; ++i) {
        write(3);
    }
    transport.openGate();
    second.get();
    participant->settle();
    Traffic t = traffic->next(r);
    Seqs expected(22);
    for (uint32_t i = 0; i < 22; ++i) {
        expected[i] = i + 1;
    }
    EXPECT_EQ(t.data, expected);
    EXPECT_EQ(t.datagrams, 3u);
}

// While a datagram is on its way out, changes written meanwhile only queue and their writes
// return; the thread that holds the send role takes them along, in order, in one datagram.
TEST_F(StatefulWriterTest, ChangesWrittenWhileASendIsUnderWayLeaveTogether) {
    const size_t r = startedWithOneReader();
    FakeTransport& transport = participant->transport;
    transport.closeGate();
    std::thread first([&] { write(1); });
    ASSERT_TRUE(transport.waitAtGate(1));
    auto more = std::async(std::launch::async, [&] {
        for (int i = 0; i < 3; ++i) {
            write(2);
        }
    });
    const bool returned = more.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "a write waited for the send under way";
    EXPECT_EQ(transport.waitingAtGate(), 1);
    transport.openGate();
    first.join();
    more.get();
    Traffic t = traffic->next(r);
    EXPECT_EQ(t.data, (Seqs{1, 2, 3, 4}));
    EXPECT_EQ(t.datagrams, 2u);
}

// A write and a deletion never wait while another thread holds the writer's readers (here a
// repair, which sends under them, stuck in the transport), whether the write is part of a
// stream or a lone one that sends itself: the changes written meanwhile leave once it lets go,
// in order and once each, and the deletions it skipped are made up for.
TEST_F(StatefulWriterTest, WritesGoOnWhileARepairHoldsTheReaders) {
    for (bool lone : {false, true}) {
        SCOPED_TRACE(lone ? "lone writes" : "a stream");
        const size_t r = startedWithOneReader();
        FakeTransport& transport = participant->transport;
        write(1);
        traffic->next(r);
        acknack(1, 1, {1}, 1);
        transport.closeGate();
        std::thread repair([&] { writer->deferredWorker(readerGuid(1)); });
        ASSERT_TRUE(transport.waitAtGate(1));
        constexpr uint32_t kWrites = 10;
        auto writes = std::async(std::launch::async, [&] {
            for (uint32_t i = 0; i < kWrites; ++i) {
                if (lone) {
                    participant->clock->advance(1000);
                }
                writer->deleteChange(write(2));
            }
        });
        const bool returned = writes.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
        EXPECT_TRUE(returned) << "a write waited for the repair under way";
        transport.openGate();
        repair.join();
        writes.get();
        participant->settle();
        Seqs expected(kWrites + 1);
        for (uint32_t i = 0; i <= kWrites; ++i) {
            expected[i] = i + 1;
        }
        EXPECT_EQ(traffic->next(r).data, expected);
        acknack(1, kWrites + 2, {}, 2);
        participant->advanceMs(20);
        EXPECT_EQ(writer->getHistory().ownedCount(), 1u);  // the first change, never deleted
    }
}

// A change written while another thread holds the readers is in none of their proxies until
// that thread lets go: until then the writer must not call everything delivered.
TEST_F(StatefulWriterTest, AChangeWrittenWhileTheReadersAreHeldIsNotYetDelivered) {
    const size_t r = startedWithOneReader();
    FakeTransport& transport = participant->transport;
    write(1);
    traffic->next(r);
    acknack(1, 2, {}, 1);
    ASSERT_TRUE(writer->allDelivered());
    transport.closeGate();
    std::thread holder([&] { writer->assertLiveliness(); });  // sends under the readers
    ASSERT_TRUE(transport.waitAtGate(1));
    auto second = std::async(std::launch::async, [&] { write(2); });
    EXPECT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "a write waited for the readers";
    EXPECT_FALSE(writer->allDelivered());
    transport.openGate();
    holder.join();
    second.get();
    participant->settle();
    EXPECT_EQ(traffic->next(r).data, (Seqs{2}));
    acknack(1, 3, {}, 2);
    EXPECT_TRUE(writer->allDelivered());
}

// Deletions of delivered changes that found the readers held elsewhere (a repair under way)
// still free those changes, and their blocks, when nothing is written or acknowledged after
// them: the task does it once it is due.
TEST_F(StatefulWriterTest, DeletionsLeftToTheTaskFreeTheirChangesWhenTheStreamStops) {
    const size_t r = startedWithOneReader();
    FakeTransport& transport = participant->transport;
    std::vector<int64_t> handles;
    for (int i = 0; i < 4; ++i) {
        participant->clock->advance(1000);  // lone writes: each leaves at once
        handles.push_back(write());
    }
    traffic->next(r);
    acknack(1, 4, {4}, 1);  // 1 to 3 delivered, 4 asked for again
    transport.closeGate();
    std::thread repair([&] { writer->deferredWorker(readerGuid(1)); });
    ASSERT_TRUE(transport.waitAtGate(1));
    for (int i = 0; i < 3; ++i) {
        writer->deleteChange(handles[i]);
    }
    transport.openGate();
    repair.join();
    participant->advanceMs(5);
    EXPECT_EQ(writer->getHistory().ownedCount(), 1u);
    EXPECT_EQ(writer->getHistory().getSeqNumMin(), (SequenceNumber_t{0, 4}));
}

// stop waits for a send under way; nothing leaves once it returned.
TEST_F(StatefulWriterTest, StopWaitsForTheSendUnderWay) {
    const size_t r = startedWithOneReader();
    FakeTransport& transport = participant->transport;
    transport.closeGate();
    std::thread first([&] { write(1); });
    ASSERT_TRUE(transport.waitAtGate(1));
    auto queued = std::async(std::launch::async, [&] { write(2); });
    EXPECT_EQ(queued.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "a write waited for the send under way";
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        writer->stop();
        stopped = true;
    });
    // Opened once stop has returned, or after a while when it waits as it should.
    for (int i = 0; i < 100 && !stopped; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    transport.openGate();
    stopper.join();
    const size_t atStop = transport.sender(r)->sent().size();
    first.join();
    queued.get();
    EXPECT_EQ(transport.sender(r)->sent().size(), atStop) << "sent after stop returned";
    // The send under way ends; the change that waited for it does not leave once stopped.
    EXPECT_EQ(traffic->next(r).data, Seqs{1});
}

TEST_F(StatefulWriterTest, PullModeSendsOnlyWhatAReaderAsksFor) {
    FakeParticipant::Settings s;
    s.push = false;
    make(s);
    const size_t r = match(1);
    write();
    writer->reliableWorker();
    Traffic t = traffic->next(r);
    EXPECT_TRUE(t.data.empty());
    ASSERT_EQ(t.heartbeats.size(), 1u);
    acknack(1, 1, {1}, 1);
    participant->advanceMs(150);
    EXPECT_TRUE(traffic->next(r).data.empty());
    participant->advanceMs(50);  // the NACK response delay
    EXPECT_EQ(traffic->next(r).data, Seqs{1});
}

TEST_F(StatefulWriterTest, TheDeferredAnswerIsJoinedBySecondAckNack) {
    make();
    const size_t r = match(1);
    write();
    write();
    writer->reliableWorker();
    traffic->next(r);
    acknack(1, 1, {1}, 1);
    participant->advanceMs(100);
    acknack(1, 1, {2}, 2);
    participant->advanceMs(100);
    EXPECT_EQ(traffic->next(r).data, (Seqs{1, 2}));
    participant->advanceMs(300);
    EXPECT_TRUE(traffic->next(r).data.empty());
}

TEST_F(StatefulWriterTest, StaleAckNackChangesNothing) {
    make();
    const size_t r = match(1);
    write();
    writer->reliableWorker();
    traffic->next(r);
    acknack(1, 1, {}, 5);
    acknack(1, 1, {1}, 5);  // same count: ignored
    acknack(1, 2, {}, 4);   // lower count: does not acknowledge
    participant->advanceMs(500);
    EXPECT_TRUE(traffic->next(r).data.empty());
    EXPECT_FALSE(writer->checkDelivered({0, 1}));
    acknack(1, 2, {}, 6);
    EXPECT_TRUE(writer->checkDelivered({0, 1}));
}

TEST_F(StatefulWriterTest, FullSetAckNackWakesTheReliableTask) {
    make();
    writer->start();
    participant->settle();
    const size_t r = match(1);
    participant->settle();  // the run the match asks for, before anything is written
    write();
    participant->settle();
    participant->advanceMs(2);  // the heartbeat that follows the data
    const size_t before = traffic->next(r).heartbeats.size();
    EXPECT_EQ(before, 1u);
    acknack(1, 1, {}, 1, 8);  // a short set: nothing to wake for
    participant->settle();
    EXPECT_TRUE(traffic->next(r).heartbeats.empty());
    acknack(1, 1, {}, 2, 256);
    participant->settle();
    EXPECT_EQ(traffic->next(r).heartbeats.size(), 1u);
}

// An empty ACKNACK without the final flag comes from a reader that has just matched this writer
// and may have dropped what it sent before: it gets a HEARTBEAT over the history at once. The
// ACKNACKs of a reader that is up to date are final and get none.
TEST_F(StatefulWriterTest, EmptyNonFinalAckNackIsAnsweredWithAHeartbeat) {
    struct Row {
        int writes;
        bool final;
        size_t heartbeats;
    };
    for (Row row : {Row{2, false, 1}, Row{2, true, 0}, Row{0, false, 0}}) {
        SCOPED_TRACE(testing::Message() << row.writes << " writes, final " << row.final);
        make();
        writer->start();
        participant->settle();
        const size_t r = match(1);
        participant->settle();
        for (int i = 0; i < row.writes; ++i) {
            write();
        }
        participant->settle();
        traffic->next(r);  // what the writes sent

        acknack(1, 1, {}, 1, 0, row.final);
        std::vector<HeartbeatFields> const answer = traffic->next(r).heartbeats;
        ASSERT_EQ(answer.size(), row.heartbeats);
        if (!answer.empty()) {
            EXPECT_EQ(answer[0].firstSN, (SequenceNumber_t{0, 1}));
            EXPECT_EQ(answer[0].lastSN, (SequenceNumber_t{0, 2}));
            EXPECT_EQ(answer[0].readerId, readerGuid(1).entityId);
            EXPECT_FALSE(answer[0].final);
        }
    }
}

// The request that follows the HEARTBEAT sent for a reader's ACKNACK of matching is for what
// the reader dropped before it knew this writer: served at once. Later ones wait the delay.
TEST_F(StatefulWriterTest, TheRequestAfterTheMatchingAckNackIsServedAtOnce) {
    make();
    const size_t r = match(1);
    write();
    write();
    participant->settle();
    traffic->next(r);
    acknack(1, 1, {}, 1, 0, false);
    ASSERT_EQ(traffic->next(r).heartbeats.size(), 1u);
    struct Row {
        uint32_t requested;
        uint64_t waitMs;
    };
    uint32_t count = 1;
    for (Row const row : {Row{1, 0}, Row{2, 200}}) {
        acknack(1, row.requested, {row.requested}, ++count);
        participant->settle();
        if (row.waitMs != 0) {
            EXPECT_TRUE(traffic->next(r).data.empty()) << row.requested;
            participant->advanceMs(row.waitMs);
        }
        EXPECT_EQ(traffic->next(r).data, Seqs{row.requested});
    }
}

TEST_F(StatefulWriterTest, AllAcknowledgedIsReportedToTheParticipant) {
    make();
    match(1);
    write();
    write();
    writer->reliableWorker();
    EXPECT_FALSE(writer->allDelivered());
    acknack(1, 2, {}, 1);
    EXPECT_EQ(participant->reportAllDeliveredCalls.load(), 0);
    acknack(1, 3, {}, 2);
    EXPECT_EQ(participant->reportAllDeliveredCalls.load(), 1);
    EXPECT_TRUE(writer->allDelivered());
}

// How a best-effort reader reaches the writer: listed by the matching sweep, or described
// one at a time; its reliability comes from its description either way.
enum class BestEffortPath { Listed, Described };

struct BestEffortCase {
    char const* name;
    BestEffortPath path;
    bool push;
};

const BestEffortCase kBestEffortCases[] = {
    {"listed, push mode", BestEffortPath::Listed, true},
    {"described, push mode", BestEffortPath::Described, true},
    {"listed, pull mode", BestEffortPath::Listed, false},
    {"described, pull mode", BestEffortPath::Described, false},
};

// Matches reader n as a best-effort reader and returns the index of its sender.
size_t matchBestEffort(FakeParticipant& participant, StatefulWriter& writer, uint8_t n,
                       BestEffortPath path) {
    vexa::dds::SubscriptionBuiltinTopicData sub;
    sub.topic_name = "T";
    sub.reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS;
    participant.knowReader(readerGuid(n), sub);
    if (path == BestEffortPath::Listed) {
        ReaderProxyInfo info;
        info.remoteReaderGuid = readerGuid(n);
        info.unicastLocatorList.push_back(readerLocator(n));
        std::vector<ReaderProxyInfo*> listed{&info};
        writer.checkMatchedReaders(listed);  // the sweep keeps only the listed...
    } else {
        DiscoveredReaderData data;
        data.subscriptionData = sub;
        data.readerProxy.remoteReaderGuid = readerGuid(n);
        data.readerProxy.unicastLocatorList.push_back(readerLocator(n));
        writer.checkMatchedReader(&data);
    }
    return static_cast<size_t>(participant.transport.sendersAdded.load()) - 1;
}

// A best-effort reader gets what the writer sends, in pull mode too (it never asks), gets no
// HEARTBEAT, and never keeps the writer from reporting everything delivered.
TEST_F(StatefulWriterTest, ABestEffortReaderGetsWhatIsSentAndNeverHoldsItBack) {
    for (BestEffortCase const& c : kBestEffortCases) {
        SCOPED_TRACE(c.name);
        FakeParticipant::Settings s;
        s.push = c.push;
        make(s);
        const size_t be = matchBestEffort(*participant, *writer, 2, c.path);
        match(1);  // ...so the reliable reader comes after it
        ASSERT_EQ(writer->matchedReaderCount(), 2u);
        write();
        write();
        writer->reliableWorker();
        Traffic t = traffic->next(be);
        EXPECT_EQ(t.data, (Seqs{1, 2}));
        EXPECT_TRUE(t.heartbeats.empty());
        EXPECT_FALSE(writer->allDelivered());
        acknack(1, 3, {}, 1);
        EXPECT_TRUE(writer->allDelivered());
        EXPECT_EQ(participant->reportAllDeliveredCalls.load(), 1);
        writer->reliableWorker();
        EXPECT_TRUE(traffic->next(be).heartbeats.empty());
    }
}

// A full history takes the next change once the reliable readers have acknowledged the
// withdrawn one, whatever a best-effort reader was sent.
TEST_F(StatefulWriterTest, AFullHistoryDoesNotWaitForABestEffortReader) {
    for (BestEffortCase const& c : kBestEffortCases) {
        SCOPED_TRACE(c.name);
        FakeParticipant::Settings s;
        s.push = c.push;
        WriterOptions o;
        o.historyReserve = 2;
        o.maxBlocking = {0, 50000000u};  // 50 ms
        make(s, o);
        matchBestEffort(*participant, *writer, 2, c.path);
        match(1);
        const int64_t first = write();
        write();
        writer->deleteChange(first);
        acknack(1, 2, {}, 1);
        EXPECT_EQ(write(), sequenceToHandle({0, 3}));
        EXPECT_EQ(writer->getHistory().size(), 2u);
    }
}

// The data phase's closing trace line says which writer ran it: a user writer, the SEDP
// publications writer or the SEDP subscriptions writer; other built-in writers write none.
TEST_F(StatefulWriterTest, TheDataPhaseTraceNamesTheWritersKind) {
    LogCapture log;
    const std::string user = "отправка данных закончена, читателей: 0";
    const std::string publications = "отправка публикаций закончена, читателей: 0";
    const std::string subscriptions = "отправка подписок закончена, читателей: 0";
    struct Case {
        char const* name;
        uint8_t kind;
        uint8_t key;
        std::string const* line;  // null: none
    } const cases[] = {
        {"user writer", USER_WRITER_NO_KEY, 0x22, &user},
        {"SEDP publications writer", 0xC2, 0x03, &publications},
        {"SEDP subscriptions writer", 0xC2, 0x04, &subscriptions},
        {"participant message writer", 0xC2, 0x02, nullptr},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        WriterOptions o;
        o.kind = c.kind;
        o.key = c.key;
        make(FakeParticipant::Settings(), o);
        size_t before[3];
        std::string const* lines[3] = {&user, &publications, &subscriptions};
        for (int i = 0; i < 3; ++i) {
            before[i] = LogCapture::count(*lines[i]);
        }
        writer->reliableWorker();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(LogCapture::count(*lines[i]), before[i] + (lines[i] == c.line ? 1 : 0))
                << *lines[i];
        }
    }
}

// A user writer's removal pass and deletion leave their trace lines under their own ids.
TEST_F(StatefulWriterTest, RemovalAndDeletionTraceLines) {
    LogCapture log;
    WriterOptions o;
    o.historyReserve = 1;
    make(FakeParticipant::Settings(), o);
    match(1);
    struct Line {
        char const* text;
        size_t before;
    };
    std::vector<Line> lines = {
        {"запрошено удаление изменения № 0:1", 0},
        {"удаление закончено на изменении № 0:1", 0},
        {"история заполнена, ожидание места не дольше 0 мкс", 0},
        {"изменений, снятых с публикации: 1", 0},
        {"изменение № 1 подтверждено не всеми читателями", 0},
        {"после удаления в истории изменений: 1,", 0},
        {"ACKNACK обработан за", 0},
        {"после удаления в истории изменений: 0,", 0},
        {"изменение помещается в историю", 0},
    };
    for (Line& l : lines) {
        l.before = LogCapture::count(l.text);
    }
    const int64_t first = write();
    writer->deleteChange(first);
    Payload p(2);
    EXPECT_EQ(writer->addNow(&p.info), CHANGE_NOT_TAKEN);
    acknack(1, 2, {}, 1);
    // The acknowledgement itself took the withdrawn change out: the next write finds room
    // without a removal pass of its own.
    EXPECT_EQ(writer->getHistory().ownedCount(), 0u);
    EXPECT_EQ(writer->addNow(&p.info), sequenceToHandle({0, 2}));
    const size_t expected[] = {1, 1, 1, 1, 1, 1, 1, 0, 2};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(LogCapture::count(lines[i].text), lines[i].before + expected[i]) << lines[i].text;
    }
}

// A sample larger than any reader takes in is refused at once with a text that says so, even
// while the history is full and the writer would otherwise wait for room; a sample at the cap
// is taken. The history is left as it was.
TEST_F(StatefulWriterTest, ASampleOverTheSizeCapIsRefusedUpFront) {
    const size_t cap = Config::DEFAULT_MAX_SAMPLE_SIZE;
    struct Case {
        char const* name;
        bool now;  // addNow rather than addChange
    } const cases[] = {{"addChange", false}, {"addNow", true}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        WriterOptions o;
        o.historyReserve = 2;
        o.maxBlocking = {30, 0};  // far longer than the test may take
        make(FakeParticipant::Settings(), o);
        match(1);
        write();  // a reader that never acknowledges: the history is full after one more
        Payload big(7, cap + 1);
        auto add = [&](Payload& p) {
            return c.now ? writer->addNow(&p.info) : writer->addChange(&p.info);
        };
        std::future<std::string> refused = std::async(std::launch::async, [&] {
            try {
                add(big);
            } catch (BAD_PARAMETERS const& e) {
                return std::string(e.what());
            }
            return std::string("taken");
        });
        ASSERT_EQ(refused.wait_for(std::chrono::seconds(5)), std::future_status::ready)
            << "waited for room before refusing";
        const std::string what = refused.get();
        EXPECT_NE(what.find(std::to_string(cap + 1)), std::string::npos) << what;
        EXPECT_NE(what.find(std::to_string(cap)), std::string::npos) << what;
        EXPECT_EQ(writer->getHistory().size(), 1u);
        Payload atCap(7, cap);
        EXPECT_EQ(add(atCap), sequenceToHandle({0, 2}));
    }
}

TEST_F(StatefulWriterTest, NackSuppressionHoldsHeartbeatsUntilItEnds) {
    struct Row {
        int suppressionMs;
        size_t heartbeatsAtOnce;
        size_t heartbeatsAfter;
    };
    for (Row row : {Row{0, 1, 1}, Row{100, 0, 1}}) {
        FakeParticipant::Settings s;
        s.nackSuppressionMs = row.suppressionMs;
        WriterOptions o;
        o.historyReserve = 4;  // a heartbeat with every change
        make(s, o);
        const size_t r = match(1);
        write();
        writer->reliableWorker();
        Traffic t = traffic->next(r);
        EXPECT_EQ(t.data, Seqs{1});
        EXPECT_EQ(t.heartbeats.size(), row.heartbeatsAtOnce) << row.suppressionMs;
        participant->advanceMs(100);
        writer->reliableWorker();
        EXPECT_EQ(traffic->next(r).heartbeats.size(), row.heartbeatsAfter) << row.suppressionMs;
        TearDown();
    }
}

TEST_F(StatefulWriterTest, IrrelevantRunsGoAsOneGapEachAndNeverCoverARelevantChange) {
    make();
    const size_t a = match(1);
    for (int i = 0; i < 6; ++i) {
        write();
    }
    writer->reliableWorker();  // reader 1 has everything underway, nothing acknowledged
    traffic->next(a);
    for (int64_t sn : {2, 3, 5, 6}) {
        writer->deleteChange(sequenceToHandle({0, static_cast<uint32_t>(sn)}));
    }
    EXPECT_EQ(writer->getHistory().size(), 6u);  // reader 1 has not acknowledged them

    const size_t b = match(2, vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
    writer->reliableWorker();
    Traffic t = traffic->next(b);
    EXPECT_EQ(t.data, (Seqs{1, 4}));
    EXPECT_EQ(t.gaps, (Gaps{{2, 4}, {5, 7}}));

    // 3 and 5 irrelevant around 4, which the reader asked for meanwhile: two GAPs.
    const size_t c = match(3, vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
    acknack(3, 1, {4}, 1);
    writer->reliableWorker();
    t = traffic->next(c);
    EXPECT_EQ(t.data, (Seqs{1}));
    EXPECT_EQ(t.gaps, (Gaps{{2, 4}, {5, 7}}));
    participant->advanceMs(200);
    t = traffic->next(c);
    EXPECT_EQ(t.data, (Seqs{4}));
    EXPECT_TRUE(t.gaps.empty());
}

TEST_F(StatefulWriterTest, WithoutReadersADeletedChangeGoesAtOnce) {
    make();
    const int64_t h = write();
    EXPECT_TRUE(writer->deleteChange(h));
    EXPECT_FALSE(writer->deleteChange(h));  // gone already
    EXPECT_EQ(writer->getHistory().size(), 0u);
    EXPECT_EQ(writer->removeGarbage(0), 0u);
}

TEST_F(StatefulWriterTest, DeleteRefusesBadHandles) {
    make();
    for (int64_t h : {int64_t{0}, sequenceToHandle({-1, 3}), int64_t{CHANGE_NOT_TAKEN}}) {
        try {
            writer->deleteChange(h);
            ADD_FAILURE() << h;
        } catch (BAD_PARAMETERS const& e) {
            EXPECT_STREQ(e.what(), "Неверный порядковый номер сэмпла");
        }
    }
}

TEST_F(StatefulWriterTest, LoansBalanceToZeroOnceEveryReaderAcknowledged) {
    make();
    match(1);
    match(2, vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
    std::vector<int64_t> handles;
    for (int i = 0; i < 5; ++i) {
        handles.push_back(write());
    }
    writer->reliableWorker();
    for (int64_t h : handles) {
        writer->deleteChange(h);
    }
    EXPECT_EQ(writer->getHistory().size(), 5u);
    acknack(1, 6, {}, 1);
    acknack(2, 6, {}, 1);
    // The sweep of the next deletion takes at most two; a full history takes all.
    for (int i = 0; i < 3; ++i) {
        writer->deleteChange(handles[0]);
    }
    EXPECT_EQ(writer->getHistory().size(), 0u);
    EXPECT_EQ(writer->removeGarbage(0), 0u);  // every loan is back: all freed
    EXPECT_EQ(participant->pool->lentBytes(), 0u);
}

// A withdrawn change, and its block, go back the moment the last reader that owed it lets go,
// not when a later write wants room or a collector passes.
TEST_F(StatefulWriterTest, AWithdrawnChangeGoesWhenItsLastReaderLetsGo) {
    enum LetGo { Acknowledges, Unmatched, ParticipantLeaves };
    struct Case {
        char const* name;
        LetGo how;  // what reader 2, the last one owing, does
    };
    const Case cases[] = {
        {"acknowledges", Acknowledges},
        {"is unmatched", Unmatched},
        {"leaves with its participant", ParticipantLeaves},
    };
    for (Case const& c : cases) {
        make();
        match(1);
        match(2);
        std::vector<int64_t> handles;
        for (int i = 0; i < 5; ++i) {
            handles.push_back(write());
        }
        writer->reliableWorker();
        for (int64_t h : handles) {
            writer->deleteChange(h);
        }
        acknack(1, 6, {}, 1);
        EXPECT_EQ(writer->getHistory().ownedCount(), 5u) << c.name;  // reader 2 still owes
        if (c.how == Acknowledges) {
            acknack(2, 6, {}, 1);
        } else if (c.how == Unmatched) {
            writer->matched_reader_remove(readerGuid(2));
        } else {
            writer->removeMatchedReaders(readerGuid(2));
        }
        EXPECT_EQ(writer->getHistory().ownedCount(), 0u) << c.name;
        EXPECT_EQ(participant->pool->lentBytes(), 0u) << c.name;
    }
}

// One ACKNACK acknowledging a long stream frees only part of it where it is read; whatever
// happens next, every delivered change and its block still go: with the next writes when the
// stream goes on, with the task when it stops.
TEST_F(StatefulWriterTest, EveryDeliveredChangeIsFreedWhetherTheStreamGoesOnOrStops) {
    constexpr uint32_t kStream = 300;
    constexpr uint32_t kMoreWrites = 10;
    for (bool goesOn : {true, false}) {
        make();
        writer->start();
        participant->settle();
        match(1);
        participant->settle();
        for (uint32_t i = 0; i < kStream; ++i) {
            writer->deleteChange(write());  // the core keeps only the last sample
        }
        acknack(1, kStream + 1, {}, 1);
        if (goesOn) {
            // Only the writes free from here on: a task pass they woke would hold the readers
            // while they look, and leave the freeing to itself.
            participant->scheduler->stop();
            for (uint32_t i = 0; i < kMoreWrites; ++i) {
                writer->deleteChange(write());
            }
            // The clock stood still: the writes freed the stream, only theirs are owed.
            EXPECT_EQ(writer->getHistory().ownedCount(), kMoreWrites);
            EXPECT_EQ(writer->getHistory().getSeqNumMin(), (SequenceNumber_t{0, kStream + 1}));
        } else {
            participant->advanceMs(20);
            EXPECT_EQ(writer->getHistory().ownedCount(), 0u);
            EXPECT_EQ(participant->pool->lentBytes(), 0u);
        }
    }
}

// A full history of delivered changes is all room the moment the acknowledgement arrives: a
// waiting writer gets its place and the writes after it find theirs, with no task run between.
TEST_F(StatefulWriterTest, AnAcknowledgedFullHistoryIsRoomAtOnce) {
    constexpr uint32_t kReserve = 128;
    WriterOptions o;
    o.historyReserve = kReserve;
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(FakeParticipant::Settings(), o);
    writer->start();
    participant->settle();
    match(1);
    participant->settle();
    for (uint32_t i = 0; i < kReserve; ++i) {
        writer->deleteChange(write());
    }
    std::promise<int64_t> result;
    std::thread blocked([&] {
        Payload p(3);
        result.set_value(writer->addChange(&p.info));
    });
    auto future = result.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    acknack(1, kReserve + 1, {}, 1);
    EXPECT_EQ(future.get(), sequenceToHandle({0, kReserve + 1}));
    blocked.join();
    for (uint32_t i = 1; i < kReserve; ++i) {
        Payload p(4);
        ASSERT_NE(writer->addNow(&p.info), CHANGE_NOT_TAKEN) << "write " << i << " after it";
    }
    EXPECT_EQ(writer->getHistory().ownedCount(), size_t{kReserve});
}

// Room is counted by what the history still owns: a withdrawn change that a send still holds
// keeps its place until the send lets go.
TEST_F(StatefulWriterTest, ALoanedWithdrawnChangeStillTakesRoom) {
    WriterOptions o;
    o.historyReserve = 2;
    o.maxBlocking = {0, 0};
    make(FakeParticipant::Settings(), o);
    const int64_t a = write();
    const int64_t b = write();
    CacheChange* held = writer->getHistory().get_change(handleToSequence(a));
    ASSERT_NE(held, nullptr);
    writer->deleteChange(a);
    writer->deleteChange(b);
    EXPECT_EQ(writer->getHistory().size(), 0u);
    EXPECT_NE(write(), CHANGE_NOT_TAKEN);  // b's place
    EXPECT_EQ(write(), CHANGE_NOT_TAKEN);  // a's place is still held
    writer->getHistory().free_change(held);
    EXPECT_NE(write(), CHANGE_NOT_TAKEN);
}

// A reader's socket goes back to the transport when the reader goes, however it goes, so
// churn of readers (or spoofed ones) cannot pile up descriptors.
TEST_F(StatefulWriterTest, AReaderThatGoesReleasesItsSocket) {
    enum Gone { Removed, ParticipantLost, NotListed };
    for (Gone how : {Removed, ParticipantLost, NotListed}) {
        make();
        const size_t before = participant->composer->openSocketCount();
        for (uint8_t n = 1; n <= 20; ++n) {
            match(n);
        }
        EXPECT_EQ(participant->composer->openSocketCount(), before + 20) << how;
        for (uint8_t n = 1; n <= 20; ++n) {
            if (how == Removed) {
                writer->matched_reader_remove(readerGuid(n));
            } else if (how == ParticipantLost) {
                GUID_t participantGuid = readerGuid(n);
                participantGuid.entityId = _ENTITYID_PARTICIPANT;
                writer->removeMatchedReaders(participantGuid);
            }
        }
        if (how == NotListed) {
            writer->checkMatchedReaders({});
        }
        EXPECT_EQ(writer->matchedReaderCount(), 0u) << how;
        EXPECT_EQ(participant->composer->openSocketCount(), before) << how;
        EXPECT_EQ(participant->transport.sendersRemoved, 20) << how;
    }
}

TEST_F(StatefulWriterTest, AFullHistoryTimesOut) {
    WriterOptions o;
    o.historyReserve = 2;
    o.maxBlocking = {0, 20000000u};  // 20 ms
    make(FakeParticipant::Settings(), o);
    match(1);
    write();
    write();
    EXPECT_EQ(write(), CHANGE_NOT_TAKEN);
    o.maxBlocking = {0, 0};
    make(FakeParticipant::Settings(), o);
    match(1);
    write();
    write();
    EXPECT_EQ(write(), CHANGE_NOT_TAKEN);
    EXPECT_EQ(writer->getHistory().size(), 2u);
}

TEST_F(StatefulWriterTest, AFullHistoryTakesTheChangeOnceAReaderAcknowledges) {
    WriterOptions o;
    o.historyReserve = 2;
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(FakeParticipant::Settings(), o);
    match(1);
    const int64_t first = write();
    write();
    writer->deleteChange(first);
    std::promise<int64_t> result;
    std::thread blocked([&] {
        Payload p(3);
        result.set_value(writer->addChange(&p.info));
    });
    auto future = result.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    acknack(1, 2, {}, 1);
    EXPECT_EQ(future.get(), sequenceToHandle({0, 3}));
    blocked.join();
}

// A caller holding locks of its own adds without waiting and waits for room apart: addNow
// never waits, whatever the blocking time; waitForRoom ends with the acknowledgement that lets
// a withdrawn change go, and leaves the history as it was.
TEST_F(StatefulWriterTest, AddNowRefusesAtOnceAndWaitForRoomEndsWithTheAcknowledgement) {
    WriterOptions o;
    o.historyReserve = 2;
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(FakeParticipant::Settings(), o);
    match(1);
    const int64_t first = write();
    write();
    writer->deleteChange(first);
    Payload third(3);
    EXPECT_EQ(writer->addNow(&third.info), CHANGE_NOT_TAKEN);
    EXPECT_FALSE(writer->waitForRoom(std::chrono::steady_clock::now()));
    EXPECT_EQ(writer->getHistory().size(), 2u);

    std::promise<bool> room;
    std::thread waiting(
        [&] { room.set_value(writer->waitForRoom(std::chrono::steady_clock::time_point::max())); });
    auto future = room.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    acknack(1, 2, {}, 1);
    EXPECT_TRUE(future.get());
    waiting.join();
    EXPECT_EQ(writer->getHistory().size(), 1u);
    EXPECT_EQ(writer->addNow(&third.info), sequenceToHandle({0, 3}));
}

// A writer that keeps only the last samples drops the one it replaced: the change goes at once
// although the reader never acknowledged it, and a writer waiting for room takes the room.
TEST_F(StatefulWriterTest, ADroppedChangeGoesAtOnceAndWakesAWriterWaitingForRoom) {
    WriterOptions o;
    o.historyReserve = 2;
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(FakeParticipant::Settings(), o);
    match(1);
    const int64_t first = write();
    write();
    writer->reliableWorker();  // sent, never acknowledged

    std::promise<bool> room;
    std::thread waiting(
        [&] { room.set_value(writer->waitForRoom(std::chrono::steady_clock::time_point::max())); });
    auto future = room.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    EXPECT_TRUE(writer->dropChange(first));
    const bool woken = future.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!woken) {
        writer->stop();  // lets the waiting thread go
    }
    waiting.join();
    ASSERT_TRUE(woken);
    EXPECT_TRUE(future.get());
    EXPECT_EQ(writer->getHistory().size(), 1u);
    EXPECT_FALSE(writer->dropChange(first));  // gone already
    EXPECT_THROW(writer->dropChange(0), RTPS::BAD_PARAMETERS);
}

TEST_F(StatefulWriterTest, StoppingReleasesAWriterWaitingWithoutLimit) {
    WriterOptions o;
    o.historyReserve = 1;
    o.maxBlocking = vexa::dds::DURATION_INFINITE;
    make(FakeParticipant::Settings(), o);
    match(1);
    write();
    std::promise<int64_t> result;
    std::thread blocked([&] {
        Payload p(3);
        result.set_value(writer->addChange(&p.info));
    });
    auto future = result.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    writer->stop();
    EXPECT_EQ(future.get(), CHANGE_NOT_TAKEN);
    blocked.join();
}

TEST_F(StatefulWriterTest, LateJoinersGetTheHistoryAsTheirDurabilityAsks) {
    struct Row {
        const char* rule;
        uint8_t writerKind;
        vexa::dds::DurabilityQosPolicyKind writerDurability;
        vexa::dds::DurabilityQosPolicyKind readerDurability;
        vexa::dds::OctetSeq userData;
        Seqs expected;
    };
    const Row rows[] = {
        {"transient-local reader of a durable writer",
         USER_WRITER_NO_KEY,
         vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
         vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
         {},
         Seqs{1, 2, 3}},
        {"volatile reader",
         USER_WRITER_NO_KEY,
         vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         {},
         Seqs{3}},
        {"transient-local reader of a volatile writer",
         USER_WRITER_NO_KEY,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS,
         {},
         Seqs{3}},
        {"the durability service",
         USER_WRITER_NO_KEY,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         {'D', 'S'},
         Seqs{1, 2, 3}},
        {"almost the durability service",
         USER_WRITER_NO_KEY,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         {'D', 'S', 0},
         Seqs{3}},
        {"a built-in writer",
         0xC2,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         vexa::dds::VOLATILE_DURABILITY_QOS,
         {},
         Seqs{1, 2, 3}},
    };
    for (Row const& row : rows) {
        WriterOptions o;
        o.kind = row.writerKind;
        o.durability = row.writerDurability;
        make(FakeParticipant::Settings(), o);
        write();
        write();
        const size_t r = match(1, row.readerDurability, row.userData);
        write();
        writer->reliableWorker();
        EXPECT_EQ(traffic->next(r).data, row.expected) << row.rule;
        TearDown();
    }
}

TEST_F(StatefulWriterTest, TheSecondReaderGivesAPerWriterGroup) {
    FakeParticipant::Settings s;
    s.multicastingMode = "ПО_ПИСАТЕЛЯМ";
    make(s);
    match(1);
    EXPECT_FALSE(writer->hasMulticastLocators());
    EXPECT_EQ(participant->modifyWriterCalls.load(), 0);
    match(2);
    EXPECT_TRUE(writer->hasMulticastLocators());
    EXPECT_EQ(participant->modifyWriterCalls.load(), 1);
    match(3);
    EXPECT_EQ(participant->modifyWriterCalls.load(), 1);
    std::vector<Locator_t> groups;
    writer->getMulticastLocatorList(groups);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].address[12], 239);
}

TEST_F(StatefulWriterTest, AssertLivelinessHeartbeatsEveryReader) {
    make();
    const size_t a = match(1);
    const size_t b = match(2);
    write();
    write();
    writer->setWritten(false);
    writer->assertLiveliness();
    EXPECT_TRUE(writer->livelinessShown());
    for (size_t r : {a, b}) {
        Traffic t = traffic->next(r);
        ASSERT_EQ(t.heartbeats.size(), 1u);
        EXPECT_TRUE(t.heartbeats[0].final);
        EXPECT_TRUE(t.heartbeats[0].liveliness);
        EXPECT_EQ(t.heartbeats[0].firstSN, (SequenceNumber_t{0, 1}));
        EXPECT_EQ(t.heartbeats[0].lastSN, (SequenceNumber_t{0, 2}));
    }
}

TEST_F(StatefulWriterTest, ARemovedReaderIsNotServedByItsPendingTask) {
    make();
    const size_t r = match(1);
    write();
    writer->reliableWorker();
    traffic->next(r);
    acknack(1, 1, {1}, 1);
    writer->removeMatchedReaders(readerGuid(1));
    EXPECT_EQ(writer->matchedReaderCount(), 0u);
    participant->advanceMs(500);  // the deferred answer finds no reader
    EXPECT_TRUE(traffic->next(r).data.empty());
    // A new reader with the same GUID gets its own answer only.
    match(1);
    participant->advanceMs(500);
    EXPECT_TRUE(traffic->next(r).data.empty());
}

TEST_F(StatefulWriterTest, RemovingReadersByEndpointAndByParticipant) {
    make();
    match(1);
    match(2);
    GUID_t other = readerGuid(3, 2);
    Locator_t l = readerLocator(3);
    writer->matched_reader_add(
        new ReaderProxy(writer.get(), other, participant->composer->getSocket(l), false));
    EXPECT_EQ(writer->matchedReaderCount(), 3u);
    writer->removeMatchedReaders(readerGuid(2));
    EXPECT_EQ(writer->matchedReaderCount(), 2u);
    GUID_t participantOf1 = readerGuid(1);
    participantOf1.entityId = _ENTITYID_PARTICIPANT;
    writer->removeMatchedReaders(participantOf1);
    EXPECT_EQ(writer->matchedReaderCount(), 1u);
    EXPECT_TRUE(writer->matched_reader_lookup(other));
}

TEST_F(StatefulWriterTest, CheckMatchedReadersKeepsTheListedAndDropsTheRest) {
    make();
    match(1);
    match(2);
    write();
    ReaderProxyInfo keep;
    keep.remoteReaderGuid = readerGuid(2);
    keep.unicastLocatorList.push_back(readerLocator(2));
    ReaderProxyInfo fresh;
    fresh.remoteReaderGuid = readerGuid(4);
    fresh.unicastLocatorList.push_back(readerLocator(4));
    ReaderProxyInfo noLocator;
    noLocator.remoteReaderGuid = readerGuid(5);
    writer->checkMatchedReaders({&keep, &fresh, &noLocator});
    EXPECT_EQ(writer->matchedReaderCount(), 2u);
    EXPECT_FALSE(writer->matched_reader_lookup(readerGuid(1)));
    EXPECT_TRUE(writer->matched_reader_lookup(readerGuid(2)));
    EXPECT_TRUE(writer->matched_reader_lookup(readerGuid(4)));
    // Reader 1's entry gave its loan back.
    CacheChange* c = writer->getHistory().getEarliestChange();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->loanCount.load(), 1u);
}

TEST_F(StatefulWriterTest, CheckMatchedReaderDecidesByTheDescription) {
    make();
    DiscoveredReaderData data;
    data.subscriptionData.topic_name = "T";
    data.readerProxy.remoteReaderGuid = readerGuid(1);
    data.readerProxy.unicastLocatorList.push_back(readerLocator(1));
    writer->checkMatchedReader(&data);
    EXPECT_TRUE(writer->matched_reader_lookup(readerGuid(1)));
    data.subscriptionData.topic_name = "U";
    writer->checkMatchedReader(&data);
    EXPECT_FALSE(writer->matched_reader_lookup(readerGuid(1)));
    writer->stop();
    data.subscriptionData.topic_name = "T";
    writer->checkMatchedReader(&data);  // a stopped writer matches nothing
    EXPECT_EQ(writer->matchedReaderCount(), 0u);
}

TEST_F(StatefulWriterTest, NoSenderMeansNoProxy) {
    make();
    participant->transport.refuseSender = FakeTransport::Refuse::Null;
    ReaderProxyInfo info;
    info.remoteReaderGuid = readerGuid(1);
    info.unicastLocatorList.push_back(readerLocator(1));
    writer->checkMatchedReaders({&info});
    EXPECT_EQ(writer->matchedReaderCount(), 0u);
}

// Writers write and withdraw while readers come and go with the history: no change may be
// freed while an entry still points at it (AddressSanitizer), and every loan comes back.
TEST_F(StatefulWriterTest, ChangesDeletedWhileReadersLoadTheHistory) {
    make();
    match(1);
    std::atomic<bool> done{false};
    std::thread readers([&] {
        uint32_t count = 0;
        while (!done) {
            const size_t n = match(2, vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS);
            (void)n;
            writer->reliableWorker();
            acknack(2, 1000000, {}, ++count);
            writer->removeMatchedReaders(readerGuid(2));
            writer->removeGarbage(0);
        }
    });
    uint32_t count = 0;
    for (uint32_t i = 1; i <= 300; ++i) {
        const int64_t h = write(static_cast<uint8_t>(i));
        writer->reliableWorker();
        acknack(1, i + 1, {}, ++count);
        writer->deleteChange(h);
        writer->removeGarbage(0);
    }
    done = true;
    readers.join();
    writer->removeMatchedReaders(readerGuid(1));
    writer->removeMatchedReaders(readerGuid(2));
    // Each deletion also sweeps two of the withdrawn changes that waited for a reader.
    for (int i = 0; i < 300 && writer->getHistory().size() != 0; ++i) {
        writer->deleteChange(sequenceToHandle({0, 300}));
    }
    EXPECT_EQ(writer->getHistory().size(), 0u);
    EXPECT_EQ(writer->removeGarbage(0), 0u);
}

TEST_F(StatefulWriterTest, NackFragSchedulesOneDeferredAnswer) {
    make();
    const size_t r = match(1);
    write();
    writer->reliableWorker();
    traffic->next(r);
    NAckFragData n;
    n.readerGUID = readerGuid(1);
    n.writerSN = {0, 1};
    n.fragmentNumberState.bitmapBase = 1;
    n.fragmentNumberState.numBits = 1;
    n.fragmentNumberState.set(0);
    n.count = 1;
    writer->nackfrag(&n);
    writer->nackfrag(&n);  // stale
    acknack(1, 1, {1}, 1);
    participant->advanceMs(200);
    EXPECT_EQ(traffic->next(r).data, Seqs{1});
}

}  // namespace
