#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <pthread.h>

#include "dcps/entity/EngineCalls.h"
#include "dcps/entity/Entity.h"
#include "dcps/entity/ListenerCalls.h"
#include "dcps/lock/OrderedMutex.h"
#include "dcps/topic/TimeService.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace RTPS {
class Participant;
class Reader;
class Writer;
}  // namespace RTPS

namespace vexa::dcps {

class DPFactory;
class Publisher;
class Reader;
struct RemoteDR;
class RTPSCommunicationObject;
struct RemoteDW;
class Subscriber;
class SubscriberBuiltin;
class Topic;
class TopicEventForwarder;
class Writer;
struct TypeSupportCB;
namespace api {
class DPEventForwarder;
class PubEventForwarder;
class SubEventForwarder;
}  // namespace api

// The participant of one domain: container of its topics, publishers and subscribers, owner of
// its built-in subscriber, its clock, its engine participant with the eight built-in
// endpoints, and the communication object through which the engine reports.
//
// Locks: every operation runs under the participant mutex (recursive), taken after the
// factory mutex and before a publisher's or subscriber's. Engine calls made after releasing it
// count as in flight; close clears the engine pointers under the mutex, releases it, waits
// until nothing is in flight and only then destroys the engine participant. Listeners are
// called with no core mutex held (ListenerCalls).
class DomainParticipant : public Entity {
public:
    DomainParticipant(unsigned domainId, int32_t participantId,
                      vexa::dds::DomainParticipantQos const& qos);
    // Stops the data-handling thread, destroys an engine participant still attached, then the
    // subscribers, publishers and topics.
    ~DomainParticipant() override;

    // Closes every publisher and subscriber and announces the departure; not marked.
    void closedByApi() override;
    // The built-in subscriber, and with autoenable the publishers and subscribers.
    vexa::dds::ReturnCode_t enable_childs() override;

    // Creation steps (the factory, under this participant's mutex).
    void setRTPS(RTPS::Participant* rtps);
    // `factory`: the creating factory, which holds the built-in type supports.
    void initBuiltinSubscriber(DPFactory* factory = nullptr);
    // The factory has finished with the participant: engine callbacks stop waiting for it.
    void setCreated() { created_ = true; }
    bool isCreated() const { return created_.load(); }
    // Detaches the engine participant without announcing and destroys it.
    void destroyRTPS();

    // Returns once no call of the listener replaced can come any more (no core mutex held).
    vexa::dds::ReturnCode_t setListener(api::DPEventForwarder* listener, uint32_t mask);
    void setQos(vexa::dds::DomainParticipantQos const& qos);
    vexa::dds::DomainParticipantQos getQos();
    void getDefaultTopicQos(vexa::dds::TopicQos& out);
    vexa::dds::ReturnCode_t setDefaultTopicQos(vexa::dds::TopicQos const* qos);
    void getDefaultPubQos(vexa::dds::PublisherQos& out);
    vexa::dds::ReturnCode_t setDefaultPubQos(vexa::dds::PublisherQos const* qos);
    void getDefaultSubQos(vexa::dds::SubscriberQos& out);
    vexa::dds::ReturnCode_t setDefaultSubQos(vexa::dds::SubscriberQos const* qos);

    // OK for a new name or the same entry again, PRECONDITION_NOT_MET for another entry.
    vexa::dds::ReturnCode_t registerTypeSupport(char const* typeName, TypeSupportCB* typeSupport);
    // With the mutex held by the caller.
    TypeSupportCB* findTypeSupport(std::string const& typeName) const;
    Topic* findTopic(std::string const& topicName) const;
    Topic* lookupTopicDescription(std::string const& topicName);

    // Null (with a log line) for an empty name, a name in use, an unknown type or no id left;
    // `why`, when given, gets the log line's text.
    Topic* createTopic(std::string const& topicName, std::string const& typeName,
                       vexa::dds::TopicQos const* qos, TopicEventForwarder* listener, uint32_t mask,
                       std::string* why = nullptr);
    // PRECONDITION_NOT_MET for null, a foreign topic or one in use; OK (also when marked).
    vexa::dds::ReturnCode_t deleteTopic(Topic* topic);
    // PRECONDITION_NOT_MET while a writer or reader uses the topic (nothing is closed), else
    // OK.
    vexa::dds::ReturnCode_t closeTopicByApi(Topic* topic);
    vexa::dds::ReturnCode_t setTopicQos(Topic* topic, vexa::dds::TopicQos const& qos);
    TypeSupportCB* addTopicWriter(Topic* topic, Writer* writer);
    TypeSupportCB* addTopicReader(Topic* topic, Reader* reader);
    bool removeTopicWriter(Topic* topic, Writer* writer);
    bool removeTopicReader(Topic* topic, Reader* reader);
    bool contains_entity(int32_t handle);

    // Null when no publisher id is left (254 over the participant's life).
    Publisher* createPublisher(vexa::dds::PublisherQos const* qos, api::PubEventForwarder* listener,
                               uint32_t mask);
    // PRECONDITION_NOT_MET for null, a foreign publisher or one with a live writer; OK.
    vexa::dds::ReturnCode_t deletePublisher(Publisher* publisher);

    void get_current_time(vexa::dds::Time_t& out) const { clock_.getCurrentTime(out); }
    void getParticipantKey(uint32_t (&out)[3]) const;
    void assert_liveliness();
    void assertLivelinessByDW();
    // The same, by a caller that holds the participant mutex.
    void assertLivelinessByDWLocked() { livelinessTime_ = clock_.now(); }
    vexa::dds::Time_t getLivelinessAssertionTime();

    bool discoverRemoteTopic(vexa::dds::TopicBuiltinTopicData const& remote);
    bool changeRemoteTopicQoS(vexa::dds::TopicBuiltinTopicData const& remote);
    void looseRemoteTopic(vexa::dds::TopicBuiltinTopicData const& remote) { (void)remote; }
    // A new remote reader is offered to every live local writer of its topic (participant
    // mutex held, the built-in subscriber's not); `accepted` gets those that took it.
    void discoverRemoteDR(RemoteDR const* record, unsigned const* guidPrefix, unsigned entityId,
                          vexa::dds::SubscriptionBuiltinTopicData const& data,
                          std::vector<Writer*>& accepted);
    // A new remote writer (the built-in subscriber, both mutexes held): offered to every live
    // reader of its topic; those that took it are appended to `accepted`.
    void discoverRemoteDW(RemoteDW* record, unsigned const* guidPrefix, unsigned entityId,
                          vexa::dds::PublicationBuiltinTopicData const& data,
                          std::vector<Reader*>& accepted);

    // Departure: data-handling thread stopped, marked, departure announced, engine participant
    // destroyed. Tables stay until destruction.
    void close();
    // One collector pass over the publishers, subscribers and the built-in subscriber; none
    // while a batch of listener calls is open.
    void collectGarbage();

    // Null when no subscriber id is left. `qos` null: the default subscriber QoS.
    Subscriber* createSubscriber(vexa::dds::SubscriberQos const* qos,
                                 api::SubEventForwarder* listener, uint32_t mask);
    // PRECONDITION_NOT_MET for null, the built-in subscriber, a foreign one or one in use.
    vexa::dds::ReturnCode_t deleteSubscriber(Subscriber* subscriber);

    // Data handling.
    bool startHandlingData();
    // Clears the run flag and wakes the thread; joins it unless called on it.
    void stopHandlingData();
    static void DataHandlingThread(void* arg);
    void periodicStatusCheck();
    void handleSubscriptions();
    // The data-handling pass for the subscribers in `owed` that are still this participant's
    // (a pointer is only compared, never followed, until found in the table), on the engine
    // thread that queued their changes: false when something was left to the thread, i.e. the
    // participant mutex is taken, the thread is stopped, the participant is marked or has a
    // listener, or a subscriber refused. See RTPSCommunicationObject for when it is tried.
    bool fileWithoutHandoff(Subscriber* const* owed, size_t count);
    // True on any participant's data-handling thread.
    static bool onDataHandlingThread();

    unsigned getDomainId() const { return domainId_; }
    CoreRecursiveMutex& getMutex() { return mutex_; }
    RTPSCommunicationObject* getCommunicationObject() const { return communication_.get(); }
    vexa::dds::ParticipantBuiltinTopicData& participantData() { return data_; }
    TimeService& getTimeService() { return clock_; }
    SubscriberBuiltin* getBuiltinSubscriber() const { return builtinSubscriber_; }
    api::DPEventForwarder* getListener() const { return listener_; }
    uint32_t getListenerMask() const { return listenerMask_; }
    RTPS::Participant* getRTPS() const { return rtps_; }
    ListenerCalls& listenerCalls() { return listenerCalls_; }
    bool isHandlingData() const { return running_.load(); }

    // Under the mutex: an engine call will follow after it is released (false: no engine).
    // Publishers count their writers' calls here too, so close waits for them.
    bool beginEngineCall();
    void endEngineCall();
    // Hands one change of a built-in writer to the engine; false when it threw (`error` gets
    // the text).
    bool announce(RTPS::Writer* writer, int32_t handle, uint32_t flags, void* data, uint64_t length,
                  std::string* error);

    unsigned const domainId_;
    int32_t const DP_Id_;

private:
    // Clears the engine pointers under the mutex, waits for calls in flight, returns the
    // engine participant to destroy.
    RTPS::Participant* detachRTPS();
    void announceTopic(Topic* topic, uint32_t flags, bool logFailure);
    void departure();

    vexa::dds::DomainParticipantQos qos_;
    vexa::dds::TopicQos defaultTopicQos_;
    vexa::dds::PublisherQos defaultPubQos_;
    vexa::dds::SubscriberQos defaultSubQos_;
    api::DPEventForwarder* listener_ = nullptr;
    uint32_t listenerMask_ = 0;
    TimeService clock_;
    vexa::dds::Time_t livelinessTime_;
    vexa::dds::ParticipantBuiltinTopicData data_;
    std::unique_ptr<RTPSCommunicationObject> communication_;
    RTPS::Participant* rtps_ = nullptr;
    RTPS::Writer* participantWriter_ = nullptr;
    RTPS::Reader* participantReader_ = nullptr;
    RTPS::Writer* publicationWriter_ = nullptr;
    RTPS::Reader* publicationReader_ = nullptr;
    RTPS::Writer* subscriptionWriter_ = nullptr;
    RTPS::Reader* subscriptionReader_ = nullptr;
    RTPS::Writer* topicWriter_ = nullptr;
    RTPS::Reader* topicReader_ = nullptr;
    std::map<std::string, TypeSupportCB*> types_;
    std::vector<Topic*> topics_;
    std::map<std::string, Topic*> topicNames_;
    uint32_t nextTopicId_;
    std::vector<Publisher*> publishers_;
    uint32_t nextPublisherId_;
    SubscriberBuiltin* builtinSubscriber_ = nullptr;
    std::vector<Subscriber*> subscribers_;
    uint32_t nextSubscriberId_;
    std::atomic<bool> running_{false};
    pthread_t thread_ = 0;
    std::atomic<bool> created_{false};

    EngineCalls engineCalls_{"DomainParticipant engine calls"};
    ListenerCalls listenerCalls_;

    CoreRecursiveMutex mutex_;
};

}  // namespace vexa::dcps
