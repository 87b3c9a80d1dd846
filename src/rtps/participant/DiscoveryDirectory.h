#pragma once

#include <cstdint>
#include <vector>

#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;

// What the participant asks of discovery: the remote participants and endpoints its SPDP and
// SEDP readers know, the matching rule, and the decoders of built-in payloads. Discovery
// changes its records on the parser thread only, which is also where the participant routes
// received changes, so a record looked up there stays valid for the routing call.
class DiscoveryDirectory {
public:
    virtual ~DiscoveryDirectory() = default;

    // A datagram of that participant arrived.
    virtual void alive(uint8_t const* guidPrefix) = 0;
    // Forgets the participant with everything matched to it.
    virtual void removeParticipant(uint8_t const* guidPrefix) = 0;

    // The description of a known remote writer, or null. Parser thread only.
    virtual vexa::dds::PublicationBuiltinTopicData const* getWriterDCPSConfig(
        GUID_t const& writer) = 0;
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

    // Whether a publication and a subscription may exchange data.
    virtual bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                                vexa::dds::SubscriptionBuiltinTopicData const& subscription) = 0;

    // As Participant::decodeBuiltinData.
    virtual bool decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload,
                                   uint32_t length, CacheChange* change) = 0;
};

}  // namespace RTPS
