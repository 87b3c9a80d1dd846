#include <atomic>
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
