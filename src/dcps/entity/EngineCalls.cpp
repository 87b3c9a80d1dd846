#include "dcps/entity/EngineCalls.h"

#include <mutex>

namespace vexa::dcps {

void EngineCalls::begin() {
    count_.fetch_add(1, std::memory_order_relaxed);
}

void EngineCalls::end() {
    if (count_.fetch_sub(1) != 1 || !watched_.load()) {
        return;
    }
    std::function<void()> release;
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        if (count_.load() != 0) {
            return;  // a call began again: its end takes over
        }
        release.swap(release_);
        watchLocked();
        done_.notify_all();
    }
    if (release) {
        release();
    }
}

void EngineCalls::drain() {
    std::unique_lock<CoreMutex> lock(mutex_);
    ++drainers_;
    watchLocked();
    done_.wait(lock, [this] { return count_.load() == 0; });
    --drainers_;
    watchLocked();
}

void EngineCalls::releaseWhenIdle(std::function<void()> release) {
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        release_ = std::move(release);
        watchLocked();
        if (count_.load() > 0) {
            return;
        }
        release.swap(release_);
        watchLocked();
    }
    release();
}

bool EngineCalls::idle() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return count_.load() == 0 && !release_;
}

void EngineCalls::watchLocked() {
    watched_.store(drainers_ > 0 || static_cast<bool>(release_));
}

}  // namespace vexa::dcps
