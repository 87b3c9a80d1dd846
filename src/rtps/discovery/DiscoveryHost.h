#pragma once

#include <cstdint>
#include <vector>

#include "rtps/participant/EndpointHandle.h"
#include "rtps/participant/LocalReader.h"
#include "rtps/participant/LocalWriter.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CommunicationObject;
class RTPSOutSocket;
struct DiscoveredReaderData;
struct DiscoveredWriterData;
struct ReaderProxyInfo;
struct WriterProxyInfo;

// What discovery asks of its participant: the participant's side of the seam whose other side
// is DiscoveryDirectory. ParticipantImpl implements it over its endpoint lists, its composer
// and its receiver; tests put a fake in.
//
// Discovery calls these without holding any lock of its own; the participant may call back
// into discovery (DiscoveryDirectory) from inside any of them.
class DiscoveryHost {
public:
    virtual ~DiscoveryHost() = default;

    // The DCPS core (or durability service) to report to; null: nobody listens.
    virtual CommunicationObject* communicationObject() = 0;

    // The send socket for a remote locator. May return null or throw: the caller treats both
    // as "cannot reach it".
    virtual RTPSOutSocket* getSocket(Locator_t& locator) = 0;
    // Ends the use of a socket that getSocket gave.
    virtual void releaseSocket(RTPSOutSocket* socket) { (void)socket; }

    // Wakes the SPDP announcement task, so that a newcomer hears this participant at once.
    virtual void manualResend() = 0;

    // Participant discovery: matches a remote built-in writer with the local built-in reader of
    // that entity id (a remote reader with the local writer), without a description test.
    // False when the local endpoint does not exist or did not take it.
    virtual bool matchRemoteWriter(EntityId_t const& localReader,
                                   WriterProxyInfo const& remote) = 0;
    virtual bool matchRemoteReader(EntityId_t const& localWriter,
                                   ReaderProxyInfo const& remote) = 0;

    // Drops every local match with the remote endpoint, or with all endpoints of a remote
    // participant when the entity id is _ENTITYID_PARTICIPANT.
    virtual void removeMatchedEndpoints(GUID_t const& remote) = 0;

    // Endpoint discovery: the local readers (writers) whose description matches a remote
    // writer's (reader's), each held by its handle.
    virtual void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const* remoteWriter,
                                   std::vector<EndpointHandle<LocalReader>>& out) = 0;
    virtual void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const* remoteReader,
                                   std::vector<EndpointHandle<LocalWriter>>& out) = 0;
    // A new or changed remote endpoint: every local reader (writer) decides again whether it
    // matches (LocalReader::checkMatchedWriter, LocalWriter::checkMatchedReader).
    virtual void checkMatchedWriter(DiscoveredWriterData const& remote) = 0;
    virtual void checkMatchedReader(DiscoveredReaderData const& remote) = 0;
    // A remote writer's record was stored, replaced or removed: whatever the host derived from
    // the records is out of date. Called after the change, before the call that made it returns.
    virtual void remoteWritersChanged() {}
    // Starts receiving on a multicast group a remote writer sends to. Throws DDSIException when
    // the transport refuses it.
    virtual void addReceiver(Locator_t const& group) = 0;
    // Re-announces a local reader whose multicast locators changed.
    virtual void reannounceReader(LocalReader* reader) = 0;
    // A new remote reader for the DSVC side (a durable one gets its history fetched).
    virtual void discoveredForDSVC(GUID_t const& reader,
                                   vexa::dds::SubscriptionBuiltinTopicData const& data) = 0;
};

}  // namespace RTPS
