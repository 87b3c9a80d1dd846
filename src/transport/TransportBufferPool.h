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

// The receive pool: read threads fill its buffers and report them; they reach the transport's
// participant oldest first and one at a time, and come back to the pool after the call. A read
// thread that reports while nothing waits and nobody delivers makes the call itself; otherwise
// the buffer is queued for the report thread, which then delivers the queue. The buffer
// returned last is handed out first, so its memory is still in the cache.
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
    TransportBuffer* getBuffer() {
        TransportBuffer* buffer = nullptr;
        getBuffers(&buffer, 1);
        return buffer;
    }
    // Up to max free buffers into `buffers`, at least one: waits while none is free. 0 once
    // stopped. A read thread takes several so that one receive call can fill them all.
    unsigned getBuffers(TransportBuffer** buffers, unsigned max);
    // Takes buffers back (nulls are ignored) and wakes waiting readers.
    void returnBuffer(TransportBuffer* buffer) { returnBuffers(&buffer, 1); }
    void returnBuffers(TransportBuffer* const* buffers, unsigned count);
    // Hands filled buffers, the first oldest, to the participant (nulls are ignored): on the
    // calling thread when no reported buffer waits and no delivery runs, else through the
    // queue. Either way the buffers go back to the pool afterwards; after stop they go back
    // undelivered.
    void reportBuffer(TransportBuffer* buffer) { reportBuffers(&buffer, 1); }
    void reportBuffers(TransportBuffer* const* buffers, unsigned count);

    // Releases the waiting readers, ends the report thread and waits for it and for a delivery
    // in progress on a read thread. Afterwards the participant is not called again and getBuffer
    // returns null. Not to be called from the participant's dataRecipient.
    void stop();

    unsigned getBufferSize() const { return m_size; }
    unsigned getCount() const { return m_count; }

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
    std::condition_variable m_reportCondition;     // the report thread waits on it
    std::condition_variable m_deliveredCondition;  // stop waits on it for m_delivering to clear
    std::vector<TransportBuffer*> m_reported;      // oldest first
    bool m_delivering = false;  // some thread is handing buffers to the participant

    std::vector<TransportBuffer*> m_processing;  // report thread only
    TransportThread m_thread;
};

}  // namespace RTPS
