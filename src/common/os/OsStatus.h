#pragma once

#include <cstdint>

namespace vexa {

// Results of the operating-system layer: small unsigned codes, 0 for success.
constexpr uint32_t OS_OK = 0;
constexpr uint32_t OS_TIMEOUT = 1;      // event wait or host-wide lock timed out
constexpr uint32_t OS_NOT_POSTED = 2;   // event wait interrupted or woken without a post
constexpr uint32_t OS_BUSY = 4;         // already locked, or still in use and kept
constexpr uint32_t OS_LOCK_FAILED = 5;  // lock or unlock failed
constexpr uint32_t OS_RT_FAILED = 6;    // real-time set-up failed

// Does nothing: the layer keeps no state.
bool OsInitialize();

}  // namespace vexa
