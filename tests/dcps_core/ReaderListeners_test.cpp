// A reader's plain status listeners: which listener is called, in which order, and what a
// listener may not do on the participant's data-handling thread.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "ReaderFixture.h"
#include "dcps/api/DPEventForwarder.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DPFactory.h"
#include "rtps/LogCapture.h"
#include "vexa/DataReaderImpl.h"

namespace {

using vexa::dcps::Reader;
namespace dds = vexa::dds;

struct Call {
    char who;  // 'r' reader listener, 'p' participant listener
    uint32_t bit;
    bool operator==(Call const& o) const { return who == o.who && bit == o.bit; }
};

class ReaderListener : public vexa::dcps::api::DREventForwarder {
public:
    explicit ReaderListener(std::vector<Call>& calls) : calls_(calls) {}
    void on_requested_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {
        calls_.push_back({'r', dds::REQUESTED_DEADLINE_MISSED_STATUS});
    }
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {
        calls_.push_back({'r', dds::REQUESTED_INCOMPATIBLE_QOS_STATUS});
    }
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override {
        calls_.push_back({'r', dds::SAMPLE_REJECTED_STATUS});
    }
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override {
        calls_.push_back({'r', dds::LIVELINESS_CHANGED_STATUS});
    }
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override {
        calls_.push_back({'r', dds::SUBSCRIPTION_MATCHED_STATUS});
    }
    void on_sample_lost(void*, dds::SampleLostStatus const&) override {
        calls_.push_back({'r', dds::SAMPLE_LOST_STATUS});
    }

private:
    std::vector<Call>& calls_;
};

class ParticipantListener : public vexa::dcps::api::DPEventForwarder {
public:
    explicit ParticipantListener(std::vector<Call>& calls) : calls_(calls) {}
    void on_data_on_readers(void*) override {}
    void on_inconsistent_topic(void*, dds::InconsistentTopicStatus const&) override {}
    void on_offered_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {}
    void on_liveliness_lost(void*, dds::LivelinessLostStatus const&) override {}
    void on_publication_matched(void*, dds::PublicationMatchedStatus const&) override {}
    void on_requested_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {
        calls_.push_back({'p', dds::REQUESTED_DEADLINE_MISSED_STATUS});
    }
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {
        calls_.push_back({'p', dds::REQUESTED_INCOMPATIBLE_QOS_STATUS});
    }
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override {
        calls_.push_back({'p', dds::SAMPLE_REJECTED_STATUS});
    }
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override {
        calls_.push_back({'p', dds::LIVELINESS_CHANGED_STATUS});
    }
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override {
        calls_.push_back({'p', dds::SUBSCRIPTION_MATCHED_STATUS});
    }
    void on_sample_lost(void*, dds::SampleLostStatus const&) override {
        calls_.push_back({'p', dds::SAMPLE_LOST_STATUS});
    }

private:
    std::vector<Call>& calls_;
};

constexpr uint32_t DEADLINE = dds::REQUESTED_DEADLINE_MISSED_STATUS;
constexpr uint32_t INCOMPATIBLE = dds::REQUESTED_INCOMPATIBLE_QOS_STATUS;
constexpr uint32_t LOST = dds::SAMPLE_LOST_STATUS;
constexpr uint32_t REJECTED = dds::SAMPLE_REJECTED_STATUS;
constexpr uint32_t LIVELINESS = dds::LIVELINESS_CHANGED_STATUS;
constexpr uint32_t MATCHED = dds::SUBSCRIPTION_MATCHED_STATUS;
constexpr uint32_t ALL = DEADLINE | INCOMPATIBLE | LOST | REJECTED | LIVELINESS | MATCHED;

using ReaderListeners = vexatest::ReaderFixture;

// Each raised bit goes to the reader's listener when the reader's mask has it, else to the
// participant's when that mask has it, always in the order deadline, incompatible QoS, lost,
// rejected, liveliness, matched; a bit nobody takes stays raised.
TEST_F(ReaderListeners, CalledInOrderByWhoseMaskHasTheBit) {
    struct Case {
        char const* name;
        bool readerListener;
        uint32_t readerMask;
        uint32_t participantMask;
        std::vector<Call> calls;
        uint32_t left;
    } const cases[] = {
        {"reader takes all",
         true,
         ALL,
         ALL,
         {{'r', DEADLINE},
          {'r', INCOMPATIBLE},
          {'r', LOST},
          {'r', REJECTED},
          {'r', LIVELINESS},
          {'r', MATCHED}},
         0},
        {"shared",
         true,
         DEADLINE | REJECTED | MATCHED,
         ALL,
         {{'r', DEADLINE},
          {'p', INCOMPATIBLE},
          {'p', LOST},
          {'r', REJECTED},
          {'p', LIVELINESS},
          {'r', MATCHED}},
         0},
        {"reader mask without a listener", false, ALL, ALL, {}, ALL},
        {"participant takes some",
         false,
         0,
         LOST | LIVELINESS,
         {{'p', LOST}, {'p', LIVELINESS}},
         DEADLINE | INCOMPATIBLE | REJECTED | MATCHED},
        {"nobody", true, 0, 0, {}, ALL},
    };
    for (auto const& c : cases) {
        std::vector<Call> calls;
        ReaderListener readerListener(calls);
        ParticipantListener participantListener(calls);
        Reader* r = makeReader(qosOf(1));
        ASSERT_EQ(
            sub_->setReaderListener(c.readerListener ? &readerListener : nullptr, c.readerMask, r),
            dds::RETCODE_OK);
        {
            // The data-handling thread's passes wait for this mutex: the pass below is alone.
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> pass(dp_->getMutex());
            r->set_status_changes(ALL);
            sub_->periodicStatusCheckAndNotify(&participantListener, c.participantMask);
            EXPECT_EQ(calls, c.calls) << c.name;
            EXPECT_EQ(r->get_status_changes() & ALL, c.left) << c.name;
            sub_->setReaderListener(nullptr, 0, r);
            r->reset_status_changes(ALL);
        }
        ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
    }
}

// A listener that deletes its own participant runs on that participant's data-handling thread,
// which holds the participant: the factory refuses with a log line, and nothing hangs.
class DeletesItsParticipant : public vexa::dcps::api::DREventForwarder {
public:
    explicit DeletesItsParticipant(vexa::dcps::DomainParticipant* dp) : dp_(dp) {}
    void on_requested_deadline_missed(void*, dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {
        vexatest::factory().delete_participant(dp_);
        calls.fetch_add(1);
    }
    void on_subscription_matched(void*, dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void*, dds::SampleLostStatus const&) override {}

    std::atomic<int> calls{0};

private:
    vexa::dcps::DomainParticipant* dp_;
};

TEST_F(ReaderListeners, DeletingTheParticipantFromItsListenerIsRefused) {
    LogCapture log;
    std::string const refusal = "Операция delete_participant фабрики участников отклонена";
    size_t const before = LogCapture::count(refusal);
    DeletesItsParticipant listener(dp_);
    dds::DataReaderQos const q = qosOf(1);
    Reader* r = sub_->createDR(keyed_, &q, &listener, dds::DATA_AVAILABLE_STATUS);
    ASSERT_NE(r, nullptr);
    offer(r, 1, 1);
    settle();
    EXPECT_EQ(listener.calls.load(), 1);
    EXPECT_FALSE(dp_->isMarked());
    EXPECT_TRUE(dp_->isHandlingData());
    EXPECT_EQ(LogCapture::count(refusal), before + 1);
    // The participant still works: the next sample reaches the listener too.
    offer(r, 2, 2);
    settle();
    EXPECT_EQ(listener.calls.load(), 2);
    sub_->setReaderListener(nullptr, 0, r);
}

}  // namespace
