#pragma once

#include <cstdint>

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/EntityQos.h"

namespace vexa::ds {

struct RemoteDW;
class DSReader;

// What a stored reader takes from the domain that owns it: the domain clock, the service's
// per-reader sample limit, the subscriber's QoS and the discovery bookkeeping of writers.
// The subscriber implements it; the store tests use a fake.
class DSReaderHost {
public:
    // A writer the built-in bookkeeping has never seen is Unknown (discovery can lag behind
    // the first samples); one it saw disposed or whose participant is gone is Lost.
    enum class Lookup { Unknown, Lost, Found };
    struct Publication {
        const RemoteDW* rdw = nullptr;
        uint32_t remotePubId = 0;
        const vexa::dds::PublicationBuiltinTopicData* data = nullptr;
    };

    virtual ~DSReaderHost() = default;

    virtual vexa::dds::Time_t now() const = 0;
    virtual int32_t maxSamplesPerReader() const = 0;
    virtual const vexa::dds::SubscriberQos& subscriberQos() const = 0;
    // Found also makes `reader` the publication's storing reader.
    virtual Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId, DSReader* reader,
                                      Publication& out) = 0;
};

}  // namespace vexa::ds
