// The participant's data-handling thread: 100 ms ticks of the participant clock with the
// periodic status checks, and the draining of the subscribers' queues in every pass.
#include <algorithm>
#include <mutex>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/os/OsTime.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"

namespace vexa::dcps {

namespace {

constexpr uint64_t TICK_MKS = 100000;
// A pass with nothing to do sleeps until this long after the next tick is due.
constexpr uint64_t TICK_SLACK_MKS = 500;
constexpr uint32_t STACK_SIZE = 0x100000;
constexpr size_t ERROR_TEXT = 2048;

thread_local bool tlsDataHandlingThread = false;

}  // namespace

bool DomainParticipant::onDataHandlingThread() {
    return tlsDataHandlingThread;
}

bool DomainParticipant::startHandlingData() {
    if (thread_ != 0) {
        return true;
    }
    // Set before the thread exists, so a stop issued at once is never lost.
    running_ = true;
    char errorText[ERROR_TEXT] = {};
    thread_ = vexa::OsStartNewThread(&DomainParticipant::DataHandlingThread, this,
                                     DCPSservice::getInstance().getThreadPriorityOffset(),
                                     STACK_SIZE, errorText, ERROR_TEXT);
    if (thread_ == 0) {
        running_ = false;
        vexalog::Logger::getLogger().logMessage("DCPS::DomainParticipant::startHandlingData", 2,
                                                vexares::DCPS_MSG_THREAD_NOT_STARTED, errorText);
        return false;
    }
    return true;
}

void DomainParticipant::stopHandlingData() {
    running_ = false;
    communication_->wake();
    // An engine thread files under the mutex after seeing the flag set: once this passed, none
    // does and none begins.
    { std::lock_guard<CoreRecursiveMutex> drained(mutex_); }
    if (thread_ == 0 || pthread_equal(thread_, pthread_self())) {
        // On the thread itself (a listener closed its participant): it ends after this pass
        // and the destructor joins it.
        return;
    }
    vexa::OsKillThread(thread_);
    thread_ = 0;
}

void DomainParticipant::DataHandlingThread(void* arg) {
    auto* dp = static_cast<DomainParticipant*>(arg);
    tlsDataHandlingThread = true;
    dp->clock_.catchUp();
    // Ticks follow the monotonic clock; the participant clock advances by exactly one tick.
    uint64_t tickBase = vexa::OsGetMonotonicMks();
    while (dp->running_.load()) {
        uint64_t const now = vexa::OsGetMonotonicMks();
        bool ticked = false;
        if (now >= tickBase + TICK_MKS) {
            dp->clock_.advance(TICK_MKS);
            tickBase += TICK_MKS;
            dp->periodicStatusCheck();
            ticked = true;
        }
        RTPSCommunicationObject& comm = *dp->communication_;
        int32_t const pending = comm.pending();
        // Taken whatever the count: a request left raised would keep the wait from sleeping.
        bool const roomMade = comm.takeRoomMade();
        bool const work = pending > 0 && (ticked || comm.postponed() < pending || roomMade);
        if (!work) {
            comm.waitForWork(tickBase + TICK_MKS + TICK_SLACK_MKS, dp->running_);
        }
        if (!dp->running_.load()) {
            break;
        }
        dp->handleSubscriptions();
    }
    tlsDataHandlingThread = false;
}

bool DomainParticipant::fileWithoutHandoff(Subscriber* const* owed, size_t count) {
    // Never waits: the engine thread may hold what a holder of this mutex waits for (the
    // receive path that close waits for).
    std::unique_lock<CoreRecursiveMutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || !running_.load() || isMarked() ||
        (listener_ != nullptr && listenerMask_ != 0)) {
        return false;
    }
    bool all = true;
    for (Subscriber* s : subscribers_) {
        if (s != nullptr && std::find(owed, owed + count, s) != owed + count &&
            !s->fileWithoutHandoff()) {
            all = false;
        }
    }
    return all;
}

void DomainParticipant::periodicStatusCheck() {
    ListenerCalls::Batch batch;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        listenerCalls_.open(batch);
        for (Publisher* p : publishers_) {
            if (p != nullptr && !p->isMarked() && p->isEnabled()) {
                p->periodicStatusCheckAndNotify(listener_, listenerMask_, batch);
            }
        }
        for (Subscriber* s : subscribers_) {
            if (s != nullptr && !s->isMarked() && s->isEnabled()) {
                s->periodicStatusCheckAndNotify(listener_, listenerMask_, batch);
            }
        }
    }
    // A listener may write and wait: the engine's threads need the mutexes meanwhile.
    listenerCalls_.run(batch);
}

void DomainParticipant::handleSubscriptions() {
    bool const statusChanged = communication_->takeStatusChange();
    ListenerCalls::Batch batch;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        listenerCalls_.open(batch);
        if (builtinSubscriber_ != nullptr) {
            builtinSubscriber_->ddsicashHandler();
        }
        for (Subscriber* s : subscribers_) {
            if (s != nullptr && !s->isMarked()) {
                s->ddsicashHandler();
            }
        }
        if (builtinSubscriber_ != nullptr) {
            builtinSubscriber_->notifyUser(listener_, listenerMask_, batch);
        }
        for (Subscriber* s : subscribers_) {
            if (s != nullptr && !s->isMarked()) {
                s->notifyUser(listener_, listenerMask_, batch);
            }
        }
        // The readers were told above, as on every pass.
        if (statusChanged) {
            for (Publisher* p : publishers_) {
                if (p != nullptr && !p->isMarked() && p->isEnabled()) {
                    p->notifyStatus(listener_, listenerMask_, batch);
                }
            }
        }
    }
    listenerCalls_.run(batch);
}

}  // namespace vexa::dcps
