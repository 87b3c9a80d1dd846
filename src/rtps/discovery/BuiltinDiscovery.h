#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtps/discovery/BuiltinParticipantMessageReader.h"
#include "rtps/discovery/SEDPBuiltinPublicationReader.h"
#include "rtps/discovery/SEDPBuiltinSubscriptionReader.h"
#include "rtps/discovery/SPDPBuiltinParticipantReader.h"
#include "rtps/participant/DiscoveryDirectory.h"
#include "rtps/sched/SchedulerClock.h"

namespace RTPS {

class DiscoveryHost;
class Reader;

// The engine's discovery directory: the remote participants (SPDP), remote writers and readers
// (SEDP) and liveliness messages its built-in readers hear, the matching rule and the decoders
// of built-in payloads. The participant makes it once its built-in endpoints exist and destroys
// it before them; the built-in readers hand it their complete changes (addBuiltinChange).
//
// Threads: what the directory holds is reached from the parser thread, the SPDP lease thread
// (a participant's removal) and the callers of the participant; each store has its own mutex
// and every query hands out copies.
class BuiltinDiscovery : public DiscoveryDirectory {
public:
    struct Settings {
        uint8_t hostWideIndex = 0;
        int32_t announcePeriodMs = 30000;
        int32_t leaseMs = 45000;
        // What the DCPS core is told the built-in readers are (null: none); by BuiltinTopic.
        Reader* readers[5] = {};
        // The histories of those readers, where the stores keep their records (null: the
        // store's own); by BuiltinTopic.
        HistoryCache* histories[5] = {};
        // Null: the monotonic clock.
        std::shared_ptr<SchedulerClock> clock;
    };

    // Starts the SPDP lease thread: throws GENERAL_DDSI_ERROR when it cannot.
    BuiltinDiscovery(DiscoveryHost& host, Settings const& settings);
    // Ends the lease thread.
    ~BuiltinDiscovery() override;

    // DiscoveryDirectory
    void stop() override;
    void alive(uint8_t const* guidPrefix) override;
    void removeParticipant(uint8_t const* guidPrefix) override;
    bool getWriterDCPSConfig(GUID_t const& writer,
                             vexa::dds::PublicationBuiltinTopicData& out) override;
    void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                           std::vector<ReaderProxyInfo>& out) override;
    void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const& subscription,
                           std::vector<WriterProxyInfo>& out) override;
    bool getReaderConfig(GUID_t const& reader,
                         vexa::dds::SubscriptionBuiltinTopicData& out) override;
    void getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) override;
    bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                        vexa::dds::SubscriptionBuiltinTopicData const& subscription) override;
    bool decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload, uint32_t length,
                           CacheChange* change) override;
    CacheChange* addBuiltinChange(BuiltinTopic topic, CacheChange* change) override;
    void removeRemoteRecords(GUID_t const& remote) override;

    SPDPBuiltinParticipantReader& participants() { return m_participants; }
    SEDPBuiltinPublicationReader& publications() { return m_publications; }
    SEDPBuiltinSubscriptionReader& subscriptions() { return m_subscriptions; }
    BuiltinParticipantMessageReader& messages() { return m_messages; }

    // The log name of a built-in reader of the participant with that host-wide index.
    static std::string logName(uint8_t hostWideIndex, EntityId_t const& id);

private:
    SEDPBuiltinPublicationReader m_publications;
    SEDPBuiltinSubscriptionReader m_subscriptions;
    BuiltinParticipantMessageReader m_messages;
    // Last: its lease thread reaches the stores above through the host.
    SPDPBuiltinParticipantReader m_participants;
};

}  // namespace RTPS
