#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/ChildProcess.h"
#include "common/os/Os.h"

using namespace vexa;
using vexatest::runInChild;

namespace {

// What a started thread saw of itself.
struct Seen {
    std::atomic<bool> ran{false};
    void* arg = nullptr;
    size_t stackSize = 0;
    int policy = -1;
    int priority = -1;
};

void recordSelf(void* p) {
    Seen* seen = static_cast<Seen*>(p);
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &seen->stackSize);
        pthread_attr_destroy(&attr);
    }
    struct sched_param param;
    pthread_getschedparam(pthread_self(), &seen->policy, &param);
    seen->priority = OsGetThreadPriority();
    seen->arg = p;
    seen->ran = true;
}

}  // namespace

// Thread stacks are recycled by the C library, and a recycled stack may be larger than asked
// for: the sizes are checked in a fresh copy of this program that has started no thread yet.
TEST(OsThread, StackIsTheRequestPlusSixteenKiB) {
    if (std::getenv("VEXA_FRESH_PROCESS") == nullptr) {
        const int rc = runInChild([] {
            setenv("VEXA_FRESH_PROCESS", "1", 1);
            char self[] = "/proc/self/exe";
            char filter[] = "--gtest_filter=OsThread.StackIsTheRequestPlusSixteenKiB";
            char* argv[] = {self, filter, nullptr};
            execv(self, argv);
            return 3;
        });
        EXPECT_EQ(rc, 0);
        return;
    }
    struct Case {
        uint32_t requested;
        size_t expected;
    };
    // Ascending, so no case can get the stack of an earlier one.
    const Case cases[] = {{65536, 81920}, {0, 147456}, {1024 * 1024, 1024 * 1024 + 16384}};
    for (const Case& c : cases) {
        Seen seen;
        char err[128] = "";
        const pthread_t id = OsStartNewThread(recordSelf, &seen, 0, c.requested, err, sizeof err);
        ASSERT_NE(id, pthread_t(0)) << err;
        EXPECT_EQ(OsKillThread(id), 0);
        EXPECT_TRUE(seen.ran);
        EXPECT_EQ(seen.arg, &seen);
        EXPECT_EQ(seen.stackSize, c.expected) << "requested " << c.requested;
    }
}

// Under the ordinary policy an offset changes nothing: the thread keeps the creator's policy.
TEST(OsThread, OffsetsAreIgnoredUnderTheOrdinaryPolicy) {
    int policy = -1;
    struct sched_param param;
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);
    ASSERT_EQ(policy, SCHED_OTHER);
    for (int offset : {2, -2, -100, 200}) {
        Seen seen;
        const pthread_t id = OsStartNewThread(recordSelf, &seen, offset, 0, nullptr, 0);
        ASSERT_NE(id, pthread_t(0));
        OsKillThread(id);
        EXPECT_EQ(seen.policy, SCHED_OTHER) << offset;
        EXPECT_EQ(seen.priority, 0) << offset;
    }
    Seen seen;
    const pthread_t id = OsStartMinPrioThread(recordSelf, &seen, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    OsKillThread(id);
    EXPECT_EQ(seen.policy, SCHED_OTHER);
    EXPECT_TRUE(OsSetThreadPriority(pthread_self(), 5));
    EXPECT_EQ(OsGetThreadPriority(), 0);
}

namespace {

struct Slow {
    std::atomic<bool> done{false};
};

void finishLate(void* p) {
    OsSleep(100);
    static_cast<Slow*>(p)->done = true;
}

}  // namespace

TEST(OsThread, KillWaitsForTheThreadToEnd) {
    Slow slow;
    const pthread_t id = OsStartNewThread(finishLate, &slow, 0, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    EXPECT_EQ(OsKillThread(id), 0);
    EXPECT_TRUE(slow.done);

    Slow other;
    const pthread_t id2 = OsStartMinPrioThread(finishLate, &other, 0, nullptr, 0);
    ASSERT_NE(id2, pthread_t(0));
    EXPECT_EQ(OsWaitThreadTermination(id2), 0);
    EXPECT_TRUE(other.done);
}

TEST(OsThread, TouchStackOfManyPagesStaysInsideTheStack) {
    // 100 KiB on a 147,456-byte stack, as the gate does for a default thread under real-time.
    struct Run {
        static void touch(void* done) {
            touchStack(100 * 1024);
            touchStack(0);
            touchStack(1);
            *static_cast<std::atomic<bool>*>(done) = true;
        }
    };
    std::atomic<bool> done{false};
    const pthread_t id = OsStartNewThread(Run::touch, &done, 0, 0, nullptr, 0);
    ASSERT_NE(id, pthread_t(0));
    OsKillThread(id);
    EXPECT_TRUE(done);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEXA_UNDER_SANITIZER 1
#else
#define VEXA_UNDER_SANITIZER 0
#endif

// A failed start frees the record, returns 0 and explains itself within the given length.
TEST(OsThread, FailedStartReportsTheReasonWithinTheBuffer) {
    if (VEXA_UNDER_SANITIZER) {
        GTEST_SKIP() << "the sanitizer's allocator needs address space the limit takes away";
    }
    const int rc = runInChild([] {
        // No room left for a 64 MiB stack.
        struct rlimit lim;
        getrlimit(RLIMIT_AS, &lim);
        std::FILE* f = std::fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        CHILD_CHECK(f != nullptr && std::fscanf(f, "%lu", &pages) == 1);
        std::fclose(f);
        lim.rlim_cur = pages * 4096 + 32 * 1024 * 1024;
        CHILD_CHECK(setrlimit(RLIMIT_AS, &lim) == 0);
        Seen seen;
        char err[128];
        std::memset(err, 'x', sizeof err);
        CHILD_CHECK(OsStartNewThread(recordSelf, &seen, 0, 64u << 20, err, sizeof err) == 0);
        CHILD_CHECK(std::strncmp(err, "pthread_create - ", 17) == 0);
        CHILD_CHECK(std::strlen(err) > 17);
        char tiny[8];
        std::memset(tiny, 'x', sizeof tiny);
        CHILD_CHECK(OsStartNewThread(recordSelf, &seen, 0, 64u << 20, tiny, 5) == 0);
        CHILD_CHECK(std::string(tiny) == "pthr");
        CHILD_CHECK(tiny[5] == 'x');
        CHILD_CHECK(OsStartNewThread(recordSelf, &seen, 0, 64u << 20, nullptr, 0) == 0);
        CHILD_CHECK(!seen.ran);
        return 0;
    });
    EXPECT_EQ(rc, 0);
}
