#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "rtps/wire/AckNAckData.h"
#include "rtps/wire/NAckFragData.h"
#include "rtps/writer/BusyCount.h"
#include "rtps/writer/ReaderProxy.h"
#include "rtps/writer/WriterImpl.h"

namespace RTPS {

class MessageComposer;
class RTPSOutSocket;
class RTPSTaskScheduler;

// The reliable writer: one proxy per matched remote reader, DATA pushed (or sent on request),
// HEARTBEATs for what is unacknowledged, answers to ACKNACK and NACK_FRAG after a response
// delay, GAPs for changes a reader will never get. A change leaves the history only once every
// matched reader has acknowledged it. Also the base of the reliable built-in writers.
//
// Timed work runs on the participant's scheduler (no thread of its own): task 3
// (reliableTask, periodic), task 4 (deferredTask, one-shot per proxy) and task 5
// (nackSuppressionTask, one-shot). Rows of tasks 4 and 5 carry the reader's GUID, never a
// proxy pointer: the task looks the proxy up when it runs, so a proxy may go at any time.
//
// Ownership: every ChangeForReader holds one loan on its change; entries of a removed change
// are pruned from every proxy, and a removed proxy gives back all of its loans.
//
// Lock order: the matched-readers mutex (recursive) before a proxy's mutex, before the
// history's mutexes; the composer and the scheduler's addTask, wakeTask, runWithin and
// removeTask(id) are called under it (their locks are leaves). Never held while calling the
// participant (modifyWriter, reportAllDelivered, getReaderConfig), around removeTask(object), or
// while addChange waits for acknowledgements. The description mutex is never held together with
// it. Passes run under the writer's send role (drain), a flag nobody waits for: they queue their
// datagrams under the mutex and hand them to the transport after releasing it, so a writing
// thread (under the core's locks) never waits for a pass's sends. It stores its change and
// drains when the role is free; when another thread holds it, it returns and the holder sends
// the change before it gives the role up. Answers to ACKNACKs and NACK_FRAGs still send under
// the mutex (a writing thread may wait for one of those).
//
// A writing thread never waits for the matched-readers mutex while another thread holds it (a
// pass, an answer, an ACKNACK): it leaves the change it stored in the stored-changes list (its
// own leaf mutex, taken under the matched-readers mutex or alone) and the task's pass sends it;
// whoever takes the matched-readers mutex next enters the listed changes in every proxy before
// anything else (MatchedLock), so a holder never sees a change in the history that a proxy
// lacks, save one stored after it took the mutex (as before, while store waited for it). Every
// removal from the history runs under the matched-readers mutex, which is what keeps a listed
// change alive without a loan. A deletion from the writing thread that finds the mutex taken
// leaves the change marked and the task due to free it, if a later write, an acknowledgement
// or a full history has not done so by then.
class StatefulWriter : public WriterImpl {
public:
    // Throws as WriterImpl does, and GENERAL_DDSI_ERROR when the participant has no
    // configuration, scheduler or composer.
    StatefulWriter(Participant* participant, EndpointConfig const* config,
                   vexa::dds::PublicationBuiltinTopicData const* data, int32_t transportPriority);
    // Stops a writer still running, then destroys every proxy.
    ~StatefulWriter() override;

    // Task 3 for a reliable writer: periodic, first run at once.
    void start() override;
    // Inactive from now on; waits until no worker, ACKNACK or removal is inside and removes
    // every scheduler row of the writer. Never call it from one of the writer's tasks.
    void stop() override;
    // Waits for room while the history is full (CHANGE_NOT_TAKEN after the reliability's
    // maximum blocking time, or when the writer stops), stores the change and enters it in
    // every proxy.
    int64_t addChange(SampleInfo* sample) override;
    // As addChange, but CHANGE_NOT_TAKEN at once when the history stays full after the removal
    // pass.
    int64_t addNow(SampleInfo* sample) override;
    // Runs the removal pass each time an acknowledgement (or a removed reader) may have made
    // room; false at the deadline or when the writer stops. time_point::max(): no deadline.
    bool waitForRoom(std::chrono::steady_clock::time_point deadline) override;
    // Marks the change for removal and removes it (and up to two other marked ones) when every
    // reader has acknowledged it. True when the history held it.
    bool deleteChange(long handle) override;
    // Withdraws the change (GAP to the readers that have not acknowledged it). Throws
    // BAD_PARAMETERS as deleteChange does.
    bool dropChange(long handle) override;
    // A HEARTBEAT with the final and liveliness flags to every matched reader.
    void assertLiveliness() override;
    // A change a writing thread listed while the readers were held is not delivered yet.
    bool allDelivered() override { return m_storedCount.load() == 0 && WriterImpl::allDelivered(); }
    void checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) override;
    void checkMatchedReader(DiscoveredReaderData const* data) override;
    void removeMatchedReaders(GUID_t remote) override;

    // Takes the proxy: adds it (loading the history when the reader is to get it) unless the
    // writer is inactive or already has that reader.
    void matched_reader_add(ReaderProxy* proxy);
    // Takes the proxy out of the list and destroys it.
    void matched_reader_remove(GUID_t const& reader);
    // Whether a proxy of that reader is matched (false while inactive).
    bool matched_reader_lookup(GUID_t const& reader);
    void matchedAddMulticastLocator(GUID_t const& reader, Locator_t& locator) override;
    // A remote built-in reader: a proxy to its first unicast locator, whatever its description.
    bool matchedReaderAdd(ReaderProxyInfo const& reader) override;

    // From the message receiver, on the parser thread. Stale counts, unknown readers and a
    // stopped writer: dropped, false.
    bool acknack(AckNAckData* data) override;
    bool nackfrag(NAckFragData* data) override;

    // True when every matched reliable reader has acknowledged sn (or none is matched);
    // best-effort readers never hold a change back.
    bool checkDelivered(SequenceNumber_t const& sn);
    // Recomputes the all-delivered flag over the reliable readers; tells the participant when
    // it holds.
    void reportAllDelivered();

    // The scheduler's callables for task types 3, 4 and 5; the object is the writer.
    static void reliableTask(void* object, void* a1, uint64_t a2, uint64_t a3);
    static void deferredTask(void* object, void* a1, uint64_t a2, uint64_t a3);
    static void nackSuppressionTask(void* object, void* a1, uint64_t a2, uint64_t a3);

    void reliableWorker();
    // The writing thread's pass after it stored a change: sends the unsent data (with a
    // HEARTBEAT when one is due), or leaves it to the holder of the send role, or to the task
    // while another thread holds the matched-readers mutex. True; when the writer is stopped
    // nothing is sent.
    bool sendFromWriter();
    void deferredWorker(GUID_t const& reader);
    void nAckSuppressionWorker(GUID_t const& reader, uint64_t token);

    // The count of the next HEARTBEAT, from one counter for all proxies: a proxy made again for
    // a reader (its participant was lost and heard again) goes on above what its predecessor
    // sent, where the reader still looks for a higher count.
    uint32_t nextHeartbeatCount() { return ++m_heartbeatCount; }

    // For tests and diagnostics.
    size_t matchedReaderCount();
    uint32_t getTaskId() const { return m_taskId.load(); }
    bool getPushMode() const { return m_pushMode; }

protected:
    // Takes the change out at once, acknowledged or not: it becomes irrelevant for every
    // matched reader (which then gets a GAP for it) and leaves the history. True when the
    // history held it.
    bool withdrawChange(SequenceNumber_t const& sn);

private:
    // The matched-readers mutex, with the stored-changes list entered on taking it.
    class MatchedLock {
    public:
        explicit MatchedLock(StatefulWriter& writer) : m_writer(writer) {
            m_writer.m_matchedMutex.lock();
            m_writer.enterStored();
        }
        ~MatchedLock() { m_writer.m_matchedMutex.unlock(); }
        MatchedLock(MatchedLock const&) = delete;
        MatchedLock& operator=(MatchedLock const&) = delete;

    private:
        StatefulWriter& m_writer;
    };
    using Lock = MatchedLock;
    // The matched-readers mutex if it is free: the writing thread's way in.
    std::unique_lock<std::recursive_mutex> tryMatched();
    // Enters the changes stored while the matched-readers mutex was held elsewhere, in order;
    // under that mutex.
    void enterStored();
    // Enters one change in every proxy; under the matched-readers mutex.
    void enter(CacheChange* change);

    void* taskObject() { return static_cast<void*>(this); }
    ReaderProxy* findProxy(GUID_t const& reader);  // under the matched-readers mutex
    // Appends a proxy under the matched-readers mutex; returns whether the writer must be
    // re-announced (it took a multicast group) once the mutex is released.
    bool appendProxy(std::unique_ptr<ReaderProxy> proxy, bool loadHistory);
    bool wantsHistory(GUID_t const& reader);
    std::unique_ptr<ReaderProxy> makeProxy(GUID_t const& reader, Locator_t const* unicast,
                                           bool flag, bool reliable);
    // Whether the remote reader acknowledges, from its description (built-in readers do);
    // asks the participant, so never under the matched-readers mutex.
    bool readerIsReliable(GUID_t const& reader);
    // New changes enter the proxy UNSENT (pushed) in push mode, and always for a best-effort
    // reader, which never asks for anything.
    bool pushesTo(ReaderProxy const& proxy) const { return m_pushMode || !proxy.isReliable(); }
    // Removes the change from every proxy and from the history when every reader has
    // acknowledged it; under the matched-readers mutex, so no proxy can load it meanwhile.
    bool removeIfDelivered(SequenceNumber_t const& sn);
    // The same without the locking, for a caller that holds the mutex.
    bool removeIfDeliveredLocked(SequenceNumber_t const& sn);
    // checkDelivered for a caller that holds the matched-readers mutex.
    bool checkDeliveredLocked(SequenceNumber_t const& sn);
    // (group socket, sequence number) sent in one pass of the task.
    using MulticastSent = std::set<std::pair<RTPSOutSocket*, uint64_t>>;
    // Queues the entries to one reader on `socket` (the caller sends the queue): runs of
    // irrelevant ones as GAPs, the others as DATA. With `multicastSent` (the socket is a group's
    // several readers share) a change already sent there in this pass is not sent again.
    void sendEntries(ReaderProxy* proxy, std::vector<ChangeForReader*> const& entries,
                     RTPSOutSocket* socket, EntityId_t const& readerId,
                     MulticastSent* multicastSent, bool deferred);
    void sendGap(ReaderProxy* proxy, ChangeForReader* first, ChangeForReader* last);
    // A HEARTBEAT without the final flag over what the reader still needs; false (nothing
    // sent) when it needs nothing. Under the matched-readers mutex.
    using Sockets = std::vector<RTPSOutSocket*>;
    // One pass over the matched readers, under their mutex: queues the unsent data of each, in
    // order, with the HEARTBEATs due, and adds the sockets it queued on to `held` (the caller
    // flushes them once the mutex is released). Only the task's passes (`task`) heartbeat
    // readers they sent nothing to; `wanted`: every reader with unacknowledged changes gets one.
    void pass(bool task, bool wanted, Sockets& held);
    // Sends what the sockets hold; never under the matched-readers mutex.
    void flush(Sockets const& sockets);
    // Whether this write came within kStreamGapMks of the one before (on the scheduler's
    // clock): part of a stream the task batches, not a lone write.
    bool streaming();
    // Takes the send role, if free, and runs passes (each queued under the matched-readers
    // mutex, flushed after it) until no unsent change and no task pass is left; a thread that
    // finds the role taken returns at once, and the holder runs its work before it lets go.
    // Without `mayWait` (the writing thread) it gives the role up and wakes the task when the
    // matched-readers mutex is held elsewhere.
    void drain(bool mayWait);
    // Queues the repairs a reader asked for, with a HEARTBEAT; under the matched-readers mutex.
    // The socket to flush, or null when the reader has gone.
    RTPSOutSocket* answer(GUID_t const& reader);
    // With `flush` false it joins the socket's queue (the caller sends it).
    bool sendHeartbeat(ReaderProxy& proxy, SequenceNumber_t& first, SequenceNumber_t& last,
                       bool flush);
    // Changes sent between two HEARTBEATs that go with data.
    uint32_t heartbeatEvery() const;
    // The longest a reader with unacknowledged changes goes without a HEARTBEAT (at least 1 ms).
    uint64_t heartbeatPeriodMks() const;
    // While a reader has unacknowledged changes the task runs again within the heartbeat pace
    // (doubled when `repeated`: that heartbeat went without new data); else at its period.
    void paceHeartbeats(bool unacknowledged, bool repeated, uint64_t now);
    // Schedules the end of NACK suppression for what was just sent.
    void suppress(ReaderProxy* proxy, std::vector<ChangeForReader*> const& sent);
    void reannounce();
    // Removes the withdrawn changes every reader has acknowledged; true when the history then
    // has room for one more change. `since`, `waitMks` and `firstPass` are for the trace lines:
    // when the call began, how long it may wait, and whether this is its first pass.
    bool makeRoom(std::chrono::steady_clock::time_point since, uint64_t waitMks, bool firstPass);
    // Whether the history takes one more change as it is, without removing any.
    bool hasRoom();
    bool waitForRoomSince(std::chrono::steady_clock::time_point deadline,
                          std::chrono::steady_clock::time_point since, uint64_t waitMks);
    // Takes out the withdrawn changes every matched reader has acknowledged, oldest first, at
    // most max of them (0: all); true when it stopped at max with more perhaps left.
    bool releaseDelivered(unsigned long max);
    // A bounded batch of what an ACKNACK left to free (m_releasePending), if anything.
    void releaseLeftOver();
    // Stores a change the history has room for and enters it in every proxy.
    int64_t store(SampleInfo* sample);
    // Wakes addChange calls that wait for acknowledgements.
    void notifyAcknowledged();

    RTPSTaskScheduler* const m_scheduler;
    MessageComposer* const m_composer;
    const bool m_pushMode;
    const uint32_t m_heartbeatPeriod;          // ms
    const uint32_t m_nackResponseDelay;        // ms
    const uint32_t m_nackSuppressionDuration;  // ms
    const int32_t m_multicastingMode;
    const uint16_t m_userMulticastPort;

    std::recursive_mutex m_matchedMutex;
    std::vector<std::unique_ptr<ReaderProxy>> m_matched;  // in matching order
    // Changes a writing thread stored while the matched-readers mutex was held elsewhere, not
    // yet in the proxies; in storing order. A leaf mutex; the flag is read without it.
    std::mutex m_storedMutex;
    std::vector<CacheChange*> m_stored;
    std::vector<CacheChange*> m_entering;  // enterStored's scratch list
    std::atomic<bool> m_storedPending{false};
    // Listed and not yet entered: such a change is in no proxy, so it is not delivered.
    std::atomic<size_t> m_storedCount{0};
    std::atomic<bool> m_unsentPending{false};
    // The send role (drain): one thread at a time builds and sends the writer's passes, so
    // that one pass's datagrams, on every socket, have left before the next pass is built.
    std::atomic<bool> m_sending{false};
    // A task pass asked for while another thread held the send role.
    std::atomic<bool> m_taskPassWanted{false};
    // Scratch lists a pass reuses, so that a write allocates none: the sockets to flush (the
    // send role's holder's), and the readers sent to and one reader's unsent entries (under the
    // matched-readers mutex).
    Sockets m_held;
    std::vector<bool> m_sentTo;
    std::vector<ChangeForReader*> m_unsent;
    std::atomic<uint32_t> m_taskId{0};
    // A write woke the task and its pass has not begun: the writes after it need not wake it
    // again (each wake takes the scheduler's mutex). Raised by exchange and cleared by exchange
    // as the pass begins, so a write that finds it raised has stored its change before the
    // pass looks.
    std::atomic<bool> m_taskWoken{false};
    std::atomic<uint64_t> m_nextToken{1};
    // Set by a writer that waits for room and by an ACKNACK with a full set: the task's next
    // pass sends every reader with unacknowledged changes a HEARTBEAT.
    std::atomic<bool> m_heartbeatWanted{false};
    // An ACKNACK freed only a batch of the delivered withdrawn changes: the writing thread after
    // its send and the task free the rest a batch at a time. Room never waits for them: a full
    // history frees delivered changes itself (makeRoom).
    std::atomic<bool> m_releasePending{false};
    // Changes sent since the last HEARTBEAT that went with data; under the matched-readers mutex.
    size_t m_sentSinceHeartbeat = 0;
    // Delay of the next HEARTBEAT while something is unacknowledged (µs); reset by ACKNACKs
    // that acknowledge something new.
    std::atomic<uint64_t> m_heartbeatPace{2000};
    // Scheduler time from which a pass heartbeats the readers it sent nothing to; under the
    // matched-readers mutex.
    uint64_t m_heartbeatDue = 0;
    // Scheduler time of the last HEARTBEAT, or of the last pass that found no reader waiting
    // for one; under the matched-readers mutex.
    uint64_t m_lastHeartbeatMks = 0;
    std::atomic<uint32_t> m_heartbeatCount{0};
    // Writes closer than this form a stream: far below a round trip, well above the time a
    // writing thread needs between two writes.
    static constexpr uint64_t kStreamGapMks = 20;
    static constexpr uint64_t kNever = ~uint64_t{0};
    std::atomic<uint64_t> m_lastStoreMks{kNever};

    BusyCount m_ackBusy;
    BusyCount m_taskBusy;
    BusyCount m_removalBusy;

    // addChange and waitForRoom wait here while the history is full; acknowledgements, removed
    // readers and stop bump the generation.
    std::mutex m_ackMutex;
    std::condition_variable m_ackCv;
    uint64_t m_ackGeneration = 0;
};

}  // namespace RTPS
