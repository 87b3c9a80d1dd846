#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "rtps/wire/Locator.h"

namespace vexatest {

// Writes trellis.cfg into the working directory (read before the installed one). Small pools,
// and waits so long that a lost wake-up shows as a stall of a minute.
inline void writeTrellisConfig(const std::string& extra = "") {
    std::FILE* file = std::fopen("trellis.cfg", "w");
    std::fprintf(file,
                 "TRANSPORT.NUMBER_OF_BUFFERS = 64\n"
                 "TRANSPORT.NUMBER_OF_RTPS_BUFFERS = 16\n"
                 "TRANSPORT.REPORT_TIMEOUT = 60\n"
                 "TRANSPORT.DISPATCHER_TIMEOUT = 60\n"
                 "TRANSPORT.SELECT_TIMEOUT = 60\n"
                 "%s",
                 extra.c_str());
    std::fclose(file);
}

inline RTPS::Locator_t udpLocator(const char* address, uint32_t port,
                                  int32_t kind = RTPS::LOCATOR_KIND_UDPv4) {
    RTPS::Locator_t locator{kind, port, {}};
    in_addr in{};
    inet_pton(AF_INET, address, &in);
    std::memcpy(locator.address + 12, &in.s_addr, 4);
    return locator;
}

// Open descriptors of the process.
inline int openDescriptors() {
    // Sockets and event descriptors only: the logger opens its files lazily, from whichever
    // thread logs first.
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir)) {
            char path[300];
            char target[64] = {};
            std::snprintf(path, sizeof(path), "/proc/self/fd/%s", entry->d_name);
            if (readlink(path, target, sizeof(target) - 1) > 0 &&
                (std::strncmp(target, "socket:", 7) == 0 ||
                 std::strncmp(target, "anon_inode:", 11) == 0)) {
                ++n;
            }
        }
        closedir(dir);
    }
    return n;
}

// A plain UDP socket: bound to address:port when port is not 0, else unbound.
class PlainSocket {
public:
    explicit PlainSocket(const char* address = "0.0.0.0", uint16_t port = 0)
        : m_fd(socket(AF_INET, SOCK_DGRAM, 0)) {
        if (port != 0) {
            const int one = 1;
            setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in own = endpoint(address, port);
            bound = bind(m_fd, reinterpret_cast<sockaddr*>(&own), sizeof own) == 0;
        }
        timeval tv{5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~PlainSocket() { close(m_fd); }
    PlainSocket(const PlainSocket&) = delete;
    PlainSocket& operator=(const PlainSocket&) = delete;

    static sockaddr_in endpoint(const char* address, uint16_t port) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(port);
        inet_pton(AF_INET, address, &in.sin_addr);
        return in;
    }
    bool sendTo(const char* address, uint16_t port, const std::string& bytes) {
        sockaddr_in to = endpoint(address, port);
        return sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    // Next datagram, or "<none>" after 5 s.
    std::string receive() {
        char buffer[65536];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        return n < 0 ? std::string("<none>") : std::string(buffer, static_cast<size_t>(n));
    }
    int fd() const { return m_fd; }
    bool bound = false;

private:
    int m_fd;
};

}  // namespace vexatest
