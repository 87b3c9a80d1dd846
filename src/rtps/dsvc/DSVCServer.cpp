#include "rtps/dsvc/DSVCServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/dsvc/DSVCFrameDecoder.h"
#include "rtps/dsvc/DSVCSocket.h"
#include "rtps/participant/Participant.h"

namespace RTPS {

namespace {

constexpr int BACKLOG = 8;
constexpr int DSVC_PRIORITY_OFFSET = 0;
constexpr size_t READ_CHUNK = 4096;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

DSVCServer::DSVCServer(Participant* participant, uint16_t basePort, DSVCTimings const& timings,
                       size_t maxConnections)
    : m_participant(participant),
      m_basePort(basePort),
      m_timings(timings),
      m_maxConnections(std::max<size_t>(maxConnections, 1)) {}

DSVCServer::~DSVCServer() {
    stop();
}

bool DSVCServer::init() {
    if (m_basePort < 1024 || m_participant == nullptr || m_listenFd >= 0) {
        return false;
    }
    m_port = static_cast<uint16_t>(m_basePort + m_participant->getDomainID());
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listenFd < 0) {
        return false;
    }
    int const one = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(m_port);
    if (::fcntl(m_listenFd, F_SETFL, ::fcntl(m_listenFd, F_GETFL) | O_NONBLOCK) != 0 ||
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, BACKLOG) != 0 || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        closeSockets();
        return false;
    }
    m_running = true;
    char error[256] = {};
    m_listener = vexa::OsStartNewThread(&DSVCServer::listenerEntry, this, DSVC_PRIORITY_OFFSET, 0,
                                        error, sizeof error);
    if (m_listener == 0) {
        m_running = false;
        logger().logMessage("DSVCServer::init", vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, "DSVC",
                            "приёма подключений DSVC", error);
        closeSockets();
        return false;
    }
    return true;
}

void DSVCServer::closeSockets() {
    for (int* fd : {&m_listenFd, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void DSVCServer::stop() {
    m_running = false;
    if (m_listener != 0) {
        char const byte = 1;
        ssize_t const w = ::write(m_wake[1], &byte, 1);
        (void)w;
        vexa::OsWaitThreadTermination(m_listener);
        m_listener = 0;
    }
    // The listener is gone, so the list only shrinks from here.
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections = m_connections;
    }
    for (auto& c : connections) {
        c->socket->shutdown();
    }
    for (auto& c : connections) {
        vexa::OsWaitThreadTermination(c->thread);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.clear();
    }
    closeSockets();
}

std::shared_ptr<DSVCSocket> DSVCServer::connection(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& c : m_connections) {
        if (c->socket->fd() == fd && !c->ended) {
            return c->socket;
        }
    }
    return nullptr;
}

void DSVCServer::listenerEntry(void* self) {
    static_cast<DSVCServer*>(self)->listener();
}

void DSVCServer::listener() {
    logger().logMessage("DSVCServer::listener", vexalog::Logger::SEV_CONFIG,
                        vexares::RTPS_MSG_DSVC_LISTENING, unsigned{m_basePort});
    while (m_running.load()) {
        pollfd p[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        int const r = ::poll(p, 2, m_timings.waitSliceMs);
        reapEnded();
        if (!m_running.load()) {
            break;
        }
        if (r <= 0 || (p[0].revents & POLLIN) == 0) {
            continue;
        }
        int const fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            accepted(fd);
        }
    }
}

bool DSVCServer::evictIdle() {
    for (auto& c : m_connections) {
        if (!c->ended && !c->evicted && !c->identified) {
            c->evicted = true;
            logger().logMessage("DSVCServer::listener", vexalog::Logger::SEV_WARNING,
                                vexares::RTPS_MSG_DSVC_IDLE_CONNECTION_CLOSED, c->socket->fd(),
                                static_cast<unsigned>(m_maxConnections));
            // Its thread sees the end of input and leaves; the listener reaps it.
            c->socket->shutdown();
            return true;
        }
    }
    return false;
}

void DSVCServer::accepted(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t open = 0;
    for (auto const& c : m_connections) {
        open += (c->ended || c->evicted) ? 0 : 1;
    }
    if (open >= m_maxConnections && !evictIdle()) {
        logger().logMessage("DSVCServer::listener", vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_DSVC_CONNECTION_REFUSED, fd,
                            static_cast<unsigned>(m_maxConnections));
        ::close(fd);
        return;
    }
    auto connection = std::make_shared<Connection>();
    connection->socket = std::make_shared<DSVCSocket>(fd);
    auto* start = new ConnectionStart{this, connection};
    char error[256] = {};
    pthread_t const thread = vexa::OsStartNewThread(&DSVCServer::connectionEntry, start,
                                                    DSVC_PRIORITY_OFFSET, 0, error, sizeof error);
    if (thread == 0) {
        delete start;
        logger().logMessage("DSVCServer::listener", vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, "DSVC",
                            "соединения DSVC", error);
        return;
    }
    connection->thread = thread;
    m_connections.push_back(std::move(connection));
}

void DSVCServer::reapEnded() {
    std::vector<std::shared_ptr<Connection>> ended;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::stable_partition(m_connections.begin(), m_connections.end(),
                                        [](auto const& c) { return !c->ended; });
        ended.assign(it, m_connections.end());
        m_connections.erase(it, m_connections.end());
    }
    for (auto& c : ended) {
        vexa::OsWaitThreadTermination(c->thread);
    }
}

void DSVCServer::connectionEntry(void* arg) {
    std::unique_ptr<ConnectionStart> start(static_cast<ConnectionStart*>(arg));
    start->server->clientProc(*start->connection);
    // The peer sees the end now; the descriptor closes once nobody holds the socket.
    start->connection->socket->shutdown();
    std::lock_guard<std::mutex> lock(start->server->m_mutex);
    start->connection->ended = true;
}

void DSVCServer::clientProc(Connection& connection) {
    int const fd = connection.socket->fd();
    // Only INIT needs its body here; longer messages are read past.
    DSVCFrameDecoder decoder(DSVC_MAX_MESSAGE_SIZE, DSVC_INIT_SIZE);
    std::vector<uint8_t> chunk(READ_CHUNK);
    bool initSeen = false;
    int64_t const initDeadline = nowMs() + m_timings.initWaitMs;
    char const* why = nullptr;
    while (m_running.load() && why == nullptr) {
        int timeout = m_timings.waitSliceMs;
        if (!initSeen) {
            int64_t const left = initDeadline - nowMs();
            if (left <= 0) {
                return;  // never identified itself: nothing to report
            }
            timeout = static_cast<int>(std::min<int64_t>(timeout, left));
        }
        int const r = waitForSocketActivity(fd, timeout);
        if (r < 0) {
            why = "ожидание данных не выполнено";
            break;
        }
        if (r == 0) {
            continue;
        }
        ssize_t const n = ::recv(fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n == 0) {
            why = "соединение закрыто клиентом";
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            why = "ошибка приёма";
            break;
        }
        size_t offset = 0;
        while (offset < static_cast<size_t>(n) && why == nullptr) {
            offset += decoder.consume(chunk.data() + offset, static_cast<size_t>(n) - offset);
            if (decoder.failed()) {
                why = decoder.failure();
                logger().logMessage("DSVCServer::clientProc", vexalog::Logger::SEV_WARNING,
                                    vexares::RTPS_MSG_DSVC_CONNECTION_CLOSED, fd, why);
                break;
            }
            if (!decoder.hasFrame()) {
                continue;
            }
            DSVCFrame frame = decoder.take();
            if (frame.tag == DSVC_TAG_INIT && !initSeen && frame.length == DSVC_INIT_SIZE) {
                initSeen = true;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    if (connection.evicted) {
                        return;  // closed for a newer one before it spoke: nothing to report
                    }
                    connection.identified = true;
                }
                m_participant->dsvcDataRecipient(fd, DSVC_TAG_INIT, frame.body.data());
            } else if (frame.tag == DSVC_TAG_STOP) {
                if (initSeen) {
                    m_participant->dsvcDataRecipient(fd, DSVC_TAG_STOP, nullptr);
                }
                return;
            }
        }
    }
    if (initSeen) {
        m_participant->dsvcDataRecipient(fd, DSVC_TAG_STOP, nullptr);
    }
}

}  // namespace RTPS
