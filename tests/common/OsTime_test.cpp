#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ctime>

#include "common/os/Os.h"

using namespace vexa;

namespace {

std::atomic<int> g_signals{0};

void countSignal(int) {
    g_signals.fetch_add(1);
}

struct Interrupter {
    pthread_t target;
    int count;
    uint32_t everyMs;
};

// Interrupts the sleeper several times; a sleep that started over with its full length at each
// signal would last far longer than asked.
void interrupt(void* p) {
    const Interrupter* in = static_cast<const Interrupter*>(p);
    for (int i = 0; i < in->count; ++i) {
        OsSleep(in->everyMs);
        pthread_kill(in->target, SIGUSR1);
    }
}

}  // namespace

TEST(OsTime, SleepResumesAfterSignalsWithTheTimeLeft) {
    struct sigaction sa = {};
    sa.sa_handler = countSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: the sleep really is interrupted
    struct sigaction old;
    ASSERT_EQ(sigaction(SIGUSR1, &sa, &old), 0);

    Interrupter in{pthread_self(), 7, 200};
    g_signals = 0;
    const pthread_t id = OsStartNewThread(interrupt, &in, 0, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    const uint64_t start = OsGetMonotonicMks();
    OsSleep(1500);
    const uint64_t slept = OsGetMonotonicMks() - start;
    OsKillThread(id);
    sigaction(SIGUSR1, &old, nullptr);

    EXPECT_EQ(g_signals, 7);
    EXPECT_GE(slept, 1500000u);
    // Starting over after the last signal at 1.4 s would take 2.9 s.
    EXPECT_LT(slept, 2500000u);
}

TEST(OsTime, ZeroSleepReturns) {
    const uint64_t start = OsGetMonotonicMks();
    OsSleep(0);
    OsSleep(1);
    EXPECT_GE(OsGetMonotonicMks() - start, 1000u);
}

TEST(OsTime, WallClockIsMicrosecondsSinceTheEpoch) {
    const uint64_t before = static_cast<uint64_t>(std::time(nullptr));
    const uint64_t now = OsGetTimeCountMks();
    const uint64_t after = static_cast<uint64_t>(std::time(nullptr));
    EXPECT_GE(now, before * 1000000u);
    EXPECT_LT(now, (after + 1) * 1000000u);
}

TEST(OsTime, MonotonicClockCountsMicroseconds) {
    const uint64_t a = OsGetMonotonicMks();
    OsSleep(20);
    const uint64_t b = OsGetMonotonicMks();
    EXPECT_GE(b - a, 20000u);
}
