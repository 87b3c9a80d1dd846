#pragma once

#include <semaphore.h>

#include <cstddef>
#include <cstdint>

namespace vexa {

// A named host-wide shared-memory object and the named semaphore that guards it. All zero
// when creation failed: a null `sem` marks the failure.
struct SHMOBJECT_HANDLE {
    int fd;
    sem_t* sem;
    uint8_t created;  // 1 when this call made the object: the caller initialises its contents
};

// How long the host-wide lock is waited for before the caller goes on without it, so that a
// process killed while holding it cannot hang every later one.
constexpr uint32_t OS_SHM_LOCK_WAIT_MS = 2000;

// Opens or creates "/<name>_SHM" of `size` bytes guarded by the semaphore "/<name>_SEM", both
// readable and writable by every user. The creator sizes the object before anyone else can
// open it, and exactly one of any number of concurrent callers gets created == 1.
SHMOBJECT_HANDLE OsCreateSharedMemoryObject(const char* name, size_t size);

// Maps `length` bytes from offset 0, shared between processes; MAP_FAILED on failure.
void* OsMapSharedMemoryObject(const SHMOBJECT_HANDLE& handle, size_t length);

// True on success.
bool OsUnmapSharedMemoryObject(void* address, size_t length);

// Takes the object's semaphore, waiting at most OS_SHM_LOCK_WAIT_MS. OS_OK when taken;
// OS_TIMEOUT when the wait ran out: the caller should warn and go on, and still unlock.
// OS_LOCK_FAILED on any other failure.
uint32_t OsLockSharedMemoryObject(const SHMOBJECT_HANDLE& handle);

// Releases the semaphore. The count never rises above 1, so the unlock after a timed-out lock
// also mends a semaphore whose holder died. OS_OK or OS_LOCK_FAILED.
uint32_t OsUnlockSharedMemoryObject(const SHMOBJECT_HANDLE& handle);

// Under the semaphore closes the descriptor (and sets it to 0), then closes the semaphore and
// clears `sem`; returns the sem_close result (0, or -1 also when the handle is not open).
// Neither the object nor the semaphore is removed from the system.
int OsCloseSharedMemoryObject(SHMOBJECT_HANDLE& handle);

}  // namespace vexa
