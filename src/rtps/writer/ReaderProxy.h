#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/ReceivedCount.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/writer/ChangeForReader.h"

namespace RTPS {

class RTPSOutSocket;
class StatefulWriter;

// A stateful writer's record of one matched remote reader: where to send to it and, for every
// change of the writer's history, what this reader has been sent, has requested or has
// acknowledged, and whether the change is still relevant for it.
//
// Entries are kept in sequence-number order and addressed by absolute indexes: the list is a
// deque whose front has index `base`, so indexes stay valid when entries of removed changes are
// pruned from the front. An entry whose change was removed keeps only its sequence number
// until it reaches the front; it is then acknowledged, and its change is never touched again.
//
// Every operation takes the proxy's recursive mutex for its whole work, except the flag reads
// and checkAcknowledged, which reads an atomic copy of the acknowledged boundary. The writer calls
// them with its matched-readers mutex held, which is what keeps the proxy alive; never the other
// way round. The proxy calls nothing outside itself but the history's loan counts and the logger.
//
// A best-effort reader never acknowledges: what has gone out to it counts as acknowledged at
// once, it gets no HEARTBEAT, and the writer does not wait for it (isReliable).
class ReaderProxy {
public:
    // Takes over one use of `unicast` (MessageComposer::getSocket), released when it goes.
    ReaderProxy(StatefulWriter* writer, GUID_t const& reader, RTPSOutSocket* unicast, bool flag,
                bool reliable = true);
    // Destroys every entry, giving back each entry's loan; the changes stay with the history.
    ~ReaderProxy();

    ReaderProxy(ReaderProxy const&) = delete;
    ReaderProxy& operator=(ReaderProxy const&) = delete;

    StatefulWriter* getWriter() const { return m_writer; }
    GUID_t const& getReaderGUID() const { return m_readerGUID; }
    RTPSOutSocket* getUnicastSocket() const { return m_unicastSocket; }
    RTPSOutSocket* getMulticastSocket() const { return m_multicastSocket.load(); }
    // Takes over one use of the socket (MessageComposer::getSocket); the one it replaces is
    // released. The proxy releases its sockets when it goes.
    void setMulticastSocket(RTPSOutSocket* socket);
    // The discovery flag the proxy was made with (the reader expects inline QoS); not read.
    bool getFlag() const { return m_flag; }
    // Whether the reader acknowledges (its reliability is RELIABLE); only such readers hold
    // changes back.
    bool isReliable() const { return m_reliable; }

    // Scratch mark of the writer's matching sweep; touched under the matched-readers mutex.
    bool seen = false;

    // Appends an entry for the change (taking one loan on it from the history); null, with no
    // loan taken, when its sequence number is not above the last entry's, so that a change
    // reaches a proxy once. The entry stays where it is until it leaves the proxy.
    ChangeForReader* addChange(HistoryCache* history, CacheChange* change,
                               ChangeForReaderStatusKind status, bool relevant);

    // Every UNSENT entry, now UNDERWAY, in order; empty at once when nothing is unsent.
    std::vector<ChangeForReader*> unsent_changes();
    // The same into `out` (cleared first), so that a caller's list keeps its room.
    void unsent_changes(std::vector<ChangeForReader*>& out);
    // Every REQUESTED entry, now UNDERWAY, in order.
    std::vector<ChangeForReader*> requested_changes();
    // The entries become UNACKNOWLEDGED; heartbeats go to this reader from now on. For a
    // best-effort reader they become ACKNOWLEDGED instead.
    void unacked_changes_set(std::vector<ChangeForReader*> const& entries);
    void unacked_changes_set(ChangeForReader* entry);
    // Everything below base is acknowledged. Returns whether every entry now is.
    bool acked_changes_set(SequenceNumber_t const& base);
    // The named entries become REQUESTED; numbers not held are ignored. An acknowledged entry
    // asked for again is not acknowledged any more, nor are those after it.
    void requested_changes_set(std::vector<SequenceNumber_t> const& requested);
    // The change will never go to this reader as data (a GAP tells it instead).
    void setIrrelevant(SequenceNumber_t const& sn);
    // The writer removed the change from its history: the entry gives back its loan and
    // forgets the change; removed entries at the front leave the list.
    void removeChange(SequenceNumber_t const& sn);
    // First relevant and last sequence number; both {0, 0} when nothing is relevant.
    void getRelevantRange(SequenceNumber_t& first, SequenceNumber_t& last);
    // Whether the reader has acknowledged sn; read without the mutex.
    bool checkAcknowledged(SequenceNumber_t const& sn);

    // Fragment states of an entry (from 0): UNACKNOWLEDGED when the entry has no such
    // fragment; a store to a missing fragment does nothing.
    ChangeForReaderStatusKind getFragmentStatus(ChangeForReader* entry, uint32_t index);
    void setFragmentStatus(ChangeForReader* entry, uint32_t index,
                           ChangeForReaderStatusKind status);
    // A NACK_FRAG: marks the change as asked for by fragments, and the named fragments
    // REQUESTED.
    void setFragmentsRequested(SequenceNumber_t const& sn, FragmentNumberSet const& set);

    // Changes sent while NACKs are suppressed: kept under a token until the suppression ends,
    // when those still UNDERWAY become UNACKNOWLEDGED. False when the token is unknown.
    void holdSuppressed(uint64_t token, std::vector<SequenceNumber_t> sent);
    bool releaseSuppressed(uint64_t token);

    // Flags, read without the mutex.
    bool hasUnsent() const { return m_unsentPending.load(); }
    bool hasUnacknowledged() const { return m_unackedPresent.load(); }
    bool isAllAcknowledged() const { return m_allAcked.load(); }

    // Sets the deferred-answer mark; true when it was clear (a task is to be scheduled).
    bool markDeferredPending() { return !m_deferredPending.exchange(true); }
    void clearDeferredPending() { m_deferredPending = false; }
    // Set when the reader's preemptive ACKNACK got its HEARTBEAT: the reader's next request is
    // for what it missed before it knew this writer and is served without the repair delay.
    void repairNextAtOnce() { m_repairAtOnce = true; }
    bool takeRepairAtOnce() { return m_repairAtOnce.exchange(false); }

    // The next heartbeat count: the writer's next one (the stored one + 1 without a writer),
    // stored back.
    uint32_t nextHeartbeatCount();
    // Takes the count when it is newer than the last one (serial-number order, so counts may
    // wrap); false for a stale count.
    bool acceptAckNackCount(uint32_t count);
    bool acceptNackFragCount(uint32_t count);

    // Entries held, removed ones at the front excepted.
    size_t entryCount();

private:
    uint64_t end() const { return m_base + m_changes.size(); }
    ChangeForReader* at(uint64_t index) { return &m_changes[index - m_base]; }
    // Index of the entry with that number at or after `from`, or end().
    uint64_t find(SequenceNumber_t const& sn, uint64_t from) const;
    void setIrrelevantAt(uint64_t index);
    void dropRemovedFront();
    // A best-effort reader's entry that went out: acknowledged, the boundary moved past it.
    void sentToBestEffort(ChangeForReader* entry);
    // Copies the first unacknowledged number to m_owedFrom; under the mutex, by every operation
    // that moves m_firstNotAcked or the ends of the list.
    void publishAcked();

    StatefulWriter* const m_writer;
    const GUID_t m_readerGUID;
    RTPSOutSocket* const m_unicastSocket;
    std::atomic<RTPSOutSocket*> m_multicastSocket{nullptr};
    const bool m_flag;
    const bool m_reliable;

    std::recursive_mutex m_mutex;
    // By value, made in place: a write allocates no entry of its own. The deque keeps an
    // entry's address while others are added at the back or leave at the front.
    std::deque<ChangeForReader> m_changes;
    uint64_t m_base = 0;  // index of the front entry
    // Never below m_base.
    uint64_t m_firstUnsent = 0;
    uint64_t m_firstNotAcked = 0;
    uint64_t m_firstRelevant = 0;
    uint32_t m_heartbeatCount = 0;
    ReceivedCount m_ackNackCount;
    ReceivedCount m_nackFragCount;
    std::map<uint64_t, std::vector<SequenceNumber_t>> m_suppressed;

    std::atomic<bool> m_unsentPending{true};
    std::atomic<bool> m_unackedPresent{false};
    std::atomic<bool> m_allAcked{true};
    // The number of the first unacknowledged entry in sequence-number order (INT64_MAX: none).
    std::atomic<int64_t> m_owedFrom{INT64_MAX};
    std::atomic<bool> m_deferredPending{false};
    std::atomic<bool> m_repairAtOnce{false};
};

}  // namespace RTPS
