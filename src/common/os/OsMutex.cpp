#include "common/os/OsMutex.h"

#include <cerrno>
#include <new>

#include "common/os/OsStatus.h"

namespace vexa {

pthread_mutex_t* OsCreateMutex(const char* /*name*/) {
    pthread_mutex_t* mutex = new (std::nothrow) pthread_mutex_t;
    if (mutex == nullptr) {
        return nullptr;
    }
    if (pthread_mutex_init(mutex, nullptr) != 0) {
        delete mutex;
        return nullptr;
    }
    return mutex;
}

uint32_t OsCloseMutex(pthread_mutex_t* mutex) {
    if (mutex == nullptr) {
        return OS_BUSY;
    }
    // Destroying a locked mutex is undefined: probe first, and keep it when anyone holds it.
    if (pthread_mutex_trylock(mutex) != 0) {
        return OS_BUSY;
    }
    pthread_mutex_unlock(mutex);
    if (pthread_mutex_destroy(mutex) != 0) {
        return OS_BUSY;
    }
    delete mutex;
    return OS_OK;
}

uint32_t OsRequestAccess(pthread_mutex_t* mutex) {
    return pthread_mutex_lock(mutex) == 0 ? OS_OK : OS_LOCK_FAILED;
}

uint32_t OsTryRequestAccess(pthread_mutex_t* mutex) {
    const int rc = pthread_mutex_trylock(mutex);
    if (rc == 0) {
        return OS_OK;
    }
    return rc == EBUSY ? OS_BUSY : OS_LOCK_FAILED;
}

uint32_t OsReleaseAccess(pthread_mutex_t* mutex) {
    return pthread_mutex_unlock(mutex) == 0 ? OS_OK : OS_LOCK_FAILED;
}

}  // namespace vexa
