#pragma once

#include <memory>
#include <vector>

#include "rtps/dsvc/DSVCDataTransportConfig.h"
#include "rtps/dsvc/DSVCTimings.h"
#include "rtps/participant/DsvcLink.h"

namespace RTPS {

class CommunicationObject;
class DSVCServer;
class DSVCServerRole;
class Participant;

// The participant's DSVC link: its configuration and, by role, the server with the server
// role's records (a durability-service participant) or the clients of its durable readers
// (an application participant). Ports are the configured base port plus the participant's
// domain id, in 16 bits.
//
// The participant must outlive the link's threads: stop() (also run by the destructor) ends
// the server's threads, which call the participant's dsvcDataRecipient.
class DSVCDataTransport : public DsvcLink {
public:
    DSVCDataTransport(Participant* participant, CommunicationObject* communicationObject,
                      DSVCDataTransportConfig const& config = DSVCDataTransportConfig(),
                      DSVCTimings const& timings = {});
    ~DSVCDataTransport() override;

    bool isConfigured() override;
    bool addDSVCServer() override;
    void addDSVCClient(Reader* reader, GUID_t const& readerGuid,
                       std::vector<std::shared_ptr<DSVCServerChannel>>& clients) override;

    void sendPending(std::atomic<bool> const& running) override;
    bool dataRecipient(int socket, unsigned long tag, void* body) override;
    bool historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                        std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) override;
    void discoveredForDSVC(GUID_t const& reader,
                           vexa::dds::SubscriptionBuiltinTopicData const& data) override;
    void stop() override;

    DSVCDataTransportConfig const& getConfig() const { return m_config; }
    // Null unless addDSVCServer succeeded.
    DSVCServer* getServer() const { return m_server.get(); }
    DSVCServerRole* getServerRole() const { return m_role.get(); }

private:
    const DSVCDataTransportConfig m_config;
    const DSVCTimings m_timings;
    Participant* const m_participant;
    CommunicationObject* const m_communicationObject;
    std::unique_ptr<DSVCServerRole> m_role;
    std::unique_ptr<DSVCServer> m_server;
};

}  // namespace RTPS
