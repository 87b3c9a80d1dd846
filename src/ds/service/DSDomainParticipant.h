#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ds/service/DSRTPSCommunicationObject.h"
#include "ds/service/DSTimeService.h"
#include "ds/service/DomainEngine.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {
class Participant;
class Reader;
class Writer;
}  // namespace RTPS

namespace vexa::ds {

class DurabilityService;
class DSReader;
class DSSubscriberBuiltin;
class DSTopic;
class DomainSubscriber;
struct RemoteDW;

// One served domain: its engine participant in durability-server role, the engine callbacks,
// the domain clock, the durable topics, the late readers being served and the data thread.
//
// Lock order: service lock -> domain lock (`lock()`) -> subscriber lock -> built-in lock ->
// sample input lock. The built-in lock is released before any call that takes the subscriber
// lock. The engine is called (addReader, getChange, deleteChange, historicalData, the
// participant writer's addChange) with the domain or subscriber lock held, so no engine
// callback may wait for a lock those calls take.
//
// The engine participant is destroyed, which joins every engine thread, before any member its
// callbacks reach. Once close has begun, callbacks do nothing.
class DSDomainParticipant {
public:
    using KeyHash = vexa::dds::KeyHash_t;

    // The two bytes of user data that mark a durability service's participant.
    static constexpr char DURABILITY_SERVICE_ID[] = "DS";
    static constexpr int32_t INSTANCE_HANDLE = 65535;
    static constexpr uint32_t FIRST_TOPIC_ID = 0x30000001;
    static constexpr uint32_t MAX_TOPICS = 2042;

    DSDomainParticipant(const DurabilityService& service, unsigned domainId,
                        const DomainEngine& engine);
    ~DSDomainParticipant();

    DSDomainParticipant(const DSDomainParticipant&) = delete;
    DSDomainParticipant& operator=(const DSDomainParticipant&) = delete;

    unsigned getDomainId() const { return m_domainId; }
    std::recursive_mutex& lock() { return m_lock; }
    vexa::dds::ParticipantBuiltinTopicData& participantData() { return m_participantData; }
    void getParticipantKey(unsigned (&key)[3]) const;
    DSRTPSCommunicationObject& comm() { return *m_comm; }
    DSTimeService& clock() { return m_clock; }
    int maxSamplesPerReader() const;
    RTPS::Participant* rtps() const { return m_rtps; }
    RTPS::Reader* participantReader() const { return m_participantReader; }
    RTPS::Reader* topicReader() const { return m_topicReader; }
    RTPS::Reader* publicationReader() const { return m_publicationReader; }
    RTPS::Reader* subscriptionReader() const { return m_subscriptionReader; }
    RTPS::Writer* subscriptionWriter() const { return m_subscriptionWriter; }
    // Null until the domain has them; engine threads read them.
    DSSubscriberBuiltin* builtinSubscriber() const { return m_builtinPtr.load(); }
    DomainSubscriber* subscriber() const { return m_subscriberPtr.load(); }

    // Takes ownership of the engine participant, fetches its built-in endpoints and makes the
    // discovery bookkeeping over them.
    void setRTPS(RTPS::Participant* participant);
    // The stored-reader set; set once, before the data thread starts.
    void setSubscriber(std::unique_ptr<DomainSubscriber> subscriber);
    // Marks the domain complete: callbacks that came in while it was being built go on.
    void setBuilt() { m_built.store(true); }
    // Callbacks: returns once addDomain has finished building the domain (it holds the domain
    // lock until then).
    void waitUntilBuilt();

    bool startHandlingData();
    void stopHandlingData();
    bool isHandlingData() const { return m_running.load(); }

    // Stops input and the data thread, announces the departure and deletes the engine
    // participant. The destructor does the same without the announcement.
    void close();
    void collectGarbage();

    // Durable topics (domain lock).
    DSTopic* createTopic(const vexa::dds::TopicBuiltinTopicData& data);
    // False when the record contradicts the topic already known; a topic that is not durable is
    // not kept and is not a contradiction.
    bool discoverRemoteTopic(const vexa::dds::TopicBuiltinTopicData& data);
    bool changeRemoteTopicQoS(const vexa::dds::TopicBuiltinTopicData& data);
    void looseRemoteTopic(const vexa::dds::TopicBuiltinTopicData&) {}
    DSTopic* findTopic(const std::string& name) const;
    size_t topicCount() const { return m_topicsByName.size(); }
    DSReader* discoverRemoteDW(const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                               const vexa::dds::PublicationBuiltinTopicData& data);
    uint32_t getNewTopicID();

    // Late readers (DSVC threads).
    void requestHistory(const uint32_t prefix[3], uint32_t entityId,
                        const vexa::dds::SubscriptionBuiltinTopicData& sub);
    void stopSendingHistory(const uint32_t prefix[3], uint32_t entityId);
    bool isAcceptor(const KeyHash& key) const;
    size_t acceptorCount() const;
    // An acceptor's key: the reader's GUID prefix, then its entity id, as they lie in memory.
    static KeyHash acceptorKey(const uint32_t prefix[3], uint32_t entityId);
    static void splitAcceptorKey(const KeyHash& key, uint32_t (&prefix)[3], uint32_t& entityId);

    // One round of the data thread's work; the thread calls them, and tests drive them.
    void periodicStatusCheck();
    void createDRs();
    void handleSubscriptions();

private:
    struct KeyLess {
        bool operator()(const KeyHash& a, const KeyHash& b) const;
    };

    static void DataHandlingThread(void* self);
    void dataLoop();
    void deleteEngine();
    void forgetEngine();

    const DurabilityService& m_service;
    const unsigned m_domainId;
    const DomainEngine m_engine;
    DSTimeService m_clock;
    vexa::dds::ParticipantBuiltinTopicData m_participantData;
    std::unique_ptr<DSRTPSCommunicationObject> m_comm;
    RTPS::Participant* m_rtps = nullptr;
    RTPS::Writer* m_participantWriter = nullptr;
    RTPS::Reader* m_participantReader = nullptr;
    RTPS::Writer* m_publicationWriter = nullptr;
    RTPS::Reader* m_publicationReader = nullptr;
    RTPS::Writer* m_subscriptionWriter = nullptr;
    RTPS::Reader* m_subscriptionReader = nullptr;
    RTPS::Writer* m_topicWriter = nullptr;
    RTPS::Reader* m_topicReader = nullptr;

    // Index = low 24 bits of the topic id; element 0 unused.
    std::vector<std::unique_ptr<DSTopic>> m_topicsById;
    std::map<std::string, DSTopic*> m_topicsByName;
    std::vector<DSTopic*> m_newTopics;
    std::map<KeyHash, DSTopic*, KeyLess> m_acceptors;
    std::vector<KeyHash> m_finished;
    uint32_t m_nextTopicId = FIRST_TOPIC_ID;

    std::unique_ptr<DSSubscriberBuiltin> m_builtin;
    std::atomic<DSSubscriberBuiltin*> m_builtinPtr{nullptr};
    std::unique_ptr<DomainSubscriber> m_subscriber;
    std::atomic<DomainSubscriber*> m_subscriberPtr{nullptr};

    std::atomic<bool> m_built{false};
    std::atomic<bool> m_running{false};
    pthread_t m_dataThread = 0;
    mutable std::recursive_mutex m_lock;
};

}  // namespace vexa::ds
