#include "rtps/writer/WriterImpl.h"

#include <cstdio>
#include <cstring>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/OwnerTopicType.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/UserInputBufferPool.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/ChangeHandle.h"

namespace RTPS {

namespace {

Participant* checkedParticipant(Participant* participant) {
    if (participant == nullptr) {
        throw BAD_PARAMETERS("Не задан участник домена");
    }
    return participant;
}

vexa::dds::PublicationBuiltinTopicData const& checkedData(
    vexa::dds::PublicationBuiltinTopicData const* data) {
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные данные топика");
    }
    return *data;
}

bool isUserKind(uint8_t kind) {
    return kind == 0x02 || kind == 0x03;
}

}  // namespace

WriterImpl::WriterImpl(Participant* participant, EndpointConfig const* config,
                       vexa::dds::PublicationBuiltinTopicData const* data,
                       int32_t transportPriority)
    : LocalWriter(checkedParticipant(participant), config),
      m_transportPriority(transportPriority),
      m_pool(participant->getUserInputBufferPool()),
      m_dcpsConfig(checkedData(data)),
      m_liveliness(data->liveliness),
      m_reliability(data->reliability),
      m_durabilityKind(data->durability.kind) {
    m_name = data->topic_name;
    if (isUserWriter()) {
        if (m_pool == nullptr) {
            throw GENERAL_DDSI_ERROR("Нет пула пользовательских буферов участника");
        }
        UserInputBufferPool* pool = m_pool;
        m_history.setUserBufferReleaser([pool](UserInputBuffer* b) { pool->returnBuffer(b); });
    }
}

WriterImpl::~WriterImpl() = default;

bool WriterImpl::isBuiltin() const {
    return (m_guid.entityId.entityKind & 0xC0) == 0xC0;
}

bool WriterImpl::isUserWriter() const {
    return isUserKind(m_guid.entityId.entityKind);
}

void WriterImpl::stop() {
    m_active = false;
}

int64_t WriterImpl::addChange(SampleInfo* sample) {
    CacheChange* change = nullptr;
    return addChange(sample, &change);
}

void WriterImpl::refuseOversized(SampleInfo const* sample) const {
    if (sample == nullptr || !isUserWriter()) {
        return;
    }
    const uint32_t cap = m_participant->getConfig().maxSampleSize();
    if (sample->length > cap) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Сэмпл длиной %llu байт больше наибольшего, что принимают читатели (%u байт)",
                      static_cast<unsigned long long>(sample->length), unsigned{cap});
        throw BAD_PARAMETERS(text);
    }
}

int64_t WriterImpl::addChange(SampleInfo* sample, CacheChange** out) {
    m_written = true;
    if (sample == nullptr) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    refuseOversized(sample);
    std::unique_ptr<CacheChange> change(new CacheChange(m_guid, sample));
    if (isBuiltin()) {
        change->storePackedData(recordKindOfWriter(m_guid.entityId));
    } else if (isUserWriter() && sample->data != nullptr && sample->length != 0) {
        UserInputBuffer* block = m_pool->getFreeBuffer(sample->length);
        if (block == nullptr) {
            throw GENERAL_DDSI_ERROR("Нет памяти для сэмпла");
        }
        std::memcpy(block->data.get(), sample->data, sample->length);
        change->userBuffer = block;
        change->setData(block->data.get(), sample->length);
    }
    CacheChange* c = change.release();
    m_history.add_change(c);
    if (c->sampleInfo.sequenceNumber == SEQUENCENUMBER_UNKNOWN) {
        throw GENERAL_DDSI_ERROR("Ошибка добавления сэмпла в History Cache");
    }
    if (out != nullptr) {
        *out = c;
    }
    return sequenceToHandle(c->sampleInfo.sequenceNumber);
}

bool WriterImpl::holdsChange(SequenceNumber_t const& sn) {
    CacheChange* c = m_history.get_change(sn);
    if (c == nullptr) {
        return false;
    }
    m_history.free_change(c);
    return true;
}

bool WriterImpl::deleteChange(long handle) {
    const SequenceNumber_t sn = handleToSequence(handle);
    if (handle == 0 || sn.high < 0) {
        throw BAD_PARAMETERS("Неверный порядковый номер сэмпла");
    }
    const bool held = holdsChange(sn);
    // The block stays the change's until the history frees it (the releaser returns it).
    m_history.remove_change(sn);
    return held;
}

int WriterImpl::deleteChange(CacheChange* change) {
    if (change == nullptr) {
        throw BAD_PARAMETERS("Неверный указатель на сэмпл");
    }
    m_history.remove_change(change);
    return 1;
}

void WriterImpl::setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra, unsigned mask) {
    (void)mask;
    if (!m_active) {
        return;
    }
    lockDescription();
    m_dcpsConfig = data;
    freeDCPSConfig();
    m_participant->modifyWriter(this, extra, true);
}

vexa::dds::PublicationBuiltinTopicData* WriterImpl::takeDCPSConfig() {
    if (!m_active) {
        return nullptr;
    }
    lockDescription();
    return &m_dcpsConfig;
}

vexa::dds::Time_t WriterImpl::getTimestamp() {
    std::lock_guard<std::mutex> lock(m_timestampMutex);
    return m_timestamp;
}

void WriterImpl::setTimestamp(vexa::dds::Time_t const& timestamp) {
    std::lock_guard<std::mutex> lock(m_timestampMutex);
    m_timestamp = timestamp;
}

void WriterImpl::close() {
    if (isBuiltin()) {
        return;
    }
    stop();
    vexalog::Logger::getLogger().logMessage("WriterImpl::close", vexalog::Logger::SEV_DEBUG_2,
                                            vexares::RTPS_MSG_WRITER_CLOSED, m_logName.c_str());
    if (m_protocolKind == PROTOCOL_STATELESS || m_protocolKind == PROTOCOL_STATEFUL) {
        // Returns once no lookup holds the writer: a thread that took it before may still call
        // it (it finds it stopped) until then.
        m_participant->removeEndpoint(this);
    }
    delete this;
}

}  // namespace RTPS
