#pragma once

#include <cstdint>

namespace RTPS {

// Named shared-memory object holding the host's participant counter (one byte).
inline constexpr char HOST_WIDE_PARTICIPANT_ID[] = "HostWideParticipantID";
// Indices run 0 .. HOST_WIDE_PARTICIPANT_INDICES - 1 and then start at 0 again.
inline constexpr uint8_t HOST_WIDE_PARTICIPANT_INDICES = 120;

// Takes the next index from the counter that every process of the host shares in the named
// object, and advances the counter under the object's lock, so that participants created at
// the same time in different processes get distinct indices. The counter counts creations,
// not live participants: after 120 creations the indices repeat.
// A lock that cannot be had within its bounded wait is warned about and the index is taken
// without it; when the object cannot be created or mapped the index is 0. A counter byte
// outside the index range (a damaged object) restarts the sequence at 0.
// objectName names another counter; the engine always uses HOST_WIDE_PARTICIPANT_ID.
uint8_t takeHostWideParticipantIndex(const char* objectName = HOST_WIDE_PARTICIPANT_ID);

}  // namespace RTPS
