#include <gtest/gtest.h>

#include <atomic>

#include "common/os/Os.h"

using namespace vexa;

namespace {

struct Waiter {
    EVENT_CB* event;
    uint64_t timeoutMks;
    std::atomic<uint32_t> result{99};
};

void waitForEvent(void* p) {
    Waiter* w = static_cast<Waiter*>(p);
    w->result = OsWaitEvent(w->event, w->timeoutMks);
}

// Blocks until a thread is inside OsWaitEvent, so a post cannot come before the wait.
void awaitWaiter(EVENT_CB* event) {
    for (;;) {
        pthread_mutex_lock(&event->mutex);
        const uint32_t waiters = event->waiters;
        pthread_mutex_unlock(&event->mutex);
        if (waiters != 0) {
            return;
        }
        OsYieldCPU();
    }
}

}  // namespace

TEST(OsEvent, PostWakesAWaiter) {
    for (uint64_t timeout : {uint64_t(0), uint64_t(60000000)}) {
        EVENT_CB* event = OsCreateEvent("ignored");
        ASSERT_NE(event, nullptr);
        Waiter w{event, timeout};
        const pthread_t id = OsStartNewThread(waitForEvent, &w, 0, 0, nullptr, 0);
        ASSERT_NE(id, pthread_t(0));
        awaitWaiter(event);
        EXPECT_EQ(OsPostEvent(event), OS_OK);
        OsKillThread(id);
        EXPECT_EQ(w.result, OS_OK) << "time-out " << timeout;
        EXPECT_EQ(OsCloseEvent(event), OS_OK);
    }
}

// A time-out near the largest value means "very long", not a wrapped-around short wait.
TEST(OsEvent, HugeTimeOutDoesNotWrapAround) {
    EVENT_CB* event = OsCreateEvent(nullptr);
    ASSERT_NE(event, nullptr);
    Waiter w{event, UINT64_MAX};
    const pthread_t id = OsStartNewThread(waitForEvent, &w, 0, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    awaitWaiter(event);
    OsSleep(50);  // well past the 10 ms that a wrapped deadline would give
    EXPECT_EQ(OsPostEvent(event), OS_OK);
    OsKillThread(id);
    EXPECT_EQ(w.result, OS_OK);
    EXPECT_EQ(OsCloseEvent(event), OS_OK);
}

TEST(OsEvent, WaitTimesOutNoEarlierThanTenMillisecondsLate) {
    EVENT_CB* event = OsCreateEvent(nullptr);
    ASSERT_NE(event, nullptr);
    for (uint64_t timeout : {uint64_t(1), uint64_t(30000)}) {
        const uint64_t start = OsGetMonotonicMks();
        EXPECT_EQ(OsWaitEvent(event, timeout), OS_TIMEOUT);
        EXPECT_GE(OsGetMonotonicMks() - start, timeout + 10000);
    }
    EXPECT_EQ(OsCloseEvent(event), OS_OK);
}

// The wait clears the flag first: a post that nobody waited for is forgotten.
TEST(OsEvent, PostBeforeTheWaitIsLost) {
    EVENT_CB* event = OsCreateEvent(nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(OsPostEvent(event), OS_OK);
    EXPECT_EQ(OsWaitEvent(event, 1000), OS_TIMEOUT);
    EXPECT_EQ(OsCloseEvent(event), OS_OK);
}

TEST(OsEvent, CloseKeepsAnEventInUse) {
    EVENT_CB* event = OsCreateEvent(nullptr);
    ASSERT_NE(event, nullptr);
    Waiter w{event, 0};
    const pthread_t id = OsStartNewThread(waitForEvent, &w, 0, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    awaitWaiter(event);
    EXPECT_EQ(OsCloseEvent(event), OS_BUSY);
    // Still whole: the waiter gets its post.
    EXPECT_EQ(OsPostEvent(event), OS_OK);
    OsKillThread(id);
    EXPECT_EQ(w.result, OS_OK);

    pthread_mutex_lock(&event->mutex);
    EXPECT_EQ(OsCloseEvent(event), OS_BUSY);
    pthread_mutex_unlock(&event->mutex);
    EXPECT_EQ(OsCloseEvent(event), OS_OK);
    EXPECT_EQ(OsCloseEvent(nullptr), OS_BUSY);
}
