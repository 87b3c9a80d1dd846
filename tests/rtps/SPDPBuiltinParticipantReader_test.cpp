#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "DiscoveryRecordSamples.h"
#include "FakeDiscoveryHost.h"
#include "ManualClock.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/discovery/SPDPBuiltinParticipantReader.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"

using namespace RTPS;
using namespace discovery_samples;

namespace {

// A long check period: the worker makes its first pass and then sleeps, so the tests drive the
// lease passes themselves.
constexpr int32_t QUIET_PERIOD_MS = 1000000;

SPDPdiscoveredParticipantData announcement(uint8_t seed, vexa::dds::Duration_t lease = {45, 0}) {
    SPDPdiscoveredParticipantData p = participantSample();
    p.guidPrefix[11] = seed;
    p.participant.key = keyOf(p.guidPrefix);
    p.leaseDuration = lease;
    return p;
}

// A received SPDP change that owns its decoded record, as the receiver makes it.
std::unique_ptr<CacheChange> received(SPDPdiscoveredParticipantData const& record) {
    GUID_t writer{};
    std::memcpy(writer.guidPrefix, record.guidPrefix, GUID_PREFIX_SIZE);
    writer.entityId = _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER;
    auto c = std::make_unique<CacheChange>(writer, nullptr);
    c->payloadKind = OWNER_RECEIVED;
    c->setData(new SPDPdiscoveredParticipantData(record), sizeof record);
    c->ownsRecord = true;
    c->completeness = 2;
    return c;
}

GUID_t guidOf(SPDPdiscoveredParticipantData const& p, EntityId_t id) {
    GUID_t g{};
    std::memcpy(g.guidPrefix, p.guidPrefix, GUID_PREFIX_SIZE);
    g.entityId = id;
    return g;
}

class SpdpReaderTest : public ::testing::Test {
protected:
    void SetUp() override { make(QUIET_PERIOD_MS, QUIET_PERIOD_MS); }

    void make(int32_t periodMs, int32_t leaseMs, bool manual = true) {
        reader.reset();
        clock = manual ? std::make_shared<ManualClock>() : nullptr;
        reader = std::make_unique<SPDPBuiltinParticipantReader>(host, nullptr, "P000000100c7",
                                                                periodMs, leaseMs, clock);
    }

    // Hands the change to the reader; true when the reader kept it.
    bool offer(std::unique_ptr<CacheChange> c) {
        CacheChange* kept = reader->addChange(c.get());
        if (kept == c.get()) {
            c.release();
            return true;
        }
        return false;
    }

    FakeDiscoveryHost host;
    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<SPDPBuiltinParticipantReader> reader;
};

}  // namespace

TEST_F(SpdpReaderTest, ANewcomerIsStoredWiredAndReported) {
    SPDPdiscoveredParticipantData const p = announcement(1);
    ASSERT_TRUE(offer(received(p)));
    EXPECT_TRUE(reader->isKnown(p.guidPrefix));
    EXPECT_EQ(host.resends, 1);
    ASSERT_EQ(host.socketsAsked.size(), 1u);
    EXPECT_EQ(host.socketsAsked[0], p.metatrafficUnicastLocator);
    EXPECT_EQ(host.reported.size(), 1u);

    // Writer side, then reader side, each in the announcement's bit order.
    std::vector<std::pair<EntityId_t, EntityId_t>> const writers = {
        {_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER},
        {_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER},
        {_ENTITYID_SEDP_BUILTIN_TOPIC_READER, _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER},
        {_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER,
         _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER},
    };
    ASSERT_EQ(host.writerMatches.size(), writers.size());
    for (size_t i = 0; i < writers.size(); ++i) {
        EXPECT_EQ(host.writerMatches[i].local, writers[i].first) << i;
        EXPECT_EQ(host.writerMatches[i].remote, guidOf(p, writers[i].second)) << i;
        EXPECT_EQ(host.writerMatches[i].locator, p.metatrafficUnicastLocator);
    }
    ASSERT_EQ(host.readerMatches.size(), 4u);
    EXPECT_EQ(host.readerMatches[0].local, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER);
    EXPECT_EQ(host.readerMatches[3].remote,
              guidOf(p, _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER));
    EXPECT_TRUE(host.readerMatches[3].expectsInlineQos);
}

TEST_F(SpdpReaderTest, ARepeatedAnnouncementOnlyRefreshesTheParticipant) {
    SPDPdiscoveredParticipantData const p = announcement(1, {1, 0});
    ASSERT_TRUE(offer(received(p)));
    clock->advanceMs(800);
    EXPECT_FALSE(offer(received(p)));
    EXPECT_EQ(host.resends, 1);
    EXPECT_EQ(host.reported.size(), 1u);
    EXPECT_EQ(host.writerMatches.size(), 4u);
    EXPECT_EQ(reader->getHistory().size(), 1u);

    // 1.5 s after the first announcement, 0.7 s after the second: within the lease.
    clock->advanceMs(700);
    reader->checkLeases();
    EXPECT_TRUE(reader->isKnown(p.guidPrefix));
    EXPECT_TRUE(host.lost.empty());
}

TEST_F(SpdpReaderTest, MissingPublicationBitsMeanNoPublicationWiring) {
    SPDPdiscoveredParticipantData p = announcement(2);
    p.availableBuiltinEndpoints &=
        ~(BUILTIN_ENDPOINT_PUBLICATION_ANNOUNCER | BUILTIN_ENDPOINT_PUBLICATION_DETECTOR);
    ASSERT_TRUE(offer(received(p)));
    for (auto const& m : host.writerMatches) {
        EXPECT_NE(m.local, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER);
    }
    for (auto const& m : host.readerMatches) {
        EXPECT_NE(m.local, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER);
    }
    EXPECT_EQ(host.writerMatches.size(), 3u);
    EXPECT_EQ(host.readerMatches.size(), 3u);
}

// A participant that cannot be reached is not stored, and its next announcement tries again.
TEST_F(SpdpReaderTest, AnUnreachableParticipantIsNotStoredAndRetried) {
    struct Case {
        char const* why;
        std::function<void(SPDPdiscoveredParticipantData&)> breakRecord;
        FakeDiscoveryHost::SocketAnswer answer;
    };
    using A = FakeDiscoveryHost::SocketAnswer;
    Case const cases[] = {
        {"UDPv6 locator", [](auto& p) { p.metatrafficUnicastLocator.kind = 2; }, A::Token},
        {"invalid locator", [](auto& p) { p.metatrafficUnicastLocator = _LOCATOR_INVALID; },
         A::Token},
        {"port 0", [](auto& p) { p.metatrafficUnicastLocator.port = 0; }, A::Token},
        {"port above 65535", [](auto& p) { p.metatrafficUnicastLocator.port = 70000; }, A::Token},
        {"address 0.0.0.0", [](auto& p) { p.metatrafficUnicastLocator = udp("0.0.0.0", 7410); },
         A::Token},
        {"no socket", [](auto&) {}, A::Null},
        {"socket refused", [](auto&) {}, A::Throw},
    };
    uint8_t seed = 10;
    for (Case const& c : cases) {
        SPDPdiscoveredParticipantData p = announcement(seed++);
        SPDPdiscoveredParticipantData bad = p;
        c.breakRecord(bad);
        host.socketAnswer = c.answer;
        size_t const resends = size_t(host.resends);
        size_t const reports = host.reported.size();
        EXPECT_FALSE(offer(received(bad))) << c.why;
        EXPECT_FALSE(reader->isKnown(p.guidPrefix)) << c.why;
        EXPECT_EQ(size_t(host.resends), resends) << c.why;
        EXPECT_EQ(host.reported.size(), reports) << c.why;

        host.socketAnswer = A::Token;
        EXPECT_TRUE(offer(received(p))) << c.why;
        EXPECT_TRUE(reader->isKnown(p.guidPrefix)) << c.why;
    }
}

TEST_F(SpdpReaderTest, RecordsThatDoNotBelongToTheirSenderAreRefused) {
    SPDPdiscoveredParticipantData const p = announcement(3);
    auto c = received(p);
    c->writerGUID.guidPrefix[11] ^= 0xFF;
    EXPECT_FALSE(offer(std::move(c)));
    EXPECT_FALSE(reader->isKnown(p.guidPrefix));

    // A change whose payload did not decode carries no record.
    GUID_t writer = guidOf(p, _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER);
    auto empty = std::make_unique<CacheChange>(writer, nullptr);
    empty->payloadKind = OWNER_RECEIVED;
    EXPECT_FALSE(offer(std::move(empty)));
}

// An announcement that came as fragments reaches the reader still packed.
TEST_F(SpdpReaderTest, AStillPackedAnnouncementIsDecoded) {
    SPDPdiscoveredParticipantData const p = announcement(4);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(packPart(p, bytes));
    auto c = std::make_unique<CacheChange>(guidOf(p, _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER),
                                           nullptr);
    c->payloadKind = OWNER_RECEIVED;
    c->setData(bytes.data(), bytes.size());
    EXPECT_TRUE(offer(std::move(c)));
    EXPECT_TRUE(reader->isKnown(p.guidPrefix));
}

TEST_F(SpdpReaderTest, LeaseExpiryReportsTheParticipantLostOnce) {
    SPDPdiscoveredParticipantData const p = announcement(5, {1, 0});
    SPDPdiscoveredParticipantData const exempt = announcement(6, {1, 0});
    ASSERT_TRUE(offer(received(p)));
    auto permanent = received(exempt);
    permanent->leaseExempt = true;
    ASSERT_TRUE(offer(std::move(permanent)));

    clock->advanceMs(1000);
    reader->checkLeases();  // exactly the lease: not yet
    EXPECT_TRUE(host.lost.empty());

    clock->advanceMs(1);
    reader->checkLeases();
    ASSERT_EQ(host.lost.size(), 1u);
    EXPECT_EQ(host.lost[0], guidOf(p, _ENTITYID_PARTICIPANT));
    ASSERT_EQ(host.removed.size(), 1u);
    EXPECT_EQ(host.removed[0], guidOf(p, _ENTITYID_PARTICIPANT));
    EXPECT_FALSE(reader->isKnown(p.guidPrefix));
    EXPECT_TRUE(reader->isKnown(exempt.guidPrefix));

    clock->advanceMs(5000);
    reader->checkLeases();
    EXPECT_EQ(host.lost.size(), 1u);

    // Heard again: known again, with the full wiring.
    size_t const matches = host.writerMatches.size();
    ASSERT_TRUE(offer(received(p)));
    EXPECT_EQ(host.writerMatches.size(), matches + 4);
}

// Any datagram renews the lease from the moment it was heard, also when the lease is shorter
// than the period between two passes.
TEST_F(SpdpReaderTest, ADatagramRenewsTheLeaseWhenItIsHeard) {
    struct Case {
        char const* what;
        int32_t periodMs;  // between two lease passes
        int32_t leaseMs;
    } const cases[] = {
        {"lease above the period", 800, 1000},
        {"lease below the period", 1000, 400},
    };
    uint8_t seed = 40;
    for (Case const& c : cases) {
        vexa::dds::Duration_t const lease{c.leaseMs / 1000, uint32_t(c.leaseMs % 1000) * 1000000u};
        SPDPdiscoveredParticipantData const p = announcement(seed++, lease);
        SPDPdiscoveredParticipantData const silent = announcement(seed++, lease);
        ASSERT_TRUE(offer(received(p))) << c.what;
        ASSERT_TRUE(offer(received(silent))) << c.what;
        // Heard just before each pass, as a stream of data or acknowledgements keeps it.
        for (int pass = 0; pass < 3; ++pass) {
            clock->advanceMs(c.periodMs - 10);
            reader->alive(p.guidPrefix);
            clock->advanceMs(10);
            reader->checkLeases();
            EXPECT_TRUE(reader->isKnown(p.guidPrefix)) << c.what << ", pass " << pass;
        }
        EXPECT_FALSE(reader->isKnown(silent.guidPrefix)) << c.what;

        // Silent from then on: gone once its lease has passed since it was heard.
        clock->advanceMs(c.leaseMs - 10);
        reader->checkLeases();
        EXPECT_TRUE(reader->isKnown(p.guidPrefix)) << c.what;
        clock->advanceMs(11);
        reader->checkLeases();
        EXPECT_FALSE(reader->isKnown(p.guidPrefix)) << c.what;
    }
}

// A datagram renews its own participant's lease and no other's, whichever participant was heard
// before it and whoever took the slot of a participant that is gone. A (1 s lease) and B (2 s)
// are announced at 0; each row hears its datagrams at 900 ms and looks at 1500 ms.
TEST_F(SpdpReaderTest, ADatagramRenewsOnlyItsOwnParticipant) {
    vexa::dds::Duration_t const second{1, 0};
    struct Row {
        char const* rule;
        std::function<void(SPDPBuiltinParticipantReader&, uint8_t const* a, uint8_t const* b)>
            at900ms;
        bool aKnown, bKnown;
    } const rows[] = {
        {"the participant heard last is renewed",
         [](SPDPBuiltinParticipantReader& r, uint8_t const* a, uint8_t const*) { r.alive(a); },
         true, true},
        {"a participant heard after another one is renewed",
         [](SPDPBuiltinParticipantReader& r, uint8_t const* a, uint8_t const* b) {
             r.alive(b);
             r.alive(a);
         },
         true, true},
        {"an unknown prefix renews nobody",
         [](SPDPBuiltinParticipantReader& r, uint8_t const*, uint8_t const*) {
             r.alive(announcement(99).guidPrefix);
         },
         false, true},
        {"a removed participant's datagram renews nobody",
         [](SPDPBuiltinParticipantReader& r, uint8_t const* a, uint8_t const*) {
             r.alive(a);
             r.deleteChange(a);
             r.alive(a);
         },
         false, true},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.rule);
        make(QUIET_PERIOD_MS, QUIET_PERIOD_MS);
        SPDPdiscoveredParticipantData const a = announcement(60, second);
        SPDPdiscoveredParticipantData const b = announcement(61, {2, 0});
        ASSERT_TRUE(offer(received(a)));
        ASSERT_TRUE(offer(received(b)));
        clock->advanceMs(900);
        row.at900ms(*reader, a.guidPrefix, b.guidPrefix);
        clock->advanceMs(600);
        reader->checkLeases();
        EXPECT_EQ(reader->isKnown(a.guidPrefix), row.aKnown);
        EXPECT_EQ(reader->isKnown(b.guidPrefix), row.bKnown);
    }
}

// The slot of a removed participant goes to the next newcomer; a datagram of the removed one,
// heard last before its removal, must not renew the newcomer.
TEST_F(SpdpReaderTest, AReusedSlotIsNotRenewedByItsFormerParticipant) {
    SPDPdiscoveredParticipantData const gone = announcement(70, {1, 0});
    SPDPdiscoveredParticipantData const newcomer = announcement(71, {1, 0});
    ASSERT_TRUE(offer(received(gone)));
    reader->alive(gone.guidPrefix);
    reader->deleteChange(gone.guidPrefix);
    ASSERT_TRUE(offer(received(newcomer)));
    clock->advanceMs(900);
    reader->alive(gone.guidPrefix);
    clock->advanceMs(600);
    reader->checkLeases();
    EXPECT_FALSE(reader->isKnown(newcomer.guidPrefix));
}

// Datagrams keep arriving while participants come and go and leases are checked (the sanitizers
// watch the slots); once they stop, the participant heard last is kept for its lease from then.
TEST_F(SpdpReaderTest, DatagramsRaceArrivalsAndRemovals) {
    SPDPdiscoveredParticipantData const steady = announcement(80, {1, 0});
    ASSERT_TRUE(offer(received(steady)));
    std::atomic<bool> stop{false};
    std::thread parser([&] {
        SPDPdiscoveredParticipantData const passing = announcement(81);
        while (!stop.load()) {
            reader->alive(steady.guidPrefix);
            reader->alive(passing.guidPrefix);
        }
    });
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(offer(received(announcement(81))));
        reader->checkLeases();
        reader->deleteChange(announcement(81).guidPrefix);
    }
    stop = true;
    parser.join();
    clock->advanceMs(900);
    reader->alive(steady.guidPrefix);
    clock->advanceMs(900);
    reader->checkLeases();
    EXPECT_TRUE(reader->isKnown(steady.guidPrefix));
    clock->advanceMs(101);
    reader->checkLeases();
    EXPECT_FALSE(reader->isKnown(steady.guidPrefix));
}

TEST_F(SpdpReaderTest, RemovalByPrefix) {
    uint8_t const zero[GUID_PREFIX_SIZE] = {};
    EXPECT_THROW(reader->deleteChange(zero), BAD_PARAMETERS);
    SPDPdiscoveredParticipantData const p = announcement(9);
    EXPECT_THROW(reader->deleteChange(p.guidPrefix), GENERAL_DDSI_ERROR);

    ASSERT_TRUE(offer(received(p)));
    EXPECT_EQ(reader->deleteChange(p.guidPrefix), 0u);
    EXPECT_EQ(host.lost.size(), 1u);
    EXPECT_FALSE(reader->isKnown(p.guidPrefix));
    EXPECT_THROW(reader->deleteChange(p.guidPrefix), GENERAL_DDSI_ERROR);
}

// Participants beyond the table are stored and reported; only their lease keeps them.
TEST_F(SpdpReaderTest, ParticipantsBeyondTheTableAreKeptWithoutASlot) {
    std::vector<SPDPdiscoveredParticipantData> all;
    for (size_t i = 0; i <= SPDPBuiltinParticipantReader::TABLE_SIZE; ++i) {
        SPDPdiscoveredParticipantData p = announcement(0);
        p.guidPrefix[10] = uint8_t(i >> 8);
        p.guidPrefix[11] = uint8_t(i);
        all.push_back(p);
        ASSERT_TRUE(offer(received(p))) << i;
    }
    SPDPdiscoveredParticipantData const& last = all.back();
    EXPECT_TRUE(reader->isKnown(last.guidPrefix));
    EXPECT_EQ(host.reported.size(), all.size());
    EXPECT_THROW(reader->deleteChange(last.guidPrefix), GENERAL_DDSI_ERROR);
    EXPECT_EQ(reader->deleteChange(all.front().guidPrefix),
              SPDPBuiltinParticipantReader::TABLE_SIZE);
}

TEST_F(SpdpReaderTest, AStoppedReaderTakesNothing) {
    reader->stop();
    EXPECT_FALSE(offer(received(announcement(11))));
    EXPECT_TRUE(host.reported.empty());
}

// The worker checks leases by itself every period.
TEST(SpdpReaderWorker, ExpiresASilentParticipantOnItsOwn) {
    FakeDiscoveryHost host;
    SPDPBuiltinParticipantReader reader(host, nullptr, "P000000100c7", 10, 15);
    SPDPdiscoveredParticipantData const p = announcement(12, {0, 30000000});
    auto c = received(p);
    ASSERT_EQ(reader.addChange(c.get()), c.get());
    c.release();
    EXPECT_TRUE(host.waitLost(1, std::chrono::seconds(10)));
    reader.stop();
    EXPECT_FALSE(reader.isKnown(p.guidPrefix));
}

// Regression: stop used to wait for the worker's whole sleep (the announce period).
TEST(SpdpReaderWorker, StopEndsTheWorkerPromptly) {
    FakeDiscoveryHost host;
    auto const started = std::chrono::steady_clock::now();
    {
        SPDPBuiltinParticipantReader reader(host, nullptr, "P000000100c7", 600000, 900000);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        reader.stop();
    }
    // A hang detector, not a speed figure: the period is ten minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}
