#pragma once

#include <cstdint>

#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

// A NACK_FRAG: the fragments set in fragmentNumberState of the change writerSN are missing.
// Given to the composer, which deletes it.
struct NAckFragData {
    GUID_t readerGUID{};
    GUID_t writerGUID{};
    SequenceNumber_t writerSN{};
    FragmentNumberSet fragmentNumberState{};
    uint32_t count = 0;
};

}  // namespace RTPS
