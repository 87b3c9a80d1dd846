#pragma once

#include <cstdint>
#include <vector>

#include "rtps/wire/Guid.h"

namespace RTPS {

// One liveliness message of the participant-message topic: who asserts, and which kind
// (ParticipantMessageKind.h).
struct ParticipantMessageData {
    uint8_t guidPrefix[GUID_PREFIX_SIZE] = {};
    uint8_t kind[4] = {};
    std::vector<uint8_t> data;
};

}  // namespace RTPS
