#pragma once

#include <cstdint>

namespace RTPS {

// Submessage kinds the engine writes and reads; others are skipped on receipt.
enum SubmessageKind : uint8_t {
    ACKNACK = 0x06,
    HEARTBEAT = 0x07,
    GAP = 0x08,
    INFO_TS = 0x09,
    NACK_FRAG = 0x12,
    DATA = 0x15,
    DATA_FRAG = 0x16,
};

inline constexpr uint16_t MESSAGE_HEADER_SIZE = 20;
inline constexpr uint16_t SUBMESSAGE_HEADER_SIZE = 4;
// Largest datagram, header included; one submessage always fits into an empty datagram.
inline constexpr uint16_t MAX_DATAGRAM_SIZE = 65507;
inline constexpr uint16_t MAX_DATA_SUBMESSAGE_SIZE = MAX_DATAGRAM_SIZE - MESSAGE_HEADER_SIZE;

// Flags. E (little-endian) is set in every submessage written and ignored on receipt.
inline constexpr uint8_t FLAG_ENDIANNESS = 0x01;
inline constexpr uint8_t ACKNACK_FLAG_FINAL = 0x02;
inline constexpr uint8_t HEARTBEAT_FLAG_FINAL = 0x02;
inline constexpr uint8_t HEARTBEAT_FLAG_LIVELINESS = 0x04;
inline constexpr uint8_t INFO_TS_FLAG_INVALIDATE = 0x02;
inline constexpr uint8_t DATA_FLAG_INLINE_QOS = 0x02;
inline constexpr uint8_t DATA_FLAG_DATA = 0x04;
inline constexpr uint8_t DATA_FLAG_KEY = 0x08;

// Fixed parts of DATA and DATA_FRAG: header, extraFlags, octetsToInlineQos, the two entity ids,
// the sequence number, and for DATA_FRAG the four fragment fields.
inline constexpr uint16_t DATA_HEADER_SIZE = 24;
inline constexpr uint16_t DATA_FRAG_HEADER_SIZE = 36;
inline constexpr uint16_t DATA_OCTETS_TO_INLINE_QOS = 16;
inline constexpr uint16_t DATA_FRAG_OCTETS_TO_INLINE_QOS = 28;

// Largest total length (header included) a built submessage of the kind may reach; 4 (only
// the header) for kinds the engine does not write.
inline constexpr uint16_t maxSubmessageLength(uint8_t kind) {
    switch (kind) {
        case ACKNACK:
            return 60;
        case HEARTBEAT:
            return 32;
        case GAP:
            return 64;
        case INFO_TS:
            return 12;
        case NACK_FRAG:
            return 64;
        case DATA:
        case DATA_FRAG:
            return MAX_DATA_SUBMESSAGE_SIZE;
        default:
            return SUBMESSAGE_HEADER_SIZE;
    }
}

}  // namespace RTPS
