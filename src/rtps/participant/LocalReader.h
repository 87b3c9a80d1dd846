#pragma once

#include <vector>

#include "rtps/history/Endpoint.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;
class Reader;
struct GapData;
struct HeartbeatData;
struct DiscoveredWriterData;
struct WriterProxyInfo;

// What the participant asks of each of its readers, built-in or user, stateful or stateless.
// The engine's reader base implements it beside the Reader interface that the DCPS core holds.
// The same lifetime rules as LocalWriter hold.
class LocalReader : public Endpoint {
public:
    using Endpoint::Endpoint;

    // The interface given to the DCPS core for this reader.
    virtual Reader* asReader() = 0;

    // Starts what the reader runs of its own; the participant calls it once the reader is
    // fully built and listed, since those threads call the reader's virtual functions.
    virtual void start() {}
    virtual void stop() = 0;

    // A received change: the change the reader keeps (this one or one it assembled), or null.
    // The caller deletes the given change unless it is returned. Runs on the parser thread.
    virtual CacheChange* addChange(CacheChange* change) = 0;
    virtual void heatrbeat(HeartbeatData* heartbeat) = 0;
    // Stateful readers: a GAP of a matched writer; false when ignored.
    virtual bool gap(GapData* gap) {
        (void)gap;
        return false;
    }

    // The remote writers that match this reader now; the pointers are valid during the call.
    virtual void checkMatchedWriters(std::vector<WriterProxyInfo*> writers) = 0;
    // Drops the remote writer, or every writer of a participant for _ENTITYID_PARTICIPANT.
    virtual void removeMatchedWriters(GUID_t remote) = 0;
    // A remote writer that endpoint discovery announced or changed: the reader matches it by
    // its description, or drops it when it no longer matches.
    virtual void checkMatchedWriter(DiscoveredWriterData const* data) { (void)data; }
    // Stateful readers: a remote built-in writer that participant discovery found, matched
    // without a description test; false when it was not added.
    virtual bool matchedWriterAdd(WriterProxyInfo const& writer) {
        (void)writer;
        return false;
    }

    // As LocalWriter::takeDCPSConfig.
    virtual vexa::dds::SubscriptionBuiltinTopicData* takeDCPSConfig() = 0;
    virtual void setTimestamp(vexa::dds::Time_t const& timestamp) = 0;
    virtual vexa::dds::Time_t getTimestamp() = 0;
};

}  // namespace RTPS
