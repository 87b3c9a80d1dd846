// Both sides of discovery under threads. The engine's thread announces, changes and removes
// remote writers and readers and reports liveliness and losses; application threads create,
// re-configure and delete readers and writers; samples arrive; the collector runs; and the
// participant's data-handling thread runs the readers' and writers' listeners, which read
// statuses back through the subscriber and publisher. It must end without deadlock (in builds
// with the lock-order checker an inversion aborts the test), with the counts still describing
// the records.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "ReaderFixture.h"
#include "WriterBooks.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/api/DWEventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "fake/FakeParticipant.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/DataWriterImpl.h"

namespace {

using vexa::dcps::Reader;
using vexa::dcps::Writer;
using vexatest::FakeParticipant;
using RDW = vexa::dcps::Reader::RemoteDW;
namespace dds = vexa::dds;

constexpr unsigned PEERS[2][3] = {{0xBBBB0001u, 5u, 6u}, {0xBBBB0002u, 7u, 8u}};

// Reads the status back through the subscriber, as an application listener would.
class ReaderListener : public vexa::dcps::api::DREventForwarder {
public:
    explicit ReaderListener(vexa::dcps::Subscriber* sub) : sub_(sub) {}
    void on_requested_deadline_missed(void* e, dds::DeadlineMissedStatus const&) override {
        dds::DeadlineMissedStatus s;
        sub_->getRequestedDeadlineMissedStatus(s, static_cast<Reader*>(e));
        calls.fetch_add(1);
    }
    void on_requested_incompatible_qos(void* e, dds::IncompatibleQosStatus const&) override {
        dds::IncompatibleQosStatus s;
        sub_->getRequestedIncompatibleQosStatus(s, static_cast<Reader*>(e));
        calls.fetch_add(1);
    }
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override {
        calls.fetch_add(1);
    }
    void on_liveliness_changed(void* e, dds::LivelinessChangedStatus const&) override {
        dds::LivelinessChangedStatus s;
        sub_->getLivelinessChangedStatus(s, static_cast<Reader*>(e));
        calls.fetch_add(1);
    }
    void on_data_available(void*) override { calls.fetch_add(1); }
    void on_subscription_matched(void* e, dds::SubscriptionMatchedStatus const&) override {
        dds::SubscriptionMatchedStatus s;
        sub_->getSubscriptionMatchedStatus(s, static_cast<Reader*>(e));
        calls.fetch_add(1);
    }
    void on_sample_lost(void*, dds::SampleLostStatus const&) override { calls.fetch_add(1); }

    std::atomic<int> calls{0};

private:
    vexa::dcps::Subscriber* sub_;
};

class WriterListener : public vexa::dcps::api::DWEventForwarder {
public:
    explicit WriterListener(vexa::dcps::Publisher* pub) : pub_(pub) {}
    void on_offered_deadline_missed(void* e, dds::DeadlineMissedStatus const&) override {
        dds::DeadlineMissedStatus s;
        pub_->getOfferedDeadlineMissedStatus(s, static_cast<Writer*>(e));
        calls.fetch_add(1);
    }
    void on_offered_incompatible_qos(void* e, dds::IncompatibleQosStatus const&) override {
        dds::IncompatibleQosStatus s;
        pub_->getOfferedIncompatibleQosStatus(s, static_cast<Writer*>(e));
        calls.fetch_add(1);
    }
    void on_liveliness_lost(void*, dds::LivelinessLostStatus const&) override {
        calls.fetch_add(1);
    }
    void on_publication_matched(void* e, dds::PublicationMatchedStatus const&) override {
        dds::PublicationMatchedStatus s;
        pub_->getPublicationMatchedStatus(s, static_cast<Writer*>(e));
        calls.fetch_add(1);
    }

    std::atomic<int> calls{0};

private:
    vexa::dcps::Publisher* pub_;
};

class DiscoveryRaces : public vexatest::ReaderFixture {
protected:
    template <class Record>
    void report(FakeParticipant::BuiltinIndex which, unsigned const (&peer)[3],
                Record const& record, uint32_t flags, unsigned entityId) {
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof record;
        RTPS::SampleInfo* h = engine_->builtinReader(which)->addHeldChange(
            info, &record, sizeof record, peer, entityId);
        engine_->queueChangeAvailable(engine_->builtinReader(which), nullptr, h);
    }

    // Outlive the participant: its data-handling thread may call them until TearDown.
    std::unique_ptr<ReaderListener> readerListener_;
    std::unique_ptr<WriterListener> writerListener_;
};

TEST_F(DiscoveryRaces, BothSidesAgainstEndpointLifecyclesListenersAndCollector) {
    vexa::dcps::Publisher* pub = dp_->createPublisher(nullptr, nullptr, 0);
    ASSERT_NE(pub, nullptr);
    readerListener_ = std::make_unique<ReaderListener>(sub_);
    writerListener_ = std::make_unique<WriterListener>(pub);
    ReaderListener& readerListener = *readerListener_;
    WriterListener& writerListener = *writerListener_;
    constexpr uint32_t ALL = 0x7FFF;
    Reader* steady = makeReader(qosOf(5));
    ASSERT_EQ(sub_->setReaderListener(&readerListener, ALL, steady), dds::RETCODE_OK);
    std::atomic<bool> stop{false};
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);

    std::thread discovery([&] {
        std::mt19937 rng(1);
        for (int n = 0; !stop.load(); ++n) {
            unsigned const(&peer)[3] = PEERS[rng() % 2];
            unsigned const kind = 0x100u * (1 + rng() % 4);
            dds::PublicationBuiltinTopicData w;
            w.topic_name = "K";
            w.type_name = "Keyed";
            w.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            w.lifespan.duration = {static_cast<int32_t>(5 + rng() % 3), 0};
            dds::SubscriptionBuiltinTopicData r;
            r.topic_name = "K";
            r.type_name = "Keyed";
            r.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            switch (rng() % 12) {
                case 0:
                case 1:
                    report(FakeParticipant::PUBLICATION_READER, peer, w, 1, kind + 2);
                    break;
                case 2:
                    report(FakeParticipant::PUBLICATION_READER, peer, w, 6, kind + 2);
                    break;
                case 3:
                case 4:
                    report(FakeParticipant::SUBSCRIPTION_READER, peer, r, 1, kind + 7);
                    break;
                case 5:
                    report(FakeParticipant::SUBSCRIPTION_READER, peer, r, 6, kind + 7);
                    break;
                case 6:
                    engine_->queueAssertLiveliness(
                        engine_->builtinReader(FakeParticipant::PARTICIPANT_READER), nullptr, peer,
                        rng() % 2);
                    break;
                case 7:
                    engine_->queueParticipantLost(peer);
                    break;
                case 8: {
                    dds::ParticipantBuiltinTopicData p;
                    for (unsigned i = 0; i < 3; ++i) {
                        p.key.value[i] = peer[i];
                    }
                    report(FakeParticipant::PARTICIPANT_READER, peer, p, rng() % 4 == 0 ? 6 : 1,
                           0x1C1);
                    break;
                }
                default:
                    engine_->queueAssertLiveliness(engineOf(steady), steady, peer, kind + 2);
                    break;
            }
            if (n % 16 == 0) {
                engine_->drain();
            }
        }
        engine_->drain();
    });

    auto readers = [&](unsigned seed) {
        std::mt19937 rng(seed);
        // Reader ids are not reused: a subscriber has about 2000 over its life.
        for (int n = 0; n < 600 && !stop.load(); ++n) {
            dds::DataReaderQos q = qosOf(1);
            q.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            Reader* r = sub_->createDR(keyed_, &q, &readerListener, ALL);
            ASSERT_NE(r, nullptr);
            for (int i = 0; i < 3; ++i) {
                q.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
                sub_->setReaderQoS(q, r);
            }
            ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    };
    std::thread readers1(readers, 2u);
    std::thread readers2(readers, 3u);

    std::thread writers([&] {
        std::mt19937 rng(5);
        std::vector<Writer*> mine;
        // Writer ids are not reused either.
        for (int n = 0; n < 900 && !stop.load(); ++n) {
            dds::DataWriterQos q = dds::predefDataWriterQos();
            q.deadline.period = {static_cast<int32_t>(1 + rng() % 3), 0};
            if (mine.size() < 4) {
                auto* bridge = pub->createDW(keyed_, &q, &writerListener, ALL);
                ASSERT_NE(bridge, nullptr);
                mine.push_back(bridge->getEntity());
            } else if (n % 3 == 0) {
                pub->deleteDW(mine.front()->getBridge());
                mine.erase(mine.begin());
            } else {
                pub->setWriterQoS(q, mine[rng() % mine.size()]);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });

    std::thread samples([&] {
        std::mt19937 rng(4);
        while (!stop.load()) {
            unsigned const entity = 0x100u * (1 + rng() % 4) + 2;
            offerFrom(steady, PEERS[rng() % 2], entity, static_cast<int32_t>(rng() % 8), 1,
                      RTPS::SAMPLE_ALIVE, static_cast<int32_t>(0x5000 + rng() % 8));
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
    readers1.join();
    readers2.join();
    writers.join();
    samples.join();
    collector.join();
    settle();
    EXPECT_GT(readerListener.calls.load(), 0);
    EXPECT_GT(writerListener.calls.load(), 0);

    // The writers' books agree with the built-in subscriber's.
    char const* broken = vexatest::brokenWriterBooks(
        *pub, *dp_->getBuiltinSubscriber(),
        {{PEERS[0][0], PEERS[0][1], PEERS[0][2]}, {PEERS[1][0], PEERS[1][1], PEERS[1][2]}});
    EXPECT_EQ(broken, nullptr) << broken;

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
