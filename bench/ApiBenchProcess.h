// What the two-process benchmarks of the dds:: API share: forking the sides, reaping them,
// the pipes that carry their figures back, the resident size, the load average to print beside the
// figures, and the benchmark topic's sample of a given size.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "RoundTrip_DCPS.hpp"

namespace apibench {

using Clock = std::chrono::steady_clock;

inline int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

inline double load1() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

inline std::string loadLine() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line;
}

// A "Vm…:" field of /proc/self/status in KiB (VmRSS: resident, VmHWM: its peak).
inline uint64_t statusKiB(char const* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    size_t const n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0) {
            return std::stoull(line.substr(n));
        }
    }
    return 0;
}

// Runs body(fd, size, domain) in a child process, which exits with its result.
inline pid_t start(int (*body)(int, size_t, uint32_t), int fd, size_t size, uint32_t domain) {
    std::fflush(nullptr);
    pid_t const pid = ::fork();
    if (pid == 0) {
        int const rc = body(fd, size, domain);
        std::fflush(nullptr);
        _exit(rc);
    }
    return pid;
}

inline int exitCodeOf(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits for `pid` up to a few seconds, then ends it.
inline void reap(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return;
        }
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    exitCodeOf(pid);
}

inline bool readAll(int fd, void* data, size_t length) {
    auto* p = static_cast<char*>(data);
    while (length > 0) {
        ssize_t const n = ::read(fd, p, length);
        if (n <= 0) {
            return false;
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

inline void writeAll(int fd, void const* data, size_t length) {
    auto const* p = static_cast<char const*>(data);
    while (length > 0) {
        ssize_t const n = ::write(fd, p, length);
        if (n <= 0) {
            return;
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
}

// A sample of `size` bytes packed (encapsulation header included).
inline RoundTrip::Echo echoOfSize(size_t size) {
    RoundTrip::Echo echo;
    echo.id(0);
    echo.payload(RoundTrip::Payload(size - echo.lenPacked(), 0x5A));
    return echo;
}

}  // namespace apibench
