#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dcps/entity/EngineCalls.h"
#include "dcps/entity/Entity.h"
#include "dcps/entity/ListenerCalls.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/Status.h"

namespace RTPS {
class Writer;
}

namespace vexa::dcps {

class Publisher;
struct RemoteDR;
class TimeService;
class Topic;
namespace api {
class DataWriterImpl;
class DPEventForwarder;
class DWEventForwarder;
class TypeSupportFactoryImpl;
}  // namespace api

// The data writer: its instances keyed by key hash, each instance's history of packed samples,
// the turn of an application sample into an engine change, and its liveliness, deadline and
// statuses. Resource limits are fixed at construction (capped by DCPS.MAX_SAMPLES_PER_DW_LIMIT)
// and not recomputed by setQoS.
//
// Locks: none of its own. Every operation runs under its publisher's mutex (creation and
// deletion also under the participant's); the publisher is the only road in. No operation
// waits here: when a sample finds no room (a full engine history, or a full DCPS history in
// which every instance holds one sample) the operation fails, takes its sample back and says
// which room it wants (takeRoomWanted); the publisher waits for it with no core mutex held and
// runs the operation again. A sample leaving a history signals the publisher's
// writer-resources gate.
// Remote readers: the built-in subscriber's mutex comes after the publisher's (the setQoS
// re-check, destruction, createDW's match with the known readers), always with the
// participant's held; the discovery handlers call in through the publisher without it.
//
// Engine writer: set by createDW, taken away (under the publisher mutex) by deleteDW,
// closeDWByApi and the participant's close. Calls made on it after the publisher mutex is
// released count in engineCalls(); its close waits for the last of them.
class Writer : public Entity {
public:
    // One sample of an instance's history: links by index within the list's vector.
    struct SampleCB {
        int32_t older = -1;
        int32_t newer = -1;
        int64_t changeHandle = -1;  // the engine's; -1 until sent
        vexa::dds::Time_t timestamp;
        bool listed = false;
    };

    // The samples of one instance, oldest first by timestamp; a sample whose timestamp equals
    // others goes after them. Single mode (a depth of 1) keeps its one sample in an embedded
    // SampleCB; multi mode keeps a vector that only grows and a stack of its free elements.
    // SampleCB pointers stay valid until the next reserve.
    class SampleList {
    public:
        // n = 1 on an empty list: single mode; otherwise multi mode with at least n elements
        // (a sample held in single mode becomes element 0).
        void reserve(size_t n);
        // A free sample, or null.
        SampleCB* getFreeSample();
        // Enters a sample got from getFreeSample in timestamp order.
        void addSample(SampleCB* scb);
        // False when the sample is not in the list.
        bool removeSample(SampleCB* scb);
        // Enters a sample got from getFreeSample as the oldest, before equal timestamps (one
        // taken out as the oldest goes back where it was).
        void addOldest(SampleCB* scb);
        // The oldest for null, else the next newer one (null after the newest).
        SampleCB* nextSample(SampleCB const* previous);
        SampleCB* oldest() { return nextSample(nullptr); }
        uint32_t size() const { return size_; }
        // Elements a multi-mode list has (free or not); 1 in single mode.
        size_t capacity() const { return single_ ? 1 : samples_.size(); }
        bool singleMode() const { return single_; }
        // The embedded sample, never entered: a VOLATILE writer's change on its way out.
        SampleCB& embeddedSample() { return singleSample_; }

    private:
        std::vector<SampleCB> samples_;
        std::vector<int32_t> free_;
        bool single_ = true;
        SampleCB singleSample_;
        int32_t oldest_ = -1;
        int32_t newest_ = -1;
        uint32_t size_ = 0;
    };

    // One instance slot. A removed instance keeps its key, hash and handle, so writing the same
    // key again revives it with its old handle.
    struct InstanceCB {
        static constexpr uint32_t FREE = 0x80000000u;
        static constexpr uint32_t REGISTERED = 0x40000000u;
        static constexpr uint32_t LAST_CHANGE = 0x0000FFFFu;  // 1 alive, 2 disposed, 4 / 6 gone

        int32_t handle = 0;
        std::vector<uint8_t> key;  // packed; empty for a keyless type
        vexa::dds::KeyHash_t hash;
        uint32_t state = 0;
        vexa::dds::Time_t lastWrite;
        SampleList samples;
        // A RELIABLE VOLATILE KEEP_LAST writer's last changes the engine may still hold: a
        // ring of at most depth handles, the oldest at recentNext once it is full. The one a
        // new change pushes out is dropped, acknowledged or not.
        std::vector<int64_t> recentChanges;
        uint32_t recentNext = 0;

        bool inUse() const { return (state & FREE) == 0; }
        uint32_t lastChange() const { return state & LAST_CHANGE; }
    };

    // One remote reader as the writer knows it. The record is the built-in subscriber's; the
    // entry forgets it when the reader is lost, before the collector can free it.
    struct RemoteReader {
        static constexpr uint32_t IN_USE = 1;
        static constexpr uint32_t INCOMPATIBLE_CHANGEABLE = 4;  // only deadline or latency budget
        static constexpr uint32_t INCOMPATIBLE = 8;             // never re-checked
        RemoteDR const* record = nullptr;
        uint32_t firstWord = 0;  // the record's id at discovery
        uint32_t flags = 0;
    };

    // Status-change bits this writer raises.
    static constexpr uint32_t DEADLINE_MISSED = 0x0002;
    static constexpr uint32_t INCOMPATIBLE_QOS = 0x0020;
    static constexpr uint32_t LIVELINESS_LOST = 0x0800;
    static constexpr uint32_t PUBLICATION_MATCHED = 0x2000;

    // `qos` must not be null (the publisher passes its default).
    Writer(Publisher* publisher, Topic* topic, uint32_t id, vexa::dds::DataWriterQos const* qos);
    // Leaves the remote readers' records, destroys the API bridge, then the tables; the engine
    // writer is already gone.
    ~Writer() override;

    // Clears the listener mask: no later callback reaches the listener.
    void closedByApi() override { listenerMask_ = 0; }
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    // Stores the type support and creates the API bridge; the bridge (null when the type gives
    // none).
    api::DataWriterImpl* InitResources(api::TypeSupportFactoryImpl const& typeSupport);

    // Sample operations (Publisher holds the locks). NOT_ENABLED before enable; a null sample
    // is a fatal assertion.
    vexa::dds::ReturnCode_t write(void const* sample, vexa::dds::InstanceHandle_t handle,
                                  vexa::dds::Time_t const* timestamp);
    // The instance handle, or NOT_ENABLED / OUT_OF_RESOURCES as a value (handles are never that
    // small).
    vexa::dds::InstanceHandle_t registerInstance(void const* sample);
    vexa::dds::ReturnCode_t unregisterInstance(void const* sample,
                                               vexa::dds::InstanceHandle_t handle,
                                               vexa::dds::Time_t const* timestamp);
    vexa::dds::ReturnCode_t dispose(void const* sample, vexa::dds::InstanceHandle_t handle,
                                    vexa::dds::Time_t const* timestamp);
    // Before deletion: every instance in use goes with flags 4 (or 6 with autodispose, when
    // not disposed yet). Nothing once the engine writer is gone.
    // Unregisters (and with autodispose disposes) every registered instance, each after its
    // history has left the writer (the engine keeps what is not yet acknowledged), so the
    // writer's own limits never refuse it. Stops at the first that fails and returns its code
    // (room wanted as for a write); OK when none is left or nothing can be sent any more.
    vexa::dds::ReturnCode_t unregisterAllInstances();
    // Instances still registered.
    uint32_t registeredInstances() const;
    // 0 when unknown.
    vexa::dds::InstanceHandle_t lookupInstance(void const* sample);
    // BAD_PARAMETER for a handle that is not one of this writer's live instances.
    vexa::dds::ReturnCode_t getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle);

    // Instance table.
    int findInstance(void const* sample);
    int findInstance(vexa::dds::InstanceHandle_t handle);
    int addInstance(std::vector<uint8_t>& key, vexa::dds::KeyHash_t const& hash, bool withHandle);
    bool removeInstance(unsigned index);

    // History. An instance at its depth gives the new sample its oldest one's slot; the
    // oldest is replaced in the engine only once the new one was sent (afterSend), and a
    // failed send (takeBack) puts it back: the instance and the engine stay as they were.
    SampleCB* prepareSample(InstanceCB& instance, void const* sample,
                            vexa::dds::Time_t const* timestamp);
    vexa::dds::ReturnCode_t deleteSample(InstanceCB& instance, SampleCB* sample);
    // A sample that a newer one of its instance replaces: KEEP_LAST drops its change in the
    // engine at once, acknowledged or not; KEEP_ALL deletes it (the engine keeps it until
    // acknowledged).
    vexa::dds::ReturnCode_t replaceSample(InstanceCB& instance, SampleCB* sample);
    void deleteHistory(InstanceCB& instance);
    bool tryDeleteHistorySample(bool mayBlock, uint64_t startMs, uint64_t timeoutMs);
    // Whether a full history blocks, and for how long (monotonic milliseconds).
    bool calcWriteTimeout(uint64_t& startMs, uint64_t& timeoutMs) const;
    // The time left of the wait; false when none is.
    bool recalcWriteTimeout(uint64_t startMs, uint64_t& timeoutMs) const;
    // True when a sample was removed.
    bool deleteOutdatedSamplesDueLifespan();

    vexa::dds::ReturnCode_t getQoS(vexa::dds::DataWriterQos& out) const;
    vexa::dds::ReturnCode_t setListener(api::DWEventForwarder* listener, uint32_t mask);
    api::DWEventForwarder* getListener() const { return listener_; }
    uint32_t getListenerMask() const { return listenerMask_; }

    // Remote readers (discovery, through the publisher). discoverDR: 1 when a new entry was
    // made (matched or incompatible), 0 for another topic or a reader already known.
    int discoverDR(RemoteDR const* record, uint32_t const* guidPrefix, uint32_t entityId,
                   vexa::dds::SubscriptionBuiltinTopicData const& data);
    void changeDRQoS(uint32_t const* guidPrefix, uint32_t entityId,
                     vexa::dds::DeadlineQosPolicy const& deadline,
                     vexa::dds::LatencyBudgetQosPolicy const& latency);
    // Every known reader is forgotten, matched or not; only a matched one lowers the count.
    void looseDR(uint32_t const* guidPrefix, uint32_t entityId);
    std::vector<RemoteReader> const& remoteReaders() const { return remoteReaders_; }
    // Live entries (the index holds exactly those).
    size_t knownRemoteReaders() const { return remoteReaderIndex_.size(); }
    void reindexRDRs();

    // QoS, liveliness, deadline and statuses.
    // Stores the QoS and refreshes deadline, latency budget, lifespan and user data in the
    // publication data; the limits keep their construction values. A changed deadline or
    // latency budget re-checks the remote readers, which reads their records under the
    // built-in subscriber's mutex: the caller holds the participant mutex.
    vexa::dds::ReturnCode_t setQoS(vexa::dds::DataWriterQos const& qos);
    vexa::dds::ReturnCode_t assertLiveliness();
    void checkLiveliness(vexa::dds::Time_t const& participantAssertionTime);
    void checkDeadline();
    // The set status bits in the order 2, 32, 0x800, 0x2000: to the writer's listener when its
    // mask has the bit, else to the participant's when that mask has it. The calls go into
    // `batch`, made once the caller has let its mutexes go.
    void callPlainStatusListeners(api::DPEventForwarder* participantListener,
                                  uint32_t participantMask, ListenerCalls::Batch& batch);
    void signalConditions();
    // Copy out, reset the change counters and the status bit; OK.
    vexa::dds::ReturnCode_t getLivelinessLostStatus(vexa::dds::LivelinessLostStatus& out);
    vexa::dds::ReturnCode_t getOfferedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out);
    vexa::dds::ReturnCode_t getOfferedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out);
    vexa::dds::ReturnCode_t getPublicationMatchedStatus(vexa::dds::PublicationMatchedStatus& out);
    // One collector pass: compacts a sparse instance table and a sparse remote-reader list.
    void collectGarbage();
    void reindexInstances();

    // Engine writer.
    RTPS::Writer* getRTPS() const { return rtps_; }
    void setRTPS(RTPS::Writer* rtps) { rtps_ = rtps; }
    // Clears the engine writer (under the publisher mutex) and returns it; from then on calls in
    // flight stop at their next slice.
    RTPS::Writer* detachRTPS();
    bool isDetaching() const { return detaching_.load(); }
    EngineCalls& engineCalls() { return engineCalls_; }
    // What the last sample operation found full, if anything (and clears it). History: the
    // writer may block (calcWriteTimeout) for room in its own histories.
    enum class Room { None, Engine, History };
    Room takeRoomWanted() { return std::exchange(roomWanted_, Room::None); }

    Publisher* getPublisher() const { return publisher_; }
    Topic* getTopic() const { return topic_; }
    api::DataWriterImpl* getBridge() const { return bridge_; }
    api::TypeSupportFactoryImpl const* getTypeSupport() const { return typeSupport_; }
    vexa::dds::PublicationBuiltinTopicData& publicationData() { return data_; }
    vexa::dds::DataWriterQos const& qos() const { return qos_; }

    // Effective limits.
    int32_t maxSamples() const { return maxSamples_; }
    int32_t maxInstances() const { return maxInstances_; }
    int32_t maxSamplesPerInstance() const { return maxSamplesPerInstance_; }
    int32_t depth() const { return depth_; }
    int32_t preallocation() const { return preallocation_; }

    uint32_t sampleCount() const { return sampleCount_; }
    uint32_t liveInstances() const { return liveInstances_; }
    std::vector<InstanceCB> const& instances() const { return instances_; }
    bool isAlive() const { return alive_; }

private:
    struct KeyHashHasher {
        size_t operator()(vexa::dds::KeyHash_t const& h) const;
    };
    struct KeyHashLess {
        bool operator()(vexa::dds::KeyHash_t const& a, vexa::dds::KeyHash_t const& b) const;
    };

    // The deadline and latency rules against an offer; counts each failure by policy. True
    // when both hold.
    bool checkChangeable(vexa::dds::DeadlineQosPolicy const& deadline,
                         vexa::dds::LatencyBudgetQosPolicy const& latency,
                         vexa::dds::DataWriterQos const& offered);
    // Moves a re-checked entry between matched and changeable-incompatible.
    void applyChangeable(RemoteReader& entry, bool compatible);
    void countIncompatible(vexa::dds::QosPolicyId_t policy);
    void addMatched();
    void recheckRemoteReaders(vexa::dds::DataWriterQos const& offered);
    // The built-in subscriber's records go on without this writer.
    void releaseRemoteReaders();
    // At least 101 entries, fewer than half of them live.
    bool remoteReadersSparse() const;

    bool isVolatile() const { return qos_.durability.kind == vexa::dds::VOLATILE_DURABILITY_QOS; }
    bool keepsLast() const { return qos_.history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS; }
    TimeService& clock() const;
    // The slot of a sample's instance, made when absent (-1 when the limit is reached).
    int findOrAddInstance(void const* sample);
    // Packs the key of a keyed sample into `key` (fatal assertion on a length mismatch).
    void packKey(void const* sample, unsigned keylen, std::vector<uint8_t>& key);
    // Hands the packed sample to the engine with `flags`; the change handle goes to the sample.
    vexa::dds::ReturnCode_t send(InstanceCB& instance, SampleCB* sample, uint32_t flags);
    // After a failed send: the sample leaves the list again, the one it was to replace stays.
    void takeBack(InstanceCB& instance, SampleCB* sample);
    // The change of a VOLATILE writer leaves the engine at once; others keep it in the list,
    // and the sample it replaces goes.
    vexa::dds::ReturnCode_t afterSend(InstanceCB& instance, SampleCB* sample);
    // unregisterInstance and unregisterAllInstances after the instance was found.
    vexa::dds::ReturnCode_t unregisterSlot(unsigned index, void const* sample,
                                           vexa::dds::Time_t const* timestamp, char const* module);
    uint32_t unregisterFlags(InstanceCB const& instance) const;
    void refreshPublicationData();
    // A sample left the histories: count and gate.
    void sampleLeft();

    vexa::dds::DataWriterQos qos_;
    api::DWEventForwarder* listener_ = nullptr;
    uint32_t listenerMask_ = 0;

    vexa::dds::LivelinessLostStatus livelinessLost_;
    vexa::dds::DeadlineMissedStatus deadlineMissed_;
    vexa::dds::IncompatibleQosStatus incompatibleQos_;
    vexa::dds::PublicationMatchedStatus publicationMatched_;

    bool alive_ = false;
    vexa::dds::Time_t lastAssertion_;
    vexa::dds::Time_t lastLivelinessCheck_;
    vexa::dds::Time_t lastDeadlineCheck_;

    uint32_t sampleCount_ = 0;
    uint32_t liveInstances_ = 0;
    std::vector<InstanceCB> instances_;
    std::unordered_multimap<vexa::dds::KeyHash_t, uint32_t, KeyHashHasher> keyIndex_;
    std::map<vexa::dds::InstanceHandle_t, uint32_t> handleIndex_;
    std::vector<uint8_t> packBuffer_;
    std::vector<RemoteReader> remoteReaders_;
    std::map<vexa::dds::KeyHash_t, uint32_t, KeyHashLess> remoteReaderIndex_;

    Publisher* const publisher_;
    Topic* const topic_;
    api::TypeSupportFactoryImpl const* typeSupport_ = nullptr;
    api::DataWriterImpl* bridge_ = nullptr;
    vexa::dds::PublicationBuiltinTopicData data_;
    RTPS::Writer* rtps_ = nullptr;

    int32_t maxSamples_;
    int32_t maxInstances_;
    int32_t maxSamplesPerInstance_;
    int32_t depth_;
    int32_t preallocation_;

    EngineCalls engineCalls_{"Writer engine calls"};
    std::atomic<bool> detaching_{false};
    Room roomWanted_ = Room::None;
    // The sample the one being sent replaces (prepareSample to afterSend or takeBack).
    struct Replaced {
        bool pending = false;
        int64_t changeHandle = -1;
        vexa::dds::Time_t timestamp;
    };
    Replaced replaced_;
};

}  // namespace vexa::dcps
