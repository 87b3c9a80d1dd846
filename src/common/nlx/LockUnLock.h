#ifndef VEXA_NLX_LOCKUNLOCK_H
#define VEXA_NLX_LOCKUNLOCK_H

#include <pthread.h>

namespace NLX {

// Holds a mutex for its scope. A null mutex is neither locked nor unlocked (a logger's lock
// before the first logger exists or after the last one is gone). A failing lock is reported
// on the wide console and the scope goes on unlocked.
class LockUnLock {
public:
    explicit LockUnLock(pthread_mutex_t* mutex);
    LockUnLock(const LockUnLock&) = delete;
    LockUnLock& operator=(const LockUnLock&) = delete;
    virtual ~LockUnLock();

private:
    pthread_mutex_t* m_mutex;
    bool m_locked = false;
};

}  // namespace NLX

#endif
