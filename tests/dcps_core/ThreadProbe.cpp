#include "ThreadProbe.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace vexatest {

std::set<pid_t> processThreads() {
    std::set<pid_t> out;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) {
        return out;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            out.insert(static_cast<pid_t>(std::atoi(entry->d_name)));
        }
    }
    closedir(dir);
    return out;
}

uint64_t voluntarySwitches(pid_t thread) {
    std::string const path = "/proc/self/task/" + std::to_string(thread) + "/status";
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) {
        return 0;
    }
    char line[256];
    uint64_t n = 0;
    static char const KEY[] = "voluntary_ctxt_switches:";
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, KEY, sizeof KEY - 1) == 0) {
            n = std::strtoull(line + sizeof KEY - 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return n;
}

std::chrono::nanoseconds processCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

size_t settledThreadCount() {
    // join returns when the thread has cleared its id, which is a moment before the kernel
    // takes it off /proc/self/task: counted then, it would be a thread that later vanishes.
    pid_t joined = 0;
    std::thread([&joined] { joined = static_cast<pid_t>(syscall(SYS_gettid)); }).join();
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (processThreads().count(joined) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return processThreads().size();
}

bool waitForThreadCount(size_t count, std::chrono::milliseconds limit) {
    auto const deadline = std::chrono::steady_clock::now() + limit;
    while (processThreads().size() != count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace vexatest
