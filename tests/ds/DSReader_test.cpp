#include "ds/store/DSReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/res/ResourceManager.h"
#include "rtps/LogCapture.h"

namespace {

using vexa::dds::Time_t;
using vexa::ds::DSReader;
using vexa::ds::DSReaderHost;

// The domain as a stored reader sees it: a driven clock and a table of publications.
class FakeHost : public DSReaderHost {
public:
    Time_t clock{1000, 0};
    int32_t limit = 1024;
    vexa::dds::SubscriberQos qos;
    std::map<uint32_t, Lookup> lookups;  // by entity id; absent = Unknown
    vexa::dds::PublicationBuiltinTopicData pub;

    Time_t now() const override { return clock; }
    int32_t maxSamplesPerReader() const override { return limit; }
    const vexa::dds::SubscriberQos& subscriberQos() const override { return qos; }
    Lookup getRemotePublisher(const uint32_t*, uint32_t entityId, DSReader*,
                              Publication& out) override {
        auto it = lookups.find(entityId);
        if (it == lookups.end()) {
            return Lookup::Unknown;
        }
        out.remotePubId = 0x10000001;
        out.data = &pub;
        return it->second;
    }
    void advance(int sec) { clock.sec += sec; }
};

const uint32_t PREFIX_A[3] = {0x11, 0x22, 0x33};
const uint32_t PREFIX_B[3] = {0x44, 0x55, 0x66};

vexa::dds::TopicBuiltinTopicData topic(int kind, int depth, int maxS, int maxI, int maxSpi) {
    vexa::dds::TopicBuiltinTopicData t;
    t.name = "Track";
    t.type_name = "Track::Type";
    t.durability.kind = vexa::dds::TRANSIENT_DURABILITY_QOS;
    t.durability_service.history_kind = vexa::dds::HistoryQosPolicyKind(kind);
    t.durability_service.history_depth = depth;
    t.durability_service.max_samples = maxS;
    t.durability_service.max_instances = maxI;
    t.durability_service.max_samples_per_instance = maxSpi;
    return t;
}

vexa::dds::TopicBuiltinTopicData keepAll() {
    return topic(vexa::dds::KEEP_ALL_HISTORY_QOS, 1, -1, -1, -1);
}

vexa::dds::PublicationBuiltinTopicData publication(const vexa::dds::TopicBuiltinTopicData& t) {
    vexa::dds::PublicationBuiltinTopicData p;
    p.topic_name = t.name;
    p.durability = t.durability;
    p.ownership = t.ownership;
    return p;
}

// A sample of instance `key` with a payload that names it.
struct Sample {
    RTPS::SampleInfo si{};
    uint32_t payload;
    Sample(uint8_t key, uint32_t value, uint32_t flags = RTPS::SAMPLE_ALIVE, int32_t handle = 0)
        : payload(value) {
        si.keyHash[0] = key;
        si.instanceHandle = handle;
        si.statusFlags = flags;
        si.sourceTimestamp = {1, 0};
        si.data = &payload;
        si.length = sizeof payload;
        si.sequenceNumber = {0, value};
    }
};

int feed(DSReader& r, uint8_t key, uint32_t value, const uint32_t* prefix = PREFIX_A,
         uint32_t entity = 0x102, uint32_t flags = RTPS::SAMPLE_ALIVE, int32_t handle = 0) {
    Sample s(key, value, flags, handle);
    return r.ddsisampleHandler(s.si, prefix, entity);
}

// Stored payloads, oldest first.
std::vector<uint32_t> stored(const DSReader& r) {
    std::vector<uint32_t> v;
    for (auto* it = r.samples().head(); it != nullptr; it = r.samples().next(it)) {
        const auto* s = static_cast<const DSReader::HistorySampleCB*>(it);
        uint32_t x;
        std::memcpy(&x, s->sample->data, sizeof x);
        v.push_back(x);
    }
    return v;
}

vexa::dds::KeyHash_t acceptorKey(const uint32_t prefix[3], uint32_t entity) {
    vexa::dds::KeyHash_t k;
    std::memcpy(k.hash, prefix, 12);
    std::memcpy(k.hash + 12, &entity, 4);
    return k;
}

std::vector<uint32_t> payloads(const std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& v) {
    std::vector<uint32_t> out;
    for (const auto& h : v) {
        uint32_t x;
        std::memcpy(&x, h->data, sizeof x);
        out.push_back(x);
    }
    return out;
}

TEST(DSReader, LimitsFollowTheServiceLimitAndTheDurabilityServicePolicy) {
    struct Case {
        int limit, kind, depth, maxS, maxI, maxSpi;
        int32_t wantS, wantI, wantSpi, wantDepth;
    };
    const Case cases[] = {
        {1024, 1, 1, -1, -1, -1, 1024, 1024, 1024, 1024},  // KEEP_ALL keeps per-instance max
        {1024, 0, 1, -1, -1, -1, 1024, 1024, 1024, 1},     // KEEP_LAST 1
        {1024, 0, 5000, -1, -1, -1, 1024, 1024, 1024, 1024},
        {1024, 0, 3, 100, 10, 20, 100, 10, 20, 3},
        {100, 1, 1, 500, 500, 500, 100, 100, 100, 100},  // never above the service's limit
        {100, 0, 0, 0, 0, 0, 100, 100, 100, 100},        // 0 is no limit
    };
    for (const Case& c : cases) {
        FakeHost host;
        host.limit = c.limit;
        DSReader r(host, topic(c.kind, c.depth, c.maxS, c.maxI, c.maxSpi), 0x08010001);
        EXPECT_EQ(r.maxSamples(), c.wantS) << c.limit << " " << c.maxS;
        EXPECT_EQ(r.maxInstances(), c.wantI) << c.maxI;
        EXPECT_EQ(r.maxSamplesPerInstance(), c.wantSpi) << c.maxSpi;
        EXPECT_EQ(r.depth(), c.wantDepth) << c.depth;
    }
}

TEST(DSReader, KeepLastOneKeepsTheNewestSampleOfEachInstance) {
    FakeHost host;
    DSReader r(host, topic(vexa::dds::KEEP_LAST_HISTORY_QOS, 1, -1, -1, -1), 1);
    for (uint32_t n = 1; n <= 9; ++n) {
        EXPECT_EQ(feed(r, uint8_t(1 + n % 3), n), DSReader::SAMPLE_STORED);
    }
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{7, 8, 9}));
    EXPECT_EQ(r.instanceCount(), 3u);
    EXPECT_EQ(r.checkInvariants(), "");
}

TEST(DSReader, AFullStoreEvictsTheOldestSampleOfAnInstanceWithSeveral) {
    FakeHost host;
    DSReader r(host, topic(vexa::dds::KEEP_ALL_HISTORY_QOS, 1, 4, -1, -1), 1);
    feed(r, 2, 1);  // the lone sample of instance 2 is older than instance 1's
    feed(r, 1, 2);
    feed(r, 1, 3);
    feed(r, 1, 4);
    feed(r, 3, 5);
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{1, 3, 4, 5}));
    EXPECT_EQ(r.checkInvariants(), "");
}

// The store drops acknowledged samples once full: the first drop of a topic says so where the
// default log level shows it, with the topic and the limit, and later drops say nothing more.
TEST(DSReader, TheFirstDropForTheLimitIsLoggedOncePerTopic) {
    LogCapture capture;
    vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
    vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_WARNING);
    FakeHost host;
    host.limit = 3;
    auto t = keepAll();
    t.name = "FullStoreTopic";
    DSReader r(host, t, 1);
    const std::string line = "Хранилище темы FullStoreTopic заполнено (3 образцов)";
    for (uint32_t n = 1; n <= 3; ++n) {
        feed(r, 1, n);
    }
    EXPECT_EQ(LogCapture::count(line), 0u) << "logged before anything was dropped";
    for (uint32_t n = 4; n <= 8; ++n) {
        feed(r, 1, n);
    }
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{6, 7, 8}));
    EXPECT_EQ(LogCapture::count(line), 1u) << LogCapture::text();
}

// A sample that is then dropped must not have evicted anything.
TEST(DSReader, ADroppedSampleEvictsNothing) {
    FakeHost host;
    auto t = topic(vexa::dds::KEEP_ALL_HISTORY_QOS, 1, 2, 1, -1);
    DSReader r(host, t, 1);
    // A writer whose deadline the topic cannot meet: known but unusable.
    auto bad = publication(t);
    bad.deadline.period = {1, 0};
    t.deadline.period = {0, 500};
    DSReader timed(host, t, 2);
    ASSERT_TRUE(timed.discoverDW(nullptr, PREFIX_B, 0x202, bad));
    for (DSReader* reader : {&r, &timed}) {
        feed(*reader, 1, 1);
        feed(*reader, 1, 2);
    }
    // Instance limit 1: a second key is refused. The bad writer's sample is dropped.
    EXPECT_EQ(feed(r, 9, 3), DSReader::SAMPLE_DROPPED);
    EXPECT_EQ(feed(timed, 1, 3, PREFIX_B, 0x202), DSReader::SAMPLE_DROPPED);
    // Unregister-only changes state but stores nothing.
    EXPECT_EQ(feed(r, 1, 4, PREFIX_A, 0x102, RTPS::SAMPLE_UNREGISTERED),
              DSReader::SAMPLE_STATE_ONLY);
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(stored(timed), (std::vector<uint32_t>{1, 2}));
}

// A writer not discovered yet and one whose departure was handled before its last samples
// are both stored without a writer record: the engine acknowledged those samples, and a
// writer that leaves at once after its acknowledgement must not lose them.
TEST(DSReader, UnknownAndLostWritersSamplesAreStored) {
    FakeHost host;
    auto t = keepAll();
    host.pub = publication(t);
    host.lookups[0x302] = DSReaderHost::Lookup::Lost;
    host.lookups[0x402] = DSReaderHost::Lookup::Found;
    DSReader r(host, t, 1);
    EXPECT_EQ(feed(r, 1, 1, PREFIX_A, 0x102), DSReader::SAMPLE_STORED);  // not discovered yet
    EXPECT_EQ(feed(r, 1, 2, PREFIX_A, 0x302), DSReader::SAMPLE_STORED);  // gone already
    EXPECT_EQ(feed(r, 1, 3, PREFIX_A, 0x402), DSReader::SAMPLE_STORED);
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{1, 2, 3}));
    const auto* first = static_cast<const DSReader::HistorySampleCB*>(r.samples().head());
    EXPECT_EQ(first->writer, -1);
    ASSERT_EQ(r.writers().size(), 1u);
    EXPECT_EQ(r.writers()[0].flags, DSReader::DW_KNOWN | DSReader::DW_ALIVE);
    EXPECT_EQ(first->sample->statusFlags & DSReader::STORED_FLAG, DSReader::STORED_FLAG);
}

TEST(DSReader, ADeadlineMismatchIsHealedByAQosChange) {
    FakeHost host;
    auto t = keepAll();
    t.deadline.period = {1, 0};
    DSReader r(host, t, 1);
    auto p = publication(t);
    p.deadline.period = {2, 0};
    ASSERT_TRUE(r.discoverDW(nullptr, PREFIX_B, 0x202, p));
    EXPECT_FALSE(r.discoverDW(nullptr, PREFIX_B, 0x202, p));  // already known
    EXPECT_EQ(r.writers()[0].flags, 5u);
    EXPECT_FALSE(r.hasAliveWriters());
    vexa::dds::DeadlineQosPolicy ok;
    ok.period = {1, 0};
    r.changeDWQoS(PREFIX_B, 0x202, ok, p.latency_budget, p.lifespan, p.ownership_strength);
    EXPECT_EQ(r.writers()[0].flags, 3u);
    EXPECT_EQ(feed(r, 1, 1, PREFIX_B, 0x202), DSReader::SAMPLE_STORED);
    // A permanent mismatch stays.
    auto reliable = t;
    reliable.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    DSReader strict(host, reliable, 2);
    ASSERT_TRUE(strict.discoverDW(nullptr, PREFIX_B, 0x202, p));
    strict.changeDWQoS(PREFIX_B, 0x202, ok, p.latency_budget, p.lifespan, p.ownership_strength);
    EXPECT_EQ(strict.writers()[0].flags, 9u);
}

TEST(DSReader, EqualStrengthGoesToTheLargerGuid) {
    FakeHost host;
    auto t = keepAll();
    t.ownership.kind = vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;
    DSReader r(host, t, 1);
    auto p = publication(t);
    p.ownership_strength.value = 5;
    // Equal in bytes 0-7 and in the entity id (high half of bytes 8-15); the third prefix
    // word (the low half) decides.
    const uint32_t small[3] = {1, 2, 3};
    const uint32_t large[3] = {1, 2, 4};
    ASSERT_TRUE(r.discoverDW(nullptr, small, 0x100, p));
    ASSERT_TRUE(r.discoverDW(nullptr, large, 0x100, p));
    EXPECT_EQ(feed(r, 1, 1, small, 0x100), DSReader::SAMPLE_STORED);
    EXPECT_EQ(r.instances()[0].owner, 0);
    EXPECT_EQ(feed(r, 1, 2, large, 0x100), DSReader::SAMPLE_STORED);
    EXPECT_EQ(r.instances()[0].owner, 1);
    EXPECT_EQ(feed(r, 1, 3, small, 0x100), DSReader::SAMPLE_DROPPED);
    EXPECT_EQ(feed(r, 1, 4, large, 0x100), DSReader::SAMPLE_STORED);  // keeps it against itself
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{1, 2, 4}));
    // Strength beats the GUID.
    DSReader::RemoteDW a, b;
    a.strength = 6;
    a.guid = {0, 0, 0, 0};
    b.strength = 5;
    b.guid = {9, 9, 9, 9};
    EXPECT_TRUE(a.isStrongerThan(b));
    EXPECT_FALSE(b.isStrongerThan(a));
    // The entity id is the high half, so it outweighs the last prefix word.
    a.strength = b.strength = 0;
    a.guid = {1, 2, 9, 0x100};
    b.guid = {1, 2, 3, 0x200};
    EXPECT_TRUE(b.isStrongerThan(a));
    EXPECT_TRUE(a.isStrongerThan(a));
}

TEST(DSReader, DisposedAndUnregisteredInstancesGoAfterTheCleanupDelay) {
    const uint32_t gone = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;
    for (int delay : {0, 5}) {
        FakeHost host;
        auto t = keepAll();
        t.durability_service.service_cleanup_delay = {delay, 0};
        DSReader r(host, t, 1);
        feed(r, 1, 1);
        feed(r, 2, 2);
        feed(r, 1, 3, PREFIX_A, 0x102, gone);
        if (delay > 0) {
            EXPECT_EQ(stored(r), (std::vector<uint32_t>{1, 2, 3}));
            host.advance(delay - 1);
            r.removeOutdatedInstances();
            EXPECT_EQ(r.instanceCount(), 2u);
            host.advance(1);
            r.removeOutdatedInstances();
        }
        EXPECT_EQ(stored(r), (std::vector<uint32_t>{2})) << delay;
        EXPECT_EQ(r.instanceCount(), 1u);
        EXPECT_TRUE(r.instances()[0].removed());
        EXPECT_EQ(r.checkInvariants(), "");
        // A new sample revives it.
        feed(r, 1, 4);
        EXPECT_EQ(r.instanceCount(), 2u);
    }
}

TEST(DSReader, LifespanExpiresSamples) {
    FakeHost host;
    auto t = topic(vexa::dds::KEEP_ALL_HISTORY_QOS, 1, 3, -1, -1);
    t.lifespan.duration = {10, 0};
    DSReader r(host, t, 1);
    feed(r, 1, 1);
    host.advance(5);
    feed(r, 1, 2);
    feed(r, 2, 3);
    host.advance(6);
    // Full: the expired sample goes rather than the oldest of instance 1 with several.
    feed(r, 2, 4);
    EXPECT_EQ(stored(r), (std::vector<uint32_t>{2, 3, 4}));
    host.advance(5);
    auto key = acceptorKey(PREFIX_B, 0x7);
    r.addHistoryAcceptor(key);
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> out;
    bool finished = false;
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, key, out, finished));
    EXPECT_EQ(payloads(out), (std::vector<uint32_t>{4}));  // the walk purges first
    EXPECT_EQ(r.checkInvariants(), "");
}

TEST(DSReader, ALateReaderGetsHistoryThenOneEmptyBatchAndIsForgotten) {
    FakeHost host;
    auto t = keepAll();
    DSReader r(host, t, 1);
    feed(r, 1, 1, PREFIX_A);
    feed(r, 2, 2, PREFIX_B);  // the late reader's own participant
    feed(r, 1, 3, PREFIX_A);
    const auto key = acceptorKey(PREFIX_B, 0x7);
    r.addHistoryAcceptor(key);
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> out;
    bool finished = true;
    vexa::dds::KeyHash_t got;
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_EQ(got, key);
    EXPECT_EQ(payloads(out), (std::vector<uint32_t>{1, 3}));
    EXPECT_FALSE(finished);
    EXPECT_FALSE(r.fillHistoryAcceptorSamples(true, got, out, finished));
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(finished);
    EXPECT_EQ(r.acceptorCount(), 0u);
    EXPECT_FALSE(r.fillHistoryAcceptorSamples(false, got, out, finished));
}

TEST(DSReader, AnUpToDateAcceptorWaitsForNewSamplesWhileAForeignWriterLives) {
    FakeHost host;
    auto t = keepAll();
    DSReader r(host, t, 1);
    ASSERT_TRUE(r.discoverDW(nullptr, PREFIX_A, 0x102, publication(t)));
    feed(r, 1, 1);
    const auto key = acceptorKey(PREFIX_B, 0x7);
    r.addHistoryAcceptor(key);
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> out;
    bool finished;
    vexa::dds::KeyHash_t got;
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_EQ(payloads(out), (std::vector<uint32_t>{1}));
    // Nothing new: no call at all.
    EXPECT_FALSE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    feed(r, 1, 2);
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_EQ(payloads(out), (std::vector<uint32_t>{2}));
    r.looseDW(PREFIX_A, 0x102);
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_TRUE(finished);
}

// Evicting the sample an acceptor points at moves its cursor on, never off the list.
TEST(DSReader, CursorsFollowEvictionAndCompaction) {
    FakeHost host;
    auto t = topic(vexa::dds::KEEP_LAST_HISTORY_QOS, 1, -1, -1, -1);
    t.durability_service.service_cleanup_delay = {0, 0};
    DSReader r(host, t, 1);
    feed(r, 200, 1);
    const auto key = acceptorKey(PREFIX_B, 0x7);
    r.addHistoryAcceptor(key);
    const uint32_t gone = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;
    // 150 instances, all but the last removed at once: compaction is due.
    for (uint32_t n = 0; n < 150; ++n) {
        feed(r, uint8_t(n), 100 + n);
        if (n < 149) {
            feed(r, uint8_t(n), 1000 + n, PREFIX_A, 0x102, gone);
        }
        ASSERT_EQ(r.checkInvariants(), "") << n;
    }
    ASSERT_EQ(r.instances().size(), 151u);
    r.collectGarbage();
    EXPECT_EQ(r.instances().size(), 2u);
    EXPECT_EQ(r.checkInvariants(), "");
    const DSReader::HistorySampleCB* cursor = nullptr;
    ASSERT_TRUE(r.acceptorCursor(key, cursor));
    EXPECT_EQ(cursor, r.samples().head());
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> out;
    bool finished;
    vexa::dds::KeyHash_t got;
    ASSERT_TRUE(r.fillHistoryAcceptorSamples(false, got, out, finished));
    EXPECT_EQ(payloads(out), (std::vector<uint32_t>{1, 249}));
    feed(r, 149, 7);  // still found through the rebuilt key index
    EXPECT_EQ(r.instances().size(), 2u);
}

}  // namespace

namespace {

TEST(DSReader, AWriterPastItsLeaseIsNotAliveUntilItIsHeardAgain) {
    FakeHost host;
    auto t = keepAll();
    t.liveliness.lease_duration = {2, 0};
    DSReader r(host, t, 1);
    auto p = publication(t);
    p.liveliness.lease_duration = {1, 0};
    ASSERT_TRUE(r.discoverDW(nullptr, PREFIX_A, 0x102, p));
    feed(r, 1, 1, PREFIX_A, 0x102, RTPS::SAMPLE_ALIVE, 7);
    EXPECT_EQ(r.instances()[0].writerCount, 1u);
    host.advance(3);
    r.checkLiveliness();
    EXPECT_EQ(r.writers()[0].flags, DSReader::DW_KNOWN);
    EXPECT_EQ(r.instances()[0].writerCount, 0u);
    EXPECT_FALSE(r.hasAliveWriters());
    // An AUTOMATIC writer is renewed by the participant-level assertion as well.
    r.assertLiveliness(PREFIX_A, 0x102, host.clock, false);
    EXPECT_EQ(r.writers()[0].flags, 3u);
    EXPECT_EQ(r.instances()[0].writerCount, 1u);
}

}  // namespace
