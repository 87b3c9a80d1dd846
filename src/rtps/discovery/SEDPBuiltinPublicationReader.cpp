#include "rtps/discovery/SEDPBuiltinPublicationReader.h"

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
#include "rtps/participant/DDSIException.h"

namespace RTPS {

namespace {

char const* const MODULE = "SEDPBuiltinPublicationReader::addChange";

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

void guidWords(GUID_t const& g, unsigned (&w)[4]) {
    uint32_t raw[4];
    std::memcpy(raw, &g, sizeof raw);
    for (int i = 0; i < 4; ++i) {
        w[i] = raw[i];
    }
}

}  // namespace

SEDPBuiltinPublicationReader::SEDPBuiltinPublicationReader(DiscoveryHost& host, Reader* asReader,
                                                           std::string logName,
                                                           HistoryCache* history)
    : m_host(host),
      m_asReader(asReader),
      m_logName(std::move(logName)),
      m_history(history != nullptr ? *history : m_ownHistory) {
    registerDiscoveryRecordOps();
}

DiscoveredWriterData const* SEDPBuiltinPublicationReader::recordOf(CacheChange const* c) const {
    return static_cast<DiscoveredWriterData const*>(c->sampleInfo.data);
}

CacheChange* SEDPBuiltinPublicationReader::addChange(CacheChange* change) {
    if (change == nullptr || !decodeIfPacked(change) || change->sampleInfo.data == nullptr) {
        return nullptr;
    }
    // The record is copied before the store mutex is released: from then on the stored one
    // may be removed by the lease thread.
    DiscoveredWriterData const record = *recordOf(change);
    GUID_t const& guid = record.writerProxy.remoteWriterGuid;
    if (record.writerProxy.unicastLocatorList.empty()) {
        unsigned w[4];
        guidWords(guid, w);
        logger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_ENDPOINT_WITHOUT_UNICAST, m_logName.c_str(), w[0],
                            w[1], w[2], w[3]);
        return nullptr;
    }

    bool isNew = true;
    bool hadMulticast = false;
    {
        std::lock_guard<std::mutex> lock(m_storeMutex);
        std::vector<CacheChange*> changes;
        m_history.upload(changes);
        for (CacheChange* c : changes) {
            DiscoveredWriterData const* r = recordOf(c);
            if (r != nullptr && r->writerProxy.remoteWriterGuid == guid) {
                isNew = false;
                hadMulticast = !r->writerProxy.multicastLocatorList.empty();
                m_history.remove_change(c);
                break;
            }
        }
        m_history.add_change(change);
        // Held until the DCPS core has been told of it.
        m_history.get_change(change);
        m_history.removeGarbage(0);
    }
    m_host.remoteWritersChanged();
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_CHANGE_STORED, m_logName.c_str(), 0xFFFFFFFFu, 0u,
                        0u, 0u, unsigned(vexa::OsGetTimeCountMks() & 0xFFFFFFFFu));

    // A departure (the writer was deleted) is announced disposed and unregistered.
    bool const departed =
        (change->sampleInfo.statusFlags & (SAMPLE_DISPOSED | SAMPLE_UNREGISTERED)) != 0;
    if (!departed) {
        // Every local reader decides again, so a changed QoS or partition list drops or makes a
        // match as a new record would.
        m_host.checkMatchedWriter(record);

        std::vector<EndpointHandle<LocalReader>> readers;
        m_host.getMatchedReaders(&record.publicationData, readers);
        if (isNew) {
            logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_REMOTE_WRITER_MATCHED, m_logName.c_str(),
                                unsigned(readers.size()));
        }
        std::vector<Locator_t> const& groups = record.writerProxy.multicastLocatorList;
        if (!groups.empty() && !readers.empty() && (isNew || !hadMulticast)) {
            Locator_t const group = groups.front();
            for (EndpointHandle<LocalReader>& r : readers) {
                r->addMulticastLocator(group);
                m_host.reannounceReader(r.get());
            }
            try {
                m_host.addReceiver(group);
            } catch (DDSIException const& e) {
                // The group came from the wire: the readers go on with unicast.
                logger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                                    vexares::RTPS_MSG_PARTICIPANT_RECEIVER_REFUSED,
                                    m_logName.c_str(), unsigned{group.address[12]},
                                    unsigned{group.address[13]}, unsigned{group.address[14]},
                                    unsigned{group.address[15]}, unsigned{group.port}, e.what());
            }
        }
        // The local readers are let go here: the core takes its participant mutex to hear of
        // the record, and a thread that deletes one of them holds that mutex while it waits
        // for the reader to be unused.
    }

    if (CommunicationObject* co = m_host.communicationObject()) {
        co->changeAvailable(m_asReader, nullptr, &change->sampleInfo);
    }
    if (departed) {
        // The core has read the departure; now no local reader keeps the writer, and no
        // reader made later matches its record. The loan keeps the change until it is
        // returned, the next collection frees it.
        m_host.removeMatchedEndpoints(guid);
    }
    m_history.free_change(change);
    return change;
}

bool SEDPBuiltinPublicationReader::getWriterDCPSConfig(
    GUID_t const& writer, vexa::dds::PublicationBuiltinTopicData& out) {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredWriterData const* r = recordOf(c);
        if (r != nullptr && r->writerProxy.remoteWriterGuid == writer) {
            out = r->publicationData;
            return true;
        }
    }
    return false;
}

void SEDPBuiltinPublicationReader::getMatchedWriters(
    vexa::dds::SubscriptionBuiltinTopicData const& subscription,
    std::vector<WriterProxyInfo>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(m_storeMutex);
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        DiscoveredWriterData const* r = recordOf(c);
        if (r != nullptr && endpointsMatch(&r->publicationData, &subscription)) {
            out.push_back(r->writerProxy);
        }
    }
}

void SEDPBuiltinPublicationReader::removeRecords(GUID_t const& remote) {
    bool removed = false;
    {
        std::lock_guard<std::mutex> lock(m_storeMutex);
        std::vector<CacheChange*> changes;
        m_history.upload(changes);
        for (CacheChange* c : changes) {
            DiscoveredWriterData const* r = recordOf(c);
            if (r != nullptr && removalCovers(remote, r->writerProxy.remoteWriterGuid)) {
                m_history.remove_change(c);
                removed = true;
            }
        }
        m_history.removeGarbage(0);
    }
    if (removed) {
        m_host.remoteWritersChanged();
    }
}

size_t SEDPBuiltinPublicationReader::size() {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    return m_history.size();
}

}  // namespace RTPS
