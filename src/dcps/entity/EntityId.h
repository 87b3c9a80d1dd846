#pragma once

#include <cstdint>
#include <vector>

namespace vexa::dcps {

// Entity ids double as instance handles: the top byte gives the kind, the low bits index the
// parent's table. Ids are unsigned here, so shifting them into place is defined.
namespace entity_id {

constexpr uint32_t KIND_MASK = 0xFF000000u;
constexpr uint32_t PUBLISHER = 0x01000000u;
constexpr uint32_t SUBSCRIBER = 0x02000000u;
constexpr uint32_t WRITER = 0x04000000u;
constexpr uint32_t READER = 0x08000000u;
constexpr uint32_t TOPIC = 0x30000000u;

// Tables of participants, publishers, subscribers and topics use the low 24 bits; writer and
// reader tables the low 16.
constexpr uint32_t INDEX_MASK = 0x00FFFFFFu;
constexpr uint32_t ENDPOINT_INDEX_MASK = 0x0000FFFFu;

constexpr uint32_t LAST_PARTICIPANT = 65533;
constexpr uint32_t LAST_PUBLISHER_INDEX = 254;
constexpr uint32_t LAST_SUBSCRIBER_INDEX = 246;
constexpr uint32_t LAST_TOPIC_INDEX = 2042;

// The built-in subscriber's fixed id; it is in no subscriber table.
constexpr uint32_t BUILTIN_SUBSCRIBER = SUBSCRIBER | 0xFFu;

constexpr uint32_t kindOf(int32_t id) {
    return static_cast<uint32_t>(id) & KIND_MASK;
}
constexpr uint32_t indexOf(int32_t id) {
    return static_cast<uint32_t>(id) & INDEX_MASK;
}
constexpr uint32_t endpointIndexOf(int32_t id) {
    return static_cast<uint32_t>(id) & ENDPOINT_INDEX_MASK;
}

}  // namespace entity_id

// A child table: entry 0 is null and one entry is appended per id handed out, so an id's
// index is a direct access; an index outside the table reads as null.
template <class T>
T* tableEntry(std::vector<T*> const& table, uint32_t index) {
    return index < table.size() ? table[index] : nullptr;
}

}  // namespace vexa::dcps
