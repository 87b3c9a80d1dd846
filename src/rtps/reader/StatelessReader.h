#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "rtps/reader/ReaderImpl.h"
#include "rtps/writer/BusyCount.h"

namespace RTPS {

// The best-effort reader: it keeps, per writer, the highest sequence number it accepted and
// drops anything not above it (the SPDP reader takes repeated announcements). It sends nothing
// back; a HEARTBEAT only tells it that the writer is alive.
//
// A user reader takes data only from the writers it is matched with, and its table has one
// entry per matched writer, made at the match and dropped at the unmatch, so what remote
// peers send cannot grow it. A built-in reader's table has an entry per writer it took from.
//
// The last-sequence table has its own mutex (a leaf): it is written on the parser thread and
// by matching, and pruned when a writer or participant goes.
class StatelessReader : public ReaderImpl {
public:
    StatelessReader(Participant* participant, EndpointConfig const* config,
                    vexa::dds::SubscriptionBuiltinTopicData const* description, void* userData,
                    CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
                    ReassemblyLimits const* limits = nullptr);
    ~StatelessReader() override;

    // Takes no more changes and waits until the receive path has left.
    void stop() override;
    // Nothing to wait for: true.
    bool waitForHistoricalData(vexa::dds::Duration_t limit) override;
    CacheChange* addChange(CacheChange* change) override;
    void heatrbeat(HeartbeatData* heartbeat) override;
    // The writers given are the matched ones from now on.
    void checkMatchedWriters(std::vector<WriterProxyInfo*> writers) override;
    // Matches or unmatches the writer by its description.
    void checkMatchedWriter(DiscoveredWriterData const* data) override;
    // Forgets the writer's (or the participant's writers') last sequence numbers and drops
    // their pending samples.
    void removeMatchedWriters(GUID_t remote) override;
    // True when sn is above the writer's last accepted number; a writer without an entry
    // passes only for a built-in reader.
    bool checkLast(GUID_t& writer, SequenceNumber_t sn) override;
    // Raises the writer's entry to sn; a built-in reader makes one when there is none.
    void setLast(GUID_t& writer, SequenceNumber_t sn) override;

    size_t knownWriterCount();

private:
    struct Last {
        GUID_t writer;
        SequenceNumber_t sn;
        bool taken;  // sn is a number taken from the writer
    };

    bool isSpdpReader() const;
    // Matching decides who may send: true for user readers.
    bool takesMatchedOnly() const;
    void unmatch(std::vector<GUID_t> const& writers);

    BusyCount m_receiveBusy;
    std::mutex m_lastMutex;
    std::vector<Last> m_last;  // in order of first acceptance
};

}  // namespace RTPS
