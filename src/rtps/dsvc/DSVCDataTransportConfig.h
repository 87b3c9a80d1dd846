#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace RTPS {

// The DSVC settings of trellis.cfg: the base TCP port (DSVC.SERVER_PORT; each domain uses the
// base plus its domain id) and the durability servers to ask (DSVC.SERVER_IP, a comma list).
// A missing or unreadable file gives port 7399 and no servers, as does a server text of 1024
// characters or more.
class DSVCDataTransportConfig {
public:
    static constexpr uint16_t DEFAULT_PORT = 7399;
    static constexpr unsigned SERVER_TEXT_SIZE = 1024;

    DSVCDataTransportConfig();
    // Given values, without reading the file.
    DSVCDataTransportConfig(uint16_t port, std::vector<std::string> servers);

    uint16_t getPort() const { return m_port; }
    std::vector<std::string> const& getServers() const { return m_servers; }

    // The pieces of a DSVC.SERVER_IP text between commas, in order: each one that inet_aton
    // accepts is kept as it stands; an empty or unusable piece is skipped with a log line.
    static std::vector<std::string> splitServerList(std::string const& text);

private:
    uint16_t m_port = DEFAULT_PORT;
    std::vector<std::string> m_servers;
};

}  // namespace RTPS
