#include "rtps/participant/ParticipantImpl.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/ResourceManager.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/ParticipantMessageKind.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/io/RTPSDataTransport.h"
#include "rtps/io/RTPSRouter.h"
#include "rtps/io/UserInputBufferPool.h"
#include "rtps/participant/ComponentFactory.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/DiscoveryDirectory.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/PortMapping.h"
#include "rtps/sched/RTPSTaskScheduler.h"

namespace RTPS {

namespace {

constexpr char MODULE[] = "ParticipantImpl::ParticipantImpl";
constexpr int COLLECTOR_PRIORITY_OFFSET = -2;
constexpr int DSVC_SENDER_PRIORITY_OFFSET = 0;
// A DSVC sender with nothing to send looks again this often.
constexpr auto DSVC_SENDER_IDLE = std::chrono::seconds(5);

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

uint32_t prefixWord(uint8_t const* prefix, unsigned i) {
    uint32_t w;
    std::memcpy(&w, prefix + 4 * i, sizeof w);
    return w;
}

vexa::dds::ParticipantBuiltinTopicData const& checkedData(
    vexa::dds::ParticipantBuiltinTopicData const* data) {
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные параметры участника домена");
    }
    return *data;
}

}  // namespace

ParticipantImpl::ParticipantImpl(CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
                                 vexa::dds::ParticipantBuiltinTopicData* data,
                                 unsigned int domainId, bool dsvcServer,
                                 std::shared_ptr<ComponentFactory> factory)
    : Entity(GUID_UNKNOWN),
      m_factory(factory ? std::move(factory) : std::make_shared<ComponentFactory>()),
      m_config(domainId),
      m_domainId(domainId),
      m_communicationObject(communicationObject),
      m_mode(mode),
      m_dsvcRole(dsvcServer ? DSVC_SERVER : DSVC_CLIENT) {
    vexa::dds::ParticipantBuiltinTopicData const& given = checkedData(data);
    try {
        construct(given);
    } catch (...) {
        shutdown();
        throw;
    }
}

ParticipantImpl::~ParticipantImpl() {
    shutdown();
}

void ParticipantImpl::construct(vexa::dds::ParticipantBuiltinTopicData const& data) {
    GUID_t guid{};
    std::memcpy(guid.guidPrefix, &data.key, GUID_PREFIX_SIZE);
    guid.entityId = _ENTITYID_PARTICIPANT;
    setGuid(guid);

    // Announcements are packed and received ones decoded through these.
    registerDiscoveryRecordOps();

    // A missing resource file only leaves the log texts out.
    vexares::ResourceManager::getInstance().initialise("rtps_strings_ru.res");

    char name[16];
    std::snprintf(name, sizeof name, "PART%03u", unsigned{m_config.hostWideIndex()});
    m_name = name;
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_PARTICIPANT_CREATED,
                        m_name.c_str(), prefixWord(m_guid.guidPrefix, 0),
                        prefixWord(m_guid.guidPrefix, 1), prefixWord(m_guid.guidPrefix, 2),
                        m_domainId);
    logger().logMessage(MODULE, vexalog::Logger::SEV_CONFIG,
                        vexares::RTPS_MSG_PARTICIPANT_UNICAST_ADDRESS, m_config.defaultUnicastIp());

    m_transport.reset(m_factory->makeTransport(this));
    if (!m_transport) {
        throw GENERAL_DDSI_ERROR("Ошибка получения транспорта");
    }
    if (!m_transport->init()) {
        throw GENERAL_DDSI_ERROR("Ошибка инициализации транспорта");
    }

    m_router.reset(new RTPSRouter(m_config.defaultUnicastIp(), m_config.hostWideIndex()));
    TaskFunctions tasks = m_factory->endpointTaskFunctions();
    tasks[TASK_AUTOMATIC_LIVELINESS] = [](void* self, void*, uint64_t, uint64_t) {
        static_cast<ParticipantImpl*>(self)->automaticLivelinessWorker();
    };
    tasks[TASK_MANUAL_LIVELINESS] = [](void* self, void*, uint64_t, uint64_t) {
        static_cast<ParticipantImpl*>(self)->manualByParticipantLivelinessWorker();
    };
    m_scheduler.reset(new RTPSTaskScheduler(std::move(tasks), m_factory->makeSchedulerClock()));
    m_composer.reset(new MessageComposer(m_transport.get(), m_guid.guidPrefix));
    m_receiver.reset(new MessageReceiver(this, m_transport.get(), m_guid.guidPrefix, 10000,
                                         m_config.maxSampleSize()));
    m_userPool.reset(new UserInputBufferPool(USER_BUFFER_COUNT, USER_BUFFER_SIZE, m_poolMutex));

    prepareOwnData(data);
    createBuiltinEndpoints();
    m_directory = m_factory->makeDirectory(this);

    startCollector();
    setUpDsvc();
}

Locator_t ParticipantImpl::unicastLocator(uint16_t port) const {
    Locator_t locator{LOCATOR_KIND_UDPv4, port, {}};
    strToLoc(&locator, m_config.defaultUnicastIp());
    return locator;
}

EndpointConfig ParticipantImpl::endpointConfig(EntityId_t const& id, uint32_t reliability) const {
    EndpointConfig config{};
    config.guid = m_guid;
    config.guid.entityId = id;
    config.topicKind = TOPIC_KIND_WITH_KEY;
    config.reliabilityLevel = reliability;
    config.unicastLocator = unicastLocator(m_config.metatrafficUnicastPort());
    config.multicastLocator = _LOCATOR_INVALID;
    config.historyReserve = BUILTIN_HISTORY_RESERVE;
    return config;
}

void ParticipantImpl::createBuiltinEndpoints() {
    {
        std::lock_guard<std::mutex> w(m_writersMutex);
        m_writers.assign(BUILTIN_TOPIC_COUNT, nullptr);
    }
    {
        std::lock_guard<std::mutex> r(m_readersMutex);
        m_readers.assign(BUILTIN_TOPIC_COUNT, nullptr);
        forgetMatchesLocked();
    }

    for (size_t i = 0; i < BUILTIN_TOPIC_COUNT; ++i) {
        auto const topic = static_cast<BuiltinTopic>(i);
        vexa::dds::PublicationBuiltinTopicData& pub = m_builtinPublications[i];
        vexa::dds::SubscriptionBuiltinTopicData& sub = m_builtinSubscriptions[i];
        EntityId_t const writerId = builtinWriterId(topic);
        std::memcpy(pub.key.value, writerId.entityKey, sizeof writerId.entityKey);
        std::memcpy(sub.key.value, writerId.entityKey, sizeof writerId.entityKey);
        std::memcpy(&pub.participant_key, m_guid.guidPrefix, GUID_PREFIX_SIZE);
        std::memcpy(&sub.participant_key, m_guid.guidPrefix, GUID_PREFIX_SIZE);
        pub.topic_name = sub.topic_name = builtinTopicName(topic);
        pub.type_name = sub.type_name = "Builtin";
        sub.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
        pub.liveliness.kind = vexa::dds::AUTOMATIC_LIVELINESS_QOS;
        pub.liveliness.lease_duration = vexa::dds::DURATION_INFINITE;
    }

    // Each endpoint is listed as soon as it exists, so that a failure of the next one leaves
    // it to shutdown.
    auto makeReader = [this](BuiltinTopic topic, EndpointConfig const& config) {
        LocalReader* reader = m_factory->makeBuiltinReader(
            topic, this, config, m_builtinSubscriptions[positionOf(topic)], m_communicationObject,
            m_mode);
        std::lock_guard<std::mutex> r(m_readersMutex);
        m_readers[positionOf(topic)] = reader;
        forgetMatchesLocked();
    };
    auto makeWriter = [this](BuiltinTopic topic, EndpointConfig const& config) {
        LocalWriter* writer = m_factory->makeBuiltinWriter(
            topic, this, config, m_builtinPublications[positionOf(topic)]);
        std::lock_guard<std::mutex> w(m_writersMutex);
        m_writers[positionOf(topic)] = writer;
        return writer;
    };

    for (BuiltinTopic topic : {BuiltinTopic::SUBSCRIPTION, BuiltinTopic::PUBLICATION,
                               BuiltinTopic::TOPIC, BuiltinTopic::PARTICIPANT_MESSAGE}) {
        makeReader(topic, endpointConfig(builtinReaderId(topic), RELIABILITY_RELIABLE));
        makeWriter(topic, endpointConfig(builtinWriterId(topic), RELIABILITY_RELIABLE));
    }

    Locator_t spdpGroup{LOCATOR_KIND_UDPv4, metatrafficMulticastPort(m_domainId), {}};
    strToLoc(&spdpGroup, DEFAULT_MULTICAST_ADDRESS);
    auto spdpConfig = [&](EntityId_t const& id) {
        EndpointConfig config = endpointConfig(id, RELIABILITY_BEST_EFFORT);
        config.unicastLocator = _LOCATOR_INVALID;
        config.multicastLocator = spdpGroup;
        return config;
    };
    makeReader(BuiltinTopic::PARTICIPANT, spdpConfig(_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER));
    LocalWriter* spdpWriter = makeWriter(BuiltinTopic::PARTICIPANT,
                                         spdpConfig(_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER));
    if (spdpWriter != nullptr && !spdpWriter->reader_locator_add(spdpGroup, true)) {
        throw GENERAL_DDSI_ERROR("Ошибка задания Writer'у SPDP мультикаст адреса");
    }
}

void ParticipantImpl::prepareOwnData(vexa::dds::ParticipantBuiltinTopicData const& data) {
    auto prepareMessage = [this](ParticipantMessageData& message, SampleInfo& sample,
                                 uint8_t const* kind, int32_t instance) {
        std::memcpy(message.guidPrefix, m_guid.guidPrefix, GUID_PREFIX_SIZE);
        std::memcpy(message.kind, kind, sizeof message.kind);
        message.data.clear();
        sample = SampleInfo{};
        sample.instanceHandle = instance;
        sample.statusFlags = SAMPLE_ALIVE;
        sample.sourceTimestamp = vexa::dds::Time_t{0, 0};
        sample.data = &message;
        sample.length = sizeof message;
    };
    prepareMessage(m_automaticMessage, m_automaticSample,
                   PARTICIPANT_MESSAGE_DATA_KIND_AUTOMATIC_LIVELINESS_UPDATE, 1);
    prepareMessage(m_manualMessage, m_manualSample,
                   PARTICIPANT_MESSAGE_DATA_KIND_MANUAL_LIVELINESS_UPDATE, 2);

    std::memcpy(&m_ownData.key, m_guid.guidPrefix, GUID_PREFIX_SIZE);
    m_ownData.user_data = data.user_data;

    SPDPdiscoveredParticipantData& spdp = m_spdpData;
    std::memcpy(spdp.guidPrefix, m_guid.guidPrefix, GUID_PREFIX_SIZE);
    spdp.expectsInlineQos = true;
    spdp.availableBuiltinEndpoints = AVAILABLE_BUILTIN_ENDPOINTS;
    spdp.metatrafficUnicastLocator = unicastLocator(m_config.metatrafficUnicastPort());
    spdp.metatrafficMulticastLocator =
        Locator_t{LOCATOR_KIND_UDPv4, metatrafficMulticastPort(m_domainId), {}};
    strToLoc(&spdp.metatrafficMulticastLocator, DEFAULT_MULTICAST_ADDRESS);
    spdp.defaultMulticastLocator = _LOCATOR_INVALID;
    spdp.defaultUnicastLocator = unicastLocator(m_config.userUnicastPort());
    spdp.manualLivelinessCount = 0;
    int32_t const leaseMs = m_config.participantLeaseDuration();
    spdp.leaseDuration =
        vexa::dds::Duration_t{leaseMs / 1000, static_cast<uint32_t>(leaseMs % 1000) * 1000000u};
    spdp.participant = m_ownData;

    m_ownSample = SampleInfo{};
    m_ownSample.instanceHandle = static_cast<int32_t>(data.key.value[0]);
    m_ownSample.statusFlags = SAMPLE_ALIVE;
    m_ownSample.sourceTimestamp = vexa::dds::Time_t{0, 0};
    m_ownSample.data = &m_ownData;
    m_ownSample.length = sizeof m_ownData;
}

void ParticipantImpl::startCollector() {
    m_collectorStop = false;
    char error[256] = {};
    m_collectorThread = vexa::OsStartNewThread(&ParticipantImpl::collectorEntry, this,
                                               COLLECTOR_PRIORITY_OFFSET, 0, error, sizeof error);
    if (m_collectorThread == 0) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, m_name.c_str(),
                            "сборщика мусора", error);
        throw GENERAL_DDSI_ERROR("Не удалось запустить поток сборщика мусора участника");
    }
}

void ParticipantImpl::setUpDsvc() {
    m_dsvc = m_factory->makeDsvcLink(this, m_dsvcRole);
    if (m_dsvcRole == DSVC_CLIENT) {
        if (!m_dsvc || !m_dsvc->isConfigured()) {
            m_dsvc.reset();
            m_dsvcRole = DSVC_NONE;
        }
        return;
    }
    // Server side: a server that cannot open, or a sender that cannot start, leaves the
    // participant without DSVC rather than without a participant.
    if (!m_dsvc || !m_dsvc->addDSVCServer()) {
        m_dsvc.reset();
        m_dsvcRole = DSVC_NONE;
        return;
    }
    m_dsvcRunning = true;
    char error[256] = {};
    m_dsvcThread = vexa::OsStartNewThread(&ParticipantImpl::dsvcSenderEntry, this,
                                          DSVC_SENDER_PRIORITY_OFFSET, 0, error, sizeof error);
    if (m_dsvcThread == 0) {
        m_dsvcRunning = false;
        logger().logMessage(MODULE, vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, m_name.c_str(),
                            "отправки DSVC", error);
        m_dsvc.reset();
        m_dsvcRole = DSVC_NONE;
    }
}

void ParticipantImpl::start() {
    if (m_started.load() || !m_receiver) {
        return;
    }
    if (!m_receiver->start()) {
        throw GENERAL_DDSI_ERROR("Не удалось запустить поток разбора сообщений участника");
    }
    // Each start returns with its writer running: nothing is left to wait for before the
    // first announcement.
    for (size_t i = 0; i < BUILTIN_TOPIC_COUNT; ++i) {
        if (WriterHandle writer = builtinWriter(static_cast<BuiltinTopic>(i))) {
            writer->start();
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_gateMutex);
        m_gateOpen = true;
    }
    m_started = true;
    if (WriterHandle spdp = builtinWriter(BuiltinTopic::PARTICIPANT)) {
        spdp->addChange(&m_ownSample);
    }
}

void ParticipantImpl::dataRecipient(void* data, unsigned short length) {
    {
        std::lock_guard<std::mutex> lock(m_gateMutex);
        if (!m_gateOpen) {
            return;
        }
        ++m_deliveriesInFlight;
    }
    m_receiver->receiveMessage(data, length);
    std::lock_guard<std::mutex> lock(m_gateMutex);
    if (--m_deliveriesInFlight == 0 && !m_gateOpen) {
        m_gateIdle.notify_all();
    }
}

void ParticipantImpl::closeGate() {
    std::unique_lock<std::mutex> lock(m_gateMutex);
    m_gateOpen = false;
    m_started = false;
    m_gateIdle.wait(lock, [this] { return m_deliveriesInFlight == 0; });
}

void ParticipantImpl::shutdown() noexcept {
    bool const wasStarted = m_started.load();
    closeGate();

    // The link's threads call the participant: they end first.
    if (m_dsvc) {
        m_dsvc->stop();
    }
    stopDsvcSender();
    m_dsvc.reset();

    if (!m_name.empty()) {
        logger().logMessage("ParticipantImpl::~ParticipantImpl", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_PARTICIPANT_SHUTDOWN, m_name.c_str());
    }

    if (m_scheduler) {
        m_scheduler->stop();
    }
    if (m_receiver) {
        m_receiver->stop();
        m_receiver.reset();
    }
    // Nothing may walk the lists once the endpoints go.
    stopCollector();
    // Its lease thread may still call the participant: ended before the pointer goes.
    if (m_directory) {
        m_directory->stop();
    }
    m_directory.reset();

    for (WriterHandle& writer : writerHandles()) {
        writer->stop();
    }
    for (ReaderHandle& reader : readerHandles()) {
        reader->stop();
    }
    // Lets the transport send what the stopped endpoints queued last. A participant that never
    // started has sent nothing.
    if (wasStarted && m_config.heartbeatResponseDelay() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_config.heartbeatResponseDelay()));
    }
    destroyEndpoints();

    {
        std::lock_guard<std::mutex> lock(m_poolMutex);
        m_userPool.reset();
    }
    m_composer.reset();
    m_scheduler.reset();
    m_router.reset();
    m_transport.reset();
}

void ParticipantImpl::destroyEndpoints() {
    for (;;) {
        LocalWriter* writer = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_writersMutex);
            while (!m_writers.empty() && m_writers.back() == nullptr) {
                m_writers.pop_back();
            }
            if (m_writers.empty()) {
                break;
            }
            writer = m_writers.back();
            m_writers.pop_back();
        }
        writer->waitUntilUnused();
        delete writer;
    }
    for (;;) {
        LocalReader* reader = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_readersMutex);
            while (!m_readers.empty() && m_readers.back() == nullptr) {
                m_readers.pop_back();
            }
            if (m_readers.empty()) {
                break;
            }
            reader = m_readers.back();
            m_readers.pop_back();
            forgetMatchesLocked();
        }
        reader->waitUntilUnused();
        delete reader;
    }
}

void ParticipantImpl::collectorEntry(void* self) {
    static_cast<ParticipantImpl*>(self)->collectorWorker();
}

void ParticipantImpl::collectorWorker() {
    std::unique_lock<std::mutex> lock(m_collectorMutex);
    for (;;) {
        m_collectorWake.wait_for(lock, std::chrono::milliseconds(COLLECTOR_PERIOD_MS),
                                 [this] { return m_collectorStop; });
        if (m_collectorStop) {
            return;
        }
        lock.unlock();
        for (WriterHandle& writer : writerHandles()) {
            writer->removeGarbage(0);
        }
        for (ReaderHandle& reader : readerHandles()) {
            reader->removeGarbage(0);
        }
        lock.lock();
    }
}

void ParticipantImpl::stopCollector() {
    if (m_collectorThread == 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_collectorMutex);
        m_collectorStop = true;
    }
    m_collectorWake.notify_all();
    vexa::OsWaitThreadTermination(m_collectorThread);
    m_collectorThread = 0;
}

void ParticipantImpl::dsvcSenderEntry(void* self) {
    static_cast<ParticipantImpl*>(self)->dsvcSenderWorker();
}

void ParticipantImpl::dsvcSenderWorker() {
    while (m_dsvcRunning.load()) {
        {
            std::unique_lock<std::mutex> lock(m_dsvcMutex);
            m_dsvcWake.wait_for(lock, DSVC_SENDER_IDLE,
                                [this] { return m_dsvcWorkPending || !m_dsvcRunning.load(); });
            m_dsvcWorkPending = false;
        }
        if (!m_dsvcRunning.load()) {
            return;
        }
        m_dsvc->sendPending(m_dsvcRunning);
    }
}

void ParticipantImpl::stopDsvcSender() {
    if (m_dsvcThread == 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_dsvcMutex);
        m_dsvcRunning = false;
    }
    m_dsvcWake.notify_all();
    vexa::OsWaitThreadTermination(m_dsvcThread);
    m_dsvcThread = 0;
}

void ParticipantImpl::dsvcDataRecipient(int socket, unsigned long tag, void* body) {
    DsvcLink* link = m_dsvc.get();
    if (link != nullptr && m_dsvcRole == DSVC_SERVER && link->dataRecipient(socket, tag, body)) {
        {
            std::lock_guard<std::mutex> lock(m_dsvcMutex);
            m_dsvcWorkPending = true;
        }
        m_dsvcWake.notify_all();
    }
}

void ParticipantImpl::historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                                     std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) {
    DsvcLink* link = m_dsvc.get();
    if (link != nullptr && m_dsvcRole == DSVC_SERVER &&
        link->historicalData(guidPrefix, entityId, samples)) {
        {
            std::lock_guard<std::mutex> lock(m_dsvcMutex);
            m_dsvcWorkPending = true;
        }
        m_dsvcWake.notify_all();
    }
}

Writer* ParticipantImpl::getDCPSParticipantWriter() {
    WriterHandle w = builtinWriter(BuiltinTopic::PARTICIPANT);
    return w ? w->asWriter() : nullptr;
}

Writer* ParticipantImpl::getDCPSSubscriptionWriter() {
    WriterHandle w = builtinWriter(BuiltinTopic::SUBSCRIPTION);
    return w ? w->asWriter() : nullptr;
}

Writer* ParticipantImpl::getDCPSPublicationWriter() {
    WriterHandle w = builtinWriter(BuiltinTopic::PUBLICATION);
    return w ? w->asWriter() : nullptr;
}

Writer* ParticipantImpl::getDCPSTopicWriter() {
    WriterHandle w = builtinWriter(BuiltinTopic::TOPIC);
    return w ? w->asWriter() : nullptr;
}

Reader* ParticipantImpl::getDCPSParticipantReader() {
    ReaderHandle r = builtinReader(BuiltinTopic::PARTICIPANT);
    return r ? r->asReader() : nullptr;
}

Reader* ParticipantImpl::getDCPSSubscriptionReader() {
    ReaderHandle r = builtinReader(BuiltinTopic::SUBSCRIPTION);
    return r ? r->asReader() : nullptr;
}

Reader* ParticipantImpl::getDCPSPublicationReader() {
    ReaderHandle r = builtinReader(BuiltinTopic::PUBLICATION);
    return r ? r->asReader() : nullptr;
}

Reader* ParticipantImpl::getDCPSTopicReader() {
    ReaderHandle r = builtinReader(BuiltinTopic::TOPIC);
    return r ? r->asReader() : nullptr;
}

}  // namespace RTPS
