#include "transport/InputBufferPool.h"

#include <chrono>

#include "transport/TransportLog.h"

namespace RTPS {

InputBufferPool::InputBufferPool(unsigned count)
    : m_count(count),
      m_storage(new uint8_t[static_cast<size_t>(count) * BUFFER_SIZE]),
      m_buffers(new TransportBuffer[count]),
      m_isFree(count, true) {
    m_free.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        m_buffers[i].data = m_storage.get() + static_cast<size_t>(i) * BUFFER_SIZE;
        m_buffers[i].length = 0;
        m_free.push_back(&m_buffers[i]);
    }
}

InputBufferPool::~InputBufferPool() {
    stop();
}

unsigned InputBufferPool::indexOf(const TransportBuffer* buffer) const {
    const TransportBuffer* first = m_buffers.get();
    if (buffer < first || buffer >= first + m_count) {
        return m_count;
    }
    return static_cast<unsigned>(buffer - first);
}

TransportBuffer* InputBufferPool::getTransportBuffer() {
    TransportBuffer* buffer = nullptr;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_inside;
        while (m_running && m_free.empty()) {
            ++m_waiting;
            lock.unlock();
            transportLog("InputBufferPool::getTransportBuffer", SEVERITY_WARNING,
                         vexares::RTPS_MSG_NO_FREE_SEND_BUFFER);
            lock.lock();
            m_available.wait_for(lock, std::chrono::milliseconds(WAIT_STEP_MS),
                                 [this] { return !m_running || m_free.size() >= 2; });
            --m_waiting;
        }
        if (m_running) {
            buffer = m_free.back();
            m_free.pop_back();
            m_isFree[indexOf(buffer)] = false;
            buffer->length = 0;
        }
        if (--m_inside == 0 && !m_running) {
            m_takersGone.notify_all();
        }
    }
    // No sched_yield here: under real-time scheduling the dispatcher outranks every engine
    // thread and runs as soon as a send wakes it, and under normal scheduling a yield hands the
    // processor to whatever else is runnable on the machine, which stalls a busy sender.
    return buffer;
}

void InputBufferPool::freeTransportBuffer(TransportBuffer* buffer) {
    const unsigned index = indexOf(buffer);
    if (index == m_count) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_isFree[index]) {
        return;
    }
    m_isFree[index] = true;
    m_free.push_back(buffer);
    if (m_waiting > 0 && m_free.size() >= 2) {
        m_available.notify_one();
    }
}

void InputBufferPool::stop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = false;
    m_available.notify_all();
    m_takersGone.wait(lock, [this] { return m_inside == 0; });
}

}  // namespace RTPS
