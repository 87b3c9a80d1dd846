// Writers deleted and participants closed while other threads use them: no engine object is
// used after it went (the fake engine fails the test on any call to a closed writer, and the
// sanitizer builds see the rest).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <variant>
#include <vector>

#include "PublisherFixture.h"
#include "vexa/DataWriterImpl.h"

using vexa::dcps::Writer;
using vexa::dds::DataWriterQos;
using vexatest::FakeParticipant;
using vexatest::FakeWriter;
using vexatest::KeyedSample;

namespace {
using PublisherRaces = vexatest::PublisherTest;
}  // namespace

TEST_F(PublisherRaces, DeleteWhileQosChangesAndAcknowledgementWaitsRun) {
    for (int round = 0; round < 20; ++round) {
        Writer* w =
            create(qos(vexa::dds::VOLATILE_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS));
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        engine_->setDeliveryResult(FakeParticipant::DeliveryResult::WaitForAck);
        std::atomic<bool> stop{false};
        std::atomic<int> deleted{0};
        std::thread qosThread([&] {
            DataWriterQos q;
            w->getQoS(q);
            for (int i = 0; !stop.load(); ++i) {
                q.deadline.period = {1 + i % 2, 0};
                pub_->setWriterQoS(q, w);
            }
        });
        std::thread ackThread([&] {
            while (!stop.load()) {
                vexa::dds::ReturnCode_t const rc = pub_->waitForWriterAcknowledgements({30, 0}, w);
                if (rc == vexa::dds::RETCODE_ALREADY_DELETED ||
                    rc == vexa::dds::RETCODE_NOT_ENABLED) {
                    ++deleted;
                    return;
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4 * 5));
        pub_->deleteDW(w->getBridge());
        ackThread.join();  // the 30 s wait ends within a slice of the deletion
        stop = true;
        qosThread.join();
        EXPECT_EQ(deleted.load(), 1);
        EXPECT_TRUE(engine->closed());
        EXPECT_EQ(w->getRTPS(), nullptr);
        dp_->collectGarbage();
        dp_->collectGarbage();
    }
}

TEST_F(PublisherRaces, CloseWhileAnotherThreadWrites) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS));
    Writer* reliable =
        create(qos(vexa::dds::VOLATILE_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS));
    engine_->setDeliveryResult(FakeParticipant::DeliveryResult::WaitForAck);
    std::atomic<int> writes{0};
    std::atomic<bool> closedSeen{false};
    std::thread writer([&] {
        for (int i = 0; !closedSeen.load(); ++i) {
            KeyedSample s{i % 50, i};
            vexa::dds::ReturnCode_t const rc = pub_->write(w, &s, vexa::dds::HANDLE_NIL, nullptr);
            if (rc == vexa::dds::RETCODE_ALREADY_DELETED) {
                closedSeen = true;
            } else if (rc == vexa::dds::RETCODE_OK) {
                ++writes;
            } else {
                ADD_FAILURE() << "write gave " << rc;
                writes = 100;  // let the main thread go on
                return;
            }
        }
    });
    std::thread waiter([&] {
        vexa::dds::ReturnCode_t const rc = pub_->waitForWriterAcknowledgements({30, 0}, reliable);
        EXPECT_TRUE(rc == vexa::dds::RETCODE_ALREADY_DELETED ||
                    rc == vexa::dds::RETCODE_NOT_ENABLED)
            << rc;
    });
    while (writes.load() < 100) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    vexatest::factory().delete_participant(dp_);
    writer.join();
    waiter.join();

    // Afterwards every writer operation fails cleanly, without an engine.
    KeyedSample s{1, 1};
    EXPECT_EQ(pub_->write(w, &s, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_ALREADY_DELETED);
    EXPECT_EQ(pub_->dispose(w, &s, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_ALREADY_DELETED);
    vexa::dds::InstanceHandle_t const h = pub_->registerInstance(w, &s, nullptr);
    EXPECT_EQ(pub_->unregisterInstance(w, &s, h, nullptr), vexa::dds::RETCODE_ALREADY_DELETED);
    EXPECT_EQ(pub_->waitForWriterAcknowledgements({1, 0}, reliable),
              vexa::dds::RETCODE_NOT_ENABLED);
    EXPECT_EQ(pub_->waitForAcknowledgements({1, 0}), vexa::dds::RETCODE_OK);
    DataWriterQos q;
    w->getQoS(q);
    q.deadline.period = {3, 0};
    EXPECT_EQ(pub_->setWriterQoS(q, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(create(qos(vexa::dds::VOLATILE_DURABILITY_QOS)), nullptr);
    pub_->deleteDW(w->getBridge());
    EXPECT_TRUE(w->isMarked());
}

// A reliable write whose engine history is full waits inside addChange for acknowledgements.
// The engine's one parser thread delivers them, but a discovery record ahead of them takes it
// into the core's built-in handlers, which need the participant mutex first: the write must
// not hold that mutex while it waits.
TEST_F(PublisherRaces, WriteWaitingForAcknowledgementsLeavesTheParticipantFree) {
    Writer* w = create(
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 10));
    ASSERT_NE(w, nullptr);
    FakeWriter* engine = engineOf(w);
    KeyedSample first{1, 1};
    ASSERT_EQ(pub_->write(w, &first, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);

    engine->blockAddsUntilAcknowledged(std::chrono::seconds(3));
    std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
    std::thread writer([&] {
        KeyedSample second{1, 2};
        rc = pub_->write(w, &second, vexa::dds::HANDLE_NIL, nullptr);
    });
    ASSERT_TRUE(engine->waitAddBlocked(std::chrono::seconds(10)));
    // A tick of the data-handling thread meanwhile must not keep the participant mutex while
    // it waits for the publisher's.
    std::thread([this] { dp_->periodicStatusCheck(); }).join();
    {
        // The parser in the built-in handlers, then on to the acknowledgement.
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(dp_->getMutex());
        engine->acknowledge();
    }
    writer.join();
    EXPECT_EQ(rc.load(), vexa::dds::RETCODE_OK);

    // Both samples reached the engine, in the order written.
    std::vector<FakeWriter::Change> const changes = engine->changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_LT(changes[0].handle, changes[1].handle);
    EXPECT_NE(std::get<std::vector<uint8_t>>(changes[0].data),
              std::get<std::vector<uint8_t>>(changes[1].data));
}
