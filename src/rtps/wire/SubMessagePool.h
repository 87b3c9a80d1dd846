#pragma once

#include <atomic>
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
    // Two submessages taken together, so that no thread holds one while it waits for the
    // other: false (and both null) once the pool is stopped.
    bool getSubmessagePair(SubmessageKind kind, TransportPriorityLevel priority, SubMessage*& first,
                           SubMessage*& second);
    // Gives a submessage back (the pool grows as needed). Null is ignored.
    void freeSubmessage(SubMessage* submessage);
    // Gives all of them back at once and clears the list; nulls are ignored.
    void freeSubmessages(std::vector<SubMessage*>& submessages);
    // Wakes every waiter with null and returns when none is left inside getSubmessage.
    void stop();

    // A snapshot: others may take or give back at once.
    size_t available() const { return m_available.load(std::memory_order_relaxed); }

private:
    // Waits, the mutex held, until `count` submessages are in the pool or it is stopped;
    // false once stopped.
    bool waitFor(std::unique_lock<std::mutex>& lock, size_t count);
    SubMessage* popLocked();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SubMessage*> m_stack;
    // m_stack.size(), written under the mutex.
    std::atomic<size_t> m_available{0};
    bool m_running = true;
    unsigned int m_waiters = 0;
};

}  // namespace RTPS
