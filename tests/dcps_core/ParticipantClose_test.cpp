// The participant's engine calls made after its mutex is released, and what close does to
// them: close waits for calls in flight before the engine participant goes, and calls after
// close reach no engine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "CoreFixture.h"
#include "dcps/topic/Topic.h"

using namespace std::chrono_literals;
using vexa::dcps::DomainParticipant;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;
using vexatest::FakeWriter;

namespace {

class ParticipantClose : public ::testing::Test {
protected:
    void SetUp() override {
        dp_ = vexatest::factory().createParticipant(vexatest::testDomain(), nullptr);
        ASSERT_NE(dp_, nullptr);
        engine_ = FakeEngine::instance().newest();
        participantWriter_ = engine_->builtinWriter(FakeParticipant::PARTICIPANT_WRITER);
        topicWriter_ = engine_->builtinWriter(FakeParticipant::TOPIC_WRITER);
        vexatest::registerFakeTypes(dp_);
    }
    void TearDown() override {
        vexatest::factory().delete_participant(dp_);
        vexatest::factory().collectGarbage();
        vexatest::factory().collectGarbage();
    }

    static vexa::dds::DomainParticipantQos withUserData(uint8_t byte) {
        vexa::dds::DomainParticipantQos qos = vexa::dds::predefParticipantQos();
        qos.user_data.value = {byte};
        return qos;
    }

    DomainParticipant* dp_ = nullptr;
    FakeParticipant* engine_ = nullptr;
    // Built-in writers outlive their engine participant in the fake.
    FakeWriter* participantWriter_ = nullptr;
    FakeWriter* topicWriter_ = nullptr;
};

}  // namespace

TEST_F(ParticipantClose, SetQosTellsTheEngineOnlyOfNewUserData) {
    dp_->setQos(vexa::dds::predefParticipantQos());
    EXPECT_TRUE(engine_->qosChanges().empty());
    dp_->setQos(withUserData(5));
    auto const changes = engine_->qosChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].user_data.value, vexa::dds::OctetSeq{5});
    EXPECT_EQ(changes[0].key, dp_->participantData().key);
    EXPECT_EQ(dp_->getQos().user_data.value, vexa::dds::OctetSeq{5});
}

TEST_F(ParticipantClose, AssertLivelinessReachesTheParticipantWriter) {
    vexa::dds::Time_t const before = dp_->getLivelinessAssertionTime();
    dp_->assert_liveliness();
    EXPECT_EQ(participantWriter_->livelinessAssertions(), 1u);
    EXPECT_FALSE(dp_->getLivelinessAssertionTime() < before);
}

// A close that meets an engine call in flight destroys the engine participant only after the
// call has returned.
TEST_F(ParticipantClose, CloseWaitsForEngineCallsInFlight) {
    struct Case {
        char const* name;
        std::function<vexatest::CallGate&()> gate;
        std::function<void(DomainParticipant*)> call;
    } const cases[] = {
        {"setQos", [this]() -> vexatest::CallGate& { return engine_->setQosGate(); },
         [](DomainParticipant* dp) { dp->setQos(withUserData(9)); }},
        {"assert_liveliness",
         [this]() -> vexatest::CallGate& { return participantWriter_->livelinessGate(); },
         [](DomainParticipant* dp) { dp->assert_liveliness(); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        if (dp_->isMarked()) {
            TearDown();
            SetUp();
        }
        vexatest::CallGate& gate = c.gate();
        gate.close();
        std::thread caller([&c, this] { c.call(dp_); });
        ASSERT_TRUE(gate.waitEntered(1, 5s));
        unsigned const destroyed = FakeEngine::instance().destroyed();
        std::atomic<bool> closed{false};
        std::thread closer([this, &closed] {
            vexatest::factory().delete_participant(dp_);
            closed = true;
        });
        // The closer must now wait for the caller; give it time to go wrong.
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(closed.load());
        EXPECT_EQ(FakeEngine::instance().destroyed(), destroyed);
        gate.open();
        caller.join();
        closer.join();
        EXPECT_EQ(FakeEngine::instance().destroyed(), destroyed + 1);
        EXPECT_TRUE(dp_->isMarked());
    }
}

// setQos and assert_liveliness racing close: run under the sanitizers, nothing touches a
// destroyed engine participant.
TEST_F(ParticipantClose, CloseRacingEngineCalls) {
    for (int round = 0; round < 20; ++round) {
        if (round > 0) {
            TearDown();
            SetUp();
        }
        std::atomic<bool> stop{false};
        std::thread qos([this, &stop] {
            for (uint8_t i = 0; !stop.load(); ++i) {
                dp_->setQos(withUserData(i));
            }
        });
        std::thread liveliness([this, &stop] {
            while (!stop.load()) {
                dp_->assert_liveliness();
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + round % 5));
        vexatest::factory().delete_participant(dp_);
        stop = true;
        qos.join();
        liveliness.join();
        EXPECT_EQ(dp_->getRTPS(), nullptr);
    }
}

// After close nothing reaches the engine, and nothing fails loudly.
TEST_F(ParticipantClose, CallsAfterCloseReachNoEngine) {
    vexa::dcps::Topic* topic = dp_->createTopic("Before", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(topic, nullptr);
    vexatest::factory().delete_participant(dp_);
    size_t const participantChanges = participantWriter_->changes().size();
    size_t const topicChanges = topicWriter_->changes().size();

    dp_->setQos(withUserData(3));
    dp_->assert_liveliness();
    vexa::dcps::Topic* after = dp_->createTopic("After", "Keyed", nullptr, nullptr, 0);
    EXPECT_EQ(dp_->deleteTopic(topic), vexa::dds::RETCODE_OK);
    if (after != nullptr) {
        dp_->setTopicQos(after, vexa::dds::predefTopicQos());
    }
    dp_->closedByApi();

    EXPECT_EQ(participantWriter_->livelinessAssertions(), 0u);
    EXPECT_EQ(participantWriter_->changes().size(), participantChanges);
    EXPECT_EQ(topicWriter_->changes().size(), topicChanges);
    EXPECT_EQ(dp_->getRTPS(), nullptr);
}

// closedByApi: the API layer closed the participant. The departure is announced and the
// engine participant goes, but the participant is not marked: delete_participant does that
// later, without a second departure.
TEST_F(ParticipantClose, ClosedByApiAnnouncesTheDepartureWithoutMarking) {
    unsigned const destroyed = FakeEngine::instance().destroyed();
    int32_t const count = vexatest::factory().participantCount();
    dp_->closedByApi();
    EXPECT_FALSE(dp_->isHandlingData());
    EXPECT_FALSE(dp_->isMarked());
    EXPECT_EQ(dp_->getListenerMask(), 0u);
    EXPECT_EQ(FakeEngine::instance().destroyed(), destroyed + 1);
    auto const changes = participantWriter_->changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].info.statusFlags, 6u);

    vexatest::factory().delete_participant(dp_);
    EXPECT_TRUE(dp_->isMarked());
    EXPECT_EQ(vexatest::factory().participantCount(), count - 1);
    EXPECT_EQ(participantWriter_->changes().size(), 1u);
}
