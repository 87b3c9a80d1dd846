// The engine-call count as the owner's closing side sees it: a drain returns only once the
// last call in flight has ended, and a handed-over release runs once, after that last call,
// however the ends race with the drain or the handover.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "dcps/entity/EngineCalls.h"

namespace {

using namespace std::chrono_literals;
using vexa::dcps::EngineCalls;

constexpr int CALLS = 4;
constexpr int ROUNDS = 300;
// Only bounds a lost wake-up, so that the test fails instead of hanging.
constexpr auto STUCK = 20s;

void pause(int steps) {
    for (int k = 0; k < steps; ++k) {
        std::this_thread::yield();
    }
}

// Begins CALLS calls, then ends them on threads of their own, released together with
// `closer`, which runs on a thread of its own too after a pause that shifts with `round`;
// returns false when the closer never returned.
template <class Closer>
bool raceEnds(EngineCalls& calls, std::atomic<int>& ended, int round, Closer closer) {
    for (int i = 0; i < CALLS; ++i) {
        calls.begin();
    }
    std::atomic<bool> go{false};
    std::vector<std::thread> enders;
    for (int i = 0; i < CALLS; ++i) {
        enders.emplace_back([&, i] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            pause(i * 20);
            ended.fetch_add(1);
            calls.end();
        });
    }
    auto closed = std::async(std::launch::async, [&] {
        while (!go.load()) {
            std::this_thread::yield();
        }
        pause(round % 100);
        closer();
    });
    go = true;
    bool const returned = closed.wait_for(STUCK) == std::future_status::ready;
    if (!returned) {
        calls.begin();  // a later end wakes a stuck closer, so that the failure is reported
        calls.end();
    }
    for (auto& t : enders) {
        t.join();
    }
    return returned;
}

TEST(EngineCalls, DrainReturnsOnlyAfterTheLastEnd) {
    for (int round = 0; round < ROUNDS; ++round) {
        EngineCalls calls("test calls");
        std::atomic<int> ended{0};
        int seen = -1;
        ASSERT_TRUE(raceEnds(calls, ended, round,
                             [&] {
                                 calls.drain();
                                 seen = ended.load();
                             }))
            << "round " << round;
        EXPECT_EQ(seen, CALLS) << "round " << round;
        EXPECT_TRUE(calls.idle());
    }
}

TEST(EngineCalls, HandedOverReleaseRunsOnceAfterTheLastEnd) {
    for (int round = 0; round < ROUNDS; ++round) {
        EngineCalls calls("test calls");
        std::atomic<int> ended{0};
        std::atomic<int> runs{0};
        std::atomic<int> seen{-1};
        ASSERT_TRUE(raceEnds(calls, ended, round,
                             [&] {
                                 calls.releaseWhenIdle([&] {
                                     seen = ended.load();
                                     runs.fetch_add(1);
                                 });
                             }))
            << "round " << round;
        EXPECT_EQ(runs.load(), 1) << "round " << round;
        EXPECT_EQ(seen.load(), CALLS) << "round " << round;
        EXPECT_TRUE(calls.idle());
        // Calls after the release hand nothing over any more.
        calls.begin();
        calls.end();
        EXPECT_EQ(runs.load(), 1);
    }
}

TEST(EngineCalls, IdleOwnerReleasesAtOnceAndDrainsWithoutWaiting) {
    EngineCalls calls("test calls");
    int runs = 0;
    calls.releaseWhenIdle([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    calls.drain();
    calls.begin();
    EXPECT_FALSE(calls.idle());
    calls.releaseWhenIdle([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    calls.end();
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(calls.idle());
}

}  // namespace
