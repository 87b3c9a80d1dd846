#include "rtps/dsvc/DSVCServerRole.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/DSVCSocket.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/Participant.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

namespace {

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

struct GuidWords {
    unsigned int prefix[3];
    unsigned int entityId;
};

GuidWords words(GUID_t const& g) {
    GuidWords w;
    std::memcpy(w.prefix, g.guidPrefix, sizeof w.prefix);
    w.entityId = entityIdToU32(g.entityId);
    return w;
}

GUID_t guidOf(unsigned int const* prefix, unsigned int entityId) {
    GUID_t g{};
    std::memcpy(g.guidPrefix, prefix, GUID_PREFIX_SIZE);
    g.entityId = u32ToEntityId(entityId);
    return g;
}

}  // namespace

DSVCServerRole::DSVCServerRole(Participant* participant, CommunicationObject* communicationObject,
                               int sendTimeoutMs)
    : m_participant(participant),
      m_communicationObject(communicationObject),
      m_sendTimeoutMs(sendTimeoutMs) {}

bool DSVCServerRole::dataRecipient(std::shared_ptr<DSVCSocket> const& socket, uint64_t tag,
                                   void const* body) {
    if (!socket) {
        return false;
    }
    if (tag == DSVC_TAG_INIT && body != nullptr) {
        init(socket, body);
    } else if (tag == DSVC_TAG_STOP) {
        stopped(socket->fd());
    }
    return false;
}

void DSVCServerRole::init(std::shared_ptr<DSVCSocket> const& socket, void const* body) {
    GUID_t reader{};
    if (!parseDsvcInit(static_cast<uint8_t const*>(body), DSVC_INIT_BODY_SIZE, reader)) {
        return;
    }
    GuidWords const w = words(reader);
    logger().logMessage("ParticipantImpl::dsvcDataRecipient", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_DSVC_INIT, w.prefix[0], w.prefix[1], w.prefix[2],
                        w.entityId);
    auto record = std::make_shared<DSVCClientSocket>();
    record->socket = socket;
    record->reader = reader;
    bool duplicate = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        duplicate = std::any_of(m_records.begin(), m_records.end(),
                                [&](Record const& r) { return r->reader == reader; });
        if (!duplicate) {
            m_records.push_back(record);
        }
    }
    if (duplicate) {
        // The first connection keeps its record and its socket; this one is told to go.
        logger().logMessage("ParticipantImpl::dsvcDataRecipient", vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_DSVC_DUPLICATE_INIT, w.prefix[0], w.prefix[1],
                            w.prefix[2], w.entityId);
        std::vector<uint8_t> const stop = buildDsvcEmpty(DSVC_TAG_STOP);
        socket->sendAll(stop.data(), stop.size(), m_sendTimeoutMs);
        socket->shutdown();
        return;
    }
    vexa::dds::SubscriptionBuiltinTopicData subscription{};
    if (m_participant == nullptr || !m_participant->getReaderConfig(reader, subscription)) {
        return;  // discoveredForDSVC asks once discovery delivers the reader
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Gone meanwhile (STOP), or discovery was quicker: nothing to ask here.
        if (std::find(m_records.begin(), m_records.end(), record) == m_records.end() ||
            record->readerKnown) {
            return;
        }
        record->readerKnown = true;
    }
    askForHistory(reader, subscription, "ParticipantImpl::dsvcDataRecipient");
}

void DSVCServerRole::askForHistory(GUID_t const& reader,
                                   vexa::dds::SubscriptionBuiltinTopicData const& data,
                                   char const* module) {
    GuidWords const w = words(reader);
    logger().logMessage(module, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DSVC_HISTORY_ASKED,
                        w.prefix[0], w.prefix[1], w.prefix[2], w.entityId);
    if (m_communicationObject != nullptr) {
        m_communicationObject->getHistoricalData(w.prefix, w.entityId, &data);
    }
}

void DSVCServerRole::stopped(int fd) {
    Record gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find_if(m_records.begin(), m_records.end(),
                               [fd](Record const& r) { return r->socket->fd() == fd; });
        if (it == m_records.end()) {
            return;
        }
        gone = *it;
        m_records.erase(it);
        gone->queue.clear();
    }
    GuidWords const w = words(gone->reader);
    if (m_communicationObject != nullptr) {
        m_communicationObject->stopHistoricalData(w.prefix, w.entityId);
    }
}

void DSVCServerRole::discoveredForDSVC(GUID_t const& reader,
                                       vexa::dds::SubscriptionBuiltinTopicData const& data) {
    Record found;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Record const& r : m_records) {
            if (!r->readerKnown && almost_eq(r->reader, reader)) {
                r->readerKnown = true;
                found = r;
                break;
            }
        }
    }
    if (found) {
        askForHistory(found->reader, data, "ParticipantImpl::discoveredForDSVC");
    }
}

std::shared_ptr<DSVCClientSocket> DSVCServerRole::dsvcFindClient(unsigned int const* guidPrefix,
                                                                 unsigned int entityId) {
    GUID_t const reader = guidOf(guidPrefix, entityId);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Record const& r : m_records) {
        if (almost_eq(r->reader, reader)) {
            return r;
        }
    }
    return nullptr;
}

size_t DSVCServerRole::recordCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.size();
}

bool DSVCServerRole::historicalData(
    unsigned int const* guidPrefix, unsigned int entityId,
    std::vector<std::shared_ptr<HistoricalSampleInfo>> const& samples) {
    if (guidPrefix == nullptr) {
        return false;
    }
    GUID_t const reader = guidOf(guidPrefix, entityId);
    void const* record = nullptr;
    {
        // Found and changed in one go: a STOP cannot take the record away in between.
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Record const& r : m_records) {
            if (almost_eq(r->reader, reader)) {
                record = r.get();
                if (samples.empty()) {
                    r->noHistory = true;
                } else if (!r->broken) {
                    r->queue.insert(r->queue.end(), samples.begin(), samples.end());
                    r->historyQueued = true;
                }
                break;
            }
        }
    }
    logger().logMessage("ParticipantImpl::historicalData", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_DSVC_HISTORY_GIVEN, guidPrefix[0], guidPrefix[1],
                        guidPrefix[2], entityId, static_cast<unsigned>(samples.size()),
                        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(record)));
    return record != nullptr;
}

bool DSVCServerRole::send(Record const& record, std::vector<uint8_t> const& message) {
    char const* why = nullptr;
    if (record->socket->sendAll(message.data(), message.size(), m_sendTimeoutMs, &why)) {
        return true;
    }
    logger().logMessage("ParticipantImpl::dsvcSenderWorker", vexalog::Logger::SEV_WARNING,
                        vexares::RTPS_MSG_DSVC_SEND_FAILED, static_cast<unsigned>(message.size()),
                        record->socket->fd(), why);
    std::lock_guard<std::mutex> lock(m_mutex);
    record->broken = true;
    record->queue.clear();
    return false;
}

void DSVCServerRole::sendPending(std::atomic<bool> const& running) {
    std::vector<Record> records;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        records = m_records;
    }
    for (Record const& record : records) {
        if (!running.load()) {
            return;
        }
        std::deque<std::shared_ptr<HistoricalSampleInfo>> batch;
        bool pause = false;
        bool stop = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = std::find(m_records.begin(), m_records.end(), record);
            if (it == m_records.end() || record->broken) {
                continue;
            }
            batch.swap(record->queue);
            pause = record->historyQueued;
            stop = record->noHistory;
            if (stop) {
                m_records.erase(it);
            }
        }
        bool ok = true;
        for (auto const& sample : batch) {
            if (!running.load()) {
                return;
            }
            logger().logMessage("ParticipantImpl::dsvcSenderWorker", vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_DSVC_SAMPLE_SENT, sample->sequenceNumber.low,
                                sample->writerGuidPrefix[0], sample->writerGuidPrefix[1],
                                sample->writerGuidPrefix[2], sample->writerEntityId);
            std::vector<uint8_t> const message = buildDsvcSample(*sample);
            if (message.empty()) {
                // Larger than any client accepts, or without data: the others still go.
                logger().logMessage(
                    "ParticipantImpl::dsvcSenderWorker", vexalog::Logger::SEV_WARNING,
                    vexares::RTPS_MSG_DSVC_SEND_FAILED, static_cast<unsigned>(sample->dataLength),
                    record->socket->fd(), "сэмпл слишком велик или без данных");
                continue;
            }
            if (!send(record, message)) {
                ok = false;
                break;
            }
        }
        if (ok && pause) {
            ok = send(record, buildDsvcEmpty(DSVC_TAG_PAUS));
        }
        if (ok && stop) {
            send(record, buildDsvcEmpty(DSVC_TAG_STOP));
        }
    }
}

}  // namespace RTPS
