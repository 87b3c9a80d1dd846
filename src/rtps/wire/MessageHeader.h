#pragma once

#include <cstddef>
#include <cstdint>

#include "rtps/wire/Guid.h"

namespace RTPS {

inline constexpr uint8_t PROTOCOL_VERSION_MAJOR = 2;
inline constexpr uint8_t PROTOCOL_VERSION_MINOR = 2;
inline constexpr uint8_t VENDOR_ID[2] = {0xAA, 0xAA};

// The 20 bytes in front of every datagram: "RTPS", version, vendor id, sender's GUID prefix.
struct MessageHeader {
    uint8_t versionMajor;
    uint8_t versionMinor;
    uint8_t vendorId[2];
    uint8_t guidPrefix[GUID_PREFIX_SIZE];
};

// Writes the header of a datagram sent by the participant with `guidPrefix` (20 bytes).
void writeMessageHeader(uint8_t* out, uint8_t const* guidPrefix);

// False when the datagram is shorter than the header or is not an RTPS message. The version is
// returned, not judged: see isSupportedVersion.
bool parseMessageHeader(uint8_t const* datagram, size_t length, MessageHeader& out);

// Only 2.2 is understood.
inline bool isSupportedVersion(MessageHeader const& h) {
    return h.versionMajor == PROTOCOL_VERSION_MAJOR && h.versionMinor == PROTOCOL_VERSION_MINOR;
}

}  // namespace RTPS
