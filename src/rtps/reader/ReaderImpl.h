#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/dsvc/DSVCHistorySink.h"
#include "rtps/participant/CommunicationMode.h"
#include "rtps/participant/LocalReader.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/reader/ReassemblyLimits.h"
#include "rtps/reader/Reader.h"
#include "rtps/wire/SequenceNumber.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;
class CommunicationObject;
class DSVCHistoryLoader;
class RTPSTaskScheduler;
struct DiscoveredWriterData;
struct NAckFragData;

// Common base of the engine's readers. Received changes arrive through addChange on the parser
// thread: a whole change goes straight into the history (no copy: it keeps the datagram alive
// through its message reference); fragments are put together, and the key-only and data-only
// halves of a keyed sample joined, in the pending list first. Each change that enters the
// history is announced through CommunicationObject::changeAvailable (every one, or with a
// notification mode other than 0 only the one that makes the history go from 0 to 1 change).
// The user reads it with getChange and removes it with deleteChange. The four discovery readers
// get their complete changes back from addChange to consume them themselves.
//
// A change that finds the history full is refused, after the receive batch open on the thread
// was settled (ReceiveBatch::settle): the user may take the datagram's earlier changes out
// then, instead of at the batch's end.
//
// Incomplete samples stay within the reader's ReassemblyLimits; a best-effort reader drops
// every pending entry that is older than the fragment time-out.
//
// A durable (transient or persistent) user reader of a participant in the DSVC client role
// loads the stored history of its topic through a DSVCHistoryLoader: while it loads, complete
// changes go to the loader, which merges them with the stored ones, and afterwards they still
// pass it, which drops repeats of what the history handed over; the historical state follows
// the loader's (it only ever goes down: loading, loaded, none). The loader's clients
// call back into the reader, so they start with start(), once the reader is listed, and end in
// the subclasses' stop(), before anything is destroyed.
//
// Locks: the pending mutex guards the pending list and is a leaf; the history has its own
// mutexes; the description mutex (takeDCPSConfig .. freeDCPSConfig) is never held while calling
// the participant. changeAvailable is called with none of the reader's locks held (nor any other
// engine mutex): the participant may file the change and read it back on that call.
class ReaderImpl : public LocalReader, public Reader, private DSVCHistorySink {
public:
    // Historical-data states (the DSVC link): none, loading finished, loading.
    static constexpr uint32_t HISTORICAL_NONE = 0;
    static constexpr uint32_t HISTORICAL_LOADED = 1;
    static constexpr uint32_t HISTORICAL_LOADING = 2;

    // Throws BAD_PARAMETERS for a null configuration or description and what the message
    // receiver throws for a locator it refuses. `limits` null: from the sample limit.
    ReaderImpl(Participant* participant, EndpointConfig const* config,
               vexa::dds::SubscriptionBuiltinTopicData const* description, void* userData,
               CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
               ReassemblyLimits const* limits = nullptr);
    // Frees the pending list; the history frees the changes.
    ~ReaderImpl() override;

    // LocalReader, in the order of the reader's own operations.
    // Starts the DSVC loading of a durable reader.
    void start() override;
    void stop() override = 0;
    unsigned int getChange(SampleInfo* handle, unsigned int (*guidPrefix)[3],
                           unsigned int* entityId, SampleInfo& sample) override;
    unsigned int getEarliestChange(unsigned int (*guidPrefix)[3], unsigned int* entityId,
                                   SampleInfo& sample) override;
    unsigned int deleteChange(SampleInfo* handle) override;
    bool waitForHistoricalData(vexa::dds::Duration_t limit) override = 0;
    // The change kept (the given one or an assembled one), or null; the caller deletes the
    // given change unless it is returned.
    CacheChange* addChange(CacheChange* change) override;
    void heatrbeat(HeartbeatData* heartbeat) override = 0;
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const& data,
                RTPS_AdditionalTopicData const& extra, unsigned int mask) override;
    void dsvcDataRecipient(int socket, unsigned long tag, void* body, unsigned int length) override;
    // A user reader stops, leaves the participant and is destroyed; built-in readers stay.
    void close() override;
    void checkMatchedWriters(std::vector<WriterProxyInfo*> writers) override = 0;
    virtual void checkMatchedWriter(DiscoveredWriterData const* data) = 0;
    void removeMatchedWriters(GUID_t remote) override = 0;
    virtual bool checkLast(GUID_t& writer, SequenceNumber_t sn) = 0;
    virtual void setLast(GUID_t& writer, SequenceNumber_t sn) = 0;

    Reader* asReader() override { return this; }

    // The description without locking.
    vexa::dds::SubscriptionBuiltinTopicData const* getDCPSConfig() const { return &m_dcpsConfig; }
    // The description with the description mutex held, or null (nothing held) once stopped.
    vexa::dds::SubscriptionBuiltinTopicData* takeDCPSConfig() override;
    // Copies the description in while running.
    void setDCPSConfig(vexa::dds::SubscriptionBuiltinTopicData const& data);
    void setTimestamp(vexa::dds::Time_t const& timestamp) override;
    vexa::dds::Time_t getTimestamp() override;

    bool isRunning() const { return m_running.load(); }
    bool isUserReader() const;
    bool isBuiltin() const;
    ReassemblyLimits const& getReassemblyLimits() const { return m_limits; }
    uint32_t getHistoricalState() const { return m_historicalState.load(); }
    // What the pending list holds now: entries and the bytes charged to them.
    size_t pendingCount();
    uint64_t pendingBytes();

protected:
    // A sample being put together, with what it costs.
    struct Pending {
        std::unique_ptr<CacheChange> change;
        uint64_t received = 0;  // payload bytes accepted so far (repeats included)
        uint64_t charge = 0;    // counted in m_pendingBytes
    };

    // One more stored sample of the DSVC link or live change while loading: whether it was
    // kept. Never destroys a change it was given. The base stores it as a live change.
    virtual bool addHistoricalChange(CacheChange* change, int socket);

    // The first half of addChange: the given change when it is whole, else the sample that it
    // completes (owned by `made`), or null (incomplete, refused, or the history is full).
    CacheChange* assemble(CacheChange* change, std::unique_ptr<CacheChange>& made);
    // The second half: a complete change goes to the loader or the history; whether it was
    // kept. One not kept is gone for good (a repeat of what the loader handed over, or a record
    // that does not decode). Never destroys the change.
    bool keep(CacheChange* change);
    // Stores a complete change in the history and announces it; false when the history is
    // full (nothing stored).
    bool storeChange(CacheChange* change);
    // The discovery readers take their complete changes back from addChange.
    bool consumesOwnChanges() const;
    // Neither a fragment nor half of a keyed sample: it needs no putting together.
    bool isWhole(CacheChange const* change) const;
    // The log line of a change that assemble takes up.
    void logReceived(CacheChange const* change);
    // The history holds its reserve: a change arriving now is left for the writer to resend.
    // A snapshot that takes no lock.
    bool historyFull();
    // The same after settling the receive batch open on the thread (see the class comment).
    bool historyFullAfterSettling();
    // Ends the DSVC loading for good: no client calls the reader once it returns. Each
    // subclass's stop() calls it after clearing the running flag.
    void stopHistoryLoading();
    // The loading has ended: the historical state is lowered; StatefulReader wakes its waiters.
    virtual void historicalLoadingEnded();
    // Drops the pending entries of that writer (every writer of a participant for
    // _ENTITYID_PARTICIPANT).
    void purgePending(GUID_t const& writer);
    // For the NACK_FRAG answer: the missing fragments of each pending sample of the writer,
    // in records of at most 256 fragments, each counted in its change.
    void collectMissingFragments(GUID_t const& writer, GUID_t const& reader,
                                 std::vector<NAckFragData*>& out);
    // Microseconds of the scheduler's clock (the time base of expiry times).
    uint64_t nowMks();

    std::atomic<bool> m_running{true};
    CommunicationObject* const m_communicationObject;
    void* const m_userData;
    const COMMUNICATION_MODE m_mode;
    RTPSTaskScheduler* const m_scheduler;
    const uint32_t m_fragmentTimeoutMs;
    std::atomic<uint32_t> m_historicalState{HISTORICAL_NONE};

private:
    // DSVCHistorySink, on the loader's upload thread.
    bool hasRoom() override;
    void storeHistorical(CacheChange* change) override;
    void releaseHistorical(CacheChange* change) override;
    void loadingEnded() override;

    // Changes go to the history: announce the one that made it `count` changes long.
    void announceStored(CacheChange* change, size_t count);
    // Lowers the historical state to `state` unless it is lower already.
    void lowerHistoricalState(uint32_t state);
    // The pending path: fragments and halves; the sample they complete, or null.
    std::unique_ptr<CacheChange> addPending(CacheChange* change);
    // Takes a fragment into its entry; false when it is refused (the entry may be gone).
    bool addFragment(std::vector<Pending>::iterator entry, CacheChange const* fragment,
                     bool created);
    // Erases an entry and its charge (under the pending mutex).
    std::vector<Pending>::iterator erasePending(std::vector<Pending>::iterator entry);
    // Steps 4 to 8 of getChange for a change of the history.
    unsigned int report(CacheChange const* change, unsigned int (*guidPrefix)[3],
                        unsigned int* entityId, SampleInfo& sample);

    vexa::dds::SubscriptionBuiltinTopicData m_dcpsConfig;  // under the description mutex
    const ReassemblyLimits m_limits;

    std::mutex m_pendingMutex;
    std::vector<Pending> m_pending;
    uint64_t m_pendingBytes = 0;

    std::mutex m_timestampMutex;
    vexa::dds::Time_t m_timestamp{};

    // Durable readers of a DSVC client only; made with the reader, never replaced.
    std::unique_ptr<DSVCHistoryLoader> m_loader;
};

}  // namespace RTPS
