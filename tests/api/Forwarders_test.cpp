#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "TypedFixture.h"
#include "isocpp/DataReaderEventForwarder.h"
#include "isocpp/DataWriterEventForwarder.h"

namespace {

using apitest::Keyed;

// Records what reaches it; sets a flag when it goes.
struct WriterAdapter : vexa::pub::DataWriterListenerAdapter {
    explicit WriterAdapter(bool* gone) : gone_(gone) {}
    ~WriterAdapter() override { *gone_ = true; }
    void on_offered_deadline_missed(
        dds::core::status::OfferedDeadlineMissedStatus const& s) override {
        deadline = s;
    }
    void on_offered_incompatible_qos(
        dds::core::status::OfferedIncompatibleQosStatus const& s) override {
        incompatible = s;
    }
    void on_liveliness_lost(dds::core::status::LivelinessLostStatus const&) override {}
    void on_publication_matched(dds::core::status::PublicationMatchedStatus const& s) override {
        matched = s;
    }
    dds::core::status::OfferedDeadlineMissedStatus deadline;
    dds::core::status::OfferedIncompatibleQosStatus incompatible;
    dds::core::status::PublicationMatchedStatus matched;
    bool* gone_;
};

struct ReaderAdapter : vexa::sub::DataReaderListenerAdapter {
    void on_requested_deadline_missed(
        dds::core::status::RequestedDeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(
        dds::core::status::RequestedIncompatibleQosStatus const&) override {}
    void on_sample_rejected(dds::core::status::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(dds::core::status::LivelinessChangedStatus const& s) override {
        alive = s.alive_count();
    }
    void on_data_available(void* reader) override { dataFrom = reader; }
    void on_subscription_matched(dds::core::status::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(dds::core::status::SampleLostStatus const& s) override {
        lost = s.total_count();
    }
    void* dataFrom = nullptr;
    int32_t alive = 0;
    int32_t lost = 0;
};

// The writer forwarder converts the core's records (policy list copied in order) and goes
// with its adapter, never with anything else.
TEST(DataWriterEventForwarder, convertsAndOwnsItsAdapter) {
    bool gone = false;
    auto* adapter = new WriterAdapter(&gone);
    auto* forwarder =
        new vexa::pub::DataWriterEventForwarder(std::unique_ptr<WriterAdapter>(adapter));

    vexa::dds::PublicationMatchedStatus matched;
    matched.total_count = 3;
    matched.total_count_change = 1;
    matched.current_count = 2;
    matched.current_count_change = -1;
    forwarder->on_publication_matched(nullptr, matched);
    EXPECT_EQ(adapter->matched.total_count(), 3);
    EXPECT_EQ(adapter->matched.current_count(), 2);
    EXPECT_EQ(adapter->matched.current_count_change(), -1);

    vexa::dds::IncompatibleQosStatus incompatible;
    incompatible.total_count = 2;
    incompatible.last_policy_id = 11;
    incompatible.policies = {{11, 2}, {4, 0}};
    forwarder->on_offered_incompatible_qos(nullptr, incompatible);
    EXPECT_EQ(adapter->incompatible.last_policy_id(), 11u);
    ASSERT_EQ(adapter->incompatible.policies().size(), 2u);
    EXPECT_EQ(adapter->incompatible.policies()[0].count(), 2);
    EXPECT_EQ(adapter->incompatible.policies()[1].policy_id(), 4u);

    vexa::dds::DeadlineMissedStatus deadline;
    deadline.total_count = 7;
    forwarder->on_offered_deadline_missed(nullptr, deadline);
    EXPECT_EQ(adapter->deadline.total_count(), 7);

    delete forwarder;
    EXPECT_TRUE(gone);
}

TEST(DataReaderEventForwarder, passesTheCoreReaderAndConvertedStatuses) {
    auto* adapter = new ReaderAdapter;
    vexa::sub::DataReaderEventForwarder forwarder{std::unique_ptr<ReaderAdapter>(adapter)};
    int coreReader = 0;
    forwarder.on_data_available(&coreReader);
    EXPECT_EQ(adapter->dataFrom, &coreReader);
    vexa::dds::LivelinessChangedStatus alive;
    alive.alive_count = 4;
    forwarder.on_liveliness_changed(nullptr, alive);
    EXPECT_EQ(adapter->alive, 4);
    vexa::dds::SampleLostStatus lost;
    lost.total_count = 9;
    forwarder.on_sample_lost(nullptr, lost);
    EXPECT_EQ(adapter->lost, 9);
}

// Adapters whose every callback runs `during`; they set `gone` when they go (with their
// forwarder, which owns them).
struct ReleasingWriterAdapter : vexa::pub::DataWriterListenerAdapter {
    explicit ReleasingWriterAdapter(bool* gone) : gone_(gone) {}
    ~ReleasingWriterAdapter() override { *gone_ = true; }
    void on_offered_deadline_missed(
        dds::core::status::OfferedDeadlineMissedStatus const&) override {
        during();
    }
    void on_offered_incompatible_qos(
        dds::core::status::OfferedIncompatibleQosStatus const&) override {
        during();
    }
    void on_liveliness_lost(dds::core::status::LivelinessLostStatus const&) override { during(); }
    void on_publication_matched(dds::core::status::PublicationMatchedStatus const&) override {
        during();
    }
    std::function<void()> during;
    bool* gone_;
};

struct ReleasingReaderAdapter : vexa::sub::DataReaderListenerAdapter {
    explicit ReleasingReaderAdapter(bool* gone) : gone_(gone) {}
    ~ReleasingReaderAdapter() override { *gone_ = true; }
    void on_requested_deadline_missed(
        dds::core::status::RequestedDeadlineMissedStatus const&) override {
        during();
    }
    void on_requested_incompatible_qos(
        dds::core::status::RequestedIncompatibleQosStatus const&) override {
        during();
    }
    void on_sample_rejected(dds::core::status::SampleRejectedStatus const&) override { during(); }
    void on_liveliness_changed(dds::core::status::LivelinessChangedStatus const&) override {
        during();
    }
    void on_data_available(void*) override { during(); }
    void on_subscription_matched(dds::core::status::SubscriptionMatchedStatus const&) override {
        during();
    }
    void on_sample_lost(dds::core::status::SampleLostStatus const&) override { during(); }
    std::function<void()> during;
    bool* gone_;
};

// A listener that replaces itself releases its forwarder from inside a callback, perhaps one
// nested in another callback of the same forwarder: forwarder and adapter must stay until the
// outermost callback has returned, then go.
template <typename Forwarder, typename Adapter>
void expectReleasedOnlyAfterTheCallback(std::vector<std::function<void(Forwarder*)>> const& calls) {
    for (size_t i = 0; i < calls.size(); ++i) {
        for (bool nested : {false, true}) {
            SCOPED_TRACE(testing::Message() << "callback " << i << (nested ? ", nested" : ""));
            bool gone = false;
            auto* adapter = new Adapter(&gone);
            auto* forwarder = new Forwarder(std::unique_ptr<Adapter>(adapter));
            int depth = 0;
            adapter->during = [&] {
                if (nested && depth++ == 0) {
                    calls[i](forwarder);
                } else {
                    Forwarder::release(forwarder);
                }
                EXPECT_FALSE(gone) << "freed inside a running callback";
            };
            calls[i](forwarder);
            EXPECT_TRUE(gone);
        }
    }
}

TEST(DataWriterEventForwarder, releasedInsideItsCallbackGoesWhenTheCallbackReturns) {
    using F = vexa::pub::DataWriterEventForwarder;
    expectReleasedOnlyAfterTheCallback<F, ReleasingWriterAdapter>({
        [](F* f) { f->on_offered_deadline_missed(nullptr, vexa::dds::DeadlineMissedStatus()); },
        [](F* f) { f->on_offered_incompatible_qos(nullptr, vexa::dds::IncompatibleQosStatus()); },
        [](F* f) { f->on_liveliness_lost(nullptr, vexa::dds::LivelinessLostStatus()); },
        [](F* f) { f->on_publication_matched(nullptr, vexa::dds::PublicationMatchedStatus()); },
    });
}

TEST(DataReaderEventForwarder, releasedInsideItsCallbackGoesWhenTheCallbackReturns) {
    using F = vexa::sub::DataReaderEventForwarder;
    expectReleasedOnlyAfterTheCallback<F, ReleasingReaderAdapter>({
        [](F* f) { f->on_requested_deadline_missed(nullptr, vexa::dds::DeadlineMissedStatus()); },
        [](F* f) { f->on_requested_incompatible_qos(nullptr, vexa::dds::IncompatibleQosStatus()); },
        [](F* f) { f->on_sample_rejected(nullptr, vexa::dds::SampleRejectedStatus()); },
        [](F* f) { f->on_liveliness_changed(nullptr, vexa::dds::LivelinessChangedStatus()); },
        [](F* f) { f->on_data_available(nullptr); },
        [](F* f) { f->on_subscription_matched(nullptr, vexa::dds::SubscriptionMatchedStatus()); },
        [](F* f) { f->on_sample_lost(nullptr, vexa::dds::SampleLostStatus()); },
    });
}

// A typed writer's listener is the application's: the writer going leaves it alone.
TEST(DataWriterListener, writerGoesWithoutTheApplicationsListener) {
    struct Listener : dds::pub::NoOpDataWriterListener<Keyed> {
        ~Listener() override { ++destroyed; }
        int destroyed = 0;
    };
    Listener listener;
    {
        dds::domain::DomainParticipant dp(apitest::DOMAIN);
        dds::topic::Topic<Keyed> topic(dp, "ForwardedListener");
        dds::pub::Publisher pub(dp);
        dds::pub::DataWriter<Keyed> writer(pub, topic, pub.default_datawriter_qos(), &listener,
                                           dds::core::status::StatusMask::all());
        EXPECT_TRUE(writer->has_listener());
    }
    EXPECT_EQ(listener.destroyed, 0);
}

// Participant listeners are installed but never called, whatever the mask: data for a reader
// of the participant reaches the reader, not the participant's listener.
TEST(DomainParticipantListener, everyBitSetAndNothingArrives) {
    struct Listener : dds::domain::NoOpDomainParticipantListener {
        void on_data_available(dds::sub::AnyDataReader&) override { ++calls; }
        void on_data_on_readers(dds::sub::Subscriber&) override { ++calls; }
        std::atomic<int> calls{0};
    };
    Listener listener;
    dds::domain::DomainParticipant dp(apitest::DOMAIN,
                                      dds::domain::DomainParticipant::default_participant_qos(),
                                      &listener, dds::core::status::StatusMask(0xFFFFu));
    dds::topic::Topic<Keyed> topic(dp, "SilentParticipant");
    dds::sub::Subscriber sub(dp);
    dds::sub::DataReader<Keyed> reader(sub, topic);
    dds::core::cond::WaitSet ws;
    ws += dds::sub::cond::ReadCondition(reader, dds::sub::status::DataState::any());
    apitest::offer(reader->reader(), 1, 1);
    ws.wait(dds::core::Duration(5, 0));
    EXPECT_EQ(reader.take().length(), 1u);
    EXPECT_EQ(listener.calls.load(), 0);
}

}  // namespace
