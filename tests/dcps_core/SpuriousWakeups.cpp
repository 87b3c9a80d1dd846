#include "SpuriousWakeups.h"

#include <dlfcn.h>
#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <cstdint>

namespace {

thread_local int64_t tlsPeriodNs = 0;
thread_local int64_t tlsUntilNs = 0;  // on CLOCK_MONOTONIC
thread_local unsigned tlsGiven = 0;

int64_t nanos(timespec const& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

timespec fromNanos(int64_t ns) {
    timespec t;
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

int64_t nowNs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return nanos(t);
}

}  // namespace

namespace vexatest {

SpuriousWakeups::SpuriousWakeups(std::chrono::milliseconds period, std::chrono::milliseconds span) {
    tlsPeriodNs = std::chrono::nanoseconds(period).count();
    tlsUntilNs = nowNs(CLOCK_MONOTONIC) + std::chrono::nanoseconds(span).count();
    tlsGiven = 0;
}

SpuriousWakeups::~SpuriousWakeups() {
    tlsPeriodNs = 0;
}

unsigned SpuriousWakeups::given() const {
    return tlsGiven;
}

}  // namespace vexatest

// The one the standard library's timed waits call here. Forwarded unchanged unless the
// calling thread asked for spurious wake-ups; then each wait is cut short and reported as a
// wake-up, which callers must treat like any other.
extern "C" int pthread_cond_clockwait(pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock,
                                      timespec const* abstime) {
    using Real = int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, timespec const*);
    static Real const real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "pthread_cond_clockwait"));
    if (tlsPeriodNs == 0 || nowNs(CLOCK_MONOTONIC) >= tlsUntilNs) {
        return real(cond, mutex, clock, abstime);
    }
    int64_t const bound = nowNs(clock) + tlsPeriodNs;
    if (bound >= nanos(*abstime)) {
        return real(cond, mutex, clock, abstime);
    }
    timespec const early = fromNanos(bound);
    int const rc = real(cond, mutex, clock, &early);
    if (rc == ETIMEDOUT) {
        ++tlsGiven;
        return 0;
    }
    return rc;
}
