#include "rtps/discovery/DiscoveryRecordOps.h"

#include <cstring>
#include <memory>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/BuiltinRecordOps.h"
#include "rtps/discovery/RecordDecoders.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/history/CacheChange.h"

namespace RTPS {

namespace {

template <class Record, bool (*Pack)(Record const&, std::vector<uint8_t>&)>
bool packRecord(void const* record, std::vector<uint8_t>& out) {
    return record != nullptr && Pack(*static_cast<Record const*>(record), out);
}

template <class Record>
void destroyRecord(void* record) {
    delete static_cast<Record*>(record);
}

constexpr BuiltinRecordOps PUBLICATION_OPS{&packRecord<DiscoveredWriterData, &packPub>,
                                           &destroyRecord<DiscoveredWriterData>};
constexpr BuiltinRecordOps SUBSCRIPTION_OPS{&packRecord<DiscoveredReaderData, &packSub>,
                                            &destroyRecord<DiscoveredReaderData>};
constexpr BuiltinRecordOps PARTICIPANT_OPS{&packRecord<SPDPdiscoveredParticipantData, &packPart>,
                                           &destroyRecord<SPDPdiscoveredParticipantData>};
constexpr BuiltinRecordOps TOPIC_OPS{&packRecord<DiscoveredTopicData, &packTopic>,
                                     &destroyRecord<DiscoveredTopicData>};
constexpr BuiltinRecordOps MESSAGE_OPS{&packRecord<ParticipantMessageData, &packMsg>,
                                       &destroyRecord<ParticipantMessageData>};

char const* recordName(OwnerTopicType kind) {
    switch (kind) {
        case OWNER_PUBLICATION:
            return "DCPSPublication";
        case OWNER_SUBSCRIPTION:
            return "DCPSSubscription";
        case OWNER_PARTICIPANT:
            return "DCPSParticipant";
        case OWNER_TOPIC:
            return "DCPSTopic";
        case OWNER_PARTICIPANT_MESSAGE:
            return "DCPSParticipantMessage";
        default:
            return "?";
    }
}

template <class Record>
bool attach(std::unique_ptr<Record> record, CacheChange* change) {
    if (!record) {
        return false;
    }
    change->setData(record.release(), sizeof(Record));
    change->ownsRecord = true;
    return true;
}

// The decoded record of a payload, attached to the change.
bool decodeInto(OwnerTopicType kind, uint8_t const* payload, uint32_t length, CacheChange* change) {
    switch (kind) {
        case OWNER_PUBLICATION:
            return attach(extractPub(payload, length), change);
        case OWNER_SUBSCRIPTION:
            return attach(extractSub(payload, length), change);
        case OWNER_PARTICIPANT:
            return attach(extractPart(payload, length), change);
        case OWNER_TOPIC:
            return attach(extractTopic(payload, length), change);
        case OWNER_PARTICIPANT_MESSAGE:
            return attach(extractMsg(payload, length), change);
        default:
            return false;
    }
}

void logRefused(OwnerTopicType kind, GUID_t const& writer, uint32_t length, char const* why) {
    uint32_t w[3];
    std::memcpy(w, writer.guidPrefix, sizeof w);
    vexalog::Logger::getLogger().logMessage("decodeBuiltinRecord", vexalog::Logger::SEV_WARNING,
                                            vexares::RTPS_MSG_DISCOVERY_RECORD_REFUSED,
                                            recordName(kind), unsigned{w[0]}, unsigned{w[1]},
                                            unsigned{w[2]}, unsigned{length}, why);
}

}  // namespace

void registerDiscoveryRecordOps() {
    setBuiltinRecordOps(OWNER_PUBLICATION, &PUBLICATION_OPS);
    setBuiltinRecordOps(OWNER_SUBSCRIPTION, &SUBSCRIPTION_OPS);
    setBuiltinRecordOps(OWNER_PARTICIPANT, &PARTICIPANT_OPS);
    setBuiltinRecordOps(OWNER_TOPIC, &TOPIC_OPS);
    setBuiltinRecordOps(OWNER_PARTICIPANT_MESSAGE, &MESSAGE_OPS);
}

bool decodeBuiltinRecord(EntityId_t const& writerId, uint8_t const* payload, uint32_t length,
                         CacheChange* change) {
    if (change == nullptr) {
        return false;
    }
    OwnerTopicType const kind = recordKindOfWriter(writerId);
    if (kind == OWNER_USER) {
        return false;
    }
    // The change's destructor finds the record's destructor here.
    registerDiscoveryRecordOps();
    if (!decodeInto(kind, payload, length, change)) {
        logRefused(kind, change->writerGUID, length, "поля не помещаются в запись");
        return false;
    }
    return true;
}

bool decodeIfPacked(CacheChange* change) {
    if (change == nullptr || change->sampleInfo.data == nullptr) {
        return false;
    }
    // A local writer's change holds the record it was given; so does one decoded already.
    if (change->ownsRecord || change->payloadKind != OWNER_RECEIVED) {
        return true;
    }
    OwnerTopicType const kind = recordKindOfWriter(change->writerGUID.entityId);
    if (kind == OWNER_USER) {
        return false;
    }
    // The packed bytes live in the change's reassembly buffer or in a received message; the
    // decoded record replaces them as the change's data, and the bytes go with the change.
    uint8_t const* packed = static_cast<uint8_t const*>(change->sampleInfo.data);
    uint64_t const length = change->sampleInfo.length;
    if (length > UINT32_MAX) {
        logRefused(kind, change->writerGUID, UINT32_MAX, "запись длиннее 4 ГиБ");
        return false;
    }
    registerDiscoveryRecordOps();
    if (!decodeInto(kind, packed, static_cast<uint32_t>(length), change)) {
        logRefused(kind, change->writerGUID, static_cast<uint32_t>(length),
                   "поля не помещаются в запись");
        return false;
    }
    return true;
}

}  // namespace RTPS
