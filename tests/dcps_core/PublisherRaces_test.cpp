// Writers deleted and participants closed while other threads use them: no engine object is
// used after it went (the fake engine fails the test on any call to a closed writer, and the
// sanitizer builds see the rest).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
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
    // The write waits for room until its own max_blocking_time.
    DataWriterQos q =
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 10);
    q.reliability.max_blocking_time = {10, 0};
    Writer* w = create(q);
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

// The same parser thread, but the discovery record is about a reader of the waiting writer's
// own publisher: its handlers take the publisher mutex too, so the write must wait for room
// holding neither. The acknowledgement after the record then frees the write long before its
// max_blocking_time, with both samples in order and nothing left behind.
TEST_F(PublisherRaces, WriteWaitingForRoomLeavesThePublisherFree) {
    using namespace std::chrono_literals;
    struct Case {
        char const* name;
        std::function<vexa::dds::ReturnCode_t(vexa::dcps::Publisher*, Writer*, KeyedSample*)> op;
    } const cases[] = {
        {"write", [](vexa::dcps::Publisher* p, Writer* w,
                     KeyedSample* s) { return p->write(w, s, vexa::dds::HANDLE_NIL, nullptr); }},
        {"dispose",
         [](vexa::dcps::Publisher* p, Writer* w, KeyedSample* s) {
             return p->dispose(w, s, vexa::dds::HANDLE_NIL, nullptr);
         }},
        {"unregister",
         [](vexa::dcps::Publisher* p, Writer* w, KeyedSample* s) {
             return p->unregisterInstance(w, s, vexa::dds::HANDLE_NIL, nullptr);
         }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q =
            qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 10);
        q.reliability.max_blocking_time = {3, 0};
        Writer* w = create(q);
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        KeyedSample first{1, 1};
        ASSERT_NE(pub_->registerInstance(w, &first, nullptr), vexa::dds::HANDLE_NIL);
        ASSERT_EQ(pub_->write(w, &first, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);

        engine->blockAddsUntilAcknowledged(3s);
        std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
        std::thread writer([&] {
            KeyedSample second{1, 2};
            rc = c.op(pub_, w, &second);
        });
        ASSERT_TRUE(engine->waitAddBlocked(10s));
        std::thread parser([&] {
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(dp_->getMutex());
            uint32_t const prefix[3] = {7, 7, 7};
            pub_->looseDR(w, prefix, 0x107);
            engine->acknowledge();
        });
        parser.join();
        writer.join();
        EXPECT_EQ(rc.load(), vexa::dds::RETCODE_OK);
        std::vector<FakeWriter::Change> const changes = engine->changes();
        ASSERT_EQ(changes.size(), 2u);
        EXPECT_LT(changes[0].handle, changes[1].handle);
        EXPECT_EQ(changes[0].info.statusFlags, RTPS::SAMPLE_ALIVE);
        EXPECT_NE(changes[1].info.statusFlags, 0u);
        pub_->deleteDW(w->getBridge());
    }
}

// No room comes: TIMEOUT once max_blocking_time is over (at once for none), the change is not
// in the writer's history, and a later write goes through once there is room.
TEST_F(PublisherRaces, AWriteThatFindsNoRoomTimesOutAndTakesItsSampleBack) {
    using namespace std::chrono_literals;
    struct Case {
        char const* name;
        vexa::dds::Duration_t maxBlocking;
        vexa::dds::ReliabilityQosPolicyKind reliability;
    } const cases[] = {
        {"200 ms", {0, 200000000}, vexa::dds::RELIABLE_RELIABILITY_QOS},
        {"none", {0, 0}, vexa::dds::RELIABLE_RELIABILITY_QOS},
        {"best effort", {5, 0}, vexa::dds::BEST_EFFORT_RELIABILITY_QOS},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        DataWriterQos q = qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, c.reliability, 10);
        q.reliability.max_blocking_time = c.maxBlocking;
        Writer* w = create(q);
        ASSERT_NE(w, nullptr);
        FakeWriter* engine = engineOf(w);
        KeyedSample first{1, 1};
        ASSERT_EQ(pub_->write(w, &first, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
        engine->blockAddsUntilAcknowledged(30s);
        KeyedSample second{1, 2};
        EXPECT_EQ(pub_->write(w, &second, vexa::dds::HANDLE_NIL, nullptr),
                  vexa::dds::RETCODE_TIMEOUT);
        EXPECT_EQ(w->sampleCount(), 1u);
        engine->acknowledge();
        EXPECT_EQ(pub_->write(w, &second, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
        EXPECT_EQ(w->sampleCount(), 2u);
        EXPECT_EQ(engine->changes().size(), 2u);
        pub_->deleteDW(w->getBridge());
    }
}

// A writer deleted while a write waits for room without a time limit: the write ends with
// ALREADY_DELETED within a slice, and only then is the engine writer closed and the writer
// freed by the collector.
TEST_F(PublisherRaces, DeletingAWriterEndsAWriteWaitingForRoom) {
    using namespace std::chrono_literals;
    DataWriterQos q =
        qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS, 10);
    q.reliability.max_blocking_time = vexa::dds::DURATION_INFINITE;
    Writer* w = create(q);
    ASSERT_NE(w, nullptr);
    FakeWriter* engine = engineOf(w);
    engine->blockAddsUntilAcknowledged(30s);
    std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
    std::thread writer([&] {
        KeyedSample s{1, 1};
        rc = pub_->write(w, &s, vexa::dds::HANDLE_NIL, nullptr);
    });
    ASSERT_TRUE(engine->waitAddBlocked(10s));
    pub_->deleteDW(w->getBridge());
    dp_->collectGarbage();
    dp_->collectGarbage();
    writer.join();
    EXPECT_EQ(rc.load(), vexa::dds::RETCODE_ALREADY_DELETED);
    EXPECT_TRUE(engine->closed());
    dp_->collectGarbage();
    dp_->collectGarbage();
}

// A publisher deleted while a call of its deleted writer is still in the engine: the collector
// keeps the publisher (and so the writer the call ends on) for as many passes as the call
// lasts, and frees both once it has ended.
TEST_F(PublisherRaces, ADeletedPublisherOutlivesTheLastCallOfItsWriters) {
    using namespace std::chrono_literals;
    DataWriterQos q = qos(vexa::dds::VOLATILE_DURABILITY_QOS, vexa::dds::RELIABLE_RELIABILITY_QOS);
    q.liveliness.kind = vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS;
    Writer* w = create(q);
    ASSERT_NE(w, nullptr);
    FakeWriter* engine = engineOf(w);
    engine->livelinessGate().close();
    std::atomic<vexa::dds::ReturnCode_t> rc{vexa::dds::RETCODE_ERROR};
    std::thread caller([&] { rc = pub_->assertLiveliness(w); });
    ASSERT_TRUE(engine->livelinessGate().waitEntered(1, 10s));

    int32_t const id = pub_->getId();
    pub_->deleteDW(w->getBridge());
    ASSERT_EQ(dp_->deletePublisher(pub_), vexa::dds::RETCODE_OK);
    for (int pass = 0; pass < 4; ++pass) {
        dp_->collectGarbage();
        EXPECT_TRUE(dp_->contains_entity(id)) << "pass " << pass;
    }
    engine->livelinessGate().open();
    caller.join();
    EXPECT_EQ(rc.load(), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(engine->closed());
    for (int pass = 0; pass < 4; ++pass) {
        dp_->collectGarbage();
    }
    EXPECT_FALSE(dp_->contains_entity(id));
}
