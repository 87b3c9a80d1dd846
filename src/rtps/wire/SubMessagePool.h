#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "rtps/wire/SubMessage.h"

namespace RTPS {

// Reusable submessage builders, each with its 64 KiB buffer, created once.
// The pool's mutex is a leaf: nothing else is called while it is held.
class SubMessagePool {
public:
    explicit SubMessagePool(unsigned int count);
    // Stops the pool and deletes the pooled submessages; those still handed out must have been
    // returned.
    ~SubMessagePool();

    SubMessagePool(SubMessagePool const&) = delete;
    SubMessagePool& operator=(SubMessagePool const&) = delete;

    // A submessage initialised for `kind`. While the pool is empty it waits, in steps of 25 ms,
    // for one to come back; null once the pool is stopped.
    SubMessage* getSubmessage(SubmessageKind kind, TransportPriorityLevel priority);
    // Gives a submessage back (the pool grows as needed). Null is ignored.
    void freeSubmessage(SubMessage* submessage);
    // Wakes every waiter with null and returns when none is left inside getSubmessage.
    void stop();

    size_t available() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SubMessage*> m_stack;
    bool m_running = true;
    unsigned int m_waiters = 0;
};

}  // namespace RTPS
