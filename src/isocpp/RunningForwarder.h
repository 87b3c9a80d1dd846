#pragma once

namespace vexa {
namespace core {

// Which forwarders run a callback on this thread. The core lets a callback call back in on its
// own thread, so a listener may replace or remove itself while its forwarder runs: such a
// forwarder is retired and deletes itself once its outermost callback on this thread has
// returned. On other threads the core's setListener waits for running callbacks, so a
// forwarder that does not run here can go at once.
class RunningForwarder {
public:
    static bool runsHere(void const* forwarder) {
        for (RunningForwarder const* r = current_; r != nullptr; r = r->outer_) {
            if (r->forwarder_ == forwarder) {
                return true;
            }
        }
        return false;
    }

protected:
    explicit RunningForwarder(void const* forwarder) : forwarder_(forwarder), outer_(current_) {
        current_ = this;
    }
    RunningForwarder(RunningForwarder const&) = delete;
    RunningForwarder& operator=(RunningForwarder const&) = delete;
    ~RunningForwarder() = default;
    void leave() { current_ = outer_; }

private:
    void const* const forwarder_;
    RunningForwarder* const outer_;
    static thread_local RunningForwarder* current_;
};

// One callback of a forwarder F (with a `retired_` flag) for the scope's lifetime. When it
// ends, also by an exception, a retired forwarder that runs no other callback here deletes
// itself: nothing may touch the forwarder after the scope.
template <typename F>
class ForwarderCall : private RunningForwarder {
public:
    explicit ForwarderCall(F* forwarder) : RunningForwarder(forwarder), forwarder_(forwarder) {}
    ~ForwarderCall() {
        leave();
        if (forwarder_->retired_ && !runsHere(forwarder_)) {
            delete forwarder_;
        }
    }

private:
    F* const forwarder_;
};

// Frees a forwarder the core no longer calls: at once, or when its running callback on this
// thread returns.
template <typename F>
void releaseForwarder(F* forwarder) {
    if (forwarder == nullptr) {
        return;
    }
    if (RunningForwarder::runsHere(forwarder)) {
        forwarder->retired_ = true;
    } else {
        delete forwarder;
    }
}

}  // namespace core
}  // namespace vexa
