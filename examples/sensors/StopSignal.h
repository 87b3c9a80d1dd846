#pragma once

// Turns SIGINT and SIGTERM into a guard condition that the program's wait sets wake on, so the
// program leaves its loop and closes its participant, which tells the peers at once that it is
// gone (a killed one is noticed only when its lease ends).
//
// No signal handler runs: the signals are blocked in every thread and one watcher thread takes
// them with sigwait, then triggers the guard condition as an ordinary thread may. Make the
// StopSignal before the participant, so the middleware's threads inherit the blocked mask.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "dds/core/cond/GuardCondition.hpp"

class StopSignal {
public:
    StopSignal() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        // Sent only by the destructor, to end the watcher when no stop signal came.
        sigaddset(&signals_, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        watcher_ = std::thread([this] {
            int signal = 0;
            while (sigwait(&signals_, &signal) == 0) {
                if (signal == SIGUSR1) {
                    return;
                }
                received_.store(signal);
                guard_.trigger_value(true);
                return;
            }
        });
    }

    ~StopSignal() {
        if (received_.load() == 0) {
            pthread_kill(watcher_.native_handle(), SIGUSR1);
        }
        watcher_.join();
    }

    StopSignal(StopSignal const&) = delete;
    StopSignal& operator=(StopSignal const&) = delete;

    // Attach it to every wait set the program blocks on.
    dds::core::cond::GuardCondition const& condition() const { return guard_; }
    // The signal that asked for the stop, 0 while none came.
    int received() const { return received_.load(); }

private:
    sigset_t signals_;
    dds::core::cond::GuardCondition guard_;
    std::atomic<int> received_{0};
    std::thread watcher_;
};
