#include "common/PausedCalls.h"

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstring>

namespace vexatest {

std::atomic<unsigned> g_getenvPauseMs{0};
const char* g_getenvPauseName = nullptr;
std::atomic<unsigned> g_ftruncatePauseMs{0};

}  // namespace vexatest

// The program's own definitions come before the C library's for every caller in it.
extern "C" char* getenv(const char* name) {
    using Real = char* (*)(const char*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getenv"));
    const unsigned pause = vexatest::g_getenvPauseMs.load();
    if (pause != 0 && vexatest::g_getenvPauseName != nullptr && name != nullptr &&
        std::strcmp(name, vexatest::g_getenvPauseName) == 0) {
        ::usleep(pause * 1000);
    }
    return real(name);
}

extern "C" int ftruncate(int fd, off_t length) {
    using Real = int (*)(int, off_t);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ftruncate"));
    const unsigned pause = vexatest::g_ftruncatePauseMs.load();
    if (pause != 0) {
        ::usleep(pause * 1000);
    }
    return real(fd, length);
}
