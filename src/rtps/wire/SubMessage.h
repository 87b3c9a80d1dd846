#pragma once

#include <cstdint>
#include <memory>

#include "rtps/wire/ByteCursor.h"
#include "rtps/wire/Parameter.h"
#include "rtps/wire/SubmessageElementKind.h"
#include "rtps/wire/SubmessageKind.h"
#include "rtps/wire/SubmessageSpan.h"
#include "rtps/io/TransportPriorityLevel.h"

namespace RTPS {

// One submessage: either being built in a 64 KiB buffer of its own (reused through
// SubMessagePool), or a view over received bytes that belong to someone else.
//
// Building: init, setFlags, the elements in wire order (for DATA and DATA_FRAG the fixed fields
// first), inline QoS parameters, then the appended elements, then finalize. Every value is
// written little-endian.
class SubMessage {
public:
    static constexpr uint32_t BUFFER_SIZE = 65536;

    // A builder with its own buffer.
    SubMessage();
    // A view over `length` received bytes, header included; nothing is copied. A view's
    // largest length is 0: nothing can be added to it.
    SubMessage(uint8_t const* data, uint16_t length);

    SubMessage(SubMessage const&) = delete;
    SubMessage& operator=(SubMessage const&) = delete;

    // Empties the builder for a new submessage of `kind` with flags E.
    void init(SubmessageKind kind, TransportPriorityLevel priority);
    // Replaces the whole flags byte (the caller includes E).
    void setFlags(uint8_t flags);

    // Writes one element. On DATA and DATA_FRAG, u16, u32, entity id, sequence number and
    // fragment number fill the next fixed field; everything else is appended. For the two set
    // kinds `value` is the full set record and `length` is not used; for serialized data
    // `length` is the byte count; the other kinds have fixed sizes. False, with nothing
    // changed, for a refused kind, a set of more than 256 bits, or a value that does not fit.
    bool addElement(SubmessageElementKind kind, void const* value, uint16_t length);

    // Appends one inline QoS parameter and a fresh sentinel (over the previous one). Only on
    // DATA and DATA_FRAG and before any element has been appended; false, with nothing
    // changed, otherwise or when it does not fit.
    bool addInlineQoSParameter(Parameter const* parameter);

    // octetsToNextHeader = length - 4.
    void finalize();

    uint8_t getKind() const { return m_length >= 1 ? m_data[0] : 0; }
    uint8_t getFlags() const { return m_length >= 2 ? m_data[1] : 0; }
    uint8_t const* getData() const { return m_data; }
    // Bytes used, header included.
    uint16_t getLength() const { return m_length; }
    uint16_t getMaxLength() const { return m_maxLength; }
    bool isView() const { return m_own == nullptr; }
    // 4, or the fixed part of DATA (24) and DATA_FRAG (36).
    uint16_t getHeaderLength() const { return m_headerLength; }
    uint16_t getInlineQosLength() const { return m_inlineQosLength; }
    uint16_t getElementStart() const { return m_headerLength + m_inlineQosLength; }
    uint16_t getElementLength() const { return m_elementLength; }
    TransportPriorityLevel getPriority() const { return m_priority; }

    // The time the composer announces with INFO_TS before this submessage.
    void setTimestamp(int32_t sec, uint32_t nanosec);
    void clearTimestamp();
    bool hasTimestamp() const { return m_hasTimestamp; }
    int32_t getTimestampSec() const { return m_timestampSec; }
    uint32_t getTimestampNanosec() const { return m_timestampNanosec; }

    // The bytes in use, for the decoders.
    SubmessageSpan span() const {
        return SubmessageSpan{getKind(), getFlags(), m_data, m_length, 0};
    }

    // Bounded reader over the bytes in use.
    ByteCursor cursor() const { return ByteCursor(m_data, m_length); }

private:
    bool writeFixed(void const* value, uint16_t size);
    bool append(void const* value, uint32_t size);
    void putU16(uint16_t offset, uint16_t v);

    std::unique_ptr<uint8_t[]> m_own;
    uint8_t const* m_data = nullptr;
    uint16_t m_length = 0;
    uint16_t m_maxLength = 0;
    uint16_t m_headerLength = 0;
    uint16_t m_fixedPos = 0;  // next fixed field of DATA/DATA_FRAG; 0 for other kinds
    uint16_t m_inlineQosLength = 0;
    uint16_t m_elementLength = 0;
    bool m_hasTimestamp = false;
    int32_t m_timestampSec = -1;
    uint32_t m_timestampNanosec = 0xFFFFFFFFu;
    TransportPriorityLevel m_priority = TRANSPORT_PRIORITY_LOW;
};

}  // namespace RTPS
