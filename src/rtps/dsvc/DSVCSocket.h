#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

namespace RTPS {

// Waits up to timeoutMs for the socket to become readable (or to report an error or a close,
// which a read then shows): positive when it did, 0 at the time-out, negative on an error of
// the wait itself. poll() rather than select(), so any descriptor number is fine.
int waitForSocketActivity(int socket, int timeoutMs);

// A connected TCP socket of the DSVC link, owned: closed when the object goes. It is shared
// (std::shared_ptr) by everything that may send on it, so the descriptor cannot be closed and
// its number reused while a send is still on its way.
//
// sendAll puts a whole message out or none of it counts: it loops over partial sends and waits
// for room at most `timeoutMs` without progress; a send that fails or stalls shuts the socket
// down, so that its reader thread sees the end and reports it. Sends of different threads do
// not interleave (send mutex, a leaf). No send raises SIGPIPE.
class DSVCSocket {
public:
    explicit DSVCSocket(int fd) : m_fd(fd) {}
    ~DSVCSocket();

    DSVCSocket(DSVCSocket const&) = delete;
    DSVCSocket& operator=(DSVCSocket const&) = delete;

    int fd() const { return m_fd; }

    // False when the message did not go out whole; the socket is then shut down and `why`
    // (when not null) names the reason.
    bool sendAll(void const* data, size_t size, int timeoutMs, char const** why = nullptr);
    // As sendAll once the first bytes have gone out; when not even they can go (a connection
    // still being made), false and nothing else happens, so the caller may try again.
    bool trySendAll(void const* data, size_t size, int timeoutMs, char const** why = nullptr);
    // Ends both directions: a thread waiting to read wakes and sees the end.
    void shutdown();
    bool isShutDown() const { return m_shut.load(); }

private:
    bool send(void const* data, size_t size, int timeoutMs, bool mayWaitFirst, char const** why);

    const int m_fd;
    std::mutex m_sendMutex;
    std::atomic<bool> m_shut{false};
};

}  // namespace RTPS
