// A writer's liveliness, offered deadline and statuses, and who hears of them.
#include <gtest/gtest.h>

#include <vector>

#include "PublisherFixture.h"
#include "dcps/api/DPEventForwarder.h"
#include "dcps/api/DWEventForwarder.h"

using vexa::dcps::Writer;
using vexa::dds::DataWriterQos;
using vexatest::KeyedSample;

namespace {

struct Call {
    char who;  // 'w' writer listener, 'p' participant listener
    uint32_t bit;
    bool operator==(Call const& o) const { return who == o.who && bit == o.bit; }
};

void PrintTo(Call const& c, std::ostream* os) {
    *os << c.who << ":" << std::hex << c.bit;
}

class WriterListener : public vexa::dcps::api::DWEventForwarder {
public:
    explicit WriterListener(std::vector<Call>& calls) : calls_(calls) {}
    void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {
        calls_.push_back({'w', 2});
    }
    void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {
        calls_.push_back({'w', 32});
    }
    void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const& s) override {
        calls_.push_back({'w', 0x800});
        lost = s;
    }
    void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const&) override {
        calls_.push_back({'w', 0x2000});
    }
    vexa::dds::LivelinessLostStatus lost;

private:
    std::vector<Call>& calls_;
};

class ParticipantListener : public vexa::dcps::api::DPEventForwarder {
public:
    explicit ParticipantListener(std::vector<Call>& calls) : calls_(calls) {}
    void on_data_on_readers(void*) override {}
    void on_inconsistent_topic(void*, vexa::dds::InconsistentTopicStatus const&) override {}
    void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {
        calls_.push_back({'p', 2});
    }
    void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {
        calls_.push_back({'p', 32});
    }
    void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const&) override {
        calls_.push_back({'p', 0x800});
    }
    void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const&) override {
        calls_.push_back({'p', 0x2000});
    }
    void on_requested_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, vexa::dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, vexa::dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, vexa::dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void*, vexa::dds::SampleLostStatus const&) override {}

private:
    std::vector<Call>& calls_;
};

class WriterStatus : public vexatest::PublisherTest {
protected:
    vexa::dds::ReturnCode_t write(Writer* w, int32_t key) {
        KeyedSample s{key, 0};
        return pub_->write(w, &s, vexa::dds::HANDLE_NIL, nullptr);
    }
    void tick() { pub_->periodicStatusCheckAndNotify(nullptr, 0); }
};

constexpr uint32_t ALL_WRITER_BITS = 2 | 32 | 0x800 | 0x2000;

}  // namespace

TEST_F(WriterStatus, ManualLivelinessIsLostAfterTheLease) {
    struct Case {
        char const* name;
        vexa::dds::LivelinessQosPolicyKind kind;
        bool participantAsserts;
        int lost;       // after the lease
        int lostLater;  // after two more seconds of silence
    } const cases[] = {
        {"automatic", vexa::dds::AUTOMATIC_LIVELINESS_QOS, false, 0, 0},
        {"by topic", vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS, false, 1, 1},
        {"by topic, participant asserts", vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS, true, 1, 1},
        {"by participant", vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS, false, 1, 1},
        {"by participant, participant asserts", vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS,
         true, 0, 1},
    };
    for (Case const& c : cases) {
        DataWriterQos q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
        q.liveliness = {c.kind, {1, 0}};
        Writer* w = create(q);
        ASSERT_EQ(write(w, 1), vexa::dds::RETCODE_OK) << c.name;
        EXPECT_TRUE(w->isAlive()) << c.name;
        advanceClock(500000);
        tick();
        EXPECT_EQ(w->get_status_changes() & 0x800, 0u) << c.name;
        advanceClock(600000);
        if (c.participantAsserts) {
            dp_->assertLivelinessByDW();
        }
        tick();
        vexa::dds::LivelinessLostStatus s;
        pub_->getLivelinessLostStatus(s, w);
        EXPECT_EQ(s.total_count, c.lost) << c.name;
        EXPECT_EQ(w->isAlive(), c.lost == 0) << c.name;
        // Lost once: no more counts while it stays silent.
        advanceClock(2000000);
        tick();
        pub_->getLivelinessLostStatus(s, w);
        EXPECT_EQ(s.total_count, c.lostLater) << c.name;
        pub_->deleteDW(w->getBridge());
    }
}

TEST_F(WriterStatus, OfferedDeadlinesAreMissedPerInstanceWithAliveData) {
    DataWriterQos q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
    q.deadline.period = {1, 0};
    Writer* w = create(q);
    for (int key = 1; key <= 3; ++key) {
        ASSERT_EQ(write(w, key), vexa::dds::RETCODE_OK);
    }
    KeyedSample three{3, 0};
    ASSERT_EQ(pub_->dispose(w, &three, vexa::dds::HANDLE_NIL, nullptr), vexa::dds::RETCODE_OK);
    advanceClock(500000);
    tick();
    EXPECT_EQ(w->get_status_changes() & 2, 0u);
    advanceClock(600000);
    ASSERT_EQ(write(w, 2), vexa::dds::RETCODE_OK);  // on time
    tick();
    EXPECT_NE(w->get_status_changes() & 2, 0u);
    vexa::dds::DeadlineMissedStatus s;
    pub_->getOfferedDeadlineMissedStatus(s, w);
    EXPECT_EQ(s.total_count, 1);
    EXPECT_EQ(s.total_count_change, 1);
    KeyedSample one{1, 0};
    EXPECT_EQ(s.last_instance_handle, pub_->lookupInstance(&one, w));
    // A period later both alive instances are late.
    advanceClock(1100000);
    tick();
    pub_->getOfferedDeadlineMissedStatus(s, w);
    EXPECT_EQ(s.total_count, 3);
    EXPECT_EQ(s.total_count_change, 2);
}

// Bits set 2, 32, 0x800, 0x2000: each goes to the writer's listener when the writer's mask
// has it, else to the participant's when that mask has it, always in this order.
TEST_F(WriterStatus, ListenersAreCalledInOrderByWhoseMaskHasTheBit) {
    struct Case {
        char const* name;
        bool writerListener;
        uint32_t writerMask;
        uint32_t participantMask;
        std::vector<Call> calls;
        uint32_t left;
    } const cases[] = {
        {"writer takes all",
         true,
         ALL_WRITER_BITS,
         ALL_WRITER_BITS,
         {{'w', 2}, {'w', 32}, {'w', 0x800}, {'w', 0x2000}},
         0},
        {"shared",
         true,
         2 | 0x2000,
         ALL_WRITER_BITS,
         {{'w', 2}, {'p', 32}, {'p', 0x800}, {'w', 0x2000}},
         0},
        {"writer mask without a listener",
         false,
         ALL_WRITER_BITS,
         ALL_WRITER_BITS,
         {},
         ALL_WRITER_BITS},
        {"participant takes some", false, 0, 32 | 0x2000, {{'p', 32}, {'p', 0x2000}}, 2 | 0x800},
        {"nobody", true, 0, 0, {}, ALL_WRITER_BITS},
    };
    for (Case const& c : cases) {
        std::vector<Call> calls;
        WriterListener writerListener(calls);
        ParticipantListener participantListener(calls);
        Writer* w = create(qos(vexa::dds::VOLATILE_DURABILITY_QOS));
        pub_->setWriterListener(c.writerListener ? &writerListener : nullptr, c.writerMask, w);
        w->set_status_changes(ALL_WRITER_BITS);
        pub_->periodicStatusCheckAndNotify(&participantListener, c.participantMask);
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(w->get_status_changes(), c.left) << c.name;
        pub_->deleteDW(w->getBridge());
    }
}

TEST_F(WriterStatus, AGetterResetsTheChangeAndTheBit) {
    std::vector<Call> calls;
    WriterListener listener(calls);
    DataWriterQos q = qos(vexa::dds::VOLATILE_DURABILITY_QOS);
    q.liveliness = {vexa::dds::MANUAL_BY_TOPIC_LIVELINESS_QOS, {1, 0}};
    Writer* w = create(q);
    ASSERT_EQ(write(w, 1), vexa::dds::RETCODE_OK);
    advanceClock(1100000);
    tick();
    ASSERT_NE(w->get_status_changes() & 0x800, 0u);
    EXPECT_TRUE(w->getStatusCondition().isTriggered());
    vexa::dds::LivelinessLostStatus s;
    EXPECT_EQ(pub_->getLivelinessLostStatus(s, w), vexa::dds::RETCODE_OK);
    EXPECT_EQ(s.total_count, 1);
    EXPECT_EQ(s.total_count_change, 1);
    EXPECT_EQ(w->get_status_changes() & 0x800, 0u);
    EXPECT_FALSE(w->getStatusCondition().isTriggered());
    pub_->getLivelinessLostStatus(s, w);
    EXPECT_EQ(s.total_count_change, 0);
    pub_->setWriterListener(&listener, ALL_WRITER_BITS, w);
    tick();
    EXPECT_TRUE(calls.empty());

    // A listener call resets the change counter too, after handing over the count.
    ASSERT_EQ(write(w, 1), vexa::dds::RETCODE_OK);
    advanceClock(1100000);
    tick();
    ASSERT_EQ(calls, (std::vector<Call>{{'w', 0x800}}));
    EXPECT_EQ(listener.lost.total_count, 2);
    EXPECT_EQ(listener.lost.total_count_change, 1);
    pub_->getLivelinessLostStatus(s, w);
    EXPECT_EQ(s.total_count_change, 0);
}

TEST_F(WriterStatus, ASparseInstanceTableIsCompacted) {
    Writer* w = create(qos(vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS));
    std::vector<vexa::dds::InstanceHandle_t> handles;
    for (int key = 0; key < 120; ++key) {
        KeyedSample s{key, 0};
        handles.push_back(pub_->registerInstance(w, &s, nullptr));
        ASSERT_EQ(write(w, key), vexa::dds::RETCODE_OK);
    }
    for (int key = 0; key < 120; key += 2) {
        KeyedSample s{key, 0};
        ASSERT_EQ(pub_->unregisterInstance(w, &s, vexa::dds::HANDLE_NIL, nullptr),
                  vexa::dds::RETCODE_OK);
    }
    KeyedSample extra{0, 0};
    ASSERT_EQ(pub_->unregisterInstance(w, &extra, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_BAD_PARAMETER);
    KeyedSample one{1, 0};
    ASSERT_EQ(pub_->unregisterInstance(w, &one, vexa::dds::HANDLE_NIL, nullptr),
              vexa::dds::RETCODE_OK);  // 59 of 120 live: fewer than half
    dp_->collectGarbage();
    EXPECT_EQ(w->instances().size(), 59u);
    EXPECT_EQ(w->sampleCount(), 59u);
    for (int key = 3; key < 120; key += 2) {
        KeyedSample s{key, 0};
        vexa::dds::InstanceHandle_t const h = handles[static_cast<size_t>(key)];
        EXPECT_EQ(pub_->lookupInstance(&s, w), h) << key;
        KeyedSample out{};
        EXPECT_EQ(pub_->getKeyValue(&out, h, w), vexa::dds::RETCODE_OK) << key;
        EXPECT_EQ(out.key, key);
        EXPECT_EQ(pub_->write(w, &s, h, nullptr), vexa::dds::RETCODE_OK) << key;
    }
    KeyedSample out{};
    EXPECT_EQ(pub_->getKeyValue(&out, handles[0], w), vexa::dds::RETCODE_BAD_PARAMETER);
    // A dropped key comes back as a new instance with a new handle.
    ASSERT_EQ(write(w, 0), vexa::dds::RETCODE_OK);
    KeyedSample zero{0, 0};
    EXPECT_NE(pub_->lookupInstance(&zero, w), handles[0]);
}
