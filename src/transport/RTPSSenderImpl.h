#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSSender.h"

namespace RTPS {

class RTPSDataTransportImpl;

// One destination: a connected UDP socket with a high- and a low-priority queue. An engine
// thread sends itself when the transport is idle (RTPSDataTransportImpl::sendIfIdle); otherwise
// it queues, and empties the queues itself when the senders are free
// (RTPSDataTransportImpl::sendQueuedIfFree), else the transport's dispatcher does.
class RTPSSenderImpl : public RTPSSender {
public:
    // locator null gives an invalid destination (init fails).
    RTPSSenderImpl(const Locator_t* locator, RTPSDataTransportImpl* transport,
                   TransportPriorityLevel level);
    // Closes the socket and gives the buffers still queued back to the send pool.
    ~RTPSSenderImpl() override;
    RTPSSenderImpl(const RTPSSenderImpl&) = delete;
    RTPSSenderImpl& operator=(const RTPSSenderImpl&) = delete;

    // Opens and connects the socket; a multicast destination gets TTL 8 and the configured
    // interface. False on any failure.
    bool init();

    bool sendData(TransportBuffer* buffer, TransportPriorityLevel level) override;

    // With the transport's senders' mutex held: send up to n datagrams of a queue (n = 0: all
    // of them), adding to *sent how many went. True while the queue still holds buffers.
    bool sendHP(unsigned n, unsigned* sent = nullptr);
    bool sendLP(unsigned n, unsigned* sent = nullptr);
    // Sends one buffer now, logs it under messageId and gives it back to the send pool. Only
    // with the transport's senders' mutex held.
    void sendBuffer(TransportBuffer* buffer, unsigned messageId);

    bool isDestination(uint32_t port, uint32_t address) const {
        return port == m_port && address == m_address;
    }
    TransportPriorityLevel getLevel() const {
        return m_highPriority ? TRANSPORT_PRIORITY_HIGH : TRANSPORT_PRIORITY_LOW;
    }
    int getSocket() const { return m_socket; }

private:
    struct Queue {
        std::mutex mutex;
        std::deque<TransportBuffer*> buffers;
    };

    bool send(Queue& queue, unsigned n, unsigned messageId, unsigned* sent);
    long long transmit(const TransportBuffer* buffer);

    int32_t m_kind;
    uint32_t m_port;
    uint32_t m_address;  // network order
    char m_addressText[16];
    RTPSDataTransportImpl* const m_transport;
    const bool m_highPriority;
    Queue m_high;
    Queue m_low;
    int m_socket = -1;
};

}  // namespace RTPS
