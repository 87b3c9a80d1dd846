#include "transport/RTPSReceiverImpl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
    // A waiting thread keeps its buffers: with a small pool it keeps one, so that every
    // receiver of the participant still finds one.
    m_batch = std::min(RECEIVE_BATCH, std::max(1u, m_pool->getCount() / POOL_SHARE));

    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_socket < 0) {
        return fail("socket", errno);
    }
    const int one = 1;
    const int size = config.getSocketBufferSize();
    // The select timeout stays the longest a receive call waits before the thread looks at
    // its flag again; the stop does not rely on it.
    timeval timeout{};
    timeout.tv_sec = std::max(1, config.getSelectTimeout());
    if (::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size) != 0 ||
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
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
    m_running = true;
    if (!m_thread.start(readThread, this, READ_THREAD_PRIORITY_OFFSET, kReadModule)) {
        m_running = false;
        return fail("thread", 0);
    }
    return true;
}

void RTPSReceiverImpl::requestStop() {
    m_running = false;
    if (m_socket >= 0) {
        // Ends a receive call that waits and makes every later one return at once, so the
        // thread cannot miss it. On an unconnected socket the call reports ENOTCONN but still
        // shuts the reading down.
        (void)::shutdown(m_socket, SHUT_RD);
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
    while (m_running && receiveAndReport()) {
    }
    transportLog(kReadModule, SEVERITY_DEBUG2, vexares::RTPS_MSG_READ_THREAD_ENDED,
                 unsigned{m_port});
}

bool RTPSReceiverImpl::receiveAndReport() {
    const unsigned size = m_pool->getBufferSize();
    TransportBuffer* buffers[RECEIVE_BATCH];
    TransportBuffer* unused[RECEIVE_BATCH];
    iovec vectors[RECEIVE_BATCH];
    mmsghdr messages[RECEIVE_BATCH];
    const unsigned taken = m_pool->getBuffers(buffers, m_batch);
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
    // Waits for the first datagram only; the others it takes are those already queued.
    // MSG_TRUNC gives a datagram's real length, so a cut datagram is recognised.
    const int received = ::recvmmsg(m_socket, messages, taken, MSG_WAITFORONE | MSG_TRUNC, nullptr);
    // After the stop a receive call returns at once, with nothing or an empty datagram.
    if (received <= 0 || !m_running) {
        m_pool->returnBuffers(buffers, taken);
        return m_running;
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
    return true;
}

}  // namespace RTPS
