// The real vexads on the real engine, its standard input on a pipe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

struct ProcessRun {
    int status = -1;
    std::string output;
};

// Starts vexads with `args`, writes `script` to its input, then closes the input when
// `closeInput` is set or sends `signal` when it is not 0, and waits for it.
ProcessRun runVexads(const char* arg, const std::string& script, bool closeInput, int signal = 0) {
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[1]);
        close(out[0]);
        execl(VEXADS_PATH, "vexads", arg, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    EXPECT_EQ(write(in[1], script.data(), script.size()), ssize_t(script.size()));
    ProcessRun run;
    char buffer[4096];
    if (signal != 0) {
        // Once the prompt is out, the console loop is waiting.
        const std::string prompt = "exit";
        while (run.output.find(prompt) == std::string::npos) {
            const ssize_t got = read(out[0], buffer, sizeof(buffer));
            if (got <= 0)
                break;
            run.output.append(buffer, size_t(got));
        }
        kill(pid, signal);
    }
    if (closeInput || signal != 0)
        close(in[1]);
    for (ssize_t got; (got = read(out[0], buffer, sizeof(buffer))) > 0;)
        run.output.append(buffer, size_t(got));
    close(out[0]);
    if (!closeInput && signal == 0)
        close(in[1]);
    waitpid(pid, &run.status, 0);
    return run;
}

bool exitedCleanly(const ProcessRun& run) {
    return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

// The ending shared by every stop: 2013 (not for "exit"), 2014 and 2015.
const std::string CONSOLE_ENDED = "Ввод с консоли завершён.";
const std::string STOPPED = "Служба остановлена.";

TEST(VexadsProcess, ScriptAddsListsAndExits) {
    const ProcessRun run = runVexads("5", "add 3\nlist\nexit\nadd 7\n", false);
    EXPECT_TRUE(exitedCleanly(run)) << run.output;
    EXPECT_NE(run.output.find("\n5\n3\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Домен 7"), std::string::npos) << "read past exit";
    EXPECT_EQ(run.output.find(CONSOLE_ENDED), std::string::npos);
    EXPECT_NE(run.output.find(STOPPED), std::string::npos);
}

TEST(VexadsProcess, EndOfInputAndSignalsStopTheSameWay) {
    struct Case {
        const char* name;
        bool closeInput;
        int signal;
    };
    const Case cases[] = {
        {"end of input", true, 0},
        {"SIGTERM", false, SIGTERM},
        {"SIGINT", false, SIGINT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessRun run = runVexads("2", "list\n", c.closeInput, c.signal);
        EXPECT_TRUE(exitedCleanly(run)) << run.output;
        const size_t ended = run.output.find(CONSOLE_ENDED);
        EXPECT_NE(ended, std::string::npos) << run.output;
        EXPECT_GT(run.output.find(STOPPED), ended) << run.output;
    }
}

}  // namespace
