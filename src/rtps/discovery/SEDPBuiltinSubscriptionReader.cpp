#include "rtps/discovery/SEDPBuiltinSubscriptionReader.h"

#include <cstring>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryHost.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/EndpointsMatch.h"
#include "rtps/discovery/RemoteEndpointGuid.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"

namespace RTPS {

namespace {

char const* const MODULE = "SEDPBuiltinSubscriptionReader::addChange";

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

}  // namespace

SEDPBuiltinSubscriptionReader::SEDPBuiltinSubscriptionReader(DiscoveryHost& host, Reader* asReader,
                                                             std::string logName,
                                                             HistoryCache* history)
    : m_host(host),
      m_asReader(asReader),
      m_logName(std::move(logName)),
      m_history(history != nullptr ? *history : m_ownHistory) {
    registerDiscoveryRecordOps();
}

DiscoveredReaderData const* SEDPBuiltinSubscriptionReader::recordOf(CacheChange const* c) const {
    return static_cast<DiscoveredReaderData const*>(c->sampleInfo.data);
}

CacheChange* SEDPBuiltinSubscriptionReader::addChange(CacheChange* change) {
    if (change == nullptr || !decodeIfPacked(change) || change->sampleInfo.data == nullptr) {
        return nullptr;
    }
    // Copied before the store mutex is released: the stored record may go with the lease
    // thread from then on.
    DiscoveredReaderData const record = *recordOf(change);
    GUID_t const& guid = record.readerProxy.remoteReaderGuid;
    if (record.readerProxy.unicastLocatorList.empty()) {
        uint32_t w[4];
        std::memcpy(w, &guid, sizeof w);
        logger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_ENDPOINT_WITHOUT_UNICAST, m_logName.c_str(),
                            unsigned{w[0]}, unsigned{w[1]}, unsigned{w[2]}, unsigned{w[3]});
        return nullptr;
    }

    bool isNew = true;
    {
        std::lock_guard<std::mutex> lock(m_storeMutex);
        std::vector<CacheChange*> changes;
        m_history.upload(changes);
        for (CacheChange* c : changes) {
            DiscoveredReaderData const* r = recordOf(c);
            if (r != nullptr && r->readerProxy.remoteReaderGuid == guid) {
                isNew = false;
                m_history.remove_change(c);
                break;
            }
        }
        m_history.add_change(change);
        // Held until the DCPS core has been told of it.
        m_history.get_change(change);
        m_history.removeGarbage(0);
    }
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_CHANGE_STORED, m_logName.c_str(), 0xFFFFFFFFu, 0u,
                        0u, 0u, unsigned(vexa::OsGetTimeCountMks() & 0xFFFFFFFFu));

    // A departure (the reader was deleted) is announced disposed and unregistered.
    bool const departed =
        (change->sampleInfo.statusFlags & (SAMPLE_DISPOSED | SAMPLE_UNREGISTERED)) != 0;
    if (!departed) {
        m_host.checkMatchedReader(record);
        serve(record, isNew);
        if (isNew) {
            m_host.discoveredForDSVC(guid, record.subscriptionData);
        }
    }

    if (CommunicationObject* co = m_host.communicationObject()) {
        co->changeAvailable(m_asReader, nullptr, &change->sampleInfo);
    }
    if (departed) {
        // The core has read the departure; now no local writer may keep the reader (an
        // acknowledgement wait would wait for it until its participant's lease ran out), and
        // no writer made later may match its record. The record leaves with the matches; the
        // loan keeps the change until it is returned, the next collection frees it.
        m_host.removeMatchedEndpoints(guid);
    }
    m_history.free_change(change);
    return change;
}

void SEDPBuiltinSubscriptionReader::serve(DiscoveredReaderData const& record, bool isNew) {
    std::vector<EndpointHandle<LocalWriter>> writers;
    m_host.getMatchedWriters(&record.subscriptionData, writers);
    if (isNew) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_REMOTE_READER_MATCHED, m_logName.c_str(),
                            unsigned(writers.size()));
    }
    GUID_t const& guid = record.readerProxy.remoteReaderGuid;
    std::vector<Locator_t> const& remoteGroups = record.readerProxy.multicastLocatorList;
    for (EndpointHandle<LocalWriter>& w : writers) {
        std::vector<Locator_t> own;
        w->getMulticastLocatorList(own);
        bool shared = false;
        if (!own.empty()) {
            for (Locator_t group : remoteGroups) {
                if (group == own.front()) {
                    // A stateless writer takes the group as a destination; a stateful one
                    // keeps it for the reader's proxy.
                    if (!w->reader_locator_add(group, true)) {
                        w->matchedAddMulticastLocator(guid, group);
                    }
                    shared = true;
                    break;
                }
            }
        }
        if (!shared && isNew) {
            // Only a stateless writer takes it; a stateful one already has the proxy.
            w->reader_locator_add(record.readerProxy.unicastLocatorList.front(), false);
        }
    }
}

bool SEDPBuiltinSubscriptionReader::getReaderConfig(GUID_t const& reader,
                                                    vexa::dds::SubscriptionBuiltinTopicData& out) {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredReaderData const* r = recordOf(c);
        if (r != nullptr && r->readerProxy.remoteReaderGuid == reader) {
            out = r->subscriptionData;
            return true;
        }
    }
    return false;
}

void SEDPBuiltinSubscriptionReader::getReaderLocators(GUID_t const& reader,
                                                      std::vector<Locator_t>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredReaderData const* r = recordOf(c);
        if (r != nullptr && removalCovers(reader, r->readerProxy.remoteReaderGuid)) {
            out.insert(out.end(), r->readerProxy.unicastLocatorList.begin(),
                       r->readerProxy.unicastLocatorList.end());
        }
    }
}

void SEDPBuiltinSubscriptionReader::getMatchedReaders(
    vexa::dds::PublicationBuiltinTopicData const& publication, std::vector<ReaderProxyInfo>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredReaderData const* r = recordOf(c);
        if (r != nullptr && endpointsMatch(&publication, &r->subscriptionData)) {
            out.push_back(r->readerProxy);
        }
    }
}

void SEDPBuiltinSubscriptionReader::removeRecords(GUID_t const& remote) {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredReaderData const* r = recordOf(c);
        if (r != nullptr && removalCovers(remote, r->readerProxy.remoteReaderGuid)) {
            m_history.remove_change(c);
        }
    }
    m_history.removeGarbage(0);
}

size_t SEDPBuiltinSubscriptionReader::size() {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    return m_history.size();
}

}  // namespace RTPS
