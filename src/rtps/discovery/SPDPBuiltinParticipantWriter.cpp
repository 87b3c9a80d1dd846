#include "rtps/discovery/SPDPBuiltinParticipantWriter.h"

#include <algorithm>
#include <cstring>

#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/writer/ChangeForReader.h"
#include "rtps/writer/ChangeHandle.h"

namespace RTPS {

SPDPBuiltinParticipantWriter::SPDPBuiltinParticipantWriter(
    ParticipantImpl* participant, EndpointConfig const* config,
    vexa::dds::PublicationBuiltinTopicData const* description)
    : StatelessWriter(participant, config, description, TRANSPORT_PRIORITY),
      m_scheduler(participant->getScheduler()),
      m_composer(participant->getComposer()),
      m_periodMks(std::max<uint64_t>(
          uint64_t(std::max(participant->getConfig().spdpAnnouncePeriod(), 1)) * 1000,
          RTPSTaskScheduler::MIN_PERIOD_MKS)),
      m_record(participant->getOwnAnnouncement()) {
    // The changes pack the record through these.
    registerDiscoveryRecordOps();
}

SPDPBuiltinParticipantWriter::~SPDPBuiltinParticipantWriter() {
    if (m_active) {
        stop();
    }
}

void SPDPBuiltinParticipantWriter::start() {
    if (!m_active || m_announceTask != 0) {
        return;
    }
    m_announceTask =
        m_scheduler->addTask(TASK_SPDP_BEST_EFFORT, this, nullptr, 0, 0, m_periodMks, false);
}

void SPDPBuiltinParticipantWriter::stop() {
    // The base removes every task row of this writer, waiting for a run in progress.
    StatelessWriter::stop();
    m_announceBusy.waitIdle();
    m_announceTask = 0;
}

int64_t SPDPBuiltinParticipantWriter::addChange(SampleInfo* sample) {
    if (!m_active) {
        return CHANGE_NOT_TAKEN;
    }
    m_written = true;
    if (sample == nullptr || sample->data == nullptr ||
        sample->length != sizeof(vexa::dds::ParticipantBuiltinTopicData)) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    auto const& given = *static_cast<vexa::dds::ParticipantBuiltinTopicData const*>(sample->data);
    int64_t handle;
    {
        std::lock_guard<std::mutex> lock(m_recordMutex);
        SPDPdiscoveredParticipantData refreshed = m_record;
        refreshed.participant.key = given.key;
        refreshed.participant.user_data = given.user_data;
        if (!fitsOneData(packedSize(refreshed))) {
            throw BAD_PARAMETERS("Описание не помещается в одно сообщение DATA");
        }
        m_record = std::move(refreshed);

        SampleInfo s{};
        std::memcpy(s.keyHash, sample->keyHash, sizeof s.keyHash);
        s.instanceHandle = sample->instanceHandle;
        s.statusFlags = sample->statusFlags;
        s.sourceTimestamp = sample->sourceTimestamp;
        s.data = &m_record;
        s.length = sizeof m_record;
        // Packed now: the change sends its packed copy, never the record itself.
        handle = WriterImpl::addChange(&s);
        SequenceNumber_t const latest = handleToSequence(handle);
        for (;;) {
            CacheChange* earliest = m_history.getEarliestChange();
            if (earliest == nullptr || !(earliest->sampleInfo.sequenceNumber < latest)) {
                break;
            }
            m_history.remove_change(earliest);
        }
    }
    m_history.removeGarbage(0);
    manualResend();
    return handle;
}

void SPDPBuiltinParticipantWriter::manualResend() {
    uint32_t const task = m_announceTask.load();
    if (m_active && task != 0) {
        m_scheduler->wakeTask(task);
    }
}

void SPDPBuiltinParticipantWriter::checkMatchedReaders(std::vector<ReaderProxyInfo*>) {}

void SPDPBuiltinParticipantWriter::checkMatchedReader(DiscoveredReaderData const*) {}

void SPDPBuiltinParticipantWriter::removeMatchedReaders(GUID_t) {}

void SPDPBuiltinParticipantWriter::announceTask(void* object, void*, uint64_t, uint64_t) {
    static_cast<SPDPBuiltinParticipantWriter*>(object)->announceWorker();
}

void SPDPBuiltinParticipantWriter::announceWorker() {
    // Given back on every way out, so stop never waits for a run that has ended.
    BusyScope busy(m_announceBusy);
    if (!m_active) {
        return;
    }
    CacheChange* const latest = m_history.get_change(m_history.getEarliestChangeNum());
    if (latest == nullptr) {
        return;  // nothing announced yet
    }
    forEachDestination([&](RTPSOutSocket* socket) {
        ChangeForReader entry(latest, latest->sampleInfo.sequenceNumber, UNDERWAY);
        m_composer->sendKeyData(socket, _ENTITYID_UNKNOWN, &entry, m_transportPriority);
    });
    m_history.free_change(latest);
}

SPDPdiscoveredParticipantData SPDPBuiltinParticipantWriter::announced() {
    std::lock_guard<std::mutex> lock(m_recordMutex);
    return m_record;
}

}  // namespace RTPS
