#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <set>

namespace vexatest {

// What the kernel tells about the threads of this process: which exist, how often each gave
// up the processor of its own accord (one wait is one such switch), and the CPU time the whole
// process used. Tests use it to see that a thread ended, or that it sleeps between passes.
std::set<pid_t> processThreads();
uint64_t voluntarySwitches(pid_t thread);
std::chrono::nanoseconds processCpuTime();

// The number of threads now, after starting and joining one: a sanitizer runtime starts a
// thread of its own with the first thread of the process, which must not count as a leak.
size_t settledThreadCount();

// Waits until the process has exactly `count` threads, at most `limit`.
bool waitForThreadCount(size_t count, std::chrono::milliseconds limit);

}  // namespace vexatest
