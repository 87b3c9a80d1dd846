#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "rtps/discovery/ReaderProxyInfo.h"
#include "rtps/history/EndpointConfig.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dds {
struct ParticipantBuiltinTopicData;
struct PublicationBuiltinTopicData;
struct SubscriptionBuiltinTopicData;
}  // namespace vexa::dds

namespace RTPS {

class CacheChange;
class Config;
class DsvcLink;
class Endpoint;
class LocalReader;
class LocalWriter;
class MessageComposer;
class MessageReceiver;
class RTPSRouter;
class RTPSTaskScheduler;
class Reader;
class UserInputBufferPool;
class Writer;
struct AckNAckData;
struct DiscoveredReaderData;
struct DiscoveredWriterData;
struct GapData;
struct HeartbeatData;
struct HistoricalSampleInfo;
struct NAckFragData;
struct SPDPdiscoveredParticipantData;

// The engine's participant as the DCPS core, the durability service and the transport see it.
// The engine's participant is ParticipantImpl; every other implementation (a transport's or a
// core's test peer) owns no endpoints, and the defaults below answer accordingly: nothing is
// created, found or delivered.
class Participant {
public:
    virtual ~Participant() = default;

    // Lets received datagrams in and sends the first announcement. Called once, after the
    // creator has attached the participant.
    virtual void start() {}

    // A new local writer or reader of this participant (BAD_PARAMETERS for a description that
    // does not fit it). `samples` is the endpoint's sample limit; 0 or less: none.
    virtual Writer* addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                              RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind, int samples) {
        (void)data;
        (void)extra;
        (void)kind;
        (void)samples;
        return nullptr;
    }
    virtual Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                              RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind, int samples,
                              void* userData) {
        (void)data;
        (void)extra;
        (void)kind;
        (void)samples;
        (void)userData;
        return nullptr;
    }
    // Has no effect.
    virtual void setQoS(vexa::dds::ParticipantBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra) {
        (void)data;
        (void)extra;
    }
    // 1 once every listed writer has all its changes acknowledged, 0 at the time-out.
    virtual int checkDelivery(std::vector<Writer*>& writers, vexa::dds::Duration_t timeout) {
        (void)writers;
        (void)timeout;
        return 1;
    }

    // The built-in discovery endpoints; null while one is not there.
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

    // One message of a DSVC connection (server side).
    virtual void dsvcDataRecipient(int socket, unsigned long tag, void* body) {
        (void)socket;
        (void)tag;
        (void)body;
    }

    virtual unsigned int getDomainID() { return 0; }

    // Discovery results given by hand; 1, or 0 for a null record.
    virtual int participantDetected(SPDPdiscoveredParticipantData const* data, bool neverExpires) {
        (void)data;
        (void)neverExpires;
        return 0;
    }
    virtual int participantLost(unsigned char const* guidPrefix) {
        (void)guidPrefix;
        return 0;
    }
    virtual int subscriptionDetected(DiscoveredReaderData const* data) {
        (void)data;
        return 0;
    }
    virtual int publicationDetected(DiscoveredWriterData const* data) {
        (void)data;
        return 0;
    }
    virtual int endpointLost(GUID_t const& guid) {
        (void)guid;
        return 0;
    }

    // The stored samples the durability service hands over for a remote durable reader.
    virtual void historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                                std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) {
        (void)guidPrefix;
        (void)entityId;
        (void)samples;
    }

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
    // The same for a reader.
    virtual void modifyReader(LocalReader* reader, RTPS_AdditionalTopicData const& extra,
                              bool announce) {
        (void)reader;
        (void)extra;
        (void)announce;
    }
    // Whether a publication and a subscription may exchange data (discovery's rule).
    virtual bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                                vexa::dds::SubscriptionBuiltinTopicData const& subscription) {
        (void)publication;
        (void)subscription;
        return false;
    }
    // Takes a closing endpoint out of the participant's lists and returns once no lookup
    // holds it; does not destroy it.
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
    // Copies of the remote readers discovery knows that match a local writer's description
    // (a best-effort writer's destinations); empty without discovery.
    virtual void getMatchedRemoteReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                                         std::vector<ReaderProxyInfo>& out) {
        (void)publication;
        out.clear();
    }
    // Every unicast locator of a known remote reader, or of every reader of a participant for
    // _ENTITYID_PARTICIPANT; empty without discovery.
    virtual void getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) {
        (void)reader;
        out.clear();
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
    // The DSVC link when the participant is a DSVC client (its durable readers load stored
    // history through it); null otherwise.
    virtual DsvcLink* getDsvcClientLink() const { return nullptr; }
};

}  // namespace RTPS
