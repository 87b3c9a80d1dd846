#pragma once

#include <cstdint>

#include "rtps/wire/KeyHash.h"
#include "rtps/wire/SequenceNumber.h"
#include "vexa/dds/BasicTypes.h"

namespace RTPS {

// One stored sample of the durability service, shared with the DSVC sender by std::shared_ptr.
// The service fills it and owns `data`; the engine only reads it and builds one SMPL from it,
// field for field. The first four fields are the head of the sample's SampleInfo.
struct HistoricalSampleInfo {
    uint8_t keyHash[KEY_HASH_SIZE];
    int32_t instanceHandle;
    uint32_t statusFlags;
    vexa::dds::Time_t sourceTimestamp;
    void const* data;
    uint64_t dataLength;
    SequenceNumber_t sequenceNumber;
    // Writer GUID prefix as three words and entity id: the 16 bytes of its GUID_t.
    uint32_t writerGuidPrefix[3];
    uint32_t writerEntityId;
};

}  // namespace RTPS
