#include "common/nlx/LockUnLock.h"

#include <cstdint>
#include <iostream>

namespace NLX {

LockUnLock::LockUnLock(pthread_mutex_t* mutex) : m_mutex(mutex) {
    if (m_mutex == nullptr) {
        return;
    }
    if (pthread_mutex_lock(m_mutex) == 0) {
        m_locked = true;
        return;
    }
    std::wcout << L" ERRRROR.... LOCK: " << reinterpret_cast<std::intptr_t>(m_mutex) << std::endl;
}

LockUnLock::~LockUnLock() {
    // Unlocking a mutex this thread failed to lock would release another thread's hold.
    if (m_locked) {
        pthread_mutex_unlock(m_mutex);
    }
}

}  // namespace NLX
