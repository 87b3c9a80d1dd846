#pragma once

#include <cstdint>
#include <vector>

#include "rtps/discovery/OwnerTopicType.h"

namespace RTPS {

// How changes treat the decoded discovery records of one kind: the discovery code registers
// its encoder and its destructor here, so that cache changes need not know the record types.
struct BuiltinRecordOps {
    // Packs the record into `out`; false when it cannot.
    bool (*pack)(void const* record, std::vector<uint8_t>& out);
    // Destroys a record that a change owns (one the receiver decoded, or a copy made for the
    // change), with every string and sequence in it.
    void (*destroy)(void* record);
};

// `ops` must live as long as the process (a static table); null unregisters. Kinds outside
// 3..7 are ignored.
void setBuiltinRecordOps(OwnerTopicType kind, BuiltinRecordOps const* ops);

// Null when nothing is registered for the kind.
BuiltinRecordOps const* getBuiltinRecordOps(int32_t kind);

}  // namespace RTPS
