#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

// A HEARTBEAT between a writer and the message composer, or between the message receiver and a
// reader. The composer reads it and leaves it to the caller.
struct HeartbeatData {
    EntityId_t readerId{};
    GUID_t writerGUID{};
    bool finalFlag = false;
    bool livelinessFlag = false;
    SequenceNumber_t firstSN{};
    SequenceNumber_t lastSN{};
    uint32_t count = 0;
};

}  // namespace RTPS
