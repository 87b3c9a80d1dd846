#pragma once

#include <cstddef>

#include "rtps/wire/EntityId.h"

namespace RTPS {

// The built-in discovery endpoints of every participant. Each sits at a fixed position of the
// participant's writer or reader list (the same position in both), whether or not it exists.
enum class BuiltinTopic : size_t {
    SUBSCRIPTION = 0,
    PUBLICATION = 1,
    TOPIC = 2,
    PARTICIPANT_MESSAGE = 3,
    PARTICIPANT = 4,  // SPDP
};

inline constexpr size_t BUILTIN_TOPIC_COUNT = 5;

inline constexpr size_t positionOf(BuiltinTopic topic) {
    return static_cast<size_t>(topic);
}

inline constexpr EntityId_t builtinWriterId(BuiltinTopic topic) {
    switch (topic) {
        case BuiltinTopic::SUBSCRIPTION:
            return _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER;
        case BuiltinTopic::PUBLICATION:
            return _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
        case BuiltinTopic::TOPIC:
            return _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER;
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            return _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER;
        case BuiltinTopic::PARTICIPANT:
            break;
    }
    return _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER;
}

inline constexpr EntityId_t builtinReaderId(BuiltinTopic topic) {
    switch (topic) {
        case BuiltinTopic::SUBSCRIPTION:
            return _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER;
        case BuiltinTopic::PUBLICATION:
            return _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER;
        case BuiltinTopic::TOPIC:
            return _ENTITYID_SEDP_BUILTIN_TOPIC_READER;
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            return _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER;
        case BuiltinTopic::PARTICIPANT:
            break;
    }
    return _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER;
}

// The topic names of the built-in endpoints' descriptions.
inline constexpr char const* builtinTopicName(BuiltinTopic topic) {
    switch (topic) {
        case BuiltinTopic::SUBSCRIPTION:
            return "DCPSSubscription";
        case BuiltinTopic::PUBLICATION:
            return "DCPSPublication";
        case BuiltinTopic::TOPIC:
            return "DCPSTopic";
        case BuiltinTopic::PARTICIPANT_MESSAGE:
            return "DCPSParticipantMessage";
        case BuiltinTopic::PARTICIPANT:
            break;
    }
    return "DCPSParticipant";
}

}  // namespace RTPS
