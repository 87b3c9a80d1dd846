#pragma once

#include <cstdint>

namespace vexa {

// Wall-clock microseconds since 1970-01-01 UTC, for time stamps; 0 when the clock fails.
uint64_t OsGetTimeCountMks();

// Monotonic microseconds from an arbitrary origin, for deadlines and intervals: it never
// jumps when the wall clock is set.
uint64_t OsGetMonotonicMks();

// Sleeps `ms` milliseconds; a signal does not shorten the sleep.
void OsSleep(uint32_t ms);

}  // namespace vexa
