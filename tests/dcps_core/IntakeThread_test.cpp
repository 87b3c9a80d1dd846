#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "ReaderFixture.h"
#include "common/os/OsTime.h"
#include "vexa/DataReaderImpl.h"

using vexa::dcps::Reader;
using vexa::dcps::Subscriber;
using vexa::dcps::api::SampleSeq;
using vexatest::ReaderFixture;
namespace dds = vexa::dds;

namespace {

using IntakeThread = ReaderFixture;

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

TEST_F(IntakeThread, ABurstIsFiledCompletely) {
    Reader* r = makeReader(qosOf(1));
    for (int32_t k = 0; k < 1000; ++k) {
        offer(r, k, k);
    }
    settle();
    EXPECT_EQ(r->samplesHeld(), 1000u);
    EXPECT_EQ(r->liveInstances(), 1000u);
    EXPECT_EQ(comm().pending(), 0);
    EXPECT_EQ(engineOf(r)->heldChanges(), 0u);
    SampleSeq seq;
    ASSERT_EQ(take(seq, r), dds::RETCODE_OK);
    EXPECT_EQ(seq.size(), 1000u);
    giveBack(seq, r);
}

// Entries still queued for a reader that goes leave counted: the thread then sleeps instead of
// passing again and again over work that is not there.
TEST_F(IntakeThread, QueuedEntriesOfADeletedReaderLeaveAndTheThreadSleeps) {
    struct Case {
        char const* name;
        bool alsoSubscriber;
    } const cases[] = {{"reader deleted", false}, {"reader and subscriber deleted", true}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Subscriber* s = dp_->createSubscriber(nullptr, nullptr, 0);
        Reader* r = makeReader(qosOf(1), keyed_, s);
        {
            // The data-handling thread cannot pass while the participant mutex is held here.
            std::lock_guard<vexa::dcps::CoreRecursiveMutex> hold(dp_->getMutex());
            for (int32_t k = 0; k < 50; ++k) {
                offer(r, k, k);
            }
            engine_->drain();
            EXPECT_EQ(comm().pending(), 50);
            ASSERT_EQ(s->deleteDR(r->getBridge()), dds::RETCODE_OK);
            if (c.alsoSubscriber) {
                ASSERT_EQ(dp_->deleteSubscriber(s), dds::RETCODE_OK);
            }
        }
        auto const until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (comm().pending() != 0 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(comm().pending(), 0);
        EXPECT_EQ(comm().postponed(), 0);
        double const before = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        // An idle thread wakes ten times a second; one that spins burns the whole second.
        EXPECT_LT(processCpuSeconds() - before, 0.3);
    }
}

// The thread looked and found nothing; a change arrives before it waits: the wait ends at
// once instead of at the next tick.
TEST(IntakeWakeUp, AChangeBetweenTheChecksAndTheWaitEndsTheWait) {
    dds::DomainParticipantQos const qos = dds::predefParticipantQos();
    vexa::dcps::DomainParticipant dp(vexatest::testDomain(), 65000, qos);
    dp.setCreated();
    vexatest::registerFakeTypes(&dp);
    vexa::dcps::Topic* topic = dp.createTopic("W", "Keyed", nullptr, nullptr, 0);
    Subscriber* s = dp.createSubscriber(nullptr, nullptr, 0);
    ASSERT_TRUE(topic && s);
    auto reader = std::make_unique<Reader>(s, topic, 0x08000001, dds::predefDataReaderQos());
    vexa::dcps::RTPSCommunicationObject& comm = *dp.getCommunicationObject();
    ASSERT_EQ(comm.pending(), 0);  // what the thread saw
    RTPS::SampleInfo sample{};
    ASSERT_TRUE(comm.changeAvailable(nullptr, reader.get(), &sample));
    std::atomic<bool> running{true};
    auto const start = std::chrono::steady_clock::now();
    comm.waitForWork(vexa::OsGetMonotonicMks() + 10000000, running);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(comm.pending(), 1);
}

// Discovery changed a status with nothing queued: the thread makes one pass at once, and the
// request is used up by it (a flag left raised would keep the thread from sleeping).
TEST(IntakeWakeUp, AStatusChangeEndsTheWaitForOnePass) {
    dds::DomainParticipantQos const qos = dds::predefParticipantQos();
    vexa::dcps::DomainParticipant dp(vexatest::testDomain(), 65000, qos);
    vexa::dcps::RTPSCommunicationObject& comm = *dp.getCommunicationObject();
    comm.statusChanged();
    std::atomic<bool> running{true};
    auto const start = std::chrono::steady_clock::now();
    comm.waitForWork(vexa::OsGetMonotonicMks() + 10000000, running);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(comm.takeStatusChange());
    EXPECT_FALSE(comm.takeStatusChange());
}
