#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"

namespace RTPS {

class CommunicationObject;
class RTPSOutSocket;

// What the built-in discovery endpoints ask of their participant and of their sibling
// built-in endpoints. The participant implements it by forwarding to its composer, its
// endpoint lists and the DCPS core; tests put a fake in.
//
// The discovery endpoints call these without holding any lock of their own, except where an
// operation says otherwise.
class DiscoveryHost {
public:
    virtual ~DiscoveryHost() = default;

    // The DCPS core (or durability service) to report to; null: nobody listens.
    virtual CommunicationObject* communicationObject() = 0;

    // The send socket for a remote locator. May return null or throw: the caller treats both
    // as "cannot reach it".
    virtual RTPSOutSocket* getSocket(Locator_t& locator) = 0;

    // Wakes the SPDP announcement task, so that a newcomer hears this participant at once.
    virtual void manualResend() = 0;

    // Matches the remote built-in writer with the local built-in reader of that entity id
    // (and the remote reader with the local writer), reached through `socket`. False when the
    // local endpoint does not exist.
    virtual bool matchRemoteWriter(EntityId_t const& localReader, GUID_t const& remoteWriter,
                                   RTPSOutSocket* socket) = 0;
    virtual bool matchRemoteReader(EntityId_t const& localWriter, GUID_t const& remoteReader,
                                   RTPSOutSocket* socket, bool expectsInlineQos) = 0;

    // Drops every local match with the remote endpoint, or with all endpoints of a remote
    // participant when the entity id is _ENTITYID_PARTICIPANT.
    virtual void removeMatchedEndpoints(GUID_t const& remote) = 0;
};

}  // namespace RTPS
