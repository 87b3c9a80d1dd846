#include "rtps/SubMessagePool.h"

#include <chrono>

namespace RTPS {

namespace {
constexpr std::chrono::milliseconds WAIT_STEP(25);
}

SubMessagePool::SubMessagePool(unsigned int count) {
    m_stack.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        m_stack.push_back(new SubMessage());
    }
}

SubMessagePool::~SubMessagePool() {
    stop();
    for (SubMessage* s : m_stack) {
        delete s;
    }
}

SubMessage* SubMessagePool::getSubmessage(SubmessageKind kind, TransportPriorityLevel priority) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiters;
    while (m_running && m_stack.empty()) {
        // Each step without a submessage is worth a warning once the engine logs.
        m_changed.wait_for(lock, WAIT_STEP, [this] { return !m_running || !m_stack.empty(); });
    }
    --m_waiters;
    if (!m_running) {
        m_changed.notify_all();  // stop() may wait for the last waiter
        return nullptr;
    }
    SubMessage* s = m_stack.back();
    m_stack.pop_back();
    lock.unlock();
    s->init(kind, priority);
    return s;
}

void SubMessagePool::freeSubmessage(SubMessage* submessage) {
    if (submessage == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stack.push_back(submessage);
    }
    m_changed.notify_one();
}

void SubMessagePool::stop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = false;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_waiters == 0; });
}

size_t SubMessagePool::available() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stack.size();
}

}  // namespace RTPS
