#pragma once

#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/wire/SequenceNumberSet.h"

namespace RTPS {

// A GAP: the writer's sequence numbers from gapStart up to gapList's base, and those set in
// gapList, will never come. Given to the composer, which deletes it.
struct GapData {
    EntityId_t readerId{};
    GUID_t writerGUID{};
    SequenceNumber_t gapStart{};
    SequenceNumberSet gapList{};
};

}  // namespace RTPS
