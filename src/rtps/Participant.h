#pragma once

namespace RTPS {

// The engine's participant as the transport sees it.
class Participant {
public:
    virtual ~Participant() = default;

    // One received datagram. Called on the transport's single report thread, one datagram at a
    // time, oldest first; `data` is valid during the call only. Must not destroy the transport.
    virtual void dataRecipient(void* data, unsigned short length) = 0;
};

}  // namespace RTPS
