#pragma once

#include <atomic>

namespace vexatest {

// Seams in two C library calls of this test program: while a pause is set, getenv of the named
// variable and ftruncate sleep that long before they run, so that a race the code must survive
// happens every time instead of once in many runs. Set them only in a forked child.
extern std::atomic<unsigned> g_getenvPauseMs;
extern const char* g_getenvPauseName;
extern std::atomic<unsigned> g_ftruncatePauseMs;

}  // namespace vexatest
