// The writer's side of discovery under threads: the engine's thread announces, changes and
// removes remote readers and loses their participants, while the application creates, changes
// and deletes writers and the collector and status checks run. It must end without deadlock
// (and, in builds with the lock-order checker, without an inversion), with every writer's books
// in line with the built-in subscriber's.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PublisherFixture.h"
#include "WriterBooks.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "fake/FakeParticipant.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/DataWriterImpl.h"

namespace vexatest {
namespace {

using vexa::dcps::Writer;

constexpr unsigned PEERS[2][3] = {{0xAAAA0101u, 1, 1}, {0xAAAA0202u, 2, 2}};

class WriterMatchingRaces : public PublisherTest {
protected:
    void queueSubscription(unsigned const (&prefix)[3], unsigned entityId, uint32_t flags,
                           int32_t deadlineSec) {
        vexa::dds::SubscriptionBuiltinTopicData s;
        s.topic_name = keyed_->getName();
        s.type_name = "Keyed";
        s.deadline.period = {deadlineSec, 0};
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof s;
        FakeReader* reader = engine_->builtinReader(FakeParticipant::SUBSCRIPTION_READER);
        engine_->queueChangeAvailable(reader, nullptr,
                                      reader->addHeldChange(info, &s, sizeof s, prefix, entityId));
    }
    void queueParticipant(unsigned const (&prefix)[3], uint32_t flags) {
        vexa::dds::ParticipantBuiltinTopicData p;
        RTPS::SampleInfo info{};
        info.statusFlags = flags;
        info.length = sizeof p;
        FakeReader* reader = engine_->builtinReader(FakeParticipant::PARTICIPANT_READER);
        engine_->queueChangeAvailable(reader, nullptr,
                                      reader->addHeldChange(info, &p, sizeof p, prefix, 0x1C1));
    }
};

TEST_F(WriterMatchingRaces, EngineApplicationAndCollectorMeet) {
    vexa::dcps::SubscriberBuiltin* builtin = dp_->getBuiltinSubscriber();
    std::atomic<bool> engineDone{false};

    std::thread application([&] {
        std::vector<Writer*> mine;
        for (int i = 0; i < 300; ++i) {
            if (mine.size() < 4) {
                auto q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
                q.deadline.period = {1 + i % 3, 0};
                if (Writer* w = create(q)) {
                    mine.push_back(w);
                }
            } else if (i % 3 == 0) {
                pub_->deleteDW(mine.front()->getBridge());
                mine.erase(mine.begin());
            } else {
                Writer* w = mine[static_cast<size_t>(i) % mine.size()];
                auto q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
                q.deadline.period = {1 + (i / 2) % 3, 0};
                pub_->setWriterQoS(q, w);
            }
        }
    });
    std::thread collector([&] {
        while (!engineDone.load()) {
            dp_->getTimeService().advance(3 * 1000000u);
            dp_->collectGarbage();
            dp_->periodicStatusCheck();
            dp_->handleSubscriptions();
            std::this_thread::yield();
        }
    });

    for (int i = 0; i < 600; ++i) {
        unsigned const(&peer)[3] = PEERS[i % 2];
        unsigned const entityId = 0x107u + (static_cast<unsigned>((i / 2) % 6) << 8);
        queueSubscription(peer, entityId, i % 7 == 0 ? 6u : 1u, 1 + i % 3);
        if (i % 50 == 0) {
            engine_->queueParticipantLost(peer);
        }
        if (i % 97 == 0) {
            queueParticipant(peer, 6);
        }
        if (i % 13 == 0) {
            engine_->queueAssertLiveliness(
                engine_->builtinReader(FakeParticipant::PARTICIPANT_READER), nullptr, peer, 0);
        }
        if (i % 20 == 0 && !engine_->drainFor(std::chrono::seconds(60))) {
            break;
        }
    }
    EXPECT_TRUE(engine_->drainFor(std::chrono::seconds(60))) << "the engine's thread is stuck";
    application.join();
    engineDone = true;
    collector.join();

    char const* broken = brokenWriterBooks(
        *pub_, *builtin,
        {{PEERS[0][0], PEERS[0][1], PEERS[0][2]}, {PEERS[1][0], PEERS[1][1], PEERS[1][2]}});
    EXPECT_EQ(broken, nullptr) << broken;
}

}  // namespace
}  // namespace vexatest
