#include "rtps/wire/SubMessage.h"

#include <cstring>

#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/SequenceNumberSet.h"

namespace RTPS {

SubMessage::SubMessage() : m_own(new uint8_t[BUFFER_SIZE]), m_data(m_own.get()) {
    init(static_cast<SubmessageKind>(0), TRANSPORT_PRIORITY_LOW);
}

SubMessage::SubMessage(uint8_t const* data, uint16_t length)
    : m_data(data),
      m_length(data != nullptr ? length : 0),
      m_headerLength(m_length >= SUBMESSAGE_HEADER_SIZE ? SUBMESSAGE_HEADER_SIZE : 0) {}

void SubMessage::putU16(uint16_t offset, uint16_t v) {
    m_own[offset] = static_cast<uint8_t>(v);
    m_own[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void SubMessage::init(SubmessageKind kind, TransportPriorityLevel priority) {
    if (isView()) {
        return;
    }
    m_maxLength = maxSubmessageLength(kind);
    m_fixedPos = 0;
    m_headerLength = SUBMESSAGE_HEADER_SIZE;
    uint16_t octetsToInlineQos = 0;
    if (kind == DATA) {
        m_headerLength = DATA_HEADER_SIZE;
        octetsToInlineQos = DATA_OCTETS_TO_INLINE_QOS;
    } else if (kind == DATA_FRAG) {
        m_headerLength = DATA_FRAG_HEADER_SIZE;
        octetsToInlineQos = DATA_FRAG_OCTETS_TO_INLINE_QOS;
    }
    // A reused buffer must not show a previous submessage's fixed fields.
    std::memset(m_own.get(), 0, m_headerLength);
    m_own[0] = kind;
    m_own[1] = FLAG_ENDIANNESS;
    if (octetsToInlineQos != 0) {
        putU16(6, octetsToInlineQos);
        m_fixedPos = 8;
    }
    m_length = m_headerLength;
    m_inlineQosLength = 0;
    m_elementLength = 0;
    clearTimestamp();
    m_priority = priority;
}

void SubMessage::setFlags(uint8_t flags) {
    if (!isView()) {
        m_own[1] = flags;
    }
}

bool SubMessage::writeFixed(void const* value, uint16_t size) {
    if (m_fixedPos + size > m_headerLength) {
        return false;
    }
    std::memcpy(m_own.get() + m_fixedPos, value, size);
    m_fixedPos += size;
    return true;
}

bool SubMessage::append(void const* value, uint32_t size) {
    if (static_cast<uint32_t>(m_length) + size > m_maxLength) {
        return false;
    }
    if (size != 0) {
        std::memcpy(m_own.get() + m_length, value, size);
    }
    m_length = static_cast<uint16_t>(m_length + size);
    m_elementLength = static_cast<uint16_t>(m_elementLength + size);
    return true;
}

bool SubMessage::addElement(SubmessageElementKind kind, void const* value, uint16_t length) {
    if (isView() || value == nullptr) {
        return false;
    }
    uint16_t size = 0;
    switch (kind) {
        case ELEMENT_USHORT:
            size = 2;
            break;
        case ELEMENT_ULONG:
        case ELEMENT_ENTITY_ID:
        case ELEMENT_FRAGMENT_NUMBER:
        case ELEMENT_COUNT:
            size = 4;
            break;
        case ELEMENT_SEQUENCE_NUMBER:
        case ELEMENT_TIMESTAMP:
            size = 8;
            break;
        case ELEMENT_SERIALIZED_DATA:
            return append(value, length);
        case ELEMENT_SEQUENCE_NUMBER_SET: {
            auto const* set = static_cast<SequenceNumberSet const*>(value);
            if (set->numBits > MAX_SET_BITS) {
                return false;
            }
            uint32_t total = wireSize(*set);
            if (static_cast<uint32_t>(m_length) + total > m_maxLength) {
                return false;
            }
            append(&set->bitmapBase, 8);
            append(&set->numBits, 4);
            return append(set->bitmap, total - 12);
        }
        case ELEMENT_FRAGMENT_NUMBER_SET: {
            auto const* set = static_cast<FragmentNumberSet const*>(value);
            if (set->numBits > MAX_SET_BITS) {
                return false;
            }
            uint32_t total = wireSize(*set);
            if (static_cast<uint32_t>(m_length) + total > m_maxLength) {
                return false;
            }
            append(&set->bitmapBase, 4);
            append(&set->numBits, 4);
            return append(set->bitmap, total - 8);
        }
        default:
            return false;
    }
    bool fixedKind = kind == ELEMENT_USHORT || kind == ELEMENT_ULONG || kind == ELEMENT_ENTITY_ID ||
                     kind == ELEMENT_SEQUENCE_NUMBER || kind == ELEMENT_FRAGMENT_NUMBER;
    if (fixedKind && m_fixedPos != 0) {
        return writeFixed(value, size);
    }
    return append(value, size);
}

bool SubMessage::addInlineQoSParameter(Parameter const* parameter) {
    if (isView() || parameter == nullptr || m_fixedPos == 0 || m_elementLength != 0) {
        return false;
    }
    if (parameter->length != 0 && parameter->value == nullptr) {
        return false;
    }
    // The first parameter adds its own sentinel; a later one takes the previous sentinel's place.
    uint16_t start = m_length;
    if (m_inlineQosLength != 0) {
        start = static_cast<uint16_t>(start - 4);
    }
    uint32_t end = static_cast<uint32_t>(start) + 4 + parameter->length + 4;
    if (end > m_maxLength) {
        return false;
    }
    uint8_t* p = m_own.get();
    putU16(start, parameter->parameterId);
    putU16(start + 2, parameter->length);
    if (parameter->length != 0) {
        std::memcpy(p + start + 4, parameter->value, parameter->length);
    }
    uint16_t sentinel = static_cast<uint16_t>(start + 4 + parameter->length);
    putU16(sentinel, PID_SENTINEL);
    putU16(sentinel + 2, 0);
    m_length = static_cast<uint16_t>(end);
    m_inlineQosLength = static_cast<uint16_t>(m_length - m_headerLength);
    return true;
}

void SubMessage::finalize() {
    if (!isView()) {
        putU16(2, static_cast<uint16_t>(m_length - SUBMESSAGE_HEADER_SIZE));
    }
}

void SubMessage::setTimestamp(int32_t sec, uint32_t nanosec) {
    m_hasTimestamp = true;
    m_timestampSec = sec;
    m_timestampNanosec = nanosec;
}

void SubMessage::clearTimestamp() {
    m_hasTimestamp = false;
    m_timestampSec = -1;
    m_timestampNanosec = 0xFFFFFFFFu;
}

}  // namespace RTPS
