#include <gtest/gtest.h>

#include <atomic>

#include "common/os/Os.h"

using namespace vexa;

namespace {

struct Contender {
    pthread_mutex_t* mutex;
    std::atomic<uint32_t> tryResult{99};
};

void tryFromOtherThread(void* p) {
    Contender* c = static_cast<Contender*>(p);
    c->tryResult = OsTryRequestAccess(c->mutex);
    if (c->tryResult == OS_OK) {
        OsReleaseAccess(c->mutex);
    }
}

uint32_t tryElsewhere(pthread_mutex_t* mutex) {
    Contender c;
    c.mutex = mutex;
    const pthread_t id = OsStartNewThread(tryFromOtherThread, &c, 0, 0, nullptr, 0);
    OsKillThread(id);
    return c.tryResult;
}

}  // namespace

TEST(OsMutex, LockExcludesOtherThreads) {
    pthread_mutex_t* mutex = OsCreateMutex("ignored");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(tryElsewhere(mutex), OS_OK);
    ASSERT_EQ(OsRequestAccess(mutex), OS_OK);
    EXPECT_EQ(tryElsewhere(mutex), OS_BUSY);
    EXPECT_EQ(OsTryRequestAccess(mutex), OS_BUSY);  // not recursive
    EXPECT_EQ(OsReleaseAccess(mutex), OS_OK);
    EXPECT_EQ(OsTryRequestAccess(mutex), OS_OK);
    EXPECT_EQ(OsReleaseAccess(mutex), OS_OK);
    EXPECT_EQ(OsCloseMutex(mutex), OS_OK);
}

// Destroying a held mutex would be undefined: the close refuses and the mutex stays usable.
TEST(OsMutex, CloseOfAHeldMutexKeepsIt) {
    pthread_mutex_t* mutex = OsCreateMutex(nullptr);
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(OsRequestAccess(mutex), OS_OK);
    EXPECT_EQ(OsCloseMutex(mutex), OS_BUSY);
    EXPECT_EQ(tryElsewhere(mutex), OS_BUSY);
    EXPECT_EQ(OsReleaseAccess(mutex), OS_OK);
    EXPECT_EQ(tryElsewhere(mutex), OS_OK);
    EXPECT_EQ(OsCloseMutex(mutex), OS_OK);
    EXPECT_EQ(OsCloseMutex(nullptr), OS_BUSY);
}
