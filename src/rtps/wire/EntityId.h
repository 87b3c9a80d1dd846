#pragma once

#include <cstdint>
#include <cstring>

namespace RTPS {

struct EntityId_t {
    uint8_t entityKey[3];
    uint8_t entityKind;
};

inline bool operator==(EntityId_t const& a, EntityId_t const& b) {
    return std::memcmp(&a, &b, sizeof(EntityId_t)) == 0;
}
inline bool operator!=(EntityId_t const& a, EntityId_t const& b) {
    return !(a == b);
}

// Where an entity id crosses an interface as one number, it is its four bytes read in host
// (little-endian) order.
inline uint32_t entityIdToU32(EntityId_t const& id) {
    uint32_t v;
    std::memcpy(&v, &id, sizeof v);
    return v;
}
inline EntityId_t u32ToEntityId(uint32_t v) {
    EntityId_t id;
    std::memcpy(&id, &v, sizeof id);
    return id;
}

// Kind byte of the engine's built-in endpoints and of participants.
inline constexpr uint8_t ENTITYKIND_BUILTIN_FIRST = 0x40;

inline constexpr EntityId_t _ENTITYID_UNKNOWN{{0x00, 0x00, 0x00}, 0x00};
inline constexpr EntityId_t _ENTITYID_PARTICIPANT{{0x00, 0x00, 0x01}, 0xC1};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER{{0x00, 0x00, 0x02}, 0xC2};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_TOPIC_READER{{0x00, 0x00, 0x02}, 0xC7};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER{{0x00, 0x00, 0x03}, 0xC2};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER{{0x00, 0x00, 0x03}, 0xC7};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER{{0x00, 0x00, 0x04}, 0xC2};
inline constexpr EntityId_t _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER{{0x00, 0x00, 0x04}, 0xC7};
inline constexpr EntityId_t _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER{{0x00, 0x01, 0x00}, 0xC2};
inline constexpr EntityId_t _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER{{0x00, 0x01, 0x00}, 0xC7};
inline constexpr EntityId_t _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER{{0x00, 0x02, 0x00},
                                                                             0xC2};
inline constexpr EntityId_t _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER{{0x00, 0x02, 0x00},
                                                                             0xC7};

}  // namespace RTPS
