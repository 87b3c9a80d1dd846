#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace vexa::ds {

// Console lines from standard input, watched together with a signalfd so that end of input,
// a read error and SIGINT/SIGTERM all end the console the same way. A line is cut to its first
// 79 characters; the rest, up to the newline, is dropped and never read as a command.
class ConsoleInput {
public:
    static constexpr size_t MAX_LINE = 79;

    enum class Event { Line, EndOfInput, Signal };

    // signalFd -1: no signals are watched.
    ConsoleInput(int inputFd, int signalFd) : m_input(inputFd), m_signals(signalFd) {}

    // Blocks until a line, the end of input (or a read error) or a signal.
    Event next(std::string& line);

private:
    void take(const char* bytes, size_t count);

    const int m_input;
    const int m_signals;
    std::deque<std::string> m_lines;
    std::string m_partial;
    bool m_overflow = false;
    bool m_ended = false;
};

}  // namespace vexa::ds
