#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/io/TransportBuffer.h"

namespace RTPS {

// The send pool: buffers the engine composes datagrams into. The most recently returned buffer
// is handed out first, so its memory is still in the cache.
class InputBufferPool {
public:
    static constexpr unsigned BUFFER_SIZE = 65536;
    // Length of one wait step of a taker while the pool is empty.
    static constexpr unsigned WAIT_STEP_MS = 10;

    explicit InputBufferPool(unsigned count);
    ~InputBufferPool();
    InputBufferPool(const InputBufferPool&) = delete;
    InputBufferPool& operator=(const InputBufferPool&) = delete;

    // A free buffer with length 0. While none is free, waits in steps of WAIT_STEP_MS with a
    // warning each step; a returned buffer wakes a waiter once two are free. Null once stopped.
    TransportBuffer* getTransportBuffer();

    // Takes a buffer back; null, foreign and already free buffers are ignored.
    void freeTransportBuffer(TransportBuffer* buffer);

    // Hands out nothing more, releases the waiting takers and returns once none of them is
    // still inside getTransportBuffer.
    void stop();

    unsigned getCount() const { return m_count; }

private:
    // Index of a buffer of this pool, or m_count for any other pointer.
    unsigned indexOf(const TransportBuffer* buffer) const;

    const unsigned m_count;
    std::unique_ptr<uint8_t[]> m_storage;
    std::unique_ptr<TransportBuffer[]> m_buffers;

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_available;
    std::condition_variable m_takersGone;
    std::vector<TransportBuffer*> m_free;
    std::vector<bool> m_isFree;
    unsigned m_waiting = 0;  // takers in a wait step
    unsigned m_inside = 0;   // takers inside getTransportBuffer
    bool m_running = true;
};

}  // namespace RTPS
