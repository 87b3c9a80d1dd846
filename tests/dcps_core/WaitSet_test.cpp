#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "ProbeEntity.h"
#include "SpuriousWakeups.h"
#include "dcps/condition/GuardCondition.h"
#include "dcps/condition/StatusCondition.h"
#include "dcps/condition/WaitSet.h"

using vexa::dcps::Condition;
using vexa::dcps::GuardCondition;
using vexa::dcps::StatusCondition;
using vexa::dcps::WaitSet;
using vexa::dds::Duration_t;

namespace {

constexpr Duration_t FOREVER = vexa::dds::DURATION_INFINITE;
// Long enough for any wake-up, short enough that a missing one fails instead of hanging.
constexpr Duration_t LONG = {10, 0};

// Runs wait on another thread; the result is read after join.
struct Waiter {
    explicit Waiter(WaitSet& ws, Duration_t limit = FOREVER)
        : thread([this, &ws, limit] {
              rc = ws.wait(out, count, limit);
              done = true;
          }) {}
    ~Waiter() {
        if (thread.joinable()) {
            thread.join();
        }
    }
    void join() { thread.join(); }

    WaitSet::ConditionArray out{};
    unsigned count = 0;
    vexa::dds::ReturnCode_t rc = vexa::dds::RETCODE_ERROR;
    std::atomic<bool> done{false};
    std::thread thread;
};

// Waits until another thread is blocked in wait: a second wait is then refused.
void untilWaiting(WaitSet& ws) {
    WaitSet::ConditionArray out;
    unsigned count = 0;
    while (ws.wait(out, count, {0, 0}) != vexa::dds::RETCODE_PRECONDITION_NOT_MET) {
        std::this_thread::yield();
    }
}

}  // namespace

namespace {

// One wait set with two guard conditions and an entity's status condition, none attached.
struct Edge {
    GuardCondition g0;
    GuardCondition g1;
    vexatest::ProbeEntity entity{1};
    StatusCondition& status = entity.getStatusCondition();
    WaitSet ws;
};

}  // namespace

// The edge cases of waiting. A row with `whileWaiting` runs the wait on a second thread and
// acts once that thread waits; a row without calls wait directly.
TEST(WaitSet, EdgeCases) {
    using vexa::dds::ReturnCode_t;
    using Action = std::function<void(Edge&)>;
    struct Row {
        char const* name;
        Action before;
        Duration_t limit;
        Action whileWaiting;
        ReturnCode_t rc;
        std::function<std::vector<Condition*>(Edge&)> returned;
        Action after;
    };
    auto none = [](Edge&) { return std::vector<Condition*>{}; };
    auto g0 = [](Edge& e) { return std::vector<Condition*>{&e.g0}; };
    auto attachG0 = [](Edge& e) { ASSERT_EQ(e.ws.attachCondition(&e.g0), vexa::dds::RETCODE_OK); };
    Row const rows[] = {
        {"zero limit, nothing triggered: at once TIMEOUT",
         attachG0,
         {0, 0},
         nullptr,
         vexa::dds::RETCODE_TIMEOUT,
         none,
         nullptr},
        {"zero limit, a triggered condition: at once OK with it",
         [](Edge& e) {
             e.ws.attachCondition(&e.g0);
             e.g0.set_trigger_value(true);
         },
         {0, 0},
         nullptr,
         vexa::dds::RETCODE_OK,
         g0,
         nullptr},
        {"999999 ns is zero milliseconds",
         attachG0,
         {0, 999999},
         nullptr,
         vexa::dds::RETCODE_TIMEOUT,
         none,
         nullptr},
        {"attaching a triggered condition wakes the waiter",
         [](Edge& e) {
             e.ws.attachCondition(&e.g0);
             e.g1.set_trigger_value(true);
         },
         LONG, [](Edge& e) { e.ws.attachCondition(&e.g1); }, vexa::dds::RETCODE_OK,
         [](Edge& e) { return std::vector<Condition*>{&e.g1}; }, nullptr},
        {"attaching twice keeps one entry",
         [](Edge& e) {
             EXPECT_EQ(e.ws.attachCondition(&e.g0), vexa::dds::RETCODE_OK);
             EXPECT_EQ(e.ws.attachCondition(&e.g0), vexa::dds::RETCODE_OK);
             WaitSet::ConditionArray out;
             unsigned count = 0;
             e.ws.getConditions(out, count);
             EXPECT_EQ(count, 1u);
             e.g0.set_trigger_value(true);
         },
         {0, 0},
         nullptr,
         vexa::dds::RETCODE_OK,
         g0,
         nullptr},
        {"detaching twice: OK, then PRECONDITION_NOT_MET",
         [](Edge& e) {
             e.ws.attachCondition(&e.g0);
             e.ws.attachCondition(&e.g1);
         },
         LONG,
         [](Edge& e) {
             EXPECT_EQ(e.ws.detachCondition(&e.g1), vexa::dds::RETCODE_OK);
             EXPECT_EQ(e.ws.detachCondition(&e.g1), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
             e.g0.set_trigger_value(true);
         },
         vexa::dds::RETCODE_OK, g0, nullptr},
        {"detaching the last condition wakes the waiter with nothing", attachG0, LONG,
         [](Edge& e) { e.ws.detachCondition(&e.g0); }, vexa::dds::RETCODE_OK, none, nullptr},
        {"a guard set true twice signals once", attachG0, FOREVER,
         [](Edge& e) {
             e.g0.set_trigger_value(true);
             e.g0.set_trigger_value(true);
         },
         vexa::dds::RETCODE_OK, g0, [](Edge& e) { EXPECT_EQ(e.g0.getTriggerValue(), 3u); }},
        {"a mask widened to a status already changed triggers and signals at once",
         [](Edge& e) {
             e.status.set_enabled_statuses(0x1);
             e.entity.set_status_changes(0x4);
             EXPECT_FALSE(e.status.isTriggered());
             e.ws.attachCondition(&e.status);
         },
         LONG, [](Edge& e) { e.status.set_enabled_statuses(0x5); }, vexa::dds::RETCODE_OK,
         [](Edge& e) { return std::vector<Condition*>{&e.status}; },
         [](Edge& e) { EXPECT_EQ(e.status.getTriggerValue(), 3u); }},
        {"a second waiter is refused", attachG0, LONG,
         [](Edge& e) {
             WaitSet::ConditionArray out;
             unsigned count = 9;
             EXPECT_EQ(e.ws.wait(out, count, {0, 0}), vexa::dds::RETCODE_PRECONDITION_NOT_MET);
             EXPECT_EQ(count, 0u);
             e.g0.set_trigger_value(true);
         },
         vexa::dds::RETCODE_OK, g0, nullptr},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        auto e = std::make_unique<Edge>();
        row.before(*e);
        auto out = std::make_unique<WaitSet::ConditionArray>();
        unsigned count = 0;
        vexa::dds::ReturnCode_t rc;
        if (row.whileWaiting == nullptr) {
            auto const t = std::chrono::steady_clock::now();
            rc = e->ws.wait(*out, count, row.limit);
            EXPECT_LT(std::chrono::steady_clock::now() - t, std::chrono::seconds(1));
        } else {
            Waiter w(e->ws, row.limit);
            untilWaiting(e->ws);
            row.whileWaiting(*e);
            w.join();
            rc = w.rc;
            count = w.count;
            *out = w.out;
        }
        EXPECT_EQ(rc, row.rc);
        EXPECT_EQ(std::vector<Condition*>(out->begin(), out->begin() + count), row.returned(*e));
        if (row.after) {
            row.after(*e);
        }
    }
}

// A condition destroyed while attached leaves the set and wakes a waiter left with nothing.
TEST(WaitSet, DestroyedConditionLeavesTheWaitSet) {
    WaitSet ws;
    auto g = std::make_unique<GuardCondition>();
    ws.attachCondition(g.get());
    Waiter w(ws);
    untilWaiting(ws);
    g.reset();
    w.join();
    EXPECT_EQ(w.rc, vexa::dds::RETCODE_OK);
    EXPECT_EQ(w.count, 0u);
    WaitSet::ConditionArray out;
    unsigned count = 1;
    ws.getConditions(out, count);
    EXPECT_EQ(count, 0u);
}

// Destroying a wait set returns only after its waiter has left wait. A wait set made at once
// in the same storage, with a triggered condition, must never reach the old waiter: one that
// woke only after the destructor returned would find the new set and return its condition.
// The waiter wakes within microseconds either way, so the round is repeated.
TEST(WaitSet, DestructionWaitsForTheWaiter) {
    alignas(WaitSet) unsigned char storage[sizeof(WaitSet)];
    GuardCondition triggered;
    triggered.set_trigger_value(true);
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        auto* ws = new (storage) WaitSet;
        GuardCondition g;
        ws->attachCondition(&g);
        Waiter w(*ws, {3600, 0});
        untilWaiting(*ws);
        ws->~WaitSet();
        auto* next = new (storage) WaitSet;
        next->attachCondition(&triggered);
        w.join();
        next->detachCondition(&triggered);
        next->~WaitSet();
        EXPECT_EQ(w.rc, vexa::dds::RETCODE_OK);
        ASSERT_EQ(w.count, 0u) << "the waiter saw the next wait set";
        EXPECT_EQ(g.waitSetCount(), 0u);
    }
}

// A signalled waiter returns with its condition while the signaller still holds mt_: the wake
// comes after the wait set's mutex is released, and the waiter needs nothing else, so it never
// sleeps again on the signaller's lock.
TEST(WaitSet, WokenWaiterDoesNotWaitForTheSignallersLock) {
    WaitSet ws;
    GuardCondition g;
    ws.attachCondition(&g);
    Waiter w(ws, LONG);
    untilWaiting(ws);
    bool returned = false;
    {
        std::lock_guard<vexa::dcps::CoreRecursiveMutex> held(Condition::mt_);
        g.set_trigger_value(true);
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!w.done && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        returned = w.done;
    }
    w.join();
    EXPECT_TRUE(returned) << "the waiter waited for mt_";
    EXPECT_EQ(w.rc, vexa::dds::RETCODE_OK);
    ASSERT_EQ(w.count, 1u);
    EXPECT_EQ(w.out[0], &g);
}

// A waiter woken by a signal may reset the condition while the signaller still walks its other
// wait sets; the condition must still rise again afterwards. The waiter's set comes first in
// the walk, so it runs while the others are being signalled.
TEST(WaitSet, AConditionResetRightAfterItsWakeRisesAgain) {
    GuardCondition g;
    std::vector<std::unique_ptr<WaitSet>> others(500);
    for (auto& ws : others) {
        ws = std::make_unique<WaitSet>();
        ws->attachCondition(&g);
    }
    auto first = std::min_element(others.begin(), others.end(), [](auto const& a, auto const& b) {
        return std::less<WaitSet*>()(a.get(), b.get());
    });
    WaitSet& ws = **first;
    std::atomic<int> round{0};
    std::atomic<bool> stuck{false};
    std::thread waiter([&] {
        for (int r = 1; r <= 200; ++r) {
            WaitSet::ConditionArray out;
            unsigned count = 0;
            do {
                if (ws.wait(out, count, LONG) != vexa::dds::RETCODE_OK) {
                    stuck = true;
                    round = r;
                    return;
                }
            } while (count == 0);
            g.set_trigger_value(false);
            round = r;
        }
    });
    for (int r = 1; r <= 200 && !stuck; ++r) {
        g.set_trigger_value(true);
        while (round.load() < r && !stuck) {
            std::this_thread::yield();
        }
    }
    waiter.join();
    EXPECT_FALSE(stuck) << "the condition never rose again after round " << round.load();
    for (auto& w : others) {
        w->detachCondition(&g);
    }
}

TEST(WaitSet, TryDeleteOnlyWhenDetached) {
    WaitSet ws;
    auto* g = new GuardCondition;
    ws.attachCondition(g);
    EXPECT_FALSE(Condition::tryDelete(g));
    ws.detachCondition(g);
    EXPECT_TRUE(Condition::tryDelete(g));
}

// Results never run past the fixed array, however many conditions are attached and triggered.
TEST(WaitSet, ResultsStopAtTheArraySize) {
    WaitSet ws;
    std::vector<std::unique_ptr<GuardCondition>> all;
    for (unsigned i = 0; i < WaitSet::MAX_CONDITIONS + 1; ++i) {
        all.push_back(std::make_unique<GuardCondition>());
        all.back()->set_trigger_value(true);
        ws.attachCondition(all.back().get());
    }
    // On the heap at its exact size, so a write past the end is caught.
    auto out = std::make_unique<WaitSet::ConditionArray>();
    unsigned count = 0;
    EXPECT_EQ(ws.wait(*out, count, {0, 0}), vexa::dds::RETCODE_OK);
    EXPECT_EQ(count, WaitSet::MAX_CONDITIONS);
    EXPECT_EQ(ws.getConditions(*out, count), vexa::dds::RETCODE_OK);
    EXPECT_EQ(count, WaitSet::MAX_CONDITIONS);
    for (auto& c : all) {
        ws.detachCondition(c.get());
    }
}

// Wake-ups that are no signal (the platform may give them at any time) do not restart the
// limit: the wait ends at its one deadline.
TEST(WaitSet, TimedWaitKeepsItsDeadlineAcrossWakeUps) {
    using namespace std::chrono_literals;
    WaitSet ws;
    GuardCondition g;
    ws.attachCondition(&g);
    WaitSet::ConditionArray out;
    unsigned count = 0;
    unsigned given = 0;
    auto const start = std::chrono::steady_clock::now();
    vexa::dds::ReturnCode_t rc;
    {
        // Wake-ups every 5 ms for 1.5 s: a wait that restarted its 300 ms on each would end
        // only after them.
        vexatest::SpuriousWakeups wakeUps(5ms, 1500ms);
        rc = ws.wait(out, count, {0, 300000000});
        given = wakeUps.given();
    }
    auto const elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(rc, vexa::dds::RETCODE_TIMEOUT);
    EXPECT_GT(given, 10u) << "the wait was not woken";
    auto const ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    EXPECT_GE(ms, 300);
    EXPECT_LT(ms, 1200);
    ws.detachCondition(&g);
}
