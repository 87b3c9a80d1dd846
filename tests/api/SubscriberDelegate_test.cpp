#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ApiFixture.h"
#include "dcps/subscriber/Reader.h"
#include "dds/sub/Subscriber.hpp"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/Exception.hpp"

namespace {

using apitest::expectThrowText;
using dds::domain::DomainParticipant;
using dds::sub::Subscriber;
using vexa::dcps::api::DataReaderImpl;
using Scope = dds::core::policy::PresentationAccessScopeKind;

class SubscriberTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dp_ = new DomainParticipant(apitest::DOMAIN);
        apitest::registerKeyed(*dp_);
        topic_ = (*dp_)->create_topic("SubTopic", "Keyed", dp_->default_topic_qos());
        other_ = (*dp_)->create_topic("SubOther", "Keyed", dp_->default_topic_qos());
        ASSERT_NE(topic_, nullptr);
        ASSERT_NE(other_, nullptr);
    }
    static void TearDownTestSuite() {
        delete dp_;
        dp_ = nullptr;
    }
    static DomainParticipant* dp_;
    static vexa::dcps::Topic* topic_;
    static vexa::dcps::Topic* other_;
};

DomainParticipant* SubscriberTest::dp_ = nullptr;
vexa::dcps::Topic* SubscriberTest::topic_ = nullptr;
vexa::dcps::Topic* SubscriberTest::other_ = nullptr;

TEST_F(SubscriberTest, topicScopeIsRefusedWithATextWithoutLocation) {
    dds::sub::qos::SubscriberQos q = dp_->default_subscriber_qos();
    q.policy(dds::core::policy::Presentation(Scope::TOPIC, false, false));
    expectThrowText<dds::core::UnsupportedError>(
        [&] { Subscriber s(*dp_, q); },
        "UnsupportedError : QoS PRESENTATION has unsupported value");

    // Subscriber ids count up over the participant's life: a refused creation takes none.
    DomainParticipant a(apitest::DOMAIN);
    DomainParticipant b(apitest::DOMAIN);
    EXPECT_THROW(Subscriber refused(b, q), dds::core::UnsupportedError);
    Subscriber sa(a);
    Subscriber sb(b);
    EXPECT_EQ(sa.instance_handle()->handle(), sb.instance_handle()->handle());
}

TEST_F(SubscriberTest, presentationIsImmutableWhilePartitionChanges) {
    Subscriber s(*dp_);
    dds::sub::qos::SubscriberQos q = s.qos();
    q.policy(dds::core::policy::Presentation(Scope::INSTANCE, true, false));
    expectThrowText<dds::core::ImmutablePolicyError>(
        [&] { s.qos(q); }, "Immutable policy: Presentation at SubscriberDelegate:136");
    q = s.qos();
    q.policy(dds::core::policy::Partition(dds::core::StringSeq{"south"}));
    s.qos(q);
    EXPECT_EQ(s.qos()->partition().name(), dds::core::StringSeq{"south"});
}

// The default reader QoS checks only a bounded max_samples_per_instance; a reader's QoS gets
// the whole rule. Both refuse a time-based filter longer than the deadline.
TEST_F(SubscriberTest, readerQosRulesOfTheDefaultAndOfTheReader) {
    Subscriber s(*dp_);
    auto const secs = [](double v) { return dds::core::Duration::from_secs(v); };
    struct Case {
        int32_t depth, ms, mspi;
        double filter, deadline;
        char const* defaultError;
        char const* readerError;
    } const cases[] = {
        {5, 1, -1, 0, 1e6, nullptr,
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at SubscriberDelegate:279"},
        {5, -1, 3, 0, 1e6,
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at SubscriberDelegate:178",
         "QoS HISTORY is inconsistent with RESOURCR_LIMITS at SubscriberDelegate:279"},
        {1, 2, 3, 0, 1e6, "QoS RESOURCR_LIMITS has inconsistent values at SubscriberDelegate:182",
         "QoS RESOURCR_LIMITS has inconsistent values at SubscriberDelegate:283"},
        {1, -1, -1, 1.0, 0.5,
         "QoS TIME_BASED_FILTER has inconsistent values at SubscriberDelegate:187",
         "QoS TIME_BASED_FILTER has inconsistent values at SubscriberDelegate:288"},
        {2, 4, 2, 0.5, 0.5, nullptr, nullptr},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.depth * 100 + c.mspi);
        dds::sub::qos::DataReaderQos q = s.default_datareader_qos();
        q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, c.depth));
        q.policy(dds::core::policy::ResourceLimits(c.ms, -1, c.mspi));
        q.policy(dds::core::policy::TimeBasedFilter(secs(c.filter)));
        q.policy(dds::core::policy::Deadline(secs(c.deadline)));
        int32_t const before = s.default_datareader_qos()->history().depth();
        if (c.defaultError != nullptr) {
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { s.default_datareader_qos(q); }, c.defaultError);
            EXPECT_EQ(s.default_datareader_qos()->history().depth(), before);
        } else {
            s.default_datareader_qos(q);
            EXPECT_EQ(s.default_datareader_qos()->history().depth(), c.depth);
        }
        if (c.readerError != nullptr) {
            expectThrowText<dds::core::InconsistentPolicyError>(
                [&] { s->create_datareader(topic_, &q, nullptr, nullptr); }, c.readerError);
            std::weak_ptr<vexa::core::EntityBase> api;
            std::string type;
            EXPECT_EQ(s->lookup_data_reader("SubTopic", api, type), nullptr) << "none was made";
        } else {
            DataReaderImpl* r = s->create_datareader(topic_, &q, nullptr, nullptr);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(s->delete_datareader(r), vexa::dds::RETCODE_OK);
        }
    }
}

// Null QoS and mask reach the core as "the subscriber's default" and 0.
TEST_F(SubscriberTest, nullQosAndMaskPassThrough) {
    Subscriber s(*dp_);
    dds::sub::qos::DataReaderQos q = s.default_datareader_qos();
    q.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, 7));
    s.default_datareader_qos(q);
    DataReaderImpl* r = s->create_datareader(topic_, nullptr, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    vexa::dds::DataReaderQos core;
    ASSERT_EQ(r->get_qos(core), vexa::dds::RETCODE_OK);
    EXPECT_EQ(core.history.depth, 7);
    EXPECT_EQ(r->getEntity()->getListenerMask(), 0u);
    EXPECT_EQ(s->delete_datareader(r), vexa::dds::RETCODE_OK);
}

TEST_F(SubscriberTest, readerTopicMustBeTheSubscribersParticipants) {
    DomainParticipant foreignDp(apitest::DOMAIN);
    apitest::registerKeyed(foreignDp);
    vexa::dcps::Topic* foreign =
        foreignDp->create_topic("Foreign", "Keyed", foreignDp.default_topic_qos());
    ASSERT_NE(foreign, nullptr);
    Subscriber s(*dp_);
    expectThrowText<dds::core::PreconditionNotMetError>(
        [&] { s->create_datareader(foreign, nullptr, nullptr, nullptr); },
        "Topic was not created by the Domain Participant at SubscriberDelegate:267");
    expectThrowText<dds::core::NullReferenceError>(
        [&] { s->create_datareader(nullptr, nullptr, nullptr, nullptr); },
        "Topic does not exist at SubscriberDelegate:267");
}

TEST_F(SubscriberTest, lookupAndGetDatareadersAppend) {
    Subscriber s(*dp_);
    std::weak_ptr<vexa::core::EntityBase> api;
    std::string type = "untouched";
    EXPECT_EQ(s->lookup_data_reader("SubTopic", api, type), nullptr);
    EXPECT_EQ(type, "untouched");

    DataReaderImpl* a = s->create_datareader(topic_, nullptr, nullptr, nullptr);
    DataReaderImpl* b = s->create_datareader(other_, nullptr, nullptr, nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(s->lookup_data_reader("SubOther", api, type), b);
    EXPECT_EQ(type, "Keyed");

    // Only readers with samples in the given states are listed; none has any yet, and the
    // core clears its own list, so the caller's element must survive.
    std::vector<vexa::sub::SubscriberDelegate::ReaderAndNames> out(1);
    out[0].topic_name = "kept";
    s->get_datareaders(out, vexa::dds::ANY_SAMPLE_STATE, vexa::dds::ANY_VIEW_STATE,
                       vexa::dds::ANY_INSTANCE_STATE);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].topic_name, "kept");
    EXPECT_EQ(s->delete_datareader(a), vexa::dds::RETCODE_OK);
    EXPECT_EQ(s->delete_datareader(b), vexa::dds::RETCODE_OK);
}

// A refused listener leaves the old one in force, and the new forwarder is not leaked (ASan).
TEST_F(SubscriberTest, listenerOfAClosedSubscriberIsRefusedWithoutALeak) {
    Subscriber s(*dp_);
    dds::sub::NoOpSubscriberListener l;
    s.listener(&l, dds::core::status::StatusMask(0x7FFF));
    EXPECT_EQ(s.listener(), &l);
    s.close();
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { s.listener(&l, dds::core::status::StatusMask(0)); },
        "Subscriber is already closed at SubscriberDelegate:204");
}

TEST_F(SubscriberTest, everyOperationAfterCloseThrowsWithItsLine) {
    Subscriber s(*dp_);
    auto d = s.delegate();
    auto const q = s.qos();
    auto const rq = s.default_datareader_qos();
    DataReaderImpl* r = s->create_datareader(topic_, nullptr, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    s.close();
    std::weak_ptr<vexa::core::EntityBase> api;
    std::string type;
    std::vector<vexa::sub::SubscriberDelegate::ReaderAndNames> out;
    struct Case {
        int line;
        std::function<void()> op;
    } const cases[] = {
        {92, [&] { d->notify_datareaders(); }},
        {105, [&] { d->participant(); }},
        {117, [&] { d->qos(); }},
        {129, [&] { d->qos(q); }},
        {153, [&] { d->default_datareader_qos(); }},
        {169, [&] { d->default_datareader_qos(rq); }},
        {204, [&] { d->event_forwarder(nullptr, nullptr, dds::core::status::StatusMask(0)); }},
        {225, [&] { d->listener(); }},
        {237, [&] { s.close(); }},
        {262, [&] { d->create_datareader(topic_, nullptr, nullptr, nullptr); }},
        {321, [&] { d->delete_datareader(r); }},
        {337, [&] { d->lookup_data_reader("SubTopic", api, type); }},
        {357, [&] { d->get_datareaders(out, 0xFFFF, 0xFFFF, 0xFFFF); }},
    };
    for (Case const& c : cases) {
        expectThrowText<dds::core::AlreadyClosedError>(
            c.op, "Subscriber is already closed at SubscriberDelegate:" + std::to_string(c.line));
    }
    EXPECT_FALSE(d->is_builtin());
}

TEST(SubscriberOfClosedParticipant, throwsTheParticipantsErrorAndCreatesNothing) {
    DomainParticipant dp(apitest::DOMAIN);
    auto const q = dp.default_subscriber_qos();
    dp.close();
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { Subscriber s(dp); },
        "DomainParticipant is already closed at DomainParticipantDelegate:250");
    expectThrowText<dds::core::AlreadyClosedError>(
        [&] { Subscriber s(dp, q); },
        "DomainParticipant is already closed at DomainParticipantDelegate:467");
}

// retain() lists copies; close() drops them all, so the subscriber goes with its last handle.
TEST(SubscriberRetain, retainTwiceThenCloseLeavesNoCopy) {
    DomainParticipant dp(apitest::DOMAIN);
    std::weak_ptr<vexa::sub::SubscriberDelegate> alive;
    {
        Subscriber s(dp);
        alive = s.delegate();
        s.retain();
        s.retain();
    }
    ASSERT_FALSE(alive.expired()) << "a retained subscriber survives its handles";
    {
        Subscriber again(alive.lock());
        again.close();
        expectThrowText<dds::core::AlreadyClosedError>(
            [&] { again.close(); }, "Subscriber is already closed at SubscriberDelegate:237");
    }
    EXPECT_TRUE(alive.expired());
}

}  // namespace
