#include "common/os/OsThread.h"

#include <alloca.h>
#include <errno.h>
#include <sched.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "common/os/OsErrorText.h"
#include "common/os/OsStackRoom.h"

namespace vexa {

// Handed from OsStartNewThread to the new thread, which alone frees it.
struct ThreadStartRecord {
    pthread_t id;
    OsThreadFunction func;
    void* arg;
    int priorityOffset;
    uint32_t stackSize;  // already the default when 0 was asked for
};

namespace {

// The part of a thread's requested stack that is not pre-touched: room for the gate's frame.
constexpr uint32_t STACK_TOUCH_RESERVE = 260;
// Left untouched at the bottom of the real stack, for touchStack's own frame.
constexpr size_t STACK_TOUCH_MARGIN = 8 * 1024;

bool isRealTime(int policy) {
    return policy == SCHED_FIFO || policy == SCHED_RR;
}

int clampPriority(int priority, int offset) {
    const long long p = static_cast<long long>(priority) + offset;
    return p < 1 ? 1 : (p > 99 ? 99 : static_cast<int>(p));
}

}  // namespace

pthread_t OsStartNewThread(OsThreadFunction func, void* arg, int priorityOffset, uint32_t stackSize,
                           char* errBuf, size_t errBufLen) {
    std::unique_ptr<ThreadStartRecord> record(new (std::nothrow) ThreadStartRecord);
    if (!record) {
        osWriteError(errBuf, errBufLen, "pthread_create - ", ENOMEM);
        return 0;
    }
    record->id = 0;
    record->func = func;
    record->arg = arg;
    record->priorityOffset = priorityOffset;
    record->stackSize = stackSize == 0 ? OS_DEFAULT_STACK_SIZE : stackSize;

    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    if (rc != 0) {
        osWriteError(errBuf, errBufLen, "pthread_attr_init - ", rc);
        return 0;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_JOINABLE);
    pthread_attr_setinheritsched(&attr, PTHREAD_INHERIT_SCHED);
    rc = pthread_attr_setstacksize(&attr, static_cast<size_t>(record->stackSize) + OS_STACK_EXTRA);
    if (rc != 0) {
        osWriteError(errBuf, errBufLen, "pthread_attr_setstacksize - ", rc);
        pthread_attr_destroy(&attr);
        return 0;
    }
    pthread_t id = 0;
    rc = pthread_create(&id, &attr, ThreadGate, record.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        osWriteError(errBuf, errBufLen, "pthread_create - ", rc);
        return 0;
    }
    // The new thread owns the record from its first instruction on.
    record.release();
    // Named here as well as in the gate, so that it bears the name once this call returns.
    pthread_setname_np(id, OS_THREAD_NAME);
    return id;
}

pthread_t OsStartMinPrioThread(OsThreadFunction func, void* arg, uint32_t stackSize, char* errBuf,
                               size_t errBufLen) {
    return OsStartNewThread(func, arg, OS_MIN_PRIORITY_OFFSET, stackSize, errBuf, errBufLen);
}

void* ThreadGate(void* startRecord) {
    std::unique_ptr<ThreadStartRecord> record(static_cast<ThreadStartRecord*>(startRecord));
    record->id = pthread_self();
    pthread_setname_np(record->id, OS_THREAD_NAME);  // before its creator may have named it
    int policy = 0;
    struct sched_param param;
    if (pthread_getschedparam(record->id, &policy, &param) == 0 && isRealTime(policy)) {
        // Relative to the inherited priority; a refusal leaves the inherited one.
        param.sched_priority = clampPriority(param.sched_priority, record->priorityOffset);
        pthread_setschedparam(record->id, policy, &param);
        // Requests below the reserve touch nothing rather than wrapping around, and the touch
        // never reaches past the stack that is really there.
        const size_t bytes =
            record->stackSize > STACK_TOUCH_RESERVE ? record->stackSize - STACK_TOUCH_RESERVE : 0;
        const size_t room = osStackRoom();
        const size_t touchable = room > STACK_TOUCH_MARGIN ? room - STACK_TOUCH_MARGIN : 0;
        touchStack(bytes < touchable ? bytes : touchable);
    }
    record->func(record->arg);
    return nullptr;
}

// Not inlined, so the reserved block is given back when it returns.
__attribute__((noinline)) void touchStack(size_t bytes) {
    if (bytes == 0) {
        return;
    }
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    volatile unsigned char* block = static_cast<volatile unsigned char*>(alloca(bytes));
    for (size_t offset = 0; offset < bytes; offset += page) {
        block[offset] = static_cast<unsigned char>(offset);
    }
}

bool OsSetThreadPriority(pthread_t thread, int offset) {
    int policy = 0;
    struct sched_param param;
    if (pthread_getschedparam(thread, &policy, &param) != 0 || !isRealTime(policy)) {
        return true;
    }
    param.sched_priority = clampPriority(param.sched_priority, offset);
    return pthread_setschedparam(thread, policy, &param) == 0;
}

int OsGetThreadPriority() {
    int policy = 0;
    struct sched_param param;
    if (pthread_getschedparam(pthread_self(), &policy, &param) != 0) {
        return 0;
    }
    return param.sched_priority;
}

void OsYieldCPU() {
    sched_yield();
}

int OsKillThread(pthread_t thread) {
    return pthread_join(thread, nullptr);
}

int OsWaitThreadTermination(pthread_t thread) {
    return OsKillThread(thread);
}

}  // namespace vexa
