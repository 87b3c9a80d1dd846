#include "dcps/domain/RTPSCommunicationObject.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <mutex>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/ReceiveBatch.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/reader/Reader.h"

namespace vexa::dcps {

namespace {
char const MODULE_CHANGE[] = "DCPS::RTPSCommunicationObject::changeAvailable";
char const MODULE_READ[] = "DCPS::RTPSCommunicationObject::readMsg";
char const MODULE_DELETE[] = "DCPS::RTPSCommunicationObject::deleteMsg";

// What the receive batch open on this thread owes one communication object: the changes it
// queued, and the subscribers they went to (a built-in change is left to the thread).
struct Owed {
    RTPSCommunicationObject const* owner = nullptr;  // null: a free entry
    int32_t changes = 0;
    bool builtin = false;
    std::vector<Subscriber*> subscribers;
};

// Kept with their capacity from batch to batch: the receive path allocates nothing for them.
thread_local std::vector<Owed> tlsOwed;
thread_local std::vector<Subscriber*> tlsSettling;

// This thread's entry for `owner`; with `add`, a free one is taken when it has none.
Owed* owedHere(RTPSCommunicationObject const* owner, bool add) {
    Owed* free = nullptr;
    for (Owed& owed : tlsOwed) {
        if (owed.owner == owner) {
            return &owed;
        }
        if (owed.owner == nullptr && free == nullptr) {
            free = &owed;
        }
    }
    if (!add) {
        return nullptr;
    }
    if (free == nullptr) {
        free = &tlsOwed.emplace_back();
    }
    free->owner = owner;
    return free;
}
}  // namespace

RTPSCommunicationObject::RTPSCommunicationObject(DomainParticipant* participant)
    : participant_(participant), mutex_(LockLevel::Leaf, "RTPSCommunicationObject") {}

bool RTPSCommunicationObject::changeAvailable(RTPS::Reader* reader, void* userData,
                                              RTPS::SampleInfo* sample) {
    if (!participant_->isCreated()) {
        // Still being created: the factory holds the participant mutex until it is done.
        std::lock_guard<CoreRecursiveMutex> wait(participant_->getMutex());
    }
    // Counted before it is queued: the data-handling thread may file and remove the change
    // before this call returns, and pending must never drop below what is queued.
    ++pending_;
    bool queued = false;
    Subscriber* subscriber = nullptr;
    if (userData != nullptr) {
        vexalog::Logger::getLogger().logMessage(
            MODULE_CHANGE, 7, vexares::DCPS_MSG_CHANGE_AVAILABLE, sample->sequenceNumber.high,
            sample->sequenceNumber.low);
        auto* dcpsReader = static_cast<Reader*>(userData);
        if (!dcpsReader->isMarked()) {
            subscriber = dcpsReader->getSubscriber();
            queued = subscriber->ddsisampleHandler(dcpsReader, sample);
        }
    } else if (SubscriberBuiltin* builtin = participant_->getBuiltinSubscriber()) {
        queued = builtin->ddsisampleHandler(reader, sample);
    }
    if (!queued) {
        --pending_;
        return false;
    }
    if (RTPS::ReceiveBatch::defer(this)) {
        // Filed or handed off once, when the datagram's last change is queued.
        Owed& owed = *owedHere(this, true);
        ++owed.changes;
        if (subscriber == nullptr) {
            owed.builtin = true;
        } else if (std::find(owed.subscribers.begin(), owed.subscribers.end(), subscriber) ==
                   owed.subscribers.end()) {
            owed.subscribers.push_back(subscriber);
        }
        return true;
    }
    if (subscriber != nullptr && fileHere(&subscriber, 1, 1)) {
        return true;
    }
    wakeWaiter();
    return true;
}

void RTPSCommunicationObject::receiveBatchEnded() {
    Owed* const owed = owedHere(this, false);
    if (owed == nullptr) {
        return;
    }
    int32_t const changes = owed->changes;
    bool const builtin = owed->builtin;
    // Taken out before filing, and the entry freed: nothing of this batch is settled twice.
    std::vector<Subscriber*>& settling = tlsSettling;
    settling.swap(owed->subscribers);
    owed->owner = nullptr;
    owed->changes = 0;
    owed->builtin = false;
    // The data-handling thread files built-in changes: it is woken for them anyway.
    bool const filed = !builtin && fileHere(settling.data(), settling.size(), changes);
    settling.clear();
    if (!filed) {
        wakeWaiter();
    }
}

bool RTPSCommunicationObject::fileHere(Subscriber* const* owed, size_t count, int32_t changes) {
    // Only when the thread sleeps and these changes are all there is to file: otherwise it has
    // the work in hand, and they wait their turn behind the others.
    if (!waiting_.load() || pending_.load() != postponed_.load() + changes ||
        DomainParticipant::onDataHandlingThread()) {
        return false;
    }
    return participant_->fileWithoutHandoff(owed, count);
}

void RTPSCommunicationObject::wakeWaiter() {
    if (waiting_.load()) {
        {
            std::lock_guard<CoreMutex> lock(mutex_);
            waiting_ = false;
        }
        // After the unlock: the woken thread does not wait for this mutex first.
        condition_.notify_one();
    }
}

void RTPSCommunicationObject::assertLiveliness(RTPS::Reader* reader, void* userData,
                                               unsigned int* guidPrefix, unsigned int entityId) {
    (void)reader;
    if (userData == nullptr) {
        std::lock_guard<CoreRecursiveMutex> lock(participant_->getMutex());
        SubscriberBuiltin* builtin = participant_->getBuiltinSubscriber();
        if (!participant_->isMarked() && builtin != nullptr) {
            builtin->assertLiveliness(guidPrefix, entityId != 0);
        }
        return;
    }
    auto* dcpsReader = static_cast<Reader*>(userData);
    if (!dcpsReader->isMarked()) {
        dcpsReader->getSubscriber()->assertLiveliness(dcpsReader, guidPrefix, entityId);
    }
}

void RTPSCommunicationObject::participantLost(unsigned int* guidPrefix) {
    std::lock_guard<CoreRecursiveMutex> lock(participant_->getMutex());
    if (SubscriberBuiltin* builtin = participant_->getBuiltinSubscriber()) {
        builtin->participantLostByRTPS(guidPrefix);
    }
}

bool RTPSCommunicationObject::readMsg(RTPS::Reader* reader, RTPS::SampleInfo* handle,
                                      unsigned (&guidPrefix)[3], unsigned& entityId,
                                      RTPS::SampleInfo& out, RTPS::SequenceNumber_t seq) {
    if (reader == nullptr) {
        return false;
    }
    try {
        reader->getChange(handle, &guidPrefix, &entityId, out);
        return true;
    } catch (std::exception const& e) {
        vexalog::Logger::getLogger().logMessage(
            MODULE_READ, 3, vexares::DCPS_MSG_READ_CHANGE_FAILED, seq.high, seq.low, e.what());
    }
    return false;
}

void RTPSCommunicationObject::deleteMsg(RTPS::Reader* reader, RTPS::SampleInfo* handle,
                                        bool postponed, RTPS::SequenceNumber_t seq) {
    if (reader != nullptr) {
        try {
            reader->deleteChange(handle);
        } catch (std::exception const& e) {
            vexalog::Logger::getLogger().logMessage(MODULE_DELETE, 3,
                                                    vexares::DCPS_MSG_DELETE_CHANGE_FAILED,
                                                    seq.high, seq.low, e.what());
        }
    }
    lowered(postponed);
}

void RTPSCommunicationObject::lowered(bool postponed) {
    int32_t const before = pending_.fetch_sub(1);
    assert(before > 0 && "pending never goes negative");
    if (before <= 0) {
        ++pending_;
    }
    if (postponed) {
        int32_t const p = postponed_.fetch_sub(1);
        assert(p > 0 && "postponed never goes negative");
        if (p <= 0) {
            ++postponed_;
        }
    }
}

void RTPSCommunicationObject::waitForWork(uint64_t deadlineMks, std::atomic<bool> const& running) {
    uint64_t const now = vexa::OsGetMonotonicMks();
    if (deadlineMks <= now) {
        return;
    }
    auto const deadline =
        std::chrono::steady_clock::now() + std::chrono::microseconds(deadlineMks - now);
    std::unique_lock<CoreMutex> lock(mutex_);
    waiting_ = true;
    condition_.wait_until(lock, deadline, [&] {
        if (!running.load() || pending_.load() > postponed_.load() || statusChanged_.load() ||
            roomMade_.load()) {
            return true;
        }
        waiting_ = true;  // a waker cleared it: the next change must wake us again
        return false;
    });
    waiting_ = false;
}

void RTPSCommunicationObject::statusChanged() {
    statusChanged_ = true;
    wakeWaiter();
}

void RTPSCommunicationObject::roomMade() {
    if (postponed_.load() > 0) {
        roomMade_ = true;
        wakeWaiter();
    }
}

void RTPSCommunicationObject::wake() {
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        waiting_ = false;
    }
    condition_.notify_all();
}

}  // namespace vexa::dcps
