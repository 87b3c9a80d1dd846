#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/dsvc/DSVCClientSocket.h"
#include "rtps/wire/Guid.h"

namespace vexa::dds {
struct SubscriptionBuiltinTopicData;
}

namespace RTPS {

class CommunicationObject;
class DSVCSocket;
class Participant;
struct HistoricalSampleInfo;

// What a durability-service participant does with its DSVC connections: it keeps one record
// per remote durable reader that sent INIT, asks the durability service for the reader's
// stored history once discovery knows the reader (at INIT or later, exactly once), queues
// what the service hands back and lets the participant's sender thread send it as SMPL
// messages followed by PAUS after every pass, or STOP when the history is empty. A second
// INIT of a reader that already has a record is refused with STOP on the new connection.
//
// Locks: the record mutex guards the list and every record, and is a leaf: the durability
// service (getHistoricalData, stopHistoricalData), discovery (getReaderConfig), sockets and
// the logger are called outside it. The sender moves a batch out under the mutex and sends it
// outside, so a stalled client holds up nobody else; a send that fails shuts that connection
// down, and the connection's STOP then removes the record and tells the service.
class DSVCServerRole {
public:
    DSVCServerRole(Participant* participant, CommunicationObject* communicationObject,
                   int sendTimeoutMs);

    // INIT (body: reader GUID and 4 ignored bytes) or STOP of a connection; other tags are
    // ignored. True when the sender has work.
    bool dataRecipient(std::shared_ptr<DSVCSocket> const& socket, uint64_t tag, void const* body);
    // Stored samples for a reader; an empty vector means it has none. The samples stay the
    // caller's; the record takes its own references. True when the sender has work.
    bool historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                        std::vector<std::shared_ptr<HistoricalSampleInfo>> const& samples);
    // Discovery knows a reader now: asks for its history when its record waits for that.
    void discoveredForDSVC(GUID_t const& reader,
                           vexa::dds::SubscriptionBuiltinTopicData const& data);
    // One sending pass over every record; stops early once `running` is clear.
    void sendPending(std::atomic<bool> const& running);

    // The record of a reader (entity kind not compared), or null.
    std::shared_ptr<DSVCClientSocket> dsvcFindClient(unsigned int const* guidPrefix,
                                                     unsigned int entityId);
    size_t recordCount();

private:
    using Record = std::shared_ptr<DSVCClientSocket>;

    void init(std::shared_ptr<DSVCSocket> const& socket, void const* body);
    void stopped(int fd);
    // Sends one whole message; false (and the record marked broken) when it failed.
    bool send(Record const& record, std::vector<uint8_t> const& message);
    void askForHistory(GUID_t const& reader, vexa::dds::SubscriptionBuiltinTopicData const& data,
                       char const* module);

    Participant* const m_participant;
    CommunicationObject* const m_communicationObject;
    const int m_sendTimeoutMs;

    std::mutex m_mutex;
    std::vector<Record> m_records;  // arrival order
};

}  // namespace RTPS
