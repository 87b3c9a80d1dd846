#pragma once

namespace RTPS {

// How readers tell their user about new changes.
using COMMUNICATION_MODE = unsigned int;

// Every change added to a reader's history is reported.
inline constexpr COMMUNICATION_MODE COMMUNICATION_MODE_EVERY_CHANGE = 0;
// Only changes that the history cache reports as new are reported.
inline constexpr COMMUNICATION_MODE COMMUNICATION_MODE_NEW_CHANGES = 1;

}  // namespace RTPS
