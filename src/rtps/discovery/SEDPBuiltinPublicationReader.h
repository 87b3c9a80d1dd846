#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "rtps/discovery/DiscoveredWriterData.h"
#include "rtps/history/HistoryCache.h"
#include "rtps/wire/Guid.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;
class DiscoveryHost;
class Reader;

// The remote writers of the domain, as their publication announcements tell: one stored change
// per remote writer (its decoded record). A new or changed record is matched again by every
// local reader (QoS and partitions, not only multicast); the local readers that match it join
// its multicast group once it has one. A departure (the record announced disposed or
// unregistered) is reported, then the writer leaves every local reader and its record goes.
//
// Queries hand out copies, never pointers into a stored record: a record may be removed at any
// time by the SPDP lease thread.
//
// Every store, replacement and removal of a record is told to the host (remoteWritersChanged)
// before the call that made it returns.
//
// Threads: addChange on the parser thread; queries on any; removal on the parser thread or the
// SPDP lease thread. Locks: the store mutex guards finding, replacing and removing records and
// every read of one; it is never held while the host or the DCPS core is called.
class SEDPBuiltinPublicationReader {
public:
    // `host`, `asReader` (may be null) and `history` must outlive the reader. `history` is the
    // SEDP reader's, where the DCPS core reads the stored records; null: one of its own.
    SEDPBuiltinPublicationReader(DiscoveryHost& host, Reader* asReader, std::string logName,
                                 HistoryCache* history = nullptr);

    SEDPBuiltinPublicationReader(SEDPBuiltinPublicationReader const&) = delete;
    SEDPBuiltinPublicationReader& operator=(SEDPBuiltinPublicationReader const&) = delete;

    // A received announcement, complete (decoded or still packed): the stored change, or null
    // when nothing was stored (the caller still owns the change then).
    CacheChange* addChange(CacheChange* change);

    // A copy of the remote writer's description; false when it is not known.
    bool getWriterDCPSConfig(GUID_t const& writer, vexa::dds::PublicationBuiltinTopicData& out);
    // Copies of the proxy part of every stored writer that matches the subscription, in store
    // order.
    void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const& subscription,
                           std::vector<WriterProxyInfo>& out);
    // Removes the record of that writer, or every record of a participant for
    // _ENTITYID_PARTICIPANT.
    void removeRecords(GUID_t const& remote);

    size_t size();

private:
    DiscoveredWriterData const* recordOf(CacheChange const* change) const;

    DiscoveryHost& m_host;
    Reader* const m_asReader;
    std::string const m_logName;

    std::mutex m_storeMutex;
    HistoryCache m_ownHistory;
    HistoryCache& m_history;
};

}  // namespace RTPS
