#pragma once

#include <pthread.h>

#include <cstdint>

namespace vexa {

// A flag with a condition. A wait clears the flag first, so a post made before the wait began
// is lost: new code should use std::condition_variable with a predicate instead.
struct EVENT_CB {
    pthread_mutex_t mutex;
    pthread_cond_t cond;  // on the monotonic clock
    uint8_t posted;
    uint32_t waiters;  // threads inside OsWaitEvent; a close refuses while any is there
};

// The name is ignored. Null when the event cannot be made.
EVENT_CB* OsCreateEvent(const char* name);

// Sets the flag and wakes all waiters: OS_OK, or OS_LOCK_FAILED.
uint32_t OsPostEvent(EVENT_CB* event);

// Clears the flag and waits for a post; timeoutMks 0 waits once without limit, otherwise up to
// timeoutMks + 10 ms. OS_OK posted, OS_TIMEOUT, OS_NOT_POSTED (woken without a post),
// OS_LOCK_FAILED.
uint32_t OsWaitEvent(EVENT_CB* event, uint64_t timeoutMks);

// Destroys and frees the event: OS_OK, or OS_BUSY with the event kept intact when it is
// locked or waited on.
uint32_t OsCloseEvent(EVENT_CB* event);

}  // namespace vexa
