#pragma once

#include <chrono>

namespace vexatest {

// While alive, every timed condition-variable wait of the thread that made it returns now and
// then without a notification (as the platform may), at least every `period`, for at most
// `span` from its construction. The test binary routes pthread_cond_clockwait through it;
// other threads and other times wait as usual.
class SpuriousWakeups {
public:
    SpuriousWakeups(std::chrono::milliseconds period, std::chrono::milliseconds span);
    ~SpuriousWakeups();
    SpuriousWakeups(SpuriousWakeups const&) = delete;
    SpuriousWakeups& operator=(SpuriousWakeups const&) = delete;

    // Wake-ups given so far on this thread.
    unsigned given() const;
};

}  // namespace vexatest
