#pragma once

// A served domain on a fake engine that has built-in readers: tests and the intake fuzz target
// hand it discovery records and samples as a peer would, and see what the domain did.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ds/FakeDomainEngine.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DSSubscriber.h"
#include "ds/service/DSSubscriberBuiltin.h"
#include "ds/service/DSTopic.h"
#include "ds/service/DomainSubscriber.h"
#include "ds/service/DurabilityService.h"
#include "ds/store/DSReader.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/reader/Reader.h"

namespace vexatest {

// An engine reader whose changes the test puts in; getChange fails for a change it does not
// hold, as the engine's does.
class FakeBuiltinReader : public RTPS::Reader {
public:
    struct Change {
        RTPS::SampleInfo info{};
        uint32_t prefix[3] = {0, 0, 0};
        uint32_t entityId = 0;
        bool gone = false;  // let go of by the engine; its handle stays readable memory
    };

    // A new change; the returned handle names it until it is deleted.
    RTPS::SampleInfo* add(const uint32_t prefix[3], uint32_t entityId, uint32_t flags, void* data,
                          uint64_t length) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_changes.emplace_back();
        Change& c = m_changes.back();
        c.info.statusFlags = flags;
        c.info.data = data;
        c.info.length = length;
        c.info.sequenceNumber.low = ++m_sequence;
        for (int i = 0; i < 3; ++i)
            c.prefix[i] = prefix[i];
        c.entityId = entityId;
        return &c.info;
    }
    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*prefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        const Change& c = find(handle);
        sample = c.info;
        for (int i = 0; i < 3; ++i)
            (*prefix)[i] = c.prefix[i];
        *entityId = c.entityId;
        return 1;
    }
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo* handle) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (auto it = m_changes.begin(); it != m_changes.end(); ++it) {
            if (&it->info == handle && !it->gone) {
                m_changes.erase(it);
                return 1;
            }
        }
        throw RTPS::GENERAL_DDSI_ERROR("unknown change");
    }
    bool waitForHistoricalData(vexa::dds::Duration_t) override { return true; }
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void dsvcDataRecipient(int, unsigned long, void*, unsigned int) override {}
    void close() override {}

    size_t held() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        size_t n = 0;
        for (const Change& c : m_changes)
            n += c.gone ? 0 : 1;
        return n;
    }
    // The engine lets go of its oldest change, as when its own history made room: a handle
    // announced for it no longer reads, though it still points at valid memory.
    void dropOldest() {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (Change& c : m_changes) {
            if (!c.gone) {
                c.gone = true;
                return;
            }
        }
    }

private:
    const Change& find(RTPS::SampleInfo* handle) const {
        for (const Change& c : m_changes)
            if (&c.info == handle && !c.gone)
                return c;
        throw RTPS::GENERAL_DDSI_ERROR("unknown change");
    }

    mutable std::mutex m_mutex;
    std::list<Change> m_changes;
    uint32_t m_sequence = 0;
};

// The engine participant with the built-in readers and the DSVC server's output.
class FakeDiscoveryParticipant : public FakeDomainParticipant {
public:
    struct History {
        uint32_t prefix[3];
        uint32_t entityId;
        size_t samples;
    };

    FakeDiscoveryParticipant(EngineLog& log, unsigned domainId)
        : FakeDomainParticipant(log, domainId) {}

    RTPS::Reader* getDCPSParticipantReader() override { return &participants; }
    RTPS::Reader* getDCPSTopicReader() override { return &topics; }
    RTPS::Reader* getDCPSPublicationReader() override { return &publications; }
    RTPS::Reader* getDCPSSubscriptionReader() override { return &subscriptions; }
    void historicalData(unsigned int const* prefix, unsigned int entityId,
                        std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& s) override {
        std::lock_guard<std::mutex> guard(historyMutex);
        history.push_back({{prefix[0], prefix[1], prefix[2]}, entityId, s.size()});
    }
    // The engine readers of the real stored-reader set: changes are put in as for the
    // built-in ones.
    RTPS::Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int,
                            void*) override {
        userReaders.push_back(std::make_unique<FakeBuiltinReader>());
        return userReaders.back().get();
    }

    FakeBuiltinReader participants, topics, publications, subscriptions;
    std::vector<std::unique_ptr<FakeBuiltinReader>> userReaders;
    std::mutex historyMutex;
    std::vector<History> history;
};

// The stored-reader set with real stored readers, recording what the domain asked of it. Like
// the real one it takes its own lock in every call and keeps a sample input of its own.
class FakeSubscriber : public vexa::ds::DomainSubscriber, public vexa::ds::DSReaderHost {
public:
    using Guard = std::lock_guard<std::recursive_mutex>;

    explicit FakeSubscriber(vexa::ds::DSDomainParticipant& domain) : m_domain(domain) {}

    // DomainSubscriber
    void periodicStatusCheck() override {
        Guard guard(lock);
        ++statusChecks;
        for (auto& r : readers) {
            r->checkLiveliness();
            r->checkDeadline();
            r->removeOutdatedInstances();
        }
    }
    vexa::ds::DSReader* createDR(const vexa::ds::DSTopic& topic) override {
        Guard guard(lock);
        if (refuseReaders)
            return nullptr;
        readers.push_back(
            std::make_unique<vexa::ds::DSReader>(*this, topic.data(), nextReaderId++));
        vexa::ds::DSReader* reader = readers.back().get();
        m_domain.builtinSubscriber()->discoverDWforNewReader(reader, topic.name());
        readerMade.notify_all();
        return reader;
    }
    // Takes the queued entries off; the fake's readers have no engine reader, so every read
    // fails and the change stays with the engine.
    void ddsicashHandler() override {
        Guard guard(lock);
        ++cashRounds;
        {
            std::lock_guard<std::mutex> input(m_inputLock);
            m_work.swap(m_input);
        }
        for (const auto& [handle, reader] : m_work) {
            RTPS::SampleInfo si{};
            unsigned prefix[3];
            unsigned entityId = 0;
            if (m_domain.comm().readMsg(reader->rtpsReader(), handle, &prefix, &entityId, si)) {
                reader->ddsisampleHandler(si, prefix, entityId);
                m_domain.comm().deleteMsg(reader->rtpsReader(), handle);
            }
            m_domain.comm().entryDone();
        }
        m_work.clear();
    }
    // With `replay`, walks the acceptors as the real set does, without handing anything over.
    void sendHistory(std::vector<KeyHash>& finished) override {
        Guard guard(lock);
        for (const KeyHash& k : finishNext)
            finished.push_back(k);
        finishNext.clear();
        if (!replay)
            return;
        std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> samples;
        for (auto& r : readers) {
            bool next = false;
            bool done = false;
            KeyHash key;
            while (r->fillHistoryAcceptorSamples(next, key, samples, done)) {
                next = true;
                if (done)
                    finished.push_back(key);
                samples.clear();
            }
        }
    }
    void collectGarbage() override {
        Guard guard(lock);
        for (auto& r : readers)
            r->collectGarbage();
    }
    void addHistoryAcceptor(vexa::ds::DSReader* reader, const KeyHash& key) override {
        Guard guard(lock);
        reader->addHistoryAcceptor(key);
    }
    void removeHistoryAcceptor(vexa::ds::DSReader* reader, const KeyHash& key) override {
        Guard guard(lock);
        reader->removeHistoryAcceptor(key);
    }
    bool hasHistoryWriters(vexa::ds::DSReader* reader) override {
        Guard guard(lock);
        return reader->hasHistoryWriters();
    }
    bool ddsisampleHandler(vexa::ds::DSReader* reader, RTPS::SampleInfo* sample) override {
        std::lock_guard<std::mutex> input(m_inputLock);
        m_input.emplace_back(sample, reader);
        ++queued;
        return true;
    }
    void assertLiveliness(vexa::ds::DSReader* reader, const uint32_t prefix[3],
                          uint32_t entityId) override {
        Guard guard(lock);
        reader->assertLiveliness(prefix, entityId);
    }
    vexa::ds::DSReader* discoverDW(const vexa::ds::RemoteDW* rdw, const uint32_t prefix[3],
                                   uint32_t entityId,
                                   const vexa::dds::PublicationBuiltinTopicData& data) override {
        Guard guard(lock);
        for (auto& r : readers)
            if (r->discoverDW(rdw, prefix, entityId, data))
                return r.get();
        return nullptr;
    }
    void looseDW(vexa::ds::DSReader* reader, const uint32_t prefix[3], uint32_t entityId) override {
        Guard guard(lock);
        ++lostWriters;
        reader->looseDW(prefix, entityId);
    }
    void changeDWQoS(vexa::ds::DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                     const vexa::dds::DeadlineQosPolicy& d,
                     const vexa::dds::LatencyBudgetQosPolicy& l,
                     const vexa::dds::LifespanQosPolicy& s,
                     const vexa::dds::OwnershipStrengthQosPolicy& o) override {
        Guard guard(lock);
        ++qosChanges;
        reader->changeDWQoS(prefix, entityId, d, l, s, o);
    }
    void assertLiveliness(vexa::ds::DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                          vexa::dds::Time_t t, bool writerLevel) override {
        Guard guard(lock);
        ++livelinessForwarded;
        reader->assertLiveliness(prefix, entityId, t, writerLevel);
    }

    // DSReaderHost (subscriber lock held by the caller)
    vexa::dds::Time_t now() const override { return m_domain.clock().now(); }
    int32_t maxSamplesPerReader() const override { return limit; }
    const vexa::dds::SubscriberQos& subscriberQos() const override { return m_qos; }
    Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId,
                              vexa::ds::DSReader* reader, Publication& out) override {
        return m_domain.builtinSubscriber()->getRemotePublisher(prefix, entityId, reader, out);
    }

    // A stored reader, by topic name; null when there is none.
    vexa::ds::DSReader* reader(const std::string& topic) {
        Guard guard(lock);
        for (auto& r : readers)
            if (r->topicName() == topic)
                return r.get();
        return nullptr;
    }

    // Returns once `n` readers exist.
    void waitForReaders(size_t n) {
        std::unique_lock<std::recursive_mutex> guard(lock);
        readerMade.wait(guard, [&] { return readers.size() >= n; });
    }

    std::recursive_mutex lock;
    std::condition_variable_any readerMade;
    std::vector<std::unique_ptr<vexa::ds::DSReader>> readers;
    std::vector<KeyHash> finishNext;
    uint32_t nextReaderId = 0x08010001;
    int32_t limit = 1024;
    bool refuseReaders = false;
    bool replay = false;
    int statusChecks = 0, cashRounds = 0, lostWriters = 0, qosChanges = 0, livelinessForwarded = 0;
    std::atomic<int> queued{0};

private:
    vexa::ds::DSDomainParticipant& m_domain;
    vexa::dds::SubscriberQos m_qos;
    std::mutex m_inputLock;
    std::vector<std::pair<RTPS::SampleInfo*, vexa::ds::DSReader*>> m_input, m_work;
};

// One served domain, built as addDomain builds it but without its data thread: the test drives
// the thread's work and the domain clock itself.
struct DiscoveryDomain {
    // `realSet`: the service's own stored-reader set with its sample input (`real`) in place
    // of the fake (`subscriber`, null then).
    explicit DiscoveryDomain(unsigned domainId = 7, bool realSet = false)
        : service(fakeEngine(log, [] { return uint64_t(0); })),
          domain(service, domainId, fakeEngine(log, [] { return uint64_t(0); })) {
        std::lock_guard<std::recursive_mutex> guard(domain.lock());
        engine = new FakeDiscoveryParticipant(log, domainId);
        domain.setRTPS(engine);
        if (realSet) {
            auto set = std::make_unique<vexa::ds::DSSubscriber>(domain);
            real = set.get();
            domain.setSubscriber(std::move(set));
        } else {
            auto fake = std::make_unique<FakeSubscriber>(domain);
            subscriber = fake.get();
            domain.setSubscriber(std::move(fake));
        }
        domain.setBuilt();
        domain.clock().set({1000, 0});
    }

    void deliver(FakeBuiltinReader& reader, const uint32_t prefix[3], uint32_t entityId,
                 uint32_t flags, void* data, uint64_t length) {
        RTPS::SampleInfo* h = reader.add(prefix, entityId, flags, data, length);
        domain.comm().changeAvailable(&reader, nullptr, h);
    }
    void topic(const uint32_t prefix[3], vexa::dds::TopicBuiltinTopicData& t,
               uint32_t flags = RTPS::SAMPLE_ALIVE) {
        deliver(engine->topics, prefix, 2, flags, &t, sizeof(t));
    }
    void publication(const uint32_t prefix[3], uint32_t entityId,
                     vexa::dds::PublicationBuiltinTopicData& p,
                     uint32_t flags = RTPS::SAMPLE_ALIVE) {
        deliver(engine->publications, prefix, entityId, flags, &p, sizeof(p));
    }
    void participant(const uint32_t prefix[3], uint32_t flags = RTPS::SAMPLE_ALIVE) {
        deliver(engine->participants, prefix, 0x1C1, flags, &participantRecord,
                sizeof(participantRecord));
    }
    void advance(int32_t seconds) {
        vexa::dds::Time_t t = domain.clock().now();
        t.sec += seconds;
        domain.clock().set(t);
    }
    vexa::ds::DSSubscriberBuiltin& builtin() { return *domain.builtinSubscriber(); }

    EngineLog log;
    vexa::ds::DurabilityService service;
    vexa::ds::DSDomainParticipant domain;
    FakeDiscoveryParticipant* engine = nullptr;  // owned by the domain
    FakeSubscriber* subscriber = nullptr;        // owned by the domain
    vexa::ds::DSSubscriber* real = nullptr;      // owned by the domain
    vexa::dds::ParticipantBuiltinTopicData participantRecord;
};

inline vexa::dds::TopicBuiltinTopicData topicRecord(
    const std::string& name,
    vexa::dds::DurabilityQosPolicyKind durability = vexa::dds::TRANSIENT_DURABILITY_QOS) {
    vexa::dds::TopicBuiltinTopicData t;
    t.key.value[0] = 0x0000AA8A;
    t.name = name;
    t.type_name = "Sample";
    t.durability.kind = durability;
    t.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    t.durability_service.history_kind = vexa::dds::KEEP_ALL_HISTORY_QOS;
    return t;
}

inline vexa::dds::PublicationBuiltinTopicData publicationRecord(
    const std::string& topic,
    vexa::dds::DurabilityQosPolicyKind durability = vexa::dds::TRANSIENT_DURABILITY_QOS) {
    vexa::dds::PublicationBuiltinTopicData p;
    p.topic_name = topic;
    p.type_name = "Sample";
    p.durability.kind = durability;
    p.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    return p;
}

}  // namespace vexatest
