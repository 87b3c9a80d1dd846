#pragma once

#include "vexa/dds/BasicTypes.h"

namespace vexa::dds {
struct SubscriptionBuiltinTopicData;
}

namespace RTPS {

struct RTPS_AdditionalTopicData;
struct SampleInfo;

// A reader as its user (the DCPS core, the durability service) sees it. A change is named by
// the SampleInfo pointer that CommunicationObject::changeAvailable announced.
class Reader {
public:
    virtual ~Reader() = default;

    // Fills `sample`, the writer's GUID prefix and entity id of an announced change. Throws
    // BAD_PARAMETERS for a null handle, GENERAL_DDSI_ERROR for an unknown change or a closing
    // reader. Takes only the reader's history lock and never waits for an engine thread.
    virtual unsigned int getChange(SampleInfo* handle, unsigned int (*guidPrefix)[3],
                                   unsigned int* entityId, SampleInfo& sample) = 0;
    // The oldest change of the history, as getChange.
    virtual unsigned int getEarliestChange(unsigned int (*guidPrefix)[3], unsigned int* entityId,
                                           SampleInfo& sample) = 0;
    // Removes an announced change; the same exceptions and locking as getChange.
    virtual unsigned int deleteChange(SampleInfo* handle) = 0;
    // True when the durable history has been delivered within `limit`, false on time-out.
    // May throw DDSIException.
    virtual bool waitForHistoricalData(vexa::dds::Duration_t limit) = 0;
    // Stores a new description and re-announces it. `mask`: 1 user data, 4 group data,
    // 8 deadline, 16 latency budget, 64 time-based filter, 128 partition.
    virtual void setQoS(vexa::dds::SubscriptionBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra, unsigned int mask) = 0;
    // One message of the DSVC link (socket, tag, body, length); engine-internal.
    virtual void dsvcDataRecipient(int socket, unsigned long tag, void* body,
                                   unsigned int length) = 0;
    // Stops the reader; a user reader is destroyed, the pointer must not be used afterwards.
    virtual void close() = 0;
};

}  // namespace RTPS
