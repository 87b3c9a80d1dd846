#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "CoreFixture.h"
#include "ThreadProbe.h"
#include "rtps/history/SampleInfo.h"

using namespace std::chrono_literals;
using vexa::dcps::DomainParticipant;
using vexa::dcps::TimeService;
using vexatest::FakeEngine;
using vexatest::FakeParticipant;

namespace {

constexpr int64_t TICK_NS = 100000000;

// Aborts the test binary with a message when the scope is not left in time: a thread that a
// stop failed to end would otherwise hang its join for ever.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, char const* what)
        : thread_([this, limit, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: %s\n", what);
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

int64_t clockNanos(DomainParticipant* dp) {
    vexa::dds::Time_t t;
    dp->get_current_time(t);
    return TimeService::toNanos(t);
}

// A participant made without the factory: no engine, a data-handling thread only when asked.
DomainParticipant standalone() {
    return DomainParticipant(vexatest::testDomain(), 1, vexa::dds::predefParticipantQos());
}

}  // namespace

// With no traffic the participant clock moves in whole ticks of 0.1 s, as many as real time
// allows, and the thread sleeps between passes: about one wait per tick, little CPU.
TEST(DataHandling, TicksExactlyAndSleepsBetweenTicks) {
    std::set<pid_t> const before = vexatest::processThreads();
    DomainParticipant* dp = vexatest::factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    std::set<pid_t> fresh;
    for (pid_t t : vexatest::processThreads()) {
        if (before.count(t) == 0) {
            fresh.insert(t);
        }
    }
    ASSERT_FALSE(fresh.empty());
    auto switches = [&fresh] {
        uint64_t n = 0;
        for (pid_t t : fresh) {
            n += vexatest::voluntarySwitches(t);
        }
        return n;
    };

    // The thread sets the clock when it starts; count from its first tick on. Nothing wakes a
    // test on a tick, so look.
    int64_t const initial = clockNanos(dp);
    auto const giveUp = std::chrono::steady_clock::now() + 2s;
    while (clockNanos(dp) == initial && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(2ms);
    }
    int64_t const c0 = clockNanos(dp);
    ASSERT_NE(c0, initial) << "no tick in 2 s";
    auto const m0 = std::chrono::steady_clock::now();
    auto const cpu0 = vexatest::processCpuTime();
    uint64_t const s0 = switches();

    std::this_thread::sleep_for(1s);

    int64_t const c1 = clockNanos(dp);
    auto const m1 = std::chrono::steady_clock::now();
    auto const cpu = vexatest::processCpuTime() - cpu0;
    uint64_t const passes = switches() - s0;

    EXPECT_EQ((c1 - c0) % TICK_NS, 0) << "the clock moved by " << (c1 - c0) << " ns";
    int64_t const ticks = (c1 - c0) / TICK_NS;
    int64_t const due =
        std::chrono::duration_cast<std::chrono::nanoseconds>(m1 - m0).count() / TICK_NS;
    EXPECT_GE(ticks, due - 3) << "ticks fell behind";
    EXPECT_LE(ticks, due + 1) << "ticks ran ahead";
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(cpu).count(), 300)
        << "the idle thread uses the processor";
    EXPECT_GE(passes, static_cast<uint64_t>(ticks / 2)) << "the thread does not wait per tick";
    EXPECT_LE(passes, static_cast<uint64_t>(2 * ticks + 5)) << "the thread wakes between ticks";

    vexatest::factory().delete_participant(dp);
    vexatest::factory().collectGarbage();
    vexatest::factory().collectGarbage();
}

// The run flag is set before the thread exists: a stop issued at once still ends it.
TEST(DataHandling, StopRightAfterStartLeavesNoThread) {
    DomainParticipant dp = standalone();
    size_t const before = vexatest::settledThreadCount();
    {
        Watchdog watchdog(20s, "a data-handling thread outlived its stop");
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(dp.startHandlingData());
            dp.stopHandlingData();
            EXPECT_FALSE(dp.isHandlingData());
        }
    }
    EXPECT_TRUE(vexatest::waitForThreadCount(before, 1s));
}

// A test advances the clock right after creating its participant, perhaps before the thread
// has started: the thread's start must not set the clock back.
TEST(DataHandling, StartKeepsAnEarlierAdvance) {
    DomainParticipant dp = standalone();
    constexpr int64_t AHEAD_NS = 1000 * 1000000000LL;
    dp.getTimeService().advance(static_cast<uint64_t>(AHEAD_NS / 1000));
    int64_t const advanced = clockNanos(&dp);
    ASSERT_TRUE(dp.startHandlingData());
    // Nothing wakes a test on a tick, so look.
    auto const giveUp = std::chrono::steady_clock::now() + 2s;
    while (clockNanos(&dp) == advanced && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(2ms);
    }
    int64_t const after = clockNanos(&dp);
    dp.stopHandlingData();
    EXPECT_GT(after, advanced) << "the clock went back, or no tick in 2 s";
    EXPECT_LT(after - advanced, 2 * 1000000000LL) << "the clock jumped ahead";
}

// A stop wakes the thread instead of waiting for its next tick.
TEST(DataHandling, StopDoesNotWaitForTheTick) {
    DomainParticipant dp = standalone();
    std::chrono::steady_clock::duration stopping{};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(dp.startHandlingData());
        std::this_thread::sleep_for(20ms);  // now it waits for its first tick, 80 ms away
        auto const t = std::chrono::steady_clock::now();
        dp.stopHandlingData();
        stopping += std::chrono::steady_clock::now() - t;
    }
    // Waiting for the ticks would take about 400 ms.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(stopping).count(), 200);
}

// The engine may report a change while createParticipant still holds the participant: the
// report waits and reaches the participant only once creation is over.
TEST(DataHandling, ChangeReportedDuringCreationWaitsForIt) {
    static RTPS::SampleInfo sample{};
    sample.sequenceNumber = {0, 7};
    bool passedDuringCreation = false;
    FakeEngine::instance().onNextCreate([&passedDuringCreation](FakeParticipant* p) {
        p->queueChangeAvailable(p->builtinReader(FakeParticipant::PARTICIPANT_READER), nullptr,
                                &sample);
        passedDuringCreation = p->drainFor(200ms);
    });
    DomainParticipant* dp = vexatest::factory().createParticipant(vexatest::testDomain(), nullptr);
    ASSERT_NE(dp, nullptr);
    FakeParticipant* engine = FakeEngine::instance().newest();
    engine->drain();
    EXPECT_FALSE(passedDuringCreation);
    EXPECT_EQ(engine->changeAvailableResults().size(), 1u);
    EXPECT_TRUE(dp->isCreated());
    vexatest::factory().delete_participant(dp);
    vexatest::factory().collectGarbage();
    vexatest::factory().collectGarbage();
}
