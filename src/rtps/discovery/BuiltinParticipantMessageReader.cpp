#include "rtps/discovery/BuiltinParticipantMessageReader.h"

#include <cstring>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/ParticipantMessageData.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"

namespace RTPS {

BuiltinParticipantMessageReader::BuiltinParticipantMessageReader(
    CommunicationObject* communicationObject, Reader* asReader, std::string logName,
    HistoryCache* history)
    : m_communicationObject(communicationObject),
      m_asReader(asReader),
      m_logName(std::move(logName)),
      m_history(history != nullptr ? *history : m_ownHistory) {
    registerDiscoveryRecordOps();
}

CacheChange* BuiltinParticipantMessageReader::addChange(CacheChange* change) {
    if (change == nullptr || !decodeIfPacked(change) || change->sampleInfo.data == nullptr) {
        return nullptr;
    }
    ParticipantMessageData const& message =
        *static_cast<ParticipantMessageData const*>(change->sampleInfo.data);
    unsigned int prefix[3];
    std::memcpy(prefix, message.guidPrefix, sizeof prefix);
    unsigned int const manual = message.kind[3] == 2 ? 1u : 0u;
    {
        std::lock_guard<std::mutex> lock(m_storeMutex);
        if (CacheChange* earliest = m_history.getEarliestChange()) {
            m_history.remove_change(earliest);
        }
        m_history.add_change(change);
        // Held until the DCPS core has been told of it.
        m_history.get_change(change);
        m_history.removeGarbage(0);
    }
    if (m_communicationObject != nullptr) {
        m_communicationObject->changeAvailable(m_asReader, nullptr, &change->sampleInfo);
        m_communicationObject->assertLiveliness(m_asReader, nullptr, prefix, manual);
    }
    vexalog::Logger::getLogger().logMessage(
        "BuiltinParticipantMessageReader::addChange", vexalog::Logger::SEV_DEBUG_2,
        vexares::RTPS_MSG_READER_CHANGE_STORED, m_logName.c_str(), 0xFFFFFFFFu, 0u, 0u, 0u,
        unsigned(vexa::OsGetTimeCountMks() & 0xFFFFFFFFu));
    m_history.free_change(change);
    return change;
}

size_t BuiltinParticipantMessageReader::size() {
    std::lock_guard<std::mutex> lock(m_storeMutex);
    return m_history.size();
}

}  // namespace RTPS
