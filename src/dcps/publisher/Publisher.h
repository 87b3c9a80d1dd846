#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <string>
#include <vector>

#include "dcps/entity/Entity.h"
#include "dcps/lock/OrderedMutex.h"
#include "dcps/publisher/Writer.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/Status.h"

namespace RTPS {
class Participant;
class Writer;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::dcps {

class DomainParticipant;
struct RemoteDR;
class TimeService;
class Topic;
namespace api {
class DataWriterImpl;
class DPEventForwarder;
class DWEventForwarder;
class PubEventForwarder;
}  // namespace api

// The publisher: owner of its writers, of their ids and of the instance handles of their keys,
// and the one road from the API into every writer operation. Each operation taking a Writer*
// first requires it to be one of this publisher's (a fatal assertion otherwise).
//
// Locks: the publisher mutex (recursive) guards everything here and in its writers.
// assertLiveliness, createDW, deleteDW, closeDWByApi, setQoS, setWriterQoS and the
// acknowledgement waits take the participant mutex and the publisher mutex together (lockJoint),
// so a path that reaches the built-in subscriber's mutex holds the participant's first; the
// other writer operations take the publisher mutex only. write, dispose and unregisterInstance
// take both (write for the participant's liveliness), then run the writer's part under the
// publisher mutex alone. That part never waits: when the engine writer's history or the
// writer's own histories are full it gives its sample back, and the publisher waits for room
// with neither mutex held, then retries; one deadline (max_blocking_time) covers every round.
// So no core mutex is held while the engine's parser thread, which delivers the
// acknowledgements that make room in the engine and takes both mutexes on its way through the
// discovery handlers (discoverDR, changeDRQoS, looseDR), or the data-handling thread is needed
// to make progress. The wait counts as an engine call on the writer and the participant (the
// collector keeps the writer) and runs in slices of at most 100 ms, so that a deletion ends it.
// The writer-resources gate's mutex is a leaf, taken under the publisher mutex by signallers.
// Engine calls that may block (setQoS of engine writers, checkDelivery, assertLiveliness of an
// engine writer) run after both are released and count as in flight on the writer and on the
// participant; an engine writer is closed only when no call on it is in flight, by whoever
// ends the last one, so no thread waits for another while holding a core mutex.
// checkDelivery runs in slices of at most 100 ms against the caller's one deadline and stops
// with ALREADY_DELETED once the writer (or, for waitForAcknowledgements, the publisher) is
// being deleted or the participant closes.
class Publisher : public Entity {
public:
    // `qos` null: the participant's default publisher QoS.
    Publisher(DomainParticipant* participant, int32_t id, vexa::dds::PublisherQos const* qos);
    // Signals the writer-resources gate, then destroys every writer still in the table.
    ~Publisher() override;

    // Listener mask 0, closeDWByApi for every live writer, the built-in publication writer
    // forgotten.
    void closedByApi() override;
    // With autoenable: enables every live writer.
    vexa::dds::ReturnCode_t enable_childs() override;

    // Writer life cycle. createDW returns the new writer's API bridge, or null (logged).
    api::DataWriterImpl* createDW(Topic const* topic, vexa::dds::DataWriterQos const* qos,
                                  api::DWEventForwarder* listener, vexa::dds::StatusMask mask);
    // Unregisters its instances (waiting for room in the engine as a write does, within a
    // finite max_blocking_time; an infinite one does not wait), announces the removal, closes the
    // engine writer and marks the writer; the collector frees it. The writer goes also when an
    // unregistration could not: the code of the first that failed is returned and logged with the
    // number left. OK and nothing for a bridge without a live writer of this publisher.
    vexa::dds::ReturnCode_t deleteDW(api::DataWriterImpl* bridge);
    void closeDWByApi(Writer* writer);
    // The bridge of the first live writer of the topic, else null.
    api::DataWriterImpl* lookupDW(std::string const& topicName);
    bool inUse();
    // No writer left in the table, marked or not.
    bool empty();
    bool contains_entity(int32_t handle);
    void collectGarbage();

    // Sample operations.
    vexa::dds::ReturnCode_t write(Writer* writer, void const* sample,
                                  vexa::dds::InstanceHandle_t handle,
                                  vexa::dds::Time_t const* timestamp);
    vexa::dds::InstanceHandle_t registerInstance(Writer* writer, void const* sample,
                                                 vexa::dds::Time_t const* timestamp);
    vexa::dds::ReturnCode_t unregisterInstance(Writer* writer, void const* sample,
                                               vexa::dds::InstanceHandle_t handle,
                                               vexa::dds::Time_t const* timestamp);
    vexa::dds::ReturnCode_t dispose(Writer* writer, void const* sample,
                                    vexa::dds::InstanceHandle_t handle,
                                    vexa::dds::Time_t const* timestamp);
    vexa::dds::ReturnCode_t getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle,
                                        Writer* writer);
    vexa::dds::InstanceHandle_t lookupInstance(void const* sample, Writer* writer);
    // Returns once no call of the listener replaced can come any more (at once on the thread
    // making listener calls).
    vexa::dds::ReturnCode_t setWriterListener(api::DWEventForwarder* listener,
                                              vexa::dds::StatusMask mask, Writer* writer);
    vexa::dds::ReturnCode_t getLivelinessLostStatus(vexa::dds::LivelinessLostStatus& out,
                                                    Writer* writer);
    vexa::dds::ReturnCode_t getOfferedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out,
                                                           Writer* writer);
    vexa::dds::ReturnCode_t getOfferedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out,
                                                            Writer* writer);
    vexa::dds::ReturnCode_t getPublicationMatchedStatus(vexa::dds::PublicationMatchedStatus& out,
                                                        Writer* writer);
    // ALREADY_DELETED, NOT_ENABLED or OK.
    vexa::dds::ReturnCode_t assertLiveliness(Writer* writer);

    // QoS and listener.
    vexa::dds::ReturnCode_t getQoS(vexa::dds::PublisherQos& out);
    vexa::dds::ReturnCode_t getDefaultDWQoS(vexa::dds::DataWriterQos& out);
    vexa::dds::ReturnCode_t setDefaultDWQoS(vexa::dds::DataWriterQos const& qos);
    vexa::dds::ReturnCode_t setListener(api::PubEventForwarder* listener,
                                        vexa::dds::StatusMask mask);
    // Partition and group data changes reach the engine writers (mask 128 / 4).
    vexa::dds::ReturnCode_t setQoS(vexa::dds::PublisherQos const& qos);
    // Changes of deadline (8), latency budget (16), lifespan (0x200), user data (1) and
    // transport priority (0x100) reach the engine writer.
    vexa::dds::ReturnCode_t setWriterQoS(vexa::dds::DataWriterQos const& qos, Writer* writer);

    // Identifiers. 0: none left.
    uint32_t getNewWriterID();
    vexa::dds::InstanceHandle_t getNewObjectID(Writer const* writer, uint32_t index);
    // The stored index, or 0xFFFFFFFF for a handle that is not this publisher's or lies beyond
    // the table; with `owner`, also when another writer holds the handle.
    uint32_t getLocalObjectIndex(vexa::dds::InstanceHandle_t handle) const;
    uint32_t getLocalObjectIndex(vexa::dds::InstanceHandle_t handle, Writer const* owner) const;
    bool setLocalObjectIndex(vexa::dds::InstanceHandle_t handle, uint32_t index);

    // Engine calls for the writers (publisher mutex held). sendRTPSmsg stores the engine's
    // change handle (0xFFFFFFFF when none was made).
    vexa::dds::ReturnCode_t sendRTPSmsg(RTPS::Writer* rtpsWriter, RTPS::SampleInfo& sample,
                                        int64_t& changeHandle);
    vexa::dds::ReturnCode_t deleteRTPSmsg(RTPS::Writer* rtpsWriter, long changeHandle);
    // The change goes at once, acknowledged or not; OK also when the engine no longer held it.
    vexa::dds::ReturnCode_t dropRTPSmsg(RTPS::Writer* rtpsWriter, long changeHandle);
    // The gate a full writer waits on: true when signalled, false at the deadline
    // (milliseconds from now, one monotonic deadline; 0: no limit).
    bool waitForWriterResources(unsigned long ms);
    // Wakes the gate's waiters; called, publisher mutex held, whenever a sample leaves a
    // writer's histories.
    void signalForWriterResources();
    vexa::dds::ReturnCode_t waitForWriterAcknowledgements(vexa::dds::Duration_t const& maxWait,
                                                          Writer* writer);
    vexa::dds::ReturnCode_t waitForAcknowledgements(vexa::dds::Duration_t const& maxWait);

    // Remote readers, from the built-in subscriber (participant mutex held, its own released).
    // discoverDR: 0 when nothing was done (null writer, publisher or writer marked), else the
    // writer's result. looseDR reaches a writer marked for deletion too: it must forget the
    // reader's record before the collector frees it.
    int discoverDR(Writer* writer, RemoteDR const* record, uint32_t const* guidPrefix,
                   uint32_t entityId, vexa::dds::SubscriptionBuiltinTopicData const& data);
    void changeDRQoS(Writer* writer, uint32_t const* guidPrefix, uint32_t entityId,
                     vexa::dds::DeadlineQosPolicy const& deadline,
                     vexa::dds::LatencyBudgetQosPolicy const& latency);
    void looseDR(Writer* writer, uint32_t const* guidPrefix, uint32_t entityId);

    // The data-handling thread's tick for every live enabled writer (participant mutex held);
    // the listener calls go into `batch`, made after both mutexes are let go.
    void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, vexa::dds::StatusMask mask,
                                      ListenerCalls::Batch& batch);
    // The same as one batch of its own, made before it returns (no core mutex held).
    void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, vexa::dds::StatusMask mask);
    // Between ticks, after discovery changed a status: the listeners and conditions alone.
    void notifyStatus(api::DPEventForwarder* listener, vexa::dds::StatusMask mask,
                      ListenerCalls::Batch& batch);

    // The participant closes (its mutex held): every writer forgets its engine writer, the
    // publisher its built-in publication writer. Engine calls in flight end before the engine
    // participant goes (they count on the participant too).
    void forgetRTPS();

    DomainParticipant* getParticipant() const { return participant_; }
    TimeService& getTimeService() const;
    CoreRecursiveMutex& getMutex() { return mutex_; }
    api::PubEventForwarder* getListener() const { return listener_; }
    vexa::dds::PublisherQos const& qos() const { return qos_; }
    // The writer of a table index (the low 16 bits of its id), or null.
    Writer* writerAt(uint32_t index);

private:
    // The fatal assertion of every operation that takes a writer.
    void requireOwn(Writer const* writer, char const* module) const;
    // Hands the engine's built-in publication writer the writer's removal and closes (or has
    // the last call in flight close) its engine writer. Both mutexes held.
    void retireEngineWriter(Writer* writer);
    // Runs a sample operation under the locks until it finds room, waiting for room between
    // the rounds (waitForRoom): TIMEOUT once max_blocking_time is over for a full engine
    // history, the operation's own code for a full DCPS history. `bounded`: an infinite
    // max_blocking_time waits for nothing (a deletion must end).
    template <class Operation>
    vexa::dds::ReturnCode_t untilTaken(Writer* writer, bool assertsLiveliness, Operation operation,
                                       bool bounded = false);
    // With no core mutex held, in slices of at most 100 ms until room, the deadline (TIMEOUT)
    // or the writer's deletion (ALREADY_DELETED). `seen`: the gate's generation when the room
    // wanted is in the writer's histories. The caller holds an engine call on the writer and
    // the participant around it.
    vexa::dds::ReturnCode_t waitForRoom(Writer* writer, Writer::Room wanted, uint64_t seen,
                                        std::chrono::steady_clock::time_point deadline);
    // The gate, for a waiter that leaves the publisher mutex before it waits: enter under the
    // mutex (the generation to wait past), wait, leave.
    uint64_t enterWriterResourcesWait();
    bool waitForWriterResources(uint64_t seen, std::chrono::steady_clock::time_point until);
    void leaveWriterResourcesWait();
    // checkDelivery in slices of at most 100 ms until `maxWait` ends; `stopping` ends it early.
    template <class Stopping>
    vexa::dds::ReturnCode_t checkDelivery(RTPS::Participant* rtps,
                                          std::vector<RTPS::Writer*>& writers,
                                          vexa::dds::Duration_t const& maxWait, Stopping stopping);

    struct LocalObject {
        Writer* writer;
        uint32_t index;
    };

    vexa::dds::PublisherQos qos_;
    vexa::dds::DataWriterQos defaultDWQos_;
    api::PubEventForwarder* listener_ = nullptr;
    vexa::dds::StatusMask listenerMask_ = 0x7FFF;
    DomainParticipant* const participant_;
    std::vector<Writer*> writers_;
    std::atomic<uint32_t> nextWriterId_;
    std::vector<LocalObject> localObjects_;
    uint32_t nextObjectId_;
    RTPS::Writer* publicationWriter_ = nullptr;
    mutable CoreRecursiveMutex mutex_;

    // Writer-resources gate.
    CoreMutex gateMutex_;
    std::condition_variable_any gateCondition_;
    uint64_t gateGeneration_ = 0;
    std::atomic<int> gateWaiters_{0};
};

}  // namespace vexa::dcps
