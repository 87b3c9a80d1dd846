#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "CoreFixture.h"
#include "dcps/condition/WaitSet.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/topic/Topic.h"

using vexa::dcps::DomainParticipant;
using vexa::dcps::Topic;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;
using vexatest::FakeWriter;

namespace {

class TopicTest : public ::testing::Test {
protected:
    void SetUp() override {
        dp_ = vexatest::factory().createParticipant(vexatest::testDomain(), nullptr);
        ASSERT_NE(dp_, nullptr);
        engine_ = FakeEngine::instance().newest();
        vexatest::registerFakeTypes(dp_);
    }
    void TearDown() override {
        vexatest::factory().delete_participant(dp_);
        vexatest::factory().collectGarbage();
        vexatest::factory().collectGarbage();
    }
    FakeWriter* topicWriter() const {
        return engine_->builtinWriter(FakeParticipant::TOPIC_WRITER);
    }

    DomainParticipant* dp_ = nullptr;
    FakeParticipant* engine_ = nullptr;
};

}  // namespace

TEST_F(TopicTest, CreationAnnouncesTheTopicWithAKeyThatTellsTheKind) {
    Topic* keyed = dp_->createTopic("A", "Keyed", nullptr, nullptr, 0);
    Topic* keyless = dp_->createTopic("B", "Keyless", nullptr, nullptr, 0);
    ASSERT_TRUE(keyed && keyless);
    EXPECT_TRUE(keyed->isEnabled());
    auto const changes = topicWriter()->changes();
    ASSERT_EQ(changes.size(), 2u);
    auto const& a = std::get<vexa::dds::TopicBuiltinTopicData>(changes[0].data);
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(a.type_name, "Keyed");
    EXPECT_EQ(changes[0].info.instanceHandle, keyed->getId());
    EXPECT_EQ(changes[0].info.statusFlags, 1u);
    EXPECT_EQ(reinterpret_cast<unsigned char const*>(a.key.value)[0], 0x8A);
    auto const& b = std::get<vexa::dds::TopicBuiltinTopicData>(changes[1].data);
    EXPECT_EQ(reinterpret_cast<unsigned char const*>(b.key.value)[0], 0x0A);
    EXPECT_NE(a.key, b.key);
}

TEST_F(TopicTest, CreationRefusals) {
    ASSERT_NE(dp_->createTopic("T", "Keyed", nullptr, nullptr, 0), nullptr);
    struct Case {
        char const* name;
        char const* topic;
        char const* type;
        void (*before)(DomainParticipant*);
    } const cases[] = {
        {"empty topic name", "", "Keyed", nullptr},
        {"empty type name", "U", "", nullptr},
        {"name in use", "T", "Keyed", nullptr},
        {"type not registered", "U", "Unregistered", nullptr},
        // Ids are never reused: the last of the 2042 goes, and a deleted topic frees none.
        {"no topic id left", "U", "Keyed",
         [](DomainParticipant* dp) {
             vexa::dcps::Topic* t = dp->createTopic("Deleted", "Keyed", nullptr, nullptr, 0);
             ASSERT_NE(t, nullptr);
             ASSERT_EQ(dp->deleteTopic(t), vexa::dds::RETCODE_OK);
             for (int i = 3; i <= 2042; ++i) {
                 ASSERT_NE(
                     dp->createTopic("Filler" + std::to_string(i), "Keyed", nullptr, nullptr, 0),
                     nullptr)
                     << i;
             }
         }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.before != nullptr) {
            c.before(dp_);
        }
        EXPECT_EQ(dp_->createTopic(c.topic, c.type, nullptr, nullptr, 0), nullptr);
    }
}

TEST_F(TopicTest, AnAnnouncementTheEngineRefusesDoesNotStopCreation) {
    topicWriter()->setAddResult(FakeWriter::AddResult::Throw);
    EXPECT_NE(dp_->createTopic("T", "Keyed", nullptr, nullptr, 0), nullptr);
}

TEST_F(TopicTest, DeletedNameIsFreeAtOnceWithANewId) {
    Topic* t = dp_->createTopic("T", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(dp_->deleteTopic(t), vexa::dds::RETCODE_OK);
    EXPECT_TRUE(t->isMarked());
    EXPECT_EQ(topicWriter()->changes().back().info.statusFlags, 6u);
    EXPECT_EQ(dp_->deleteTopic(t), vexa::dds::RETCODE_OK);  // already marked
    Topic* again = dp_->createTopic("T", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->getId(), t->getId());
    EXPECT_TRUE(dp_->contains_entity(t->getId()));  // its id stays taken
    EXPECT_EQ(dp_->deleteTopic(nullptr), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
}

TEST_F(TopicTest, TopicInUseIsNotDeleted) {
    Topic* t = dp_->createTopic("T", "Keyed", nullptr, nullptr, 0);
    auto* writer = reinterpret_cast<vexa::dcps::Writer*>(0x1000);
    EXPECT_EQ(dp_->addTopicWriter(t, writer), vexatest::keyedType().typeSupportCB());
    EXPECT_EQ(dp_->deleteTopic(t), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_TRUE(dp_->removeTopicWriter(t, writer));
    EXPECT_FALSE(dp_->removeTopicWriter(t, writer));
    EXPECT_EQ(dp_->deleteTopic(t), vexa::dds::RETCODE_OK);
    EXPECT_EQ(dp_->addTopicWriter(t, writer), nullptr);  // marked
}

// Which differences make a remote topic inconsistent.
TEST_F(TopicTest, Consistency) {
    Topic* t = dp_->createTopic("T", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(t, nullptr);
    using R = vexa::dds::TopicBuiltinTopicData;
    struct Case {
        char const* name;
        void (*change)(R&);
        bool consistent;
    } const cases[] = {
        {"same", [](R&) {}, true},
        {"history depth", [](R& r) { r.history.depth = 99; }, true},
        {"transport priority", [](R& r) { r.transport_priority.value = 9; }, true},
        {"topic data", [](R& r) { r.topic_data.value = {1}; }, true},
        {"type name", [](R& r) { r.type_name = "Other"; }, false},
        {"max blocking time", [](R& r) { r.reliability.max_blocking_time.nanosec += 1; }, false},
        {"durability kind",
         [](R& r) { r.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS; }, false},
        {"lease",
         [](R& r) {
             r.liveliness.lease_duration = {1, 0};
         },
         false},
    };
    int32_t inconsistent = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        R remote = t->getAnnouncedData();
        c.change(remote);
        EXPECT_EQ(dp_->discoverRemoteTopic(remote), c.consistent);
        inconsistent += c.consistent ? 0 : 1;
    }
    vexa::dds::InconsistentTopicStatus status;
    ASSERT_EQ(t->getInconsistentTopicStatus(status), vexa::dds::RETCODE_OK);
    EXPECT_EQ(status.total_count, inconsistent);
    EXPECT_EQ(status.total_count_change, inconsistent);
    EXPECT_EQ(t->get_status_changes() & vexa::dds::INCONSISTENT_TOPIC_STATUS, 0u);
    ASSERT_EQ(t->getInconsistentTopicStatus(status), vexa::dds::RETCODE_OK);
    EXPECT_EQ(status.total_count_change, 0);
}

// A remote topic found inconsistent wakes a wait set that waits on the topic's status
// condition, long before the wait's limit.
TEST_F(TopicTest, AnInconsistentRemoteTopicWakesAWaitSet) {
    Topic* t = dp_->createTopic("T", "Keyed", nullptr, nullptr, 0);
    ASSERT_NE(t, nullptr);
    t->getStatusCondition().set_enabled_statuses(vexa::dds::INCONSISTENT_TOPIC_STATUS);
    vexa::dcps::WaitSet ws;
    ASSERT_EQ(ws.attachCondition(&t->getStatusCondition()), vexa::dds::RETCODE_OK);
    auto const start = std::chrono::steady_clock::now();
    std::thread discovery([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        vexa::dds::TopicBuiltinTopicData remote = t->getAnnouncedData();
        remote.type_name = "Other";
        EXPECT_FALSE(dp_->discoverRemoteTopic(remote));
    });
    auto triggered = std::make_unique<vexa::dcps::WaitSet::ConditionArray>();
    unsigned count = 0;
    vexa::dds::ReturnCode_t const rc = ws.wait(*triggered, count, {10, 0});
    discovery.join();
    EXPECT_EQ(rc, vexa::dds::RETCODE_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ((*triggered)[0], &t->getStatusCondition());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ws.detachCondition(&t->getStatusCondition());
}
