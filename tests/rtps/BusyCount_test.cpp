#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "rtps/writer/BusyCount.h"

using RTPS::BusyCount;
using RTPS::BusyScope;

TEST(BusyCount, WaitingReturnsOnceTheLastThreadLeavesAndAgainAfterNewWork) {
    BusyCount count;
    EXPECT_FALSE(count.busy());
    count.waitIdle();  // nobody inside: at once
    for (int pass = 0; pass < 2; ++pass) {
        auto scope = std::make_unique<BusyScope>(count);
        count.enter();
        EXPECT_TRUE(count.busy());
        auto waiter = std::async(std::launch::async, [&] { count.waitIdle(); });
        EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout)
            << "pass " << pass;
        count.leave();
        EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout)
            << "pass " << pass;
        scope.reset();
        ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << "pass " << pass;
        EXPECT_FALSE(count.busy());
    }
}

// The last thread may leave just as the owner starts to wait, or while it waits: the owner must
// neither miss that nor return before the leaving thread is done with the count, which the
// owner destroys at once.
TEST(BusyCount, AnOwnerNeverMissesTheLastLeavingBesideIt) {
    for (int round = 0; round < 8000; ++round) {
        auto* count = new BusyCount;
        const int inside = 1 + round % 3;
        for (int i = 0; i < inside; ++i) {
            count->enter();
        }
        // Both sides start from one signal, so that the leaving falls around the wait's start.
        std::promise<void> go;
        std::shared_future<void> started = go.get_future().share();
        std::thread work([count, inside, started] {
            started.wait();
            for (int i = 0; i < inside; ++i) {
                count->leave();
            }
        });
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> returned = done->get_future();
        std::thread([count, started, done] {
            started.wait();
            count->waitIdle();
            delete count;
            done->set_value();
        }).detach();
        go.set_value();
        work.join();
        if (returned.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the owner missed the last leaving in round " << round;
            return;
        }
    }
}
