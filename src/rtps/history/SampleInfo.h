#pragma once

#include <cstdint>

#include "rtps/wire/KeyHash.h"
#include "rtps/wire/SequenceNumber.h"
#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// statusFlags bits; 2 and 4 combine. Other bits belong to the engine's users.
inline constexpr uint32_t SAMPLE_ALIVE = 1;
inline constexpr uint32_t SAMPLE_DISPOSED = 2;
inline constexpr uint32_t SAMPLE_UNREGISTERED = 4;

// The record of one change that crosses to the DCPS core and the durability service. Inside a
// CacheChange its address is the handle by which they name the change.
struct SampleInfo {
    uint8_t keyHash[KEY_HASH_SIZE];  // all zero: none
    int32_t instanceHandle;
    uint32_t statusFlags;
    vexa::dds::Time_t sourceTimestamp;  // TIME_INVALID when the sender gave none
    // Serialized sample (CDR behind its 4-byte encapsulation header) or, for built-in topics,
    // a decoded record; `length` is its size in bytes.
    void* data;
    uint64_t length;
    SequenceNumber_t sequenceNumber;
};

}  // namespace RTPS
