#include "rtps/history/Endpoint.h"

#include <algorithm>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/participant/DDSIException.h"

namespace RTPS {

namespace {

EndpointConfig const& checked(EndpointConfig const* config) {
    if (config == nullptr) {
        throw BAD_PARAMETERS("Не задана конфигурация конечной точки");
    }
    return *config;
}

}  // namespace

Endpoint::Endpoint(Participant* participant, EndpointConfig const* config)
    : Entity(checked(config).guid),
      m_participant(participant),
      m_topicKind(config->topicKind),
      m_reliabilityLevel(config->reliabilityLevel),
      m_unicastLocator(config->unicastLocator),
      m_historyReserve(config->historyReserve),
      m_history(config->historyReserve) {
    if (config->multicastLocator != _LOCATOR_INVALID) {
        m_multicastLocators.push_back(config->multicastLocator);
        m_hasMulticast = true;
    }
}

Endpoint::~Endpoint() {
    waitUntilUnused();
}

bool Endpoint::addMulticastLocator(Locator_t const& locator) {
    bool added = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_multicastMutex);
        if (std::find(m_multicastLocators.begin(), m_multicastLocators.end(), locator) ==
            m_multicastLocators.end()) {
            m_multicastLocators.push_back(locator);
            m_hasMulticast = true;
            added = true;
        }
    }
    vexalog::Logger::getLogger().logMessage(
        "Endpoint::addMulticastLocator", vexalog::Logger::SEV_DEBUG_2,
        vexares::RTPS_MSG_ENDPOINT_MULTICAST_LOCATOR, m_logName.c_str(),
        unsigned{locator.address[12]}, unsigned{locator.address[13]}, unsigned{locator.address[14]},
        unsigned{locator.address[15]}, added ? 1 : 0);
    return added;
}

void Endpoint::getMulticastLocatorList(std::vector<Locator_t>& out) {
    std::lock_guard<std::recursive_mutex> lock(m_multicastMutex);
    out = m_multicastLocators;
}

void Endpoint::lockDescription() {
    m_descriptionMutex.lock();
    if (m_descriptionOwner.load() == std::this_thread::get_id()) {
        ++m_descriptionDepth;
    } else {
        m_descriptionOwner = std::this_thread::get_id();
        m_descriptionDepth = 1;
    }
}

void Endpoint::freeDCPSConfig() {
    if (m_descriptionOwner.load() != std::this_thread::get_id() || m_descriptionDepth == 0) {
        return;
    }
    if (--m_descriptionDepth == 0) {
        m_descriptionOwner = std::thread::id();
    }
    m_descriptionMutex.unlock();
}

void Endpoint::raiseUseCount() {
    m_uses.enter();
}

void Endpoint::lowerUseCount() {
    m_uses.leaveIfInside();
}

uint32_t Endpoint::getUseCount() {
    return m_uses.inside();
}

void Endpoint::waitUntilUnused() {
    m_uses.waitIdle();
}

}  // namespace RTPS
