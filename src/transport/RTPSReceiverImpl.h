#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstdint>

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSReceiver.h"
#include "transport/TransportThread.h"

namespace RTPS {

class RTPSDataTransportImpl;
class TransportBufferPool;

// One bound UDP socket (joined to its group for a multicast locator) with a read thread that
// fills receive-pool buffers and reports them. The thread waits inside its receive call, which
// returns as soon as one datagram is there and takes the others already queued with it (up to
// its batch), so a lone datagram costs one system call and a burst is reported together, in
// arrival order. The batch is RECEIVE_BATCH, less with a small pool: a waiting thread keeps its
// buffers, so the pool needs more buffers than there are receivers.
class RTPSReceiverImpl : public RTPSReceiver {
public:
    // Datagrams one receive call takes at most.
    static constexpr unsigned RECEIVE_BATCH = 8;
    // A read thread takes at most this share of the pool for one receive call.
    static constexpr unsigned POOL_SHARE = 64;

    RTPSReceiverImpl(const Locator_t* locator, TransportBufferPool* pool,
                     RTPSDataTransportImpl* transport);
    // Stops and joins the read thread if that has not been done, then closes the socket.
    ~RTPSReceiverImpl() override;
    RTPSReceiverImpl(const RTPSReceiverImpl&) = delete;
    RTPSReceiverImpl& operator=(const RTPSReceiverImpl&) = delete;

    // Opens, binds and (multicast) joins the socket and starts the read thread. A failure is
    // logged with the step that failed and gives false.
    bool init();

    // Tells the read thread to end and wakes it out of its receive call (by shutting the
    // socket's reading down). A read thread waiting for a free buffer ends once the pool is
    // stopped.
    void requestStop();
    // Waits for the read thread to end.
    void join();

    bool isLocator(uint32_t port, uint32_t address) const {
        return port == m_port && address == m_address;
    }
    int getSocket() const { return m_socket; }

private:
    static void readThread(void* self);
    void readLoop();
    // Waits for datagrams and reports them; false when the thread is to end.
    bool receiveAndReport();
    bool fail(const char* step, int error);

    int32_t m_kind;
    uint32_t m_port;
    uint32_t m_address;  // network order
    char m_addressText[16];
    TransportBufferPool* const m_pool;
    RTPSDataTransportImpl* const m_transport;
    unsigned m_batch = 1;  // datagrams one receive call takes at most
    int m_socket = -1;
    std::atomic<bool> m_running{false};
    TransportThread m_thread;
};

}  // namespace RTPS
