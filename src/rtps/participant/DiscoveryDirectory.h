#pragma once

#include <cstdint>
#include <vector>

#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/participant/BuiltinEndpoint.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;

// What the participant asks of discovery: the remote participants and endpoints its SPDP and
// SEDP readers know, the matching rule, and the decoders of built-in payloads. Records may be
// removed at any time (the SPDP lease thread removes a silent participant with its endpoints),
// so every query hands out copies.
class DiscoveryDirectory {
public:
    virtual ~DiscoveryDirectory() = default;

    // A datagram of that participant arrived.
    virtual void alive(uint8_t const* guidPrefix) = 0;
    // Forgets the participant with everything matched to it.
    virtual void removeParticipant(uint8_t const* guidPrefix) = 0;

    // Ends discovery's own threads; called before the participant lets go of the directory.
    virtual void stop() {}

    // A copy of a known remote writer's description; false when it is not known.
    virtual bool getWriterDCPSConfig(GUID_t const& writer,
                                     vexa::dds::PublicationBuiltinTopicData& out) = 0;
    // Copies of the known remote readers (writers) that match a local description.
    virtual void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                                   std::vector<ReaderProxyInfo>& out) = 0;
    virtual void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const& subscription,
                                   std::vector<WriterProxyInfo>& out) = 0;

    // A copy of a known remote reader's description; false when it is not known.
    virtual bool getReaderConfig(GUID_t const& reader,
                                 vexa::dds::SubscriptionBuiltinTopicData& out) {
        (void)reader;
        (void)out;
        return false;
    }

    // Every unicast locator of a known remote reader, or of every reader of a participant for
    // _ENTITYID_PARTICIPANT.
    virtual void getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) {
        (void)reader;
        out.clear();
    }

    // Whether a publication and a subscription may exchange data.
    virtual bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                                vexa::dds::SubscriptionBuiltinTopicData const& subscription) = 0;

    // As Participant::decodeBuiltinData.
    virtual bool decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload,
                                   uint32_t length, CacheChange* change) = 0;

    // A complete change that a built-in reader of that topic received: the change discovery
    // keeps, or null (the reader then drops it). Parser thread.
    virtual CacheChange* addBuiltinChange(BuiltinTopic topic, CacheChange* change) {
        (void)topic;
        (void)change;
        return nullptr;
    }
    // Forgets the records of a lost remote endpoint, or of every endpoint of a participant for
    // _ENTITYID_PARTICIPANT.
    virtual void removeRemoteRecords(GUID_t const& remote) { (void)remote; }
};

}  // namespace RTPS
