#pragma once

#include <cstdint>
#include <vector>

#include "rtps/history/Endpoint.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class Writer;
struct AckNAckData;
struct DiscoveredReaderData;
struct NAckFragData;
struct ReaderProxyInfo;
struct SampleInfo;

// What the participant asks of each of its writers, built-in or user, stateful or stateless.
// The engine's writer base implements it beside the Writer interface that the DCPS core holds.
//
// The participant calls these without holding its writer-list mutex; a lookup keeps the
// writer alive through its use count (EndpointHandle). A writer that ends itself (close) stops,
// leaves the participant's list and waits until unused (ParticipantImpl::removeEndpoint), then
// is destroyed: Endpoint's destructor waits too, but only after the derived parts are gone.
class LocalWriter : public Endpoint {
public:
    using Endpoint::Endpoint;

    // The interface given to the DCPS core for this writer.
    virtual Writer* asWriter() = 0;

    virtual void start() = 0;
    // After stop the writer sends nothing and takes no more matches.
    virtual void stop() = 0;

    // The change handle (its sequence number), 0xFFFFFFFF when nothing was taken.
    virtual int64_t addChange(SampleInfo* sample) = 0;
    // As Writer::deleteChange, which the engine's writers implement with the same function.
    virtual bool deleteChange(long handle) = 0;

    // The remote readers that match this writer now; the pointers are valid during the call.
    virtual void checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) = 0;
    // Drops the remote reader, or every reader of a participant for _ENTITYID_PARTICIPANT.
    virtual void removeMatchedReaders(GUID_t remote) = 0;
    // A remote reader that endpoint discovery announced or changed: the writer matches it by
    // its description, or drops it when it no longer matches.
    virtual void checkMatchedReader(DiscoveredReaderData const* data) { (void)data; }
    // Stateful writers: a remote built-in reader that participant discovery found, matched
    // without a description test; false when it was not added (unreachable, stopped).
    virtual bool matchedReaderAdd(ReaderProxyInfo const& reader) {
        (void)reader;
        return false;
    }
    // Stateful writers: the matched reader also listens on this multicast locator.
    virtual void matchedAddMulticastLocator(GUID_t const& reader, Locator_t& locator) {
        (void)reader;
        (void)locator;
    }

    // The writer's description with its description lock held (release with freeDCPSConfig),
    // or null (no lock) once the writer is stopped.
    virtual vexa::dds::PublicationBuiltinTopicData* takeDCPSConfig() = 0;

    // Every change acknowledged by every matched reader.
    virtual bool allDelivered() = 0;
    virtual void setTimestamp(vexa::dds::Time_t const& timestamp) = 0;
    virtual vexa::dds::Time_t getTimestamp() = 0;
    virtual vexa::dds::LivelinessQosPolicy getLivelinessQosPolicy() = 0;
    // Set once the writer has written or asserted its liveliness.
    virtual bool livelinessShown() = 0;
    // Cleared after each manual liveliness period, so that only writers that wrote or
    // asserted during the period are kept alive.
    virtual void clearLivelinessShown() {}

    // The SPDP writer: sends its announcement at once.
    virtual void manualResend() {}
    // Stateless writers: one more destination; false when it cannot be added.
    virtual bool reader_locator_add(Locator_t const& locator, bool multicast) {
        (void)locator;
        (void)multicast;
        return false;
    }
    // Stateful writers: an ACKNACK or NACK_FRAG from a matched reader; false when ignored.
    virtual bool acknack(AckNAckData* acknack) {
        (void)acknack;
        return false;
    }
    virtual bool nackfrag(NAckFragData* nackfrag) {
        (void)nackfrag;
        return false;
    }
};

}  // namespace RTPS
