#pragma once

#include <cstdint>
#include <vector>

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/BuiltinTopicData.h"
#include "vexa/dds/QosPolicy.h"

namespace RTPS {
struct SampleInfo;
}

namespace vexa::ds {

class DSReader;
class DSTopic;
struct RemoteDW;

// What a served domain and its discovery bookkeeping ask of the domain's stored-reader set.
// The set implements it; the domain tests use a fake.
// Lock order: every call takes the subscriber lock. Callers may hold the domain lock, never the
// built-in lock (the set takes that one itself, inside its own).
class DomainSubscriber {
public:
    using KeyHash = vexa::dds::KeyHash_t;

    virtual ~DomainSubscriber() = default;

    // Data thread, domain lock held.
    virtual void periodicStatusCheck() = 0;
    // A stored reader for a new durable topic, registered with the engine; null when refused.
    virtual DSReader* createDR(const DSTopic& topic) = 0;
    // Stores the queued samples.
    virtual void ddsicashHandler() = 0;
    // Serves the history acceptors; appends the keys of those that got everything.
    virtual void sendHistory(std::vector<KeyHash>& finished) = 0;
    // Collector thread, domain lock held.
    virtual void collectGarbage() = 0;

    // DSVC threads, domain lock held.
    virtual void addHistoryAcceptor(DSReader* reader, const KeyHash& key) = 0;
    virtual void removeHistoryAcceptor(DSReader* reader, const KeyHash& key) = 0;
    virtual bool hasHistoryWriters(DSReader* reader) = 0;

    // Engine receive thread, no service lock held: queues the sample of a stored reader; true
    // when it was queued (the data thread then has one more entry to take).
    virtual bool ddsisampleHandler(DSReader* reader, RTPS::SampleInfo* sample) = 0;
    // Engine receive thread: a writer of a stored reader asserted its liveliness.
    virtual void assertLiveliness(DSReader* reader, const uint32_t prefix[3],
                                  uint32_t entityId) = 0;

    // Discovery, domain lock held: offers a new remote writer to the stored readers; the reader
    // that took it, or null.
    virtual DSReader* discoverDW(const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                                 const vexa::dds::PublicationBuiltinTopicData& data) = 0;
    virtual void looseDW(DSReader* reader, const uint32_t prefix[3], uint32_t entityId) = 0;
    virtual void changeDWQoS(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                             const vexa::dds::DeadlineQosPolicy& deadline,
                             const vexa::dds::LatencyBudgetQosPolicy& latency,
                             const vexa::dds::LifespanQosPolicy& lifespan,
                             const vexa::dds::OwnershipStrengthQosPolicy& strength) = 0;
    virtual void assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                                  vexa::dds::Time_t time, bool writerLevel) = 0;
};

}  // namespace vexa::ds
