#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/Subscriber.h"

namespace RTPS {
class Reader;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::dcps {

class DomainParticipant;
class DPFactory;
class Topic;
struct TypeSupportCB;
namespace api {
class DPEventForwarder;
class DataReaderImpl;
}  // namespace api

// The participant's built-in subscriber: the four built-in topics and readers, and what the
// participant knows of the other participants of the domain. The engine's discovery samples
// are handled here first, on the engine's thread, and then queued for the application's
// built-in readers like any subscriber's samples.
//
// Locks: its mutex (the subscriber mutex, marked: no engine call while it is held except
// getChange and deleteChange of a built-in reader) is taken only with the participant mutex
// held or together with it (lockJoint). Calls into local writers and readers are made with
// the participant mutex held and this mutex released, on copies of the matched lists, so those
// sides may call back in (freeRemotePublisherByReader). Among the entity mutexes a user
// publisher's or subscriber's comes before this one (createDW and createDR, the QoS re-checks,
// destruction and a reader's intake reach this one from under theirs); never the other way
// round, so no publisher or subscriber is entered while it is held.
class SubscriberBuiltin : public Subscriber {
public:
    // The three words of a remote GUID prefix.
    struct BuiltinTopicKey {
        uint32_t value[3];
        bool operator==(BuiltinTopicKey const& o) const {
            return std::memcmp(value, o.value, sizeof value) == 0;
        }
    };
    struct KeyHash {
        size_t operator()(BuiltinTopicKey const& k) const {
            return (static_cast<size_t>(k.value[0]) * 31u + k.value[1]) * 31u + k.value[2];
        }
    };
    // False: the record was malformed and dropped (it must not be queued either).
    using Handler = bool (SubscriberBuiltin::*)(RTPS::SampleInfo*);
    struct BuiltinTopicCB {
        TypeSupportCB* type = nullptr;  // not owned
        Topic* topic = nullptr;
        Reader* reader = nullptr;
        RTPS::Reader* engine = nullptr;  // the participant's, not owned; null once closed
        RTPS::Reader* source = nullptr;  // the same, never changed: matches the engine's reports
        Handler handler = nullptr;
    };
    enum : unsigned { PARTICIPANT, TOPIC, PUBLICATION, SUBSCRIPTION, ENTRIES };

    // `factory`: the one that creates the participant and holds the built-in type supports
    // (null: no type supports, the built-in readers are not made).
    SubscriberBuiltin(DomainParticipant* participant, DPFactory* factory);
    ~SubscriberBuiltin() override;

    void closedByApi() override;
    bool isBuiltin() const override { return true; }
    bool inUse() override { return true; }
    vexa::dds::ReturnCode_t setQoS(vexa::dds::SubscriberQos const& qos) override;
    vexa::dds::ReturnCode_t setDefaultDRQoS(vexa::dds::DataReaderQos const& qos) override;
    Reader* createDR(Topic* topic, vexa::dds::DataReaderQos const* qos,
                     api::DREventForwarder* listener, uint32_t mask) override;
    // Deletes nothing: PRECONDITION_NOT_MET, as deleting the built-in subscriber itself.
    vexa::dds::ReturnCode_t deleteDR(api::DataReaderImpl* reader) override;
    bool closeDRByApi(Reader* reader) override;
    vexa::dds::ReturnCode_t setReaderQoS(vexa::dds::DataReaderQos const& qos,
                                         Reader* reader) override;
    // Enables the built-in reader of that topic and gives its bridge; null for another name.
    api::DataReaderImpl* lookupDR(std::string const& topicName) override;
    vexa::dds::ReturnCode_t getDataReaders(std::vector<api::DataReaderImpl*>& out,
                                           uint32_t sampleMask, uint32_t viewMask,
                                           uint32_t instanceMask) override;
    void periodicStatusCheckAndNotify(api::DPEventForwarder*, uint32_t,
                                      ListenerCalls::Batch&) override {}
    void notifyUser(api::DPEventForwarder* listener, uint32_t mask,
                    ListenerCalls::Batch& batch) override;
    using Subscriber::assertLiveliness;
    void assertLiveliness(Reader*, unsigned const*, unsigned) override {}

    // On the engine's thread: handles the sample at once, then queues it for the application's
    // built-in reader when that reader is enabled (true: queued).
    bool ddsisampleHandler(RTPS::Reader* reader, RTPS::SampleInfo* sample);
    // Under the participant mutex: a liveliness report of the remote participant `prefix`
    // (`manual`: the engine's manual flag, asserted by its writers).
    void assertLiveliness(unsigned const* guidPrefix, bool manual);
    // Under the participant mutex: the engine's lease of that participant expired. The engine
    // dropped its endpoints with it, so the local writers and readers lose them at once; the
    // record stays LOST, and endpoints announced again are matched again.
    void participantLostByRTPS(unsigned const* guidPrefix);
    // One collector pass over the remote records and the built-in readers.
    void collectGarbage();
    // Stops using the engine's built-in readers (the participant's close).
    void closeRTPS();
    // Known remote topics of the topic's name that disagree with it.
    int32_t countInconsistentRemoteTopics(Topic const& topic);

    bool getRemotePublisherTopicData(RemoteDW const* rdw,
                                     vexa::dds::PublicationBuiltinTopicData& out);
    bool getRemoteSubscriberTopicData(RemoteDR const* rdr,
                                      vexa::dds::SubscriptionBuiltinTopicData& out);
    // Forgets `reader` in the writer's matched list; nothing when the record was collected
    // meanwhile (a reader marked for deletion is not told of losses).
    void freeRemotePublisherByReader(RemoteDW* rdw, Reader* reader);
    void freeRemoteSubscriberByWriter(RemoteDR* rdr, Writer* writer);
    // A new local writer (createDW, participant and publisher mutexes held) is matched with
    // the known remote readers of its topic.
    void discoverDRforNewWriter(Writer* writer, std::string const& topicName);
    // A reader got a sample from a writer it does not know: links it when the writer is known
    // and not gone, and gives the writer's id, data and record.
    bool getRemotePublisher(unsigned const* guidPrefix, unsigned entityId, Reader* reader,
                            int32_t& id, vexa::dds::PublicationBuiltinTopicData& out,
                            RemoteDW*& record);
    // A new local reader (its subscriber's mutex held, under the participant mutex): matched
    // with the remote writers of its topic already known.
    void discoverDWforNewReader(Reader* reader, std::string const& topicName);
    // The next remote id, or 0 when they are used up.
    uint32_t getNewRemotePubID();
    uint32_t getNewRemoteSubID();

    // Tests.
    BuiltinTopicCB const& entry(unsigned i) const { return entries_[i]; }
    RemoteDP const* findRemote(unsigned const* guidPrefix);
    size_t remoteParticipants();
    void setNextRemoteIds(uint32_t pub, uint32_t sub);

private:
    // Its readers are the four built-in ones, outside the user reader table.
    bool isOurs(Reader const* reader) const override;
    // A remote writer whose loss or liveliness is passed to local readers once this mutex is
    // released, with a copy of its matched readers.
    struct WriterReaders {
        unsigned entityId;
        std::vector<Reader*> readers;
    };
    // Marks the participant's writers not yet handled as handled (and `lapsed`) and collects
    // them.
    static void takeWriters(RemoteDP& r, std::vector<WriterReaders>& out, bool lapsed);
    // Without this mutex, with the participant mutex held.
    static void looseWriters(uint32_t const (&prefix)[3], std::vector<WriterReaders> const& lost);
    // A new remote writer offered to the local readers of its topic (this mutex, held by
    // `lock`, released meanwhile); those that took it join its matched list.
    void matchNewWriter(RemoteDW& w, uint32_t const (&prefix)[3], unsigned entityId,
                        std::unique_lock<CoreRecursiveMutex>& lock);

    bool handleDCPSParticipantReader(RTPS::SampleInfo* sample);
    bool handleDCPSTopicReader(RTPS::SampleInfo* sample);
    bool handleDCPSPublicationReader(RTPS::SampleInfo* sample);
    bool handleDCPSSubscriptionReader(RTPS::SampleInfo* sample);
    // Common start of the handlers, with both mutexes held: reads the change and checks its
    // record; the sender's record (lost flag cleared), or null to stop (`malformed`: because
    // the record has no data or the wrong size).
    RemoteDP* beginSample(unsigned entry, RTPS::SampleInfo* handle, RTPS::SampleInfo& out,
                          unsigned& entityId, size_t size, char const* module, unsigned removedMsg,
                          bool& malformed);
    RemoteDP& findOrCreate(unsigned const* guidPrefix);

    // A remote reader's matched writers, taken out for calls made without this mutex.
    struct LostDR {
        unsigned prefix[3];
        unsigned entityId;
        std::vector<Writer*> writers;
    };
    // Marks every remote reader of `r` not handled yet as handled (and `lapsed`) and takes its
    // writers out.
    static void takeReaders(RemoteDP& r, std::vector<LostDR>& out, bool lapsed);
    // Participant mutex held, this one not: each writer loses the reader.
    static void looseReaders(std::vector<LostDR> const& lost);
    // The collector's sweeps under both mutexes; the readers of participants lost too long
    // go to `lostReaders`.

    DomainParticipant* const dp_;
    std::unordered_map<BuiltinTopicKey, RemoteDP, KeyHash> remotes_;
    BuiltinTopicCB entries_[ENTRIES];
    uint32_t nextPubId_ = 0x10000001u;
    uint32_t nextSubId_ = 0x20000001u;
};

}  // namespace vexa::dcps
