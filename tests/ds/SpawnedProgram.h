#pragma once

// A program run beside a test: its standard output on a pipe read line by line against a
// monotonic deadline, its standard input on a pipe kept open until closed (or /dev/null), its
// standard error left to the test's. A program still running at destruction is killed and
// reaped.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vexatest {

class SpawnedProgram {
public:
    using Clock = std::chrono::steady_clock;

    // `env`: NAME=value pairs set in the program's environment only.
    SpawnedProgram(std::string const& path, std::vector<std::string> const& args,
                   bool inputPipe = false, std::vector<std::string> const& env = {}) {
        int in[2] = {-1, -1};
        int out[2];
        if (pipe(out) != 0 || (inputPipe && pipe(in) != 0)) {
            return;
        }
        std::vector<char*> argv;
        std::vector<std::string> all{path};
        all.insert(all.end(), args.begin(), args.end());
        for (std::string& a : all) {
            argv.push_back(&a[0]);
        }
        argv.push_back(nullptr);
        std::fflush(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            int const input = inputPipe ? in[0] : open("/dev/null", O_RDONLY);
            dup2(input, STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            closeFrom(3);
            for (std::string const& e : env) {
                size_t const eq = e.find('=');
                setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
            }
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = out[0];
        if (inputPipe) {
            close(in[0]);
            m_in = in[1];
        }
    }

    ~SpawnedProgram() {
        if (running()) {
            kill(m_pid, SIGKILL);
            wait(std::chrono::seconds(30));
        }
        closeInput();
        if (m_out >= 0) {
            close(m_out);
        }
    }

    SpawnedProgram(SpawnedProgram const&) = delete;
    SpawnedProgram& operator=(SpawnedProgram const&) = delete;

    bool started() const { return m_pid > 0; }
    bool running() const { return m_pid > 0 && !m_reaped; }
    pid_t pid() const { return m_pid; }

    void send(std::string const& text) {
        if (m_in >= 0) {
            ssize_t const n = write(m_in, text.data(), text.size());
            (void)n;
        }
    }
    void closeInput() {
        if (m_in >= 0) {
            close(m_in);
            m_in = -1;
        }
    }
    void signal(int sig) {
        if (running()) {
            kill(m_pid, sig);
        }
    }

    // Reads until a line containing `text` has come (true), or the output ended or the time
    // ran out (false). Lines before it stay in lines().
    bool waitForLine(std::string const& text, Clock::duration timeout) {
        Clock::time_point const deadline = Clock::now() + timeout;
        for (;;) {
            for (; m_checked < m_lines.size(); ++m_checked) {
                if (m_lines[m_checked].find(text) != std::string::npos) {
                    ++m_checked;
                    return true;
                }
            }
            if (!readSome(deadline)) {
                return false;
            }
        }
    }

    // Reads everything up to the end of the output, then reaps; the exit status, or -1 when
    // the program had not ended by the deadline.
    int wait(Clock::duration timeout) {
        Clock::time_point const deadline = Clock::now() + timeout;
        while (readSome(deadline)) {
        }
        while (!m_reaped) {
            pid_t const got = waitpid(m_pid, &m_status, WNOHANG);
            if (got == m_pid) {
                m_reaped = true;
                break;
            }
            if (Clock::now() >= deadline) {
                return -1;
            }
            usleep(10000);  // a child that closed its output is about to end
        }
        return m_status;
    }

    std::vector<std::string> const& lines() const { return m_lines; }
    std::string text() const {
        std::string all;
        for (std::string const& line : m_lines) {
            all += line + "\n";
        }
        return all + m_partial;
    }

private:
    static void closeFrom(int first) {
        for (int fd = first; fd < 1024; ++fd) {
            close(fd);
        }
    }

    // One read, waiting at most until `deadline`; false at the end of the output or the time.
    bool readSome(Clock::time_point deadline) {
        if (m_out < 0) {
            return false;
        }
        auto const left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char buffer[4096];
        ssize_t const got = read(m_out, buffer, sizeof buffer);
        if (got <= 0) {
            close(m_out);
            m_out = -1;
            return false;
        }
        m_partial.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
            m_lines.push_back(m_partial.substr(0, end));
            m_partial.erase(0, end + 1);
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_status = -1;
    bool m_reaped = false;
    size_t m_checked = 0;
    std::vector<std::string> m_lines;
    std::string m_partial;
};

}  // namespace vexatest
