#include "rtps/participant/Config.h"

#include <arpa/inet.h>

#include <cstring>

#include "common/conf/ConfigurationSource.h"
#include "common/res/RtpsMessages.h"
#include "rtps/participant/HostWideParticipantIndex.h"
#include "rtps/participant/PortMapping.h"

namespace RTPS {

namespace {

using Manager = vexaconf::ConfigurationManager;

// Results from 2 on mean the value could not be had; 0 (from the file) and 1 (the row
// default) are both usable.
bool usable(unsigned status) {
    return status < 2;
}

bool isIpv4Address(const char* text) {
    in_addr address;
    return inet_pton(AF_INET, text, &address) == 1;
}

}  // namespace

Config::Config(uint32_t domainId) : vexaconf::ConfigurationManager(SET_RTPS), m_domainId(domainId) {
    m_hostWideIndex = takeHostWideParticipantIndex();
    m_userMulticastPort = RTPS::userMulticastPort(domainId);
    const unsigned status = read();
    vexaconf::logConfigurationSource(*this, "Config::Config", vexares::RTPS_MSG_CONFIG_SOURCE,
                                     vexares::RTPS_MSG_CONFIG_SHADOWS_INSTALLED);
    if (status != CONF_OK || !readParameters()) {
        applyFallback();
    }
}

uint16_t Config::metatrafficUnicastPort() const {
    return RTPS::metatrafficUnicastPort(m_domainId, m_hostWideIndex);
}

uint16_t Config::userUnicastPort() const {
    return RTPS::userUnicastPort(m_domainId, m_hostWideIndex);
}

bool Config::readParameters() {
    // Every parameter is read even after one failed.
    bool ok = usable(getStringParameter(BUSINESS_DEFAULT_UNICAST_IP, IP_TEXT_SIZE, m_unicastIp));
    ok = usable(getStringParameter(BUSINESS_DEFAULT_MULTICAST_IP, IP_TEXT_SIZE, m_multicastIp)) &&
         ok;
    int mode = MULTICASTING_PER_TOPIC;
    ok = usable(getIntParameter(BUSINESS_USER_MULTICASTING_MODE, &mode)) && ok;
    ok = usable(getIntParameter(BUSINESS_SPDP_ANNOUNCE_PERIOD, &m_spdpAnnouncePeriod)) && ok;
    ok =
        usable(getIntParameter(BUSINESS_PARTICIPANT_LEASE_DURATION, &m_participantLeaseDuration)) &&
        ok;
    ok = usable(getIntParameter(BUSINESS_HEARTBEAT_PERIOD, &m_heartbeatPeriod)) && ok;
    ok =
        usable(getIntParameter(BUSINESS_HEARTBEAT_RESPONSE_DELAY, &m_heartbeatResponseDelay)) && ok;
    ok = usable(getIntParameter(BUSINESS_NACK_RESPONSE_DELAY, &m_nackResponseDelay)) && ok;
    ok = usable(getIntParameter(BUSINESS_NACK_SUPPRESSION_DURATION, &m_nackSuppressionDuration)) &&
         ok;
    ok = usable(getBoolParameter(BUSINESS_PUSH_MODE, &m_pushMode)) && ok;
    ok = usable(getIntParameter(BUSINESS_RESEND_PERIOD, &m_resendPeriod)) && ok;
    ok = usable(getIntParameter(BUSINESS_CHECK_INCOMING_PERIOD, &m_checkIncomingPeriod)) && ok;

    switch (mode) {
        case MULTICASTING_OFF:
            m_userMulticastingMode = MULTICASTING_OFF;
            break;
        case MULTICASTING_PER_WRITER:
            m_userMulticastingMode = MULTICASTING_PER_WRITER;
            break;
        default:
            m_userMulticastingMode = MULTICASTING_PER_TOPIC;
            break;
    }
    return ok && isIpv4Address(m_unicastIp) && isIpv4Address(m_multicastIp);
}

void Config::applyFallback() {
    std::memcpy(m_unicastIp, FALLBACK_UNICAST_IP, sizeof FALLBACK_UNICAST_IP);
    std::memcpy(m_multicastIp, FALLBACK_MULTICAST_IP, sizeof FALLBACK_MULTICAST_IP);
    m_heartbeatPeriod = 10000;
    m_heartbeatResponseDelay = 500;
    m_nackResponseDelay = 200;
    m_nackSuppressionDuration = 0;
    m_pushMode = true;
    m_resendPeriod = 30000;
    m_checkIncomingPeriod = 10000;
    m_spdpAnnouncePeriod = 30000;
    m_participantLeaseDuration = 45000;
    m_userMulticastingMode = MULTICASTING_PER_TOPIC;
}

}  // namespace RTPS
