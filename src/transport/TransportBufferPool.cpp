#include "transport/TransportBufferPool.h"

#include <chrono>
#include <exception>

#include "transport/RTPSDataTransportImpl.h"
#include "transport/TransportLog.h"

namespace RTPS {

namespace {
constexpr int REPORT_THREAD_PRIORITY_OFFSET = 1;
}

TransportBufferPool::TransportBufferPool(unsigned count, unsigned size,
                                         RTPSDataTransportImpl* transport)
    : m_count(count), m_size(size), m_transport(transport) {}

TransportBufferPool::~TransportBufferPool() {
    stop();
}

bool TransportBufferPool::init(int reportTimeoutSeconds) {
    if (m_count == 0 || m_size == 0 || m_size > 65535 || m_transport == nullptr ||
        m_buffers != nullptr) {
        return false;
    }
    m_storage.reset(new uint8_t[static_cast<size_t>(m_count) * m_size]);
    m_buffers.reset(new TransportBuffer[m_count]);
    m_free.reserve(m_count);
    m_reported.reserve(m_count);
    m_processing.reserve(m_count);
    for (unsigned i = 0; i < m_count; ++i) {
        m_buffers[i].data = m_storage.get() + static_cast<size_t>(i) * m_size;
        m_buffers[i].length = 0;
        m_free.push_back(&m_buffers[i]);
    }
    m_reportTimeout = reportTimeoutSeconds > 0 ? reportTimeoutSeconds : 1;
    m_running = true;
    if (!m_thread.start(reportThread, this, REPORT_THREAD_PRIORITY_OFFSET,
                        "TransportBufferPool::reportThread")) {
        m_running = false;
        return false;
    }
    return true;
}

unsigned TransportBufferPool::getBuffers(TransportBuffer** buffers, unsigned max) {
    if (max == 0) {
        return 0;
    }
    std::unique_lock<std::mutex> lock(m_freeMutex);
    while (m_running && m_free.empty()) {
        lock.unlock();
        transportLog("TransportBufferPool::getBuffer", SEVERITY_WARNING,
                     vexares::RTPS_MSG_NO_FREE_RECEIVE_BUFFER);
        lock.lock();
        m_freeCondition.wait(lock, [this] { return !m_running || !m_free.empty(); });
    }
    if (!m_running) {
        return 0;
    }
    unsigned taken = 0;
    while (taken < max && !m_free.empty()) {
        buffers[taken++] = m_free.back();
        m_free.pop_back();
    }
    return taken;
}

void TransportBufferPool::returnBuffers(TransportBuffer* const* buffers, unsigned count) {
    if (count == 0) {
        return;
    }
    unsigned returned = 0;
    {
        std::lock_guard<std::mutex> lock(m_freeMutex);
        // Last first: the first of them was taken first and is handed out first again, so a
        // read thread that takes several but fills one keeps receiving into the same memory,
        // which is still in the cache.
        for (unsigned i = count; i-- > 0;) {
            if (buffers[i] != nullptr) {
                m_free.push_back(buffers[i]);
                ++returned;
            }
        }
    }
    if (returned == 1) {
        m_freeCondition.notify_one();
    } else if (returned > 1) {
        m_freeCondition.notify_all();
    }
}

void TransportBufferPool::reportBuffers(TransportBuffer* const* buffers, unsigned count) {
    if (count == 0) {
        return;
    }
    bool deliverHere = false;
    {
        std::lock_guard<std::mutex> lock(m_reportMutex);
        if (m_running && !m_delivering && m_reported.empty()) {
            m_delivering = true;
            deliverHere = true;
        } else if (m_running) {
            // Behind what waits or is being delivered. No wake is needed: the report thread
            // looks at the list after its own batch, and a read thread that delivers wakes it
            // on leaving.
            for (unsigned i = 0; i < count; ++i) {
                if (buffers[i] != nullptr) {
                    m_reported.push_back(buffers[i]);
                }
            }
            return;
        }
    }
    if (deliverHere) {
        for (unsigned i = 0; i < count && m_running; ++i) {
            if (buffers[i] != nullptr) {
                deliver(buffers[i]);
            }
        }
    }
    returnBuffers(buffers, count);
    if (!deliverHere) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_reportMutex);
    m_delivering = false;
    if (!m_reported.empty()) {
        m_reportCondition.notify_one();
    }
    if (!m_running) {
        m_deliveredCondition.notify_all();
    }
}

void TransportBufferPool::stop() {
    // The flag changes under the free mutex and the report mutex is taken after it, so no
    // waiter can test the flag and then miss the wake.
    {
        std::lock_guard<std::mutex> lock(m_freeMutex);
        m_running = false;
    }
    m_freeCondition.notify_all();
    {
        std::unique_lock<std::mutex> lock(m_reportMutex);
        m_reportCondition.notify_all();
        // A read thread inside the participant finishes that call; none starts another.
        m_deliveredCondition.wait(lock, [this] { return !m_delivering; });
    }
    m_thread.join();
}

void TransportBufferPool::deliver(TransportBuffer* buffer) {
    // An exception must not end the report thread: every later datagram would be lost.
    try {
        m_transport->dataAvailable(buffer->data, buffer->length);
    } catch (const std::exception& e) {
        transportLog("TransportBufferPool::reportWorker", SEVERITY_ERROR,
                     vexares::RTPS_MSG_PARTICIPANT_EXCEPTION, unsigned{buffer->length}, e.what());
    } catch (...) {
        transportLog("TransportBufferPool::reportWorker", SEVERITY_ERROR,
                     vexares::RTPS_MSG_PARTICIPANT_EXCEPTION, unsigned{buffer->length}, "...");
    }
}

void TransportBufferPool::reportThread(void* self) {
    static_cast<TransportBufferPool*>(self)->reportLoop();
}

void TransportBufferPool::reportLoop() {
    const auto idle = std::chrono::seconds(m_reportTimeout);
    std::unique_lock<std::mutex> lock(m_reportMutex);
    while (m_running) {
        if (m_reported.empty() || m_delivering) {
            // A read thread that delivers wakes this one when it leaves something behind.
            m_reportCondition.wait_for(lock, idle, [this] {
                return !m_running || (!m_reported.empty() && !m_delivering);
            });
            continue;
        }
        m_processing.swap(m_reported);
        m_delivering = true;
        lock.unlock();
        for (TransportBuffer* buffer : m_processing) {
            if (m_running) {
                deliver(buffer);
            }
            returnBuffer(buffer);
        }
        m_processing.clear();
        lock.lock();
        m_delivering = false;
        m_deliveredCondition.notify_all();
    }
}

}  // namespace RTPS
