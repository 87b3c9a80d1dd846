#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/os/OsTime.h"
#include "common/res/ResourceManager.h"
#include "ds/FakeDiscovery.h"
#include "ds/service/Console.h"
#include "ds/service/DurabilityService.h"

namespace {

namespace dds = vexa::dds;
using vexatest::FakeBuiltinReader;

// What the engines of the test saw, shared across the domain's lives.
struct Progress {
    std::mutex mutex;
    std::condition_variable changed;
    int readers = 0;
    int history = 0;
    int replayed = 0;  // batches with stored samples
    int samples = 0;

    void add(int& counter) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            ++counter;
        }
        changed.notify_all();
    }
    void reset() {
        std::lock_guard<std::mutex> guard(mutex);
        readers = history = replayed = samples = 0;
    }
    std::string text() {
        std::lock_guard<std::mutex> guard(mutex);
        return "readers " + std::to_string(readers) + ", replayed " + std::to_string(replayed) +
               ", samples " + std::to_string(samples);
    }
    // Until the domain has stored readers, took samples and replayed some to late readers.
    bool waitForWork() {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, std::chrono::seconds(30), [this] {
            return readers >= 4 && replayed >= 10 && samples >= 2000;
        });
    }
};

// An engine participant whose threads, once started, make every kind of callback: discovery
// records, liveliness and losses, samples of the stored readers, and late readers coming and
// going. Like the engine's, its destructor joins its threads.
class BusyEngine : public vexatest::FakeDiscoveryParticipant {
public:
    static constexpr int ROUNDS = 600;

    BusyEngine(vexatest::EngineLog& log, Progress& progress, RTPS::CommunicationObject& comm,
               unsigned domainId)
        : FakeDiscoveryParticipant(log, domainId), m_progress(progress), m_comm(comm) {}
    ~BusyEngine() override {
        {
            std::lock_guard<std::mutex> guard(m_readersMutex);
            m_running.store(false);
        }
        m_readersAdded.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }

    void start() override {
        FakeDiscoveryParticipant::start();
        m_threads.emplace_back([this] { discovery(); });
        m_threads.emplace_back([this] { liveliness(); });
        m_threads.emplace_back([this] { samples(0); });
        m_threads.emplace_back([this] { samples(1); });
        m_threads.emplace_back([this] { lateReaders(); });
    }
    RTPS::Reader* addReader(dds::SubscriptionBuiltinTopicData const*,
                            RTPS::RTPS_AdditionalTopicData const&, RTPS::TOPIC_KIND, int,
                            void* userData) override {
        RTPS::Reader* r = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_readersMutex);
            m_user.push_back({std::make_unique<FakeBuiltinReader>(), userData});
            r = m_user.back().reader.get();
        }
        m_readersAdded.notify_all();
        m_progress.add(m_progress.readers);
        return r;
    }
    void historicalData(unsigned int const*, unsigned int,
                        std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& s) override {
        m_progress.add(s.empty() ? m_progress.history : m_progress.replayed);
    }

private:
    struct User {
        std::unique_ptr<FakeBuiltinReader> reader;
        void* userData;
    };

    static const uint32_t* peer(int i) {
        static const uint32_t peers[3][3] = {{0xA1, 1, 1}, {0xA2, 2, 2}, {0xA3, 3, 3}};
        return peers[i % 3];
    }
    static std::string name(int i) { return "Stress" + std::to_string(i % 4); }

    void discovery() {
        std::vector<dds::TopicBuiltinTopicData> topicRecords;
        std::vector<dds::PublicationBuiltinTopicData> publicationRecords;
        for (int i = 0; i < 4; ++i) {
            topicRecords.push_back(vexatest::topicRecord(name(i)));
            publicationRecords.push_back(vexatest::publicationRecord(name(i)));
        }
        dds::ParticipantBuiltinTopicData participantRecord;
        for (int i = 0; i < ROUNDS && m_running.load(); ++i) {
            const uint32_t* p = peer(i);
            m_comm.changeAvailable(&topics, nullptr,
                                   topics.add(p, 2, RTPS::SAMPLE_ALIVE, &topicRecords[i % 4],
                                              sizeof(topicRecords[0])));
            const uint32_t flags = i % 11 == 10 ? RTPS::SAMPLE_DISPOSED : RTPS::SAMPLE_ALIVE;
            m_comm.changeAvailable(
                &publications, nullptr,
                publications.add(p, 0x100 + i % 5, flags, &publicationRecords[i % 4],
                                 sizeof(publicationRecords[0])));
            if (i % 97 == 96)
                m_comm.changeAvailable(
                    &participants, nullptr,
                    participants.add(p, 0x1C1, RTPS::SAMPLE_DISPOSED, &participantRecord,
                                     sizeof(participantRecord)));
        }
    }
    void liveliness() {
        for (int i = 0; m_running.load(); ++i) {
            unsigned p[3] = {peer(i)[0], peer(i)[1], peer(i)[2]};
            if (i % 5 == 0)
                m_comm.participantLost(p);
            m_comm.assertLiveliness(&participants, nullptr, p, i % 2 ? 0x100 : 0);
            if (User* u = user(i))
                m_comm.assertLiveliness(u->reader.get(), u->userData, p, 0x100 + i % 5);
            std::this_thread::yield();
        }
    }
    void samples(int thread) {
        uint32_t payload = 0x5A5A0000u + uint32_t(thread);
        for (int i = 0; m_running.load(); ++i) {
            User* u = user(i);
            if (u == nullptr) {
                std::unique_lock<std::mutex> guard(m_readersMutex);
                m_readersAdded.wait(guard, [this] { return !m_user.empty() || !m_running; });
                continue;
            }
            // The engine's history is bounded too: past it, the reader takes nothing new.
            if (u->reader->held() > 500) {
                std::this_thread::yield();
                continue;
            }
            // Half from discovered writers, which discovery soon loses again; half from one
            // that discovery never reports, whose samples are always kept.
            static const uint32_t undiscovered[3] = {0xA4, 4, 4};
            RTPS::SampleInfo* h = i % 2 ? u->reader->add(peer(i), 0x100 + i % 5, RTPS::SAMPLE_ALIVE,
                                                         &payload, sizeof payload)
                                        : u->reader->add(undiscovered, 0x102, RTPS::SAMPLE_ALIVE,
                                                         &payload, sizeof payload);
            if (m_comm.changeAvailable(u->reader.get(), u->userData, h))
                m_progress.add(m_progress.samples);
        }
    }
    void lateReaders() {
        for (int i = 0; m_running.load(); ++i) {
            const uint32_t late[3] = {0xB0, uint32_t(i % 6), 0};
            const dds::TopicBuiltinTopicData t = vexatest::topicRecord(name(i));
            dds::SubscriptionBuiltinTopicData sub;
            sub.topic_name = t.name;
            sub.type_name = t.type_name;
            sub.durability = t.durability;
            sub.reliability = t.reliability;
            m_comm.getHistoricalData(late, 0x107, &sub);
            if (i % 3 == 2)
                m_comm.stopHistoricalData(late, 0x107);
            std::this_thread::yield();
        }
    }
    User* user(int i) {
        std::lock_guard<std::mutex> guard(m_readersMutex);
        return m_user.empty() ? nullptr : &m_user[size_t(i) % m_user.size()];
    }

    Progress& m_progress;
    RTPS::CommunicationObject& m_comm;
    std::atomic<bool> m_running{true};
    std::vector<std::thread> m_threads;
    std::mutex m_readersMutex;
    std::condition_variable m_readersAdded;
    std::deque<User> m_user;
};

// The whole service on a busy engine: while the engine's threads call back, the data thread
// creates stored readers, stores and replays, and console commands add and close the domain. Every
// life of the domain must make progress and end with every engine thread joined.
TEST(ServiceStress, ConsoleAddsAndClosesABusyDomain) {
    ASSERT_EQ(vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res") % 6, 0u);
    vexatest::EngineLog log;
    Progress progress;
    vexa::ds::DomainEngine engine;
    engine.createParticipant = [&](RTPS::CommunicationObject* comm,
                                   dds::ParticipantBuiltinTopicData*,
                                   unsigned domainId) -> RTPS::Participant* {
        return new BusyEngine(log, progress, *comm, domainId);
    };
    engine.tickClock = [] { return vexa::OsGetMonotonicMks(); };
    vexa::ds::DurabilityService service(engine);
    ASSERT_TRUE(service.isStarted());
    vexa::ds::pds = &service;
    struct Unset {
        ~Unset() { vexa::ds::pds = nullptr; }
    } unset;

    constexpr int LIVES = 3;
    for (int life = 0; life < LIVES; ++life) {
        progress.reset();
        testing::internal::CaptureStdout();
        vexa::ds::handleUserCommand("add 3");
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(service.countDomains(), 1u) << life;
        EXPECT_TRUE(progress.waitForWork()) << "life " << life << ": " << progress.text();
        testing::internal::CaptureStdout();
        vexa::ds::handleUserCommand("close 3");
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(service.countDomains(), 0u) << life;
    }
    std::lock_guard<std::mutex> guard(log.mutex);
    EXPECT_EQ(log.started.size(), size_t(LIVES));
    EXPECT_EQ(log.destroyed.size(), size_t(LIVES));
    EXPECT_EQ(log.announced.size(), size_t(LIVES));
}

}  // namespace
