#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/ChildProcess.h"

namespace vexatest {

// Names in the working directory that are no regular file: a FIFO (opening it for reading
// waits for a writer), /dev/zero (never ends) and /dev/urandom (never ends, never repeats a
// line). A reader that opens them as files blocks, spins or grows for ever.
struct NonRegularFile {
    const char* what;
    std::string name;
};

inline std::vector<NonRegularFile> makeNonRegularFiles(const std::string& stem,
                                                       const char* extension) {
    std::vector<NonRegularFile> files = {{"FIFO", stem + "-fifo" + extension},
                                         {"/dev/zero", stem + "-zero" + extension},
                                         {"/dev/urandom", stem + "-urandom" + extension}};
    ::unlink(files[0].name.c_str());
    ::unlink(files[1].name.c_str());
    ::unlink(files[2].name.c_str());
    if (::mkfifo(files[0].name.c_str(), 0600) != 0 ||
        ::symlink("/dev/zero", files[1].name.c_str()) != 0 ||
        ::symlink("/dev/urandom", files[2].name.c_str()) != 0) {
        return {};
    }
    return files;
}

// Runs `body` in a forked child that may take at most a second; the result is the child's exit
// code, CHILD_CRASHED + SIGALRM when it was still running after the second.
template <typename Body>
int runWithinASecond(Body body) {
    return runInChild([&body] {
        ::alarm(1);
        return body();
    });
}

}  // namespace vexatest
