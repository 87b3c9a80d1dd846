#include "ds/service/ConsoleInput.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace vexa::ds {

namespace {

void stripLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
}

}  // namespace

void ConsoleInput::take(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (!m_overflow)
                stripLineEnd(m_partial);
            m_lines.push_back(std::move(m_partial));
            m_partial.clear();
            m_overflow = false;
        } else if (m_partial.size() < MAX_LINE) {
            m_partial += c;
        } else {
            m_overflow = true;
        }
    }
}

ConsoleInput::Event ConsoleInput::next(std::string& line) {
    for (;;) {
        if (!m_lines.empty()) {
            line = std::move(m_lines.front());
            m_lines.pop_front();
            return Event::Line;
        }
        if (m_ended) {
            // A last line without its newline still counts once.
            if (!m_partial.empty()) {
                line = std::move(m_partial);
                m_partial.clear();
                stripLineEnd(line);
                return Event::Line;
            }
            return Event::EndOfInput;
        }
        pollfd fds[2] = {{m_signals, POLLIN, 0}, {m_input, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            m_ended = true;
            continue;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            if (::read(m_signals, &info, sizeof(info)) == ssize_t(sizeof(info)))
                return Event::Signal;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char chunk[512];
            const ssize_t got = ::read(m_input, chunk, sizeof(chunk));
            if (got > 0)
                take(chunk, size_t(got));
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                m_ended = true;
        }
    }
}

}  // namespace vexa::ds
