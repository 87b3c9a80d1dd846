#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/io/TransportBuffer.h"
#include "transport/TransportThread.h"

namespace RTPS {

class RTPSDataTransportImpl;

// The receive pool: read threads fill its buffers and report them; its report thread hands
// them, oldest first, to the transport's participant and takes them back.
//
// Locks: the free mutex and the report mutex are never held together, and neither is held
// while the participant is called.
class TransportBufferPool {
public:
    TransportBufferPool(unsigned count, unsigned size, RTPSDataTransportImpl* transport);
    // Stops the report thread if it still runs.
    ~TransportBufferPool();
    TransportBufferPool(const TransportBufferPool&) = delete;
    TransportBufferPool& operator=(const TransportBufferPool&) = delete;

    // Creates the buffers and starts the report thread. False when count or size is 0, size
    // exceeds 65535, there is no transport or the thread cannot start.
    bool init(int reportTimeoutSeconds);

    // A free buffer; waits while none is free. Null once stopped.
    TransportBuffer* getBuffer();
    // Takes a buffer back (null is ignored) and wakes one waiting reader.
    void returnBuffer(TransportBuffer* buffer);
    // Queues a filled buffer for the participant (null is ignored).
    void reportBuffer(TransportBuffer* buffer);

    // Releases the waiting readers, ends the report thread and waits for it. Afterwards the
    // participant is not called again and getBuffer returns null. Not to be called from the
    // participant's dataRecipient.
    void stop();

    unsigned getBufferSize() const { return m_size; }

private:
    static void reportThread(void* self);
    void reportLoop();
    void deliver(TransportBuffer* buffer);

    const unsigned m_count;
    const unsigned m_size;
    RTPSDataTransportImpl* const m_transport;
    std::unique_ptr<uint8_t[]> m_storage;
    std::unique_ptr<TransportBuffer[]> m_buffers;
    int m_reportTimeout = 5;

    std::atomic<bool> m_running{false};

    std::mutex m_freeMutex;
    std::condition_variable m_freeCondition;
    std::vector<TransportBuffer*> m_free;

    std::mutex m_reportMutex;
    std::condition_variable m_reportCondition;
    std::vector<TransportBuffer*> m_reported;  // oldest first

    std::vector<TransportBuffer*> m_processing;  // report thread only
    TransportThread m_thread;
};

}  // namespace RTPS
