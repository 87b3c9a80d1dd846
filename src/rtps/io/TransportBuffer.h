#pragma once

#include <cstdint>

namespace RTPS {

// One datagram's bytes. Send buffers come from RTPSDataTransport::getTransportBuffer (capacity
// 65536 bytes, at least getMaxDataSize); receive buffers are only lent to
// Participant::dataRecipient for the duration of the call.
struct TransportBuffer {
    uint8_t* data;
    uint16_t length;
};

}  // namespace RTPS
