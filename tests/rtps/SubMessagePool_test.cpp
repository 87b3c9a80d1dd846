#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

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

TEST(SubMessagePool, PairsAreTakenWholeSoPairTakersNeverHoldThePoolBetweenThem) {
    // Each taker would hold one of three while it waited for a second: taken one at a time,
    // four takers can deadlock on the pool.
    SubMessagePool pool(3);
    constexpr int TAKERS = 4;
    constexpr int PAIRS = 2000;
    std::atomic<int> done{0};
    std::atomic<bool> refused{false};
    std::thread takers[TAKERS];
    for (auto& t : takers) {
        t = std::thread([&] {
            for (int i = 0; i < PAIRS; ++i) {
                SubMessage* a = nullptr;
                SubMessage* b = nullptr;
                if (!pool.getSubmessagePair(DATA, TRANSPORT_PRIORITY_LOW, a, b)) {
                    refused = true;
                    return;
                }
                EXPECT_NE(a, b);
                std::this_thread::yield();
                pool.freeSubmessage(a);
                pool.freeSubmessage(b);
            }
            ++done;
        });
    }
    // Only bounds a deadlock, so that the test fails instead of hanging.
    for (int waited = 0; done.load() < TAKERS && waited < 2000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(done.load(), TAKERS);
    pool.stop();  // releases a stuck taker
    for (auto& t : takers) {
        t.join();
    }
    EXPECT_FALSE(refused.load());
    EXPECT_EQ(pool.available(), 3u);
}

TEST(SubMessagePool, PairWaitsForTwoAndStopReleasesItEmptyHanded) {
    SubMessagePool pool(2);
    SubMessage* held = pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW);
    SubMessage* first = nullptr;
    SubMessage* second = nullptr;
    std::atomic<bool> got{false};
    std::thread waiter(
        [&] { got = pool.getSubmessagePair(HEARTBEAT, TRANSPORT_PRIORITY_HIGH, first, second); });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(got.load());  // one is there, the pair is not
    EXPECT_EQ(pool.available(), 1u);
    pool.freeSubmessage(held);
    waiter.join();
    ASSERT_TRUE(got.load());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->getKind(), HEARTBEAT);
    EXPECT_EQ(second->getPriority(), TRANSPORT_PRIORITY_HIGH);
    EXPECT_EQ(pool.available(), 0u);

    std::atomic<bool> released{false};
    SubMessage* a = nullptr;
    SubMessage* b = nullptr;
    std::thread stopped(
        [&] { released = !pool.getSubmessagePair(DATA, TRANSPORT_PRIORITY_LOW, a, b); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pool.stop();
    stopped.join();
    EXPECT_TRUE(released.load());
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    std::vector<SubMessage*> back{first, nullptr, second};
    pool.freeSubmessages(back);
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(pool.available(), 2u);
}

TEST(SubMessagePool, ABatchReturnServesEveryWaiter) {
    SubMessagePool pool(2);
    std::vector<SubMessage*> held{pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW),
                                  pool.getSubmessage(DATA, TRANSPORT_PRIORITY_LOW)};
    std::atomic<int> got{0};
    std::thread waiters[2];
    SubMessage* taken[2] = {};
    for (int i = 0; i < 2; ++i) {
        waiters[i] = std::thread([&, i] {
            taken[i] = pool.getSubmessage(GAP, TRANSPORT_PRIORITY_LOW);
            ++got;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(got.load(), 0);
    pool.freeSubmessages(held);
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(got.load(), 2);
    EXPECT_NE(taken[0], nullptr);
    EXPECT_NE(taken[1], nullptr);
    EXPECT_NE(taken[0], taken[1]);
    pool.freeSubmessage(taken[0]);
    pool.freeSubmessage(taken[1]);
    EXPECT_EQ(pool.available(), 2u);
}
