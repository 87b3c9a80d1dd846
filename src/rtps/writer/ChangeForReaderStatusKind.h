#pragma once

#include <cstdint>

namespace RTPS {

// Where one change stands for one matched remote reader; also the state of each fragment of a
// fragmented change (REQUESTED: still to be sent, UNACKNOWLEDGED: sent).
enum ChangeForReaderStatusKind : uint32_t {
    UNSENT = 0,
    UNACKNOWLEDGED = 1,
    REQUESTED = 2,
    UNDERWAY = 3,
    ACKNOWLEDGED = 4,
};

}  // namespace RTPS
