#pragma once

#include <cstdint>

namespace RTPS {

inline constexpr uint16_t PID_PAD = 0x0000;
inline constexpr uint16_t PID_SENTINEL = 0x0001;
inline constexpr uint16_t PID_KEY_HASH = 0x0070;
inline constexpr uint16_t PID_STATUS_INFO = 0x0071;

// A status info is 4 bytes; its flags are the bits of the first one.
inline constexpr uint16_t STATUS_INFO_SIZE = 4;
inline constexpr uint8_t STATUS_INFO_DISPOSED = 0x01;
inline constexpr uint8_t STATUS_INFO_UNREGISTERED = 0x02;

// One entry of a parameter list. The value points into the message, it is not a copy.
struct Parameter {
    uint16_t parameterId;
    uint16_t length;
    unsigned char* value;
};

}  // namespace RTPS
