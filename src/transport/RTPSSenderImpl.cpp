#include "transport/RTPSSenderImpl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/os/OsTime.h"
#include "rtps/io/TransportErrors.h"
#include "transport/LocatorAddress.h"
#include "transport/RTPSDataTransportImpl.h"
#include "transport/TransportLog.h"

namespace RTPS {

namespace {
constexpr unsigned char MULTICAST_TTL = 8;
}

RTPSSenderImpl::RTPSSenderImpl(const Locator_t* locator, RTPSDataTransportImpl* transport,
                               TransportPriorityLevel level)
    : m_kind(locator != nullptr ? locator->kind : LOCATOR_KIND_INVALID),
      m_port(locator != nullptr ? locator->port : 0),
      m_address(locator != nullptr ? locatorAddress(*locator) : 0),
      m_transport(transport),
      m_highPriority(level == TRANSPORT_PRIORITY_HIGH) {
    addressText(m_address, m_addressText);
}

RTPSSenderImpl::~RTPSSenderImpl() {
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    for (Queue* queue : {&m_high, &m_low}) {
        // Taken out first: a queue's mutex is never held with the send pool's.
        std::deque<TransportBuffer*> queued;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queued.swap(queue->buffers);
            m_transport->buffersTaken(static_cast<unsigned>(queued.size()));
        }
        for (TransportBuffer* buffer : queued) {
            m_transport->freeTransportBuffer(buffer);
        }
    }
}

bool RTPSSenderImpl::init() {
    if (m_kind != LOCATOR_KIND_UDPv4 || m_port == 0 || m_port > 65535 || m_address == 0 ||
        m_socket >= 0) {
        return false;
    }
    const TransportConfig& config = m_transport->getConfig();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return false;
    }
    const int one = 1;
    const int size = config.getSocketBufferSize();
    bool ok = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
              ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size) == 0;
    if (ok && isMulticast(m_address)) {
        const unsigned char ttl = MULTICAST_TTL;
        const in_addr interface = config.getMulticastInterfaceAddress();
        if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
            ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface) != 0) {
            const int error = errno;
            const uint8_t* octets = reinterpret_cast<const uint8_t*>(&m_address);
            transportLog("RTPSSenderImpl::init", SEVERITY_ERROR,
                         vexares::RTPS_MSG_MULTICAST_OPTION_FAILED, unsigned{octets[0]},
                         unsigned{octets[1]}, unsigned{octets[2]}, unsigned{octets[3]},
                         unsigned{m_port}, config.getMulticastInterface(), error);
            ok = false;
        }
    }
    if (ok) {
        sockaddr_in destination{};
        destination.sin_family = AF_INET;
        destination.sin_port = htons(static_cast<uint16_t>(m_port));
        destination.sin_addr.s_addr = m_address;
        ok =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) == 0;
    }
    if (!ok) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    return true;
}

bool RTPSSenderImpl::sendData(TransportBuffer* buffer, TransportPriorityLevel level) {
    if (buffer == nullptr || buffer->data == nullptr || buffer->length == 0) {
        throw WrongData();
    }
    const bool high = m_highPriority || level != TRANSPORT_PRIORITY_LOW;
    if (m_transport->sendIfIdle(
            *this, buffer,
            high ? vexares::RTPS_MSG_DATAGRAM_SENT_HIGH : vexares::RTPS_MSG_DATAGRAM_SENT_LOW)) {
        return true;
    }
    Queue& queue = high ? m_high : m_low;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        // Counted before it can be seen: from here on no send may go around the queue.
        m_transport->buffersQueued(1);
        queue.buffers.push_back(buffer);
    }
    // With the senders free this thread makes the pass itself, older buffers first, rather
    // than wake the dispatcher for it.
    if (!m_transport->sendQueuedIfFree()) {
        m_transport->readyToSend(high ? TRANSPORT_PRIORITY_HIGH : TRANSPORT_PRIORITY_LOW);
    }
    return true;
}

bool RTPSSenderImpl::sendHP(unsigned n, unsigned* sent) {
    return send(m_high, n, vexares::RTPS_MSG_DATAGRAM_SENT_HIGH, sent);
}

bool RTPSSenderImpl::sendLP(unsigned n, unsigned* sent) {
    return send(m_low, n, vexares::RTPS_MSG_DATAGRAM_SENT_LOW, sent);
}

bool RTPSSenderImpl::send(Queue& queue, unsigned n, unsigned messageId, unsigned* sentOut) {
    for (unsigned sent = 0;;) {
        TransportBuffer* buffer;
        bool more;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.buffers.empty()) {
                return false;
            }
            buffer = queue.buffers.front();
            queue.buffers.pop_front();
            more = !queue.buffers.empty();
            // The dispatcher holds the senders' mutex until the pass ends, so nobody sends
            // around this buffer before it is out.
            m_transport->buffersTaken(1);
        }
        sendBuffer(buffer, messageId);
        if (sentOut != nullptr) {
            ++*sentOut;
        }
        if (n != 0 && ++sent >= n) {
            return more;
        }
    }
}

void RTPSSenderImpl::sendBuffer(TransportBuffer* buffer, unsigned messageId) {
    const long long result = transmit(buffer);
    if (transportLogs(SEVERITY_DEBUG2)) {
        // Both levels log under one module name.
        transportLog("RTPSSenderImpl::sendLP", SEVERITY_DEBUG2, messageId, unsigned{buffer->length},
                     static_cast<const char*>(m_addressText), unsigned{m_port}, result,
                     static_cast<unsigned long long>(vexa::OsGetTimeCountMks()));
    }
    m_transport->freeTransportBuffer(buffer);
}

long long RTPSSenderImpl::transmit(const TransportBuffer* buffer) {
    bool retried = false;
    for (;;) {
        const ssize_t result = ::send(m_socket, buffer->data, buffer->length, MSG_NOSIGNAL);
        if (result >= 0) {
            return result;
        }
        const int error = errno;
        // An ICMP error from an earlier datagram is reported by this call, which then sends
        // nothing; the error is cleared, so the datagram is tried once more.
        if (error == EINTR || (!retried && (error == ECONNREFUSED || error == EHOSTUNREACH ||
                                            error == ENETUNREACH))) {
            retried = retried || error != EINTR;
            continue;
        }
        return -static_cast<long long>(error);
    }
}

}  // namespace RTPS
