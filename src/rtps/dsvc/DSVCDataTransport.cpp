#include "rtps/dsvc/DSVCDataTransport.h"

#include "rtps/dsvc/DSVCClient.h"
#include "rtps/dsvc/DSVCServer.h"
#include "rtps/dsvc/DSVCServerRole.h"
#include "rtps/dsvc/DSVCSocket.h"
#include "rtps/participant/Participant.h"

namespace RTPS {

DSVCDataTransport::DSVCDataTransport(Participant* participant,
                                     CommunicationObject* communicationObject,
                                     DSVCDataTransportConfig const& config,
                                     DSVCTimings const& timings)
    : m_config(config),
      m_timings(timings),
      m_participant(participant),
      m_communicationObject(communicationObject) {}

DSVCDataTransport::~DSVCDataTransport() {
    stop();
}

bool DSVCDataTransport::isConfigured() {
    return !m_config.getServers().empty();
}

bool DSVCDataTransport::addDSVCServer() {
    if (m_server) {
        return true;
    }
    m_role.reset(new DSVCServerRole(m_participant, m_communicationObject, m_timings.sendTimeoutMs));
    std::unique_ptr<DSVCServer> server(
        new DSVCServer(m_participant, m_config.getPort(), m_timings));
    if (!server->init()) {
        m_role.reset();
        return false;
    }
    m_server = std::move(server);
    return true;
}

void DSVCDataTransport::addDSVCClient(Reader* reader, GUID_t const& readerGuid,
                                      std::vector<std::shared_ptr<DSVCServerChannel>>& clients) {
    clients.clear();
    if (m_participant == nullptr) {
        return;
    }
    uint16_t const port = static_cast<uint16_t>(m_config.getPort() + m_participant->getDomainID());
    for (std::string const& address : m_config.getServers()) {
        auto client = std::make_shared<DSVCClient>(reader, readerGuid, port, m_timings);
        if (client->init(address)) {
            clients.push_back(std::move(client));
        }
    }
}

void DSVCDataTransport::sendPending(std::atomic<bool> const& running) {
    if (m_role) {
        m_role->sendPending(running);
    }
}

bool DSVCDataTransport::dataRecipient(int socket, unsigned long tag, void* body) {
    if (!m_role || !m_server) {
        return false;
    }
    return m_role->dataRecipient(m_server->connection(socket), tag, body);
}

bool DSVCDataTransport::historicalData(
    unsigned int const* guidPrefix, unsigned int entityId,
    std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) {
    return m_role && m_role->historicalData(guidPrefix, entityId, samples);
}

void DSVCDataTransport::discoveredForDSVC(GUID_t const& reader,
                                          vexa::dds::SubscriptionBuiltinTopicData const& data) {
    if (m_role) {
        m_role->discoveredForDSVC(reader, data);
    }
}

void DSVCDataTransport::stop() {
    if (m_server) {
        m_server->stop();
    }
}

}  // namespace RTPS
