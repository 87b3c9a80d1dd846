#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vexatest {

struct ProgramRun {
    int status = -1;     // exit code, or 128 + the signal that ended it
    std::string output;  // standard output and standard error together
};

// Runs a program (argv[0] is its path) with extra "NAME=value" environment entries, in `cwd`
// when one is given, and waits for it; standard input is /dev/null.
inline ProgramRun runProgram(const std::vector<std::string>& argv,
                             const std::vector<std::string>& env = {},
                             const std::string& cwd = std::string()) {
    ProgramRun run;
    int out[2];
    if (::pipe(out) != 0) {
        return run;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const int none = ::open("/dev/null", O_RDONLY);
        ::dup2(none, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        for (const std::string& entry : env) {
            const size_t equals = entry.find('=');
            ::setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
            ::_exit(126);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
        run.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return run;
}

// A directory of its own under the system's temporary directory, removed with its contents.
class TempDir {
public:
    explicit TempDir(const char* stem) {
        std::string pattern = (std::filesystem::temp_directory_path() / stem).string() + ".XXXXXX";
        if (::mkdtemp(&pattern[0]) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace vexatest
