#include "ds/service/ConsoleInput.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using vexa::ds::ConsoleInput;

// Everything the console reads from `input` written at once and closed.
std::vector<std::string> linesOf(const std::string& input) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], input.data(), input.size()), ssize_t(input.size()));
    close(fds[1]);
    ConsoleInput console(fds[0], -1);
    std::vector<std::string> lines;
    std::string line;
    while (console.next(line) == ConsoleInput::Event::Line)
        lines.push_back(line);
    close(fds[0]);
    return lines;
}

TEST(ConsoleInput, LinesUpToTheEndOfInput) {
    const std::string longTail = " exit";
    const std::string longLine = "list" + std::string(196, 'x');  // 200 characters
    struct Case {
        const char* name;
        std::string input;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"nothing", "", {}},
        {"plain lines", "add 3\nlist\n", {"add 3", "list"}},
        {"carriage returns", "add 3\r\nlist\r\n", {"add 3", "list"}},
        {"a last line without newline", "add 3\nexit", {"add 3", "exit"}},
        {"blank lines stay", "\n\r\n", {"", ""}},
        // The rest of a long line is dropped, never read as a command of its own.
        {"a 200-character line",
         longLine + "\nhelp\n",
         {longLine.substr(0, ConsoleInput::MAX_LINE), "help"}},
        {"a long line whose cut-off rest looks like a command",
         std::string(ConsoleInput::MAX_LINE, 'a') + longTail + "\n",
         {std::string(ConsoleInput::MAX_LINE, 'a')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linesOf(c.input), c.lines);
    }
}

TEST(ConsoleInput, ASignalEndsTheWaitForInput) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &set, nullptr), 0);
    const int signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    ASSERT_GE(signalFd, 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);  // stays open: only the signal can end the wait
    ASSERT_EQ(syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), SIGUSR1), 0);
    ConsoleInput console(fds[0], signalFd);
    std::string line;
    EXPECT_EQ(console.next(line), ConsoleInput::Event::Signal);
    close(fds[0]);
    close(fds[1]);
    close(signalFd);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace
