#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"

namespace RTPS {

// What a change holds, and so what it frees: a local user sample, a received change, or one
// of the built-in records that discovery packs once and sends from the packed copy.
enum OwnerTopicType : int32_t {
    OWNER_USER = 0,
    OWNER_RECEIVED = 1,
    OWNER_PUBLICATION = 3,
    OWNER_SUBSCRIPTION = 4,
    OWNER_PARTICIPANT = 5,
    OWNER_TOPIC = 6,
    OWNER_PARTICIPANT_MESSAGE = 7,
};

inline constexpr bool isBuiltinRecordKind(int32_t kind) {
    return kind >= OWNER_PUBLICATION && kind <= OWNER_PARTICIPANT_MESSAGE;
}

// The record kind a built-in writer sends; OWNER_USER for every other writer.
inline OwnerTopicType recordKindOfWriter(EntityId_t const& writer) {
    if (writer == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER) {
        return OWNER_PUBLICATION;
    }
    if (writer == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER) {
        return OWNER_SUBSCRIPTION;
    }
    if (writer == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER) {
        return OWNER_PARTICIPANT;
    }
    if (writer == _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER) {
        return OWNER_TOPIC;
    }
    if (writer == _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER) {
        return OWNER_PARTICIPANT_MESSAGE;
    }
    return OWNER_USER;
}

}  // namespace RTPS
