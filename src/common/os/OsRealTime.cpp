#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/os/OsErrorText.h"
#include "common/os/OsStatus.h"
#include "common/os/OsThread.h"

namespace vexa {

namespace {

constexpr int RT_PRIORITY = 5;
constexpr size_t RT_STACK_TOUCH = 2 * 1024 * 1024;
// Left untouched below the touched part: frames of the functions this thread calls later.
constexpr size_t STACK_MARGIN = 64 * 1024;

// How many bytes of the calling thread's stack can be touched, from here down, leaving
// STACK_MARGIN; the caller may have made this thread with a stack far smaller than 2 MiB.
size_t touchableStack() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) {
        return 0;
    }
    void* low = nullptr;
    size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        return 0;
    }
    volatile char here = 0;
    const uintptr_t top = reinterpret_cast<uintptr_t>(&here);
    const uintptr_t bottom = reinterpret_cast<uintptr_t>(low);
    if (top <= bottom || top - bottom <= STACK_MARGIN) {
        return 0;
    }
    return top - bottom - STACK_MARGIN;
}

void prefaultHeap(uint64_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX) {
        return;
    }
    volatile unsigned char* block = static_cast<volatile unsigned char*>(std::malloc(bytes));
    if (block == nullptr) {
        return;
    }
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (size_t offset = 0; offset < bytes; offset += page) {
        block[offset] = 0;
    }
    // With trimming off, the pages stay mapped (and locked) for later allocations.
    std::free(const_cast<unsigned char*>(block));
}

}  // namespace

uint32_t OsSetRTScheduling(uint64_t heapBytes, char* errBuf, size_t errBufLen) {
    int policy = 0;
    struct sched_param param;
    int rc = pthread_getschedparam(pthread_self(), &policy, &param);
    if (rc != 0) {
        osWriteError(errBuf, errBufLen, "pthread_getschedparam - ", rc);
        return OS_RT_FAILED;
    }
    if (policy == SCHED_FIFO || policy == SCHED_RR) {
        return OS_OK;
    }
    param.sched_priority = RT_PRIORITY;
    rc = pthread_setschedparam(pthread_self(), SCHED_RR, &param);
    if (rc != 0) {
        osWriteError(errBuf, errBufLen, "pthread_setschedparam - ", rc);
        return OS_RT_FAILED;
    }
    if (mlockall(MCL_CURRENT | MCL_FUTURE) != 0) {
        osWriteError(errBuf, errBufLen, "mlockall - ", errno);
        return OS_RT_FAILED;
    }
    if (mallopt(M_TRIM_THRESHOLD, -1) != 1) {
        osWriteText(errBuf, errBufLen, "mallopt M_TRIM_THRESHOLD fail ");
    }
    if (mallopt(M_MMAP_MAX, 0) != 1) {
        osWriteText(errBuf, errBufLen, "mallopt M_MMAP_MAX fail ");
    }
    prefaultHeap(heapBytes);
    const size_t touchable = touchableStack();
    touchStack(touchable < RT_STACK_TOUCH ? touchable : RT_STACK_TOUCH);
    return OS_OK;
}

}  // namespace vexa
