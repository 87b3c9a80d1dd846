#include "transport/TransportConfig.h"

#include <arpa/inet.h>

#include <cstring>

#include "common/conf/ConfigurationManager.h"
#include "common/conf/ConfigurationSource.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

namespace {

using vexaconf::ConfigurationManager;

// A getter result above CONF_DEFAULT means the value is unusable.
bool usable(unsigned status) {
    return status <= ConfigurationManager::CONF_DEFAULT;
}

}  // namespace

TransportConfig::TransportConfig() {
    if (!readFile()) {
        setDefaults();
    }
    m_socketBufferSize = SOCKET_BUFFER_SIZE;
    m_valid = true;
}

bool TransportConfig::readFile() {
    ConfigurationManager manager(ConfigurationManager::SET_TRELLIS);
    const unsigned read = manager.read();
    vexaconf::logConfigurationSource(manager, "TransportConfig::readFile",
                                     vexares::RTPS_MSG_CONFIG_SOURCE,
                                     vexares::RTPS_MSG_CONFIG_SHADOWS_INSTALLED);
    if (read != ConfigurationManager::CONF_OK) {
        return false;
    }
    // The order of the queries is that of the table; every one must succeed.
    std::memset(m_multicastInterface, 0, sizeof m_multicastInterface);
    return usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_NUMBER_OF_BUFFERS,
                                          &m_numberOfBuffers)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_BUFFER_SIZE,
                                          &m_bufferSize)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_NUMBER_OF_RTPS_BUFFERS,
                                          &m_numberOfRtpsBuffers)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_REPORT_TIMEOUT,
                                          &m_reportTimeout)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_DISPATCHER_TIMEOUT,
                                          &m_dispatcherTimeout)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_SELECT_TIMEOUT,
                                          &m_selectTimeout)) &&
           usable(manager.getStringParameter(ConfigurationManager::TRANSPORT_MULTICAST_INTERFACE,
                                             sizeof m_multicastInterface, m_multicastInterface)) &&
           usable(manager.getIntParameter(ConfigurationManager::TRANSPORT_MAX_TR_DATA_SIZE,
                                          &m_maxTrDataSize));
}

void TransportConfig::setDefaults() {
    m_numberOfBuffers = DEFAULT_NUMBER_OF_BUFFERS;
    m_bufferSize = DEFAULT_BUFFER_SIZE;
    m_numberOfRtpsBuffers = DEFAULT_NUMBER_OF_RTPS_BUFFERS;
    m_reportTimeout = DEFAULT_REPORT_TIMEOUT;
    m_dispatcherTimeout = DEFAULT_DISPATCHER_TIMEOUT;
    m_selectTimeout = DEFAULT_SELECT_TIMEOUT;
    std::memset(m_multicastInterface, 0, sizeof m_multicastInterface);
    std::strcpy(m_multicastInterface, DEFAULT_MULTICAST_INTERFACE);
    m_maxTrDataSize = DEFAULT_MAX_TR_DATA_SIZE;
}

in_addr TransportConfig::getMulticastInterfaceAddress() const {
    in_addr address{};
    if (inet_pton(AF_INET, m_multicastInterface, &address) != 1) {
        address.s_addr = htonl(INADDR_ANY);
    }
    return address;
}

}  // namespace RTPS
