#pragma once

#include <cstdint>

#include "rtps/participant/DDSIException.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"

namespace vexa {
namespace dds {
struct SubscriptionBuiltinTopicData;
}
}  // namespace vexa

namespace RTPS {

class CacheChange;
class Config;
class Endpoint;
class LocalWriter;
class MessageComposer;
class MessageReceiver;
class RTPSRouter;
class RTPSTaskScheduler;
class UserInputBufferPool;
struct RTPS_AdditionalTopicData;
struct AckNAckData;
struct GapData;
struct HeartbeatData;
struct NAckFragData;

// The engine's participant as the transport sees it.
class Participant {
public:
    virtual ~Participant() = default;

    // One received datagram. Called on the transport's single report thread, one datagram at a
    // time, oldest first; `data` is valid during the call only. Must not destroy the transport.
    virtual void dataRecipient(void* data, unsigned short length) = 0;

    // What the message receiver asks of the participant while it parses, on the parser
    // thread. The engine's participant overrides them with its endpoint lookups; these defaults
    // reach no endpoint and free what they are given.

    // A remote participant's datagram arrived (its SPDP lease is renewed).
    virtual void participantAlive(uint8_t const* guidPrefix) { (void)guidPrefix; }
    // Whether a local reader has this entity id.
    virtual bool hasReader(EntityId_t const& readerId) {
        (void)readerId;
        return false;
    }
    // A HEARTBEAT to the reader named by its readerId, or, for _ENTITYID_UNKNOWN, to every local
    // reader matched with its writer. The number of readers that got it.
    virtual unsigned int heartbeatToReaders(HeartbeatData* heartbeat) {
        (void)heartbeat;
        return 0;
    }
    // A GAP to the stateful reader named by its readerId; false when there is none.
    virtual bool gapToReader(GapData* gap) {
        (void)gap;
        return false;
    }
    // An ACKNACK or NACK_FRAG to the stateful writer named by the writer GUID's entity id;
    // false when there is none.
    virtual bool acknackToWriter(AckNAckData* acknack) {
        (void)acknack;
        return false;
    }
    virtual bool nackfragToWriter(NAckFragData* nackfrag) {
        (void)nackfrag;
        return false;
    }
    // Decodes the payload of a built-in writer's DATA into its discovery record and attaches it
    // to the change as its data (the change then owns it). False: the change gets no payload.
    virtual bool decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload,
                                   uint32_t length, CacheChange* change) {
        (void)writerId;
        (void)payload;
        (void)length;
        (void)change;
        return false;
    }
    // A received change for one reader: the change that reader keeps (this one or one it
    // assembled), or null. The caller deletes the given change unless it is returned.
    virtual CacheChange* addChange(EntityId_t& readerId, CacheChange* change) {
        (void)readerId;
        (void)change;
        return nullptr;
    }
    // A received change for every local reader matched with its writer: whether one of them
    // kept this change. The caller deletes it when none did.
    virtual bool addChange(CacheChange* change) {
        (void)change;
        return false;
    }

    // What the engine's endpoints ask of the participant that owns them. The engine's
    // participant implements them; the defaults own nothing and do nothing.

    // Re-announces a writer after its description changed and matches it again.
    virtual void modifyWriter(LocalWriter* writer, RTPS_AdditionalTopicData const& extra,
                              bool announce) {
        (void)writer;
        (void)extra;
        (void)announce;
    }
    // Takes a closing endpoint out of the participant's lists; does not destroy it.
    virtual void removeEndpoint(Endpoint* endpoint) { (void)endpoint; }
    // A stateful writer has every change acknowledged: wakes the delivery waiters.
    virtual void reportAllDelivered() {}
    // A copy of a discovered remote reader's description; false while it is not known.
    virtual bool getReaderConfig(GUID_t const& reader,
                                 vexa::dds::SubscriptionBuiltinTopicData& out) {
        (void)reader;
        (void)out;
        return false;
    }

    // The participant's components, for the endpoints it creates; they outlive every
    // endpoint. Null where the participant has none; a participant without a configuration
    // throws GENERAL_DDSI_ERROR, so nothing can make an endpoint of it.
    virtual Config const& getConfig() const {
        throw GENERAL_DDSI_ERROR("У участника домена нет конфигурации");
    }
    virtual RTPSRouter* getRouter() const { return nullptr; }
    virtual RTPSTaskScheduler* getScheduler() const { return nullptr; }
    virtual MessageComposer* getComposer() const { return nullptr; }
    virtual MessageReceiver* getMessageReceiver() const { return nullptr; }
    virtual UserInputBufferPool* getUserInputBufferPool() const { return nullptr; }
};

}  // namespace RTPS
