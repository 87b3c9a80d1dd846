#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "rtps/wire/SubMessagePool.h"

using namespace RTPS;

TEST(SubMessagePool, HandsOutInitialisedBuildersAndTakesThemBack) {
    SubMessagePool pool(2);
    EXPECT_EQ(pool.available(), 2u);
    SubMessage* a = pool.getSubmessage(DATA, TRANSPORT_PRIORITY_HIGH);
    SubMessage* b = pool.getSubmessage(HEARTBEAT, TRANSPORT_PRIORITY_LOW);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->getKind(), DATA);
    EXPECT_EQ(a->getLength(), 24);
    EXPECT_EQ(a->getPriority(), TRANSPORT_PRIORITY_HIGH);
    EXPECT_EQ(b->getKind(), HEARTBEAT);
    EXPECT_FALSE(a->isView());
    EXPECT_EQ(pool.available(), 0u);

    uint32_t count = 1;
    b->addElement(ELEMENT_COUNT, &count, 4);
    pool.freeSubmessage(b);
    pool.freeSubmessage(nullptr);
    SubMessage* again = pool.getSubmessage(GAP, TRANSPORT_PRIORITY_LOW);
    EXPECT_EQ(again, b);
    EXPECT_EQ(again->getKind(), GAP);
    EXPECT_EQ(again->getLength(), 4);  // the count is forgotten
    pool.freeSubmessage(again);
    pool.freeSubmessage(a);

    // Submessages made elsewhere join the pool, which then owns them.
    pool.freeSubmessage(new SubMessage());
    EXPECT_EQ(pool.available(), 3u);
}

TEST(SubMessagePool, EmptyPoolWaitsForAReturn) {
    SubMessagePool pool(1);
    SubMessage* held = pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW);
    std::atomic<SubMessage*> got{nullptr};
    std::thread waiter([&] { got = pool.getSubmessage(ACKNACK, TRANSPORT_PRIORITY_LOW); });
    // Past a few 25 ms steps the waiter must still be waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(got.load(), nullptr);
    pool.freeSubmessage(held);
    waiter.join();
    EXPECT_EQ(got.load(), held);
    EXPECT_EQ(held->getKind(), ACKNACK);
    pool.freeSubmessage(held);
}

TEST(SubMessagePool, StopReleasesWaitersWithNull) {
    SubMessagePool pool(1);
    SubMessage* held = pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW);
    std::atomic<bool> gotOne{false};
    std::thread waiters[3];
    for (auto& t : waiters) {
        t = std::thread([&] {
            if (pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW) != nullptr) {
                gotOne = true;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pool.stop();
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_FALSE(gotOne.load());
    EXPECT_EQ(pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW), nullptr);
    pool.freeSubmessage(held);  // still taken back, and deleted with the pool
    EXPECT_EQ(pool.available(), 1u);
}
