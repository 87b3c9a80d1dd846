#include <gtest/gtest.h>

#include <thread>

#include "ReaderFixture.h"
#include "dcps/condition/ReadCondition.h"
#include "dcps/condition/WaitSet.h"
#include "vexa/DataReaderImpl.h"

using vexa::dcps::ReadCondition;
using vexa::dcps::Reader;
using vexa::dcps::WaitSet;
using vexa::dcps::api::SampleSeq;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

class ReaderAccess : public ReaderFixture {
protected:
    bool has(Reader* r, uint32_t sample, uint32_t view, uint32_t instance) {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        return r->hasSamples(sample, view, instance);
    }
    uint32_t loansOf(SampleSeq const& seq, size_t i) {
        vexa::dcps::Subscriber::SampleCB* cb = nullptr;
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(sub_->getMutex());
        EXPECT_GE(sub_->pool().findSample(seq.info[i], cb), 0);
        return cb != nullptr ? cb->loans : 0;
    }
};

}  // namespace

// Loans: a read leaves the sample NOT_READ until it comes back; a take hides it from later
// reads; the sample goes with its last loan.
TEST_F(ReaderAccess, ReadsAndATakeAreFreedAtTheLastReturn) {
    Reader* r = makeReader(qosOf(1));
    offer(r, 1, 1);
    settle();
    SampleSeq first, second, taken;
    ASSERT_EQ(read(first, r), dds::RETCODE_OK);
    EXPECT_EQ(first.info[0]->sample_state, dds::NOT_READ_SAMPLE_STATE);
    ASSERT_EQ(read(second, r), dds::RETCODE_OK);
    EXPECT_EQ(second.info[0]->sample_state, dds::NOT_READ_SAMPLE_STATE);
    EXPECT_EQ(second.data[0], first.data[0]);  // lent, not copied
    ASSERT_EQ(take(taken, r), dds::RETCODE_OK);
    EXPECT_EQ(loansOf(taken, 0), 3u);
    SampleSeq none;
    EXPECT_EQ(read(none, r), dds::RETCODE_NO_DATA);  // taken: hidden
    EXPECT_EQ(giveBack(first, r), dds::RETCODE_OK);
    EXPECT_EQ(giveBack(taken, r), dds::RETCODE_OK);
    EXPECT_EQ(r->samplesHeld(), 1u);
    EXPECT_EQ(sub_->pool().count(), 1u);
    EXPECT_EQ(giveBack(second, r), dds::RETCODE_OK);
    EXPECT_EQ(r->samplesHeld(), 0u);
    EXPECT_EQ(sub_->pool().count(), 0u);
    EXPECT_EQ(lost(r).total_count, 0);
}

TEST_F(ReaderAccess, AReturnedReadMarksTheSampleRead) {
    Reader* r = makeReader(qosOf(1));
    offer(r, 1, 1);
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    giveBack(seq, r);
    ASSERT_EQ(sub_->loanSamples(seq, r, true, -1, dds::NOT_READ_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                dds::ANY_INSTANCE_STATE),
              dds::RETCODE_NO_DATA);
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(seq.info[0]->sample_state, dds::READ_SAMPLE_STATE);
    EXPECT_EQ(seq.info[0]->view_state, dds::NOT_NEW_VIEW_STATE);
    giveBack(seq, r);
}

// NEW once per generation of an instance: again after a disposal and new samples, for loans,
// for hasSamples and for read conditions alike.
TEST_F(ReaderAccess, ViewStateIsNewAgainAfterADisposalAndNewSamples) {
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 1);
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(seq.info[0]->view_state, dds::NEW_VIEW_STATE);
    giveBack(seq, r);
    offer(r, 1, 2);
    settle();
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(seq.info[1]->view_state, dds::NOT_NEW_VIEW_STATE);
    giveBack(seq, r);
    offer(r, 1, 0, RTPS::SAMPLE_DISPOSED);
    settle();
    EXPECT_FALSE(has(r, dds::ANY_SAMPLE_STATE, dds::NEW_VIEW_STATE, dds::ANY_INSTANCE_STATE));
    ReadCondition* fresh = sub_->createReadCondition(dds::ANY_SAMPLE_STATE, dds::NEW_VIEW_STATE,
                                                     dds::ANY_INSTANCE_STATE, r);
    offer(r, 1, 3);  // the instance comes back
    settle();
    EXPECT_TRUE(fresh->isTriggered());
    EXPECT_TRUE(has(r, dds::ANY_SAMPLE_STATE, dds::NEW_VIEW_STATE, dds::ANY_INSTANCE_STATE));
    ASSERT_EQ(sub_->loanSamples(seq, r, true, -1, dds::ANY_SAMPLE_STATE, dds::NEW_VIEW_STATE,
                                dds::ANY_INSTANCE_STATE),
              dds::RETCODE_OK);
    EXPECT_EQ(valueOf(seq, seq.size() - 1), 3);
    EXPECT_EQ(seq.info.back()->disposed_generation_count, 1);
    EXPECT_EQ(seq.info.back()->absolute_generation_rank, 0);
    EXPECT_EQ(seq.info.front()->absolute_generation_rank, 1);
    giveBack(seq, r);
}

// Instance mode starts at the instance of the oldest sample not taken and lends its oldest.
TEST_F(ReaderAccess, InstanceModeWithMaxOneLendsTheOldestOfTheStartInstance) {
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 10);
    offer(r, 2, 20);
    offer(r, 1, 11);
    settle();
    SampleSeq a, b;
    ASSERT_EQ(take(a, r, 1), dds::RETCODE_OK);
    EXPECT_EQ(valueOf(a, 0), 10);
    ASSERT_EQ(read(b, r, 1), dds::RETCODE_OK);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(keyOf(b, 0), 2);  // 10 is taken: the next oldest is instance 2's
    giveBack(b, r);
    ASSERT_EQ(read(b, r), dds::RETCODE_OK);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(valueOf(b, 0), 20);  // then round the table back to instance 1
    EXPECT_EQ(valueOf(b, 1), 11);
    giveBack(b, r);
    giveBack(a, r);
}

TEST_F(ReaderAccess, RanksCountFromTheNewestSampleOfEachInstance) {
    Reader* r = makeReader(qosOf(5));
    for (int32_t v : {1, 2, 3}) {
        offer(r, 1, v);
    }
    offer(r, 2, 9);
    settle();
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 4u);
    EXPECT_EQ(seq.info[0]->sample_rank, 2);
    EXPECT_EQ(seq.info[1]->sample_rank, 1);
    EXPECT_EQ(seq.info[2]->sample_rank, 0);
    EXPECT_EQ(seq.info[3]->sample_rank, 0);
    giveBack(seq, r);
}

// Handles of compacted instances still lead to the next instance.
TEST_F(ReaderAccess, NextInstanceAcrossACompactedHandle) {
    Reader* r = makeReader(qosOf(1));
    for (int32_t k = 0; k < 110; ++k) {
        offer(r, k, k);
    }
    settle();
    vexatest::KeyedSample probe;
    probe.key = 49;
    dds::InstanceHandle_t const h49 = sub_->lookupInstance(&probe, r);
    probe.key = 50;
    dds::InstanceHandle_t const h50 = sub_->lookupInstance(&probe, r);
    ASSERT_GT(h50, h49);
    for (int32_t k = 0; k < 100; ++k) {
        if (k != 50) {
            offer(r, k, 0, RTPS::SAMPLE_DISPOSED);
        }
    }
    settle();
    drainReader(r);
    sub_->collectGarbage();  // disposed instances without samples go
    EXPECT_EQ(r->liveInstances(), 11u);
    EXPECT_EQ(r->instances().size(), 110u);
    sub_->collectGarbage();  // fewer than half live: compacted
    EXPECT_EQ(r->instances().size(), 11u);
    offer(r, 50, 500);
    offer(r, 100, 1000);
    settle();
    SampleSeq seq;
    ASSERT_EQ(sub_->loanInstanceSamples(seq, r, true, h49, true, -1, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_OK);
    ASSERT_EQ(seq.size(), 1u);
    EXPECT_EQ(valueOf(seq, 0), 500);
    giveBack(seq, r);
    ASSERT_EQ(sub_->loanInstanceSamples(seq, r, true, h50, true, -1, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_OK);
    EXPECT_EQ(valueOf(seq, 0), 1000);
    giveBack(seq, r);
    // The compacted handle itself is unknown now.
    EXPECT_EQ(sub_->loanInstanceSamples(seq, r, true, h49, false, -1, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_BAD_PARAMETER);
    EXPECT_EQ(sub_->loanInstanceSamples(seq, r, true, h50, false, -1, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_OK);
    giveBack(seq, r);
}

// Sample infos handed back that are not this reader's loans are refused one by one, never
// touched; the reader's own are given back.
TEST_F(ReaderAccess, ReturnLoanRefusesWhatIsNotItsOwnLoan) {
    Reader* a = makeReader(qosOf(5));
    Reader* b = makeReader(qosOf(5));
    offer(a, 1, 1);
    offer(a, 1, 2);
    offer(b, 1, 3);
    settle();
    SampleSeq fromA, fromB;
    ASSERT_EQ(read(fromA, a), dds::RETCODE_OK);
    ASSERT_EQ(read(fromB, b), dds::RETCODE_OK);
    dds::SampleInfo local;
    auto* inside = reinterpret_cast<dds::SampleInfo*>(reinterpret_cast<char*>(fromA.info[0]) + 8);
    SampleSeq mixed;
    mixed.push_back(fromA.data[0], fromA.info[0]);
    mixed.push_back(fromB.data[0], fromB.info[0]);
    mixed.push_back(nullptr, inside);
    mixed.push_back(nullptr, &local);
    mixed.push_back(nullptr, nullptr);
    mixed.push_back(fromA.data[1], fromA.info[1]);
    EXPECT_EQ(giveBack(mixed, a), dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_EQ(fromA.info[0]->sample_state, dds::READ_SAMPLE_STATE);
    EXPECT_EQ(fromA.info[1]->sample_state, dds::READ_SAMPLE_STATE);
    EXPECT_EQ(fromB.info[0]->sample_state, dds::NOT_READ_SAMPLE_STATE);
    EXPECT_EQ(loansOf(fromB, 0), 1u);
    // Given back once already: a second return is refused.
    SampleSeq again;
    again.push_back(fromA.data[0], fromA.info[0]);
    EXPECT_EQ(giveBack(again, a), dds::RETCODE_PRECONDITION_NOT_MET);
    EXPECT_EQ(giveBack(fromB, b), dds::RETCODE_OK);
}

// A handle of a sibling reader is not this reader's, whatever index it records.
TEST_F(ReaderAccess, ASiblingReadersHandleIsUnknown) {
    Reader* a = makeReader(qosOf(1));
    Reader* b = makeReader(qosOf(1));
    offer(a, 1, 1);
    offer(a, 2, 2);
    offer(b, 7, 7);
    settle();
    dds::InstanceHandle_t const foreign = b->instances()[0].handle;
    SampleSeq seq;
    EXPECT_EQ(sub_->loanInstanceSamples(seq, a, true, foreign, false, -1, dds::ANY_SAMPLE_STATE,
                                        dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
              dds::RETCODE_BAD_PARAMETER);
    EXPECT_TRUE(seq.empty());
    vexatest::KeyedSample holder;
    EXPECT_EQ(sub_->getKeyValue(&holder, foreign, a), dds::RETCODE_BAD_PARAMETER);
    EXPECT_EQ(sub_->getKeyValue(&holder, foreign, b), dds::RETCODE_OK);
    EXPECT_EQ(holder.key, 7);
    EXPECT_EQ(
        sub_->loanInstanceSamples(seq, a, true, dds::HANDLE_NIL, false, -1, dds::ANY_SAMPLE_STATE,
                                  dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE),
        dds::RETCODE_BAD_PARAMETER);
}

// A read condition rises for a matching sample, one held when it is made included, and falls
// once none is left.
TEST_F(ReaderAccess, ReadConditionsFollowMatchingSamples) {
    Reader* r = makeReader(qosOf(5));
    offer(r, 1, 1);
    settle();
    ReadCondition* unread = sub_->createReadCondition(
        dds::NOT_READ_SAMPLE_STATE, dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE, r);
    ReadCondition* gone = sub_->createReadCondition(dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                                    dds::NOT_ALIVE_INSTANCE_STATE, r);
    EXPECT_TRUE(unread->isTriggered());  // the sample held already
    EXPECT_FALSE(gone->isTriggered());
    SampleSeq held;
    ASSERT_EQ(take(held, r), dds::RETCODE_OK);
    giveBack(held, r);
    EXPECT_FALSE(unread->isTriggered());
    offer(r, 2, 2);
    settle();
    EXPECT_TRUE(unread->isTriggered());
    EXPECT_FALSE(gone->isTriggered());
    SampleSeq seq;
    ASSERT_EQ(read(seq, r), dds::RETCODE_OK);
    EXPECT_TRUE(unread->isTriggered());  // still unread while lent
    giveBack(seq, r);
    EXPECT_FALSE(unread->isTriggered());
    offer(r, 2, 0, RTPS::SAMPLE_DISPOSED);
    settle();
    EXPECT_TRUE(gone->isTriggered());
    EXPECT_EQ(sub_->deleteReadCondition(gone, r), dds::RETCODE_OK);
    EXPECT_EQ(sub_->deleteReadCondition(gone, r), dds::RETCODE_PRECONDITION_NOT_MET);
    WaitSet ws;
    ws.attachCondition(unread);
    EXPECT_EQ(sub_->deleteAllReadConditions(r), dds::RETCODE_PRECONDITION_NOT_MET);
    ws.detachCondition(unread);
    EXPECT_EQ(sub_->deleteAllReadConditions(r), dds::RETCODE_OK);
}

// A wait set that waits on a reader's condition survives the reader.
TEST_F(ReaderAccess, AReaderDestroyedWhileItsConditionIsAttached) {
    Reader* r = makeReader(qosOf(1));
    ReadCondition* c = sub_->createReadCondition(dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                                 dds::ANY_INSTANCE_STATE, r);
    WaitSet ws;
    ASSERT_EQ(ws.attachCondition(c), dds::RETCODE_OK);
    dds::ReturnCode_t rc = dds::RETCODE_ERROR;
    std::thread waiter([&] {
        WaitSet::ConditionArray out;
        unsigned count = 0;
        rc = ws.wait(out, count, dds::DURATION_INFINITE);
    });
    // Until the waiter sleeps: a second wait is refused then.
    WaitSet::ConditionArray probe;
    unsigned n = 0;
    while (ws.wait(probe, n, {0, 0}) != dds::RETCODE_PRECONDITION_NOT_MET) {
        std::this_thread::yield();
    }
    ASSERT_EQ(sub_->deleteDR(r->getBridge()), dds::RETCODE_OK);
    sub_->collectGarbage();
    sub_->collectGarbage();  // the reader and its condition are gone
    waiter.join();
    EXPECT_EQ(rc, dds::RETCODE_OK);
    WaitSet::ConditionArray out;
    unsigned count = 7;
    EXPECT_EQ(ws.getConditions(out, count), dds::RETCODE_OK);
    EXPECT_EQ(count, 0u);
}
