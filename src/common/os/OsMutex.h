#pragma once

#include <pthread.h>

#include <cstdint>

namespace vexa {

// A heap mutex with default (non-recursive) attributes; the name is ignored. Null on failure.
pthread_mutex_t* OsCreateMutex(const char* name);

// Destroys and frees it: OS_OK, or OS_BUSY with the mutex kept intact while it is locked.
uint32_t OsCloseMutex(pthread_mutex_t* mutex);

// OS_OK, or OS_LOCK_FAILED.
uint32_t OsRequestAccess(pthread_mutex_t* mutex);
// OS_OK locked, OS_BUSY already locked, OS_LOCK_FAILED.
uint32_t OsTryRequestAccess(pthread_mutex_t* mutex);
// OS_OK, or OS_LOCK_FAILED.
uint32_t OsReleaseAccess(pthread_mutex_t* mutex);

}  // namespace vexa
