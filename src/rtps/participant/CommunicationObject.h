#pragma once

namespace vexa::dds {
struct SubscriptionBuiltinTopicData;
}

namespace RTPS {

class Reader;
struct SampleInfo;

// How the engine reports to its user (the DCPS core or the durability service). The creator
// owns the object; the engine calls it on its own threads.
class CommunicationObject {
public:
    virtual ~CommunicationObject() = default;

    // A reader has a new change in its history. `sample` points into the change and names it in
    // Reader::getChange and Reader::deleteChange; `userData` is what was given to addReader
    // (null for built-in readers). The engine ignores the result.
    virtual bool changeAvailable(Reader* reader, void* userData, SampleInfo* sample) = 0;

    // The receive batch (ReceiveBatch) in which this object deferred work from changeAvailable
    // ended: called once per batch on the thread that announced its changes, with no engine
    // mutex held, right after the last of the datagram's changes was delivered.
    virtual void receiveBatchEnded() {}

    // A remote writer or participant asserted its liveliness. `guidPrefix` addresses three
    // 32-bit words.
    virtual void assertLiveliness(Reader* reader, void* userData, unsigned int* guidPrefix,
                                  unsigned int entityId) = 0;

    // A remote participant was removed; `guidPrefix` addresses its GUID.
    virtual void participantLost(unsigned int* guidPrefix) = 0;

    // A durable remote reader connected to this participant's DSVC server. Only the durability
    // service overrides it.
    virtual void getHistoricalData(unsigned int const* guidPrefix, unsigned int entityId,
                                   vexa::dds::SubscriptionBuiltinTopicData const* subscription) {
        (void)guidPrefix;
        (void)entityId;
        (void)subscription;
    }

    // That reader's DSVC client stopped. Only the durability service overrides it.
    virtual void stopHistoricalData(unsigned int const* guidPrefix, unsigned int entityId) {
        (void)guidPrefix;
        (void)entityId;
    }
};

}  // namespace RTPS
