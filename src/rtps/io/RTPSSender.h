#pragma once

#include "rtps/io/TransportBuffer.h"
#include "rtps/io/TransportPriorityLevel.h"

namespace RTPS {

// One destination of the transport. The transport owns it; the engine keeps the pointer until
// the transport is destroyed.
class RTPSSender {
public:
    virtual ~RTPSSender() = default;

    // Queues a buffer taken from RTPSDataTransport::getTransportBuffer and filled with
    // `length` bytes; from then on the buffer belongs to the transport, which sends it and
    // returns it to the pool. A sender created with TRANSPORT_PRIORITY_HIGH queues every buffer
    // as high priority. Throws WrongData for a null buffer, null data or length 0. True.
    virtual bool sendData(TransportBuffer* buffer, TransportPriorityLevel level) = 0;
};

}  // namespace RTPS
