#pragma once

#include <cstdint>

namespace RTPS {

// One received submessage; `data` points at its header and `length` covers the header too.
// The bytes belong to the datagram.
struct SubmessageSpan {
    uint8_t kind;
    uint8_t flags;
    uint8_t const* data;
    uint16_t length;
    uint32_t offset;  // from the datagram's first byte
};

}  // namespace RTPS
