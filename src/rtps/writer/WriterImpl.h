#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "rtps/participant/LocalWriter.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/writer/Writer.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;
class Participant;
class UserInputBufferPool;
struct DiscoveredReaderData;
struct SampleInfo;

// Which protocol an endpoint runs; the participant unregisters only these on close.
enum EndpointProtocolKind : uint32_t {
    PROTOCOL_NONE = 0,
    PROTOCOL_STATELESS = 1,
    PROTOCOL_STATEFUL = 2,
};

// Common base of the engine's writers: owns the history (through the endpoint), keeps a copy of
// the writer's publication record, turns a sample into a numbered change and withdraws
// changes. Which readers get a change, and when, is the concrete writer's business. The DCPS
// core holds it as a Writer, the participant as a LocalWriter.
//
// A user writer (entity kind 0x02 or 0x03) copies each sample into a block of the
// participant's user input buffer pool; the block goes back to the pool when the history frees
// the change (never while a loan or a send may still read it). A built-in writer (0xC2) packs
// its discovery record into the change instead.
//
// Lock order: the description mutex (takeDCPSConfig .. freeDCPSConfig) is never held while
// calling the participant; setQoS copies under it and re-announces after releasing it.
class WriterImpl : public LocalWriter, public Writer {
public:
    // Throws BAD_PARAMETERS for a null configuration or publication record, and
    // GENERAL_DDSI_ERROR for a user writer whose participant has no buffer pool.
    WriterImpl(Participant* participant, EndpointConfig const* config,
               vexa::dds::PublicationBuiltinTopicData const* data, int32_t transportPriority);
    // The history frees every change it still holds and hands user blocks back to the pool.
    ~WriterImpl() override;

    void start() override = 0;
    // Makes the writer inactive; concrete writers extend it.
    void stop() override;
    int64_t addChange(SampleInfo* sample) override;
    // Removes the change of that handle from the history: true when it was there.
    // BAD_PARAMETERS for the handle 0 or a negative high part.
    bool deleteChange(long handle) override;
    void assertLiveliness() override = 0;
    void setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                RTPS_AdditionalTopicData const& extra, unsigned mask) override;
    void close() override;
    void checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) override = 0;
    void checkMatchedReader(DiscoveredReaderData const* data) override = 0;
    void removeMatchedReaders(GUID_t remote) override = 0;

    Writer* asWriter() override { return this; }

    // Removes that change from the history; returns 1. BAD_PARAMETERS for null.
    int deleteChange(CacheChange* change);

    // The publication record without locking.
    vexa::dds::PublicationBuiltinTopicData const* getDCPSConfig() const { return &m_dcpsConfig; }
    // The publication record with the description mutex held, or null (nothing held) when the
    // writer is inactive; the caller releases it with freeDCPSConfig.
    vexa::dds::PublicationBuiltinTopicData* takeDCPSConfig() override;

    // Taken at construction; setQoS does not refresh them.
    vexa::dds::LivelinessQosPolicy getLivelinessQosPolicy() override { return m_liveliness; }
    vexa::dds::ReliabilityQosPolicy const& getReliabilityQosPolicy() const { return m_reliability; }
    vexa::dds::DurabilityQosPolicyKind getDurabilityKind() const { return m_durabilityKind; }

    bool isActive() const { return m_active.load(); }
    bool allDelivered() override { return m_allDelivered.load(); }
    // Set by every addChange and assertLiveliness; the liveliness check reads and clears it.
    bool livelinessShown() override { return m_written.load(); }
    void clearLivelinessShown() override { m_written = false; }
    void setWritten(bool written) { m_written = written; }
    int32_t getTransportPriority() const { return m_transportPriority; }
    vexa::dds::Time_t getTimestamp() override;
    void setTimestamp(vexa::dds::Time_t const& timestamp) override;
    EndpointProtocolKind getProtocolKind() const { return m_protocolKind; }
    bool isBuiltin() const;
    bool isUserWriter() const;

protected:
    // Whether the history holds a change of that number.
    bool holdsChange(SequenceNumber_t const& sn);

    // Stores the sample as a change numbered by the history and hands it out; returns its
    // handle. BAD_PARAMETERS for a null sample (the written flag is set all the same) or one
    // refuseOversized refuses, GENERAL_DDSI_ERROR when no block or no number can be had.
    int64_t addChange(SampleInfo* sample, CacheChange** out);
    // Throws BAD_PARAMETERS, saying the size and the cap, for a user sample larger than any
    // reader takes in (the participant's maxSampleSize): every reader would refuse it. Called
    // before anything waits for room, so the writer's caller learns it at once.
    void refuseOversized(SampleInfo const* sample) const;

    std::atomic<bool> m_active{true};
    std::atomic<bool> m_written{false};
    std::atomic<bool> m_allDelivered{true};
    EndpointProtocolKind m_protocolKind = PROTOCOL_NONE;
    const int32_t m_transportPriority;
    UserInputBufferPool* const m_pool;

private:
    vexa::dds::PublicationBuiltinTopicData m_dcpsConfig;  // under the description mutex
    const vexa::dds::LivelinessQosPolicy m_liveliness;
    const vexa::dds::ReliabilityQosPolicy m_reliability;
    const vexa::dds::DurabilityQosPolicyKind m_durabilityKind;
    mutable std::mutex m_timestampMutex;
    vexa::dds::Time_t m_timestamp;
};

}  // namespace RTPS
