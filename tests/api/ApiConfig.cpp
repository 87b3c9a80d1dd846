// The library's start-up object builds the core's service while the test binary loads, so
// the settings must be in the working directory before that: this object runs first. The
// launcher gives each binary a fresh working directory.

#include <cstdio>

namespace {

struct EarlyDcpsConfig {
    EarlyDcpsConfig() {
        if (FILE* f = std::fopen("dcps.cfg", "w")) {
            // A short collector period, so dropped entities are destroyed while tests run.
            std::fputs("DCPS.READABLE_LOG_LEVEL = ОТЛАДКА_2\nDCPS.COLLECT_GARBAGE_PERIOD = 1\n", f);
            std::fclose(f);
        }
    }
};

EarlyDcpsConfig const config __attribute__((init_priority(101)));

}  // namespace
