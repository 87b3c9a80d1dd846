#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "rtps/dsvc/DSVCServerChannel.h"
#include "rtps/dsvc/DSVCTimings.h"
#include "rtps/wire/Guid.h"

namespace RTPS {

class DSVCSocket;
class Reader;

// The client end of the DSVC link: one per durable reader and server. init() opens a
// non-blocking connection; the thread that start() runs sends INIT (retried until the
// connection is made, up to the connect limit), reports CONNECTED, then frames what the server
// sends and hands SMPL (body after the tag and its length), PAUS and STOP to the reader's
// dsvcDataRecipient. Any end other than the reader's own stop() - STOP from the server, a
// close, an error, a length field no server builds, the connect limit - is reported to the
// reader as STOP, once.
//
// Shared-owned: the thread holds a reference while it runs, so whoever lets go first does not
// pull the object from under the other. Deliveries happen under the delivery mutex, which
// stop() takes too: after stop() no delivery starts, so the reader may go once it has
// stopped and joined its clients. Lock order: the delivery mutex before anything the reader
// takes in dsvcDataRecipient; the reader never calls stop() of one client from inside a
// delivery of another.
class DSVCClient : public DSVCServerChannel, public std::enable_shared_from_this<DSVCClient> {
public:
    // `port`: the base port plus the domain id.
    DSVCClient(Reader* reader, GUID_t const& readerGuid, uint16_t port,
               DSVCTimings const& timings = {});
    ~DSVCClient() override;

    DSVCClient(DSVCClient const&) = delete;
    DSVCClient& operator=(DSVCClient const&) = delete;

    // Opens the socket and begins to connect to the dotted address. False on any failure.
    bool init(std::string const& address);

    int socket() const override;
    bool start() override;
    void sendSTOP() override;
    void stop() override;
    void join() override;

    bool isConnected() const { return m_connected.load(); }

private:
    static void threadEntry(void* self);
    void serverProc();
    // Sends INIT once without waiting; true when it went out.
    bool sendINIT();
    // Runs the reader's dsvcDataRecipient unless stopped; false when stopped.
    bool deliver(uint64_t tag, void* body, unsigned length);
    // Waits up to ms for stop(); false when stopped.
    bool pause(int ms);
    void receive();

    Reader* const m_reader;
    const GUID_t m_guid;
    const uint16_t m_port;
    const DSVCTimings m_timings;
    std::shared_ptr<DSVCSocket> m_socket;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_running{false};
    pthread_t m_thread = 0;

    std::recursive_mutex m_deliveryMutex;

    std::mutex m_stateMutex;  // the two below; a leaf
    std::condition_variable m_stateChanged;
    bool m_stopRequested = false;
    bool m_threadEnded = false;
};

}  // namespace RTPS
