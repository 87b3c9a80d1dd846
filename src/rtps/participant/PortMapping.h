#pragma once

#include <cstdint>

namespace RTPS {

// Port mapping of the wire protocol: port base, domain gain, participant gain and the offsets
// of the four port kinds. Domains 0..229 and indices 0..119 give ports below 65536.
inline constexpr uint32_t PORT_BASE = 7400;
inline constexpr uint32_t DOMAIN_ID_GAIN = 250;
inline constexpr uint32_t PARTICIPANT_ID_GAIN = 2;
inline constexpr uint32_t OFFSET_METATRAFFIC_MULTICAST = 0;
inline constexpr uint32_t OFFSET_USER_MULTICAST = 1;
inline constexpr uint32_t OFFSET_METATRAFFIC_UNICAST = 10;
inline constexpr uint32_t OFFSET_USER_UNICAST = 11;

// Participant announcements go to this port of the announcement group.
constexpr uint16_t metatrafficMulticastPort(uint32_t domainId) {
    return static_cast<uint16_t>(PORT_BASE + DOMAIN_ID_GAIN * domainId +
                                 OFFSET_METATRAFFIC_MULTICAST);
}

// Writers send user data to their multicast groups on this port.
constexpr uint16_t userMulticastPort(uint32_t domainId) {
    return static_cast<uint16_t>(PORT_BASE + DOMAIN_ID_GAIN * domainId + OFFSET_USER_MULTICAST);
}

// Discovery endpoints of the participant with this host-wide index.
constexpr uint16_t metatrafficUnicastPort(uint32_t domainId, uint32_t participantIndex) {
    return static_cast<uint16_t>(PORT_BASE + DOMAIN_ID_GAIN * domainId +
                                 PARTICIPANT_ID_GAIN * participantIndex +
                                 OFFSET_METATRAFFIC_UNICAST);
}

// User endpoints of the participant with this host-wide index.
constexpr uint16_t userUnicastPort(uint32_t domainId, uint32_t participantIndex) {
    return static_cast<uint16_t>(PORT_BASE + DOMAIN_ID_GAIN * domainId +
                                 PARTICIPANT_ID_GAIN * participantIndex + OFFSET_USER_UNICAST);
}

}  // namespace RTPS
