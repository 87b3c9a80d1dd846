#include "ds/service/DSSubscriber.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/os/OsTime.h"
#include "common/res/ResourceManager.h"
#include "ds/FakeDomainEngine.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DurabilityService.h"
#include "ds/FakeDiscovery.h"
#include "ds/service/DSTopic.h"
#include "rtps/history/EndpointConfig.h"
#include "rtps/reader/Reader.h"

namespace {

using vexa::dds::KeyHash_t;
using vexa::ds::DSReader;
using vexa::ds::DSReaderHost;
using vexa::ds::DSSubscriber;

// One change as the engine keeps it; its SampleInfo is the handle the engine announces.
struct Change {
    RTPS::SampleInfo si{};
    uint32_t prefix[3] = {};
    uint32_t entityId = 0;
    uint32_t payload = 0;
};

Change makeChange(const uint32_t prefix[3], uint32_t entityId, uint8_t key, uint32_t payload) {
    Change c;
    std::memcpy(c.prefix, prefix, sizeof c.prefix);
    c.entityId = entityId;
    c.payload = payload;
    c.si.keyHash[0] = key;
    c.si.statusFlags = RTPS::SAMPLE_ALIVE;
    c.si.sourceTimestamp = {1, 0};
    c.si.length = sizeof c.payload;
    c.si.sequenceNumber = {0, payload};
    return c;
}

// A user reader of the engine: the changes it announced and has not deleted.
class FakeUserReader : public RTPS::Reader {
public:
    void announce(Change& c) {
        c.si.data = &c.payload;
        std::lock_guard<std::mutex> guard(m_mutex);
        m_live.insert(&c.si);
    }
    bool isLive(const Change& c) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_live.count(const_cast<RTPS::SampleInfo*>(&c.si)) != 0;
    }
    size_t liveCount() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_live.size();
    }
    std::atomic<size_t> reads{0};
    std::atomic<bool> refuseGet{false};
    std::atomic<bool> refuseDelete{false};

    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++reads;
        if (refuseGet.load() || m_live.count(handle) == 0)
            throw RTPS::GENERAL_DDSI_ERROR("unknown change");
        const auto* c = reinterpret_cast<const Change*>(handle);
        sample = c->si;
        std::memcpy(*prefix, c->prefix, sizeof c->prefix);
        *entityId = c->entityId;
        return 1;
    }
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo* handle) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (refuseDelete.load() || m_live.erase(handle) == 0)
            throw RTPS::GENERAL_DDSI_ERROR("unknown change");
        return 1;
    }
    bool waitForHistoricalData(vexa::dds::Duration_t) override { return true; }
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void dsvcDataRecipient(int, unsigned long, void*, unsigned int) override {}
    void close() override {}

private:
    std::mutex m_mutex;
    std::set<RTPS::SampleInfo*> m_live;
};

// The served domain's engine participant: the readers the service added and the history it
// handed over.
class FakeEngine : public vexatest::FakeDiscoveryParticipant {
public:
    struct Added {
        std::string topic;
        RTPS::TOPIC_KIND kind;
        int samples;
        void* userData;
        vexa::dds::BuiltinTopicKey_t participantKey;
    };
    struct Batch {
        uint32_t prefix[3];
        uint32_t entityId;
        std::vector<uint32_t> payloads;
    };

    explicit FakeEngine(vexatest::EngineLog& log) : FakeDiscoveryParticipant(log, 7) {}

    RTPS::Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND kind,
                            int samples, void* userData) override {
        added.push_back({data->topic_name, kind, samples, userData, data->participant_key});
        if (onAddReader)
            onAddReader();
        if (refuseReader)
            throw RTPS::BAD_PARAMETERS("reader refused");
        if (noReader)
            return nullptr;
        readers.push_back(std::make_unique<FakeUserReader>());
        return readers.back().get();
    }
    void historicalData(
        unsigned int const* prefix, unsigned int entityId,
        std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& samples) override {
        Batch b;
        std::memcpy(b.prefix, prefix, sizeof b.prefix);
        b.entityId = entityId;
        for (const auto& s : samples) {
            uint32_t v;
            std::memcpy(&v, s->data, sizeof v);
            b.payloads.push_back(v);
        }
        batches.push_back(b);
        if (onHistory)
            onHistory();
        if (refuseHistory)
            throw RTPS::GENERAL_DDSI_ERROR("client gone");
    }

    std::vector<Added> added;
    std::vector<Batch> batches;
    std::vector<std::unique_ptr<FakeUserReader>> readers;
    bool refuseReader = false;
    bool noReader = false;
    bool refuseHistory = false;
    std::function<void()> onAddReader;
    std::function<void()> onHistory;
};

const uint32_t PREFIX_A[3] = {0xA1, 0xA2, 0xA3};
const uint32_t PREFIX_B[3] = {0xB1, 0xB2, 0xB3};
const uint32_t PREFIX_C[3] = {0xC1, 0xC2, 0xC3};

vexa::dds::TopicQos keptQos(int maxSamples) {
    vexa::dds::TopicQos q;
    q.durability.kind = vexa::dds::TRANSIENT_DURABILITY_QOS;
    q.durability_service.history_kind = vexa::dds::KEEP_ALL_HISTORY_QOS;
    q.durability_service.max_samples = maxSamples;
    q.durability_service.max_instances = -1;
    q.durability_service.max_samples_per_instance = -1;
    return q;
}

KeyHash_t readerKey(const uint32_t prefix[3], uint32_t entityId) {
    KeyHash_t k;
    std::memcpy(k.hash, prefix, 12);
    std::memcpy(k.hash + 12, &entityId, 4);
    return k;
}

// Stored payloads, oldest first.
std::vector<uint32_t> stored(const DSReader& r) {
    std::vector<uint32_t> v;
    for (auto* it = r.samples().head(); it != nullptr; it = r.samples().next(it)) {
        uint32_t x;
        std::memcpy(&x, static_cast<const DSReader::HistorySampleCB*>(it)->sample->data, sizeof x);
        v.push_back(x);
    }
    return v;
}

// One served domain built as addDomain builds it, on a fake engine with built-in readers; the
// test plays the engine's threads and the data thread.
class SubscriberTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res") % 6, 0u);
        const auto engine = vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); });
        service = std::make_unique<vexa::ds::DurabilityService>(engine);
        domain = std::make_unique<vexa::ds::DSDomainParticipant>(*service, 7, engine);
        std::lock_guard<std::recursive_mutex> guard(domain->lock());
        domain->participantData().key = {{0xAAAA0001, 2, 3}};
        fake = new FakeEngine(log);
        domain->setRTPS(fake);  // the domain owns both
        auto owned = std::make_unique<DSSubscriber>(*domain);
        sub = owned.get();
        domain->setSubscriber(std::move(owned));
        domain->setBuilt();
    }
    void TearDown() override {
        domain.reset();
        service.reset();
    }

    const vexa::ds::DSTopic& keptTopic(const std::string& name, int maxSamples = -1,
                                       bool hasKey = true) {
        topics.push_back(std::make_unique<vexa::ds::DSTopic>(domain.get(), name + "::Type", name, 0,
                                                             keptQos(maxSamples), hasKey));
        return *topics.back();
    }
    FakeUserReader& engineReaderOf(const DSReader* r) {
        return *static_cast<FakeUserReader*>(r->rtpsReader());
    }
    // The engine announces a stored reader's change.
    bool deliver(DSReader* r, Change& c) {
        engineReaderOf(r).announce(c);
        return domain->comm().changeAvailable(r->rtpsReader(), r, &c.si);
    }
    // A peer's publication record on the built-in reader.
    void addKnownWriter(uint32_t entityId, const uint32_t prefix[3], const std::string& topic) {
        std::lock_guard<std::mutex> guard(recordsMutex);
        publications.push_back(vexatest::publicationRecord(topic));
        auto& p = publications.back();
        RTPS::SampleInfo* h =
            fake->publications.add(prefix, entityId, RTPS::SAMPLE_ALIVE, &p, sizeof p);
        domain->comm().changeAvailable(&fake->publications, nullptr, h);
    }
    // The reader that the bookkeeping says stores the writer's samples.
    const DSReader* storingReader(const uint32_t prefix[3], uint32_t entityId) {
        std::lock_guard<std::recursive_mutex> guard(domain->lock());
        const auto* dp = domain->builtinSubscriber()->findParticipant(prefix);
        if (dp == nullptr || dp->writers.count(entityId) == 0)
            return nullptr;
        return dp->writers.at(entityId).reader;
    }

    vexatest::EngineLog log;
    std::unique_ptr<vexa::ds::DurabilityService> service;
    std::unique_ptr<vexa::ds::DSDomainParticipant> domain;
    FakeEngine* fake = nullptr;
    DSSubscriber* sub = nullptr;
    std::deque<std::unique_ptr<vexa::ds::DSTopic>> topics;
    std::mutex recordsMutex;
    std::deque<vexa::dds::PublicationBuiltinTopicData> publications;
};

TEST_F(SubscriberTest, CreateDRRegistersOneReaderPerTopic) {
    DSReader* keyed = sub->createDR(keptTopic("Track"));
    DSReader* keyless = sub->createDR(keptTopic("Status", -1, false));
    ASSERT_NE(keyed, nullptr);
    ASSERT_NE(keyless, nullptr);
    EXPECT_EQ(keyed->getId(), DSSubscriber::FIRST_READER_ID);
    EXPECT_EQ(keyless->getId(), DSSubscriber::FIRST_READER_ID + 1);

    // The same topic again is the same reader, not a second registration.
    EXPECT_EQ(sub->createDR(keptTopic("Track")), keyed);
    ASSERT_EQ(fake->added.size(), 2u);
    EXPECT_EQ(fake->added[0].topic, "Track");
    EXPECT_EQ(fake->added[0].kind, RTPS::TOPIC_KIND_WITH_KEY);
    EXPECT_EQ(fake->added[1].kind, RTPS::TOPIC_KIND_NO_KEY);
    EXPECT_EQ(fake->added[0].userData, keyed);
    EXPECT_EQ(fake->added[0].samples, keyed->maxSamples());
    EXPECT_EQ(fake->added[0].participantKey, domain->participantData().key);
    EXPECT_EQ(keyed->rtpsReader(), fake->readers[0].get());
    EXPECT_EQ(sub->getReader(keyed->getId()), keyed);
}

TEST_F(SubscriberTest, ReaderIdsEndAtTheDomainLimit) {
    for (uint32_t i = 0; i < DSSubscriber::MAX_READERS; ++i)
        ASSERT_NE(sub->createDR(keptTopic("T" + std::to_string(i))), nullptr) << i;
    EXPECT_EQ(sub->createDR(keptTopic("OneTooMany")), nullptr);
    EXPECT_EQ(fake->added.size(), size_t(DSSubscriber::MAX_READERS));
    EXPECT_NE(sub->getReader(DSSubscriber::FIRST_READER_ID + DSSubscriber::MAX_READERS - 1),
              nullptr);
}

// A refused reader leaves no pointer to itself in the discovery bookkeeping (it is deleted).
TEST_F(SubscriberTest, RefusedReaderLeavesNoStoringPointer) {
    struct Case {
        const char* name;
        bool refuse;
        bool noReader;
    };
    const Case cases[] = {{"engine throws", true, false}, {"engine gives no reader", false, true}};
    uint32_t nextId = DSSubscriber::FIRST_READER_ID;
    for (const Case& c : cases) {
        const auto& topic = keptTopic(std::string("Track ") + c.name);
        const uint32_t writer = 0x102 + 0x100 * uint32_t(nextId - DSSubscriber::FIRST_READER_ID);
        addKnownWriter(writer, PREFIX_A, topic.name());
        fake->refuseReader = c.refuse;
        fake->noReader = c.noReader;
        const size_t calls = fake->added.size();
        EXPECT_EQ(sub->createDR(topic), nullptr) << c.name;
        EXPECT_EQ(fake->added.size(), calls + 1) << c.name;
        EXPECT_EQ(storingReader(PREFIX_A, writer), nullptr) << c.name;
        EXPECT_EQ(sub->getReader(nextId), nullptr) << c.name;

        // The topic is not served; a later attempt that the engine accepts makes a new reader.
        fake->refuseReader = false;
        fake->noReader = false;
        DSReader* r = sub->createDR(topic);
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_EQ(r->getId(), nextId + 1) << c.name;
        EXPECT_EQ(storingReader(PREFIX_A, writer), r) << c.name;
        nextId += 2;
    }
}

// Whatever the engine answers, an entry leaves the queue once and the count of queued entries
// returns to 0, so the data thread can sleep again; a change the engine would not give stays
// the engine's.
TEST_F(SubscriberTest, EngineRefusalsStillEmptyTheQueue) {
    struct Case {
        const char* name;
        bool refuseGet, refuseDelete;
        bool wantStored, wantLive;
    };
    const Case cases[] = {
        {"read and deleted", false, false, true, false},
        {"read fails", true, false, false, true},
        {"delete fails", false, true, true, true},
    };
    uint32_t n = 0;
    for (const Case& c : cases) {
        DSReader* r = sub->createDR(keptTopic(std::string("T ") + c.name));
        ASSERT_NE(r, nullptr);
        FakeUserReader& er = engineReaderOf(r);
        er.refuseGet = c.refuseGet;
        er.refuseDelete = c.refuseDelete;
        Change ch = makeChange(PREFIX_A, 0x102, 1, ++n);
        ASSERT_TRUE(deliver(r, ch));
        EXPECT_EQ(domain->comm().pending(), 1) << c.name;
        sub->ddsicashHandler();
        EXPECT_EQ(domain->comm().pending(), 0) << c.name;
        EXPECT_EQ(r->totalSamples(), c.wantStored ? 1u : 0u) << c.name;
        EXPECT_EQ(er.isLive(ch), c.wantLive) << c.name;
        // Nothing is handled twice.
        sub->ddsicashHandler();
        EXPECT_EQ(r->totalSamples(), c.wantStored ? 1u : 0u) << c.name;
        EXPECT_EQ(domain->comm().pending(), 0) << c.name;
    }
}

// Engine threads append while the data thread swaps and stores: every change is read and
// deleted once, and what the store keeps of each writer is in that writer's order.
TEST_F(SubscriberTest, SwapBufferLosesNothingUnderConcurrentProducers) {
    constexpr int WRITERS = 4;
    constexpr int PER_WRITER = 20000;
    DSReader* r = sub->createDR(keptTopic("Track"));
    ASSERT_NE(r, nullptr);

    std::vector<std::deque<Change>> changes(WRITERS);
    for (int w = 0; w < WRITERS; ++w) {
        const uint32_t prefix[3] = {0x100u + w, 1, 2};
        for (int i = 0; i < PER_WRITER; ++i)
            changes[w].push_back(makeChange(prefix, 0x102, uint8_t(w), (uint32_t(w) << 16) | i));
    }
    std::atomic<int> producing{WRITERS};
    std::vector<std::thread> producers;
    for (int w = 0; w < WRITERS; ++w) {
        producers.emplace_back([&, w] {
            for (Change& c : changes[w])
                EXPECT_TRUE(deliver(r, c));
            producing.fetch_sub(1);
        });
    }
    std::thread dataThread([&] {
        while (producing.load() > 0 || domain->comm().pending() > 0)
            sub->ddsicashHandler();
    });
    for (auto& t : producers)
        t.join();
    dataThread.join();

    EXPECT_EQ(engineReaderOf(r).liveCount(), 0u);
    EXPECT_EQ(engineReaderOf(r).reads.load(), size_t(WRITERS * PER_WRITER));
    EXPECT_EQ(domain->comm().pending(), 0);
    EXPECT_EQ(r->checkInvariants(), "");
    const auto kept = stored(*r);
    EXPECT_EQ(kept.size(), size_t(r->maxSamples()));
    std::vector<int64_t> last(WRITERS, -1);
    for (uint32_t v : kept) {
        const uint32_t w = v >> 16;
        ASSERT_LT(w, uint32_t(WRITERS));
        EXPECT_GT(int64_t(v & 0xFFFF), last[w]) << "writer " << w;
        last[w] = v & 0xFFFF;
    }
}

// Once the domain's input stops, nothing is queued and nothing queued is stored any more; the
// queued changes stay the engine's and the subscriber goes without touching them.
TEST_F(SubscriberTest, StopWhileSamplesArrive) {
    DSReader* r = sub->createDR(keptTopic("Track"));
    ASSERT_NE(r, nullptr);
    constexpr int PRODUCERS = 3;
    std::vector<std::deque<Change>> changes(PRODUCERS);
    std::atomic<bool> dataRunning{true};
    std::atomic<int> refused{0};
    std::vector<std::thread> producers;
    for (int p = 0; p < PRODUCERS; ++p) {
        producers.emplace_back([&, p] {
            const uint32_t prefix[3] = {0x200u + p, 1, 2};
            // Until input has stopped, and a while on either side of the stop.
            for (uint32_t i = 0; refused.load() == 0 || i < 2000; ++i) {
                changes[p].push_back(makeChange(prefix, 0x102, uint8_t(p), i));
                if (!deliver(r, changes[p].back()))
                    refused.fetch_add(1);
            }
        });
    }
    std::atomic<bool> storing{false};
    std::thread dataThread([&] {
        while (dataRunning.load()) {
            sub->ddsicashHandler();
            // The data thread alone changes the store here.
            if (r->totalSamples() > 0)
                storing.store(true);
        }
    });
    while (!storing.load())
        std::this_thread::yield();
    dataRunning.store(false);
    dataThread.join();
    // One change known to wait in the queue when input stops.
    Change last = makeChange(PREFIX_C, 0x102, 9, 0xFFFF);
    ASSERT_TRUE(deliver(r, last));
    domain->comm().stopHandlingInput();
    for (auto& t : producers)
        t.join();
    EXPECT_GT(refused.load(), 0);

    const uint32_t before = r->totalSamples();
    sub->ddsicashHandler();
    EXPECT_EQ(r->totalSamples(), before);
    EXPECT_TRUE(engineReaderOf(r).isLive(last));
    EXPECT_FALSE(sub->ddsisampleHandler(r, &last.si));
    domain.reset();  // with changes still queued
}

// Replay: oldest first, within what the store kept, without the late reader's own
// participant's samples, and one final empty batch before the acceptor is reported finished.
TEST_F(SubscriberTest, SendHistoryReplaysOldestFirstAndEndsWithAnEmptyBatch) {
    DSReader* r = sub->createDR(keptTopic("Track", 4));
    ASSERT_NE(r, nullptr);
    std::deque<Change> changes;
    for (uint32_t i = 1; i <= 5; ++i)
        changes.push_back(makeChange(PREFIX_A, 0x102, 1, i));
    changes.push_back(makeChange(PREFIX_B, 0x302, 1, 100));
    for (Change& c : changes)
        ASSERT_TRUE(deliver(r, c));
    sub->ddsicashHandler();
    ASSERT_EQ(stored(*r), (std::vector<uint32_t>{3, 4, 5, 100}));

    const KeyHash_t fromB = readerKey(PREFIX_B, 0x407);
    const KeyHash_t fromC = readerKey(PREFIX_C, 0x407);
    sub->addHistoryAcceptor(r, fromC);
    sub->addHistoryAcceptor(r, fromB);

    std::vector<KeyHash_t> finished;
    sub->sendHistory(finished);
    EXPECT_TRUE(finished.empty());
    std::map<uint32_t, std::vector<uint32_t>> byReader;  // first prefix word -> payloads
    for (const auto& b : fake->batches) {
        EXPECT_EQ(b.entityId, 0x407u);
        byReader[b.prefix[0]] = b.payloads;
    }
    EXPECT_EQ(fake->batches.size(), 2u);
    EXPECT_EQ(byReader[PREFIX_B[0]], (std::vector<uint32_t>{3, 4, 5}));
    EXPECT_EQ(byReader[PREFIX_C[0]], (std::vector<uint32_t>{3, 4, 5, 100}));

    // No writer alive: each gets one empty batch and is reported, even when the engine throws.
    fake->batches.clear();
    fake->refuseHistory = true;
    sub->sendHistory(finished);
    ASSERT_EQ(fake->batches.size(), 2u);
    EXPECT_TRUE(fake->batches[0].payloads.empty());
    EXPECT_TRUE(fake->batches[1].payloads.empty());
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_TRUE((finished[0] == fromB && finished[1] == fromC) ||
                (finished[0] == fromC && finished[1] == fromB));

    fake->batches.clear();
    finished.clear();
    sub->sendHistory(finished);
    EXPECT_TRUE(fake->batches.empty());
    EXPECT_TRUE(finished.empty());
}

// An acceptor that has everything while a foreign writer lives waits without calls; once the
// writer is lost it gets the last, empty, batch.
TEST_F(SubscriberTest, AcceptorWaitsUncalledWhileAForeignWriterLives) {
    addKnownWriter(0x102, PREFIX_A, "Track");
    DSReader* r = sub->createDR(keptTopic("Track"));
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(sub->hasHistoryWriters(r));
    Change first = makeChange(PREFIX_A, 0x102, 1, 1);
    ASSERT_TRUE(deliver(r, first));
    sub->ddsicashHandler();

    const KeyHash_t late = readerKey(PREFIX_C, 0x407);
    sub->addHistoryAcceptor(r, late);
    std::vector<KeyHash_t> finished;
    sub->sendHistory(finished);
    ASSERT_EQ(fake->batches.size(), 1u);
    EXPECT_EQ(fake->batches[0].payloads, (std::vector<uint32_t>{1}));

    // Nothing new: no call. A new sample: a batch of just that one.
    sub->sendHistory(finished);
    EXPECT_EQ(fake->batches.size(), 1u);
    Change second = makeChange(PREFIX_A, 0x102, 1, 2);
    ASSERT_TRUE(deliver(r, second));
    sub->ddsicashHandler();
    sub->sendHistory(finished);
    ASSERT_EQ(fake->batches.size(), 2u);
    EXPECT_EQ(fake->batches[1].payloads, (std::vector<uint32_t>{2}));
    EXPECT_TRUE(finished.empty());

    sub->looseDW(r, PREFIX_A, 0x102);
    sub->sendHistory(finished);
    ASSERT_EQ(fake->batches.size(), 3u);
    EXPECT_TRUE(fake->batches[2].payloads.empty());
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0], late);
}

// A reader of another domain is not this subscriber's: per-reader operations leave it alone.
TEST_F(SubscriberTest, PerReaderOperationsIgnoreAForeignReader) {
    DSSubscriber other(*domain);
    DSReader* mine = sub->createDR(keptTopic("Track"));
    DSReader* foreign = other.createDR(keptTopic("Track"));
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(foreign, nullptr);
    ASSERT_EQ(mine->getId(), foreign->getId());
    const KeyHash_t key = readerKey(PREFIX_C, 0x407);
    sub->addHistoryAcceptor(foreign, key);
    EXPECT_EQ(foreign->acceptorCount(), 0u);
    sub->addHistoryAcceptor(mine, key);
    EXPECT_EQ(mine->acceptorCount(), 1u);
    sub->removeHistoryAcceptor(foreign, key);
    EXPECT_EQ(mine->acceptorCount(), 1u);
    sub->removeHistoryAcceptor(mine, key);
    EXPECT_EQ(mine->acceptorCount(), 0u);
}

// Runs one callback on its own thread, the way an engine thread calls in while the engine is
// inside a call the service made; reports whether it finished within the bound.
class CallbackThread {
public:
    CallbackThread() : m_thread([this] { loop(); }) {}
    ~CallbackThread() {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    bool runAndWait(std::function<void()> job) {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_job = std::move(job);
        m_done = false;
        m_wake.notify_all();
        return m_wake.wait_for(guard, std::chrono::seconds(10), [this] { return m_done; });
    }

private:
    void loop() {
        std::unique_lock<std::mutex> guard(m_mutex);
        for (;;) {
            m_wake.wait(guard, [this] { return m_stop || m_job; });
            if (m_stop)
                return;
            auto job = std::move(m_job);
            m_job = nullptr;
            guard.unlock();
            job();
            guard.lock();
            m_done = true;
            m_wake.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_job;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread;
};

// Engine threads queue samples, report liveliness, writers and late readers, while the data
// thread creates readers, stores and replays; inside addReader and historicalData the engine
// has a sample queued from another thread and waits for that call. Nothing may hang, and every
// store stays consistent.
TEST_F(SubscriberTest, StressEngineCallbacksAgainstTheDataThread) {
    constexpr int TOPICS = 12;
    constexpr int ENGINE_THREADS = 3;
    constexpr int ROUNDS = 3000;
    std::vector<const vexa::ds::DSTopic*> kept;
    std::vector<vexa::dds::PublicationBuiltinTopicData> offered;
    for (int t = 0; t < TOPICS; ++t) {
        kept.push_back(&keptTopic("Stress" + std::to_string(t), 200));
        addKnownWriter(0x1000 + t, PREFIX_A, kept.back()->name());
        offered.push_back(vexatest::publicationRecord(kept.back()->name()));
    }
    std::atomic<DSReader*> published[TOPICS] = {};
    std::atomic<int> created{0};

    CallbackThread inCall;
    std::atomic<bool> blocked{false};
    std::deque<Change> inCallChanges;  // touched by the callback thread only
    auto queueFromAnotherThread = [&] {
        const int n = created.load();
        if (n == 0 || blocked.load())
            return;
        DSReader* r = published[n - 1].load();
        inCallChanges.push_back(makeChange(PREFIX_B, 0x2002, 7, uint32_t(inCallChanges.size())));
        Change* c = &inCallChanges.back();
        if (!inCall.runAndWait([&, r, c] { deliver(r, *c); }))
            blocked.store(true);
    };
    fake->onAddReader = queueFromAnotherThread;
    fake->onHistory = queueFromAnotherThread;

    std::atomic<bool> engineRunning{true};
    // Each engine thread's changes outlive it: the drain after the join still reads them.
    std::vector<std::deque<Change>> engineChanges(ENGINE_THREADS);
    std::vector<std::thread> engine;
    for (int e = 0; e < ENGINE_THREADS; ++e) {
        engine.emplace_back([&, e] {
            std::deque<Change>& changes = engineChanges[size_t(e)];
            const uint32_t prefix[3] = {0x300u + e, 1, 2};
            for (uint32_t i = 0; engineRunning.load(); ++i) {
                const int n = created.load();
                if (n == 0) {
                    std::this_thread::yield();
                    continue;
                }
                const int t = int(i % uint32_t(n));
                DSReader* r = published[t].load();
                changes.push_back(makeChange(prefix, 0x102, uint8_t(i % 5), i));
                deliver(r, changes.back());
                sub->assertLiveliness(r, PREFIX_A, 0x1000 + t);
                sub->assertLiveliness(r, prefix, 0x102, sub->now(), e % 2 == 0);
                const KeyHash_t late = readerKey(prefix, 0x4000 + i % 7);
                switch (i % 6) {
                    case 0:
                        if (sub->hasHistoryWriters(r))
                            sub->addHistoryAcceptor(r, late);
                        break;
                    case 1:
                        sub->removeHistoryAcceptor(r, late);
                        break;
                    case 2:
                        sub->discoverDW(nullptr, prefix, 0x5000 + i % 3, offered[t]);
                        break;
                    case 3:
                        sub->looseDW(r, prefix, 0x5000 + i % 3);
                        break;
                    default:
                        break;
                }
            }
        });
    }

    std::vector<KeyHash_t> finished;
    for (int round = 0; round < ROUNDS; ++round) {
        const int n = created.load();
        if (n < TOPICS && round % 50 == 0) {
            DSReader* r = sub->createDR(*kept[n]);
            if (r == nullptr) {
                ADD_FAILURE() << kept[n]->name();
                break;
            }
            published[n].store(r);
            created.store(n + 1);
        }
        sub->ddsicashHandler();
        sub->sendHistory(finished);
        finished.clear();
        if (round % 10 == 0) {
            domain->clock().advance(100000);
            sub->periodicStatusCheck();
        }
        if (round % 500 == 0)
            sub->collectGarbage();
    }
    engineRunning.store(false);
    for (auto& t : engine)
        t.join();
    while (domain->comm().pending() > 0)
        sub->ddsicashHandler();

    EXPECT_FALSE(blocked.load()) << "a sample queued during an engine call waited for the call";
    for (int t = 0; t < TOPICS; ++t) {
        DSReader* r = published[t].load();
        ASSERT_NE(r, nullptr);
        std::lock_guard<std::recursive_mutex> guard(sub->lock());
        EXPECT_EQ(r->checkInvariants(), "") << r->topicName();
        EXPECT_EQ(engineReaderOf(r).liveCount(), 0u) << r->topicName();
    }
    domain->comm().stopHandlingInput();
}

}  // namespace
