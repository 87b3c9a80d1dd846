#include "dcps/entity/ListenerCalls.h"

#include <algorithm>
#include <mutex>


namespace vexa::dcps {

namespace {

// The batches running on this thread, innermost first.
struct Running {
    ListenerCalls const* calls;
    Running const* outer;
};
thread_local Running const* tlsRunning = nullptr;

bool runsHere(ListenerCalls const* calls) {
    for (Running const* r = tlsRunning; r != nullptr; r = r->outer) {
        if (r->calls == calls) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ListenerCalls::Batch::add(char const* entity, std::string topic, std::function<void()> call) {
    calls_.push_back({entity, std::move(topic), std::move(call)});
}

void ListenerCalls::open(Batch& batch) {
    std::lock_guard<CoreMutex> lock(mutex_);
    batch.ticket_ = nextTicket_++;
    open_.push_back(batch.ticket_);
}

void ListenerCalls::run(Batch& batch) {
    Running const running{this, tlsRunning};
    tlsRunning = &running;
    for (Batch::Call& c : batch.calls_) {
        c.call();
    }
    batch.calls_.clear();
    tlsRunning = running.outer;
    std::lock_guard<CoreMutex> lock(mutex_);
    open_.erase(std::find(open_.begin(), open_.end(), batch.ticket_));
    ran_.notify_all();
}

bool ListenerCalls::busy() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return !open_.empty();
}

void ListenerCalls::waitForOpenBatches() {
    if (runsHere(this)) {
        return;
    }
    std::unique_lock<CoreMutex> lock(mutex_);
    // Tickets rise, so the batches open now are those below the next ticket.
    uint64_t const next = nextTicket_;
    ran_.wait(lock, [&] {
        return std::none_of(open_.begin(), open_.end(), [next](uint64_t t) { return t < next; });
    });
}

}  // namespace vexa::dcps
