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

// One bound, non-blocking UDP socket (joined to its group for a multicast locator) with a read
// thread that fills receive-pool buffers and reports them. After each wait it reads one
// datagram, so a lone one is handed over at once; when more are queued it takes up to
// RECEIVE_BATCH per system call and reports them together, in arrival order.
class RTPSReceiverImpl : public RTPSReceiver {
public:
    // Datagrams one receive call takes at most.
    static constexpr unsigned RECEIVE_BATCH = 8;

    RTPSReceiverImpl(const Locator_t* locator, TransportBufferPool* pool,
                     RTPSDataTransportImpl* transport);
    // Stops and joins the read thread if that has not been done, then closes the socket.
    ~RTPSReceiverImpl() override;
    RTPSReceiverImpl(const RTPSReceiverImpl&) = delete;
    RTPSReceiverImpl& operator=(const RTPSReceiverImpl&) = delete;

    // Opens, binds and (multicast) joins the socket and starts the read thread. A failure is
    // logged with the step that failed and gives false.
    bool init();

    // Tells the read thread to end and wakes it out of its wait for the socket. A read thread
    // waiting for a free buffer ends once the pool is stopped.
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
    // Reads until a receive call leaves the socket empty; false when the pool has stopped.
    bool drainSocket();
    // Receives up to count queued datagrams into the messages' buffers without waiting: the
    // number received with their lengths in msg_len, or -1 with errno.
    int receive(mmsghdr* messages, unsigned count);
    bool fail(const char* step, int error);

    int32_t m_kind;
    uint32_t m_port;
    uint32_t m_address;  // network order
    char m_addressText[16];
    TransportBufferPool* const m_pool;
    RTPSDataTransportImpl* const m_transport;
    int m_selectTimeoutMs = 5000;
    int m_socket = -1;
    int m_wake = -1;  // eventfd that ends the read thread's wait
    std::atomic<bool> m_running{false};
    TransportThread m_thread;
};

}  // namespace RTPS
