#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/reader/ReaderImpl.h"
#include "rtps/reader/WriterProxy.h"
#include "rtps/writer/BusyCount.h"

namespace RTPS {

class MessageComposer;

// The reliable reader: one WriterProxy per matched remote writer. It takes a change only from a
// matched writer and only once, and stores each writer's changes in the writer's order (a
// change that overtook a missing one waits in the proxy; the discovery readers, which hand
// their changes on, take them as they come). It answers HEARTBEATs with ACKNACK (and NACK_FRAG for
// samples whose fragments are incomplete) after the participant's response delay, applies GAPs, and
// waitForHistoricalData waits until every matched writer has delivered what it announced.
//
// The answer runs as task 1 on the participant's scheduler; its row carries the writer's GUID,
// and the task looks the proxy up when it runs, so removing a writer destroys its proxy at
// once. stop removes the reader's rows and waits for a running one.
//
// Locks: the proxies mutex, which also guards every proxy (a proxy is called only under it),
// before the delivery mutex (a leaf, taken only to move the delivery generation). The scheduler's
// addTask is called under the proxies mutex (it never waits); removeTask(object), the composer's
// sends, the participant and the communication object are called with none of them held. The
// pending mutex of the base is never held together with these.
class StatefulReader : public ReaderImpl {
public:
    StatefulReader(Participant* participant, EndpointConfig const* config,
                   vexa::dds::SubscriptionBuiltinTopicData const* description, void* userData,
                   CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
                   ReassemblyLimits const* limits = nullptr);
    // Stops a reader still running; destroys the proxies.
    ~StatefulReader() override;

    // Takes no more changes, waits for the receive path, the answer task and removals, and
    // removes the reader's scheduler rows. Never call it from the reader's own task.
    void stop() override;
    // True when every matched writer has delivered everything it announced (and, while the
    // reader loads stored samples, once loading is over); false at the time-out or when the
    // reader stops.
    bool waitForHistoricalData(vexa::dds::Duration_t limit) override;
    CacheChange* addChange(CacheChange* change) override;
    void heatrbeat(HeartbeatData* heartbeat) override;
    bool gap(GapData* gap) override;
    void checkMatchedWriters(std::vector<WriterProxyInfo*> writers) override;
    void checkMatchedWriter(DiscoveredWriterData const* data) override;
    void removeMatchedWriters(GUID_t remote) override;
    bool checkLast(GUID_t& writer, SequenceNumber_t sn) override;
    void setLast(GUID_t& writer, SequenceNumber_t sn) override;

    // Adds a proxy for the writer unless one exists (or the reader is stopped); its ACKNACKs go
    // to the writer's first unicast locator. True when it was added.
    bool matched_writer_add(GUID_t const& writer, Locator_t const* unicast);
    // A remote built-in writer found by participant discovery: a proxy to its first unicast
    // locator, whatever its description.
    bool matchedWriterAdd(WriterProxyInfo const& writer) override;
    // Destroys the writer's proxy and drops its pending samples.
    void matched_writer_remove(GUID_t const& writer);
    bool matched_writer_lookup(GUID_t const& writer);
    size_t matchedWriterCount();
    // Whether that writer has delivered everything it announced; true when it is not matched.
    bool writerDelivered(GUID_t const& writer);

    // Task 1: the answer to the HEARTBEATs of one writer.
    void deferredWorker(GUID_t const& writer);
    static void deferredTask(void* object, void* a1, uint64_t a2, uint64_t a3);

    // Wakes waitForHistoricalData (a proxy became delivered, or loading ended); called after
    // the change, with no lock or the proxies mutex held. Takes no lock while nobody waits.
    void reportAllDelivered();

    // The count of the next ACKNACK, from one counter for all proxies: a proxy made again for a
    // writer (its participant was lost and heard again) goes on above what its predecessor
    // sent, where the writer still looks for a higher count.
    uint32_t nextAckNackCount() { return ++m_ackNackCount; }

protected:
    void historicalLoadingEnded() override;

private:
    WriterProxy* findProxy(GUID_t const& writer);  // under the proxies mutex
    // The end of addChange, with no lock held, once the complete change (owned by `made` when
    // it was assembled) was offered to the writer's proxy: the change kept, or null.
    CacheChange* settleOffer(CacheChange* complete, std::unique_ptr<CacheChange> made,
                             GUID_t const& writer, SequenceNumber_t sn, WriterProxy::Offer offer,
                             uint64_t turn);
    // With the delivery turn of the writer's proxy: ends the store of `sn` (settled: kept or
    // dropped for good) and stores the held changes that are due after it, until none is.
    // Called with no lock held.
    void deliverDue(GUID_t const& writer, uint64_t turn, SequenceNumber_t sn, bool settled);
    // Keeps a change taken from a proxy, freeing it unless kept; whether its number is settled.
    bool keepHeld(CacheChange* change);
    // Stores a held change whose turn a HEARTBEAT or GAP gave (null: none), and what follows.
    void deliverHeld(GUID_t const& writer, CacheChange* due, uint64_t turn, SequenceNumber_t sn);
    std::unique_ptr<WriterProxy> makeProxy(GUID_t const& writer, Locator_t const* unicast);
    bool everyWriterDelivered();

    MessageComposer* const m_composer;
    const uint32_t m_responseDelayMs;

    std::mutex m_proxiesMutex;
    std::vector<std::unique_ptr<WriterProxy>> m_proxies;  // in matching order
    std::atomic<uint32_t> m_ackNackCount{0};

    BusyCount m_receiveBusy;
    BusyCount m_workerBusy;
    BusyCount m_removalBusy;
    BusyCount m_waiters;

    std::mutex m_deliveryMutex;
    std::condition_variable m_deliveryCv;
    uint64_t m_deliveryGeneration = 0;
    bool m_stopped = false;  // under the delivery mutex
};

}  // namespace RTPS
