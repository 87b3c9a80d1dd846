#include "rtps/discovery/SEDPAnnouncementWriter.h"

#include <vector>

#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/participant/ParticipantImpl.h"

namespace RTPS {

SEDPAnnouncementWriter::SEDPAnnouncementWriter(
    ParticipantImpl* participant, EndpointConfig const* config,
    vexa::dds::PublicationBuiltinTopicData const* description)
    : StatefulWriter(participant, config, description, TRANSPORT_PRIORITY), m_owner(participant) {
    // The changes pack their records, and destroy them, through these.
    registerDiscoveryRecordOps();
}

bool SEDPAnnouncementWriter::deleteChange(long handle) {
    std::lock_guard<std::mutex> lock(m_announceMutex);
    return StatefulWriter::deleteChange(handle);
}

void SEDPAnnouncementWriter::withdrawFirst(std::function<bool(void const* record)> const& same) {
    // Every removal of this history runs under the announcement mutex, so the changes listed
    // here stay in place while their records are read.
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        if (!c->removalRequested && c->sampleInfo.data != nullptr && same(c->sampleInfo.data)) {
            withdrawChange(c->sampleInfo.sequenceNumber);
            return;
        }
    }
}

}  // namespace RTPS
