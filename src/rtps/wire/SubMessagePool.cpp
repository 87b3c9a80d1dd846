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
        if (!m_changed.wait_for(lock, WAIT_STEP,
                                [this] { return !m_running || !m_stack.empty(); })) {
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
