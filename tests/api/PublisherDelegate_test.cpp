#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ApiFixture.h"
#include "dds/pub/Publisher.hpp"
#include "vexa/DataWriterImpl.h"
#include "vexa/core/Exception.hpp"

namespace {

using apitest::expectThrowText;
using dds::domain::DomainParticipant;
using dds::pub::Publisher;
using Scope = dds::core::policy::PresentationAccessScopeKind;

class PublisherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dp_ = new DomainParticipant(apitest::DOMAIN);
        apitest::registerKeyed(*dp_);
        topic_ = (*dp_)->create_topic("PubTopic", "Keyed", dp_->default_topic_qos());
        ASSERT_NE(topic_, nullptr);
    }
    static void TearDownTestSuite() {
        delete dp_;
        dp_ = nullptr;
    }
    static DomainParticipant* dp_;
    static vexa::dcps::Topic* topic_;
};

DomainParticipant* PublisherTest::dp_ = nullptr;
vexa::dcps::Topic* PublisherTest::topic_ = nullptr;

TEST_F(PublisherTest, groupScopeIsRefusedAndNoCorePublisherIsMade) {
    // Publisher ids count up over the participant's life: a refused creation takes none.
    DomainParticipant a(apitest::DOMAIN);
    DomainParticipant b(apitest::DOMAIN);
    dds::pub::qos::PublisherQos q = b.default_publisher_qos();
    q.policy(dds::core::policy::Presentation(Scope::GROUP, false, false));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { Publisher p(b, q); },
        "UnsupportedError : QoS PRESENTATION has unsupported value at PublisherDelegate:42");
    Publisher pa(a);
    Publisher pb(b);
    EXPECT_EQ(pa.instance_handle()->handle(), pb.instance_handle()->handle());
}

TEST_F(PublisherTest, presentationIsImmutableWhilePartitionChanges) {
    Publisher p(*dp_);
    dds::pub::qos::PublisherQos q = p.qos();
    q.policy(dds::core::policy::Presentation(Scope::INSTANCE, false, true));
    expectThrowText<dds::core::ImmutablePolicyError>(
        [&] { p.qos(q); }, "Immutable policy: Presentation at PublisherDelegate:102");
    q = p.qos();
    q.policy(dds::core::policy::Partition(dds::core::StringSeq{"north"}));
    p.qos(q);
    EXPECT_EQ(p.qos()->partition().name(), dds::core::StringSeq{"north"});
}

// The default writer QoS checks only a bounded max_samples_per_instance; a writer's QoS gets
// the whole rule.
TEST_F(PublisherTest, partialRuleForTheDefaultFullRuleForTheWriter) {
    Publisher p(*dp_);
    struct Case {
        int32_t depth, ms, mspi;
        char const* defaultError;
        char const* writerError;
    } const cases[] = {
        {5, 1, -1, nullptr,
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at PublisherDelegate:291"},
        {5, -1, 3, "QoS HISTORY is inconsistent with RESOURCR_LIMITS at PublisherDelegate:130",
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at PublisherDelegate:291"},
        {1, 2, 3, "QoS RESOURCR_LIMITS has inconsistent values at PublisherDelegate:134",
         "QoS RESOURCR_LIMITS has inconsistent values at PublisherDelegate:295"},
        {2, 4, 2, nullptr, nullptr},
    };
    for (Case const& c : cases) {
        dds::pub::qos::DataWriterQos q = p.default_datawriter_qos();
        q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, c.depth));
        q.policy(dds::core::policy::ResourceLimits(c.ms, -1, c.mspi));
        if (c.defaultError != nullptr) {
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { p.default_datawriter_qos(q); }, c.defaultError);
        } else {
            p.default_datawriter_qos(q);
            EXPECT_EQ(p.default_datawriter_qos()->history().depth(), c.depth);
        }
        auto mask = dds::core::status::StatusMask(0);
        if (c.writerError != nullptr) {
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { p->create_datawriter(topic_, q, nullptr, mask); }, c.writerError);
        } else {
            vexa::dcps::api::DataWriterImpl* w = p->create_datawriter(topic_, q, nullptr, mask);
            ASSERT_NE(w, nullptr);
            p->delete_datawriter(w);
        }
    }
}

TEST_F(PublisherTest, writerTopicMustBeThePublishersParticipants) {
    DomainParticipant other(apitest::DOMAIN);
    apitest::registerKeyed(other);
    vexa::dcps::Topic* foreign = other->create_topic("Foreign", "Keyed", other.default_topic_qos());
    ASSERT_NE(foreign, nullptr);
    Publisher p(*dp_);
    auto const q = p.default_datawriter_qos();
    auto const mask = dds::core::status::StatusMask(0);
    expectThrowText<dds::core::PreconditionNotMetError>(
        [&] { p->create_datawriter(foreign, q, nullptr, mask); },
        "Topic was not created by the Domain Participant at PublisherDelegate:279");
    expectThrowText<dds::core::NullReferenceError>(
        [&] { p->create_datawriter(nullptr, q, nullptr, mask); },
        "Topic does not exist at PublisherDelegate:279");
}

TEST_F(PublisherTest, lookupOfAnUnusedTopicIsAnEmptyReference) {
    Publisher p(*dp_);
    EXPECT_TRUE(p->lookup_data_writer("PubTopic").expired());
    EXPECT_TRUE(p->lookup_data_writer("Nothing").expired());
}

TEST_F(PublisherTest, everyOperationAfterCloseThrowsWithItsLine) {
    Publisher p(*dp_);
    auto d = p.delegate();
    auto const q = p.qos();
    auto const wq = p.default_datawriter_qos();
    p.close();
    struct Case {
        int line;
        std::function<void()> op;
    } const cases[] = {
        {82, [&] { d->qos(); }},
        {95, [&] { d->qos(q); }},
        {121, [&] { d->default_datawriter_qos(wq); }},
        {165, [&] { d->default_datawriter_qos(); }},
        {183, [&] { d->listener(nullptr, dds::core::status::StatusMask(0)); }},
        {197, [&] { d->listener(); }},
        {206, [&] { d->wait_for_acknowledgments(dds::core::Duration::zero()); }},
        {220, [&] { d->participant(); }},
        {232, [&] { p.close(); }},
        {274, [&] { d->create_datawriter(topic_, wq, nullptr, dds::core::status::StatusMask(0)); }},
        {307, [&] { d->delete_datawriter(nullptr); }},
        {321, [&] { d->lookup_data_writer("PubTopic"); }},
    };
    for (Case const& c : cases) {
        expectThrowText<dds::core::AlreadyClosedError>(
            c.op, "Publisher is already closed at PublisherDelegate:" + std::to_string(c.line));
    }
}

TEST(PublisherEnable, aPublisherOfAParticipantWithoutAutoenable) {
    auto q = DomainParticipant::default_participant_qos();
    q.policy(dds::core::policy::EntityFactory(false));
    DomainParticipant dp(apitest::DOMAIN, q);
    Publisher p(dp);
    expectThrowText<dds::core::NotEnabledError>(
        [&] { p.wait_for_acknowledgments(dds::core::Duration::from_millisecs(10)); },
        "dds::core::NotEnabledError : wait_for_acknowledgments at PublisherDelegate:210");
    p.enable();
    // No writer: nothing to wait for.
    p.wait_for_acknowledgments(dds::core::Duration::from_millisecs(10));
}

TEST(EntityDelegate, closedGettersThrowAndTheCoreEntityStays) {
    DomainParticipant dp(apitest::DOMAIN);
    Publisher p(dp);
    auto const handle = p.instance_handle();
    p.close();
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { p.status_changes(); }, "Entity has been already closed at EntityDelegate:50");
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { p.instance_handle(); }, "Entity has been already closed at EntityDelegate:60");
    EXPECT_TRUE(dp.contains_entity(handle));
}

// retain() lists copies; close() drops them all, so the publisher goes with its last handle.
TEST(PublisherRetain, retainTwiceThenCloseLeavesNoCopy) {
    DomainParticipant dp(apitest::DOMAIN);
    std::weak_ptr<vexa::pub::PublisherDelegate> alive;
    {
        Publisher p(dp);
        alive = p.delegate();
        p.retain();
        p.retain();
    }
    ASSERT_FALSE(alive.expired()) << "a retained publisher survives its handles";
    {
        Publisher again(alive.lock());
        again.close();
        expectThrowText<dds::core::AlreadyClosedError>(
            [&] { again.close(); }, "Publisher is already closed at PublisherDelegate:232");
    }
    EXPECT_TRUE(alive.expired());

    // Unlisting a handle that was never retained changes nothing.
    Publisher kept(dp);
    kept.retain();
    std::weak_ptr<vexa::pub::PublisherDelegate> keptAlive = kept.delegate();
    {
        Publisher other(dp);
        other.close();
    }
    kept = Publisher(dds::core::null_type());
    EXPECT_FALSE(keptAlive.expired());
    Publisher(keptAlive.lock()).close();
    EXPECT_TRUE(keptAlive.expired());
}

// Several threads retain and close publishers of one participant at once (run under TSan).
TEST(PublisherRetain, retainAndCloseFromSeveralThreads) {
    DomainParticipant dp(apitest::DOMAIN);
    std::vector<Publisher> pubs;
    std::vector<std::weak_ptr<vexa::pub::PublisherDelegate>> alive;
    for (int t = 0; t < 4; ++t) {
        pubs.emplace_back(dp);
        alive.push_back(pubs.back().delegate());
    }
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            while (!go) {
                std::this_thread::yield();
            }
            for (int i = 0; i < 200; ++i) {
                pubs[t].retain();
            }
            pubs[t].close();
        });
    }
    go = true;
    for (auto& t : threads) {
        t.join();
    }
    pubs.clear();
    for (auto const& w : alive) {
        EXPECT_TRUE(w.expired());
    }
}

}  // namespace
