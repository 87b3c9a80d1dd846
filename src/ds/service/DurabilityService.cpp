#include "ds/service/DurabilityService.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "common/conf/ConfigurationManager.h"
#include "common/conf/ConfigurationSource.h"
#include "common/log/Logger.h"
#include "common/os/OsGuidPrefix.h"
#include "common/os/OsThread.h"
#include "common/os/OsTime.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DSSubscriber.h"
#include "rtps/participant/Participant.h"

namespace vexa::ds {

DurabilityService* pds = nullptr;

namespace {

constexpr uint32_t COLLECTOR_STACK = 131072;
constexpr size_t ERROR_TEXT_SIZE = 2048;

}  // namespace

DurabilityService* DurabilityService::start(const DomainEngine& engine) {
    return new DurabilityService(engine);
}

DurabilityService::DurabilityService(const DomainEngine& engine) : m_engine(engine) {
    using vexaconf::ConfigurationManager;
    m_config = std::make_unique<ConfigurationManager>(ConfigurationManager::SET_DS);
    const unsigned result = m_config->read(true);
    vexaconf::logConfigurationSource(*m_config, "DurabilityService", vexares::DS_MSG_CONFIG_SOURCE,
                                     vexares::DS_MSG_CONFIG_SHADOWS_INSTALLED);
    if (result == ConfigurationManager::CONF_OK) {
        m_config->getIntParameter(ConfigurationManager::DS_MAX_SAMPLES_PER_DR_LIMIT,
                                  &m_maxSamplesPerReader);
        m_config->getIntParameter(ConfigurationManager::DS_COLLECT_GARBAGE_PERIOD,
                                  &m_collectGarbagePeriod);
    } else if (result != ConfigurationManager::CONF_FILE_NOT_FOUND) {
        vexalog::Logger::getLogger().logMessage("DurabilityService", 2,
                                                vexares::DS_MSG_CONFIG_UNREADABLE);
        return;
    }
    vexalog::Logger::getLogger().logMessage("DurabilityService", 5, vexares::DS_MSG_SERVICE_STARTED,
                                            1, 0, 1928, "RT:release");
    m_started = true;
}

DurabilityService::~DurabilityService() {
    stopGarbageCollector();
    // No departure announcement here, unlike closeDomain.
    for (DSDomainParticipant*& domain : m_domains) {
        delete domain;
        domain = nullptr;
    }
    m_domainCount = 0;
}

int DurabilityService::getDomainIndex(unsigned domainId) const {
    if (domainId > MAX_DOMAIN_ID)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    // Every slot is looked at before a free one is taken: after "add 3, add 1, close 3" the
    // first free slot lies before the one serving domain 1.
    for (unsigned i = 0; i < MAX_DOMAINS; ++i)
        if (m_domains[i] && m_domains[i]->getDomainId() == domainId)
            return int(i);
    for (unsigned i = 0; i < MAX_DOMAINS; ++i)
        if (!m_domains[i])
            return int(i);
    return -1;
}

void DurabilityService::freeSlot(int index) {
    DSDomainParticipant* domain = m_domains[index];
    m_domains[index] = nullptr;
    delete domain;
}

bool DurabilityService::addDomain(unsigned domainId) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const int index = getDomainIndex(domainId);
    if (index < 0)
        return false;
    if (m_domains[index])
        return true;
    RTPS::Participant* engine = nullptr;
    try {
        m_domains[index] = new DSDomainParticipant(*this, domainId, m_engine);
        DSDomainParticipant& domain = *m_domains[index];
        {
            std::lock_guard<std::recursive_mutex> domainGuard(domain.lock());
            vexa::dds::ParticipantBuiltinTopicData& data = domain.participantData();
            getGUID12(data.key.value);
            data.user_data.value.assign(DSDomainParticipant::DURABILITY_SERVICE_ID,
                                        DSDomainParticipant::DURABILITY_SERVICE_ID + 2);
            domain.setRTPS(m_engine.createParticipant(&domain.comm(), &data, domainId));
            domain.setSubscriber(std::make_unique<DSSubscriber>(domain));
            domain.setBuilt();
            if (!domain.startHandlingData()) {
                freeSlot(index);
                return false;
            }
            if (m_collectGarbagePeriod != 0)
                startGarbageCollector();
            ++m_domainCount;
            engine = domain.rtps();
        }
        // Outside the domain lock: engine callbacks that need it can run during the start.
        if (engine)
            engine->start();
        return true;
    } catch (const std::exception& e) {
        vexalog::Logger::getLogger().logMessage("DS::DurabilityService::addDomain", 3,
                                                vexares::DS_MSG_PARTICIPANT_REFUSED, e.what());
    } catch (...) {
        vexalog::Logger::getLogger().logMessage("DS::DurabilityService::addDomain", 3,
                                                vexares::DS_MSG_PARTICIPANT_REFUSED, "?");
    }
    // The domain counted only once its data thread ran; the engine's start may fail after.
    if (engine && m_domainCount > 0)
        --m_domainCount;
    if (m_domains[index])
        freeSlot(index);
    return false;
}

bool DurabilityService::closeDomain(unsigned domainId) {
    bool last = false;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        const int index = getDomainIndex(domainId);
        if (index < 0 || !m_domains[index])
            return false;
        m_domains[index]->close();
        freeSlot(index);
        --m_domainCount;
        last = m_domainCount == 0;
    }
    if (last)
        stopGarbageCollector();
    return true;
}

void DurabilityService::listDomains(std::vector<unsigned>& out) const {
    out.clear();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (DSDomainParticipant* domain : m_domains)
        if (domain)
            out.push_back(domain->getDomainId());
}

unsigned DurabilityService::countDomains() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_domainCount;
}

void DurabilityService::getGUID12(unsigned (&prefix)[3]) {
    vexa::OsNewGuidPrefix(prefix);
}

void DurabilityService::collectGarbage() {
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        for (DSDomainParticipant* domain : m_domains)
            if (domain)
                domain->collectGarbage();
    }
    vexalog::Logger::getLogger().logMessage("DurabilityService::collectGarbage", 6,
                                            vexares::DS_MSG_GARBAGE_COLLECTED);
}

bool DurabilityService::startGarbageCollector() {
    if (m_collectGarbagePeriod == 0)
        return true;
    if (m_gcThread != 0)
        return true;
    // Set before the start, so that a stop coming first still finds the thread to join.
    m_gcRunning.store(true);
    char error[ERROR_TEXT_SIZE] = {};
    m_gcThread = OsStartMinPrioThread(&GarbageCollectorThread, this, COLLECTOR_STACK, error,
                                      sizeof(error) - 1);
    if (m_gcThread == 0) {
        m_gcRunning.store(false);
        vexalog::Logger::getLogger().logMessage("DS::DurabilityService::startGarbageCollector", 2,
                                                vexares::DS_MSG_THREAD_NOT_STARTED, error);
        return false;
    }
    return true;
}

void DurabilityService::stopGarbageCollector() {
    {
        std::lock_guard<std::mutex> lock(m_gcMutex);
        m_gcRunning.store(false);
    }
    m_gcWake.notify_all();
    if (m_gcThread == 0)
        return;
    OsWaitThreadTermination(m_gcThread);
    m_gcThread = 0;
}

void DurabilityService::GarbageCollectorThread(void* self) {
    static_cast<DurabilityService*>(self)->collectorLoop();
}

void DurabilityService::collectorLoop() {
    // At least one sleep between passes, so a period of 1 does not run them back to back.
    const int sleeps = std::max(m_collectGarbagePeriod - 1, 1);
    std::unique_lock<std::mutex> lock(m_gcMutex);
    while (m_gcRunning.load()) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(sleeps);
        if (m_gcWake.wait_until(lock, deadline, [this] { return !m_gcRunning.load(); }))
            break;
        lock.unlock();
        collectGarbage();
        lock.lock();
    }
}

}  // namespace vexa::ds
