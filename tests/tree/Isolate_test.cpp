// The isolation launcher as the test suite uses it: always new namespaces, and a work
// directory that does not outlive the run.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace fs = std::filesystem;

namespace {

std::string ownNamespace(const char* kind) {
    std::error_code error;
    return fs::read_symlink(std::string("/proc/self/ns/") + kind, error).string();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> workDirectories(const std::string& tmp) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(tmp)) {
        found.push_back(entry.path().filename().string());
    }
    return found;
}

}  // namespace

// A VEXA_ISOLATED inherited from the caller must not make the launcher skip the namespaces and
// then change the caller's routes and /dev/shm.
TEST(Isolate, InheritedVariableStillGetsNamespacesOfItsOwn) {
    vexatest::TempDir tmp("vexa-isolate-test");
    const std::string probe = "vexa-isolate-probe-" + std::to_string(::getpid());
    const vexatest::ProgramRun run = vexatest::runProgram(
        {VEXA_ISOLATE_PATH, "/bin/sh", "-c",
         "readlink /proc/self/ns/net /proc/self/ns/mnt; : > /dev/shm/" + probe + "; pwd"},
        {"VEXA_ISOLATED=1", "TMPDIR=" + tmp.path()});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> out = lines(run.output);
    ASSERT_EQ(out.size(), 3u) << run.output;
    EXPECT_NE(out[0], ownNamespace("net"));
    EXPECT_NE(out[1], ownNamespace("mnt"));
    EXPECT_FALSE(fs::exists("/dev/shm/" + probe))
        << "the launcher wrote into the caller's /dev/shm";
    EXPECT_EQ(out[2].rfind(tmp.path() + "/vexa-run.", 0), 0u) << out[2];
    EXPECT_TRUE(workDirectories(tmp.path()).empty());
}

// The launcher decides from the namespace it is in: told (falsely) by its private argument
// that it was started elsewhere, in the very namespace it names, it changes nothing. The call
// runs in namespaces of the test's own, so a launcher that did go on harms nothing outside.
TEST(Isolate, InnerStageInTheNamespaceItCameFromChangesNothing) {
    const vexatest::ProgramRun run = vexatest::runProgram(
        {"/usr/bin/unshare", "-r", "--net", "--mount", "/bin/sh", "-c",
         std::string("exec ") + VEXA_ISOLATE_PATH +
             " --vexa-isolate-inner \"$(readlink /proc/self/ns/net)\" /bin/echo ran"});
    EXPECT_EQ(run.status, 125) << run.output;
    EXPECT_EQ(run.output.find("ran"), std::string::npos) << run.output;
}

// A launcher that is signalled stops its command and removes its work directory; one killed
// outright cannot, and the next launcher removes what it left.
TEST(Isolate, WorkDirectoriesDoNotOutliveTheirRun) {
    vexatest::TempDir tmp("vexa-isolate-test");
    const std::string tmpdir = "TMPDIR=" + tmp.path();
    const auto start = std::chrono::steady_clock::now();
    vexatest::ProgramRun run = vexatest::runProgram(
        {VEXA_ISOLATE_PATH, "/bin/sh", "-c", "kill -TERM $PPID; sleep 30; echo survived"},
        {tmpdir});
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.output;
    EXPECT_EQ(run.output.find("survived"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20))
        << "the command was not stopped";
    EXPECT_TRUE(workDirectories(tmp.path()).empty());

    run = vexatest::runProgram({VEXA_ISOLATE_PATH, "/bin/sh", "-c", "kill -KILL $PPID"}, {tmpdir});
    EXPECT_EQ(run.status, 128 + SIGKILL) << run.output;
    ASSERT_EQ(workDirectories(tmp.path()).size(), 1u);
    run = vexatest::runProgram({VEXA_ISOLATE_PATH, "/bin/true"}, {tmpdir});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(workDirectories(tmp.path()).empty());
}
