#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/os/OsErrorText.h"
#include "common/os/OsStackRoom.h"
#include "common/os/OsStatus.h"
#include "common/os/OsThread.h"

namespace vexa {

namespace {

constexpr int RT_PRIORITY = 5;
constexpr size_t RT_STACK_TOUCH = 2 * 1024 * 1024;
// Left untouched below the touched part: frames of the functions this thread calls later.
constexpr size_t STACK_MARGIN = 64 * 1024;

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
    // The caller may have made this thread with a stack far smaller than 2 MiB.
    const size_t room = osStackRoom();
    const size_t touchable = room > STACK_MARGIN ? room - STACK_MARGIN : 0;
    touchStack(touchable < RT_STACK_TOUCH ? touchable : RT_STACK_TOUCH);
    return OS_OK;
}

}  // namespace vexa
