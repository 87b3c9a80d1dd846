#include "rtps/reader/StatelessReader.h"

#include <algorithm>
#include <cstring>

#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/Participant.h"
#include "rtps/wire/HeartbeatData.h"

namespace RTPS {

namespace {

constexpr size_t TABLE_RESERVE = 16;

}  // namespace

StatelessReader::StatelessReader(Participant* participant, EndpointConfig const* config,
                                 vexa::dds::SubscriptionBuiltinTopicData const* description,
                                 void* userData, CommunicationObject* communicationObject,
                                 COMMUNICATION_MODE mode, ReassemblyLimits const* limits)
    : ReaderImpl(participant, config, description, userData, communicationObject, mode, limits) {
    m_last.reserve(TABLE_RESERVE);
}

StatelessReader::~StatelessReader() {
    if (m_running.load()) {
        stop();
    }
}

bool StatelessReader::isSpdpReader() const {
    return m_guid.entityId == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER;
}

bool StatelessReader::takesMatchedOnly() const {
    return isUserReader();
}

void StatelessReader::stop() {
    m_running = false;
    stopHistoryLoading();
    m_receiveBusy.waitIdle();
}

bool StatelessReader::waitForHistoricalData(vexa::dds::Duration_t) {
    return true;
}

CacheChange* StatelessReader::addChange(CacheChange* change) {
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || change == nullptr) {
        return nullptr;
    }
    GUID_t writer = change->writerGUID;
    SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
    bool const spdp = isSpdpReader();
    if (!spdp && !checkLast(writer, sn)) {
        return nullptr;
    }
    CacheChange* kept = ReaderImpl::addChange(change);
    if (kept != nullptr && !spdp) {
        setLast(writer, sn);
    }
    return kept;
}

void StatelessReader::heatrbeat(HeartbeatData* heartbeat) {
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || heartbeat == nullptr || !heartbeat->livelinessFlag ||
        !heartbeat->finalFlag || m_communicationObject == nullptr) {
        return;
    }
    EntityId_t id = heartbeat->writerGUID.entityId;
    id.entityKind = 0;
    unsigned int prefix[3];
    std::memcpy(prefix, heartbeat->writerGUID.guidPrefix, sizeof prefix);
    m_communicationObject->assertLiveliness(this, m_userData, prefix, entityIdToU32(id));
}

void StatelessReader::checkMatchedWriters(std::vector<WriterProxyInfo*> writers) {
    if (!takesMatchedOnly()) {
        return;
    }
    std::vector<GUID_t> gone;
    {
        std::lock_guard<std::mutex> lock(m_lastMutex);
        std::vector<Last> next;
        next.reserve(writers.size());
        for (WriterProxyInfo const* w : writers) {
            if (w == nullptr || w->remoteWriterGuid == GUID_UNKNOWN) {
                continue;
            }
            GUID_t const& g = w->remoteWriterGuid;
            auto known = std::find_if(m_last.begin(), m_last.end(),
                                      [&](Last const& l) { return l.writer == g; });
            bool const listed =
                std::any_of(next.begin(), next.end(), [&](Last const& l) { return l.writer == g; });
            if (!listed) {
                next.push_back(known != m_last.end() ? *known
                                                     : Last{g, SEQUENCENUMBER_NULL, false});
            }
        }
        for (Last const& l : m_last) {
            if (std::none_of(next.begin(), next.end(),
                             [&](Last const& n) { return n.writer == l.writer; })) {
                gone.push_back(l.writer);
            }
        }
        m_last.swap(next);
    }
    unmatch(gone);
}

void StatelessReader::checkMatchedWriter(DiscoveredWriterData const* data) {
    if (data == nullptr || !takesMatchedOnly()) {
        return;
    }
    vexa::dds::SubscriptionBuiltinTopicData* own = takeDCPSConfig();
    if (own == nullptr) {
        return;  // stopped
    }
    vexa::dds::SubscriptionBuiltinTopicData const description = *own;
    freeDCPSConfig();
    GUID_t const& writer = data->writerProxy.remoteWriterGuid;
    bool const matches = m_participant->endpointsMatch(data->publicationData, description);
    bool known;
    {
        std::lock_guard<std::mutex> lock(m_lastMutex);
        auto it = std::find_if(m_last.begin(), m_last.end(),
                               [&](Last const& l) { return l.writer == writer; });
        known = it != m_last.end();
        if (matches && !known) {
            m_last.push_back(Last{writer, SEQUENCENUMBER_NULL, false});
        } else if (!matches && known) {
            m_last.erase(it);
        }
    }
    if (!matches && known) {
        unmatch({writer});
    }
}

void StatelessReader::unmatch(std::vector<GUID_t> const& writers) {
    for (GUID_t const& w : writers) {
        purgePending(w);
    }
}

void StatelessReader::removeMatchedWriters(GUID_t remote) {
    bool const participant = remote.entityId == _ENTITYID_PARTICIPANT;
    {
        std::lock_guard<std::mutex> lock(m_lastMutex);
        m_last.erase(
            std::remove_if(m_last.begin(), m_last.end(),
                           [&](Last const& l) {
                               return prefixEq(l.writer.guidPrefix, remote.guidPrefix) &&
                                      (participant || l.writer.entityId == remote.entityId);
                           }),
            m_last.end());
    }
    purgePending(remote);
}

bool StatelessReader::checkLast(GUID_t& writer, SequenceNumber_t sn) {
    std::lock_guard<std::mutex> lock(m_lastMutex);
    for (Last const& l : m_last) {
        if (l.writer == writer) {
            return !l.taken || sn > l.sn;
        }
    }
    return !takesMatchedOnly();
}

void StatelessReader::setLast(GUID_t& writer, SequenceNumber_t sn) {
    std::lock_guard<std::mutex> lock(m_lastMutex);
    for (Last& l : m_last) {
        if (l.writer == writer) {
            l.sn = l.taken ? std::max(l.sn, sn) : sn;
            l.taken = true;
            return;
        }
    }
    if (!takesMatchedOnly()) {
        m_last.push_back(Last{writer, sn, true});
    }
}

size_t StatelessReader::knownWriterCount() {
    std::lock_guard<std::mutex> lock(m_lastMutex);
    return m_last.size();
}

}  // namespace RTPS
