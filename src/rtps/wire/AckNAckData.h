#pragma once

#include <cstdint>

#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumberSet.h"

namespace RTPS {

// An ACKNACK: everything below readerSNState's base is acknowledged, the numbers set in it are
// requested again. Given to the composer, which deletes it.
struct AckNAckData {
    bool finalFlag = false;
    GUID_t readerGUID{};
    GUID_t writerGUID{};
    SequenceNumberSet readerSNState{};
    uint32_t count = 0;
};

}  // namespace RTPS
