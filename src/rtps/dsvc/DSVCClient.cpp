#include "rtps/dsvc/DSVCClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/dsvc/DSVCFrameDecoder.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/DSVCSocket.h"
#include "rtps/reader/Reader.h"

namespace RTPS {

namespace {

constexpr int DSVC_PRIORITY_OFFSET = 0;
constexpr size_t READ_CHUNK = 64 * 1024;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

}  // namespace

DSVCClient::DSVCClient(Reader* reader, GUID_t const& readerGuid, uint16_t port,
                       DSVCTimings const& timings)
    : m_reader(reader), m_guid(readerGuid), m_port(port), m_timings(timings) {}

DSVCClient::~DSVCClient() {
    // Reached with the thread still listed only when nobody joined it: either the thread
    // itself let go of the last reference, or it has ended already.
    if (m_thread != 0) {
        if (pthread_equal(m_thread, pthread_self())) {
            pthread_detach(m_thread);
        } else {
            vexa::OsWaitThreadTermination(m_thread);
        }
    }
}

bool DSVCClient::init(std::string const& address) {
    if (m_socket) {
        return false;
    }
    in_addr ip{};
    if (inet_aton(address.c_str(), &ip) == 0) {
        return false;
    }
    int const fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return false;
    }
    auto socket = std::make_shared<DSVCSocket>(fd);
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        return false;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr = ip;
    server.sin_port = htons(m_port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 &&
        errno != EINPROGRESS) {
        return false;
    }
    m_socket = std::move(socket);
    return true;
}

int DSVCClient::socket() const {
    return m_socket ? m_socket->fd() : -1;
}

bool DSVCClient::start() {
    if (!m_socket || m_thread != 0) {
        return false;
    }
    m_running = true;
    auto* self = new std::shared_ptr<DSVCClient>(shared_from_this());
    char error[256] = {};
    m_thread = vexa::OsStartNewThread(&DSVCClient::threadEntry, self, DSVC_PRIORITY_OFFSET, 0,
                                      error, sizeof error);
    if (m_thread == 0) {
        m_running = false;
        delete self;
        logger().logMessage("DSVCClient::init", vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, "DSVC",
                            "клиента DSVC", error);
        return false;
    }
    return true;
}

void DSVCClient::threadEntry(void* arg) {
    std::unique_ptr<std::shared_ptr<DSVCClient>> self(
        static_cast<std::shared_ptr<DSVCClient>*>(arg));
    DSVCClient& client = **self;
    client.serverProc();
    // The server sees the end at once; the descriptor closes with the object.
    client.m_socket->shutdown();
    std::lock_guard<std::mutex> lock(client.m_stateMutex);
    client.m_threadEnded = true;
    client.m_stateChanged.notify_all();
}

void DSVCClient::sendSTOP() {
    if (!m_socket) {
        return;
    }
    std::vector<uint8_t> const stop = buildDsvcEmpty(DSVC_TAG_STOP);
    char const* why = nullptr;
    if (!m_socket->sendAll(stop.data(), stop.size(), m_timings.sendTimeoutMs, &why)) {
        logger().logMessage("DSVCClient::sendSTOP", vexalog::Logger::SEV_DEBUG,
                            vexares::RTPS_MSG_DSVC_SEND_FAILED, unsigned(stop.size()),
                            m_socket->fd(), why);
    }
}

void DSVCClient::stop() {
    // Cleared before the mutex is taken, so that a busy thread cannot start one more delivery
    // after the one under way; taking the mutex then waits for that one.
    m_running = false;
    { std::lock_guard<std::recursive_mutex> lock(m_deliveryMutex); }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_stopRequested = true;
    }
    m_stateChanged.notify_all();
    if (m_socket) {
        m_socket->shutdown();
    }
}

void DSVCClient::join() {
    if (m_thread == 0) {
        return;
    }
    bool ended;
    {
        std::unique_lock<std::mutex> lock(m_stateMutex);
        ended = m_stateChanged.wait_for(lock, std::chrono::milliseconds(m_timings.joinLimitMs),
                                        [this] { return m_threadEnded; });
    }
    if (ended) {
        vexa::OsWaitThreadTermination(m_thread);
    } else {
        // It delivers nothing any more (stopped) and owns itself; let it end on its own.
        pthread_detach(m_thread);
    }
    m_thread = 0;
}

bool DSVCClient::deliver(uint64_t tag, void* body, unsigned length) {
    std::lock_guard<std::recursive_mutex> lock(m_deliveryMutex);
    if (!m_running.load()) {
        return false;
    }
    m_reader->dsvcDataRecipient(m_socket->fd(), static_cast<unsigned long>(tag), body, length);
    return m_running.load();
}

bool DSVCClient::pause(int ms) {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    return !m_stateChanged.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this] { return m_stopRequested; });
}

bool DSVCClient::sendINIT() {
    std::vector<uint8_t> const init = buildDsvcInit(m_guid);
    return m_socket->trySendAll(init.data(), init.size(), m_timings.sendTimeoutMs);
}

void DSVCClient::serverProc() {
    auto const start = std::chrono::steady_clock::now();
    auto const limit = std::chrono::milliseconds(m_timings.connectLimitMs);
    for (;;) {
        if (!m_running.load()) {
            return;
        }
        if (sendINIT()) {
            m_connected = true;
            if (!deliver(DSVC_TAG_CONNECTED, nullptr, 0)) {
                return;
            }
            break;
        }
        if (std::chrono::steady_clock::now() - start >= limit) {
            logger().logMessage("DSVCClient::serverProc", vexalog::Logger::SEV_WARNING,
                                vexares::RTPS_MSG_DSVC_CONNECTION_CLOSED, m_socket->fd(),
                                "INIT не отправлен: сервер недоступен");
            deliver(DSVC_TAG_STOP, nullptr, 0);
            return;
        }
        if (!pause(m_timings.initRetryMs)) {
            return;
        }
    }
    receive();
}

void DSVCClient::receive() {
    int const fd = m_socket->fd();
    DSVCFrameDecoder decoder;
    std::vector<uint8_t> chunk(READ_CHUNK);
    char const* why = nullptr;
    while (m_running.load() && why == nullptr) {
        int const r = waitForSocketActivity(fd, m_timings.waitSliceMs);
        if (r < 0) {
            why = "ожидание данных не выполнено";
            break;
        }
        if (r == 0) {
            continue;
        }
        ssize_t const n = ::recv(fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n == 0) {
            why = "соединение закрыто сервером";
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
        while (offset < static_cast<size_t>(n)) {
            offset += decoder.consume(chunk.data() + offset, static_cast<size_t>(n) - offset);
            if (decoder.failed()) {
                why = decoder.failure();
                break;
            }
            if (!decoder.hasFrame()) {
                continue;
            }
            DSVCFrame frame = decoder.take();
            if (frame.tag == DSVC_TAG_SMPL) {
                if (!deliver(DSVC_TAG_SMPL, frame.body.data(),
                             static_cast<unsigned>(frame.body.size()))) {
                    return;
                }
            } else if (frame.tag == DSVC_TAG_PAUS) {
                if (!deliver(DSVC_TAG_PAUS, nullptr, 0)) {
                    return;
                }
            } else if (frame.tag == DSVC_TAG_STOP) {
                deliver(DSVC_TAG_STOP, nullptr, 0);
                return;
            }
        }
    }
    if (why != nullptr && m_running.load()) {
        logger().logMessage("DSVCClient::serverProc", vexalog::Logger::SEV_INFO,
                            vexares::RTPS_MSG_DSVC_CONNECTION_CLOSED, fd, why);
    }
    deliver(DSVC_TAG_STOP, nullptr, 0);
}

}  // namespace RTPS
