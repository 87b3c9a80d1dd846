#pragma once

#include <cstddef>
#include <cstdint>

#include "rtps/wire/SubmessageSpan.h"

namespace RTPS {

// Steps through the submessages behind the 20-byte message header. A submessage whose
// octetsToNextHeader is 0 runs to the end of the datagram and is the last one. The walk stops
// when fewer than 4 bytes remain for a header, or at a length that runs past the datagram
// (malformed(): the rest is dropped). Only the first 65536 bytes are ever looked at.
class DatagramWalker {
public:
    DatagramWalker(uint8_t const* datagram, size_t length);

    // The next submessage, or false at the end.
    bool next(SubmessageSpan& out);

    // Whether the walk ended on bytes that do not form a submessage.
    bool malformed() const { return m_malformed; }

private:
    uint8_t const* m_data;
    uint32_t m_length;
    uint32_t m_offset;
    bool m_done = false;
    bool m_malformed = false;
};

}  // namespace RTPS
