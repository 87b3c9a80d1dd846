#pragma once

#include <cstdint>
#include <cstring>

#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

// The handle addChange returns when it took no change (the core reports TIMEOUT).
inline constexpr int64_t CHANGE_NOT_TAKEN = 0xFFFFFFFF;

// The handle of a written change is its sequence number's in-memory image in a signed 64-bit
// integer: bits 0-31 the high part, bits 32-63 the low part. Sequence number 1 is
// 0x0000000100000000; {-1, 0} is 0xFFFFFFFF, the "not taken" handle.
inline int64_t sequenceToHandle(SequenceNumber_t const& sn) {
    const uint64_t image = (uint64_t{sn.low} << 32) | static_cast<uint32_t>(sn.high);
    return static_cast<int64_t>(image);
}

inline SequenceNumber_t handleToSequence(int64_t handle) {
    const uint64_t image = static_cast<uint64_t>(handle);
    return SequenceNumber_t{static_cast<int32_t>(static_cast<uint32_t>(image)),
                            static_cast<uint32_t>(image >> 32)};
}

}  // namespace RTPS
