// The way in of received samples: the engine's announcements queued on its thread, then read,
// handed to the readers and removed from the engine on the data-handling thread.
#include <mutex>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/TimeService.h"
#include "rtps/history/SampleInfo.h"

namespace vexa::dcps {

bool Subscriber::ddsisampleHandler(Reader* reader, RTPS::SampleInfo* sample) {
    std::lock_guard<CoreMutex> lock(queueMutex_);
    if (reader->isMarked()) {
        return false;
    }
    if (queue_.size() == queue_.capacity()) {
        queue_.reserve(queue_.size() + 100);
    }
    IntakeEntry entry;
    entry.handle = sample;
    entry.reader = reader;
    TimeService::getHostTimeCount(entry.queued);
    entry.seq = sample->sequenceNumber;
    // Not delivered, but still taken out of the engine's history: a full history would refuse
    // the changes the reader is to get once it is enabled.
    entry.discard = !isEnabled() || !reader->isEnabled();
    queue_.push_back(entry);
    return true;
}

void Subscriber::ddsicashHandler() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (isMarked()) {
        return;
    }
    struct Pass {
        explicit Pass(Subscriber& s) : s(s) { s.currentPass_ = ++s.passes_; }
        ~Pass() { s.currentPass_ = 0; }
        Subscriber& s;
    } const pass(*this);
    // Postponed entries first, in their order; those postponed again make the new list.
    again_.clear();
    for (IntakeEntry const& entry : postponed_) {
        process(entry, true, again_);
    }
    postponed_.swap(again_);
    again_.clear();
    {
        std::lock_guard<CoreMutex> queue(queueMutex_);
        queue_.swap(working_);
    }
    for (IntakeEntry const& entry : working_) {
        process(entry, false, postponed_);
    }
    working_.clear();
}

bool Subscriber::fileWithoutHandoff() {
    // Never waits: the engine thread may hold what a holder of this mutex waits for (a reader
    // being stopped waits for the receive path).
    std::unique_lock<CoreRecursiveMutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || isMarked() || (listener_ != nullptr && listenerMask_ != 0)) {
        return false;
    }
    for (Reader const* r : readers_) {
        if (live(r) && r->getListener() != nullptr && r->getListenerMask() != 0) {
            return false;
        }
    }
    ddsicashHandler();
    // No listener is set, so the batch stays empty; the conditions are signalled.
    ListenerCalls::Batch none;
    notifyUser(nullptr, 0, none);
    return true;
}

void Subscriber::process(IntakeEntry const& entry, bool wasPostponed,
                         std::vector<IntakeEntry>& again) {
    Reader* const reader = entry.reader;
    RTPS::Reader* const engine = reader->getRTPS();
    if (reader->isMarked() || engine == nullptr) {
        leave(entry, nullptr, wasPostponed);  // the engine reader is gone or going
        return;
    }
    if (entry.discard) {
        leave(entry, engine, wasPostponed);
        return;
    }
    RTPSCommunicationObject& comm = *participant_->getCommunicationObject();
    unsigned prefix[3] = {0, 0, 0};
    unsigned entityId = 0;
    RTPS::SampleInfo sample{};
    if (!comm.readMsg(engine, entry.handle, prefix, entityId, sample, entry.seq)) {
        leave(entry, nullptr, wasPostponed);
        return;
    }
    vexa::dds::Duration_t queued = entry.queued;
    uint32_t const(&writerPrefix)[3] = prefix;
    int const result = reader->ddsisampleHandler(sample, queued, writerPrefix, entityId);
    if (result == Reader::POSTPONE) {
        if (again.size() == again.capacity()) {
            again.reserve(again.size() + 100);
        }
        again.push_back(entry);
        if (!wasPostponed) {
            comm.postponeMsg();
        }
        return;
    }
    if (result == Reader::ACCEPTED) {
        set_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
    }
    leave(entry, engine, wasPostponed);
}

void Subscriber::leave(IntakeEntry const& entry, RTPS::Reader* engine, bool wasPostponed) {
    participant_->getCommunicationObject()->deleteMsg(engine, entry.handle, wasPostponed,
                                                      entry.seq);
}

void Subscriber::dropEntries(Reader const* reader) {
    auto drop = [&](std::vector<IntakeEntry>& list, bool postponed) {
        size_t kept = 0;
        for (IntakeEntry const& entry : list) {
            if (reader == nullptr || entry.reader == reader) {
                leave(entry, nullptr, postponed);
            } else {
                list[kept++] = entry;
            }
        }
        list.resize(kept);
    };
    drop(postponed_, true);
    std::lock_guard<CoreMutex> queue(queueMutex_);
    drop(queue_, false);
}

void Subscriber::dropQueued() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    dropEntries(nullptr);
}

}  // namespace vexa::dcps
