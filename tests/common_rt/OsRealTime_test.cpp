#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/ChildProcess.h"
#include "common/os/Os.h"

// Real-time mode changes the whole process (locked memory, priorities): every check runs in a
// forked child, and is skipped where the kernel refuses SCHED_RR.

using namespace vexa;
using vexatest::CHILD_SKIP;
using vexatest::runInChild;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers ignore mlockall and mallopt.
constexpr bool UNDER_SANITIZER = true;
#else
constexpr bool UNDER_SANITIZER = false;
#endif

void expectChild(int rc) {
    if (rc == CHILD_SKIP) {
        GTEST_SKIP() << "SCHED_RR refused here";
    }
    EXPECT_EQ(rc, 0);
}

// Puts the calling thread under `policy`; false when the kernel refuses (EPERM).
bool enterRealTime(int policy, int priority) {
    struct sched_param param;
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

long lockedKiB() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::sscanf(line, "VmLck: %ld", &kib) == 1) {
            break;
        }
    }
    std::fclose(f);
    return kib;
}

struct Seen {
    int policy = -1;
    int priority = -1;
    size_t residentStackPages = 0;
};

void recordSelf(void* p) {
    Seen* seen = static_cast<Seen*>(p);
    struct sched_param param;
    pthread_getschedparam(pthread_self(), &seen->policy, &param);
    seen->priority = OsGetThreadPriority();
    // How much of this thread's stack is mapped in already.
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* low = nullptr;
        size_t size = 0;
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> vec((size + page - 1) / page);
        if (mincore(low, size, vec.data()) == 0) {
            for (unsigned char v : vec) {
                seen->residentStackPages += v & 1;
            }
        }
    }
}

Seen runThread(int offset, uint32_t stackSize) {
    Seen seen;
    const pthread_t id = OsStartNewThread(recordSelf, &seen, offset, stackSize, nullptr, 0);
    if (id != 0) {
        OsKillThread(id);
    }
    return seen;
}

}  // namespace

TEST(OsRealTime, OffsetsAreRelativeToTheCreatorAndClamped) {
    expectChild(runInChild([] {
        if (!enterRealTime(SCHED_RR, 5)) {
            return CHILD_SKIP;
        }
        struct Case {
            int offset;
            int expected;
        };
        const Case cases[] = {{2, 7}, {1, 6}, {0, 5}, {-2, 3}, {-4, 1}, {-100, 1}, {200, 99}};
        for (const Case& c : cases) {
            const Seen seen = runThread(c.offset, 0);
            CHILD_CHECK(seen.policy == SCHED_RR);
            if (seen.priority != c.expected) {
                std::fprintf(stderr, "offset %d: priority %d, expected %d\n", c.offset,
                             seen.priority, c.expected);
                return 2;
            }
        }
        Seen lowest;
        const pthread_t id = OsStartMinPrioThread(recordSelf, &lowest, 0, nullptr, 0);
        CHILD_CHECK(id != 0);
        OsKillThread(id);
        CHILD_CHECK(lowest.priority == 1);

        // The same arithmetic on a running thread.
        CHILD_CHECK(OsSetThreadPriority(pthread_self(), 3));
        CHILD_CHECK(OsGetThreadPriority() == 8);
        CHILD_CHECK(OsSetThreadPriority(pthread_self(), -50));
        CHILD_CHECK(OsGetThreadPriority() == 1);
        CHILD_CHECK(OsSetThreadPriority(pthread_self(), 1000));
        CHILD_CHECK(OsGetThreadPriority() == 99);
        return 0;
    }));
}

// Under real-time a thread maps its stack in before its function runs; under the ordinary
// policy it does not. A request below the gate's reserve must not wrap around into gigabytes.
TEST(OsRealTime, ThreadStackIsPreTouched) {
    expectChild(runInChild([] {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        // Sizes that no earlier thread of this process had, so the stacks are fresh.
        const Seen ordinary = runThread(0, 200 * 1024);
        CHILD_CHECK(ordinary.residentStackPages < 200 * 1024 / page / 2);
        if (!enterRealTime(SCHED_RR, 5)) {
            return CHILD_SKIP;
        }
        const Seen touched = runThread(0, 300 * 1024);
        CHILD_CHECK(touched.policy == SCHED_RR);
        CHILD_CHECK(touched.residentStackPages >= (300 * 1024 - 260) / page);
        for (uint32_t tiny : {1u, 100u, 259u, 260u, 261u}) {
            const Seen seen = runThread(0, tiny);
            CHILD_CHECK(seen.policy == SCHED_RR);
        }
        return 0;
    }));
}

TEST(OsRealTime, SwitchesAnOrdinaryThreadOn) {
    expectChild(runInChild([] {
        char err[2047] = "";
        const uint32_t rc = OsSetRTScheduling(8u << 20, err, sizeof err);
        if (rc == OS_RT_FAILED && std::strncmp(err, "pthread_setschedparam - ", 24) == 0) {
            return CHILD_SKIP;
        }
        CHILD_CHECK(rc == OS_OK);
        int policy = -1;
        struct sched_param param;
        CHILD_CHECK(pthread_getschedparam(pthread_self(), &policy, &param) == 0);
        CHILD_CHECK(policy == SCHED_RR);
        CHILD_CHECK(param.sched_priority == 5);
        if (!UNDER_SANITIZER) {
            CHILD_CHECK(err[0] == '\0');
            // The pre-faulted heap is among the locked memory.
            CHILD_CHECK(lockedKiB() >= 8 * 1024);
        }
        // Threads started afterwards inherit it.
        const Seen seen = runThread(2, 0);
        CHILD_CHECK(seen.policy == SCHED_RR);
        CHILD_CHECK(seen.priority == 7);
        return 0;
    }));
}

// A thread already under real-time is left exactly as it is: no memory locked, no priority.
TEST(OsRealTime, AlreadyRealTimeThreadIsLeftAlone) {
    for (int policy : {SCHED_RR, SCHED_FIFO}) {
        SCOPED_TRACE(policy == SCHED_RR ? "SCHED_RR" : "SCHED_FIFO");
        expectChild(runInChild([policy] {
            if (!enterRealTime(policy, 9)) {
                return CHILD_SKIP;
            }
            char err[64] = "";
            CHILD_CHECK(OsSetRTScheduling(64u << 20, err, sizeof err) == OS_OK);
            int now = -1;
            struct sched_param param;
            CHILD_CHECK(pthread_getschedparam(pthread_self(), &now, &param) == 0);
            CHILD_CHECK(now == policy);
            CHILD_CHECK(param.sched_priority == 9);
            CHILD_CHECK(lockedKiB() == 0);
            CHILD_CHECK(err[0] == '\0');
            return 0;
        }));
    }
}

namespace {

struct AppThread {
    uint32_t rc = 99;
    char err[256] = "";
};

void* switchOn(void* p) {
    AppThread* app = static_cast<AppThread*>(p);
    app->rc = OsSetRTScheduling(0, app->err, sizeof app->err);
    // Calls made afterwards still find room on the stack.
    touchStack(4096);
    return nullptr;
}

}  // namespace

// An application may create its participants on a thread with a stack far below 2 MiB: the
// stack touch must stay inside that stack.
TEST(OsRealTime, SmallApplicationStackSurvivesTheSwitch) {
    for (size_t stack : {size_t(96 * 1024), size_t(256 * 1024), size_t(1024 * 1024)}) {
        SCOPED_TRACE(stack);
        expectChild(runInChild([stack] {
            pthread_attr_t attr;
            pthread_attr_init(&attr);
            CHILD_CHECK(pthread_attr_setstacksize(&attr, stack) == 0);
            AppThread app;
            pthread_t id;
            CHILD_CHECK(pthread_create(&id, &attr, switchOn, &app) == 0);
            pthread_attr_destroy(&attr);
            pthread_join(id, nullptr);
            if (app.rc == OS_RT_FAILED &&
                std::strncmp(app.err, "pthread_setschedparam - ", 24) == 0) {
                return CHILD_SKIP;
            }
            CHILD_CHECK(app.rc == OS_OK);
            return 0;
        }));
    }
}
