#include "ds/service/DSDomainParticipant.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/ResourceManager.h"
#include "ds/FakeDiscovery.h"
#include "rtps/LogCapture.h"

namespace {

using vexatest::publicationRecord;
using vexatest::topicRecord;
namespace dds = vexa::dds;

const uint32_t PEER[3] = {0x0101AA8A, 0x02020202, 0x03030303};
const uint32_t LATE[3] = {0x0707AA8A, 0x08080808, 0x09090909};
constexpr uint32_t WRITER = 0x102;
constexpr uint32_t READER = 0x107;

dds::SubscriptionBuiltinTopicData subscriptionOf(const dds::TopicBuiltinTopicData& t) {
    dds::SubscriptionBuiltinTopicData s;
    s.topic_name = t.name;
    s.type_name = t.type_name;
    s.durability = t.durability;
    s.deadline = t.deadline;
    s.latency_budget = t.latency_budget;
    s.liveliness = t.liveliness;
    s.reliability = t.reliability;
    s.ownership = t.ownership;
    s.destination_order = t.destination_order;
    return s;
}

// The topic against another participant's record: the policies that must agree, and those
// that may differ.
TEST(DSTopicTest, TopicAgainstTopic) {
    const auto base = topicRecord("T");
    vexa::ds::DSTopic topic(nullptr, base.type_name, base.name, 0x30000001, dds::TopicQos{}, true);
    // The topic built from an empty QoS: start the comparison from its own record.
    const dds::TopicBuiltinTopicData mine = topic.data();
    const struct {
        const char* what;
        void (*change)(dds::TopicBuiltinTopicData&);
        bool consistent;
    } cases[] = {
        {"same", [](dds::TopicBuiltinTopicData&) {}, true},
        {"name", [](dds::TopicBuiltinTopicData& t) { t.name = "U"; }, false},
        {"type", [](dds::TopicBuiltinTopicData& t) { t.type_name = "X"; }, false},
        {"durability",
         [](dds::TopicBuiltinTopicData& t) { t.durability.kind = dds::PERSISTENT_DURABILITY_QOS; },
         false},
        {"deadline",
         [](dds::TopicBuiltinTopicData& t) {
             t.deadline.period = {1, 0};
         },
         false},
        {"latency",
         [](dds::TopicBuiltinTopicData& t) {
             t.latency_budget.duration = {0, 1};
         },
         false},
        {"liveliness kind",
         [](dds::TopicBuiltinTopicData& t) {
             t.liveliness.kind = dds::MANUAL_BY_TOPIC_LIVELINESS_QOS;
         },
         false},
        {"lease",
         [](dds::TopicBuiltinTopicData& t) {
             t.liveliness.lease_duration = {9, 0};
         },
         false},
        {"reliability",
         [](dds::TopicBuiltinTopicData& t) { t.reliability.kind = dds::RELIABLE_RELIABILITY_QOS; },
         false},
        {"blocking",
         [](dds::TopicBuiltinTopicData& t) {
             t.reliability.max_blocking_time = {1, 0};
         },
         false},
        {"order",
         [](dds::TopicBuiltinTopicData& t) {
             t.destination_order.kind = dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
         },
         false},
        {"ownership",
         [](dds::TopicBuiltinTopicData& t) { t.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS; },
         false},
        {"durability service",
         [](dds::TopicBuiltinTopicData& t) { t.durability_service.history_depth = 9; }, true},
        {"history", [](dds::TopicBuiltinTopicData& t) { t.history.depth = 9; }, true},
        {"limits", [](dds::TopicBuiltinTopicData& t) { t.resource_limits.max_samples = 9; }, true},
        {"priority", [](dds::TopicBuiltinTopicData& t) { t.transport_priority.value = 9; }, true},
        {"lifespan",
         [](dds::TopicBuiltinTopicData& t) {
             t.lifespan.duration = {9, 0};
         },
         true},
        {"topic data", [](dds::TopicBuiltinTopicData& t) { t.topic_data.value = {9}; }, true},
        {"key", [](dds::TopicBuiltinTopicData& t) { t.key.value[2] ^= 1; }, true},
    };
    for (const auto& c : cases) {
        dds::TopicBuiltinTopicData other = mine;
        c.change(other);
        EXPECT_EQ(topic.isConsistent(other), c.consistent) << c.what;
        EXPECT_EQ(topic.checkConsistency(other), c.consistent) << c.what;
    }
}

// A late reader may ask for less than the topic offers, never for more.
TEST(DSTopicTest, SubscriptionAgainstTopic) {
    dds::TopicQos qos;
    qos.durability.kind = dds::TRANSIENT_DURABILITY_QOS;
    qos.deadline.period = {10, 0};
    qos.latency_budget.duration = {0, 500};
    qos.liveliness.kind = dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    qos.liveliness.lease_duration = {4, 0};
    qos.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    qos.destination_order.kind = dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    vexa::ds::DSTopic topic(nullptr, "Sample", "T", 0x30000001, qos, true);
    const dds::SubscriptionBuiltinTopicData same = subscriptionOf(topic.data());
    using S = dds::SubscriptionBuiltinTopicData;
    const struct {
        const char* what;
        void (*change)(S&);
        bool consistent;
    } cases[] = {
        {"same", [](S&) {}, true},
        {"name", [](S& s) { s.topic_name = "U"; }, false},
        {"type", [](S& s) { s.type_name = "X"; }, false},
        {"weaker durability", [](S& s) { s.durability.kind = dds::VOLATILE_DURABILITY_QOS; }, true},
        {"stronger durability", [](S& s) { s.durability.kind = dds::PERSISTENT_DURABILITY_QOS; },
         false},
        {"longer deadline",
         [](S& s) {
             s.deadline.period = {10, 1};
         },
         true},
        {"infinite deadline", [](S& s) { s.deadline.period = dds::DURATION_INFINITE; }, true},
        {"shorter deadline",
         [](S& s) {
             s.deadline.period = {9, 999999999};
         },
         false},
        {"larger budget",
         [](S& s) {
             s.latency_budget.duration = {1, 0};
         },
         true},
        {"smaller budget",
         [](S& s) {
             s.latency_budget.duration = {0, 499};
         },
         false},
        {"weaker liveliness", [](S& s) { s.liveliness.kind = dds::AUTOMATIC_LIVELINESS_QOS; },
         true},
        {"stronger liveliness",
         [](S& s) { s.liveliness.kind = dds::MANUAL_BY_TOPIC_LIVELINESS_QOS; }, false},
        {"longer lease",
         [](S& s) {
             s.liveliness.lease_duration = {5, 0};
         },
         true},
        {"shorter lease",
         [](S& s) {
             s.liveliness.lease_duration = {3, 0};
         },
         false},
        {"best effort", [](S& s) { s.reliability.kind = dds::BEST_EFFORT_RELIABILITY_QOS; }, true},
        {"other ownership", [](S& s) { s.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS; }, false},
        {"reception order",
         [](S& s) { s.destination_order.kind = dds::BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS; },
         true},
    };
    for (const auto& c : cases) {
        S sub = same;
        c.change(sub);
        EXPECT_EQ(topic.isConsistent(sub), c.consistent) << c.what;
    }

    // The weaker order against a topic with the stronger one, the other way round.
    qos.destination_order.kind = dds::BY_RECEPTION_TIMESTAMP_DESTINATIONORDER_QOS;
    vexa::ds::DSTopic byReception(nullptr, "Sample", "T", 0x30000002, qos, true);
    EXPECT_FALSE(byReception.isConsistent(same));
    EXPECT_EQ(byReception.data().key.value[0] & 0xFF, vexa::ds::DSTopic::KEYED);
    vexa::ds::DSTopic keyless(nullptr, "Sample", "T", 0x30000003, qos, false);
    EXPECT_EQ(keyless.data().key.value[0] & 0xFF, vexa::ds::DSTopic::KEYLESS);
}

class DomainTest : public ::testing::Test {
protected:
    void SetUp() override {
        vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
    }
    // A durable topic "T" with its stored reader; with a live writer when asked.
    void durableTopic(bool withWriter) {
        d.topic(PEER, t);
        d.domain.createDRs();
        if (withWriter) {
            auto p = publicationRecord("T");
            d.publication(PEER, WRITER, p);
        }
    }
    void request(const dds::SubscriptionBuiltinTopicData& sub, const uint32_t* prefix = LATE) {
        d.domain.comm().getHistoricalData(prefix, READER, &sub);
    }

    vexatest::DiscoveryDomain d;
    dds::TopicBuiltinTopicData t = topicRecord("T");
};

// A refused request looks to the reader like an empty store, so the service says why at the
// default log level; an honest empty history says nothing.
TEST_F(DomainTest, ARefusedHistoryIsLoggedWithItsReason) {
    LogCapture capture;
    vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
    vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_WARNING);
    const struct {
        const char* what;
        bool topicKnown;
        void (*topic)(dds::TopicBuiltinTopicData&);
        const char* reason;  // null: not a refusal
    } cases[] = {
        {"unknown topic", false, nullptr, "тема не хранится службой"},
        {"best-effort topic, reliable reader", true,
         [](dds::TopicBuiltinTopicData& t) {
             t.reliability.kind = dds::BEST_EFFORT_RELIABILITY_QOS;
         },
         "RELIABILITY читателя RELIABLE, у темы BEST_EFFORT"},
        {"exclusive topic", true,
         [](dds::TopicBuiltinTopicData& t) { t.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS; },
         "OWNERSHIP читателя и темы различны"},
        {"nothing stored", true, nullptr, nullptr},
    };
    uint32_t entity = 0x1001;
    for (const auto& c : cases) {
        vexatest::DiscoveryDomain fresh;
        auto topic = topicRecord("T");
        const auto sub = subscriptionOf(topic);
        if (c.topic)
            c.topic(topic);
        if (c.topicKnown) {
            fresh.topic(PEER, topic);
            fresh.domain.createDRs();
        }
        fresh.domain.comm().getHistoricalData(LATE, entity, &sub);
        char guid[64];
        std::snprintf(guid, sizeof guid, "%08x:%08x:%08x:%08x", LATE[0], LATE[1], LATE[2], entity);
        const std::string head =
            std::string("Запрос истории читателя ") + guid + " темы T отклонён";
        if (c.reason) {
            EXPECT_EQ(LogCapture::count(head + ": " + c.reason), 1u)
                << c.what << LogCapture::text();
        } else {
            EXPECT_EQ(LogCapture::count(head), 0u) << c.what;
        }
        ASSERT_EQ(fresh.engine->history.size(), 1u) << c.what;
        EXPECT_EQ(fresh.engine->history[0].samples, 0u) << c.what;
        ++entity;
    }
}

TEST_F(DomainTest, LateReaderWithNothingToWaitForGetsAnEmptyHistoryAtOnce) {
    const struct {
        const char* what;
        bool topicKnown;
        bool readerMade;
        bool writer;
        void (*change)(dds::SubscriptionBuiltinTopicData&);
        bool served;
    } cases[] = {
        {"unknown topic", false, false, false, nullptr, false},
        {"no reader yet", true, false, true, nullptr, false},
        {"no writer, nothing stored", true, true, false, nullptr, false},
        {"inconsistent", true, true, true,
         [](dds::SubscriptionBuiltinTopicData& s) {
             s.ownership.kind = dds::EXCLUSIVE_OWNERSHIP_QOS;
         },
         false},
        {"a live writer", true, true, true, nullptr, true},
    };
    for (const auto& c : cases) {
        vexatest::DiscoveryDomain fresh;
        if (c.topicKnown) {
            fresh.topic(PEER, t);
            if (c.readerMade)
                fresh.domain.createDRs();
            if (c.writer) {
                auto p = publicationRecord("T");
                fresh.publication(PEER, WRITER, p);
            }
        }
        auto sub = subscriptionOf(t);
        if (c.change)
            c.change(sub);
        fresh.domain.comm().getHistoricalData(LATE, READER, &sub);
        const auto key = vexa::ds::DSDomainParticipant::acceptorKey(LATE, READER);
        EXPECT_EQ(fresh.domain.isAcceptor(key), c.served) << c.what;
        ASSERT_EQ(fresh.engine->history.size(), c.served ? 0u : 1u) << c.what;
        if (!c.served) {
            const auto& h = fresh.engine->history[0];
            EXPECT_EQ(h.samples, 0u) << c.what;
            EXPECT_EQ(h.entityId, READER) << c.what;
            EXPECT_EQ(h.prefix[1], LATE[1]) << c.what;
        }
    }
}

TEST_F(DomainTest, AcceptorServedUntilFinishedOrStopped) {
    durableTopic(true);
    const auto sub = subscriptionOf(t);
    request(sub);
    const auto key = vexa::ds::DSDomainParticipant::acceptorKey(LATE, READER);
    ASSERT_TRUE(d.domain.isAcceptor(key));
    vexa::ds::DSReader* reader = d.domain.findTopic("T")->reader();
    EXPECT_EQ(reader->acceptorCount(), 1u);

    // Finished: forgotten by the domain.
    d.subscriber->finishNext.push_back(key);
    d.domain.handleSubscriptions();
    EXPECT_FALSE(d.domain.isAcceptor(key));

    // Stopped by the reader's DSVC client: gone from the stored reader too.
    request(sub);
    ASSERT_TRUE(d.domain.isAcceptor(key));
    d.domain.comm().stopHistoricalData(LATE, READER);
    EXPECT_FALSE(d.domain.isAcceptor(key));
    EXPECT_EQ(reader->acceptorCount(), 0u);
    // A stop for a reader never served changes nothing.
    d.domain.comm().stopHistoricalData(PEER, READER);
    EXPECT_EQ(d.domain.acceptorCount(), 0u);

    uint32_t prefix[3];
    uint32_t entityId = 0;
    vexa::ds::DSDomainParticipant::splitAcceptorKey(key, prefix, entityId);
    EXPECT_EQ(entityId, READER);
    EXPECT_EQ(prefix[2], LATE[2]);
}

TEST_F(DomainTest, TopicTableEndsAtTwoThousandAndFortyTwo) {
    for (uint32_t i = 1; i <= vexa::ds::DSDomainParticipant::MAX_TOPICS; ++i) {
        auto r = topicRecord("T" + std::to_string(i));
        ASSERT_NE(d.domain.createTopic(r), nullptr) << i;
    }
    EXPECT_EQ(d.domain.findTopic("T2042")->getId(), 0x300007FAu);
    auto last = topicRecord("one too many");
    d.topic(PEER, last);
    EXPECT_EQ(d.domain.findTopic("one too many"), nullptr);
    EXPECT_EQ(d.domain.topicCount(), vexa::ds::DSDomainParticipant::MAX_TOPICS);
    // The peer's record is kept and does not count as a contradiction.
    EXPECT_EQ(d.builtin().findParticipant(PEER)->topics.at("one too many").flags, 0u);
}

TEST_F(DomainTest, SamplesOfStoredReadersAreQueuedForTheDataThread) {
    durableTopic(true);
    vexa::ds::DSReader* reader = d.domain.findTopic("T")->reader();
    RTPS::SampleInfo sample{};
    EXPECT_TRUE(d.domain.comm().changeAvailable(nullptr, reader, &sample));
    EXPECT_EQ(d.subscriber->queued, 1);
    EXPECT_EQ(d.domain.comm().pending(), 1);
    d.domain.comm().entryDone();
    EXPECT_EQ(d.domain.comm().pending(), 0);
}

TEST_F(DomainTest, CallbacksAfterCloseAreIgnored) {
    durableTopic(true);
    d.domain.close();
    ASSERT_EQ(d.log.announced.size(), 1u);
    EXPECT_EQ(d.log.announced[0].statusFlags, 6u);
    EXPECT_EQ(d.log.announced[0].length, 40u);

    const auto sub = subscriptionOf(t);
    request(sub);
    RTPS::SampleInfo sample{};
    vexa::ds::DSReader* reader = d.domain.findTopic("T")->reader();
    EXPECT_FALSE(d.domain.comm().changeAvailable(nullptr, reader, &sample));
    d.domain.comm().participantLost(const_cast<unsigned*>(PEER));
    EXPECT_EQ(d.subscriber->queued, 0);
    EXPECT_EQ(d.domain.acceptorCount(), 0u);
    EXPECT_FALSE(d.builtin().findParticipant(PEER)->flags & vexa::ds::RemoteDP::LOST);
}

// The data thread runs the domain's work on its own once started: a topic discovered while it
// runs gets its reader, and a stop right after the start still joins it.
TEST_F(DomainTest, DataThreadMakesReadersAndStops) {
    vexatest::EngineLog log;
    vexa::ds::DurabilityService service(vexatest::fakeEngine(log, [] { return uint64_t(0); }));
    vexa::ds::DSDomainParticipant domain(
        service, 3, vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); }));
    auto* engine = new vexatest::FakeDiscoveryParticipant(log, 3);
    {
        std::lock_guard<std::recursive_mutex> guard(domain.lock());
        domain.setRTPS(engine);
        auto fake = std::make_unique<vexatest::FakeSubscriber>(domain);
        domain.setSubscriber(std::move(fake));
        domain.setBuilt();
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(domain.startHandlingData());
        domain.stopHandlingData();
        EXPECT_FALSE(domain.isHandlingData());
    }
    ASSERT_TRUE(domain.startHandlingData());
    RTPS::SampleInfo* h = engine->topics.add(PEER, 2, RTPS::SAMPLE_ALIVE, &t, sizeof(t));
    domain.comm().changeAvailable(&engine->topics, nullptr, h);
    // The next round of the thread makes the reader; wait on the topic's state under the lock.
    for (;;) {
        {
            std::lock_guard<std::recursive_mutex> guard(domain.lock());
            if (domain.findTopic("T")->reader() != nullptr)
                break;
        }
        std::this_thread::yield();
    }
    domain.stopHandlingData();
}

// The engine may call back as soon as it exists, while addDomain still holds the domain lock
// to finish the domain: the record waits and is handled once the domain is complete.
TEST(DomainBuildTest, RecordArrivingWhileTheDomainIsBuiltIsHandledAfterwards) {
    vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
    vexatest::EngineLog log;
    vexa::ds::DurabilityService service(vexatest::fakeEngine(log, [] { return uint64_t(0); }));
    vexa::ds::DSDomainParticipant domain(service, 4,
                                         vexatest::fakeEngine(log, [] { return uint64_t(0); }));
    auto* engine = new vexatest::FakeDiscoveryParticipant(log, 4);
    auto t = topicRecord("T");
    std::mutex mutex;
    std::condition_variable calling;
    bool called = false;
    std::thread receive;
    {
        std::lock_guard<std::recursive_mutex> building(domain.lock());
        receive = std::thread([&] {
            RTPS::SampleInfo* h = engine->topics.add(PEER, 2, RTPS::SAMPLE_ALIVE, &t, sizeof(t));
            {
                std::lock_guard<std::mutex> guard(mutex);
                called = true;
                calling.notify_all();
            }
            domain.comm().changeAvailable(&engine->topics, nullptr, h);
        });
        std::unique_lock<std::mutex> guard(mutex);
        calling.wait(guard, [&] { return called; });
        guard.unlock();
        domain.setRTPS(engine);
        domain.setSubscriber(std::make_unique<vexatest::FakeSubscriber>(domain));
        domain.setBuilt();
    }
    receive.join();
    std::lock_guard<std::recursive_mutex> guard(domain.lock());
    EXPECT_NE(domain.findTopic("T"), nullptr);
}

// An engine whose threads call back all the time: discovery records, losses and liveliness,
// stored readers' samples, late readers coming and going. Its destructor joins them, as the
// engine's does.
class BusyParticipant : public vexatest::FakeDiscoveryParticipant {
public:
    static constexpr int ROUNDS = 400;

    BusyParticipant(vexatest::EngineLog& log, vexa::ds::DSRTPSCommunicationObject& comm,
                    vexatest::FakeSubscriber& stored)
        : FakeDiscoveryParticipant(log, 3), m_comm(comm), m_stored(stored) {}
    ~BusyParticipant() override {
        for (std::thread& t : m_threads)
            t.join();
    }

    void start() override {
        m_threads.emplace_back([this] { discovery(); });
        m_threads.emplace_back([this] { liveliness(); });
        m_threads.emplace_back([this] { samples(); });
        m_threads.emplace_back([this] { lateReaders(); });
    }
    // Returns once every thread is half way through.
    void waitHalfWay() {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_changed.wait(guard, [this] { return m_halfWay == m_threads.size(); });
    }

private:
    static const uint32_t* peer(int i) {
        static const uint32_t peers[3][3] = {{0xA1, 1, 1}, {0xA2, 2, 2}, {0xA3, 3, 3}};
        return peers[i % 3];
    }
    static std::string name(int i) { return "T" + std::to_string(i % 4); }
    void arriveHalfWay() {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_halfWay;
        m_changed.notify_all();
    }
    void waitForGo() {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_changed.wait(guard, [this] { return m_go; });
    }

    void discovery() {
        std::vector<dds::TopicBuiltinTopicData> topicRecords;
        std::vector<dds::PublicationBuiltinTopicData> publicationRecords;
        for (int i = 0; i < 4; ++i) {
            topicRecords.push_back(topicRecord(name(i)));
            publicationRecords.push_back(publicationRecord(name(i)));
        }
        dds::ParticipantBuiltinTopicData participantRecord;
        // The topics first; the others start once the data thread has made their readers.
        for (int i = 0; i < 4; ++i)
            m_comm.changeAvailable(&topics, nullptr,
                                   topics.add(peer(i), 2, RTPS::SAMPLE_ALIVE, &topicRecords[i],
                                              sizeof(topicRecords[0])));
        m_stored.waitForReaders(4);
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_go = true;
            m_changed.notify_all();
        }
        for (int i = 0; i < ROUNDS; ++i) {
            const uint32_t* p = peer(i);
            m_comm.changeAvailable(&topics, nullptr,
                                   topics.add(p, 2, RTPS::SAMPLE_ALIVE, &topicRecords[i % 4],
                                              sizeof(topicRecords[0])));
            const uint32_t flags = i % 7 == 6 ? RTPS::SAMPLE_DISPOSED : RTPS::SAMPLE_ALIVE;
            m_comm.changeAvailable(
                &publications, nullptr,
                publications.add(p, 0x100 + i % 5, flags, &publicationRecords[i % 4],
                                 sizeof(publicationRecords[0])));
            if (i % 50 == 49)
                m_comm.changeAvailable(
                    &participants, nullptr,
                    participants.add(p, 0x1C1, RTPS::SAMPLE_DISPOSED, &participantRecord,
                                     sizeof(participantRecord)));
            if (i == ROUNDS / 2)
                arriveHalfWay();
        }
    }
    void liveliness() {
        waitForGo();
        for (int i = 0; i < ROUNDS; ++i) {
            unsigned p[3] = {peer(i)[0], peer(i)[1], peer(i)[2]};
            if (i % 3 == 0)
                m_comm.participantLost(p);
            m_comm.assertLiveliness(&participants, nullptr, p, i % 2 ? 0x100 : 0);
            if (vexa::ds::DSReader* reader = m_stored.reader(name(i)))
                m_comm.assertLiveliness(nullptr, reader, p, 0x100 + i % 5);
            if (i == ROUNDS / 2)
                arriveHalfWay();
        }
    }
    void samples() {
        RTPS::SampleInfo handle{};
        waitForGo();
        for (int i = 0; i < ROUNDS; ++i) {
            if (vexa::ds::DSReader* reader = m_stored.reader(name(i)))
                m_comm.changeAvailable(nullptr, reader, &handle);
            if (i == ROUNDS / 2)
                arriveHalfWay();
        }
    }
    void lateReaders() {
        waitForGo();
        for (int i = 0; i < ROUNDS; ++i) {
            const uint32_t late[3] = {0xB0, uint32_t(i % 6), 0};
            const auto sub = subscriptionOf(topicRecord(name(i)));
            m_comm.getHistoricalData(late, 0x107, &sub);
            if (i % 2)
                m_comm.stopHistoricalData(late, 0x107);
            if (i == ROUNDS / 2)
                arriveHalfWay();
        }
    }

    vexa::ds::DSRTPSCommunicationObject& m_comm;
    vexatest::FakeSubscriber& m_stored;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_go = false;
    size_t m_halfWay = 0;
};

// The data thread makes readers, stores and replays while the engine calls back from several
// threads and the collector runs; the domain is closed in the middle of it. Nothing may hang,
// and the sanitizer builds must stay quiet.
TEST(DomainStressTest, CallbacksFromSeveralThreadsWhileTheDomainWorksAndCloses) {
    vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
    for (int round = 0; round < 3; ++round) {
        vexatest::EngineLog log;
        vexa::ds::DurabilityService service(vexatest::fakeEngine(log, [] { return uint64_t(0); }));
        vexa::ds::DSDomainParticipant domain(
            service, 3, vexatest::fakeEngine(log, [] { return vexa::OsGetMonotonicMks(); }));
        BusyParticipant* engine = nullptr;
        vexatest::FakeSubscriber* stored = nullptr;
        {
            std::lock_guard<std::recursive_mutex> guard(domain.lock());
            auto fake = std::make_unique<vexatest::FakeSubscriber>(domain);
            fake->replay = true;
            stored = fake.get();
            engine = new BusyParticipant(log, domain.comm(), *stored);
            domain.setRTPS(engine);
            domain.setSubscriber(std::move(fake));
            domain.setBuilt();
        }
        ASSERT_TRUE(domain.startHandlingData());
        std::atomic<bool> collecting{true};
        std::thread collector([&] {
            while (collecting.load())
                domain.collectGarbage();
        });
        engine->start();
        engine->waitHalfWay();
        collecting.store(false);
        collector.join();
        domain.close();
        EXPECT_EQ(log.announced.size(), 1u);
        EXPECT_FALSE(domain.isHandlingData());
        EXPECT_GT(stored->queued.load(), 0);
        std::lock_guard<std::recursive_mutex> guard(domain.lock());
        EXPECT_EQ(domain.builtinSubscriber()->checkInvariants(), "");
        for (const auto& r : stored->readers)
            EXPECT_EQ(r->checkInvariants(), "") << r->topicName();
    }
}

}  // namespace
