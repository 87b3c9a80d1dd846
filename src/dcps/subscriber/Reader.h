#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "dcps/entity/Entity.h"
#include "dcps/entity/ListenerCalls.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/SampleInfo.h"
#include "vexa/dds/Status.h"

namespace RTPS {
class Reader;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::dcps {

class ReadCondition;
class Subscriber;
struct RemoteDW;
class Topic;
template <class Endpoint>
class EndpointGate;
namespace api {
class DPEventForwarder;
class DREventForwarder;
class DataReaderImpl;
class TypeSupportFactoryImpl;
struct SampleSeq;
}  // namespace api

// A data reader: its instances with their sample histories in the subscriber's pool, the limits
// that bound them, its statuses, read conditions and listener, and its engine reader.
//
// Every operation runs with the subscriber mutex held (the subscriber's forwarders take it);
// the reader has no lock of its own. Samples arrive only through ddsisampleHandler on the
// data-handling thread. Resource limits are fixed at construction.
//
// Remote writers: one record per writer that discovery reported or that sent a sample, with
// its match and liveliness state. Records stay in their table slot when the writer goes (the
// samples and instances name writers by slot) until the collector compacts the table. Alive
// and matched states change only through changeRDWliveliness, which keeps the liveliness
// counts and the instances' writer counts in step. Calls to the built-in subscriber from here
// (getRemotePublisher, getRemotePublisherTopicData, freeRemotePublisherByReader) take its
// mutex after the subscriber mutex: every caller holds the participant mutex first.
class Reader : public Entity {
public:
    class SampleRefList;
    struct InstanceCB;
    struct RemoteDW;
    using Gate = EndpointGate<RTPS::Reader>;

    // Results of ddsisampleHandler.
    enum Intake : int { ACCEPTED = 0, REJECTED = 1, LOST = 2, POSTPONE = 3 };

    Reader(Subscriber* subscriber, Topic* topic, int32_t id, vexa::dds::DataReaderQos const& qos);
    // Destroys its read conditions (also attached ones), frees its samples and the preallocated
    // block, and the bridge.
    ~Reader() override;

    // Clears the listener mask.
    void closedByApi() override;
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    // Bridge, instance table, hash and preallocated objects from the type support.
    void InitResources(api::TypeSupportFactoryImpl* factory);
    // The engine reader that addReader made; from then on it is reached through the gate.
    void setEngine(RTPS::Reader* engine);
    // Null once the reader forgot its engine reader (deleted, closed, participant closed).
    RTPS::Reader* getRTPS() const;
    std::shared_ptr<Gate> const& gate() const { return gate_; }

    // Intake of one change read from the engine: ACCEPTED, REJECTED (also dropped), LOST, or
    // POSTPONE (keep the change in the engine and offer it again).
    int ddsisampleHandler(RTPS::SampleInfo const& sample, vexa::dds::Duration_t& queued,
                          uint32_t const (&guidPrefix)[3], uint32_t entityId);
    // The last writer of an instance went: a NOT_ALIVE_NO_WRITERS sample is filed; false when
    // it could not be (counted lost).
    bool sampleNoDW(int32_t instance);

    // Access (Part of the application's read and take).
    void loanSamples(api::SampleSeq& seq, bool read, int32_t maxSamples, uint32_t sampleMask,
                     uint32_t viewMask, uint32_t instanceMask);
    vexa::dds::ReturnCode_t loanInstanceSamples(api::SampleSeq& seq, bool read,
                                                vexa::dds::InstanceHandle_t handle,
                                                int32_t maxSamples, uint32_t sampleMask,
                                                uint32_t viewMask, uint32_t instanceMask);
    vexa::dds::ReturnCode_t loanNextInstanceSamples(api::SampleSeq& seq, bool read,
                                                    vexa::dds::InstanceHandle_t handle,
                                                    int32_t maxSamples, uint32_t sampleMask,
                                                    uint32_t viewMask, uint32_t instanceMask);
    // OK, or PRECONDITION_NOT_MET when an element was not a loan of this reader (the others
    // are given back).
    vexa::dds::ReturnCode_t returnLoan(api::SampleSeq& seq);
    bool hasSamples(uint32_t sampleMask, uint32_t viewMask, uint32_t instanceMask) const;
    ReadCondition* createReadCondition(uint32_t sampleMask, uint32_t viewMask,
                                       uint32_t instanceMask);
    vexa::dds::ReturnCode_t deleteReadCondition(ReadCondition* condition);
    vexa::dds::ReturnCode_t deleteAllReadConditions();
    void signalConditions();
    vexa::dds::ReturnCode_t getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle);
    vexa::dds::InstanceHandle_t lookupInstance(void const* data);
    // The listener calls go into `batch`; true when one went.
    bool callDataAvailableListener(ListenerCalls::Batch& batch);
    bool invokeListenerOnDataAvailable(ListenerCalls::Batch& batch);

    // Statuses and QoS.
    vexa::dds::ReturnCode_t setListener(api::DREventForwarder* listener, uint32_t mask);
    api::DREventForwarder* getListener() const { return listener_; }
    uint32_t getListenerMask() const { return listenerMask_; }
    vexa::dds::DataReaderQos const& getQoS() const { return qos_; }
    // Stores the QoS; the limits stay as they were.
    vexa::dds::ReturnCode_t setQoS(vexa::dds::DataReaderQos const& qos);
    vexa::dds::ReturnCode_t getLivelinessChangedStatus(vexa::dds::LivelinessChangedStatus& out);
    vexa::dds::ReturnCode_t getRequestedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out);
    vexa::dds::ReturnCode_t getRequestedIncompatibleQosStatus(
        vexa::dds::IncompatibleQosStatus& out);
    vexa::dds::ReturnCode_t getSampleLostStatus(vexa::dds::SampleLostStatus& out);
    vexa::dds::ReturnCode_t getSampleRejectedStatus(vexa::dds::SampleRejectedStatus& out);
    vexa::dds::ReturnCode_t getSubscriptionMatchedStatus(vexa::dds::SubscriptionMatchedStatus& out);
    void callPlainStatusListeners(api::DPEventForwarder* participantListener,
                                  uint32_t participantMask, ListenerCalls::Batch& batch);
    void checkDeadline();
    // The collector's pass: compaction of the instance table, removal of outdated instances,
    // compaction of the remote-writer table.
    void collectGarbage();
    bool removeOutdatedInstances();
    bool removeInstance(int32_t index);
    void reindexInstances();

    // Remote writers (the subscriber's locked forwarders and the built-in subscriber call these).
    // True when the writer got a record here (matched or not); false for another topic or a
    // writer already known with its discovery record.
    bool discoverDW(vexa::dcps::RemoteDW* record, unsigned const* guidPrefix, unsigned entityId,
                    vexa::dds::PublicationBuiltinTopicData const& data);
    void changeDWQoS(unsigned const* guidPrefix, unsigned entityId,
                     vexa::dds::DeadlineQosPolicy const& deadline,
                     vexa::dds::LatencyBudgetQosPolicy const& latency,
                     vexa::dds::LifespanQosPolicy const& lifespan,
                     vexa::dds::OwnershipStrengthQosPolicy const& strength);
    void looseDW(unsigned const* guidPrefix, unsigned entityId);
    // The engine's report for this reader: the writer is alive now.
    void assertLiveliness(unsigned const* guidPrefix, unsigned entityId);
    // The built-in subscriber's report for the writers of a participant (`manual`: the engine's
    // manual flag, which renews MANUAL_BY_PARTICIPANT writers as well as AUTOMATIC ones).
    void assertLiveliness(unsigned const* guidPrefix, unsigned entityId,
                          vexa::dds::Time_t const& time, bool manual);
    // The liveliness state machine: moves record `index` to `flags`.
    void changeRDWliveliness(int32_t index, uint32_t flags);
    void checkLiveliness();
    // The record's map of writer-side instance handles (non-zero) to instance indices.
    bool addInstanceForDW(RemoteDW& writer, int32_t writerHandle, uint32_t index);
    bool removeInstanceForDW(RemoteDW& writer, int32_t writerHandle);
    void reindexRDWs();
    // The record's index, -1 when the writer has none here.
    int32_t findRDW(unsigned const* guidPrefix, unsigned entityId) const;
    std::vector<RemoteDW> const& remoteWriters() const { return rdws_; }
    uint32_t remoteWritersInUse() const { return rdwInUse_; }

    Subscriber* getSubscriber() const;
    Topic* getTopic() const { return topic_; }
    api::DataReaderImpl* getBridge() const { return bridge_; }
    vexa::dds::SubscriptionBuiltinTopicData& subscriptionData() { return data_; }
    // Rebuilds the announced description from the QoS of the reader, subscriber and topic.
    void refreshSubscriptionData();

    // Effective limits.
    uint32_t maxSamples() const { return maxSamples_; }
    uint32_t maxInstances() const { return maxInstances_; }
    uint32_t maxSamplesPerInstance() const { return maxPerInstance_; }
    uint32_t depth() const { return depth_; }
    uint32_t listStep() const { return listStep_; }
    uint32_t preallocated() const { return allocCount_; }
    // Samples beyond the preallocated block are made by the type support. Once the reader is
    // done with one that held at most SPARE_MAX_LENGTH packed bytes, it keeps it for the next
    // sample (so what it keeps stays small), up to SPARE_OBJECTS of them; the rest are
    // deleted, and the kept ones go with the reader.
    static constexpr size_t SPARE_OBJECTS = 128;
    static constexpr uint64_t SPARE_MAX_LENGTH = 4096;
    // State, for the subscriber's checks and for tests.
    uint32_t samplesHeld() const { return held_; }
    uint32_t liveInstances() const { return live_; }
    std::vector<InstanceCB> const& instances() const { return instances_; }
    // The instance index of one of this reader's handles; -1 for a handle that is not one of
    // its instances (another subscriber's or another reader's, or beyond the table).
    int32_t resolveHandle(vexa::dds::InstanceHandle_t handle) const;

private:
    struct KeyHashHash {
        size_t operator()(vexa::dds::KeyHash_t const& k) const {
            uint64_t hi = 0;
            uint64_t lo = 0;
            std::memcpy(&hi, k.hash, 8);
            std::memcpy(&lo, k.hash + 8, 8);
            return static_cast<size_t>((hi * 2) ^ lo);
        }
    };
    struct KeyHashEqual {
        bool operator()(vexa::dds::KeyHash_t const& a, vexa::dds::KeyHash_t const& b) const {
            return a == b;
        }
    };

    // Intake. The object of a sample: its index in the preallocated block, or one of these.
    static constexpr int32_t HEAP_OBJECT = -1;
    static constexpr int32_t SPARE_OBJECT = -2;  // a heap object that may be kept as a spare
    int32_t allocateSample(RTPS::SampleInfo const& sample, void*& data);
    void deallocateSample(void* data, int32_t object);
    // A heap object the reader is done with: kept as a spare (`spare` and room left) or deleted.
    void releaseHeapObject(void* data, bool spare);
    int32_t addInstance(std::vector<uint8_t>&& key, vexa::dds::KeyHash_t const& hash);
    int32_t locateInstanceforReceivedSample(RTPS::SampleInfo const& sample, void const* data,
                                            int32_t writer);
    int addSample(InstanceCB& instance, int32_t object, void* data, RTPS::SampleInfo const& sample,
                  int32_t writer);
    // A change without data (an unregistration, a disposal, the notice that no writer is
    // left) that a full history would file by pushing out its oldest sample: when the
    // application has not read that one, it carries the new instance state instead, and true.
    // The last value a writer sent is never lost to the news that the writer has gone.
    bool carriedByUnread(InstanceCB& instance, uint32_t statusFlags);
    // Frees one sample of the instance (its pool slot); an unread one counts as lost.
    void deleteSample(InstanceCB& instance, int32_t slot);
    void rejectSample(vexa::dds::SampleRejectedStatusKind kind, vexa::dds::InstanceHandle_t handle);
    void looseSample();
    bool postponeSample(vexa::dds::Duration_t const& queued) const;
    bool isSampleOutdatedDueLifespan(vexa::dds::Time_t source, int32_t writer) const;
    int32_t locateRDWforReceivedSample(unsigned const* guidPrefix, unsigned entityId);
    // Enters (or re-enters in its old slot) a writer and matches it: its index, -1 when not.
    int32_t enterDW(vexa::dcps::RemoteDW* record, int32_t handle, unsigned const* guidPrefix,
                    unsigned entityId, vexa::dds::PublicationBuiltinTopicData const& data);
    // Deadline and latency budget of a compatible-so-far writer against ours.
    void recheckChangeable(int32_t index, vexa::dds::Duration_t deadline,
                           vexa::dds::Duration_t latency);
    void countIncompatible(vexa::dds::QosPolicyId_t policy);
    void releaseInstances(int32_t index);
    void acquireInstances(int32_t index);
    bool tryDeleteHistorySample();
    // A full reader makes room from expired or already read samples; false when it cannot.
    // Within one filing pass the answer stays no once it was no (Subscriber::intakePass), so
    // the entries behind a postponed one skip the search over every held sample.
    bool makeRoom();
    // Lifespan clean-up of one instance, and of all.
    bool removeExpiredSamples(InstanceCB& instance);
    bool removeExpiredSamples();
    vexa::dds::InstanceHandle_t publicationHandle(int32_t writer) const;
    uint64_t historyCapacity() const;

    // Access.
    int loanAndFillSample(InstanceCB& instance, int32_t slot, bool read, uint32_t sampleMask,
                          uint32_t viewMask, uint32_t instanceMask, api::SampleSeq& seq);
    // Lends from one instance, oldest first, until `max` are in `seq`: the number lent.
    uint32_t lendInstance(InstanceCB& instance, bool read, uint32_t max, uint32_t sampleMask,
                          uint32_t viewMask, uint32_t instanceMask, api::SampleSeq& seq);
    void beginWalk(InstanceCB& instance);
    void rank(api::SampleSeq& seq, size_t from, bool ordered) const;
    uint32_t effectiveMax(int32_t maxSamples) const;

    Topic* const topic_;
    vexa::dds::DataReaderQos qos_;
    uint32_t maxSamples_;
    uint32_t maxInstances_;
    uint32_t maxPerInstance_;
    uint32_t depth_;
    uint32_t listStep_;
    bool disposedPurge_;
    bool noWritersPurge_;
    bool exclusive_;

    vexa::dds::SampleLostStatus lost_;
    vexa::dds::SampleRejectedStatus rejected_;
    vexa::dds::LivelinessChangedStatus liveliness_;
    vexa::dds::DeadlineMissedStatus deadlineMissed_;
    vexa::dds::IncompatibleQosStatus incompatible_;
    vexa::dds::SubscriptionMatchedStatus matched_;

    std::vector<InstanceCB> instances_;
    uint32_t live_ = 0;
    std::unordered_multimap<vexa::dds::KeyHash_t, int32_t, KeyHashHash, KeyHashEqual> index_;
    uint32_t held_ = 0;
    uint32_t walk_ = 0;
    uint64_t noRoomInPass_ = 0;  // the filing pass in which makeRoom found none

    std::set<ReadCondition*> conditions_;
    api::DREventForwarder* listener_ = nullptr;
    uint32_t listenerMask_ = 0;

    api::TypeSupportFactoryImpl* factory_ = nullptr;
    api::DataReaderImpl* bridge_ = nullptr;
    void* allocBlock_ = nullptr;
    char* allocBase_ = nullptr;
    size_t stride_ = 0;
    uint32_t allocCount_ = 0;
    std::vector<uint32_t> freeObjects_;
    std::vector<void*> spareObjects_;  // heap objects to unpack into, at most SPARE_OBJECTS

    std::vector<RemoteDW> rdws_;
    std::map<std::array<uint32_t, 4>, int32_t> rdwIndex_;  // GUID -> slot
    uint32_t rdwInUse_ = 0;

    vexa::dds::SubscriptionBuiltinTopicData data_;
    std::shared_ptr<Gate> gate_;
    vexa::dds::Time_t lastDeadlineCheck_;
    vexa::dds::Time_t lastLivelinessCheck_;
};

}  // namespace vexa::dcps
