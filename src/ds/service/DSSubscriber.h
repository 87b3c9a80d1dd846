#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ds/store/DSReader.h"
#include "ds/store/DSReaderHost.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace vexa::ds {

class DSDomainParticipant;
class RemoteWriterRegistry;
struct RemoteDW;

// The stored readers of one served domain, one per kept topic, with the domain's sample input
// and the replay of stored history to late readers.
//
// Input is a swap buffer: the engine's threads append announced changes to `input` under the
// input lock only; the data thread swaps `input` with `work` once per round and stores the
// batch under the subscriber lock. Once the domain's input is stopped nothing is queued and
// nothing more is stored; queued handles are then left to the engine.
//
// Lock order: domain -> subscriber (`lock()`) -> built-in -> input. The input lock is a leaf.
// The subscriber calls the engine (addReader, getChange, deleteChange, historicalData) while it
// holds the subscriber lock, and for createDR the domain lock too: the engine must not wait in
// those calls for a thread that calls back into a per-reader operation.
class DSSubscriber : public DSReaderHost {
public:
    static constexpr uint32_t ID = 0x02000001;
    static constexpr uint32_t FIRST_READER_ID = 0x08010001;
    static constexpr uint32_t MAX_READERS = 2042;

    DSSubscriber(DSDomainParticipant& participant, RemoteWriterRegistry& builtin);
    ~DSSubscriber() override;

    DSSubscriber(const DSSubscriber&) = delete;
    DSSubscriber& operator=(const DSSubscriber&) = delete;

    std::recursive_mutex& lock() { return m_lock; }

    // The reader of a kept topic, made and registered with the engine; the existing one when the
    // topic has one; null when the engine refuses it or the domain has no reader id left.
    DSReader* createDR(const vexa::dds::TopicBuiltinTopicData& topic, bool hasKey);
    // 0 once the domain's reader ids are used up.
    uint32_t getNewReaderID();

    // Engine thread: queues an announced change of `reader`; false once input has stopped.
    bool ddsisampleHandler(DSReader* reader, RTPS::SampleInfo* handle);
    // Data thread: stores the queued changes (one swap per call).
    void ddsicashHandler();

    void periodicStatusCheck();
    void collectGarbage();
    // Offers a newly discovered writer to the readers in id order; the one that takes it.
    DSReader* discoverDW(const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                         const vexa::dds::PublicationBuiltinTopicData& data);

    // Per-reader operations: each takes the subscriber lock and does nothing for a reader that
    // is not one of this subscriber's.
    void changeDWQoS(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                     const vexa::dds::DeadlineQosPolicy& deadline,
                     const vexa::dds::LatencyBudgetQosPolicy& latency,
                     const vexa::dds::LifespanQosPolicy& lifespan,
                     const vexa::dds::OwnershipStrengthQosPolicy& strength);
    void looseDW(DSReader* reader, const uint32_t prefix[3], uint32_t entityId);
    // A writer's assertion the engine reported for the reader's engine reader.
    void assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId);
    // A participant's or its writers' assertion, at the time the bookkeeping recorded.
    void assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                          const vexa::dds::Time_t& t, bool writerLevel);
    void addHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key);
    void removeHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key);
    bool hasHistoryWriters(DSReader* reader);

    // Data thread: hands what each acceptor still needs to the engine, oldest first. A
    // finished acceptor gets one last call, empty when nothing remains, and its key is
    // appended to `finished`.
    void sendHistory(std::vector<vexa::dds::KeyHash_t>& finished);

    // DSReaderHost.
    vexa::dds::Time_t now() const override;
    int32_t maxSamplesPerReader() const override;
    const vexa::dds::SubscriberQos& subscriberQos() const override { return m_qos; }
    Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId, DSReader* reader,
                              Publication& out) override;

    // The reader with this id, or null.
    DSReader* getReader(uint32_t id) const;

private:
    struct DDSISample {
        RTPS::SampleInfo* handle;
        DSReader* reader;
    };

    bool owns(const DSReader* reader) const;
    void processWork();

    DSDomainParticipant& m_participant;
    RemoteWriterRegistry& m_builtin;
    const vexa::dds::SubscriberQos m_qos;
    // Index = low 16 bits of the reader id; slot 0 unused.
    std::vector<std::unique_ptr<DSReader>> m_readers;
    uint32_t m_nextReaderId = FIRST_READER_ID;
    std::vector<DDSISample> m_input;
    std::vector<DDSISample> m_work;
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> m_history;
    std::recursive_mutex m_lock;
    std::mutex m_inputLock;
};

}  // namespace vexa::ds
