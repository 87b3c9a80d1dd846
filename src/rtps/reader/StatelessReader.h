#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "rtps/reader/ReaderImpl.h"
#include "rtps/writer/BusyCount.h"

namespace RTPS {

// The best-effort reader: it keeps, per writer heard from, the highest sequence number it
// accepted and drops anything not above it (the SPDP reader takes repeated announcements). It
// sends nothing back; a HEARTBEAT only tells it that the writer is alive.
//
// The last-sequence table has its own mutex (a leaf): it is written on the parser thread and
// pruned when a writer or participant goes.
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
    void checkMatchedWriters(std::vector<WriterProxyInfo*> writers) override;
    void checkMatchedWriter(DiscoveredWriterData const* data) override;
    // Forgets the writer's (or the participant's writers') last sequence numbers and drops
    // their pending samples.
    void removeMatchedWriters(GUID_t remote) override;
    // True when the writer has no record or sn is above its last accepted number.
    bool checkLast(GUID_t& writer, SequenceNumber_t sn) override;
    // Raises the writer's record to sn (making one when there is none).
    void setLast(GUID_t& writer, SequenceNumber_t sn) override;

    size_t knownWriterCount();

private:
    struct Last {
        GUID_t writer;
        SequenceNumber_t sn;
    };

    bool isSpdpReader() const;

    BusyCount m_receiveBusy;
    std::mutex m_lastMutex;
    std::vector<Last> m_last;  // in order of first acceptance
};

}  // namespace RTPS
