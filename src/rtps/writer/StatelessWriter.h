#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/writer/BusyCount.h"
#include "rtps/writer/ReaderLocator.h"
#include "rtps/writer/WriterImpl.h"

namespace RTPS {

class MessageComposer;
class RTPSOutSocket;
class RTPSTaskScheduler;

// The best-effort writer, and the base of the SPDP writer: it knows its readers only by where
// they listen, one ReaderLocator per destination, each with a queue of the changes not yet sent
// there. Every change goes to every destination present when it is written, and to a
// destination added later unless its removal was requested by then; nothing is acknowledged
// and nothing goes twice to one destination. It receives nothing.
//
// Sending is task 6 on the participant's scheduler (bestEffortTask): periodic with the resend
// period, run at once on every new change or destination. Each pass sends one change per
// destination; passes repeat until every queue is empty. A change goes to a multicast group
// once per run, however many destinations share it.
//
// A withdrawn change (deleteChange) leaves the history only once no queue holds it; a full
// history first removes withdrawn changes no queue holds, then refuses the change
// (CHANGE_NOT_TAKEN).
//
// Lock order: the history's upload mutex, then the locator mutex (recursive), then a locator's
// queue mutex, then the history's change mutex. Both writers' paths that add destinations or
// changes hold the upload mutex throughout, so a destination added meanwhile gets every change
// exactly once. The composer and the scheduler's addTask and wakeTask are called under them
// (their locks are leaves); the participant (modifyWriter, getMatchedRemoteReaders,
// getReaderLocators) and the scheduler's removeTask(object) never are.
class StatelessWriter : public WriterImpl {
public:
    // Throws as WriterImpl does, and GENERAL_DDSI_ERROR when the participant has no scheduler
    // or composer.
    StatelessWriter(Participant* participant, EndpointConfig const* config,
                    vexa::dds::PublicationBuiltinTopicData const* data, int32_t transportPriority);
    // Stops a writer still running, then gives back every queued change.
    ~StatelessWriter() override;

    // Task 6 for a best-effort writer: periodic, first run at once.
    void start() override;
    // Inactive from now on; waits until no run of the worker and no matching is inside and
    // removes the writer's task. Never call it from the writer's own task.
    void stop() override;
    // Stores the change and queues it at every destination. CHANGE_NOT_TAKEN when the writer is
    // stopped or the history stays full.
    int64_t addChange(SampleInfo* sample) override;
    // Withdraws the change and removes every withdrawn change no destination still holds.
    // True when the history held that change; never throws.
    bool deleteChange(long handle) override;
    // A HEARTBEAT with the final and liveliness flags, for no particular reader, to every
    // destination.
    void assertLiveliness() override;
    // Makes the destinations those of the given readers: a reader reached through a listed
    // destination (its first unicast locator, or its first multicast one) keeps it; the others
    // get one (the first multicast locator when they have one, else the first unicast); the
    // destinations nobody uses go. Not for the SPDP writer, whose destinations are not readers.
    void checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) override;
    // Matches again against every reader discovery knows.
    void checkMatchedReader(DiscoveredReaderData const* data) override;
    // Drops the unicast destinations of a lost reader (or of every reader of a lost
    // participant) that no other matched reader uses.
    void removeMatchedReaders(GUID_t remote) override;

    // One more destination, with every change not withdrawn queued at it; true also when it was
    // there already or no socket could be had, false once stopped. The second destination of
    // a writer in the per-writer multicasting mode takes a group and re-announces the writer.
    bool reader_locator_add(Locator_t const& locator, bool multicast) override;
    void reader_locator_remove(Locator_t const* locator);
    // Drops the old destination and adds the new one as a multicast one; false once stopped.
    bool reader_locator_replace(Locator_t const& old, Locator_t const& fresh);

    // The scheduler's callable for task type 6; the object is the writer.
    static void bestEffortTask(void* object, void* a1, uint64_t a2, uint64_t a3);
    void bestEffortWorker();

    // For tests and diagnostics.
    size_t locatorCount();
    uint32_t getTaskId() const { return m_taskId.load(); }

protected:
    // Calls `send` with the socket of every destination in order, under the locator mutex (so
    // `send` may use the composer, nothing else).
    void forEachDestination(std::function<void(RTPSOutSocket*)> const& send);

private:
    using Lock = std::lock_guard<std::recursive_mutex>;
    using Locators = std::vector<std::unique_ptr<ReaderLocator>>;

    void* taskObject() { return static_cast<void*>(this); }
    // Under the locator mutex.
    ReaderLocator* findLocator(Locator_t const& locator);
    // Makes the destination, queues the history at it and lists it; false when no socket can
    // be had. Under the upload and the locator mutex.
    ReaderLocator* addLocator(Locator_t const& locator, bool multicast);
    // Takes the destination out of the list (under the locator mutex); null when not listed.
    std::unique_ptr<ReaderLocator> takeLocator(Locator_t const& locator);
    // Removes the withdrawn changes no queue holds; under the upload mutex.
    void purgeWithdrawn();
    void wake();
    void reannounce();

    RTPSTaskScheduler* const m_scheduler;
    MessageComposer* const m_composer;
    const uint32_t m_resendPeriod;  // ms
    const int32_t m_multicastingMode;
    const uint16_t m_userMulticastPort;

    std::recursive_mutex m_locatorMutex;
    Locators m_locators;  // in order of adding
    std::atomic<bool> m_pending{false};
    std::atomic<uint32_t> m_taskId{0};

    BusyCount m_workerBusy;
    BusyCount m_removalBusy;
};

}  // namespace RTPS
