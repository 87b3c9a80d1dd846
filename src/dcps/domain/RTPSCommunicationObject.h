#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>

#include "dcps/lock/OrderedMutex.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/wire/SequenceNumber.h"

namespace vexa::dcps {

class DomainParticipant;
class Reader;
class Subscriber;

// How the engine reports to one participant. The engine calls the first three operations on
// its own threads; they queue, count and wake the participant's data-handling thread, which
// reads and removes the changes through readMsg and deleteMsg.
//
// Counters: pending = changes queued and not yet gone; postponed = those of them a reader
// could not take yet. Every queued change that leaves (taken, dropped, unreadable, without an
// engine reader, or whose removal failed) lowers them once; they never go negative.
// Locks: the mutex is a leaf that guards the waiting flag for the thread's wait; changeAvailable
// raises pending before it queues the change and looks for a waiter only after, so a change
// reported between the thread's check and its wait is never left for the next tick, and a
// change filed at once is never counted out before it was counted in. statusChanged raises its
// flag before it looks for a waiter in the same way.
//
// Filing without the hand-off: when the data-handling thread sleeps and the changes just
// queued for user readers are all there is to file, the engine thread that announced them
// files them and signals the conditions itself, under the participant and subscriber mutexes,
// so the application's waiter is woken one thread-switch earlier. Order per writer holds
// because both ways drain the same queue in order under the participant mutex, which also
// makes them one at a time; DomainParticipant::stopHandlingData passes through that mutex
// after clearing the run flag, which is tested under it, so nothing is filed after the stop.
//
// A datagram at a time: inside a receive batch (RTPS::ReceiveBatch, which the message receiver
// opens around one datagram's changes) changeAvailable only queues and counts, and notes on a
// thread-local what the batch owes this object (how many changes, which subscribers, whether a
// built-in one); receiveBatchEnded then files them in one pass over the participant and
// subscriber mutexes, signalling each condition once, or wakes the data-handling thread once.
// So the application's waiter is woken once per datagram, not once per change, and does not
// meet the read thread again on the subscriber mutex for the next change. A datagram of one
// change ends its batch right after it. Off a batch (another engine thread) each change is
// settled in its own call. A subscriber noted in a batch is looked for in the participant's
// table under the participant mutex before it is touched: it may have gone meanwhile.
//
// The lock order on that road, decided here: the announcing thread (the transport's read
// thread or the engine's parser) holds no mutex, neither in changeAvailable nor when the
// batch ends: the transport pool's, the message receiver's queue mutex and the engine reader's
// proxies and history mutexes are released by then. It holds only marks that say it is inside
// the receive path, and holders of the participant or a subscriber mutex may wait for those
// to clear (closing waits for the receive path, stopping a reader for its receive count). So
// it only tries the participant mutex, then the subscriber mutex, and files nothing when
// either is taken; under them it waits for the input-queue mutex, the engine reader's history
// mutexes (getChange, deleteChange), Condition::mt_ and a wait set's mutex, in that order,
// none of whose holders waits for the receive path; this object's mutex is taken after all
// are released.
// Listeners are never called on that road: filing there is refused when the participant, the
// subscriber or one of its readers has one, and left to the data-handling thread.
class RTPSCommunicationObject : public RTPS::CommunicationObject {
public:
    explicit RTPSCommunicationObject(DomainParticipant* participant);

    bool changeAvailable(RTPS::Reader* reader, void* userData, RTPS::SampleInfo* sample) override;
    // Files or hands off what the batch that just ended on this thread queued.
    void receiveBatchEnded() override;
    void assertLiveliness(RTPS::Reader* reader, void* userData, unsigned int* guidPrefix,
                          unsigned int entityId) override;
    void participantLost(unsigned int* guidPrefix) override;

    // Reads an announced change; false (logged with `seq`, the number copied when it was
    // queued) when the engine refuses, or for a null reader.
    bool readMsg(RTPS::Reader* reader, RTPS::SampleInfo* handle, unsigned (&guidPrefix)[3],
                 unsigned& entityId, RTPS::SampleInfo& out, RTPS::SequenceNumber_t seq);
    // Removes an announced change from the engine (when there is a reader) and lowers the
    // counters whatever the engine answered; a refusal is logged with `seq`.
    void deleteMsg(RTPS::Reader* reader, RTPS::SampleInfo* handle, bool postponed,
                   RTPS::SequenceNumber_t seq);
    void postponeMsg() { ++postponed_; }

    int32_t pending() const { return pending_.load(); }
    int32_t postponed() const { return postponed_.load(); }

    // The data-handling thread's wait: until there is work that is not all postponed, the run
    // flag is cleared, or the deadline (monotonic microseconds) passes.
    void waitForWork(uint64_t deadlineMks, std::atomic<bool> const& running);
    // Wakes the data-handling thread (a change, or a stop).
    void wake();
    // Discovery changed a status on an engine thread (a match, a lost endpoint): the
    // data-handling thread makes a pass that tells the writers too, instead of at its next tick.
    void statusChanged();
    // True once per request.
    bool takeStatusChange() { return statusChanged_.exchange(false); }
    // A reader made room (a loan came back): while changes are postponed the data-handling
    // thread makes a pass at once, instead of at its next tick.
    void roomMade();
    // True once per request.
    bool takeRoomMade() { return roomMade_.exchange(false); }

private:
    // Files the `changes` just queued for the subscribers in `owed` on the calling thread when
    // the data-handling thread sleeps with nothing else to do; false when some were left to
    // that thread.
    bool fileHere(Subscriber* const* owed, size_t count, int32_t changes);
    // Wakes the thread when it waits.
    void wakeWaiter();
    void lowered(bool postponed);

    DomainParticipant* const participant_;
    std::atomic<int32_t> pending_{0};
    std::atomic<int32_t> postponed_{0};
    std::atomic<bool> waiting_{false};
    std::atomic<bool> statusChanged_{false};
    std::atomic<bool> roomMade_{false};
    CoreMutex mutex_;
    std::condition_variable_any condition_;
};

}  // namespace vexa::dcps
