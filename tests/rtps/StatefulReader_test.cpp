#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "ReaderHarness.h"

using namespace reader_test;
using RTPS::SequenceNumber_t;

namespace {

RTPS::HeartbeatData heartbeat(uint32_t first, uint32_t last, uint32_t count, bool final = false,
                              bool liveliness = false) {
    RTPS::HeartbeatData hb;
    hb.writerGUID = writerGuid();
    hb.firstSN = SequenceNumber_t{0, first};
    hb.lastSN = SequenceNumber_t{0, last};
    hb.count = count;
    hb.finalFlag = final;
    hb.livelinessFlag = liveliness;
    return hb;
}

vexa::dds::Duration_t const NO_WAIT{0, 0};

// A reliable reader matched with one writer whose answers go to WRITER_LOCATOR.
struct Matched {
    explicit Matched(ReaderHarness& h, bool keyed = false) : reader(h.stateful(keyed)) {
        EXPECT_TRUE(reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
        // The ACKNACK that asks the new writer for a HEARTBEAT; tested on its own below.
        EXPECT_EQ(h.answers().acknacks.size(), 1u);
        h.forgetAnswers();
    }
    void receive(uint32_t sn) {
        EXPECT_NE(offer(reader, dataChange(writerGuid(), sn, &bytes)), nullptr) << sn;
    }
    RTPS::StatefulReader& reader;
    std::vector<uint8_t> bytes = pattern(16);
};

}  // namespace

// A writer matched now may have sent data and HEARTBEATs that were dropped while it was
// unknown: the reader asks it at once for a HEARTBEAT with an empty, non-final ACKNACK. A writer
// matched again (or without a locator to answer to) gets no second one.
TEST(StatefulReader, MatchingAsksTheWriterForAHeartbeat) {
    ReaderHarness h;
    RTPS::StatefulReader& reader = h.stateful();
    ASSERT_TRUE(reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    Answers a = h.answers();
    ASSERT_EQ(a.acknacks.size(), 1u);
    RTPS::AckNackFields const& ask = a.acknacks[0];
    EXPECT_EQ(ask.readerSNState.bitmapBase, (SequenceNumber_t{0, 1}));
    EXPECT_EQ(ask.readerSNState.numBits, 0u);
    EXPECT_FALSE(ask.final);
    EXPECT_EQ(ask.writerId, writerGuid().entityId);
    EXPECT_EQ(ask.count, 1u);

    EXPECT_FALSE(reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    EXPECT_TRUE(reader.matched_writer_add(writerGuid(0x12), nullptr));
    EXPECT_EQ(h.answers().acknacks.size(), 1u);
}

// HEARTBEAT 1..5 after 1, 2 and 4 arrived: one ACKNACK from 3 with the bits 1 0 1, not final.
TEST(StatefulReader, AcknackNamesTheMissingNumbers) {
    ReaderHarness h;
    Matched m(h);
    m.receive(1);
    m.receive(2);
    m.receive(4);
    RTPS::HeartbeatData hb = heartbeat(1, 5, 1);
    m.reader.heatrbeat(&hb);
    Answers a = h.answers();
    ASSERT_EQ(a.acknacks.size(), 1u);
    RTPS::AckNackFields const& ack = a.acknacks[0];
    EXPECT_EQ(ack.readerSNState.bitmapBase, (SequenceNumber_t{0, 3}));
    EXPECT_EQ(ack.readerSNState.numBits, 3u);
    EXPECT_EQ(ack.readerSNState.bitmap[0], 0b101u);
    EXPECT_FALSE(ack.final);
    EXPECT_EQ(ack.writerId, writerGuid().entityId);
    EXPECT_EQ(ack.count, 2u) << "counted on from the one sent at matching";
}

// With nothing missing a final HEARTBEAT gets no answer; a non-final one gets an empty, final
// ACKNACK from the number after the highest.
TEST(StatefulReader, AnswerWhenNothingIsMissing) {
    ReaderHarness h;
    Matched m(h);
    m.receive(1);
    m.receive(2);
    RTPS::HeartbeatData final = heartbeat(1, 2, 1, true);
    m.reader.heatrbeat(&final);
    EXPECT_TRUE(h.answers().acknacks.empty());

    RTPS::HeartbeatData ask = heartbeat(1, 2, 2, false);
    m.reader.heatrbeat(&ask);
    Answers a = h.answers();
    ASSERT_EQ(a.acknacks.size(), 1u);
    EXPECT_EQ(a.acknacks[0].readerSNState.bitmapBase, (SequenceNumber_t{0, 3}));
    EXPECT_EQ(a.acknacks[0].readerSNState.numBits, 0u);
    EXPECT_TRUE(a.acknacks[0].final);

    // The same count again is ignored.
    m.reader.heatrbeat(&ask);
    EXPECT_EQ(h.answers().acknacks.size(), 1u);
}

// First number 4: 1 to 3 are lost, the ACKNACK starts at 4; a GAP for 5..6 makes data 5 a
// repeat.
TEST(StatefulReader, LostNumbersAndGaps) {
    ReaderHarness h;
    Matched m(h);
    RTPS::HeartbeatData hb = heartbeat(4, 7, 1);
    m.reader.heatrbeat(&hb);
    Answers a = h.answers();
    ASSERT_EQ(a.acknacks.size(), 1u);
    EXPECT_EQ(a.acknacks[0].readerSNState.bitmapBase, (SequenceNumber_t{0, 4}));
    EXPECT_EQ(a.acknacks[0].readerSNState.numBits, 4u);

    RTPS::GapData gap;
    gap.writerGUID = writerGuid();
    gap.gapStart = SequenceNumber_t{0, 5};
    gap.gapList.bitmapBase = SequenceNumber_t{0, 7};
    gap.gapList.numBits = 0;
    EXPECT_TRUE(m.reader.gap(&gap));
    EXPECT_EQ(offer(m.reader, dataChange(writerGuid(), 5, &m.bytes)), nullptr);
    m.receive(4);
    m.receive(7);
    EXPECT_TRUE(m.reader.waitForHistoricalData(NO_WAIT));
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{4, 7}));
}

// Changes of unmatched writers and repeats are not taken.
TEST(StatefulReader, TakesEachChangeOnceFromMatchedWriters) {
    ReaderHarness h;
    Matched m(h);
    m.receive(1);
    EXPECT_EQ(offer(m.reader, dataChange(writerGuid(), 1, &m.bytes)), nullptr);
    EXPECT_EQ(offer(m.reader, dataChange(writerGuid(0x12), 2, &m.bytes)), nullptr);
    EXPECT_EQ(m.reader.getHistory().size(), 1u);
}

// Sample 2 first, then 1 sent again: everything announced arrived, so the wait ends at once
// (and a waiter already waiting wakes up).
TEST(StatefulReader, WaitForHistoricalDataAfterOutOfOrderDelivery) {
    ReaderHarness h;
    Matched m(h);
    EXPECT_TRUE(m.reader.waitForHistoricalData(NO_WAIT)) << "nothing announced yet";
    RTPS::HeartbeatData hb = heartbeat(1, 2, 1);
    m.reader.heatrbeat(&hb);
    EXPECT_FALSE(m.reader.waitForHistoricalData(vexa::dds::Duration_t{0, 20000000}));

    auto waiter = std::async(std::launch::async, [&] {
        return m.reader.waitForHistoricalData(vexa::dds::DURATION_INFINITE);
    });
    m.receive(2);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    m.receive(1);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_TRUE(m.reader.waitForHistoricalData(NO_WAIT));

    // A single announced and delivered sample is delivered.
    ReaderHarness h2;
    Matched single(h2);
    RTPS::HeartbeatData one = heartbeat(1, 1, 1);
    single.reader.heatrbeat(&one);
    single.receive(1);
    EXPECT_TRUE(single.reader.waitForHistoricalData(NO_WAIT));
}

// Removing the writer that was not delivered ends a wait with true; stopping the reader ends it
// with false.
TEST(StatefulReader, WaitEndsOnRemovalAndStop) {
    ReaderHarness h;
    Matched m(h);
    RTPS::HeartbeatData hb = heartbeat(1, 3, 1);
    m.reader.heatrbeat(&hb);
    auto waiter = std::async(std::launch::async, [&] {
        return m.reader.waitForHistoricalData(vexa::dds::DURATION_INFINITE);
    });
    m.reader.removeMatchedWriters(writerGuid());
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waiter.get());

    ASSERT_TRUE(m.reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    m.reader.heatrbeat(&hb);
    auto stopped = std::async(std::launch::async, [&] {
        return m.reader.waitForHistoricalData(vexa::dds::DURATION_INFINITE);
    });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    m.reader.stop();
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(stopped.get());
}

// A HEARTBEAT that announces a number near the end of the range does not grow the proxy beyond
// its window: the ACKNACK asks from the window's start.
TEST(StatefulReader, HugeLastDoesNotGrowMemory) {
    ReaderHarness h;
    Matched m(h);
    RTPS::HeartbeatData hb;
    hb.writerGUID = writerGuid();
    hb.firstSN = SequenceNumber_t{0, 1};
    hb.lastSN = SequenceNumber_t{0x7FFFFFFF, 0xFFFFFFFF};
    hb.count = 1;
    m.reader.heatrbeat(&hb);
    Answers a = h.answers();
    ASSERT_EQ(a.acknacks.size(), 1u);
    uint64_t const last = (uint64_t{0x7FFFFFFF} << 32) | 0xFFFFFFFFu;
    EXPECT_EQ(a.acknacks[0].readerSNState.bitmapBase,
              RTPS::WriterProxy::sequenceOf(last - RTPS::WriterProxy::MAX_WINDOW + 1));
    EXPECT_EQ(a.acknacks[0].readerSNState.numBits, 256u);
}

// Liveliness is asserted only for a HEARTBEAT with both the final and the liveliness flag, with
// the writer's entity id without its kind.
TEST(StatefulReader, LivelinessNeedsFinalAndLivelinessFlags) {
    ReaderHarness h;
    Matched m(h);
    struct Case {
        bool final;
        bool liveliness;
        size_t asserted;
    } const cases[] = {{false, true, 0}, {true, false, 0}, {false, false, 0}, {true, true, 1}};
    uint32_t count = 0;
    for (Case const& c : cases) {
        RTPS::HeartbeatData hb = heartbeat(1, 0, ++count, c.final, c.liveliness);
        m.reader.heatrbeat(&hb);
    }
    ASSERT_EQ(h.comm.liveliness.size(), 1u);
    RTPS::EntityId_t id = writerGuid().entityId;
    id.entityKind = 0;
    EXPECT_EQ(h.comm.liveliness[0][3], RTPS::entityIdToU32(id));
}

// A sample with missing fragments gets a NACK_FRAG for them beside the ACKNACK.
TEST(StatefulReader, NackFragForIncompleteSamples) {
    ReaderHarness h;
    Matched m(h);
    auto sample = pattern(400);
    offer(m.reader, fragChange(writerGuid(), 1, sample, 100, 1, 1));
    offer(m.reader, fragChange(writerGuid(), 1, sample, 100, 3, 1));
    RTPS::HeartbeatData hb = heartbeat(1, 1, 1);
    m.reader.heatrbeat(&hb);
    Answers a = h.answers();
    ASSERT_EQ(a.nackfrags.size(), 1u);
    EXPECT_EQ(a.nackfrags[0].writerSN, (SequenceNumber_t{0, 1}));
    EXPECT_EQ(a.nackfrags[0].fragmentNumberState.bitmapBase, 2u);
    EXPECT_EQ(a.nackfrags[0].fragmentNumberState.numBits, 3u);
    EXPECT_EQ(a.nackfrags[0].fragmentNumberState.bitmap[0], 0b101u);
    ASSERT_EQ(a.acknacks.size(), 1u);
    EXPECT_EQ(a.acknacks[0].readerSNState.bitmapBase, (SequenceNumber_t{0, 1}));
}

// With a response delay, the HEARTBEAT that follows matching is answered at once: it answers
// the ACKNACK sent at matching, and the reader asks then for what it dropped before it knew
// the writer. Later ones wait for the delay; a writer matched again starts over.
TEST(StatefulReader, FirstHeartbeatAfterMatchingIsAnsweredAtOnce) {
    ReaderHarness h("BUSINESS.HEARTBEAT_RESPONSE_DELAY = 500\n");
    Matched m(h);
    struct Row {
        uint32_t count;
        bool rematch;
        size_t atOnce;
    };
    for (Row const row : {Row{1, false, 1}, Row{2, false, 0}, Row{3, true, 1}}) {
        if (row.rematch) {
            m.reader.removeMatchedWriters(writerGuid());
            ASSERT_TRUE(m.reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
            h.forgetAnswers();  // the ACKNACK of the matching
        }
        RTPS::HeartbeatData hb = heartbeat(1, 3, row.count);
        m.reader.heatrbeat(&hb);
        h.factory->clock->waitIdle();
        Answers a = h.answers();
        ASSERT_EQ(a.acknacks.size(), row.atOnce) << "heartbeat " << row.count;
        if (row.atOnce == 1) {
            EXPECT_EQ(a.acknacks[0].readerSNState.numBits, 3u) << "asks for all three";
        }
        h.factory->clock->advanceMs(500);
        h.factory->clock->waitIdle();
        EXPECT_EQ(h.answers().acknacks.size(), 1u) << "one answer per heartbeat " << row.count;
        h.forgetAnswers();
    }
}

// A HEARTBEAT that leaves nothing missing is acknowledged at once whatever the response delay
// (the writer may be waiting for it to make room); one that leaves numbers missing is answered
// after the delay.
TEST(StatefulReader, NothingMissingIsAcknowledgedAtOnce) {
    struct Row {
        std::vector<uint32_t> received;
        uint32_t last;  // announced by the HEARTBEAT, from 1
        size_t atOnce;
    };
    for (Row const& row : {Row{{1, 2, 3}, 3, 1}, Row{{1, 3}, 3, 0}, Row{{1, 2, 3}, 5, 0}}) {
        ReaderHarness h("BUSINESS.HEARTBEAT_RESPONSE_DELAY = 500\n");
        Matched m(h);
        RTPS::HeartbeatData first = heartbeat(1, 0, 1, true);  // spends the answer at once
        m.reader.heatrbeat(&first);
        h.factory->clock->waitIdle();
        h.forgetAnswers();
        for (uint32_t sn : row.received) {
            m.receive(sn);
        }
        RTPS::HeartbeatData hb = heartbeat(1, row.last, 2);
        m.reader.heatrbeat(&hb);
        h.factory->clock->waitIdle();
        Answers a = h.answers();
        ASSERT_EQ(a.acknacks.size(), row.atOnce) << "last " << row.last;
        if (row.atOnce == 1) {
            EXPECT_TRUE(a.acknacks[0].final);
            EXPECT_EQ(a.acknacks[0].readerSNState.bitmapBase, (SequenceNumber_t{0, row.last + 1}));
        }
        h.factory->clock->advanceMs(500);
        h.factory->clock->waitIdle();
        EXPECT_EQ(h.answers().acknacks.size(), 1u) << "one answer, last " << row.last;
    }
}

// With a response delay the answer waits on the scheduler; a writer removed meanwhile takes its
// answer (and its pending fragments) with it, and the task finds nothing to do.
TEST(StatefulReader, ProxyRemovedWhileTheAnswerIsPending) {
    ReaderHarness h("BUSINESS.HEARTBEAT_RESPONSE_DELAY = 500\n");
    ASSERT_EQ(h.participant->getConfig().heartbeatResponseDelay(), 500);
    Matched m(h);
    RTPS::HeartbeatData first = heartbeat(1, 0, 1, true);  // spends the answer at once
    m.reader.heatrbeat(&first);
    auto sample = pattern(400);
    offer(m.reader, fragChange(writerGuid(), 1, sample, 100, 1, 1));
    RTPS::HeartbeatData hb = heartbeat(1, 3, 2);
    m.reader.heatrbeat(&hb);
    h.factory->clock->waitIdle();
    EXPECT_TRUE(h.answers().acknacks.empty()) << "not before the delay";

    m.reader.removeMatchedWriters(writerGuid());
    EXPECT_EQ(m.reader.matchedWriterCount(), 0u);
    EXPECT_EQ(m.reader.pendingCount(), 0u);
    h.factory->clock->advanceMs(500);
    h.factory->clock->waitIdle();
    Answers a = h.answers();
    EXPECT_TRUE(a.acknacks.empty());
    EXPECT_TRUE(a.nackfrags.empty());

    // A writer matched again gets its answer.
    ASSERT_TRUE(m.reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    EXPECT_EQ(h.answers().acknacks.size(), 1u) << "the one sent at matching";
    h.forgetAnswers();
    RTPS::HeartbeatData again = heartbeat(1, 3, 3);
    m.reader.heatrbeat(&again);
    h.factory->clock->advanceMs(500);
    h.factory->clock->waitIdle();
    EXPECT_EQ(h.answers().acknacks.size(), 1u);
}

// checkMatchedWriters keeps the listed writers, adds new ones and drops the others.
TEST(StatefulReader, CheckMatchedWritersFollowsTheList) {
    ReaderHarness h;
    Matched m(h);
    RTPS::WriterProxyInfo a;
    a.remoteWriterGuid = writerGuid(0x12);
    a.unicastLocatorList.push_back(WRITER_LOCATOR);
    RTPS::WriterProxyInfo b;
    b.remoteWriterGuid = writerGuid();
    m.reader.checkMatchedWriters({&a, &b});
    EXPECT_EQ(m.reader.matchedWriterCount(), 2u);
    m.reader.checkMatchedWriters({&a});
    EXPECT_EQ(m.reader.matchedWriterCount(), 1u);
    EXPECT_FALSE(m.reader.matched_writer_lookup(writerGuid()));
    EXPECT_TRUE(m.reader.matched_writer_lookup(writerGuid(0x12)));
    RTPS::GUID_t participant = writerGuid();
    participant.entityId = RTPS::_ENTITYID_PARTICIPANT;
    m.reader.removeMatchedWriters(participant);
    EXPECT_EQ(m.reader.matchedWriterCount(), 0u);
}

namespace {

RTPS::GapData gapOf(uint32_t start, uint32_t end) {
    RTPS::GapData gap;
    gap.writerGUID = writerGuid();
    gap.gapStart = SequenceNumber_t{0, start};
    gap.gapList.bitmapBase = SequenceNumber_t{0, end};
    gap.gapList.numBits = 0;
    return gap;
}

}  // namespace

// A change that overtakes a missing one waits for it: the history gets the writer's order,
// whatever the order of arrival. A missing number the writer skips (GAP) or no longer has
// (HEARTBEAT first) releases what waited behind it; held changes are repeats meanwhile.
TEST(StatefulReader, ChangesReachTheHistoryInTheWritersOrder) {
    struct Case {
        char const* name;
        std::vector<uint32_t> arrivals;  // 0: GAP for 1; 100 + n: HEARTBEAT from n
        std::vector<uint32_t> stored;
    } const cases[] = {
        {"in order", {1, 2, 3}, {1, 2, 3}},       {"last first", {3, 1, 2}, {1, 2, 3}},
        {"reversed", {3, 2, 1}, {1, 2, 3}},       {"one overtaken", {1, 3, 2, 4}, {1, 2, 3, 4}},
        {"repeat while held", {2, 2, 1}, {1, 2}}, {"gap releases", {2, 3, 0}, {2, 3}},
        {"lost releases", {3, 4, 103}, {3, 4}},   {"held below the first", {2, 3, 104}, {2, 3}},
    };
    for (Case const& c : cases) {
        ReaderHarness h;
        Matched m(h);
        uint32_t count = 0;
        for (uint32_t a : c.arrivals) {
            if (a == 0) {
                RTPS::GapData gap = gapOf(1, 2);
                EXPECT_TRUE(m.reader.gap(&gap)) << c.name;
            } else if (a > 100) {
                RTPS::HeartbeatData hb = heartbeat(a - 100, a - 100 + 2, ++count, true);
                m.reader.heatrbeat(&hb);
            } else {
                offer(m.reader, dataChange(writerGuid(), a, &m.bytes));
            }
        }
        EXPECT_EQ(h.comm.sequenceList(), c.stored) << c.name;
    }
}

// Numbers declared lost free what waited on them, held changes below the writer's first
// number included; a change behind a number still missing waits on. The reader has delivered
// once nothing is held.
TEST(StatefulReader, HeldChangesBelowTheWritersFirstStillGoOut) {
    ReaderHarness h;
    Matched m(h);
    m.receive(2);
    m.receive(5);
    RTPS::HeartbeatData hb = heartbeat(4, 6, 1, true);
    m.reader.heatrbeat(&hb);
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{2})) << "1 and 3 lost, 4 missing";
    EXPECT_FALSE(m.reader.waitForHistoricalData(NO_WAIT));
    m.receive(4);
    m.receive(6);
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{2, 4, 5, 6}));
    EXPECT_TRUE(m.reader.waitForHistoricalData(NO_WAIT));
}

// A sample completed from fragments waits its turn like a whole one, and releases the whole
// ones behind it when it completes.
TEST(StatefulReader, FragmentedSampleKeepsItsPlace) {
    ReaderHarness h;
    Matched m(h);
    auto sample = pattern(300);
    offer(m.reader, fragChange(writerGuid(), 1, sample, 100, 1, 1));
    m.receive(2);
    offer(m.reader, fragChange(writerGuid(), 3, sample, 100, 1, 3));
    EXPECT_TRUE(h.comm.sequenceList().empty());
    offer(m.reader, fragChange(writerGuid(), 1, sample, 100, 2, 2));
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{1, 2, 3}));
    ASSERT_EQ(m.reader.getHistory().size(), 3u);
}

// Removing the writer frees what it held; a writer matched again starts afresh.
TEST(StatefulReader, RemovedWriterTakesItsHeldChanges) {
    ReaderHarness h;
    Matched m(h);
    m.receive(2);
    m.receive(3);
    m.reader.removeMatchedWriters(writerGuid());
    EXPECT_TRUE(h.comm.sequenceList().empty());
    ASSERT_TRUE(m.reader.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    m.receive(1);
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{1}));
}
