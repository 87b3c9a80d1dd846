#pragma once

#include <cstdint>

namespace RTPS {

// Kinds of timed protocol work; the numbers appear in logs and tests. 7 to 9 are unused.
enum RTPSTaskType : uint32_t {
    TASK_FREE = 0,
    TASK_READER_DEFERRED = 1,        // stateful reader: answer to a HEARTBEAT (one-shot)
    TASK_SPDP_BEST_EFFORT = 2,       // SPDP announcement (periodic)
    TASK_WRITER_RELIABLE = 3,        // stateful writer: heartbeats and resends (periodic)
    TASK_WRITER_DEFERRED = 4,        // stateful writer: answer to ACKNACK / NACK_FRAG (one-shot)
    TASK_NACK_SUPPRESSION = 5,       // stateful writer: end of NACK suppression (one-shot)
    TASK_STATELESS_BEST_EFFORT = 6,  // stateless writer: resends (periodic)
    TASK_AUTOMATIC_LIVELINESS = 10,  // participant: automatic liveliness (periodic)
    TASK_MANUAL_LIVELINESS = 11,     // participant: manual-by-participant liveliness (periodic)
};

inline constexpr uint32_t MAX_TASK_TYPE = 11;

// One-shot tasks leave the table after their run; the others stay until removed.
inline constexpr bool isOneShotTask(uint32_t type) {
    return type == TASK_READER_DEFERRED || type == TASK_WRITER_DEFERRED ||
           type == TASK_NACK_SUPPRESSION;
}

}  // namespace RTPS
