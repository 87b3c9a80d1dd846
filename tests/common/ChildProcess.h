#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace vexatest {

// Exit codes of a forked check.
constexpr int CHILD_PASS = 0;
constexpr int CHILD_SKIP = 77;
constexpr int CHILD_CRASHED = 1000;  // plus the signal number

// The exit code of a child, or CHILD_CRASHED + signal when it died of a signal.
inline int exitCodeOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFSIGNALED(status)) {
        return CHILD_CRASHED + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

// Starts `body` in a forked child that exits with its result; the pid (negative: no child).
inline pid_t startChild(int (*body)()) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        int rc = body();
        std::fflush(nullptr);
        _exit(rc);
    }
    return pid;
}

// Runs `body` in a forked child and returns its exit code, or CHILD_CRASHED + signal when it
// died of a signal. Whatever the child changes (scheduling, locked memory, resource limits)
// dies with it. The child reports failures on stderr and by exit code.
inline int runInChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        int rc = body();
        std::fflush(nullptr);
        _exit(rc);
    }
    return exitCodeOf(pid);
}

// Inside a child: report a failed check and give its line as the exit code.
#define CHILD_CHECK(cond)                                                                 \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            return 2;                                                                     \
        }                                                                                 \
    } while (0)

}  // namespace vexatest
