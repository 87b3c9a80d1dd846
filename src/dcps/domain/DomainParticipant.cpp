#include "dcps/domain/DomainParticipant.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <mutex>
#include <set>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/DcpsMessages.h"
#include "common/res/ResourceManager.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/entity/EndpointGate.h"
#include "dcps/entity/EntityId.h"
#include "dcps/entity/TwoPassCollection.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/Writer.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {
char const MODULE_CREATE_TOPIC[] = "DCPS::DomainParticipant::createTopic";
char const MODULE_CLOSE[] = "DCPS::DomainParticipant::close";
char const MODULE_CREATE_SUBSCRIBER[] = "DCPS::DomainParticipant::createSubscriber";
constexpr uint32_t FLAGS_ALIVE = 1;
constexpr uint32_t FLAGS_GONE = 6;  // disposed and unregistered

// Logs why createTopic refuses and hands the same text to a caller that asked for it.
void refuseTopic(std::string* why, unsigned id, ...) {
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    vexalog::Logger::getLogger().vlogMessage(MODULE_CREATE_TOPIC, 3, id, args);
    char const* format = vexares::ResourceManager::getString(id);
    if (why != nullptr && format != nullptr) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, copy);
        *why = text;
    }
    va_end(copy);
    va_end(args);
}
}  // namespace

DomainParticipant::DomainParticipant(unsigned domainId, int32_t participantId,
                                     vexa::dds::DomainParticipantQos const& qos)
    : Entity(participantId, nullptr),
      domainId_(domainId),
      DP_Id_(participantId),
      qos_(qos),
      defaultTopicQos_(vexa::dds::predefTopicQos()),
      defaultPubQos_(vexa::dds::predefPublisherQos()),
      defaultSubQos_(vexa::dds::predefSubscriberQos()),
      livelinessTime_(clock_.now()),
      communication_(std::make_unique<RTPSCommunicationObject>(this)),
      nextTopicId_(entity_id::TOPIC | 1u),
      nextPublisherId_(entity_id::PUBLISHER | 1u),
      nextSubscriberId_(entity_id::SUBSCRIBER | 1u),
      mutex_(LockLevel::Participant, "DomainParticipant") {
    topics_.reserve(100);
    topics_.push_back(nullptr);
    publishers_.push_back(nullptr);
    subscribers_.push_back(nullptr);
}

DomainParticipant::~DomainParticipant() {
    stopHandlingData();
    destroyRTPS();
    for (Subscriber*& s : subscribers_) {
        delete s;
        s = nullptr;
    }
    for (Publisher*& p : publishers_) {
        delete p;
        p = nullptr;
    }
    for (Topic*& t : topics_) {
        delete t;
        t = nullptr;
    }
    delete builtinSubscriber_;
}

void DomainParticipant::setRTPS(RTPS::Participant* rtps) {
    rtps_ = rtps;
    participantWriter_ = rtps->getDCPSParticipantWriter();
    participantReader_ = rtps->getDCPSParticipantReader();
    publicationWriter_ = rtps->getDCPSPublicationWriter();
    publicationReader_ = rtps->getDCPSPublicationReader();
    subscriptionWriter_ = rtps->getDCPSSubscriptionWriter();
    subscriptionReader_ = rtps->getDCPSSubscriptionReader();
    topicWriter_ = rtps->getDCPSTopicWriter();
    topicReader_ = rtps->getDCPSTopicReader();
}

void DomainParticipant::initBuiltinSubscriber(DPFactory* factory) {
    if (builtinSubscriber_ == nullptr) {
        builtinSubscriber_ = new SubscriberBuiltin(this, factory);
    }
}

bool DomainParticipant::beginEngineCall() {
    if (rtps_ == nullptr) {
        return false;
    }
    engineCalls_.begin();
    return true;
}

void DomainParticipant::endEngineCall() {
    engineCalls_.end();
}

RTPS::Participant* DomainParticipant::detachRTPS() {
    RTPS::Participant* rtps = nullptr;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        rtps = rtps_;
        rtps_ = nullptr;
        participantWriter_ = publicationWriter_ = subscriptionWriter_ = topicWriter_ = nullptr;
        participantReader_ = publicationReader_ = subscriptionReader_ = topicReader_ = nullptr;
    }
    // No new engine call starts now; the ones in flight finish before the engine goes.
    engineCalls_.drain();
    return rtps;
}

void DomainParticipant::destroyRTPS() {
    delete detachRTPS();
}

ReturnCode_t DomainParticipant::enable_childs() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    ReturnCode_t rc = vexa::dds::RETCODE_OK;
    if (builtinSubscriber_ != nullptr) {
        rc = builtinSubscriber_->enable();
    }
    if (qos_.entity_factory.autoenable_created_entities) {
        for (Publisher* p : publishers_) {
            if (p != nullptr && !p->isMarked()) {
                rc = p->enable();
            }
        }
        for (Subscriber* s : subscribers_) {
            if (s != nullptr && !s->isMarked()) {
                rc = s->enable();
            }
        }
    }
    return rc;
}

ReturnCode_t DomainParticipant::setListener(api::DPEventForwarder* listener, uint32_t mask) {
    api::DPEventForwarder* old;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        old = listener_;
        listener_ = listener;
        listenerMask_ = mask;
    }
    listenerCalls_.replaced(old, listener);
    return vexa::dds::RETCODE_OK;
}

void DomainParticipant::setQos(vexa::dds::DomainParticipantQos const& qos) {
    std::unique_lock<CoreRecursiveMutex> lock(mutex_);
    bool const changed = qos_.user_data.value != qos.user_data.value;
    qos_.user_data = qos.user_data;
    qos_.entity_factory = qos.entity_factory;
    if (!changed) {
        return;
    }
    data_.user_data = qos.user_data;
    vexa::dds::ParticipantBuiltinTopicData const copy = data_;
    RTPS::RTPS_AdditionalTopicData extra;
    extra.timestamp = clock_.now();
    RTPS::Participant* rtps = rtps_;
    if (!beginEngineCall()) {
        return;
    }
    lock.unlock();
    try {
        rtps->setQoS(copy, extra);
    } catch (std::exception const&) {
        // The engine keeps announcing the old user data; nothing the caller can do.
    }
    endEngineCall();
}

vexa::dds::DomainParticipantQos DomainParticipant::getQos() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return qos_;
}

void DomainParticipant::getDefaultTopicQos(vexa::dds::TopicQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultTopicQos_;
}

ReturnCode_t DomainParticipant::setDefaultTopicQos(vexa::dds::TopicQos const* qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultTopicQos_ = qos != nullptr ? *qos : vexa::dds::predefTopicQos();
    return vexa::dds::RETCODE_OK;
}

void DomainParticipant::getDefaultPubQos(vexa::dds::PublisherQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultPubQos_;
}

ReturnCode_t DomainParticipant::setDefaultPubQos(vexa::dds::PublisherQos const* qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultPubQos_ = qos != nullptr ? *qos : vexa::dds::predefPublisherQos();
    return vexa::dds::RETCODE_OK;
}

void DomainParticipant::getDefaultSubQos(vexa::dds::SubscriberQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultSubQos_;
}

ReturnCode_t DomainParticipant::setDefaultSubQos(vexa::dds::SubscriberQos const* qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultSubQos_ = qos != nullptr ? *qos : vexa::dds::predefSubscriberQos();
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t DomainParticipant::registerTypeSupport(char const* typeName,
                                                    TypeSupportCB* typeSupport) {
    if (typeName == nullptr || typeSupport == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    auto const inserted = types_.emplace(typeName, typeSupport);
    if (inserted.second || inserted.first->second == typeSupport) {
        return vexa::dds::RETCODE_OK;
    }
    return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
}

TypeSupportCB* DomainParticipant::findTypeSupport(std::string const& typeName) const {
    auto it = types_.find(typeName);
    return it == types_.end() ? nullptr : it->second;
}

Topic* DomainParticipant::findTopic(std::string const& topicName) const {
    auto it = topicNames_.find(topicName);
    return it == topicNames_.end() ? nullptr : it->second;
}

Topic* DomainParticipant::lookupTopicDescription(std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return findTopic(topicName);
}

bool DomainParticipant::announce(RTPS::Writer* writer, int32_t handle, uint32_t flags, void* data,
                                 uint64_t length, std::string* error) {
    RTPS::SampleInfo info{};
    info.instanceHandle = handle;
    info.statusFlags = flags;
    info.sourceTimestamp = clock_.now();
    info.data = data;
    info.length = length;
    try {
        writer->addChange(&info);
        return true;
    } catch (std::exception const& e) {
        if (error != nullptr) {
            *error = e.what();
        }
    } catch (...) {
        if (error != nullptr) {
            *error = "?";
        }
    }
    return false;
}

void DomainParticipant::announceTopic(Topic* topic, uint32_t flags, bool logFailure) {
    if (topicWriter_ == nullptr) {
        return;
    }
    std::string error;
    auto& record = const_cast<vexa::dds::TopicBuiltinTopicData&>(topic->getAnnouncedData());
    if (!announce(topicWriter_, topic->getId(), flags, &record, sizeof record, &error) &&
        logFailure) {
        vexalog::Logger::getLogger().logMessage(MODULE_CREATE_TOPIC, 3,
                                                vexares::DCPS_MSG_ANNOUNCE_FAILED,
                                                topic->getName().c_str(), error.c_str());
    }
}

Topic* DomainParticipant::createTopic(std::string const& topicName, std::string const& typeName,
                                      vexa::dds::TopicQos const* qos, TopicEventForwarder* listener,
                                      uint32_t mask, std::string* why) {
    if (topicName.empty() || typeName.empty()) {
        refuseTopic(why, vexares::DCPS_MSG_TOPIC_EMPTY_NAME, topicName.c_str(), typeName.c_str());
        return nullptr;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (findTopic(topicName) != nullptr) {
        refuseTopic(why, vexares::DCPS_MSG_TOPIC_EXISTS, topicName.c_str());
        return nullptr;
    }
    TypeSupportCB* type = findTypeSupport(typeName);
    if (type == nullptr) {
        refuseTopic(why, vexares::DCPS_MSG_TOPIC_TYPE_UNKNOWN, topicName.c_str(), typeName.c_str());
        return nullptr;
    }
    if ((nextTopicId_ & entity_id::INDEX_MASK) > entity_id::LAST_TOPIC_INDEX) {
        refuseTopic(why, vexares::DCPS_MSG_TOPIC_NO_ID, topicName.c_str());
        return nullptr;
    }
    auto* topic = new Topic(this, type, topicName, static_cast<int32_t>(nextTopicId_++), qos);
    if (listener != nullptr) {
        topic->setListener(listener, mask);
    }
    topics_.push_back(topic);
    topicNames_[topicName] = topic;
    if (qos_.entity_factory.autoenable_created_entities) {
        topic->enable();
    }
    announceTopic(topic, FLAGS_ALIVE, true);
    if (builtinSubscriber_ != nullptr) {
        int32_t const n = builtinSubscriber_->countInconsistentRemoteTopics(*topic);
        if (n > 0) {
            topic->addInconsistentTopics(n);
        }
    }
    return topic;
}

ReturnCode_t DomainParticipant::deleteTopic(Topic* topic) {
    if (topic == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (tableEntry(topics_, entity_id::indexOf(topic->getId())) != topic || topic->inUse()) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    if (topic->isMarked()) {
        return vexa::dds::RETCODE_OK;
    }
    topic->markToDelete();
    topicNames_.erase(topic->getName());
    if (topicWriter_ != nullptr) {
        announceTopic(topic, FLAGS_GONE, false);
        vexa::OsYieldCPU();
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t DomainParticipant::closeTopicByApi(Topic* topic) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (topic != nullptr && tableEntry(topics_, entity_id::indexOf(topic->getId())) == topic) {
        if (topic->inUse()) {
            return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
        }
        topic->closedByApi();
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t DomainParticipant::setTopicQos(Topic* topic, vexa::dds::TopicQos const& qos) {
    if (topic == nullptr) {
        return vexa::dds::RETCODE_OK;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    topic->setQoS(qos);
    announceTopic(topic, FLAGS_ALIVE, false);
    if (builtinSubscriber_ != nullptr) {
        int32_t const n = builtinSubscriber_->countInconsistentRemoteTopics(*topic);
        if (n > 0) {
            topic->addInconsistentTopics(n);
        }
    }
    return vexa::dds::RETCODE_OK;
}

TypeSupportCB* DomainParticipant::addTopicWriter(Topic* topic, Writer* writer) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (topic == nullptr || tableEntry(topics_, entity_id::indexOf(topic->getId())) != topic ||
        topic->isMarked()) {
        return nullptr;
    }
    return topic->addTopicWriter(writer);
}

TypeSupportCB* DomainParticipant::addTopicReader(Topic* topic, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (topic == nullptr || tableEntry(topics_, entity_id::indexOf(topic->getId())) != topic ||
        topic->isMarked()) {
        return nullptr;
    }
    return topic->addTopicReader(reader);
}

bool DomainParticipant::removeTopicWriter(Topic* topic, Writer* writer) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (topic == nullptr || tableEntry(topics_, entity_id::indexOf(topic->getId())) != topic) {
        return false;
    }
    return topic->removeTopicWriter(writer);
}

bool DomainParticipant::removeTopicReader(Topic* topic, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (topic == nullptr || tableEntry(topics_, entity_id::indexOf(topic->getId())) != topic) {
        return false;
    }
    return topic->removeTopicReader(reader);
}

Publisher* DomainParticipant::createPublisher(vexa::dds::PublisherQos const* qos,
                                              api::PubEventForwarder* listener, uint32_t mask) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if ((nextPublisherId_ & entity_id::INDEX_MASK) > entity_id::LAST_PUBLISHER_INDEX) {
        return nullptr;
    }
    auto* publisher = new Publisher(this, static_cast<int32_t>(nextPublisherId_++), qos);
    if (listener != nullptr) {
        publisher->setListener(listener, mask);
    }
    publishers_.push_back(publisher);
    if (qos_.entity_factory.autoenable_created_entities) {
        publisher->enable();
    }
    vexalog::Logger::getLogger().logMessage("DCPS::DomainParticipant::createPublisher", 4,
                                            vexares::DCPS_MSG_PUBLISHER_CREATED,
                                            static_cast<uint32_t>(publisher->getId()));
    return publisher;
}

ReturnCode_t DomainParticipant::deletePublisher(Publisher* publisher) {
    if (publisher == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (tableEntry(publishers_, entity_id::indexOf(publisher->getId())) != publisher ||
        publisher->inUse()) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    publisher->markToDelete();
    return vexa::dds::RETCODE_OK;
}

bool DomainParticipant::contains_entity(int32_t handle) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    uint32_t const index = entity_id::indexOf(handle);
    switch (entity_id::kindOf(handle)) {
        case entity_id::PUBLISHER:
            return tableEntry(publishers_, index) != nullptr;
        case entity_id::SUBSCRIBER:
            return tableEntry(subscribers_, index) != nullptr;
        case entity_id::TOPIC:
            return tableEntry(topics_, index) != nullptr;
        case entity_id::WRITER:
            for (Publisher* p : publishers_) {
                if (p != nullptr && p->contains_entity(handle)) {
                    return true;
                }
            }
            return false;
        case entity_id::READER:
            for (Subscriber* s : subscribers_) {
                if (s != nullptr && s->contains_entity(handle)) {
                    return true;
                }
            }
            return false;
        default:
            return false;
    }
}

void DomainParticipant::getParticipantKey(uint32_t (&out)[3]) const {
    for (unsigned i = 0; i < 3; ++i) {
        out[i] = data_.key.value[i];
    }
}

void DomainParticipant::assert_liveliness() {
    std::unique_lock<CoreRecursiveMutex> lock(mutex_);
    if (!isEnabled() || isMarked()) {
        return;
    }
    livelinessTime_ = clock_.now();
    RTPS::Writer* writer = participantWriter_;
    if (writer == nullptr || !beginEngineCall()) {
        return;
    }
    lock.unlock();
    try {
        writer->assertLiveliness();
    } catch (std::exception const&) {
        // The next assertion or the engine's own lease keeps the participant alive.
    }
    endEngineCall();
}

void DomainParticipant::assertLivelinessByDW() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    assertLivelinessByDWLocked();
}

vexa::dds::Time_t DomainParticipant::getLivelinessAssertionTime() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return livelinessTime_;
}

bool DomainParticipant::discoverRemoteTopic(vexa::dds::TopicBuiltinTopicData const& remote) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    Topic* topic = findTopic(remote.name);
    return topic != nullptr && !topic->isMarked() && topic->checkConsistency(remote);
}

bool DomainParticipant::changeRemoteTopicQoS(vexa::dds::TopicBuiltinTopicData const& remote) {
    return discoverRemoteTopic(remote);
}

void DomainParticipant::discoverRemoteDR(RemoteDR const* record, unsigned const* guidPrefix,
                                         unsigned entityId,
                                         vexa::dds::SubscriptionBuiltinTopicData const& data,
                                         std::vector<Writer*>& accepted) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    Topic* topic = findTopic(data.topic_name);
    if (topic == nullptr || topic->isMarked()) {
        return;
    }
    accepted.reserve(topic->getWriters().size());
    for (Writer* w : topic->getWriters()) {
        if (w != nullptr && !w->isMarked() &&
            w->getPublisher()->discoverDR(w, record, guidPrefix, entityId, data) != 0) {
            accepted.push_back(w);
        }
    }
}

void DomainParticipant::discoverRemoteDW(RemoteDW* record, unsigned const* guidPrefix,
                                         unsigned entityId,
                                         vexa::dds::PublicationBuiltinTopicData const& data,
                                         std::vector<Reader*>& accepted) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    Topic* topic = findTopic(data.topic_name);
    if (topic == nullptr || topic->isMarked()) {
        return;
    }
    // A copy: a reader's match files nothing that changes the topic's set, but stay safe.
    std::set<Reader*> const readers = topic->getReaders();
    accepted.reserve(accepted.size() + readers.size());
    for (Reader* reader : readers) {
        if (reader != nullptr && !reader->isMarked() &&
            reader->getSubscriber()->discoverDW(reader, record, guidPrefix, entityId, data)) {
            accepted.push_back(reader);
        }
    }
}

void DomainParticipant::departure() {
    std::unique_lock<CoreRecursiveMutex> lock(mutex_);
    if (participantWriter_ != nullptr) {
        std::string error;
        if (!announce(participantWriter_, DP_Id_, FLAGS_GONE, &data_, sizeof data_, &error)) {
            // The departure goes unannounced; the peers' leases expire instead.
            vexalog::Logger::getLogger().logMessage(MODULE_CLOSE, 3,
                                                    vexares::DCPS_MSG_ANNOUNCE_FAILED,
                                                    "DCPSParticipant", error.c_str());
        }
    }
    vexa::OsYieldCPU();
    if (builtinSubscriber_ != nullptr) {
        builtinSubscriber_->closeRTPS();
    }
    // Writers forget their engine writers before the engine goes; calls in flight on them
    // count on this participant, so destroyRTPS waits for them.
    for (Publisher* p : publishers_) {
        if (p != nullptr) {
            p->forgetRTPS();
        }
    }
    // Readers forget their engine readers; a call still in flight on one (a wait for
    // historical data) ends before the engine participant goes.
    std::vector<std::shared_ptr<Subscriber::ReaderGate>> gates;
    for (Subscriber* s : subscribers_) {
        if (s != nullptr) {
            s->closeRTPS(gates);
        }
    }
    lock.unlock();
    for (auto const& gate : gates) {
        gate->waitIdle();
    }
    destroyRTPS();
}

void DomainParticipant::close() {
    stopHandlingData();
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        listenerMask_ = 0;
        markToDelete();
    }
    departure();
}

void DomainParticipant::closedByApi() {
    stopHandlingData();
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        listenerMask_ = 0;
        for (Publisher* p : publishers_) {
            if (p != nullptr && !p->isMarked()) {
                p->closedByApi();
            }
        }
        for (Subscriber* s : subscribers_) {
            if (s != nullptr && !s->isMarked()) {
                s->closedByApi();
            }
        }
    }
    departure();
}

void DomainParticipant::collectGarbage() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (listenerCalls_.busy()) {
        return;  // a listener may still reach what the pass would free: the next pass
    }
    // A deleted publisher or subscriber stays until its last writer or reader has gone, which
    // is only once the calls in flight on it have ended.
    collectTable(
        publishers_, [](Publisher* p) { p->collectGarbage(); },
        [](Publisher* p) { return p->empty(); });
    collectTable(
        subscribers_, [](Subscriber* s) { s->collectGarbage(); },
        [](Subscriber* s) {
            std::vector<Reader*> const left = s->readers();
            return std::all_of(left.begin(), left.end(), [](Reader* r) { return r == nullptr; });
        });
    if (builtinSubscriber_ != nullptr) {
        builtinSubscriber_->collectGarbage();
    }
}

Subscriber* DomainParticipant::createSubscriber(vexa::dds::SubscriberQos const* qos,
                                                api::SubEventForwarder* listener, uint32_t mask) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if ((nextSubscriberId_ & entity_id::INDEX_MASK) > entity_id::LAST_SUBSCRIBER_INDEX) {
        return nullptr;
    }
    uint32_t const id = nextSubscriberId_++;
    auto* subscriber =
        new Subscriber(this, static_cast<int32_t>(id), qos != nullptr ? *qos : defaultSubQos_);
    if (listener != nullptr) {
        subscriber->setListener(listener, mask);
    }
    subscribers_.push_back(subscriber);
    if (qos_.entity_factory.autoenable_created_entities) {
        subscriber->enable();
    }
    vexalog::Logger::getLogger().logMessage(MODULE_CREATE_SUBSCRIBER, 4,
                                            vexares::DCPS_MSG_SUBSCRIBER_CREATED, id);
    return subscriber;
}

ReturnCode_t DomainParticipant::deleteSubscriber(Subscriber* subscriber) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (subscriber == nullptr ||
        tableEntry(subscribers_, entity_id::indexOf(subscriber->getId())) != subscriber ||
        subscriber->inUse()) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    if (!subscriber->isMarked()) {
        subscriber->markToDelete();
        // Its queue is no longer drained: what its readers left there leaves now.
        subscriber->dropQueued();
    }
    return vexa::dds::RETCODE_OK;
}

}  // namespace vexa::dcps
