#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ApiFixture.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/service/TypeSupportCB.h"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/topic/Topic.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/topic/BuiltinTopicTypeSupportFactoryTemplate.hpp"

namespace {

using apitest::expectThrowText;
using dds::domain::DomainParticipant;

class ParticipantTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dp_ = new DomainParticipant(apitest::DOMAIN);
        apitest::registerKeyed(*dp_);
    }
    static void TearDownTestSuite() {
        delete dp_;
        dp_ = nullptr;
    }
    static DomainParticipant* dp_;
};

DomainParticipant* ParticipantTest::dp_ = nullptr;

TEST(ApiStartup, theFactoryKnowsTheFourBuiltinTypesWithTheApiFactories) {
    vexa::dcps::DPFactory* f = vexa::dcps::DCPSservice::getInstance().getFactory();
    ASSERT_NE(f, nullptr);
    struct Row {
        char const* topic;
        char const* type;
        vexa::dcps::api::TypeSupportFactoryImpl* factory;
    } const rows[] = {
        {"DCPSParticipant", "dds::topic::ParticipantBuiltinTopicData",
         vexa::topic::ParticipantBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSTopic", "dds::topic::TopicBuiltinTopicData",
         vexa::topic::TopicBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData",
         vexa::topic::PublicationBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
        {"DCPSSubscription", "dds::topic::SubscriptionBuiltinTopicData",
         vexa::topic::SubscriptionBuiltinTopicDataTypeSupportFactory::getTypeSupportFactory()},
    };
    for (Row const& row : rows) {
        vexa::dcps::TypeSupportCB* cb = f->getBuiltinTypeSupport(row.topic);
        ASSERT_NE(cb, nullptr) << row.topic;
        EXPECT_EQ(cb->typeName, row.type);
        EXPECT_EQ(cb->factory_, row.factory) << row.topic;
    }
}

// The history against resource-limits rule, through create_topic and default_topic_qos(q).
TEST_F(ParticipantTest, createTopicAppliesTheConsistencyRule) {
    struct Case {
        int32_t depth, ms, mspi;
        char const* error;         // create_topic; null: accepted
        char const* defaultError;  // default_topic_qos(q)
    } const cases[] = {
        {5, -1, 3,
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at DomainParticipantDelegate:343",
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at DomainParticipantDelegate:300"},
        {1, 2, 3, "QoS RESOURCR_LIMITS has inconsistent values at DomainParticipantDelegate:347",
         "QoS RESOURCR_LIMITS has inconsistent values at DomainParticipantDelegate:304"},
        {5, 4, -1,
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at DomainParticipantDelegate:343",
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at DomainParticipantDelegate:300"},
        {1, -1, -1, nullptr, nullptr},
        {3, 6, 3, nullptr, nullptr},
    };
    dds::topic::qos::TopicQos const original = (*dp_)->default_topic_qos();
    int n = 0;
    for (Case const& c : cases) {
        dds::topic::qos::TopicQos q = original;
        q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, c.depth));
        q.policy(dds::core::policy::ResourceLimits(c.ms, -1, c.mspi));
        std::string const name = "Rule" + std::to_string(n++);
        if (c.error != nullptr) {
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { (*dp_)->create_topic(name, "Keyed", q); }, c.error);
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { (*dp_)->default_topic_qos(q); }, c.defaultError);
            EXPECT_EQ((*dp_)->default_topic_qos()->history().depth(), original->history().depth());
        } else {
            vexa::dcps::Topic* t = (*dp_)->create_topic(name, "Keyed", q);
            ASSERT_NE(t, nullptr) << name;
            EXPECT_EQ((*dp_)->delete_topic(t), vexa::dds::RETCODE_OK);
            (*dp_)->default_topic_qos(q);
            EXPECT_EQ((*dp_)->default_topic_qos()->history().depth(), c.depth);
        }
    }
    (*dp_)->default_topic_qos(original);
}

TEST_F(ParticipantTest, createTopicWithBothNamesEmptyIsRefusedBeforeTheCore) {
    expectThrowText<dds::core::InvalidArgumentError>(
        [&] { (*dp_)->create_topic("", "", (*dp_)->default_topic_qos()); },
        "dds::core::InvalidArgumentError : create_topic at DomainParticipantDelegate:329");
}

TEST_F(ParticipantTest, refusedDefaultPresentationLeavesTheStoredValue) {
    using Scope = dds::core::policy::PresentationAccessScopeKind;
    dds::pub::qos::PublisherQos pub = dp_->default_publisher_qos();
    pub.policy(dds::core::policy::Presentation(Scope::TOPIC, false, false));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { dp_->default_publisher_qos(pub); },
        "UnsupportedError : QoS PRESENTATION has unsupported value at "
        "DomainParticipantDelegate:237");
    EXPECT_EQ(dp_->default_publisher_qos()->presentation().access_scope(), Scope::INSTANCE);

    dds::sub::qos::SubscriberQos sub = dp_->default_subscriber_qos();
    sub.policy(dds::core::policy::Presentation(Scope::GROUP, false, false));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { dp_->default_subscriber_qos(sub); },
        "UnsupportedError : QoS PRESENTATION has unsupported value at "
        "DomainParticipantDelegate:265");
    EXPECT_EQ(dp_->default_subscriber_qos()->presentation().access_scope(), Scope::INSTANCE);
}

TEST_F(ParticipantTest, qosRoundTripAndDefaultTopicQos) {
    dds::domain::qos::DomainParticipantQos q = dp_->qos();
    q.policy(dds::core::policy::UserData(dds::core::ByteSeq{1, 2, 3}));
    dp_->qos(q);
    EXPECT_EQ(dp_->qos()->user_data().value(), (dds::core::ByteSeq{1, 2, 3}));

    dds::topic::qos::TopicQos t = dp_->default_topic_qos();
    t.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, 4));
    dp_->default_topic_qos(t);
    EXPECT_EQ(dp_->default_topic_qos()->history().depth(), 4);
    t.policy(dds::core::policy::ResourceLimits(2, -1, -1));
    expectThrowText<dds::core::InconsistentPolicyError>(
        [&] { dp_->default_topic_qos(t); },
        "QoS HISTORY is inconsistent with RESOURCR_LIMITS at DomainParticipantDelegate:300");
    EXPECT_EQ(dp_->default_topic_qos()->resource_limits().max_samples(), -1);
}

// The topic operations of the participant refuse a null topic, each with its text.
TEST_F(ParticipantTest, topicOperationsRefuseANullTopic) {
    dds::core::status::InconsistentTopicStatus status;
    expectThrowText<dds::core::PreconditionNotMetError>(
        [&] { (*dp_)->getInconsistentTopicStatus(nullptr, status); },
        "Topic disabled at DomainParticipantDelegate:407");
    expectThrowText<dds::core::NullReferenceError>(
        [&] { (*dp_)->setTopicQoS(nullptr, dp_->default_topic_qos()); },
        "Topic does not exist at DomainParticipantDelegate:420");
    vexa::dcps::Topic* t = (*dp_)->create_topic("Inconsistent", "Keyed", dp_->default_topic_qos());
    ASSERT_NE(t, nullptr);
    (*dp_)->getInconsistentTopicStatus(t, status);
    EXPECT_EQ(status.total_count(), 0);
    EXPECT_EQ((*dp_)->delete_topic(t), vexa::dds::RETCODE_OK);
}

TEST_F(ParticipantTest, lookupOfAnUnknownTopicIsAnEmptyReference) {
    EXPECT_TRUE((*dp_)->lookup_topic_description("NoSuchTopic").expired());
}

TEST(ParticipantFind, nilForAnUnknownDomainAndOnceTheDelegateHasGone) {
    EXPECT_TRUE(dds::domain::find(17).is_nil());
    std::weak_ptr<vexa::domain::DomainParticipantDelegate> gone;
    {
        DomainParticipant dp(18);
        DomainParticipant found = dds::domain::find(18);
        ASSERT_FALSE(found.is_nil());
        EXPECT_TRUE(found == dp);
        gone = dp.delegate();
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(dds::domain::find(18).is_nil());
}

// find() on one thread while another creates and drops participants of that domain: the
// found handle is nil or a live participant of the domain (run under TSan).
TEST(ParticipantFind, whileParticipantsComeAndGo) {
    constexpr uint32_t domain = 19;
    std::atomic<bool> done{false};
    std::thread finder([&] {
        while (!done) {
            DomainParticipant found = dds::domain::find(domain);
            if (!found.is_nil()) {
                EXPECT_EQ(found.domain_id(), domain);
            }
        }
    });
    for (int i = 0; i < 30; ++i) {
        DomainParticipant dp(domain);
    }
    done = true;
    finder.join();
}

TEST(ParticipantIgnore, alwaysUnsupportedWithItsText) {
    DomainParticipant dp(apitest::DOMAIN);
    dds::core::InstanceHandle h(5);
    struct Case {
        std::function<void()> op;
        char const* text;
    } const cases[] = {
        {[&] { dds::domain::ignore(dp, h); }, "ignore not implemented currently at DPdiscovery:30"},
        {[&] { dds::pub::ignore(dp, h); },
         "ignore: Function is not currently supported at PUBdiscovery:20"},
        {[&] { dds::sub::ignore(dp, h); },
         "ignore: Function is not currently supported at SUBdiscovery:21"},
        {[&] { dds::topic::ignore(dp, h); },
         "ignore_topic: Function is not currently supported at TPdiscovery:20"},
    };
    for (Case const& c : cases) {
        expectThrowText<dds::core::UnsupportedError>(c.op, c.text);
    }
}

TEST(ParticipantListener, storedAndReplaced) {
    dds::domain::NoOpDomainParticipantListener first;
    dds::domain::NoOpDomainParticipantListener second;
    DomainParticipant dp(apitest::DOMAIN, DomainParticipant::default_participant_qos(), &first);
    EXPECT_EQ(dp.listener(), &first);
    dp.listener(&second, dds::core::status::StatusMask(0x7FFF));
    EXPECT_EQ(dp.listener(), &second);
    dp.listener(nullptr, dds::core::status::StatusMask(0));
    EXPECT_EQ(dp.listener(), nullptr);
}

// Every operation after close() throws with its own line; the child deletions still work.
TEST(ParticipantClosed, everyOperationThrowsWithItsLine) {
    DomainParticipant dp(apitest::DOMAIN);
    apitest::registerKeyed(dp);
    auto d = dp.delegate();
    vexa::dcps::Publisher* pub = d->create_publisher(dp.default_publisher_qos());
    ASSERT_NE(pub, nullptr);
    vexa::dcps::Subscriber* sub = d->create_subscriber(dp.default_subscriber_qos());
    ASSERT_NE(sub, nullptr);
    auto const topicQos = dp.default_topic_qos();
    auto const pubQos = dp.default_publisher_qos();
    auto const subQos = dp.default_subscriber_qos();
    auto const partQos = dp.qos();
    dp.close();
    struct Case {
        int line;
        std::function<void()> op;
    } const cases[] = {
        {115, [&] { d->listener(nullptr, dds::core::status::StatusMask(0)); }},
        {128, [&] { d->listener(); }},
        {137, [&] { d->qos(); }},
        {147, [&] { d->qos(partQos); }},
        {158, [&] { d->domain_id(); }},
        {167, [&] { d->assert_liveliness(); }},
        {177, [&] { d->contains_entity(dds::core::InstanceHandle(1)); }},
        {186, [&] { d->current_time(); }},
        {222, [&] { d->default_publisher_qos(); }},
        {232, [&] { d->default_publisher_qos(pubQos); }},
        {250, [&] { d->default_subscriber_qos(); }},
        {260, [&] { d->default_subscriber_qos(subQos); }},
        {278, [&] { d->default_topic_qos(); }},
        {288, [&] { d->default_topic_qos(topicQos); }},
        {314, [&] { d->close(); }},
        {329, [&] { d->create_topic("T", "Keyed", topicQos); }},
        {359, [&] { d->closeTopic(nullptr); }},
        {371, [&] { d->delete_topic(nullptr); }},
        {385, [&] { d->lookup_topic_description("T"); }},
        {399,
         [&] {
             dds::core::status::InconsistentTopicStatus s;
             d->getInconsistentTopicStatus(nullptr, s);
         }},
        {418, [&] { d->setTopicQoS(nullptr, topicQos); }},
        {438, [&] { d->create_publisher(pubQos); }},
        {467, [&] { d->create_subscriber(subQos); }},
        {494, [&] { d->get_builtin_subscriber(); }},
    };
    for (Case const& c : cases) {
        expectThrowText<dds::core::AlreadyClosedError>(
            c.op, "DomainParticipant is already closed at DomainParticipantDelegate:" +
                      std::to_string(c.line));
    }
    EXPECT_EQ(d->delete_publisher(pub), vexa::dds::RETCODE_OK);
    EXPECT_EQ(d->delete_subscriber(sub), vexa::dds::RETCODE_OK);
}

}  // namespace
