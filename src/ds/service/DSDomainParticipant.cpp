#include "ds/service/DSDomainParticipant.h"

#include <algorithm>
#include <cstring>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSSubscriberBuiltin.h"
#include "ds/service/DSTopic.h"
#include "ds/service/DomainSubscriber.h"
#include "ds/service/DurabilityService.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/dsvc/HistoryRefusal.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/Writer.h"

namespace vexa::ds {

namespace {

constexpr uint64_t TICK_US = 100000;
constexpr int64_t MAX_WAIT_MS = 101;
constexpr uint32_t DATA_THREAD_STACK = 0x100000;
constexpr size_t ERROR_TEXT_SIZE = 2048;
constexpr uint32_t DEPARTURE_FLAGS = 6;  // disposed and unregistered
constexpr size_t TOPICS_GROWTH = 100;

static_assert(sizeof(vexa::dds::ParticipantBuiltinTopicData) == 40,
              "peers read the departure announcement with this length");

void logAcceptorGone(const char* module, const vexa::dds::KeyHash_t& key) {
    uint64_t lo, hi;
    std::memcpy(&lo, key.hash, 8);
    std::memcpy(&hi, key.hash + 8, 8);
    vexalog::Logger::getLogger().logMessage(module, 6, vexares::DS_MSG_ACCEPTOR_FINISHED,
                                            (unsigned long long)lo, (unsigned long long)hi, "");
}

}  // namespace

DSDomainParticipant::DSDomainParticipant(const DurabilityService& service, unsigned domainId,
                                         const DomainEngine& engine)
    : m_service(service),
      m_domainId(domainId),
      m_engine(engine),
      m_comm(std::make_unique<DSRTPSCommunicationObject>(*this)) {
    m_topicsById.reserve(TOPICS_GROWTH);
    m_topicsById.emplace_back();
    m_newTopics.reserve(TOPICS_GROWTH);
}

DSDomainParticipant::~DSDomainParticipant() {
    m_comm->stopHandlingInput();
    stopHandlingData();
    deleteEngine();
    // The engine's threads are joined: nothing reaches the members below any more.
    m_subscriberPtr.store(nullptr);
    m_subscriber.reset();
    m_acceptors.clear();
    m_newTopics.clear();
    m_topicsByName.clear();
    m_topicsById.clear();
    m_builtinPtr.store(nullptr);
    m_builtin.reset();
}

void DSDomainParticipant::getParticipantKey(unsigned (&key)[3]) const {
    for (int i = 0; i < 3; ++i)
        key[i] = m_participantData.key.value[i];
}

int DSDomainParticipant::maxSamplesPerReader() const {
    return m_service.getMaxSamplesPerReader();
}

void DSDomainParticipant::setRTPS(RTPS::Participant* participant) {
    m_rtps = participant;
    if (participant) {
        m_participantWriter = participant->getDCPSParticipantWriter();
        m_participantReader = participant->getDCPSParticipantReader();
        m_publicationWriter = participant->getDCPSPublicationWriter();
        m_publicationReader = participant->getDCPSPublicationReader();
        m_subscriptionWriter = participant->getDCPSSubscriptionWriter();
        m_subscriptionReader = participant->getDCPSSubscriptionReader();
        m_topicWriter = participant->getDCPSTopicWriter();
        m_topicReader = participant->getDCPSTopicReader();
    }
    if (!m_builtin) {
        m_builtin = std::make_unique<DSSubscriberBuiltin>(*this);
        m_builtinPtr.store(m_builtin.get());
    }
}

void DSDomainParticipant::setSubscriber(std::unique_ptr<DomainSubscriber> subscriber) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_subscriber = std::move(subscriber);
    m_subscriberPtr.store(m_subscriber.get());
}

void DSDomainParticipant::waitUntilBuilt() {
    if (m_built.load())
        return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
}

bool DSDomainParticipant::startHandlingData() {
    if (m_dataThread != 0)
        return true;
    // Set before the start, so that a stop coming first still finds the thread to join.
    m_running.store(true);
    char error[ERROR_TEXT_SIZE] = {};
    m_dataThread =
        OsStartNewThread(&DataHandlingThread, this, 0, DATA_THREAD_STACK, error, sizeof(error) - 1);
    if (m_dataThread == 0) {
        m_running.store(false);
        vexalog::Logger::getLogger().logMessage("DS::DSDomainParticipant::startHandlingData", 2,
                                                vexares::DS_MSG_THREAD_NOT_STARTED, error);
        return false;
    }
    return true;
}

void DSDomainParticipant::stopHandlingData() {
    m_running.store(false);
    if (m_dataThread == 0)
        return;
    m_comm->wake(true);
    OsWaitThreadTermination(m_dataThread);
    m_dataThread = 0;
}

void DSDomainParticipant::DataHandlingThread(void* self) {
    static_cast<DSDomainParticipant*>(self)->dataLoop();
}

void DSDomainParticipant::dataLoop() {
    m_clock.setInitial();
    uint64_t tick = m_engine.tickClock();
    while (m_running.load()) {
        OsYieldCPU();
        createDRs();
        if (!m_running.load())
            break;
        const uint64_t now = m_engine.tickClock();
        if (now > tick + TICK_US - 1) {
            // One step per round: a late thread catches up over the following rounds.
            m_clock.advance(TICK_US);
            tick += TICK_US;
            periodicStatusCheck();
        }
        const int64_t wait = std::clamp<int64_t>(
            (int64_t(tick) - int64_t(now) + int64_t(TICK_US) + 500) / 1000, 0, MAX_WAIT_MS);
        if (wait > 0 && m_comm->pending() < 1)
            m_comm->waitForWork(wait);
        if (!m_running.load())
            break;
        handleSubscriptions();
    }
}

void DSDomainParticipant::periodicStatusCheck() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (DomainSubscriber* subscriber = m_subscriberPtr.load())
        subscriber->periodicStatusCheck();
}

void DSDomainParticipant::createDRs() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_newTopics.empty())
        return;
    DomainSubscriber* subscriber = m_subscriberPtr.load();
    for (DSTopic* topic : m_newTopics) {
        DSReader* reader = subscriber ? subscriber->createDR(*topic) : nullptr;
        if (reader == nullptr)
            continue;
        topic->setReader(reader);
        for (const auto& [key, acceptorTopic] : m_acceptors)
            if (acceptorTopic == topic)
                subscriber->addHistoryAcceptor(reader, key);
    }
    m_newTopics.clear();
}

void DSDomainParticipant::handleSubscriptions() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    DomainSubscriber* subscriber = m_subscriberPtr.load();
    if (subscriber == nullptr)
        return;
    subscriber->ddsicashHandler();
    if (m_acceptors.empty())
        return;
    m_finished.clear();
    subscriber->sendHistory(m_finished);
    for (const KeyHash& key : m_finished) {
        logAcceptorGone("DS::DSDomainParticipant::handleSubscriptions", key);
        m_acceptors.erase(key);
    }
    m_finished.clear();
}

void DSDomainParticipant::collectGarbage() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (DomainSubscriber* subscriber = m_subscriberPtr.load())
        subscriber->collectGarbage();
    if (DSSubscriberBuiltin* builtin = m_builtinPtr.load())
        builtin->collectGarbage();
}

uint32_t DSDomainParticipant::getNewTopicID() {
    if ((m_nextTopicId & 0xFFFFFF) > MAX_TOPICS)
        return 0;
    if (m_topicsById.size() == m_topicsById.capacity())
        m_topicsById.reserve(m_topicsById.capacity() + TOPICS_GROWTH);
    m_topicsById.emplace_back();
    return m_nextTopicId++;
}

DSTopic* DSDomainParticipant::createTopic(const vexa::dds::TopicBuiltinTopicData& data) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const uint32_t id = getNewTopicID();
    if (id == 0)
        return nullptr;
    vexa::dds::TopicQos qos;
    qos.topic_data = data.topic_data;
    qos.durability = data.durability;
    qos.durability_service = data.durability_service;
    qos.deadline = data.deadline;
    qos.latency_budget = data.latency_budget;
    qos.liveliness = data.liveliness;
    qos.reliability = data.reliability;
    qos.destination_order = data.destination_order;
    qos.history = data.history;
    qos.resource_limits = data.resource_limits;
    qos.transport_priority = data.transport_priority;
    qos.lifespan = data.lifespan;
    qos.ownership = data.ownership;
    uint8_t keyBytes[sizeof(data.key.value)];
    std::memcpy(keyBytes, data.key.value, sizeof(keyBytes));
    const bool hasKey = keyBytes[0] == DSTopic::KEYED && keyBytes[1] == 0xAA;
    auto& slot = m_topicsById[id & 0xFFFFFF];
    slot = std::make_unique<DSTopic>(this, data.type_name, data.name, id, qos, hasKey);
    DSTopic* topic = slot.get();
    m_topicsByName[data.name] = topic;
    m_newTopics.push_back(topic);
    const vexa::dds::DurabilityServiceQosPolicy& ds = data.durability_service;
    vexalog::Logger::getLogger().logMessage("DS::DSDomainParticipant::createTopic", 6,
                                            vexares::DS_MSG_TOPIC_CREATED, data.name.c_str(),
                                            int(ds.history_depth), int(ds.max_instances),
                                            int(ds.max_samples), int(ds.max_samples_per_instance));
    return topic;
}

bool DSDomainParticipant::discoverRemoteTopic(const vexa::dds::TopicBuiltinTopicData& data) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (DSTopic* known = findTopic(data.name))
        return known->isConsistent(data);
    // Only TRANSIENT and PERSISTENT topics are kept.
    if (data.durability.kind > vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS)
        createTopic(data);
    return true;
}

bool DSDomainParticipant::changeRemoteTopicQoS(const vexa::dds::TopicBuiltinTopicData& data) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    DSTopic* known = findTopic(data.name);
    return known != nullptr && known->isConsistent(data);
}

DSTopic* DSDomainParticipant::findTopic(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto it = m_topicsByName.find(name);
    return it == m_topicsByName.end() ? nullptr : it->second;
}

DSReader* DSDomainParticipant::discoverRemoteDW(
    const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
    const vexa::dds::PublicationBuiltinTopicData& data) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    DomainSubscriber* subscriber = m_subscriberPtr.load();
    return subscriber ? subscriber->discoverDW(rdw, prefix, entityId, data) : nullptr;
}

DSDomainParticipant::KeyHash DSDomainParticipant::acceptorKey(const uint32_t prefix[3],
                                                              uint32_t entityId) {
    KeyHash key;
    std::memcpy(key.hash, prefix, 12);
    std::memcpy(key.hash + 12, &entityId, 4);
    return key;
}

void DSDomainParticipant::splitAcceptorKey(const KeyHash& key, uint32_t (&prefix)[3],
                                           uint32_t& entityId) {
    std::memcpy(prefix, key.hash, 12);
    std::memcpy(&entityId, key.hash + 12, 4);
}

bool DSDomainParticipant::KeyLess::operator()(const KeyHash& a, const KeyHash& b) const {
    return std::memcmp(a.hash, b.hash, sizeof(a.hash)) < 0;
}

void DSDomainParticipant::requestHistory(const uint32_t prefix[3], uint32_t entityId,
                                         const vexa::dds::SubscriptionBuiltinTopicData& sub) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_comm->isStopped())
        return;
    DSTopic* topic = findTopic(sub.topic_name);
    DSReader* reader = topic ? topic->reader() : nullptr;
    DomainSubscriber* subscriber = m_subscriberPtr.load();
    // A refusal looks to the reader like an empty store: say why, where the default level
    // shows it.
    char const* refusal =
        topic == nullptr ? "тема не хранится службой" : RTPS::historyRefusal(topic->data(), sub);
    if (refusal != nullptr) {
        vexalog::Logger::getLogger().logMessage(
            "DS::DSDomainParticipant::requestHistory", 3, vexares::DS_MSG_HISTORY_REFUSED,
            prefix[0], prefix[1], prefix[2], entityId, sub.topic_name.c_str(), refusal);
    }
    if (refusal != nullptr || reader == nullptr || subscriber == nullptr ||
        !subscriber->hasHistoryWriters(reader)) {
        // Nothing to wait for: the reader gets its (empty) history at once.
        if (m_rtps) {
            std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> none;
            try {
                m_rtps->historicalData(prefix, entityId, none);
            } catch (const RTPS::DDSIException&) {
                // The connection is gone; there is nobody to tell.
            }
        }
        return;
    }
    const KeyHash key = acceptorKey(prefix, entityId);
    m_acceptors.emplace(key, topic);
    subscriber->addHistoryAcceptor(reader, key);
}

void DSDomainParticipant::stopSendingHistory(const uint32_t prefix[3], uint32_t entityId) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_comm->isStopped())
        return;
    const KeyHash key = acceptorKey(prefix, entityId);
    auto it = m_acceptors.find(key);
    if (it == m_acceptors.end())
        return;
    DomainSubscriber* subscriber = m_subscriberPtr.load();
    if (subscriber && it->second->reader())
        subscriber->removeHistoryAcceptor(it->second->reader(), key);
    logAcceptorGone("DS::DSDomainParticipant::stopSendingHistory", key);
    m_acceptors.erase(it);
}

bool DSDomainParticipant::isAcceptor(const KeyHash& key) const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_acceptors.count(key) != 0;
}

size_t DSDomainParticipant::acceptorCount() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_acceptors.size();
}

void DSDomainParticipant::close() {
    m_comm->stopHandlingInput();
    stopHandlingData();
    RTPS::Participant* engine = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        if (m_participantWriter) {
            RTPS::SampleInfo departure{};
            departure.instanceHandle = INSTANCE_HANDLE;
            departure.statusFlags = DEPARTURE_FLAGS;
            departure.sourceTimestamp = m_clock.now();
            departure.data = &m_participantData;
            departure.length = sizeof(m_participantData);
            try {
                m_participantWriter->addChange(&departure);
            } catch (const RTPS::DDSIException&) {
                // The engine is going away with the domain; nobody is left to tell.
            }
        }
        OsYieldCPU();
        engine = m_rtps;
        forgetEngine();
    }
    delete engine;
}

void DSDomainParticipant::forgetEngine() {
    m_rtps = nullptr;
    m_participantWriter = nullptr;
    m_participantReader = nullptr;
    m_publicationWriter = nullptr;
    m_publicationReader = nullptr;
    m_subscriptionWriter = nullptr;
    m_subscriptionReader = nullptr;
    m_topicWriter = nullptr;
    m_topicReader = nullptr;
}

void DSDomainParticipant::deleteEngine() {
    RTPS::Participant* engine = m_rtps;
    forgetEngine();
    delete engine;
}

}  // namespace vexa::ds
