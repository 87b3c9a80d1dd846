#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ds/store/DSReaderHost.h"
#include "ds/store/UserList.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace RTPS {
class Reader;
}

namespace vexa::ds {

// The stored history of one TRANSIENT or PERSISTENT topic in one domain: the samples of the
// remote writers it matches, within the service's limit and the topic's durability-service
// history, and the cursors of late readers (history acceptors) into them.
// It has no lock: the subscriber drives it under the subscriber lock.
class DSReader {
public:
    using KeyHash = vexa::dds::KeyHash_t;
    // Writer GUID: prefix words then entity id.
    using Guid = std::array<uint32_t, 4>;

    // Writer flags.
    static constexpr uint32_t DW_KNOWN = 1;
    static constexpr uint32_t DW_ALIVE = 2;
    static constexpr uint32_t DW_TIMING_MISMATCH = 4;  // deadline or latency budget
    static constexpr uint32_t DW_QOS_MISMATCH = 8;     // permanent
    // Instance state: the low bits are the last status flags.
    static constexpr int32_t INSTANCE_REMOVED = int32_t(0x80000000u);
    static constexpr uint32_t STORED_FLAG = 0x40000000u;

    // ddsisampleHandler results.
    static constexpr int SAMPLE_STORED = 0;
    static constexpr int SAMPLE_DROPPED = 1;
    static constexpr int SAMPLE_STATE_ONLY = 2;

    struct InstanceCB {
        KeyHash key;
        vexa::dds::Time_t lastAliveTime = vexa::dds::TIME_INVALID;
        vexa::dds::Time_t disposeTime = vexa::dds::TIME_INVALID;
        int32_t state = 0;
        int32_t owner = -1;
        uint32_t writerCount = 0;
        uint32_t sampleCount = 0;
        bool removed() const { return (state & INSTANCE_REMOVED) != 0; }
    };

    struct HistorySampleCB : public UserListItem {
        std::shared_ptr<RTPS::HistoricalSampleInfo> sample;
        vexa::dds::Time_t expiry = vexa::dds::TIME_INVALID;
        uint32_t instance = 0;
        int32_t writer = -1;
        bool hasExpiry = false;
    };

    // The reader-level record of one remote writer of this topic.
    struct RemoteDW {
        Guid guid{};
        const vexa::ds::RemoteDW* domainRecord = nullptr;
        uint32_t remotePubId = 0;
        uint32_t flags = 0;
        int32_t strength = 0;
        uint32_t livelinessKind = 0;
        vexa::dds::Time_t livelinessTime = vexa::dds::TIME_INVALID;
        vexa::dds::Duration_t lifespan = vexa::dds::DURATION_INFINITE;
        std::map<int32_t, uint32_t> instances;  // writer's instance handle -> instance index

        bool usable() const {
            return (flags & DW_ALIVE) != 0 && (flags & (DW_TIMING_MISMATCH | DW_QOS_MISMATCH)) == 0;
        }
        // Strength first; equal strengths compare the GUIDs as two little-endian u64, and a
        // full tie is stronger, so an owner keeps its instance against itself.
        bool isStrongerThan(const RemoteDW& o) const;
    };

    DSReader(DSReaderHost& host, const vexa::dds::TopicBuiltinTopicData& topic, uint32_t id);
    ~DSReader();

    DSReader(const DSReader&) = delete;
    DSReader& operator=(const DSReader&) = delete;

    int ddsisampleHandler(RTPS::SampleInfo& si, const uint32_t prefix[3], uint32_t entityId);
    bool discoverDW(const vexa::ds::RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                    const vexa::dds::PublicationBuiltinTopicData& pub);
    void changeDWQoS(const uint32_t prefix[3], uint32_t entityId,
                     const vexa::dds::DeadlineQosPolicy& deadline,
                     const vexa::dds::LatencyBudgetQosPolicy& latency,
                     const vexa::dds::LifespanQosPolicy& lifespan,
                     const vexa::dds::OwnershipStrengthQosPolicy& strength);
    void looseDW(const uint32_t prefix[3], uint32_t entityId);
    void assertLiveliness(const uint32_t prefix[3], uint32_t entityId);
    void assertLiveliness(const uint32_t prefix[3], uint32_t entityId, vexa::dds::Time_t t,
                          bool writerLevel);
    void checkLiveliness();
    void checkDeadline();
    void removeOutdatedInstances();
    void collectGarbage();

    void addHistoryAcceptor(const KeyHash& key);
    void removeHistoryAcceptor(const KeyHash& key);
    // Fills `out` with what the next acceptor still needs; false when the walk is at its end.
    // `next` false restarts the walk.
    bool fillHistoryAcceptorSamples(bool next, KeyHash& key,
                                    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& out,
                                    bool& finished);
    bool hasAliveWriters() const;
    bool hasAliveWritersBesidesMe(const KeyHash& key) const;
    bool hasHistoryWriters() const { return m_totalSamples > 0 || hasAliveWriters(); }

    uint32_t getId() const { return m_id; }
    const std::string& topicName() const { return m_topicName; }
    const vexa::dds::DataReaderQos& qos() const { return m_qos; }
    vexa::dds::SubscriptionBuiltinTopicData& subscriptionData() { return m_subscriptionData; }
    RTPS::Reader* rtpsReader() const { return m_rtpsReader; }
    void setRtpsReader(RTPS::Reader* r) { m_rtpsReader = r; }

    // Read-only views for the subscriber, the fuzz target and tests.
    int32_t maxSamples() const { return m_maxSamples; }
    int32_t maxInstances() const { return m_maxInstances; }
    int32_t maxSamplesPerInstance() const { return m_maxSamplesPerInstance; }
    int32_t depth() const { return m_depth; }
    uint32_t totalSamples() const { return m_totalSamples; }
    uint32_t instanceCount() const { return m_instanceCount; }
    const std::vector<InstanceCB>& instances() const { return m_instances; }
    const std::vector<RemoteDW>& writers() const { return m_writers; }
    const std::map<Guid, int32_t>& writerIndex() const { return m_writerIndex; }
    const UserList& samples() const { return m_samples; }
    // Null cursor: the acceptor is up to date. Absent key: nullptr and false.
    bool acceptorCursor(const KeyHash& key, const HistorySampleCB*& cursor) const;
    size_t acceptorCount() const { return m_acceptors.size(); }
    // The store's invariants (counts, cursors, indexes); the text of the first broken one.
    std::string checkInvariants() const;

private:
    struct KeyHasher {
        size_t operator()(const KeyHash& k) const;
    };
    struct KeyEqual {
        bool operator()(const KeyHash& a, const KeyHash& b) const { return a == b; }
    };
    struct KeyLess {
        bool operator()(const KeyHash& a, const KeyHash& b) const;
    };

    static Guid makeGuid(const uint32_t prefix[3], uint32_t entityId);
    int32_t findWriter(const uint32_t prefix[3], uint32_t entityId) const;
    int32_t locateRDWforReceivedSample(const uint32_t prefix[3], uint32_t entityId);
    int32_t locateInstanceforReceivedSample(const RTPS::SampleInfo& si, int32_t writer);
    int32_t addInstance(const KeyHash& key);
    void addInstanceForDW(int32_t writer, int32_t handle, uint32_t instance);
    bool removeInstanceForDW(int32_t writer, int32_t handle);
    void removeInstance(uint32_t i);
    void removeLostInstances();
    void addSample(uint32_t i, RTPS::SampleInfo& si, int32_t writer, const uint32_t prefix[3],
                   uint32_t entityId);
    UserListItem* deleteSample(HistorySampleCB* s);
    void deleteMostOldInstanceSample(uint32_t i);
    void supplantMostOldSample();
    bool deleteOutdatedSamplesDueLifespan();
    void deleteSamplesForInstance(uint32_t i);
    void changeRDWliveliness(int32_t w, uint32_t newFlags);
    void sampleNoDW(uint32_t i);
    void updateState(uint32_t i, uint32_t statusFlags);
    void reindexInstances();
    void reindexRDWs();
    uint32_t timingFlags(const vexa::dds::DeadlineQosPolicy& d,
                         const vexa::dds::LatencyBudgetQosPolicy& l) const;
    bool elapsed(vexa::dds::Time_t t) const;

    DSReaderHost& m_host;
    const uint32_t m_id;
    const std::string m_topicName;
    vexa::dds::DataReaderQos m_qos;
    vexa::dds::SubscriptionBuiltinTopicData m_subscriptionData;
    RTPS::Reader* m_rtpsReader = nullptr;

    vexa::dds::Time_t m_lastLivelinessCheck;
    vexa::dds::Time_t m_lastDeadlineCheck;
    uint32_t m_totalSamples = 0;
    uint32_t m_instanceCount = 0;
    std::vector<InstanceCB> m_instances;
    std::unordered_map<KeyHash, uint32_t, KeyHasher, KeyEqual> m_instanceIndex;
    std::vector<RemoteDW> m_writers;
    std::map<Guid, int32_t> m_writerIndex;
    std::map<KeyHash, HistorySampleCB*, KeyLess> m_acceptors;
    KeyHash m_walkNext;  // the acceptor the walk continues at
    bool m_walkEnd = true;
    UserList m_samples;

    int32_t m_maxSamples = 0;
    int32_t m_maxInstances = 0;
    int32_t m_maxSamplesPerInstance = 0;
    int32_t m_depth = 0;
    bool m_exclusive = false;
    bool m_storeFullReported = false;
    bool m_hasLifespan = false;
    vexa::dds::Duration_t m_lifespan;
    vexa::dds::Time_t m_earliestExpiry = vexa::dds::TIME_INVALID;
    bool m_cleanupEnabled = false;
    vexa::dds::Time_t m_nextCleanupCheck = vexa::dds::TIME_INVALID;
    vexa::dds::Duration_t m_cleanupDelay;
};

}  // namespace vexa::ds
