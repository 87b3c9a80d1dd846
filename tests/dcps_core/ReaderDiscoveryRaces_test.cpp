// Discovery of remote writers racing with the application's readers: the engine's thread
// announces, changes and removes publications and reports liveliness and losses while
// application threads create, re-configure and delete readers, samples arrive and the
// collector runs. In builds with the lock-order checker an inversion aborts the test.
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "ReaderFixture.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "fake/FakeParticipant.h"
#include "vexa/DataReaderImpl.h"

namespace {

using vexa::dcps::Reader;
using vexatest::FakeParticipant;
using RDW = vexa::dcps::Reader::RemoteDW;
namespace dds = vexa::dds;

constexpr unsigned PEER[3] = {0xBBBB0001u, 5u, 6u};

class ReaderDiscoveryRaces : public vexatest::ReaderFixture {
protected:
    template <class Record>
    void report(FakeParticipant::BuiltinIndex which, Record const& record, uint32_t flags,
                unsigned entityId) {
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof record;
        RTPS::SampleInfo* h = engine_->builtinReader(which)->addHeldChange(
            info, &record, sizeof record, PEER, entityId);
        engine_->queueChangeAvailable(engine_->builtinReader(which), nullptr, h);
    }
};

TEST_F(ReaderDiscoveryRaces, DiscoveryAgainstReaderLifecycleAndCollector) {
    Reader* steady = makeReader(qosOf(5));
    std::atomic<bool> stop{false};
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);

    std::thread discovery([&] {
        std::mt19937 rng(1);
        dds::ParticipantBuiltinTopicData p;
        for (unsigned i = 0; i < 3; ++i) {
            p.key.value[i] = PEER[i];
        }
        for (int n = 0; !stop.load(); ++n) {
            unsigned const entity = 0x100u * (1 + rng() % 4) + 2;
            dds::PublicationBuiltinTopicData w;
            w.topic_name = "K";
            w.type_name = "Keyed";
            w.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            w.lifespan.duration = {static_cast<int32_t>(5 + rng() % 3), 0};
            switch (rng() % 8) {
                case 0:
                case 1:
                case 2:
                    report(FakeParticipant::PUBLICATION_READER, w, 1, entity);
                    break;
                case 3:
                    report(FakeParticipant::PUBLICATION_READER, w, 6, entity);
                    break;
                case 4:
                    engine_->queueAssertLiveliness(
                        engine_->builtinReader(FakeParticipant::PARTICIPANT_READER), nullptr, PEER,
                        rng() % 2);
                    break;
                case 5:
                    engine_->queueParticipantLost(PEER);
                    break;
                case 6:
                    report(FakeParticipant::PARTICIPANT_READER, p, rng() % 4 == 0 ? 6 : 1, 0x1C1);
                    break;
                default:
                    engine_->queueAssertLiveliness(engineOf(steady), steady, PEER, entity);
                    break;
            }
            if (n % 16 == 0) {
                engine_->drain();
            }
        }
        engine_->drain();
    });

    auto application = [&](unsigned seed) {
        std::mt19937 rng(seed);
        // Reader ids are not reused: a subscriber has about 2000 over its life.
        for (int n = 0; n < 600 && !stop.load(); ++n) {
            dds::DataReaderQos q = qosOf(1);
            q.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            Reader* r = sub_->createDR(keyed_, &q, nullptr, 0);
            ASSERT_NE(r, nullptr);
            for (int i = 0; i < 3; ++i) {
                q.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
                sub_->setReaderQoS(q, r);
            }
            ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    };
    std::thread app1(application, 2u);
    std::thread app2(application, 3u);

    std::thread samples([&] {
        std::mt19937 rng(4);
        while (!stop.load()) {
            unsigned const entity = 0x100u * (1 + rng() % 4) + 2;
            offerFrom(steady, PEER, entity, static_cast<int32_t>(rng() % 8), 1, RTPS::SAMPLE_ALIVE,
                      static_cast<int32_t>(0x5000 + rng() % 8));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::thread collector([&] {
        while (!stop.load()) {
            dp_->getTimeService().advance(500000);
            dp_->collectGarbage();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop = true;
    discovery.join();
    app1.join();
    app2.join();
    samples.join();
    collector.join();
    settle();

    // The steady reader's counts still describe its records.
    std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
    int alive = 0;
    int notAlive = 0;
    for (RDW const& w : steady->remoteWriters()) {
        alive += w.counted() && (w.flags & RDW::RDW_ALIVE) != 0 ? 1 : 0;
        notAlive += w.counted() && (w.flags & RDW::RDW_ALIVE) == 0 ? 1 : 0;
    }
    dds::LivelinessChangedStatus s;
    steady->getLivelinessChangedStatus(s);
    dds::SubscriptionMatchedStatus m;
    steady->getSubscriptionMatchedStatus(m);
    EXPECT_EQ(s.alive_count, alive);
    EXPECT_EQ(s.not_alive_count, notAlive);
    EXPECT_EQ(m.current_count, alive + notAlive);
}

}  // namespace
