#pragma once

#include <cstdint>
#include <vector>

#include "rtps/participant/DDSIException.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/wire/EntityId.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dds {
struct ParticipantBuiltinTopicData;
struct PublicationBuiltinTopicData;
struct SubscriptionBuiltinTopicData;
}  // namespace vexa::dds

namespace RTPS {

class CacheChange;
class Reader;
class Writer;
struct AckNAckData;
struct GapData;
struct HeartbeatData;
struct NAckFragData;

// The engine's participant as its user (the DCPS core, the durability service) and the
// transport see it.
class Participant {
public:
    virtual ~Participant() = default;

    // What the user calls. The engine's participant overrides all of them; these defaults,
    // for participants that only stand in for the transport's peer, refuse endpoints and have
    // none.

    // Starts receiving and announces the participant.
    virtual void start() {}
    // Creates a writer (reader) for a description that must stay valid while the endpoint
    // lives; `samples`' absolute value is the history reserve; `userData` comes back in every
    // CommunicationObject call for the reader. Throws DDSIException on failure.
    virtual Writer* addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                              RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind,
                              int samples) {
        (void)data;
        (void)extra;
        (void)kind;
        (void)samples;
        throw GENERAL_DDSI_ERROR("Участник не создаёт писателей");
    }
    virtual Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                              RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind,
                              int samples, void* userData) {
        (void)data;
        (void)extra;
        (void)kind;
        (void)samples;
        (void)userData;
        throw GENERAL_DDSI_ERROR("Участник не создаёт читателей");
    }
    // Takes a new participant description.
    virtual void setQoS(vexa::dds::ParticipantBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra) {
        (void)data;
        (void)extra;
    }
    // True when every listed writer's changes are acknowledged by all matched reliable readers
    // within `timeout`, false when the time ran out. Throws BAD_PARAMETERS for invalid
    // arguments, other DDSIExceptions for failures.
    virtual bool checkDelivery(std::vector<Writer*>& writers, vexa::dds::Duration_t timeout) {
        (void)writers;
        (void)timeout;
        throw GENERAL_DDSI_ERROR("Участник не имеет писателей");
    }
    // The built-in discovery endpoints; null when absent.
    virtual Writer* getDCPSParticipantWriter() { return nullptr; }
    virtual Writer* getDCPSSubscriptionWriter() { return nullptr; }
    virtual Writer* getDCPSPublicationWriter() { return nullptr; }
    virtual Writer* getDCPSTopicWriter() { return nullptr; }
    virtual Reader* getDCPSParticipantReader() { return nullptr; }
    virtual Reader* getDCPSSubscriptionReader() { return nullptr; }
    virtual Reader* getDCPSPublicationReader() { return nullptr; }
    virtual Reader* getDCPSTopicReader() { return nullptr; }

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
};

}  // namespace RTPS
