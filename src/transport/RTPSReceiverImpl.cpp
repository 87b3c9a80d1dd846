#include "transport/RTPSReceiverImpl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/os/OsTime.h"
#include "transport/LocatorAddress.h"
#include "transport/RTPSDataTransportImpl.h"
#include "transport/TransportBufferPool.h"
#include "transport/TransportLog.h"

namespace RTPS {

namespace {
constexpr int READ_THREAD_PRIORITY_OFFSET = 2;
constexpr const char* kReadModule = "RTPSReceiverImpl::readWorker";
}  // namespace

RTPSReceiverImpl::RTPSReceiverImpl(const Locator_t* locator, TransportBufferPool* pool,
                                   RTPSDataTransportImpl* transport)
    : m_kind(locator != nullptr ? locator->kind : LOCATOR_KIND_INVALID),
      m_port(locator != nullptr ? locator->port : 0),
      m_address(locator != nullptr ? locatorAddress(*locator) : 0),
      m_pool(pool),
      m_transport(transport) {
    addressText(m_address, m_addressText);
}

RTPSReceiverImpl::~RTPSReceiverImpl() {
    requestStop();
    join();
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    if (m_wake >= 0) {
        ::close(m_wake);
    }
}

bool RTPSReceiverImpl::fail(const char* step, int error) {
    transportLog("RTPSReceiverImpl::init", SEVERITY_ERROR, vexares::RTPS_MSG_RECEIVER_FAILED,
                 static_cast<const char*>(m_addressText), unsigned{m_port}, step, error);
    return false;
}

bool RTPSReceiverImpl::init() {
    if (m_kind != LOCATOR_KIND_UDPv4 || m_port == 0 || m_port > 65535 || m_address == 0 ||
        m_pool == nullptr || m_transport == nullptr) {
        return fail("locator", 0);
    }
    if (m_socket >= 0) {
        return false;
    }
    const TransportConfig& config = m_transport->getConfig();
    m_selectTimeoutMs = config.getSelectTimeout() * 1000;

    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_socket < 0) {
        return fail("socket", errno);
    }
    const int one = 1;
    const int size = config.getSocketBufferSize();
    if (::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size) != 0) {
        return fail("setsockopt", errno);
    }
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_port = htons(static_cast<uint16_t>(m_port));
    own.sin_addr.s_addr = m_address;
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0) {
        return fail("bind", errno);
    }
    if (isMulticast(m_address)) {
        ip_mreq membership{};
        membership.imr_multiaddr.s_addr = m_address;
        membership.imr_interface = config.getMulticastInterfaceAddress();
        if (::setsockopt(m_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) !=
            0) {
            return fail("IP_ADD_MEMBERSHIP", errno);
        }
    }
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0) {
        return fail("eventfd", errno);
    }
    m_running = true;
    if (!m_thread.start(readThread, this, READ_THREAD_PRIORITY_OFFSET, kReadModule)) {
        m_running = false;
        return fail("thread", 0);
    }
    return true;
}

void RTPSReceiverImpl::requestStop() {
    m_running = false;
    if (m_wake >= 0) {
        const uint64_t one = 1;
        // Stays readable until closed, so the thread cannot miss it.
        ssize_t written = ::write(m_wake, &one, sizeof one);
        (void)written;
    }
}

void RTPSReceiverImpl::join() {
    m_thread.join();
}

void RTPSReceiverImpl::readThread(void* self) {
    static_cast<RTPSReceiverImpl*>(self)->readLoop();
}

void RTPSReceiverImpl::readLoop() {
    transportLog(kReadModule, SEVERITY_DEBUG2, vexares::RTPS_MSG_READ_THREAD_STARTED,
                 unsigned{m_port});
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
    while (m_running) {
        fds[0].revents = fds[1].revents = 0;
        const int ready = ::poll(fds, 2, m_selectTimeoutMs);
        if (ready <= 0 || !m_running) {
            continue;
        }
        if (fds[0].revents != 0 && !drainSocket()) {
            break;
        }
    }
    transportLog(kReadModule, SEVERITY_DEBUG2, vexares::RTPS_MSG_READ_THREAD_ENDED,
                 unsigned{m_port});
}

int RTPSReceiverImpl::receive(mmsghdr* messages, unsigned count) {
    // MSG_TRUNC gives a datagram's real length, so a cut datagram is recognised.
    if (count != 1) {
        return ::recvmmsg(m_socket, messages, count, MSG_TRUNC, nullptr);
    }
    // One datagram: the plain call costs less than the vector one.
    const iovec& vector = messages[0].msg_hdr.msg_iov[0];
    const ssize_t length = ::recv(m_socket, vector.iov_base, vector.iov_len, MSG_TRUNC);
    if (length < 0) {
        return -1;
    }
    messages[0].msg_len = static_cast<unsigned>(length);
    return 1;
}

bool RTPSReceiverImpl::drainSocket() {
    const unsigned size = m_pool->getBufferSize();
    TransportBuffer* buffers[RECEIVE_BATCH];
    TransportBuffer* unused[RECEIVE_BATCH];
    iovec vectors[RECEIVE_BATCH];
    mmsghdr messages[RECEIVE_BATCH];
    // The first call after the wait takes one datagram, so a lone datagram is handed over
    // before anything looks for a second; a full call means more may wait, and the next ones
    // take whole batches.
    unsigned wanted = 1;
    while (m_running) {
        const unsigned taken = m_pool->getBuffers(buffers, wanted);
        if (taken == 0) {
            return false;
        }
        for (unsigned i = 0; i < taken; ++i) {
            vectors[i].iov_base = buffers[i]->data;
            vectors[i].iov_len = size;
            messages[i] = mmsghdr{};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int received = receive(messages, taken);
        if (received <= 0) {
            m_pool->returnBuffers(buffers, taken);
            if (received < 0 && errno == EINTR) {
                continue;
            }
            return true;
        }
        unsigned kept = 0;
        unsigned dropped = 0;
        for (unsigned i = 0; i < taken; ++i) {
            const size_t length = messages[i].msg_len;
            if (i >= static_cast<unsigned>(received)) {
                unused[dropped++] = buffers[i];
            } else if (length > size) {
                unused[dropped++] = buffers[i];
                transportLog(kReadModule, SEVERITY_WARNING, vexares::RTPS_MSG_DATAGRAM_TRUNCATED,
                             static_cast<long long>(length), size, unsigned{m_port});
            } else {
                if (transportLogs(SEVERITY_DEBUG2)) {
                    transportLog(kReadModule, SEVERITY_DEBUG2, vexares::RTPS_MSG_DATAGRAM_RECEIVED,
                                 static_cast<unsigned>(length), unsigned{m_port},
                                 static_cast<unsigned long long>(vexa::OsGetTimeCountMks()));
                }
                buffers[i]->length = static_cast<uint16_t>(length);
                buffers[kept++] = buffers[i];
            }
        }
        m_pool->returnBuffers(unused, dropped);
        m_pool->reportBuffers(buffers, kept);
        // A call that was not filled emptied the socket: the next look is the wait, which
        // comes back at once if more arrived while these were delivered.
        if (static_cast<unsigned>(received) < taken) {
            return true;
        }
        wanted = RECEIVE_BATCH;
    }
    return true;
}

}  // namespace RTPS
