#include "rtps/wire/DatagramWalker.h"

#include "rtps/wire/ByteCursor.h"
#include "rtps/wire/SubmessageKind.h"

namespace RTPS {

namespace {
constexpr size_t WALK_LIMIT = 65536;
}

DatagramWalker::DatagramWalker(uint8_t const* datagram, size_t length)
    : m_data(datagram),
      m_length(static_cast<uint32_t>(datagram == nullptr   ? 0
                                     : length < WALK_LIMIT ? length
                                                           : WALK_LIMIT)),
      m_offset(MESSAGE_HEADER_SIZE) {
    if (m_length < MESSAGE_HEADER_SIZE) {
        m_done = true;
        m_malformed = true;
    }
}

bool DatagramWalker::next(SubmessageSpan& out) {
    if (m_done) {
        return false;
    }
    uint32_t remaining = m_length - m_offset;
    if (remaining == 0) {
        m_done = true;
        return false;
    }
    ByteCursor c(m_data + m_offset, remaining);
    uint8_t kind = 0;
    uint8_t flags = 0;
    uint16_t octetsToNextHeader = 0;
    if (!c.readU8(kind) || !c.readU8(flags) || !c.readU16(octetsToNextHeader)) {
        m_done = true;
        m_malformed = true;
        return false;
    }
    uint32_t length =
        octetsToNextHeader == 0 ? remaining : uint32_t{octetsToNextHeader} + SUBMESSAGE_HEADER_SIZE;
    if (length > remaining) {
        m_done = true;
        m_malformed = true;
        return false;
    }
    out.kind = kind;
    out.flags = flags;
    out.data = m_data + m_offset;
    out.length = static_cast<uint16_t>(length);
    out.offset = m_offset;
    m_offset += length;
    if (octetsToNextHeader == 0) {
        m_done = true;
    }
    return true;
}

}  // namespace RTPS
