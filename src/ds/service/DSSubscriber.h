#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ds/service/DomainSubscriber.h"
#include "ds/store/DSReader.h"
#include "ds/store/DSReaderHost.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace vexa::ds {

class DSDomainParticipant;
class DSSubscriberBuiltin;
class DSTopic;
struct RemoteDW;

// The stored readers of one served domain, one per kept topic, with the domain's sample input
// and the replay of stored history to late readers.
//
// Input is a swap buffer: the engine's threads append announced changes to `input` under the
// input lock only; the data thread swaps `input` with `work` once per round and stores the
// batch under the subscriber lock. Once the domain's input is stopped nothing is queued and
// nothing more is stored; queued handles are then left to the engine.
//
// The discovery bookkeeping is the domain's built-in subscriber.
//
// Lock order: domain -> subscriber (`lock()`) -> built-in -> input. The input lock is a leaf.
// The subscriber calls the engine (addReader, getChange, deleteChange, historicalData) while it
// holds the subscriber lock, and for createDR the domain lock too: the engine must not wait in
// those calls for a thread that calls back into a per-reader operation.
class DSSubscriber : public DomainSubscriber, public DSReaderHost {
public:
    static constexpr uint32_t ID = 0x02000001;
    static constexpr uint32_t FIRST_READER_ID = 0x08010001;
    static constexpr uint32_t MAX_READERS = 2042;

    explicit DSSubscriber(DSDomainParticipant& participant);
    ~DSSubscriber() override;

    DSSubscriber(const DSSubscriber&) = delete;
    DSSubscriber& operator=(const DSSubscriber&) = delete;

    std::recursive_mutex& lock() { return m_lock; }
    // The domain's discovery bookkeeping; null before the domain has its engine.
    DSSubscriberBuiltin* getBuiltinSubscriber() const;

    // The reader of a kept topic, made and registered with the engine; the existing one when the
    // topic has one; null when the engine refuses it or the domain has no reader id left.
    DSReader* createDR(const DSTopic& topic) override;
    // 0 once the domain's reader ids are used up.
    uint32_t getNewReaderID();

    // Engine thread: queues an announced change of `reader`; false once input has stopped.
    bool ddsisampleHandler(DSReader* reader, RTPS::SampleInfo* handle) override;
    // Data thread: stores the queued changes (one swap per call).
    void ddsicashHandler() override;

    void periodicStatusCheck() override;
    void collectGarbage() override;
    // Offers a newly discovered writer to the readers in id order; the one that takes it.
    DSReader* discoverDW(const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                         const vexa::dds::PublicationBuiltinTopicData& data) override;

    // Per-reader operations: each takes the subscriber lock and does nothing for a reader that
    // is not one of this subscriber's.
    void changeDWQoS(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                     const vexa::dds::DeadlineQosPolicy& deadline,
                     const vexa::dds::LatencyBudgetQosPolicy& latency,
                     const vexa::dds::LifespanQosPolicy& lifespan,
                     const vexa::dds::OwnershipStrengthQosPolicy& strength) override;
    void looseDW(DSReader* reader, const uint32_t prefix[3], uint32_t entityId) override;
    // A writer's assertion the engine reported for the reader's engine reader.
    void assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId) override;
    // A participant's or its writers' assertion, at the time the bookkeeping recorded.
    void assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                          vexa::dds::Time_t t, bool writerLevel) override;
    void addHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key) override;
    void removeHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key) override;
    bool hasHistoryWriters(DSReader* reader) override;

    // Data thread: hands what each acceptor still needs to the engine, oldest first. A
    // finished acceptor gets one last call, empty when nothing remains, and its key is
    // appended to `finished`.
    void sendHistory(std::vector<vexa::dds::KeyHash_t>& finished) override;

    // DSReaderHost.
    vexa::dds::Time_t now() const override;
    int32_t maxSamplesPerReader() const override;
    const vexa::dds::SubscriberQos& subscriberQos() const override { return m_qos; }
    Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId, DSReader* reader,
                              Publication& out) override;

    // The reader with this id, or null.
    DSReader* getReader(uint32_t id) const;
    // Every stored reader, in id order.
    void getReaders(std::vector<DSReader*>& out) const;

private:
    struct DDSISample {
        RTPS::SampleInfo* handle;
        DSReader* reader;
    };

    bool owns(const DSReader* reader) const;
    void processWork();

    DSDomainParticipant& m_participant;
    const vexa::dds::SubscriberQos m_qos;
    // Index = low 16 bits of the reader id; slot 0 unused.
    std::vector<std::unique_ptr<DSReader>> m_readers;
    uint32_t m_nextReaderId = FIRST_READER_ID;
    std::vector<DDSISample> m_input;
    std::vector<DDSISample> m_work;
    std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> m_history;
    mutable std::recursive_mutex m_lock;
    std::mutex m_inputLock;
};

}  // namespace vexa::ds
