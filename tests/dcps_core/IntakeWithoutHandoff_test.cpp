// Filing on the engine thread that announced a change, while the data-handling thread sleeps:
// the change is filed there, one filing at a time and in the writer's order whichever thread
// files, and none once the data handling has stopped.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ReaderFixture.h"
#include "dcps/condition/ReadCondition.h"
#include "dcps/condition/WaitSet.h"
#include "dcps/domain/DomainParticipant.h"
#include "fake/CallGate.h"
#include "fake/FakeTypes.h"
#include "vexa/DataReaderImpl.h"

using vexa::dcps::DomainParticipant;
using vexa::dcps::Reader;
using vexa::dcps::api::SampleSeq;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

using namespace std::chrono_literals;

// The keyed type, watched while a sample is unpacked into the reader: on which thread, how many
// at once, and held at a gate when a test closes it.
class WatchedTypeSupport : public vexatest::KeyedTypeSupport {
public:
    // The two-argument unpack comes through this one.
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override {
        Inside in(*this);
        return KeyedTypeSupport::unpack(obj, buf, lenbuf);
    }

    std::atomic<unsigned> onHandlingThread{0};
    std::atomic<unsigned> onEngineThread{0};
    std::atomic<unsigned> mostInside{0};

    void reset() {
        onHandlingThread = 0;
        onEngineThread = 0;
        mostInside = 0;
        gate_.open();
    }

    // While closed, an unpack off the data-handling thread waits at the gate.
    void close() { gate_.close(); }
    void open() { gate_.open(); }
    // True once an unpack waits at the gate.
    bool waitHeld(std::chrono::milliseconds limit) { return gate_.waitHeld(1, limit); }

private:
    struct Inside {
        explicit Inside(WatchedTypeSupport const& t) : type(const_cast<WatchedTypeSupport&>(t)) {
            unsigned const now = ++type.inside_;
            unsigned most = type.mostInside.load();
            while (now > most && !type.mostInside.compare_exchange_weak(most, now)) {
            }
            if (DomainParticipant::onDataHandlingThread()) {
                ++type.onHandlingThread;
                return;
            }
            ++type.onEngineThread;
            type.gate_.pass();
        }
        ~Inside() { --type.inside_; }
        WatchedTypeSupport& type;
    };

    mutable std::atomic<unsigned> inside_{0};
    vexatest::CallGate gate_;
};

// The factory owns registered type supports: this one is registered once and lives with it.
WatchedTypeSupport& watchedType() {
    static WatchedTypeSupport* t = [] {
        auto* w = new WatchedTypeSupport;
        vexatest::factory().addTypeSupport("Watched", w);
        return w;
    }();
    return *t;
}

class IntakeWithoutHandoff : public ReaderFixture {
protected:
    void SetUp() override {
        ReaderFixture::SetUp();
        watched = &watchedType();
        watched->reset();
        ASSERT_EQ(dp_->registerTypeSupport("Watched", watched->typeSupportCB()), dds::RETCODE_OK);
        topic_ = dp_->createTopic("W", "Watched", nullptr, nullptr, 0);
        ASSERT_NE(topic_, nullptr);
    }

    WatchedTypeSupport* watched = nullptr;
    vexa::dcps::Topic* topic_ = nullptr;
};

// The data-handling thread sleeps between its ticks: a change announced then is filed on the
// announcing thread. A tick pass may coincide with one of the rounds, never with all of them.
TEST_F(IntakeWithoutHandoff, AChangeIsFiledOnTheAnnouncingThreadWhileTheThreadSleeps) {
    Reader* r = makeReader(qosOf(100), topic_);
    for (int32_t k = 0; k < 20; ++k) {
        std::this_thread::sleep_for(5ms);
        offer(r, 1, k);
        settle();
    }
    EXPECT_EQ(r->samplesHeld(), 20u);
    EXPECT_GT(watched->onEngineThread.load(), 0u) << "every change went through the hand-off";
}

// A stream from one writer, filed partly on the engine thread and partly by the data-handling
// thread (the test takes the participant mutex now and then, so the engine thread leaves its
// changes to the thread): the reader gets every change in the writer's order, and no two
// filings ever overlap.
TEST_F(IntakeWithoutHandoff, AStreamKeepsTheWritersOrderAndIsFiledOneAtATime) {
    constexpr int32_t kCount = 1000;
    Reader* r = makeReader(qosOf(kCount), topic_);
    std::atomic<bool> busy{true};
    std::thread holder([&] {
        while (busy) {
            {
                std::lock_guard<vexa::dcps::CoreRecursiveMutex> lock(dp_->getMutex());
                std::this_thread::sleep_for(50us);
            }
            std::this_thread::sleep_for(200us);
        }
    });
    for (int32_t k = 0; k < kCount; ++k) {
        offer(r, 1, k);
        if (k % 50 == 49) {
            // The thread catches up and sleeps: the next change may be filed on the engine
            // thread.
            settle();
            std::this_thread::sleep_for(1ms);
        }
    }
    settle();
    busy = false;
    holder.join();
    EXPECT_GT(watched->onEngineThread.load(), 0u);
    EXPECT_GT(watched->onHandlingThread.load(), 0u);
    EXPECT_EQ(watched->mostInside.load(), 1u);
    std::vector<int32_t> values;
    for (;;) {
        SampleSeq seq;
        if (take(seq, r) != dds::RETCODE_OK) {
            break;
        }
        for (void* data : seq.data) {
            values.push_back(static_cast<vexatest::KeyedSample const*>(data)->value);
        }
        giveBack(seq, r);
    }
    ASSERT_EQ(values.size(), static_cast<size_t>(kCount));
    for (int32_t k = 0; k < kCount; ++k) {
        ASSERT_EQ(values[k], k) << "out of order at " << k;
    }
}

// The changes of one datagram while the data-handling thread sleeps: filing begins only once
// the last of them is queued, files them all in one pass on the announcing thread, and wakes
// the application's waiter once, with all of them there to take.
TEST_F(IntakeWithoutHandoff, ADatagramIsFiledInOnePassAndWakesTheWaiterOnce) {
    constexpr int32_t kCount = 16;
    Reader* r = makeReader(qosOf(1000), topic_);
    std::vector<int32_t> values(kCount);
    for (int32_t k = 0; k < kCount; ++k) {
        values[k] = k;
    }
    vexa::dcps::ReadCondition* any = sub_->createReadCondition(
        dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE, dds::ANY_INSTANCE_STATE, r);
    ASSERT_NE(any, nullptr);
    vexa::dcps::WaitSet ws;
    ASSERT_EQ(ws.attachCondition(any), dds::RETCODE_OK);
    settle();
    int pendingAtFirstFiling = -1;
    std::vector<size_t> takenPerWake;
    std::vector<int32_t> taken;
    for (int round = 0; round < 20 && pendingAtFirstFiling < 0; ++round) {
        std::this_thread::sleep_for(5ms);
        takenPerWake.clear();
        taken.clear();
        // The waiter takes what each wake brings until the datagram is all there.
        std::thread waiter([&] {
            auto out = std::make_unique<vexa::dcps::WaitSet::ConditionArray>();
            while (taken.size() < static_cast<size_t>(kCount)) {
                unsigned n = 0;
                if (ws.wait(*out, n, {10, 0}) != dds::RETCODE_OK) {
                    return;
                }
                SampleSeq seq;
                take(seq, r);
                takenPerWake.push_back(seq.size());
                for (size_t i = 0; i < seq.size(); ++i) {
                    taken.push_back(valueOf(seq, i));
                }
                giveBack(seq, r);
            }
        });
        {
            auto out = std::make_unique<vexa::dcps::WaitSet::ConditionArray>();
            unsigned n = 0;
            while (ws.wait(*out, n, {0, 0}) != dds::RETCODE_PRECONDITION_NOT_MET) {
                std::this_thread::yield();
            }
        }
        watched->reset();
        watched->close();
        offerDatagram(r, 1, values);
        if (watched->waitHeld(200ms)) {
            pendingAtFirstFiling = comm().pending();
        }
        // Otherwise a tick pass took it: try again.
        watched->open();
        waiter.join();
        settle();
    }
    ASSERT_GE(pendingAtFirstFiling, 0) << "no datagram was filed on the engine thread";
    EXPECT_EQ(pendingAtFirstFiling, kCount) << "filing began before the datagram's last change";
    EXPECT_EQ(watched->onEngineThread.load(), static_cast<unsigned>(kCount));
    EXPECT_EQ(watched->onHandlingThread.load(), 0u);
    EXPECT_EQ(takenPerWake, std::vector<size_t>{kCount}) << "the waiter was woken per change";
    EXPECT_EQ(taken, values);
    ws.detachCondition(any);
    sub_->deleteReadCondition(any, r);
}

// The data-handling thread is busy (a status change made it pass) while a datagram is still
// being announced: it files the changes queued so far, and the rest are filed when the
// datagram ends. Every change arrives once, in the writer's order, wherever it is split.
TEST_F(IntakeWithoutHandoff, ADatagramPartlyFiledByABusyThreadArrivesInOrder) {
    constexpr size_t kPerDatagram = 12;
    size_t const splits[] = {1, 6, 11};
    Reader* r = makeReader(qosOf(1000), topic_);
    settle();
    int32_t next = 0;
    for (size_t split : splits) {
        SCOPED_TRACE(split);
        std::vector<int32_t> values;
        for (size_t k = 0; k < kPerDatagram; ++k) {
            values.push_back(next++);
        }
        unsigned const before = watched->onHandlingThread.load();
        bool passed = false;
        offerDatagram(r, 1, values, [&](size_t announced) {
            if (announced != split) {
                return;
            }
            comm().statusChanged();
            auto const until = std::chrono::steady_clock::now() + 5s;
            while (watched->onHandlingThread.load() < before + split &&
                   std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(1ms);
            }
            passed = watched->onHandlingThread.load() >= before + split;
        });
        settle();
        EXPECT_TRUE(passed) << "the thread did not file the part already announced";
    }
    std::vector<int32_t> got;
    for (;;) {
        SampleSeq seq;
        if (take(seq, r) != dds::RETCODE_OK) {
            break;
        }
        for (size_t i = 0; i < seq.size(); ++i) {
            got.push_back(valueOf(seq, i));
        }
        giveBack(seq, r);
    }
    ASSERT_EQ(got.size(), static_cast<size_t>(next));
    for (int32_t k = 0; k < next; ++k) {
        ASSERT_EQ(got[k], k) << "out of order at " << k;
    }
    EXPECT_EQ(comm().pending(), 0);
}

// Stopping the data handling waits for a filing under way on an engine thread, and no change
// announced afterwards is filed.
TEST_F(IntakeWithoutHandoff, StopWaitsForAFilingOnAnEngineThreadAndNoneFollows) {
    Reader* r = makeReader(qosOf(100), topic_);
    settle();
    bool held = false;
    for (int round = 0; round < 20 && !held; ++round) {
        std::this_thread::sleep_for(5ms);
        watched->close();
        offer(r, 1, round);
        held = watched->waitHeld(200ms);
        if (!held) {
            watched->open();  // a tick pass took it: try again
            settle();
        }
    }
    ASSERT_TRUE(held) << "no change was filed on the engine thread";
    size_t const before = r->samplesHeld();
    std::future<void> stopped = std::async(std::launch::async, [this] { dp_->stopHandlingData(); });
    EXPECT_EQ(stopped.wait_for(200ms), std::future_status::timeout)
        << "the stop returned while a filing was under way";
    watched->open();
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(r->samplesHeld(), before + 1);

    unsigned const filed = watched->onEngineThread.load() + watched->onHandlingThread.load();
    offer(r, 1, 1000);
    engine_->drain();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(watched->onEngineThread.load() + watched->onHandlingThread.load(), filed);
    EXPECT_EQ(r->samplesHeld(), before + 1);
}

}  // namespace
