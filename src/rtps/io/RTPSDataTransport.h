#pragma once

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSReceiver.h"
#include "rtps/io/RTPSSender.h"
#include "rtps/io/TransportBuffer.h"
#include "rtps/io/TransportPriorityLevel.h"

namespace RTPS {

class Participant;

// The datagram transport of one participant (implemented by libtrellis).
class RTPSDataTransport {
public:
    virtual ~RTPSDataTransport() = default;

    // Reads trellis.cfg, builds the send and receive pools and starts the transport's threads.
    // False when there is no participant or a pool or thread cannot start; the transport must
    // then only be destroyed.
    virtual bool init() = 0;

    // The largest datagram the engine may compose (TRANSPORT.MAX_TR_DATA_SIZE).
    virtual int getMaxDataSize() = 0;

    // Opens (or finds, by port and address) the receive socket of a UDPv4 locator; a multicast
    // locator joins its group. Throws WrongLocator for a locator it cannot serve or a socket
    // that cannot be opened, bound or joined (nothing is kept then), GeneralAddingError before
    // a successful init.
    virtual RTPSReceiver* addReceiver(Locator_t* locator) = 0;

    // The sender for a destination; an existing one (same port and address) is returned with
    // the level it was created with. Throws WrongLocator for a locator it cannot serve,
    // GeneralAddingError before a successful init; null when the socket cannot be set up.
    virtual RTPSSender* addSender(Locator_t* locator, TransportPriorityLevel level) = 0;

    // Closes a sender the engine no longer uses and forgets it, dropping what it still has
    // queued; the pointer is not used afterwards. Null and unknown senders are ignored. A
    // transport that cannot remove senders keeps them.
    virtual void removeSender(RTPSSender* sender) { (void)sender; }

    // A free send buffer with length 0; waits while all are lent out. Null once the transport
    // is being destroyed (or before init).
    virtual TransportBuffer* getTransportBuffer() = 0;

    // Gives back a send buffer that will not be sent. Null, foreign or already returned
    // buffers are ignored.
    virtual void freeTransportBuffer(TransportBuffer* buffer) = 0;
};

// The entry of libtrellis: a transport bound to the participant; nothing opens before init.
// The caller owns the result.
RTPSDataTransport* getTransport(Participant* participant);

}  // namespace RTPS
