#include "common/os/OsEvent.h"

#include <time.h>

#include <cerrno>
#include <new>

#include "common/os/OsStatus.h"

namespace vexa {

namespace {

// Slack added to every timed wait, so a wait never ends before its time-out.
constexpr uint64_t EVENT_SLACK_MKS = 10000;

struct timespec deadlineAfter(uint64_t mks) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Far beyond any real wait, and no overflow of tv_sec.
    constexpr uint64_t MAX_MKS = 100ull * 365 * 24 * 3600 * 1000000;
    if (mks > MAX_MKS) {
        mks = MAX_MKS;
    }
    const uint64_t ns = static_cast<uint64_t>(ts.tv_nsec) + (mks % 1000000u) * 1000u;
    ts.tv_sec += static_cast<time_t>(mks / 1000000u + ns / 1000000000u);
    ts.tv_nsec = static_cast<long>(ns % 1000000000u);
    return ts;
}

}  // namespace

EVENT_CB* OsCreateEvent(const char* /*name*/) {
    EVENT_CB* event = new (std::nothrow) EVENT_CB;
    if (event == nullptr) {
        return nullptr;
    }
    event->posted = 0;
    event->waiters = 0;
    if (pthread_mutex_init(&event->mutex, nullptr) != 0) {
        delete event;
        return nullptr;
    }
    // Deadlines on the monotonic clock: setting the wall clock must not move them.
    pthread_condattr_t attr;
    bool ok = pthread_condattr_init(&attr) == 0;
    if (ok) {
        ok = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
             pthread_cond_init(&event->cond, &attr) == 0;
        pthread_condattr_destroy(&attr);
    }
    if (!ok) {
        pthread_mutex_destroy(&event->mutex);
        delete event;
        return nullptr;
    }
    return event;
}

uint32_t OsPostEvent(EVENT_CB* event) {
    if (pthread_mutex_lock(&event->mutex) != 0) {
        return OS_LOCK_FAILED;
    }
    event->posted = 1;
    pthread_cond_broadcast(&event->cond);
    pthread_mutex_unlock(&event->mutex);
    return OS_OK;
}

uint32_t OsWaitEvent(EVENT_CB* event, uint64_t timeoutMks) {
    if (pthread_mutex_lock(&event->mutex) != 0) {
        return OS_LOCK_FAILED;
    }
    event->posted = 0;
    ++event->waiters;
    int rc = 0;
    if (timeoutMks == 0) {
        rc = pthread_cond_wait(&event->cond, &event->mutex);
    } else {
        // Saturating: a time-out near the largest value must not wrap to a short wait.
        const uint64_t waitMks =
            timeoutMks > UINT64_MAX - EVENT_SLACK_MKS ? UINT64_MAX : timeoutMks + EVENT_SLACK_MKS;
        const struct timespec deadline = deadlineAfter(waitMks);
        while (event->posted == 0) {
            rc = pthread_cond_timedwait(&event->cond, &event->mutex, &deadline);
            if (rc != 0) {
                break;
            }
        }
    }
    const bool posted = event->posted != 0;
    --event->waiters;
    pthread_mutex_unlock(&event->mutex);
    if (posted) {
        return OS_OK;
    }
    return rc == ETIMEDOUT ? OS_TIMEOUT : OS_NOT_POSTED;
}

uint32_t OsCloseEvent(EVENT_CB* event) {
    if (event == nullptr) {
        return OS_BUSY;
    }
    // Destroying a mutex or condition that is in use is undefined: keep the event then.
    if (pthread_mutex_trylock(&event->mutex) != 0) {
        return OS_BUSY;
    }
    const bool waitedOn = event->waiters != 0;
    pthread_mutex_unlock(&event->mutex);
    if (waitedOn || pthread_mutex_destroy(&event->mutex) != 0) {
        return OS_BUSY;
    }
    if (pthread_cond_destroy(&event->cond) != 0) {
        // The mutex is gone already; bring it back so the kept event stays usable.
        pthread_mutex_init(&event->mutex, nullptr);
        return OS_BUSY;
    }
    delete event;
    return OS_OK;
}

}  // namespace vexa
