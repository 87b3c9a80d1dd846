#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dds/core/cond/GuardCondition.hpp"
#include "dds/core/cond/StatusCondition.hpp"
#include "dds/core/cond/WaitSet.hpp"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/core/Exception.hpp"

namespace {

using dds::core::Duration;
using dds::core::cond::Condition;
using dds::core::cond::GuardCondition;
using dds::core::cond::StatusCondition;
using dds::core::cond::WaitSet;

TEST(WaitSetImpl, the4001stAttachThrowsAndThe4000Stay) {
    WaitSet ws;
    std::vector<GuardCondition> guards(4001);
    for (size_t i = 0; i < 4000; ++i) {
        ws.attach_condition(guards[i]);
    }
    EXPECT_THROW(ws.attach_condition(guards[4000]), dds::core::OutOfResourcesError);
    EXPECT_EQ(ws.conditions().size(), 4000u);
    // The last one attached still wakes the wait set.
    guards[3999].trigger_value(true);
    auto triggered = ws.wait(Duration::zero());
    ASSERT_EQ(triggered.size(), 1u);
    EXPECT_TRUE(triggered[0] == guards[3999]);
}

TEST(WaitSetImpl, attachingTwiceKeepsOneEntry) {
    WaitSet ws;
    GuardCondition g;
    ws.attach_condition(g);
    ws.attach_condition(g);
    EXPECT_EQ(ws.conditions().size(), 1u);
    EXPECT_TRUE(ws.detach_condition(g));
    EXPECT_TRUE(ws.conditions().empty());
    // Not attached any more: the core refuses.
    EXPECT_THROW(ws.detach_condition(g), dds::core::PreconditionNotMetError);
}

TEST(WaitSetImpl, zeroTimeoutWithNothingTriggeredThrowsTimeout) {
    WaitSet ws;
    GuardCondition g;
    ws.attach_condition(g);
    try {
        ws.wait(Duration::zero());
        FAIL() << "no timeout";
    } catch (dds::core::TimeoutError const& e) {
        EXPECT_STREQ(e.what(), "dds::core::TimeoutError : wait");
    }
}

TEST(WaitSetImpl, waitReturnsTheTriggeredConditionsOnly) {
    WaitSet ws;
    GuardCondition a;
    GuardCondition b;
    ws += a;
    ws += b;
    b.trigger_value(true);
    auto triggered = ws.wait(Duration::from_millisecs(500));
    ASSERT_EQ(triggered.size(), 1u);
    EXPECT_TRUE(triggered[0] == b);
    EXPECT_TRUE(triggered[0].trigger_value());
    EXPECT_FALSE(a.trigger_value());
}

TEST(WaitSetImpl, guardTriggeredFromAnotherThreadWakesTheWaiter) {
    WaitSet ws;
    GuardCondition g;
    ws += g;
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        g.trigger_value(true);
    });
    auto triggered = ws.wait(Duration::from_secs(10));
    t.join();
    ASSERT_EQ(triggered.size(), 1u);
    EXPECT_TRUE(triggered[0] == g);
}

TEST(WaitSetImpl, secondDispatchIsRefusedWhileTheFirstCompletes) {
    WaitSet ws;
    std::atomic<bool> inHandler{false};
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    GuardCondition g([&] {
        ++calls;
        inHandler = true;
        while (!release) {
            std::this_thread::yield();
        }
    });
    ws += g;
    g.trigger_value(true);
    std::thread first([&] { ws.dispatch(Duration::from_secs(10)); });
    while (!inHandler) {
        std::this_thread::yield();
    }
    try {
        ws.dispatch(Duration::zero());
        ADD_FAILURE() << "second dispatch ran";
    } catch (dds::core::PreconditionNotMetError const& e) {
        EXPECT_STREQ(e.what(), "dds::core::PreconditionNotMetError : dispatch busy");
    }
    release = true;
    first.join();
    EXPECT_EQ(calls.load(), 1);
}

TEST(WaitSetImpl, dispatchFlagIsClearedAfterAHandlerThrows) {
    WaitSet ws;
    int calls = 0;
    GuardCondition g([&] {
        if (++calls == 1) {
            throw std::runtime_error("handler");
        }
    });
    ws += g;
    g.trigger_value(true);
    EXPECT_THROW(ws.dispatch(Duration::zero()), std::runtime_error);
    EXPECT_NO_THROW(ws.dispatch(Duration::zero()));
    EXPECT_EQ(calls, 2);
    // And after a timeout.
    g.trigger_value(false);
    EXPECT_THROW(ws.dispatch(Duration::zero()), dds::core::TimeoutError);
    g.trigger_value(true);
    EXPECT_NO_THROW(ws.dispatch(Duration::zero()));
    EXPECT_EQ(calls, 3);
}

TEST(WaitSetImpl, handlerMayDetachItselfDuringDispatch) {
    WaitSet ws;
    GuardCondition g;
    g.handler([&] { ws.detach_condition(g); });
    ws += g;
    g.trigger_value(true);
    ws.dispatch(Duration::zero());
    EXPECT_TRUE(ws.conditions().empty());
}

// Attach and detach from another thread while one thread waits (run under TSan). One
// condition stays triggered, so the waiter keeps looking its conditions up while the other
// thread changes the map; a condition detached after the core found it is skipped.
TEST(WaitSetImpl, attachAndDetachWhileAnotherThreadWaits) {
    WaitSet ws;
    GuardCondition busy;
    busy.trigger_value(true);
    ws += busy;
    std::atomic<bool> done{false};
    std::atomic<int> waits{0};
    std::thread waiter([&] {
        while (!done) {
            for (auto& c : ws.wait(Duration::from_secs(10))) {
                EXPECT_TRUE(c.trigger_value());
            }
            ++waits;
        }
    });
    for (int round = 0; round < 300; ++round) {
        GuardCondition g;
        g.trigger_value(true);
        ws += g;
        for (int const seen = waits; waits < seen + 2;) {
            std::this_thread::yield();
        }
        ws -= g;
    }
    done = true;
    waiter.join();
    EXPECT_EQ(ws.conditions().size(), 1u);
}

// A delegate without a core entity.
class NoEntity : public vexa::core::EntityDelegate {};

TEST(StatusConditionImpl, enabledStatusesWithoutAnEntityThrows) {
    struct Handle {
        std::shared_ptr<NoEntity> d = std::make_shared<NoEntity>();
        std::shared_ptr<NoEntity> const& delegate() const { return d; }
    } handle;
    StatusCondition sc(handle);
    try {
        sc.enabled_statuses(dds::core::status::StatusMask(0x4));
        FAIL() << "no exception";
    } catch (dds::core::PreconditionNotMetError const& e) {
        EXPECT_STREQ(e.what(),
                     "PreconditionNotMetError : No entity at cond/StatusConditionImpl:28");
    }
    EXPECT_FALSE(sc.trigger_value());
}

}  // namespace
