#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "rtps/wire/Guid.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class DSVCServerChannel;
class Reader;
struct HistoricalSampleInfo;

// The participant's end of the TCP link to the durability service. A client-side link serves
// the durable readers; a server-side link listens for them and sends their stored samples
// from the participant's sender thread.
class DsvcLink {
public:
    virtual ~DsvcLink() = default;

    // Client side: at least one server address is configured.
    virtual bool isConfigured() = 0;
    // Server side: opens the listening server; false when it cannot.
    virtual bool addDSVCServer() = 0;

    // Server side, on the sender thread: sends what is queued; ends early once `running` is
    // clear.
    virtual void sendPending(std::atomic<bool> const& running) = 0;
    // Server side: one message of a connection. True when the sender has work.
    virtual bool dataRecipient(int socket, unsigned long tag, void* body) = 0;
    // A remote reader that endpoint discovery has just learnt (a durable one gets its history
    // fetched).
    virtual void discoveredForDSVC(GUID_t const& reader,
                                   vexa::dds::SubscriptionBuiltinTopicData const& data) {
        (void)reader;
        (void)data;
    }
    // Server side: stored samples for a remote durable reader. True when the sender has work.
    virtual bool historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                                std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) = 0;

    // Client side: one channel per configured server for a durable reader, connecting but not
    // started; `clients` is cleared first.
    virtual void addDSVCClient(Reader* reader, GUID_t const& readerGuid,
                               std::vector<std::shared_ptr<DSVCServerChannel>>& clients) {
        (void)reader;
        (void)readerGuid;
        clients.clear();
    }

    // Ends the link's own threads; none of them calls the participant afterwards. The
    // participant calls it first when it shuts down.
    virtual void stop() {}
};

}  // namespace RTPS
