#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

namespace vexa {

// Every thread of the middleware runs one of these with its argument.
typedef void (*OsThreadFunction)(void* arg);

// Stack given to a thread that asks for 0 bytes; every request gets OS_STACK_EXTRA on top.
constexpr uint32_t OS_DEFAULT_STACK_SIZE = 128 * 1024;
constexpr uint32_t OS_STACK_EXTRA = 16 * 1024;
// Offset of OsStartMinPrioThread: clamps to the lowest real-time priority.
constexpr int OS_MIN_PRIORITY_OFFSET = -100;
// Name of every thread started here (what ps -L, top -H and debuggers show), so that the
// middleware's threads can be told from the application's and the tools'. A thread bears it
// once OsStartNewThread has returned.
constexpr char OS_THREAD_NAME[] = "vexa";

// Starts a joinable thread with inherited scheduling that runs func(arg) through ThreadGate.
// Under SCHED_FIFO/SCHED_RR the thread's priority is the creator's plus priorityOffset,
// clamped to 1..99; under any other policy the offset is ignored. stackSize 0 means
// OS_DEFAULT_STACK_SIZE. Returns the thread id, or 0 after writing the reason into errBuf
// (when errBuf is not null; never more than errBufLen bytes, always terminated).
pthread_t OsStartNewThread(OsThreadFunction func, void* arg, int priorityOffset, uint32_t stackSize,
                           char* errBuf, size_t errBufLen);

// OsStartNewThread with OS_MIN_PRIORITY_OFFSET.
pthread_t OsStartMinPrioThread(OsThreadFunction func, void* arg, uint32_t stackSize, char* errBuf,
                               size_t errBufLen);

// Entry of every thread started here; names the thread OS_THREAD_NAME, takes the start record
// that OsStartNewThread made and frees it.
void* ThreadGate(void* startRecord);

// Reserves `bytes` on the calling thread's stack and writes one byte into each page of it, so
// that the pages are mapped before time-critical work.
void touchStack(size_t bytes);

// Puts the calling thread into SCHED_RR priority 5 and the process into real-time mode (all
// memory locked, no heap trimming, no mmap allocation), pre-faults heapBytes of heap and up to
// 2 MiB of the calling thread's stack. Does nothing and returns OS_OK when the thread already
// runs SCHED_FIFO or SCHED_RR. Returns OS_OK or OS_RT_FAILED; the reason (and the texts of
// failed mallopt calls, which do not fail the call) goes into errBuf.
uint32_t OsSetRTScheduling(uint64_t heapBytes, char* errBuf, size_t errBufLen);

// Under SCHED_FIFO/SCHED_RR sets the thread's priority to its current one plus offset,
// clamped to 1..99. False only when setting the new priority fails.
bool OsSetThreadPriority(pthread_t thread, int offset);

// The calling thread's scheduling priority; 0 when it cannot be read.
int OsGetThreadPriority();

void OsYieldCPU();

// Waits until the thread has ended (it does not cancel it); returns the pthread_join result.
int OsKillThread(pthread_t thread);
int OsWaitThreadTermination(pthread_t thread);

}  // namespace vexa
