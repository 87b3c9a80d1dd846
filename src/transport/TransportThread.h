#pragma once

#include <pthread.h>

namespace RTPS {

// A thread of the transport: started once through the OS layer, joined once. The owner ends
// the thread's loop (clears its flag and wakes it) before calling join.
class TransportThread {
public:
    TransportThread() = default;
    ~TransportThread();
    TransportThread(const TransportThread&) = delete;
    TransportThread& operator=(const TransportThread&) = delete;

    // Starts func(arg) with the priority offset; on failure logs `name` with the reason and
    // returns false.
    bool start(void (*func)(void*), void* arg, int priorityOffset, const char* name);

    // Waits for the thread's end; does nothing for a thread that never started or has been
    // joined already.
    void join();

    bool isStarted() const { return m_started; }

private:
    pthread_t m_id{};
    bool m_started = false;
};

}  // namespace RTPS
