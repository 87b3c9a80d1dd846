#include <gtest/gtest.h>

#include <vector>

#include "ReaderHarness.h"

using namespace reader_test;

// A writer's changes are taken only above the last one taken from it.
TEST(StatelessReader, TakesOnlyNewerChangesPerWriter) {
    struct Case {
        char const* rule;
        std::vector<uint32_t> offered;
        std::vector<uint32_t> stored;
    } const cases[] = {
        {"older after newer", {5, 3}, {5}},
        {"ascending", {5, 6}, {5, 6}},
        {"repeat", {2, 2}, {2}},
        {"gap then older", {1, 4, 2, 5}, {1, 4, 5}},
    };
    for (Case const& c : cases) {
        ReaderHarness h;
        auto& r = h.stateless();
        auto bytes = pattern(4);
        for (uint32_t sn : c.offered) {
            offer(r, dataChange(writerGuid(), sn, &bytes));
        }
        EXPECT_EQ(h.comm.sequenceList(), c.stored) << c.rule;
    }
}

// Writers are told apart; a writer unmatched is forgotten, so its numbers start over when it
// matches again.
TEST(StatelessReader, TableIsPerWriterAndForgetsRemovedWriters) {
    ReaderHarness h;
    auto& r = h.stateless();
    ReaderHarness::matchWriters(r, {writerGuid(0x11), writerGuid(0x12)});
    auto bytes = pattern(4);
    EXPECT_NE(offer(r, dataChange(writerGuid(0x11), 5, &bytes)), nullptr);
    EXPECT_NE(offer(r, dataChange(writerGuid(0x12), 3, &bytes)), nullptr);
    EXPECT_EQ(r.knownWriterCount(), 2u);

    r.removeMatchedWriters(writerGuid(0x11));
    EXPECT_EQ(r.knownWriterCount(), 1u);
    EXPECT_EQ(offer(r, dataChange(writerGuid(0x11), 6, &bytes)), nullptr);  // not matched now
    ReaderHarness::matchWriters(r, {writerGuid(0x11), writerGuid(0x12)});
    EXPECT_NE(offer(r, dataChange(writerGuid(0x11), 1, &bytes)), nullptr);

    RTPS::GUID_t participant = writerGuid();
    participant.entityId = RTPS::_ENTITYID_PARTICIPANT;
    r.removeMatchedWriters(participant);
    EXPECT_EQ(r.knownWriterCount(), 0u);
}

// A change the full history refused does not count as taken.
TEST(StatelessReader, RefusedChangeDoesNotRaiseTheLastNumber) {
    ReaderHarness h;
    h.historyLimit = 1;
    auto& r = h.stateless();
    auto bytes = pattern(4);
    RTPS::CacheChange* first = offer(r, dataChange(writerGuid(), 1, &bytes));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(offer(r, dataChange(writerGuid(), 5, &bytes)), nullptr);
    r.deleteChange(&first->sampleInfo);
    EXPECT_NE(offer(r, dataChange(writerGuid(), 3, &bytes)), nullptr);
}

// Data from a writer the reader is not matched with is dropped and leaves no entry: spoofed
// writer prefixes cannot grow the table; matching makes the entry, unmatching drops it.
TEST(StatelessReader, TakesOnlyFromMatchedWritersAndKeepsEntriesOnlyForThem) {
    ReaderHarness h;
    auto& r = h.stateless();
    auto bytes = pattern(4);
    for (uint8_t key = 0x20; key < 0x60; ++key) {
        RTPS::GUID_t spoofed = writerGuid(key);
        spoofed.guidPrefix[0] = key;
        EXPECT_EQ(offer(r, dataChange(spoofed, 1, &bytes)), nullptr) << int{key};
    }
    EXPECT_TRUE(h.comm.sequenceList().empty());
    EXPECT_EQ(r.knownWriterCount(), 1u);  // the matched writer only

    EXPECT_NE(offer(r, dataChange(writerGuid(), 1, &bytes)), nullptr);
    ReaderHarness::matchWriters(r, {writerGuid(0x12)});
    EXPECT_EQ(r.knownWriterCount(), 1u);
    EXPECT_EQ(offer(r, dataChange(writerGuid(), 2, &bytes)), nullptr);
    EXPECT_NE(offer(r, dataChange(writerGuid(0x12), 1, &bytes)), nullptr);
    EXPECT_EQ(h.comm.sequenceList(), (std::vector<uint32_t>{1, 1}));
}

// The SPDP reader takes repeated announcements (it consumes them itself).
TEST(StatelessReader, SpdpReaderTakesRepeats) {
    ReaderHarness h;
    RTPS::EntityId_t const id = RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER;
    auto& r = h.stateless(false, 0, nullptr, &id);
    auto bytes = pattern(4);
    for (int i = 0; i < 2; ++i) {
        auto change = dataChange(writerGuid(), 1, &bytes);
        EXPECT_EQ(r.addChange(change.get()), change.get()) << i;
    }
    EXPECT_EQ(r.knownWriterCount(), 0u);
}

// Nothing to wait for; a HEARTBEAT only asserts liveliness, with both flags.
TEST(StatelessReader, HeartbeatAndWait) {
    ReaderHarness h;
    auto& r = h.stateless();
    EXPECT_TRUE(r.waitForHistoricalData(vexa::dds::DURATION_INFINITE));
    RTPS::HeartbeatData hb;
    hb.writerGUID = writerGuid();
    hb.livelinessFlag = true;
    r.heatrbeat(&hb);
    EXPECT_TRUE(h.comm.liveliness.empty());
    hb.finalFlag = true;
    r.heatrbeat(&hb);
    EXPECT_EQ(h.comm.liveliness.size(), 1u);
}
