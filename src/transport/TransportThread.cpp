#include "transport/TransportThread.h"

#include "common/os/OsThread.h"
#include "transport/TransportLog.h"

namespace RTPS {

TransportThread::~TransportThread() {
    join();
}

bool TransportThread::start(void (*func)(void*), void* arg, int priorityOffset, const char* name) {
    char reason[256] = {};
    const pthread_t id =
        vexa::OsStartNewThread(func, arg, priorityOffset, 0, reason, sizeof reason);
    if (id == 0) {
        transportLog("TransportThread::start", SEVERITY_ERROR, MSG_THREAD_NOT_STARTED, name,
                     static_cast<const char*>(reason));
        return false;
    }
    m_id = id;
    m_started = true;
    return true;
}

void TransportThread::join() {
    if (m_started) {
        vexa::OsKillThread(m_id);
        m_started = false;
    }
}

}  // namespace RTPS
