#pragma once

#include <pthread.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "rtps/discovery/SPDPdiscoveredParticipantData.h"
#include "rtps/history/HistoryCache.h"
#include "rtps/sched/SchedulerClock.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BasicTypes.h"

namespace RTPS {

class CacheChange;
class DiscoveryHost;
class Reader;

// The remote participants of the domain, as their SPDP announcements tell: stores one change
// per participant (its decoded announcement), wires a newcomer's built-in endpoints to the
// local ones, reports it to the DCPS core, and removes a participant that stays silent longer
// than its lease, or on request, together with everything matched to it.
//
// A received change reaches addChange as the reader base hands it on (complete, decoded or
// still packed). A participant whose metatraffic unicast locator is unusable, or that cannot be
// given a socket, is not stored: its next announcement tries again.
//
// Threads: addChange runs on the parser thread (and on the caller's for a participant told by
// hand, possibly at once), alive on the parser thread, removal by prefix on its caller's; the
// lease worker is a thread of its own, started by the constructor and ended by stop (or the
// destructor), which wakes it and joins it. A participant is reported lost once, by whichever
// removal claims its change first.
//
// Locks: the table mutex guards the slots, the history's adding and removal and the
// last-seen times; the wait mutex guards the worker's stop flag. Neither is held while the host or
// the DCPS core is called, and they are never held together. alive takes neither: it finds the
// slot through the slot's atomic copy of the prefix and raises the slot's atomic heard time,
// which the lease pass folds into the last-seen time under the table mutex.
class SPDPBuiltinParticipantReader {
public:
    static constexpr size_t TABLE_SIZE = 256;

    // `host` and `asReader` (what the DCPS core is told the reader is; may be null) must
    // outlive the reader. `checkPeriodMs` is the announce period (at least 1 ms is used);
    // `leaseMs` the participant's own lease, only for the warning when it is shorter than the
    // period. A null clock means the monotonic clock. `history` is the SPDP reader's, where
    // the DCPS core reads the stored announcements (it must outlive this object); null: one
    // of its own. Throws GENERAL_DDSI_ERROR when the worker cannot be started.
    SPDPBuiltinParticipantReader(DiscoveryHost& host, Reader* asReader, std::string logName,
                                 int32_t checkPeriodMs, int32_t leaseMs,
                                 std::shared_ptr<SchedulerClock> clock = nullptr,
                                 HistoryCache* history = nullptr);
    ~SPDPBuiltinParticipantReader();

    SPDPBuiltinParticipantReader(SPDPBuiltinParticipantReader const&) = delete;
    SPDPBuiltinParticipantReader& operator=(SPDPBuiltinParticipantReader const&) = delete;

    // A received announcement: the stored change for a new participant, else null (known
    // participant refreshed, inactive reader, record that does not decode, participant that
    // cannot be wired). On null the caller still owns the change and destroys it.
    CacheChange* addChange(CacheChange* change);

    // A datagram of that participant arrived: its last-seen time becomes now. Unknown
    // prefixes, and participants without a slot, are ignored. Takes no mutex.
    void alive(uint8_t const* guidPrefix);

    // Removes the participant of this stored change; the number of changes left.
    size_t deleteChange(CacheChange* change);
    // Removes the participant with this prefix. BAD_PARAMETERS for the zero prefix,
    // GENERAL_DDSI_ERROR when it is not in the table.
    size_t deleteChange(uint8_t const* guidPrefix);

    // One lease pass: removes every participant (not lease-exempt) silent longer than its
    // lease. The worker runs it every check period.
    void checkLeases();

    // Ends the worker (promptly) and frees the table; the reader takes no more changes.
    void stop();

    bool isActive() const { return m_active.load(); }
    HistoryCache& getHistory() { return m_history; }
    // Whether the participant has a slot of the table.
    bool isKnown(uint8_t const* guidPrefix);

private:
    // `prefix` and `change` are the table mutex's. `heard` is read and raised without it: the
    // top 16 bits an epoch, odd while the slot is empty (moved under the table mutex by every
    // fill and every emptying, before the keys change and after), the rest the time a datagram
    // was last heard, in microseconds from m_baseMks. A raise compares and exchanges the
    // whole word, so a datagram of a participant whose slot was emptied or refilled in the
    // meantime renews no one. `key0`, `key1`: the prefix as words, for the lookup.
    struct Slot {
        uint8_t prefix[GUID_PREFIX_SIZE] = {};
        CacheChange* change = nullptr;
        std::atomic<uint64_t> heard{uint64_t{1} << 48};
        std::atomic<uint64_t> key0{0};
        std::atomic<uint32_t> key1{0};
    };

    static void workerEntry(void* self);
    void worker();
    vexa::dds::Time_t now();
    // The stored change of a participant with one loan taken, or null. Table mutex held.
    CacheChange* findLocked(uint8_t const* prefix);
    void logNotWired(uint8_t const* prefix, char const* why);
    // Table mutex held.
    void fillSlotLocked(Slot& slot, uint8_t const* prefix, CacheChange* change, uint64_t heardMks);
    void emptySlotLocked(Slot& slot);
    // Raises the slot's heard time when it holds that prefix; false when it does not.
    bool raiseHeard(Slot& slot, uint64_t key0, uint32_t key1, uint64_t heardMks);

    DiscoveryHost& m_host;
    Reader* const m_asReader;
    std::string const m_logName;
    uint64_t const m_checkPeriodMks;
    std::shared_ptr<SchedulerClock> const m_clock;
    // The clock at construction: heard times are kept from here, in 48 bits (8.9 years).
    uint64_t const m_baseMks;

    std::atomic<bool> m_active{true};

    std::mutex m_tableMutex;
    std::array<Slot, TABLE_SIZE> m_slots;
    // The slot alive found last: a stream comes mostly from one participant.
    std::atomic<uint32_t> m_lastSlot{0};
    HistoryCache m_ownHistory;
    HistoryCache& m_history;

    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    pthread_t m_thread = 0;
    std::atomic<bool> m_joinable{false};
};

}  // namespace RTPS
