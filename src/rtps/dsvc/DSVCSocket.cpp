#include "rtps/dsvc/DSVCSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace RTPS {

int waitForSocketActivity(int socket, int timeoutMs) {
    pollfd p{socket, POLLIN, 0};
    int const r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) {
        return 0;
    }
    return r;
}

DSVCSocket::~DSVCSocket() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool DSVCSocket::sendAll(void const* data, size_t size, int timeoutMs, char const** why) {
    return send(data, size, timeoutMs, true, why);
}

bool DSVCSocket::trySendAll(void const* data, size_t size, int timeoutMs, char const** why) {
    return send(data, size, timeoutMs, false, why);
}

bool DSVCSocket::send(void const* data, size_t size, int timeoutMs, bool mayWaitFirst,
                      char const** why) {
    using Clock = std::chrono::steady_clock;
    std::lock_guard<std::mutex> lock(m_sendMutex);
    bool started = false;
    char const* reason = nullptr;
    auto const* p = static_cast<uint8_t const*>(data);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size != 0 && reason == nullptr) {
        if (m_shut.load()) {
            reason = "соединение закрыто";
            break;
        }
        ssize_t const n = ::send(m_fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            started = true;
            p += n;
            size -= static_cast<size_t>(n);
            deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (!started && !mayWaitFirst) {
            return false;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            reason = "ошибка отправки";
            break;
        }
        auto const left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            reason = "получатель не принимает данные";
            break;
        }
        pollfd w{m_fd, POLLOUT, 0};
        if (::poll(&w, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            reason = "ошибка ожидания места в буфере";
        }
    }
    if (reason == nullptr) {
        return true;
    }
    if (why != nullptr) {
        *why = reason;
    }
    shutdown();
    return false;
}

void DSVCSocket::shutdown() {
    m_shut = true;
    ::shutdown(m_fd, SHUT_RDWR);
}

}  // namespace RTPS
