#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <cstring>
#include <string>

#include "common/ChildProcess.h"
#include "common/os/Os.h"

using namespace vexa;
using vexatest::CHILD_SKIP;
using vexatest::runInChild;

// Where the kernel refuses real-time (as in the test launcher's user namespace), the switch
// reports why, within the caller's buffer, and leaves the thread and its memory as they were.
TEST(OsRealTimeRefused, ReportsTheReasonAndChangesNothing) {
    const int rc = runInChild([] {
        char err[256];
        std::memset(err, 'x', sizeof err);
        const uint32_t result = OsSetRTScheduling(1u << 20, err, sizeof err);
        if (result == OS_OK) {
            return CHILD_SKIP;  // real-time is allowed here: the common_rt tests cover it
        }
        CHILD_CHECK(result == OS_RT_FAILED);
        const std::string text(err);
        CHILD_CHECK(text.rfind("pthread_setschedparam - ", 0) == 0);
        CHILD_CHECK(text.size() > std::strlen("pthread_setschedparam - "));
        int policy = -1;
        struct sched_param param;
        CHILD_CHECK(pthread_getschedparam(pthread_self(), &policy, &param) == 0);
        CHILD_CHECK(policy == SCHED_OTHER);

        char tiny[6];
        std::memset(tiny, 'x', sizeof tiny);
        CHILD_CHECK(OsSetRTScheduling(0, tiny, 4) == OS_RT_FAILED);
        CHILD_CHECK(std::string(tiny) == "pth");
        CHILD_CHECK(tiny[4] == 'x');
        CHILD_CHECK(OsSetRTScheduling(0, nullptr, 0) == OS_RT_FAILED);
        return 0;
    });
    if (rc == CHILD_SKIP) {
        GTEST_SKIP() << "real-time scheduling is allowed outside the launcher";
    }
    EXPECT_EQ(rc, 0);
}
