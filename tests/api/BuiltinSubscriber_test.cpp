#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ApiFixture.h"
#include "dds/sub/Subscriber.hpp"
#include "isocpp/RetainRegistry.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/Exception.hpp"

namespace {

using apitest::expectThrowText;
using dds::domain::DomainParticipant;
using dds::sub::Subscriber;

class BuiltinSubscriberTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dp_ = new DomainParticipant(apitest::DOMAIN); }
    static void TearDownTestSuite() {
        delete dp_;
        dp_ = nullptr;
    }
    static DomainParticipant* dp_;
};

DomainParticipant* BuiltinSubscriberTest::dp_ = nullptr;

// The start-up object handed the four built-in types to the factory: the built-in subscriber
// has a reader of each, of the API type name.
TEST_F(BuiltinSubscriberTest, hasAReaderOfEachBuiltinTopic) {
    Subscriber s = dds::sub::builtin_subscriber(*dp_);
    EXPECT_TRUE(s->is_builtin());
    struct Row {
        char const* topic;
        char const* type;
    };
    Row const rows[] = {
        {"DCPSParticipant", "dds::topic::ParticipantBuiltinTopicData"},
        {"DCPSTopic", "dds::topic::TopicBuiltinTopicData"},
        {"DCPSPublication", "dds::topic::PublicationBuiltinTopicData"},
        {"DCPSSubscription", "dds::topic::SubscriptionBuiltinTopicData"},
    };
    for (Row const& r : rows) {
        std::weak_ptr<vexa::core::EntityBase> api;
        std::string type;
        EXPECT_NE(s->lookup_data_reader(r.topic, api, type), nullptr) << r.topic;
        EXPECT_EQ(type, r.type);
    }
}

TEST_F(BuiltinSubscriberTest, twoCallsGiveOneDelegateListedOnce) {
    Subscriber first = dds::sub::builtin_subscriber(*dp_);
    Subscriber second = dds::sub::builtin_subscriber(*dp_);
    EXPECT_EQ(first.delegate(), second.delegate());
    EXPECT_EQ(vexa::core::subscriberRetain.count(first), 1u);
}

// Several threads asking a new participant for its built-in subscriber at once get one
// delegate, listed once (run under TSan).
TEST(BuiltinSubscriberThreads, oneDelegateForThreadsAskingAtOnce) {
    DomainParticipant dp(apitest::DOMAIN);
    std::vector<Subscriber> got(4, Subscriber(dds::core::null_type()));
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < got.size(); ++t) {
        threads.emplace_back([&, t] {
            while (!go) {
                std::this_thread::yield();
            }
            got[t] = dds::sub::builtin_subscriber(dp);
        });
    }
    go = true;
    for (auto& t : threads) {
        t.join();
    }
    for (Subscriber const& s : got) {
        EXPECT_EQ(s.delegate(), got[0].delegate());
    }
    EXPECT_EQ(vexa::core::subscriberRetain.count(got[0]), 1u);
    dp.close();
}

// The core refuses both (UNSUPPORTED); the stored QoS stay the core's.
TEST_F(BuiltinSubscriberTest, qosSettersThrowAndKeepTheStoredQos) {
    Subscriber s = dds::sub::builtin_subscriber(*dp_);
    dds::sub::qos::SubscriberQos q = s.qos();
    dds::sub::qos::SubscriberQos changed = q;
    changed.policy(dds::core::policy::Partition(dds::core::StringSeq{"elsewhere"}));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { s.qos(changed); }, "dds::core::UnsupportedError : qos at SubscriberDelegate:129");
    EXPECT_EQ(s.qos()->partition().name(), q->partition().name());

    dds::sub::qos::DataReaderQos r = s.default_datareader_qos();
    dds::sub::qos::DataReaderQos deeper = r;
    deeper.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST,
                                             r->history().depth() + 6));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { s.default_datareader_qos(deeper); },
        "dds::core::UnsupportedError : default_datareader_qos at SubscriberDelegate:169");
    EXPECT_EQ(s.default_datareader_qos()->history().depth(), r->history().depth());
}

// Closing the participant closes its built-in subscriber and unlists it, so the participant
// goes once the application's handles have gone.
TEST(BuiltinSubscriberLifetime, participantCloseReleasesTheBuiltinSubscriber) {
    std::weak_ptr<vexa::domain::DomainParticipantDelegate> participant;
    std::weak_ptr<vexa::sub::SubscriberDelegate> builtin;
    {
        DomainParticipant dp(apitest::DOMAIN);
        participant = dp.delegate();
        builtin = dds::sub::builtin_subscriber(dp).delegate();
        ASSERT_FALSE(builtin.expired()) << "retained without a handle";
        dp.close();
        EXPECT_TRUE(builtin.expired());
        expectThrowText<dds::core::AlreadyClosedError>(
            [&] { dds::sub::builtin_subscriber(dp); },
            "DomainParticipant is already closed at DomainParticipantDelegate:494");
    }
    EXPECT_TRUE(participant.expired());
}

// builtin_subscriber on one thread while another closes the participant: whichever comes
// first, no built-in subscriber made meanwhile stays listed, so the participant goes once the
// handles have gone (and ThreadSanitizer sees no race on the delegate's slot).
TEST(BuiltinSubscriberLifetime, askingWhileAnotherThreadClosesLeavesNothingBehind) {
    for (int round = 0; round < 100; ++round) {
        std::weak_ptr<vexa::domain::DomainParticipantDelegate> participant;
        {
            DomainParticipant dp(apitest::DOMAIN);
            participant = dp.delegate();
            std::atomic<bool> go{false};
            std::thread asker([&] {
                while (!go) {
                    std::this_thread::yield();
                }
                try {
                    dds::sub::builtin_subscriber(dp);
                } catch (dds::core::AlreadyClosedError const&) {
                    // closed first
                }
            });
            go = true;
            // Rounds close at different points of the asker's way.
            std::this_thread::sleep_for(std::chrono::microseconds(round % 25 * 20));
            dp.close();
            asker.join();
        }
        EXPECT_TRUE(participant.expired()) << "round " << round;
    }
}

// A built-in subscriber handle closed by the application leaves the participant's close alone.
TEST(BuiltinSubscriberLifetime, closedByTheApplicationBeforeTheParticipant) {
    DomainParticipant dp(apitest::DOMAIN);
    Subscriber s = dds::sub::builtin_subscriber(dp);
    s.close();
    EXPECT_EQ(vexa::core::subscriberRetain.count(s), 0u);
    EXPECT_NO_THROW(dp.close());
}

}  // namespace
