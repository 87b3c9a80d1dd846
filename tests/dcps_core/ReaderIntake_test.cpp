#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "ReaderFixture.h"

using vexa::dcps::Reader;
using vexa::dcps::api::SampleSeq;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

class ReaderIntake : public ReaderFixture {
protected:
    // Until the postponed change is gone too (the next tick retries it).
    void untilNothingPending() {
        auto const until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (comm().pending() != 0 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(comm().pending(), 0);
        settle();
    }
    std::vector<uint8_t> keyless(int32_t value, char const* text) {
        vexatest::KeylessSample s;
        s.value = value;
        s.text = text;
        std::vector<uint8_t> bytes(vexatest::keylessType().lenPacked(&s));
        vexatest::keylessType().pack(bytes.data(), static_cast<unsigned>(bytes.size()), &s);
        return bytes;
    }
};

}  // namespace

TEST_F(ReaderIntake, EffectiveLimits) {
    struct Case {
        char const* name;
        dds::DataReaderQos qos;
        uint32_t samples, instances, perInstance, depth, step;
    };
    dds::DataReaderQos keepAll = qosOf(1, -1, -1, 4);
    keepAll.history.kind = dds::KEEP_ALL_HISTORY_QOS;
    Case const cases[] = {
        {"all unlimited, depth 1", qosOf(1), 1024, 1024, 1024, 1, 1},
        {"depth 5 with 3 per instance", qosOf(5, -1, -1, 3), 1024, 1024, 3, 3, 3},
        {"KEEP_ALL takes the per-instance limit", keepAll, 1024, 1024, 4, 4, 4},
        {"limits above the service's are cut", qosOf(2000, 5000, 5000, 5000), 1024, 1024, 1024,
         1024, 10},
        {"instances above samples", qosOf(1, 10, 20, 30), 10, 10, 10, 1, 1},
        {"zero limits mean none", qosOf(1, 0, 0, 0), 1024, 1024, 1024, 1, 1},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Reader* r = makeReader(c.qos);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->maxSamples(), c.samples);
        EXPECT_EQ(r->maxInstances(), c.instances);
        EXPECT_EQ(r->maxSamplesPerInstance(), c.perInstance);
        EXPECT_EQ(r->depth(), c.depth);
        EXPECT_EQ(r->listStep(), c.step);
        EXPECT_EQ(engine_->readers().back().samples, static_cast<int>(c.samples));
    }
}

// A KEEP_LAST history keeps at least one sample: a reader with a lower depth is not made.
TEST_F(ReaderIntake, AKeepLastDepthBelowOneIsRefused) {
    for (int32_t depth : {0, -1}) {
        dds::DataReaderQos const q = qosOf(depth);
        EXPECT_EQ(sub_->createDR(keyed_, &q, nullptr, 0), nullptr) << depth;
    }
    dds::DataReaderQos keepAll = qosOf(0);
    keepAll.history.kind = dds::KEEP_ALL_HISTORY_QOS;
    EXPECT_NE(sub_->createDR(keyed_, &keepAll, nullptr, 0), nullptr);
}

// KEEP_ALL behaves like KEEP_LAST of the per-instance limit: the oldest goes unless on loan.
TEST_F(ReaderIntake, KeepAllReplacesTheOldestUnlessItIsOnLoan) {
    dds::DataReaderQos q = qosOf(1, -1, -1, 2);
    q.history.kind = dds::KEEP_ALL_HISTORY_QOS;
    Reader* r = makeReader(q);
    for (int32_t v : {1, 2, 3}) {
        offer(r, 7, v);
    }
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(valueOf(seq, 0), 2);
    EXPECT_EQ(valueOf(seq, 1), 3);
    EXPECT_EQ(lost(r).total_count, 1);  // 1 was never read
    // The oldest (2) is on loan now: a best-effort reader refuses the next one.
    offer(r, 7, 4);
    settle();
    dds::SampleRejectedStatus const rej = rejected(r);
    EXPECT_EQ(rej.total_count, 1);
    EXPECT_EQ(rej.last_reason, dds::REJECTED_BY_SAMPLES_PER_INSTANCE_LIMIT);
    EXPECT_EQ(rej.last_instance_handle, seq.info[0]->instance_handle);
    EXPECT_EQ(giveBack(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(r->samplesHeld(), 2u);
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
}

TEST_F(ReaderIntake, AKeylessTypeHasOneInstance) {
    Reader* r = makeReader(qosOf(5), keyless_);
    offerBytes(r, keyless(1, "a"));
    offerBytes(r, keyless(2, "bb"));
    settle();
    ASSERT_EQ(r->instances().size(), 1u);
    SampleSeq seq;
    ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(seq.info[0]->instance_handle, seq.info[1]->instance_handle);
    EXPECT_EQ(static_cast<vexatest::KeylessSample*>(seq.data[1])->text, "bb");
    giveBack(seq, r);
}

// Samples beyond the preallocated block come from the type support. Small ones the reader is
// done with are kept and filled again, at most Reader::SPARE_OBJECTS of them; large ones are
// deleted at once, and the kept ones go with the reader.
TEST_F(ReaderIntake, ReturnedHeapSamplesAreFilledAgainWithinABound) {
    auto& type = vexatest::keylessType();
    Reader* r = makeReader(qosOf(1000), keyless_);
    uint32_t const pre = r->preallocated();
    size_t const spares = Reader::SPARE_OBJECTS;
    std::string const large(Reader::SPARE_MAX_LENGTH + 1, 'x');
    struct Case {
        char const* name;
        size_t samples;   // offered, taken and returned at once
        char const* tag;  // each sample's text: tag and its number (the last one `large`)
        bool lastIsLarge;
        unsigned deleted;  // heap samples deleted on their return
    } const cases[] = {
        {"returned small ones are all kept", pre + 30, "first round ", false, 0},
        {"kept ones carry the new samples", pre + 30, "2nd ", false, 0},
        {"a large one is deleted", pre + 1, "", true, 1},
        {"beyond the bound they are deleted", pre + spares + 20, "third ", false, 20},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> texts;
        for (size_t i = 0; i < c.samples; ++i) {
            bool const isLarge = c.lastIsLarge && i + 1 == c.samples;
            texts.push_back(isLarge ? large : c.tag + std::to_string(i));
            offerBytes(r, keyless(static_cast<int32_t>(i), texts.back().c_str()));
        }
        settle();
        SampleSeq seq;
        ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
        ASSERT_EQ(seq.size(), c.samples);
        for (size_t i = 0; i < c.samples; ++i) {
            auto const* s = static_cast<vexatest::KeylessSample const*>(seq.data[i]);
            EXPECT_EQ(s->value, static_cast<int32_t>(i));
            EXPECT_EQ(s->text, texts[i]);
        }
        unsigned const before = type.count(vexatest::TypeOp::DeleteObject);
        ASSERT_EQ(giveBack(seq, r), dds::RETCODE_OK);
        EXPECT_EQ(type.count(vexatest::TypeOp::DeleteObject) - before, c.deleted);
    }
    unsigned const before = type.count(vexatest::TypeOp::DeleteObject);
    ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
    // A deleted reader goes at the second collector pass.
    sub_->collectGarbage();
    sub_->collectGarbage();
    EXPECT_EQ(type.count(vexatest::TypeOp::DeleteObject) - before, spares);
}

TEST_F(ReaderIntake, InstancesByKeyWithOrWithoutTheEnginesHash) {
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 10, RTPS::SAMPLE_ALIVE, {100, 0}, true);
    offer(r, 1, 11, RTPS::SAMPLE_ALIVE, {100, 0}, false);
    offer(r, 2, 20, RTPS::SAMPLE_ALIVE, {100, 0}, true);
    settle();
    ASSERT_EQ(r->instances().size(), 2u);
    EXPECT_EQ(r->instances()[0].samples.count(), 2u);
    vexatest::KeyedSample probe;
    probe.key = 2;
    EXPECT_EQ(sub_->lookupInstance(&probe, r), r->instances()[1].handle);
    probe.key = 3;
    EXPECT_EQ(sub_->lookupInstance(&probe, r), dds::HANDLE_NIL);
    vexatest::KeyedSample holder;
    EXPECT_EQ(sub_->getKeyValue(&holder, r->instances()[0].handle, r), dds::RETCODE_OK);
    EXPECT_EQ(holder.key, 1);
}

// With a full history, a sample older than everything kept is refused, not inserted.
TEST_F(ReaderIntake, BySourceTimestampOrdersAndRefusesTheTooOld) {
    dds::DataReaderQos q = qosOf(2);
    q.destination_order.kind = dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS;
    Reader* r = makeReader(q);
    offer(r, 1, 20, RTPS::SAMPLE_ALIVE, {20, 0});
    offer(r, 1, 10, RTPS::SAMPLE_ALIVE, {10, 0});  // inserted before 20
    offer(r, 1, 5, RTPS::SAMPLE_ALIVE, {5, 0});    // older than both: refused
    offer(r, 1, 15, RTPS::SAMPLE_ALIVE, {15, 0});  // replaces 10, goes before 20
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(valueOf(seq, 0), 15);
    EXPECT_EQ(valueOf(seq, 1), 20);
    EXPECT_EQ(rejected(r).total_count, 1);
    EXPECT_EQ(lost(r).total_count, 1);  // 10, replaced unread
    giveBack(seq, r);
}

TEST_F(ReaderIntake, ADepthOneOverwriteOfAnUnreadSampleCountsItLost) {
    Reader* r = makeReader(qosOf(1));
    offer(r, 1, 1);
    settle();
    offer(r, 1, 2);
    settle();
    EXPECT_EQ(lost(r).total_count, 1);
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(valueOf(seq, 0), 2);
    giveBack(seq, r);
    offer(r, 1, 3);  // 2 was read: not lost
    settle();
    EXPECT_EQ(lost(r).total_count, 1);
}

// A full RELIABLE reader keeps the change in the engine and takes it once there is room.
TEST_F(ReaderIntake, AFullReliableReaderPostponesUntilThereIsRoom) {
    dds::DataReaderQos q = qosOf(2, 2);
    q.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    Reader* r = makeReader(q);
    offer(r, 1, 1);
    offer(r, 2, 2);
    offer(r, 1, 3);
    settle();
    EXPECT_EQ(r->samplesHeld(), 2u);
    EXPECT_EQ(comm().postponed(), 1);
    EXPECT_EQ(engineOf(r)->heldChanges(), 1u);
    // Retried at the ticks: still one postponed change, counted once.
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    settle();
    EXPECT_EQ(comm().postponed(), 1);
    EXPECT_EQ(comm().pending(), 1);
    EXPECT_EQ(rejected(r).total_count, 0);
    // Read samples may make room.
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    giveBack(seq, r);
    untilNothingPending();
    EXPECT_EQ(comm().postponed(), 0);
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
    ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(valueOf(seq, 1), 3);
    EXPECT_EQ(lost(r).total_count, 0);
    giveBack(seq, r);
}

// A returned loan that makes room lets the postponed change in at once, not at the
// data-handling thread's next tick: twenty rounds would wait about a second for the ticks (50 ms
// each on average), and take a few milliseconds without them.
TEST_F(ReaderIntake, AReturnedLoanLetsThePostponedChangeInAtOnce) {
    dds::DataReaderQos q = qosOf(1);
    q.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    Reader* r = makeReader(q);
    std::chrono::steady_clock::duration waited{};
    for (int32_t round = 0; round < 20; ++round) {
        offer(r, 1, 2 * round + 1);
        settle();
        SampleSeq seq;
        ASSERT_EQ(read(seq, r), dds::RETCODE_OK);  // its one slot is on loan
        offer(r, 1, 2 * round + 2);
        settle();
        ASSERT_EQ(comm().postponed(), 1) << round;
        auto const start = std::chrono::steady_clock::now();
        giveBack(seq, r);
        untilNothingPending();
        waited += std::chrono::steady_clock::now() - start;
        ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
        ASSERT_EQ(seq.size(), 1u);
        EXPECT_EQ(valueOf(seq, 0), 2 * round + 2);
        giveBack(seq, r);
    }
    EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TEST_F(ReaderIntake, AFullBestEffortReaderRejectsWhenNothingCanGo) {
    Reader* r = makeReader(qosOf(2, 2));
    offer(r, 1, 1);
    offer(r, 2, 2);
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);  // both on loan
    offer(r, 3, 3);
    settle();
    dds::SampleRejectedStatus const rej = rejected(r);
    EXPECT_EQ(rej.total_count, 1);
    EXPECT_EQ(rej.last_reason, dds::REJECTED_BY_SAMPLES_LIMIT);
    EXPECT_EQ(rej.last_instance_handle, dds::HANDLE_NIL);
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
    giveBack(seq, r);
    // Not on loan any more: the oldest makes room.
    offer(r, 1, 3);
    settle();
    EXPECT_EQ(r->samplesHeld(), 2u);
    EXPECT_EQ(rejected(r).total_count, 1);
}

// What unregistrations and disposals from writers the reader does not know leave behind.
TEST_F(ReaderIntake, UnregistrationAndDisposalWithUnknownWriters) {
    struct Case {
        char const* name;
        std::vector<uint32_t> flags;
        size_t stored;
        int32_t state;
    } const cases[] = {
        {"a disposal", {1, 2}, 2, dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE},
        {"an unregistration", {1, 4}, 2, dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE},
        {"an unregistration of a disposed instance is dropped",
         {1, 2, 4},
         2,
         dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE},
        {"disposed and unregistered at once", {1, 6}, 2, dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE},
        {"alive again after a disposal", {1, 2, 1}, 3, dds::ALIVE_INSTANCE_STATE},
    };
    int32_t key = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Reader* r = makeReader(qosOf(5));
        ++key;
        for (uint32_t f : c.flags) {
            offer(r, key, 0, f);
        }
        settle();
        SampleSeq seq;
        ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
        ASSERT_EQ(seq.size(), c.stored);
        EXPECT_EQ(seq.info.back()->instance_state, c.state);
        EXPECT_EQ(seq.info.back()->valid_data, c.state == dds::ALIVE_INSTANCE_STATE);
        EXPECT_EQ(lost(r).total_count, 0);
        EXPECT_EQ(rejected(r).total_count, 0);
        EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
        giveBack(seq, r);
    }
}

// Samples replayed by the durability service leave a new instance without writers, yet an
// ALIVE one carries data; a replayed disposal does not.
TEST_F(ReaderIntake, ReplayedSamplesCarryDataOnAnInstanceWithoutWriters) {
    constexpr uint32_t REPLAYED = 0x40000000u;
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 10, REPLAYED | RTPS::SAMPLE_ALIVE);
    offer(r, 1, 11, REPLAYED | RTPS::SAMPLE_ALIVE);
    offer(r, 2, 20, REPLAYED | RTPS::SAMPLE_ALIVE);
    offer(r, 2, 0, REPLAYED | 2u);
    settle();
    SampleSeq seq;
    ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(seq.info[i]->valid_data);
    }
    EXPECT_EQ(seq.info[0]->instance_state, dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE);
    EXPECT_EQ(valueOf(seq, 1), 11);
    EXPECT_FALSE(seq.info[3]->valid_data);
    EXPECT_EQ(seq.info[3]->instance_state, dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE);
    giveBack(seq, r);
}

// Payloads that do not unpack are lost; none is read beyond its length (exact-size copies).
TEST_F(ReaderIntake, APayloadThatDoesNotUnpackIsLost) {
    Reader* r = makeReader(qosOf(1));
    vexatest::KeyedSample s;
    std::vector<uint8_t> full(vexatest::KeyedTypeSupport::PACKED_SIZE);
    vexatest::keyedType().pack(full.data(), static_cast<unsigned>(full.size()), &s);
    std::vector<uint8_t> foreign = full;
    foreign[0] = foreign[1] = 9;
    struct Case {
        char const* name;
        std::vector<uint8_t> bytes;
    } const cases[] = {
        {"empty", {}},
        {"header only", {full.begin(), full.begin() + 4}},
        {"unknown encoding", foreign},
        {"value cut off", {full.begin(), full.end() - 2}},
    };
    int32_t n = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        offerBytes(r, c.bytes);
        settle();
        EXPECT_EQ(lost(r).total_count, ++n);
        EXPECT_EQ(r->samplesHeld(), 0u);
    }
    vexatest::keyedType().failUnpack = true;
    offer(r, 1, 1);
    settle();
    vexatest::keyedType().failUnpack = false;
    EXPECT_EQ(lost(r).total_count, ++n);
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
    EXPECT_EQ(r->samplesHeld(), 0u);
}

// Not delivered to a reader that is not enabled, but taken out of the engine's history, which
// would otherwise fill up and refuse what comes after the enable.
TEST_F(ReaderIntake, AChangeForADisabledReaderLeavesTheEngineUndelivered) {
    dds::SubscriberQos sq = vexa::dds::predefSubscriberQos();
    sq.entity_factory.autoenable_created_entities = false;
    vexa::dcps::Subscriber* quiet = dp_->createSubscriber(&sq, nullptr, 0);
    Reader* r = makeReader(qosOf(1), keyed_, quiet);
    ASSERT_FALSE(r->isEnabled());
    offer(r, 1, 1);
    settle();
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
    EXPECT_EQ(r->samplesHeld(), 0u);
    EXPECT_EQ(comm().pending(), 0);
    SampleSeq seq;
    EXPECT_EQ(read(seq, r), dds::RETCODE_NOT_ENABLED);
    ASSERT_EQ(r->enable(), dds::RETCODE_OK);
    offer(r, 1, 2);
    settle();
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(valueOf(seq, 0), 2);
    giveBack(seq, r);
}

// Disposed instances go after their delay; a delay near the largest one never elapses.
TEST_F(ReaderIntake, AutopurgeOfDisposedInstances) {
    struct Case {
        char const* name;
        dds::Duration_t delay;
        bool purged;
    } const cases[] = {
        {"2 s", {2, 0}, true},
        {"0x7FFFFFFE s", {0x7FFFFFFE, 0}, false},
    };
    int32_t key = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        dds::DataReaderQos q = qosOf(5);
        q.reader_data_lifecycle.autopurge_disposed_samples_delay = c.delay;
        Reader* r = makeReader(q);
        ++key;
        offer(r, key, 1);
        offer(r, key, 0, RTPS::SAMPLE_DISPOSED);
        settle();
        SampleSeq seq;
        ASSERT_EQ(read(seq, r), dds::RETCODE_OK);  // read, returned, still held
        giveBack(seq, r);
        sub_->collectGarbage();
        EXPECT_EQ(r->liveInstances(), 1u);
        dp_->getTimeService().advance(3000000);
        sub_->collectGarbage();
        EXPECT_EQ(r->liveInstances(), c.purged ? 0u : 1u);
        EXPECT_EQ(r->samplesHeld(), c.purged ? 0u : 2u);
        EXPECT_EQ(lost(r).total_count, 0);
    }
}
