#include "common/os/OsSharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/os/OsStatus.h"

namespace vexa {

namespace {

constexpr mode_t SHARED_MODE = 0666;

// Waits for the semaphore up to OS_SHM_LOCK_WAIT_MS on the monotonic clock.
uint32_t boundedWait(sem_t* sem) {
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += OS_SHM_LOCK_WAIT_MS / 1000;
    deadline.tv_nsec += static_cast<long>(OS_SHM_LOCK_WAIT_MS % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (sem_clockwait(sem, CLOCK_MONOTONIC, &deadline) == 0) {
            return OS_OK;
        }
        if (errno == ETIMEDOUT) {
            return OS_TIMEOUT;
        }
        if (errno != EINTR) {
            return OS_LOCK_FAILED;
        }
    }
}

// Posts only while the count is 0. A holder's own unlock always finds 0; a caller that went
// on after a timed-out wait finds 0 only when the holder died (or still holds it) and then
// mends the lock instead of raising the count to 2, which would let two in for good.
uint32_t release(sem_t* sem) {
    int value = 0;
    if (sem_getvalue(sem, &value) == 0 && value > 0) {
        return OS_OK;
    }
    return sem_post(sem) == 0 ? OS_OK : OS_LOCK_FAILED;
}

SHMOBJECT_HANDLE failed() {
    return SHMOBJECT_HANDLE{0, nullptr, 0};
}

// Opens the object that another process made. An object of size 0 was made by a process that
// died before sizing it: this caller sizes it and counts as its creator.
int openExisting(const std::string& name, size_t size, uint8_t& created) {
    const int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return -1;
    }
    const size_t have = static_cast<size_t>(st.st_size);
    if (have < size) {
        if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
            close(fd);
            return -1;
        }
        created = have == 0 ? 1 : 0;
    }
    return fd;
}

}  // namespace

SHMOBJECT_HANDLE OsCreateSharedMemoryObject(const char* name, size_t size) {
    if (name == nullptr) {
        return failed();
    }
    const std::string semName = std::string("/") + name + "_SEM";
    const std::string shmName = std::string("/") + name + "_SHM";

    // sem_open gives no descriptor to fchmod, so the mask is cleared for this call alone.
    const mode_t oldMask = umask(0);
    sem_t* sem = sem_open(semName.c_str(), O_CREAT | O_RDWR, SHARED_MODE, 1);
    umask(oldMask);
    if (sem == SEM_FAILED) {
        return failed();
    }

    // Creation is exclusive and happens under the semaphore, so exactly one caller creates,
    // and it sizes the object before any other caller gets past the semaphore to map it.
    const uint32_t locked = boundedWait(sem);
    if (locked == OS_LOCK_FAILED) {
        sem_close(sem);
        return failed();
    }
    uint8_t created = 0;
    int fd = shm_open(shmName.c_str(), O_CREAT | O_EXCL | O_RDWR, SHARED_MODE);
    if (fd >= 0) {
        created = 1;
        if (fchmod(fd, SHARED_MODE) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
            close(fd);
            shm_unlink(shmName.c_str());
            fd = -1;
        }
    } else if (errno == EEXIST) {
        fd = openExisting(shmName, size, created);
    }
    release(sem);
    if (fd < 0) {
        sem_close(sem);
        return failed();
    }
    return SHMOBJECT_HANDLE{fd, sem, created};
}

void* OsMapSharedMemoryObject(const SHMOBJECT_HANDLE& handle, size_t length) {
    return mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, handle.fd, 0);
}

bool OsUnmapSharedMemoryObject(void* address, size_t length) {
    return munmap(address, length) == 0;
}

uint32_t OsLockSharedMemoryObject(const SHMOBJECT_HANDLE& handle) {
    if (handle.sem == nullptr) {
        return OS_LOCK_FAILED;
    }
    return boundedWait(handle.sem);
}

uint32_t OsUnlockSharedMemoryObject(const SHMOBJECT_HANDLE& handle) {
    if (handle.sem == nullptr) {
        return OS_LOCK_FAILED;
    }
    return release(handle.sem);
}

int OsCloseSharedMemoryObject(SHMOBJECT_HANDLE& handle) {
    if (handle.sem == nullptr) {
        return -1;
    }
    const uint32_t locked = boundedWait(handle.sem);
    close(handle.fd);
    handle.fd = 0;
    if (locked != OS_LOCK_FAILED) {
        release(handle.sem);
    }
    const int rc = sem_close(handle.sem);
    handle.sem = nullptr;
    handle.created = 0;
    return rc;
}

}  // namespace vexa
