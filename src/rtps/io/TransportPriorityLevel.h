#pragma once

namespace RTPS {

// Chooses the sender's low- or high-priority queue.
enum TransportPriorityLevel : unsigned int {
    TRANSPORT_PRIORITY_LOW = 0,
    TRANSPORT_PRIORITY_HIGH = 1,
};

}  // namespace RTPS
