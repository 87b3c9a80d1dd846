#include "dcps/entity/ListenerCalls.h"

#include <algorithm>
#include <exception>
#include <mutex>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"

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

void logThrown(char const* entity, std::string const& topic, char const* what) {
    vexalog::Logger::getLogger().logMessage(
        "DCPS::ListenerCalls", 2, vexares::DCPS_MSG_LISTENER_THREW, entity, topic.c_str(), what);
}

}  // namespace

void ListenerCalls::Batch::add(char const* entity, std::string topic, std::function<void()> call) {
    calls_.push_back({entity, std::move(topic), std::move(call)});
}

void ListenerCalls::open(Batch& batch) {
    std::lock_guard<CoreMutex> lock(mutex_);
    batch.ticket_ = nextTicket_++;
    open_.push_back(&batch);
}

void ListenerCalls::run(Batch& batch) {
    Running const running{this, tlsRunning};
    tlsRunning = &running;
    for (Batch::Call& c : batch.calls_) {
        try {
            c.call();
        } catch (std::exception const& e) {
            logThrown(c.entity, c.topic, e.what());
        } catch (...) {
            logThrown(c.entity, c.topic, "?");
        }
    }
    tlsRunning = running.outer;
    std::lock_guard<CoreMutex> lock(mutex_);
    open_.erase(std::find(open_.begin(), open_.end(), &batch));
    ran_.notify_all();
}

bool ListenerCalls::busy() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return std::any_of(open_.begin(), open_.end(), [](Batch const* b) { return !b->empty(); });
}

void ListenerCalls::waitForOpenBatches() {
    if (runsHere(this)) {
        return;
    }
    std::unique_lock<CoreMutex> lock(mutex_);
    // Tickets rise, so the batches open now are those below the next ticket.
    uint64_t const next = nextTicket_;
    ran_.wait(lock, [&] {
        return std::none_of(open_.begin(), open_.end(),
                            [next](Batch const* b) { return b->ticket_ < next; });
    });
}

}  // namespace vexa::dcps
