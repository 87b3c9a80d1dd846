#include "rtps/dsvc/DSVCDataTransportConfig.h"

#include <arpa/inet.h>

#include <utility>

#include "common/conf/ConfigurationManager.h"
#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

namespace {

using vexaconf::ConfigurationManager;

constexpr char MODULE[] = "DSVCDataTransportConfig::DSVCDataTransportConfig";

}  // namespace

DSVCDataTransportConfig::DSVCDataTransportConfig() {
    ConfigurationManager manager(ConfigurationManager::SET_TRELLIS);
    if (manager.read() != ConfigurationManager::CONF_OK) {
        return;
    }
    int port = DEFAULT_PORT;
    if (manager.getIntParameter(ConfigurationManager::DSVC_SERVER_PORT, &port) <=
            ConfigurationManager::CONF_DEFAULT &&
        port > 0 && port <= 0xFFFF) {
        m_port = static_cast<uint16_t>(port);
    }
    char text[SERVER_TEXT_SIZE] = {};
    if (manager.getStringParameter(ConfigurationManager::DSVC_SERVER_IP, sizeof text, text) >
        ConfigurationManager::CONF_DEFAULT) {
        // A text too long for the buffer: no servers, and the base port falls back as well.
        m_port = DEFAULT_PORT;
        return;
    }
    vexalog::Logger::getLogger().logMessage(MODULE, vexalog::Logger::SEV_CONFIG,
                                            vexares::RTPS_MSG_DSVC_SERVERS, text);
    m_servers = splitServerList(text);
}

DSVCDataTransportConfig::DSVCDataTransportConfig(uint16_t port, std::vector<std::string> servers)
    : m_port(port), m_servers(std::move(servers)) {}

std::vector<std::string> DSVCDataTransportConfig::splitServerList(std::string const& text) {
    std::vector<std::string> out;
    if (text.empty()) {
        return out;
    }
    size_t start = 0;
    for (;;) {
        size_t const comma = text.find(',', start);
        std::string const piece =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        in_addr address{};
        if (piece.empty()) {
            vexalog::Logger::getLogger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                                                    vexares::RTPS_MSG_DSVC_SERVER_REFUSED, "",
                                                    "пустой элемент списка");
        } else if (inet_aton(piece.c_str(), &address) == 0) {
            vexalog::Logger::getLogger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                                                    vexares::RTPS_MSG_DSVC_SERVER_REFUSED,
                                                    piece.c_str(), "не IP-адрес");
        } else {
            out.push_back(piece);
        }
        if (comma == std::string::npos) {
            return out;
        }
        start = comma + 1;
    }
}

}  // namespace RTPS
