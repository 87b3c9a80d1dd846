// What the two-process benchmarks of the dds:: API share: forking the sides, reaping them,
// the pipes that carry their figures back, the resident size, the load average to print beside the
// figures, what the scheduler did to a process, the benchmark topic's sample of a given size, the
// reliable QoS the benchmarks start from, and waiting for the first match.
#pragma once

#include <dirent.h>
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

// What the scheduler did to all threads of a process so far: time they were ready to run but
// waited for a CPU, and how often they gave the CPU up (to wait) or had it taken away.
struct SchedUse {
    int64_t waitNs = 0;
    int64_t voluntary = 0;
    int64_t involuntary = 0;
};

inline SchedUse operator-(SchedUse a, SchedUse const& b) {
    a.waitNs -= b.waitNs;
    a.voluntary -= b.voluntary;
    a.involuntary -= b.involuntary;
    return a;
}

inline SchedUse operator+(SchedUse a, SchedUse const& b) {
    a.waitNs += b.waitNs;
    a.voluntary += b.voluntary;
    a.involuntary += b.involuntary;
    return a;
}

inline SchedUse schedUseOf(pid_t pid) {
    SchedUse use;
    std::string const tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (dir == nullptr) {
        return use;
    }
    while (dirent const* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::string const task = tasks + "/" + entry->d_name;
        std::ifstream stat(task + "/schedstat");
        int64_t running = 0;
        int64_t waiting = 0;
        if (stat >> running >> waiting) {
            use.waitNs += waiting;
        }
        std::ifstream status(task + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.compare(0, 24, "voluntary_ctxt_switches:") == 0) {
                use.voluntary += std::stoll(line.substr(24));
            } else if (line.compare(0, 27, "nonvoluntary_ctxt_switches:") == 0) {
                use.involuntary += std::stoll(line.substr(27));
            }
        }
    }
    ::closedir(dir);
    return use;
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

// Reliable (one second's blocking time) and keeping all, within the default resource limits.
inline dds::pub::qos::DataWriterQos reliableKeepAll(dds::pub::Publisher& publisher) {
    dds::pub::qos::DataWriterQos qos = publisher.default_datawriter_qos();
    qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                              dds::core::Duration(1, 0)));
    qos.policy(dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
    return qos;
}

// Reliable (one second's blocking time) with the given history.
inline dds::sub::qos::DataReaderQos reliableReader(dds::sub::Subscriber& subscriber,
                                                   dds::core::policy::History const& history) {
    dds::sub::qos::DataReaderQos qos = subscriber.default_datareader_qos();
    qos.policy(dds::core::policy::Reliability(dds::core::policy::ReliabilityKind::RELIABLE,
                                              dds::core::Duration(1, 0)));
    qos.policy(history);
    return qos;
}

// Returns once `entity` counts a match (matchCount() > 0); dds::core::TimeoutError when none
// came within `seconds` of one wait.
template <typename Entity, typename Count>
void waitForMatch(Entity& entity, dds::core::status::StatusMask const& mask, Count matchCount,
                  int seconds) {
    dds::core::cond::StatusCondition status(entity);
    status.enabled_statuses(mask);
    dds::core::cond::WaitSet matching;
    matching += status;
    while (matchCount() == 0) {
        matching.wait(dds::core::Duration(seconds, 0));
    }
}

inline void waitForReader(dds::pub::DataWriter<RoundTrip::Echo>& writer, int seconds) {
    waitForMatch(
        writer, dds::core::status::StatusMask::publication_matched(),
        [&] { return writer.publication_matched_status().current_count(); }, seconds);
}

inline void waitForWriter(dds::sub::DataReader<RoundTrip::Echo>& reader, int seconds) {
    waitForMatch(
        reader, dds::core::status::StatusMask::subscription_matched(),
        [&] { return reader.subscription_matched_status().current_count(); }, seconds);
}

}  // namespace apibench
