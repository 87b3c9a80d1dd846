#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "rtps/discovery/DiscoveredReaderData.h"
#include "rtps/history/HistoryCache.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CacheChange;
class DiscoveryHost;
class Reader;

// The remote readers of the domain, as their subscription announcements tell: one stored change
// per remote reader (its decoded record). A new or changed record is matched again by every
// local writer; a matching writer serves the reader by multicast when the reader listens on
// the writer's first multicast locator, else (a stateless writer) by the reader's first unicast
// locator. Each new remote reader is handed to the DSVC side once. A departure (the record
// announced disposed or unregistered) is reported, then the reader leaves every local writer
// and its record goes.
//
// Queries hand out copies, never pointers into a stored record. Threads and locks as in
// SEDPBuiltinPublicationReader.
class SEDPBuiltinSubscriptionReader {
public:
    // `host`, `asReader` (may be null) and `history` must outlive the reader. `history` is the
    // SEDP reader's, where the DCPS core reads the stored records; null: one of its own.
    SEDPBuiltinSubscriptionReader(DiscoveryHost& host, Reader* asReader, std::string logName,
                                  HistoryCache* history = nullptr);

    SEDPBuiltinSubscriptionReader(SEDPBuiltinSubscriptionReader const&) = delete;
    SEDPBuiltinSubscriptionReader& operator=(SEDPBuiltinSubscriptionReader const&) = delete;

    // A received announcement: the stored change, or null when nothing was stored (the caller
    // still owns the change then).
    CacheChange* addChange(CacheChange* change);

    // A copy of the remote reader's description; false when it is not known.
    bool getReaderConfig(GUID_t const& reader, vexa::dds::SubscriptionBuiltinTopicData& out);
    // Every unicast locator of that reader, or of every reader of a participant for
    // _ENTITYID_PARTICIPANT.
    void getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out);
    // Copies of the proxy part of every stored reader that matches the publication, in store
    // order.
    void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                           std::vector<ReaderProxyInfo>& out);
    // Removes the record of that reader, or every record of a participant for
    // _ENTITYID_PARTICIPANT.
    void removeRecords(GUID_t const& remote);

    size_t size();

private:
    DiscoveredReaderData const* recordOf(CacheChange const* change) const;
    // Multicast (or, for a new reader, unicast) destinations of the matching local writers.
    void serve(DiscoveredReaderData const& record, bool isNew);

    DiscoveryHost& m_host;
    Reader* const m_asReader;
    std::string const m_logName;

    std::mutex m_storeMutex;
    HistoryCache m_ownHistory;
    HistoryCache& m_history;
};

}  // namespace RTPS
