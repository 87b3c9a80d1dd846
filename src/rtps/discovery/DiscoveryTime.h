#pragma once

#include <cstdint>

#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// The time arithmetic of discovery: last-seen times and lease checks. Comparisons are those of
// vexa::dds (BasicTypes.h).

// Microseconds since the epoch as a time (the seconds word keeps the low 32 bits).
vexa::dds::Time_t usToTime(uint64_t microseconds);

// a - b as a duration; nanoseconds borrow from the seconds.
vexa::dds::Duration_t operator-(vexa::dds::Time_t a, vexa::dds::Time_t b);

// Half a duration, rounded down to the nanosecond and normalised (also for negative odd
// seconds); half of DURATION_INFINITE stays infinite.
vexa::dds::Duration_t half(vexa::dds::Duration_t d);

// A duration in microseconds, for scheduler periods; nanoseconds below a microsecond are cut.
int64_t durationToUs(vexa::dds::Duration_t d);

}  // namespace RTPS
