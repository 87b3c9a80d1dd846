#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/dsvc/DSVCTimings.h"

namespace RTPS {

class DSVCSocket;
class Participant;

// The listening end of the DSVC link in a durability-service participant: a TCP socket on all
// interfaces at the base port plus the participant's domain id (16-bit sum), a listener thread
// and one thread per accepted connection. A connection thread frames what its peer sends and
// hands the participant the first INIT of exactly 32 bytes and, once INIT was seen, STOP
// (dsvcDataRecipient). A connection ends on STOP, on a close or error, on a length field no
// peer builds, when no INIT came within the INIT wait, or at stop(); once INIT was seen the
// participant gets STOP for it, once.
//
// At most maxConnections connections are open at once, so a flood of connections cannot take a
// thread each. At the cap a new connection closes the oldest one that has not sent its INIT
// yet (an idle peer, not a reader), or, when every open connection belongs to a reader, is
// itself closed at once; either is logged.
//
// Threads: started by init() (listener) and by the listener (connections), all ended and
// joined by stop(), which shuts the sockets down so that nothing waits out a time-out. The
// participant's dsvcDataRecipient runs on the connection threads and must not call stop().
// The connection list mutex is a leaf.
class DSVCServer {
public:
    static constexpr size_t DEFAULT_MAX_CONNECTIONS = 64;

    DSVCServer(Participant* participant, uint16_t basePort, DSVCTimings const& timings = {},
               size_t maxConnections = DEFAULT_MAX_CONNECTIONS);
    ~DSVCServer();

    DSVCServer(DSVCServer const&) = delete;
    DSVCServer& operator=(DSVCServer const&) = delete;

    // Opens the socket (SO_REUSEADDR, so a restarted service binds at once), listens and
    // starts the listener. False for a base port below 1024 or any failure; nothing is left
    // open then.
    bool init();
    // Ends every thread of the server and closes the listening socket. Idempotent.
    void stop();

    // The port the server listens on.
    uint16_t getPort() const { return m_port; }
    // The socket of a live connection, by its descriptor; null when there is none. Holding it
    // keeps the descriptor open after the connection ends.
    std::shared_ptr<DSVCSocket> connection(int fd);

private:
    struct Connection {
        std::shared_ptr<DSVCSocket> socket;
        pthread_t thread = 0;
        bool ended = false;       // under m_mutex
        bool identified = false;  // INIT seen; under m_mutex
        bool evicted = false;     // shut down to make room; under m_mutex
    };
    struct ConnectionStart {
        DSVCServer* server;
        std::shared_ptr<Connection> connection;
    };

    static void listenerEntry(void* self);
    void listener();
    void accepted(int fd);
    static void connectionEntry(void* start);
    void clientProc(Connection& connection);
    // At the cap: shuts the oldest connection without INIT down; false when there is none.
    // Caller holds m_mutex.
    bool evictIdle();
    // Joins the connection threads that have ended and forgets them.
    void reapEnded();
    void closeSockets();

    Participant* const m_participant;
    const uint16_t m_basePort;
    const DSVCTimings m_timings;
    const size_t m_maxConnections;
    uint16_t m_port = 0;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1};  // stop() writes a byte to wake the listener
    std::atomic<bool> m_running{false};
    pthread_t m_listener = 0;

    std::mutex m_mutex;
    std::vector<std::shared_ptr<Connection>> m_connections;
};

}  // namespace RTPS
