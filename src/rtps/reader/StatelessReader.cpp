#include "rtps/reader/StatelessReader.h"

#include <algorithm>
#include <cstring>

#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"
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

void StatelessReader::checkMatchedWriters(std::vector<WriterProxyInfo*>) {}

void StatelessReader::checkMatchedWriter(DiscoveredWriterData const*) {}

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
            return sn > l.sn;
        }
    }
    return true;
}

void StatelessReader::setLast(GUID_t& writer, SequenceNumber_t sn) {
    std::lock_guard<std::mutex> lock(m_lastMutex);
    for (Last& l : m_last) {
        if (l.writer == writer) {
            l.sn = std::max(l.sn, sn);
            return;
        }
    }
    m_last.push_back(Last{writer, sn});
}

size_t StatelessReader::knownWriterCount() {
    std::lock_guard<std::mutex> lock(m_lastMutex);
    return m_last.size();
}

}  // namespace RTPS
