#pragma once

#include <cstdint>

namespace RTPS {

// Kinds of liveliness messages on the participant-message topic (bytes in memory order).
inline constexpr uint8_t PARTICIPANT_MESSAGE_DATA_KIND_AUTOMATIC_LIVELINESS_UPDATE[4] = {0, 0, 0,
                                                                                         1};
inline constexpr uint8_t PARTICIPANT_MESSAGE_DATA_KIND_MANUAL_LIVELINESS_UPDATE[4] = {0, 0, 0, 2};

}  // namespace RTPS
