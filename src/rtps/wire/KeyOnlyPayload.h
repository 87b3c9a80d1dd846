#pragma once

#include <cstdint>

namespace RTPS {

// Payload of a key-only DATA: encapsulation 00 01, options 00 00, then the writer's instance
// handle of the change (u32, little-endian).
inline constexpr uint16_t KEY_ONLY_PAYLOAD_SIZE = 8;

inline void writeKeyOnlyPayload(uint8_t* out, uint32_t instanceHandle) {
    out[0] = 0x00;
    out[1] = 0x01;
    out[2] = 0x00;
    out[3] = 0x00;
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<uint8_t>(instanceHandle >> (8 * i));
    }
}

}  // namespace RTPS
