#include "dcps/entity/EngineCalls.h"

#include <mutex>

namespace vexa::dcps {

void EngineCalls::begin() {
    std::lock_guard<CoreMutex> lock(mutex_);
    ++count_;
}

void EngineCalls::end() {
    std::function<void()> release;
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        if (--count_ > 0) {
            return;
        }
        release.swap(release_);
        done_.notify_all();
    }
    if (release) {
        release();
    }
}

void EngineCalls::drain() {
    std::unique_lock<CoreMutex> lock(mutex_);
    done_.wait(lock, [this] { return count_ == 0; });
}

void EngineCalls::releaseWhenIdle(std::function<void()> release) {
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        if (count_ > 0) {
            release_ = std::move(release);
            return;
        }
    }
    release();
}

bool EngineCalls::idle() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return count_ == 0 && !release_;
}

}  // namespace vexa::dcps
