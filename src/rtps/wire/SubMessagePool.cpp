#include "rtps/wire/SubMessagePool.h"

#include <chrono>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

namespace {
constexpr std::chrono::milliseconds WAIT_STEP(25);
}

SubMessagePool::SubMessagePool(unsigned int count) {
    m_stack.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        m_stack.push_back(new SubMessage());
    }
    m_available.store(m_stack.size(), std::memory_order_relaxed);
}

SubMessagePool::~SubMessagePool() {
    stop();
    for (SubMessage* s : m_stack) {
        delete s;
    }
}

bool SubMessagePool::waitFor(std::unique_lock<std::mutex>& lock, size_t count) {
    ++m_waiters;
    while (m_running && m_stack.size() < count) {
        if (!m_changed.wait_for(lock, WAIT_STEP,
                                [this, count] { return !m_running || m_stack.size() >= count; })) {
            // The pool's mutex is a leaf: the logger is called without it.
            lock.unlock();
            vexalog::Logger::getLogger().logMessage("SubMessagePool::getSubmessage",
                                                    vexalog::Logger::SEV_WARNING,
                                                    vexares::RTPS_MSG_NO_FREE_SUBMESSAGE);
            lock.lock();
        }
    }
    --m_waiters;
    if (!m_running) {
        m_changed.notify_all();  // stop() may wait for the last waiter
        return false;
    }
    return true;
}

SubMessage* SubMessagePool::popLocked() {
    SubMessage* s = m_stack.back();
    m_stack.pop_back();
    m_available.store(m_stack.size(), std::memory_order_relaxed);
    return s;
}

SubMessage* SubMessagePool::getSubmessage(SubmessageKind kind, TransportPriorityLevel priority) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!waitFor(lock, 1)) {
        return nullptr;
    }
    SubMessage* s = popLocked();
    lock.unlock();
    s->init(kind, priority);
    return s;
}

bool SubMessagePool::getSubmessagePair(SubmessageKind kind, TransportPriorityLevel priority,
                                       SubMessage*& first, SubMessage*& second) {
    first = nullptr;
    second = nullptr;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!waitFor(lock, 2)) {
        return false;
    }
    first = popLocked();
    second = popLocked();
    lock.unlock();
    first->init(kind, priority);
    second->init(kind, priority);
    return true;
}

void SubMessagePool::freeSubmessage(SubMessage* submessage) {
    if (submessage == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stack.push_back(submessage);
        m_available.store(m_stack.size(), std::memory_order_relaxed);
    }
    // All: a pair taker may wait behind a single one.
    m_changed.notify_all();
}

void SubMessagePool::freeSubmessages(std::vector<SubMessage*>& submessages) {
    if (submessages.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (SubMessage* s : submessages) {
            if (s != nullptr) {
                m_stack.push_back(s);
            }
        }
        m_available.store(m_stack.size(), std::memory_order_relaxed);
    }
    submessages.clear();
    m_changed.notify_all();
}

void SubMessagePool::stop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = false;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_waiters == 0; });
}

}  // namespace RTPS
