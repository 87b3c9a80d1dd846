#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dcps/entity/Entity.h"
#include "dcps/entity/ListenerCalls.h"
#include "dcps/lock/OrderedMutex.h"
#include "rtps/wire/SequenceNumber.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/SampleInfo.h"
#include "vexa/dds/Status.h"

namespace RTPS {
class Reader;
class Writer;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::dcps {

class DomainParticipant;
class ReadCondition;
class Reader;
class SubscriberBuiltin;
struct RemoteDW;
class TimeService;
class Topic;
template <class Endpoint>
class EndpointGate;
namespace api {
class DPEventForwarder;
class DREventForwarder;
class DataReaderImpl;
class SubEventForwarder;
struct SampleSeq;
}  // namespace api

// A participant's subscriber: it owns its data readers and one pool of received samples that
// they share. The engine announces a change of a reader's engine history on its own thread;
// the subscriber only queues the announcement there (ddsisampleHandler) and files it on the
// participant's data-handling thread (ddsicashHandler): the change is read, the reader unpacks
// it into a pool slot, and the change is then removed from the engine or kept for a later pass.
// Read and take lend pool slots until the loan is returned.
//
// Locks: the subscriber mutex (recursive, entity level) guards the readers, the pool and all
// reader state; it comes after the participant mutex, and creation, deletion and QoS changes of
// readers take the two together (lockJoint). The input-queue mutex guards the input queue
// only; engine threads take nothing else here, and the data-handling thread takes it under the
// subscriber mutex for one swap. Listeners run with the participant and subscriber mutexes
// held. Engine calls on a reader's engine endpoint are made under the subscriber mutex, except
// the wait for historical data, which runs through the reader's EndpointGate.
//
// Every entry of the input queue, the working list and the postponed list leaves through one
// place (`leave`) that lowers the communication object's counters, whatever became of it.
class Subscriber : public Entity {
public:
    struct SampleCB;
    class SampleList;
    using ReaderGate = EndpointGate<RTPS::Reader>;

    static vexa::dds::DataReaderQos const default_dr_qos_predef_;

    // `builtin`: the built-in subscriber, whose mutex forbids engine calls while held.
    Subscriber(DomainParticipant* participant, int32_t id, vexa::dds::SubscriberQos const& qos,
               bool builtin = false);
    // Destroys its readers (not announced) and the pool; queued entries leave counted.
    ~Subscriber() override;

    // Clears the listener mask, closes every live reader, forgets the subscription writer.
    void closedByApi() override;
    // With autoenable, enables every live reader.
    vexa::dds::ReturnCode_t enable_childs() override;
    virtual bool isBuiltin() const { return false; }
    // Propagates a partition or group-data change to every engine reader; ERROR when the engine
    // refuses (the remaining readers keep the old values).
    virtual vexa::dds::ReturnCode_t setQoS(vexa::dds::SubscriberQos const& qos);
    virtual vexa::dds::ReturnCode_t setDefaultDRQoS(vexa::dds::DataReaderQos const& qos);
    // Null (with a log line) when the ids are used up, the topic has no type support, the
    // engine refuses, or the participant has no engine any more. `qos` null: the default.
    virtual Reader* createDR(Topic* topic, vexa::dds::DataReaderQos const* qos,
                             api::DREventForwarder* listener, uint32_t mask);
    // OK when this call marked the reader; PRECONDITION_NOT_MET when it was marked already or
    // is not one of ours. The departure is announced and the engine reader closed.
    virtual vexa::dds::ReturnCode_t deleteDR(api::DataReaderImpl* reader);
    // The bridge of the first live reader of that topic, or null.
    virtual api::DataReaderImpl* lookupDR(std::string const& topicName);
    virtual vexa::dds::ReturnCode_t getDataReaders(std::vector<api::DataReaderImpl*>& out,
                                                   uint32_t sampleMask, uint32_t viewMask,
                                                   uint32_t instanceMask);
    virtual vexa::dds::ReturnCode_t setReaderQoS(vexa::dds::DataReaderQos const& qos,
                                                 Reader* reader);
    // Like deleteDR for an API close: the reader is not marked. The result of the removal
    // from the topic.
    virtual bool closeDRByApi(Reader* reader);
    // While one of its readers is not marked for deletion.
    virtual bool inUse();
    // The data-handling thread's passes (participant mutex held): listener calls go into
    // `batch`, made after the mutexes are let go.
    virtual void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask,
                                              ListenerCalls::Batch& batch);
    virtual void notifyUser(api::DPEventForwarder* listener, uint32_t mask,
                            ListenerCalls::Batch& batch);
    // The same as one batch of its own, made before it returns (no core mutex held).
    void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask);
    // On an engine thread: a remote writer of `reader` asserted its liveliness (no participant
    // lock; the reader's records are guarded by this subscriber's mutex).
    virtual void assertLiveliness(Reader* reader, unsigned const* guidPrefix, unsigned entityId);
    // The built-in subscriber's report for the writers of one remote participant.
    void assertLiveliness(Reader* reader, unsigned const* guidPrefix, unsigned entityId,
                          vexa::dds::Time_t const& time, bool manual);
    // Discovery's calls into one reader, with the participant mutex held; skipped for a
    // subscriber or reader marked for deletion (discoverDW then gives false).
    bool discoverDW(Reader* reader, RemoteDW* record, unsigned const* guidPrefix, unsigned entityId,
                    vexa::dds::PublicationBuiltinTopicData const& data);
    void changeDWQoS(Reader* reader, unsigned const* guidPrefix, unsigned entityId,
                     vexa::dds::DeadlineQosPolicy const& deadline,
                     vexa::dds::LatencyBudgetQosPolicy const& latency,
                     vexa::dds::LifespanQosPolicy const& lifespan,
                     vexa::dds::OwnershipStrengthQosPolicy const& strength);
    void looseDW(Reader* reader, unsigned const* guidPrefix, unsigned entityId);

    // Returns once no call of the listener replaced can come any more (no core mutex held).
    vexa::dds::ReturnCode_t setListener(api::SubEventForwarder* listener, uint32_t mask);
    void getQoS(vexa::dds::SubscriberQos& out);
    void getDefaultDRQoS(vexa::dds::DataReaderQos& out);
    // Calls the data-available listeners of readers with new data (application thread), with
    // no core mutex held.
    vexa::dds::ReturnCode_t notify_datareaders();
    // Whether a live reader has this id.
    bool contains_entity(int32_t handle);
    SubscriberBuiltin* getBuiltinSubscriber() const;
    // One collector pass over the readers.
    void collectGarbage();

    // On an engine thread: queues a change announced for `reader`; true when queued (the
    // caller counts it). A change for a subscriber or reader that is not enabled is queued to
    // be removed from the engine, not delivered. Takes only the input-queue mutex.
    bool ddsisampleHandler(Reader* reader, RTPS::SampleInfo* sample);
    // On the data-handling thread: retries the postponed entries, then files the queued ones.
    void ddsicashHandler();
    // Names the filing pass under way (nonzero, new for each pass), 0 outside one. Nothing is
    // taken, read or returned during a pass (it holds this subscriber's mutex), so a reader
    // that found no room for one entry finds none for the next in the same pass.
    uint64_t intakePass() const { return currentPass_; }
    // On the engine thread that queued a change, while the data-handling thread sleeps (the
    // participant mutex held, taken without waiting): files the queue and signals the
    // conditions, as a pass would for this subscriber. False, with nothing done, when the
    // subscriber mutex is taken, the subscriber is marked, or it or a reader has a listener:
    // listeners are called on the data-handling thread only.
    bool fileWithoutHandoff();
    // deleteSubscriber: the queued entries leave (their readers are marked).
    void dropQueued();
    // The participant's close: every reader forgets its engine reader (the gates are added to
    // `gates`, to be waited for outside the core mutexes) and the subscription writer is
    // forgotten.
    void closeRTPS(std::vector<std::shared_ptr<ReaderGate>>& gates);

    // Read and take (application thread). BAD_PARAMETER for max_samples 0 or a reader of
    // another subscriber, NOT_ENABLED, NO_DATA when nothing was lent, else OK.
    vexa::dds::ReturnCode_t loanSamples(api::SampleSeq& seq, Reader* reader, bool read,
                                        int32_t maxSamples, uint32_t sampleMask, uint32_t viewMask,
                                        uint32_t instanceMask);
    vexa::dds::ReturnCode_t loanInstanceSamples(api::SampleSeq& seq, Reader* reader, bool read,
                                                vexa::dds::InstanceHandle_t handle, bool next,
                                                int32_t maxSamples, uint32_t sampleMask,
                                                uint32_t viewMask, uint32_t instanceMask);
    vexa::dds::ReturnCode_t returnLoan(api::SampleSeq& seq, Reader* reader);
    // NOT_ENABLED without an engine reader; OK at once for VOLATILE; else waits in slices of at
    // most 100 ms: OK, TIMEOUT, ERROR, or ALREADY_DELETED when the reader goes meanwhile.
    vexa::dds::ReturnCode_t waitForHistoricalData(vexa::dds::Duration_t limit, Reader* reader);

    // Locked forwarding to the reader; BAD_PARAMETER (or null) for a reader not ours.
    vexa::dds::ReturnCode_t getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle,
                                        Reader* reader);
    vexa::dds::InstanceHandle_t lookupInstance(void const* data, Reader* reader);
    // Returns once no call of the listener replaced can come any more (no core mutex held).
    vexa::dds::ReturnCode_t setReaderListener(api::DREventForwarder* listener, uint32_t mask,
                                              Reader* reader);
    ReadCondition* createReadCondition(uint32_t sampleMask, uint32_t viewMask,
                                       uint32_t instanceMask, Reader* reader);
    vexa::dds::ReturnCode_t deleteReadCondition(ReadCondition* condition, Reader* reader);
    vexa::dds::ReturnCode_t deleteAllReadConditions(Reader* reader);
    vexa::dds::ReturnCode_t getLivelinessChangedStatus(vexa::dds::LivelinessChangedStatus& out,
                                                       Reader* reader);
    vexa::dds::ReturnCode_t getRequestedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out,
                                                             Reader* reader);
    vexa::dds::ReturnCode_t getRequestedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out,
                                                              Reader* reader);
    vexa::dds::ReturnCode_t getSampleLostStatus(vexa::dds::SampleLostStatus& out, Reader* reader);
    vexa::dds::ReturnCode_t getSampleRejectedStatus(vexa::dds::SampleRejectedStatus& out,
                                                    Reader* reader);
    vexa::dds::ReturnCode_t getSubscriptionMatchedStatus(vexa::dds::SubscriptionMatchedStatus& out,
                                                         Reader* reader);

    // For the readers, under the subscriber mutex.
    SampleList& pool() { return *pool_; }
    // A free slot with both records; its reader is cleared.
    int32_t getFreeSampleSlot(SampleCB*& cb, vexa::dds::SampleInfo*& info);
    // The next instance handle (recording {reader, index}), or 0 when none is left.
    vexa::dds::InstanceHandle_t getNewObjectID(Reader* reader, int32_t index);
    // The instance index recorded for a handle of this subscriber; -1 for a handle of another
    // subscriber or beyond the table. With `owner`, also -1 when another reader holds it.
    int32_t getLocalObjectIndex(vexa::dds::InstanceHandle_t handle,
                                Reader const* owner = nullptr) const;
    bool setLocalObjectIndex(vexa::dds::InstanceHandle_t handle, int32_t index);
    vexa::dds::SubscriberQos const& qos() const { return qos_; }
    DomainParticipant* getParticipant() const { return participant_; }
    TimeService& getTimeService() const { return clock_; }
    CoreRecursiveMutex& getMutex() const { return mutex_; }
    // Readers in the table (tests and the collector's bookkeeping).
    std::vector<Reader*> readers();

private:
    struct IntakeEntry {
        RTPS::SampleInfo* handle;
        Reader* reader;
        vexa::dds::Duration_t queued;
        RTPS::SequenceNumber_t seq;  // copied at queueing: the engine may free the record
        bool discard;                // not to be delivered, only removed from the engine
    };

    // Whether `reader` is one of this subscriber's (the built-in subscriber keeps its own).
    virtual bool isOurs(Reader const* reader) const;
    uint32_t getNewReaderID();
    // One entry of the intake pass; postponed ones go to `again`.
    void process(IntakeEntry const& entry, bool wasPostponed, std::vector<IntakeEntry>& again);
    // Every entry leaves here: the change is removed from `engine` (when given) and counted out.
    void leave(IntakeEntry const& entry, RTPS::Reader* engine, bool wasPostponed);
    // Drops the entries of one reader (or all, for null) from the three lists.
    void dropEntries(Reader const* reader);
    // Announces the departure of a reader that has an engine reader and releases the engine
    // reader (closed now or by the last call in flight).
    void departReader(Reader* reader);
    Reader* readerOfBridge(api::DataReaderImpl const* bridge) const;
    bool live(Reader const* reader) const;

    DomainParticipant* const participant_;
    TimeService& clock_;
    vexa::dds::SubscriberQos qos_;
    vexa::dds::DataReaderQos defaultDrQos_;
    std::vector<Reader*> readers_;
    uint32_t nextReaderId_;
    std::vector<std::pair<Reader*, int32_t>> objects_;
    uint32_t nextObjectId_;
    std::unique_ptr<SampleList> pool_;
    std::vector<IntakeEntry> queue_;
    std::vector<IntakeEntry> working_;
    std::vector<IntakeEntry> postponed_;
    std::vector<IntakeEntry> again_;
    uint64_t passes_ = 0;
    uint64_t currentPass_ = 0;
    api::SubEventForwarder* listener_ = nullptr;
    uint32_t listenerMask_ = 0x7FFF;
    RTPS::Writer* subscriptionWriter_ = nullptr;

    mutable CoreRecursiveMutex mutex_;
    CoreMutex queueMutex_;
};

}  // namespace vexa::dcps
