#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dcps/lock/OrderedMutex.h"

namespace vexa::dcps {

// The listener calls of one participant. The core gathers them in a batch while it holds its
// mutexes and makes them only once it has let every core mutex go, so a listener may write,
// wait for acknowledgements or delete entities while the engine's threads take those mutexes.
//
// A batch is opened under the participant mutex before anything goes into it and stays open
// until its calls have run. While one with calls is open the collector frees nothing of the
// participant (busy()), and a listener replaced on another thread is waited for
// (waitForOpenBatches) before the API frees it. A listener that throws is caught here, logged with
// its entity, and the next call goes on.
//
// Locks: the mutex here is a leaf; calls run with no core mutex held.
class ListenerCalls {
public:
    class Batch {
    public:
        // `entity` and `topic` name the listener's entity in the log line when it throws.
        void add(char const* entity, std::string topic, std::function<void()> call);
        bool empty() const { return calls_.empty(); }

    private:
        friend class ListenerCalls;
        uint64_t ticket_ = 0;
        struct Call {
            char const* entity;
            std::string topic;
            std::function<void()> call;
        };
        std::vector<Call> calls_;
    };

    ListenerCalls() : mutex_(LockLevel::Leaf, "ListenerCalls") {}
    ListenerCalls(ListenerCalls const&) = delete;
    ListenerCalls& operator=(ListenerCalls const&) = delete;

    // Participant mutex held.
    void open(Batch& batch);
    // No core mutex held: makes the batch's calls in order, then closes it.
    void run(Batch& batch);
    // An open batch holds calls (the caller holds the participant mutex, under which batches
    // open and fill, so none does meanwhile).
    bool busy() const;
    // Until every batch open now has run; at once on a thread that runs one of them (a
    // listener that replaces itself). No core mutex held.
    void waitForOpenBatches();
    // After a listener was set in place of `old`: a batch gathered before may still call `old`,
    // which the caller frees next, so wait for the open batches when `old` is gone.
    void replaced(void const* old, void const* now) {
        if (old != nullptr && old != now) {
            waitForOpenBatches();
        }
    }

private:
    mutable CoreMutex mutex_;
    std::condition_variable_any ran_;
    uint64_t nextTicket_ = 1;
    std::vector<Batch const*> open_;
};

}  // namespace vexa::dcps
