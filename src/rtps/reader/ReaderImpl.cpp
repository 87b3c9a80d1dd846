#include "rtps/reader/ReaderImpl.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/dsvc/DSVCHistoryLoader.h"
#include "rtps/dsvc/DSVCServerChannel.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/Participant.h"
#include "rtps/participant/ReceiveBatch.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/wire/NAckFragData.h"

namespace RTPS {

namespace {

constexpr uint8_t KIND_READER_NO_KEY = 0x04;
constexpr uint8_t KIND_READER_WITH_KEY = 0x07;
constexpr uint8_t KIND_BUILTIN_READER = 0xC7;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

uint32_t lowClock() {
    return static_cast<uint32_t>(vexa::OsGetTimeCountMks());
}

vexa::dds::SubscriptionBuiltinTopicData const& checkedDescription(
    vexa::dds::SubscriptionBuiltinTopicData const* description) {
    if (description == nullptr) {
        throw BAD_PARAMETERS("Неверные данные топика");
    }
    return *description;
}

Participant* checkedParticipant(Participant* participant) {
    if (participant == nullptr) {
        throw BAD_PARAMETERS("Не задан участник домена");
    }
    return participant;
}

// Bytes the fragment map of a sample of that many fragments takes.
uint64_t fragmentMapBytes(uint64_t fragments) {
    using Map = decltype(CacheChange::fragmentMap);
    return std::is_same<Map, std::vector<bool>>::value ? (fragments + 7) / 8
                                                       : fragments * sizeof(Map::value_type);
}

char const* verdictText(FragmentVerdict v) {
    switch (v) {
        case FragmentVerdict::Accepted:
            return "принят";
        case FragmentVerdict::ZeroFragmentSize:
            return "размер фрагмента 0";
        case FragmentVerdict::BadSampleSize:
            return "размер сэмпла 0 или больше предела читателя";
        case FragmentVerdict::GeometryChanged:
            return "размеры не совпадают с прежними фрагментами";
        case FragmentVerdict::BadFirstFragment:
            return "номер первого фрагмента 0 или за концом сэмпла";
        case FragmentVerdict::ZeroCount:
            return "нет фрагментов";
        case FragmentVerdict::ShortData:
            return "данных меньше, чем фрагментов";
    }
    return "?";
}

// Where the data and the identity of a change of a built-in reader are: the decoded record and
// the GUID it names, or the change's own.
struct BuiltinView {
    void* data;
    uint64_t length;
    GUID_t guid;
};

// The decoded records put in the changes of the built-in readers, as getChange hands them on.
static_assert(offsetof(SPDPdiscoveredParticipantData, participant) +
                      sizeof(vexa::dds::ParticipantBuiltinTopicData) <=
                  sizeof(SPDPdiscoveredParticipantData),
              "the participant record lies inside the SPDP record");

static_assert(offsetof(DiscoveredWriterData, publicationData) == 0,
              "the publication description leads the writer record");
static_assert(offsetof(DiscoveredReaderData, subscriptionData) == 0,
              "the subscription description leads the reader record");

BuiltinView builtinView(EntityId_t const& reader, CacheChange const& c) {
    BuiltinView v{c.sampleInfo.data, c.sampleInfo.length, c.writerGUID};
    if (c.sampleInfo.data == nullptr) {
        return v;
    }
    if (reader == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER) {
        auto const* record = static_cast<DiscoveredWriterData const*>(c.sampleInfo.data);
        // The core reads the public description only; the proxy behind it stays the engine's.
        v.length = sizeof(vexa::dds::PublicationBuiltinTopicData);
        v.guid = record->writerProxy.remoteWriterGuid;
    } else if (reader == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER) {
        auto const* record = static_cast<DiscoveredReaderData const*>(c.sampleInfo.data);
        v.length = sizeof(vexa::dds::SubscriptionBuiltinTopicData);
        v.guid = record->readerProxy.remoteReaderGuid;
    } else if (reader == _ENTITYID_SEDP_BUILTIN_TOPIC_READER) {
        v.length = sizeof(vexa::dds::TopicBuiltinTopicData);
    } else if (reader == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER) {
        v.data = static_cast<uint8_t*>(c.sampleInfo.data) +
                 offsetof(SPDPdiscoveredParticipantData, participant);
        v.length = sizeof(vexa::dds::ParticipantBuiltinTopicData);
    }
    return v;
}

}  // namespace

ReaderImpl::ReaderImpl(Participant* participant, EndpointConfig const* config,
                       vexa::dds::SubscriptionBuiltinTopicData const* description, void* userData,
                       CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
                       ReassemblyLimits const* limits)
    : LocalReader(checkedParticipant(participant), config),
      m_communicationObject(communicationObject),
      m_userData(userData),
      m_mode(mode),
      m_scheduler(participant->getScheduler()),
      m_fragmentTimeoutMs(participant->getConfig().fragmentTimeout()),
      m_dcpsConfig(checkedDescription(description)),
      m_limits(limits != nullptr ? *limits
                                 : ReassemblyLimits::fromSampleLimit(config->historyReserve)) {
    m_name = m_dcpsConfig.topic_name;
    char name[16];
    EntityId_t const& id = m_guid.entityId;
    std::snprintf(name, sizeof name, "P%03d%02x%02x%02x%02x",
                  int{participant->getConfig().hostWideIndex()}, unsigned{id.entityKey[0]},
                  unsigned{id.entityKey[1]}, unsigned{id.entityKey[2]}, unsigned{id.entityKind});
    m_logName = name;

    // Receive sockets are shared by the endpoints on the same locator and live as long as the
    // receiver: the reader only asks for them.
    if (MessageReceiver* receiver = participant->getMessageReceiver()) {
        Locator_t unicast = m_unicastLocator;
        if (unicast != _LOCATOR_INVALID) {
            receiver->addReceiver(unicast);
        }
        std::vector<Locator_t> multicast;
        getMulticastLocatorList(multicast);
        if (!multicast.empty()) {
            receiver->addReceiver(multicast.front());
        }
    }
    if (isUserReader()) {
        logger().logMessage("ReaderImpl::ReaderImpl", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_CREATED, m_logName.c_str(),
                            unsigned{entityIdToU32(id)});
    }
    auto const durability = m_dcpsConfig.durability.kind;
    bool const durable = durability == vexa::dds::TRANSIENT_DURABILITY_QOS ||
                         durability == vexa::dds::PERSISTENT_DURABILITY_QOS;
    DsvcLink* link = participant->getDsvcClientLink();
    if (durable && isUserReader() && link != nullptr) {
        std::vector<std::shared_ptr<DSVCServerChannel>> clients;
        link->addDSVCClient(this, m_guid, clients);
        m_historicalState = HISTORICAL_LOADING;
        DSVCHistorySink& sink = *this;
        m_loader = std::make_unique<DSVCHistoryLoader>(sink, m_logName, std::move(clients));
    }
}

ReaderImpl::~ReaderImpl() {
    // The subclass has stopped it already; this only covers a reader that never ran.
    stopHistoryLoading();
}

void ReaderImpl::start() {
    if (m_loader && m_running.load()) {
        m_loader->start();
    }
}

void ReaderImpl::stopHistoryLoading() {
    if (m_loader) {
        m_loader->stop();
    }
}

void ReaderImpl::historicalLoadingEnded() {
    lowerHistoricalState(HISTORICAL_LOADED);
}

void ReaderImpl::lowerHistoricalState(uint32_t state) {
    uint32_t current = m_historicalState.load();
    while (current > state && !m_historicalState.compare_exchange_weak(current, state)) {
    }
}

bool ReaderImpl::hasRoom() {
    return m_historyReserve == 0 || m_history.size() < m_historyReserve;
}

void ReaderImpl::storeHistorical(CacheChange* change) {
    size_t const n = m_history.add_change(change);
    // The loader's loan: the user may delete the change as soon as it is announced, but it
    // stays in the assembly until the loading ends.
    m_history.get_change(change);
    announceStored(change, n);
}

void ReaderImpl::releaseHistorical(CacheChange* change) {
    m_history.free_change(change);
}

void ReaderImpl::loadingEnded() {
    historicalLoadingEnded();
}

bool ReaderImpl::isUserReader() const {
    uint8_t const kind = m_guid.entityId.entityKind;
    return kind == KIND_READER_NO_KEY || kind == KIND_READER_WITH_KEY;
}

bool ReaderImpl::isBuiltin() const {
    return m_guid.entityId.entityKind == KIND_BUILTIN_READER;
}

bool ReaderImpl::consumesOwnChanges() const {
    EntityId_t const& id = m_guid.entityId;
    return id == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER ||
           id == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER ||
           id == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER ||
           id == _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER;
}

uint64_t ReaderImpl::nowMks() {
    return m_scheduler != nullptr ? m_scheduler->clock().nowMks() : vexa::OsGetTimeCountMks();
}

CacheChange* ReaderImpl::addChange(CacheChange* change) {
    std::unique_ptr<CacheChange> made;
    CacheChange* const complete = assemble(change, made);
    if (complete == nullptr) {
        return nullptr;
    }
    if (!consumesOwnChanges() && !keep(complete)) {
        return nullptr;  // `made` frees an assembled one
    }
    made.release();
    return complete;
}

CacheChange* ReaderImpl::assemble(CacheChange* change, std::unique_ptr<CacheChange>& made) {
    if (!m_running.load() || change == nullptr) {
        return nullptr;
    }
    logReceived(change);
    if (historyFullAfterSettling()) {
        return nullptr;
    }
    if (isWhole(change)) {
        return change;
    }
    made = addPending(change);
    return made.get();
}

bool ReaderImpl::isWhole(CacheChange const* change) const {
    return change->fragmentsInSubmessage == 0 &&
           (m_topicKind == TOPIC_KIND_NO_KEY || change->completeness == 3);
}

void ReaderImpl::logReceived(CacheChange const* change) {
    if (isUserReader()) {
        logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_CHANGE_RECEIVED, m_logName.c_str(),
                            unsigned{change->sampleInfo.sequenceNumber.low});
    }
}

bool ReaderImpl::historyFull() {
    return m_historyReserve != 0 && m_history.size() >= m_historyReserve;
}

bool ReaderImpl::historyFullAfterSettling() {
    if (!historyFull()) {
        return false;
    }
    // The datagram's changes announced before may still be in the history, waiting for the
    // end of their receive batch: settled now, the user may take them out.
    ReceiveBatch::settle();
    return historyFull();
}

bool ReaderImpl::keep(CacheChange* change) {
    // A durable reader's live changes pass its loader even after loading: repeats of what the
    // history handed over are dropped there.
    return addHistoricalChange(change, -1);
}

bool ReaderImpl::storeChange(CacheChange* change) {
    // The DCPS core reads a built-in change as a decoded record: one that came in fragments is
    // decoded here, and one that does not decode is never stored.
    if (isBuiltin() && !decodeIfPacked(change)) {
        return false;
    }
    announceStored(change, m_history.add_change(change));
    return true;
}

void ReaderImpl::announceStored(CacheChange* change, size_t n) {
    unsigned const sequence = change->sampleInfo.sequenceNumber.low;
    if (m_mode != COMMUNICATION_MODE_EVERY_CHANGE && n != 1) {
        return;
    }
    if (m_communicationObject != nullptr) {
        m_communicationObject->changeAvailable(this, m_userData, &change->sampleInfo);
    }
    if (isUserReader()) {
        logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_CHANGE_STORED, m_logName.c_str(), sequence,
                            static_cast<unsigned>(n), 0u, 0u, lowClock());
    }
}

bool ReaderImpl::addHistoricalChange(CacheChange* change, int) {
    if (!m_loader) {
        return storeChange(change);
    }
    DSVCHistoryLoader::LiveVerdict const verdict = m_loader->addLiveChange(change);
    if (m_loader->state() == DSVCHistoryLoader::NORMAL) {
        lowerHistoricalState(HISTORICAL_NONE);
    }
    switch (verdict) {
        case DSVCHistoryLoader::LiveVerdict::Taken:
            return true;
        case DSVCHistoryLoader::LiveVerdict::Dropped:
            return false;
        case DSVCHistoryLoader::LiveVerdict::Store:
            break;
    }
    return storeChange(change);
}

std::vector<ReaderImpl::Pending>::iterator ReaderImpl::erasePending(
    std::vector<Pending>::iterator entry) {
    m_pendingBytes -= std::min(m_pendingBytes, entry->charge);
    return m_pending.erase(entry);
}

std::unique_ptr<CacheChange> ReaderImpl::addPending(CacheChange* change) {
    bool const fragment = change->fragmentsInSubmessage != 0;
    SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
    std::unique_ptr<CacheChange> done;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        uint64_t const now = nowMks();
        auto same = [&](Pending const& p) {
            return p.change->writerGUID == change->writerGUID &&
                   p.change->sampleInfo.sequenceNumber == sn;
        };
        bool expiredMatch = false;
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            uint64_t const expiry = it->change->expiryTime;
            if (m_reliabilityLevel == RELIABILITY_BEST_EFFORT && expiry != 0 && expiry <= now) {
                expiredMatch = expiredMatch || same(*it);
                it = erasePending(it);
            } else {
                ++it;
            }
        }
        if (expiredMatch) {
            logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG,
                                vexares::RTPS_MSG_READER_FRAGMENT_DROPPED, m_logName.c_str(),
                                unsigned{sn.low}, "время сборки истекло");
            return nullptr;
        }
        auto entry = std::find_if(m_pending.begin(), m_pending.end(), same);
        bool const created = entry == m_pending.end();
        if (created) {
            Pending p;
            p.change.reset(new CacheChange(change->writerGUID, &change->sampleInfo));
            CacheChange& c = *p.change;
            c.setSequenceNumber(sn);
            c.payloadKind = OWNER_RECEIVED;
            c.readerId = change->readerId;
            if (fragment) {
                // The data is what the fragments bring.
                c.setData(nullptr, 0);
                c.completeness = 0;
                p.charge = sizeof(CacheChange);
            } else {
                c.completeness = change->completeness;
                // The half's data (if any) lives in its datagram, or is a discovery record
                // decoded from it that the half owns: the reference or the record moves over.
                c.message = change->message;
                change->message = nullptr;
                c.ownsRecord = std::exchange(change->ownsRecord, false);
                p.charge = sizeof(CacheChange) + (c.message != nullptr ? c.sampleInfo.length : 0);
            }
            if (m_reliabilityLevel == RELIABILITY_BEST_EFFORT) {
                c.expiryTime = now + uint64_t{m_fragmentTimeoutMs} * 1000;
            }
            if (m_pendingBytes + p.charge > m_limits.maxPendingBytes) {
                logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG,
                                    vexares::RTPS_MSG_READER_FRAGMENT_DROPPED, m_logName.c_str(),
                                    unsigned{sn.low}, "предел памяти сборки");
                // The reference goes back with the half, which its caller deletes.
                change->message = c.message;
                c.message = nullptr;
                change->ownsRecord = std::exchange(c.ownsRecord, false);
                return nullptr;
            }
            m_pendingBytes += p.charge;
            m_pending.push_back(std::move(p));
            entry = std::prev(m_pending.end());
        }
        CacheChange& m = *entry->change;
        if (fragment) {
            if (!addFragment(entry, change, created)) {
                return nullptr;
            }
        } else if (!created) {
            if (m.completeness == 2 && change->completeness == 1) {
                m.sampleInfo.instanceHandle = change->sampleInfo.instanceHandle;
                m.completeness = 3;
            } else if (m.completeness == 1 && change->completeness == 2) {
                // The data half's datagram holds the data: its reference is the one kept.
                m.setData(change->sampleInfo.data, change->sampleInfo.length);
                if (m.message != nullptr) {
                    m.message->removeReference();
                }
                m.message = change->message;
                change->message = nullptr;
                m.ownsRecord = std::exchange(change->ownsRecord, false);
                m.completeness = 3;
                m_pendingBytes += m.sampleInfo.length;
                entry->charge += m.sampleInfo.length;
            }
        }
        if (!m.allFragmentPresent() || (m_topicKind != TOPIC_KIND_NO_KEY && m.completeness != 3)) {
            return nullptr;
        }
        done = std::move(entry->change);
        erasePending(entry);
    }
    done->expiryTime = 0;
    return done;
}

bool ReaderImpl::addFragment(std::vector<Pending>::iterator entry, CacheChange const* fragment,
                             bool created) {
    Pending& p = *entry;
    CacheChange& m = *p.change;
    SequenceNumber_t const sn = fragment->sampleInfo.sequenceNumber;
    auto refuse = [&](char const* why) {
        logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG,
                            vexares::RTPS_MSG_READER_FRAGMENT_DROPPED, m_logName.c_str(),
                            unsigned{sn.low}, why);
        if (created) {
            erasePending(entry);
        }
        return false;
    };
    uint32_t const sampleSize = fragment->sampleSize;
    uint16_t const fragmentSize = fragment->fragmentSize;
    if (fragmentSize == 0) {
        return refuse(verdictText(FragmentVerdict::ZeroFragmentSize));
    }
    uint64_t const fragments =
        uint64_t{sampleSize} / fragmentSize + (sampleSize % fragmentSize != 0 ? 1 : 0);
    uint64_t const length = fragment->sampleInfo.length;
    uint64_t const received = std::min<uint64_t>(p.received + length, sampleSize);
    // The least this fragment will cost; the whole sample buffer, when it comes, is counted
    // below from what was really allocated.
    uint64_t const least = sizeof(CacheChange) + fragmentMapBytes(fragments) + received;
    if (sampleSize <= m_limits.maxSampleSize &&
        m_pendingBytes - p.charge + least > m_limits.maxPendingBytes) {
        return refuse("предел памяти сборки");
    }
    FragmentVerdict verdict;
    try {
        verdict = m.addFragmentData(sampleSize, fragmentSize, fragment->fragmentStartingNum,
                                    fragment->fragmentsInSubmessage, fragment->sampleInfo.data,
                                    length, m_limits.maxSampleSize);
    } catch (std::bad_alloc const&) {
        created = true;  // whatever it holds goes
        return refuse("нет памяти");
    }
    if (verdict != FragmentVerdict::Accepted) {
        return refuse(verdictText(verdict));
    }
    p.received = received;
    uint64_t const held = m.sampleInfo.data != nullptr ? uint64_t{m.sampleSize} : received;
    uint64_t const charge = sizeof(CacheChange) + fragmentMapBytes(m.fragmentCount) + held;
    m_pendingBytes = m_pendingBytes - p.charge + charge;
    p.charge = charge;
    if (m_pendingBytes > m_limits.maxPendingBytes) {
        created = true;
        return refuse("предел памяти сборки");
    }
    logger().logMessage("ReaderImpl::addChange", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_FRAGMENT, m_logName.c_str(), unsigned{sn.low},
                        fragment->fragmentStartingNum, m.fragmentCount);
    return true;
}

void ReaderImpl::purgePending(GUID_t const& writer) {
    bool const participant = writer.entityId == _ENTITYID_PARTICIPANT;
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        GUID_t const& w = it->change->writerGUID;
        bool const gone = prefixEq(w.guidPrefix, writer.guidPrefix) &&
                          (participant || w.entityId == writer.entityId);
        it = gone ? erasePending(it) : std::next(it);
    }
}

void ReaderImpl::collectMissingFragments(GUID_t const& writer, GUID_t const& reader,
                                         std::vector<NAckFragData*>& out) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    for (Pending& p : m_pending) {
        CacheChange& c = *p.change;
        if (c.writerGUID != writer || c.fragmentCount == 0) {
            continue;
        }
        uint32_t start = 1;
        do {
            std::unique_ptr<NAckFragData> record(new NAckFragData);
            record->readerGUID = reader;
            record->writerGUID = writer;
            record->writerSN = c.sampleInfo.sequenceNumber;
            record->fragmentNumberState.bitmapBase = start;
            start = c.getMissingFragmentSet(record->fragmentNumberState);
            record->count = ++c.nackFragCount;
            if (record->fragmentNumberState.numBits != 0) {
                out.push_back(record.release());
            }
        } while (start != 0);
    }
}

size_t ReaderImpl::pendingCount() {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return m_pending.size();
}

uint64_t ReaderImpl::pendingBytes() {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return m_pendingBytes;
}

unsigned int ReaderImpl::getChange(SampleInfo* handle, unsigned int (*guidPrefix)[3],
                                   unsigned int* entityId, SampleInfo& sample) {
    if (!m_running.load()) {
        throw GENERAL_DDSI_ERROR("Reader находится в состоянии завершения работы");
    }
    if (handle == nullptr) {
        throw BAD_PARAMETERS("Неверный указатель на исходный сэмпл");
    }
    CacheChange* change = m_history.get_change(handle);
    if (change == nullptr) {
        throw GENERAL_DDSI_ERROR("Не найден сэмпл по предоставленным данным");
    }
    return report(change, guidPrefix, entityId, sample);
}

unsigned int ReaderImpl::getEarliestChange(unsigned int (*guidPrefix)[3], unsigned int* entityId,
                                           SampleInfo& sample) {
    if (!m_running.load()) {
        throw GENERAL_DDSI_ERROR("Reader находится в состоянии завершения работы");
    }
    CacheChange* change = m_history.getEarliestChange();
    if (change == nullptr) {
        throw GENERAL_DDSI_ERROR("Самый ранний принятый сэмпл не найден");
    }
    report(change, guidPrefix, entityId, sample);
    return static_cast<unsigned int>(m_history.size());
}

unsigned int ReaderImpl::report(CacheChange const* change, unsigned int (*guidPrefix)[3],
                                unsigned int* entityId, SampleInfo& sample) {
    if (guidPrefix == nullptr) {
        throw BAD_PARAMETERS("Неверный указатель на ID участника домена");
    }
    if (entityId == nullptr) {
        throw BAD_PARAMETERS("Неверный указатель на ID точки взаимодействия");
    }
    sample = change->sampleInfo;
    BuiltinView const view = builtinView(m_guid.entityId, *change);
    sample.data = view.data;
    sample.length = view.length;
    if (isUserReader()) {
        logger().logMessage("ReaderImpl::getChange", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_CHANGE_READ, m_logName.c_str(),
                            unsigned{change->sampleInfo.sequenceNumber.low});
    }
    std::memcpy(*guidPrefix, view.guid.guidPrefix, GUID_PREFIX_SIZE);
    EntityId_t id = view.guid.entityId;
    id.entityKind = 0;
    *entityId = entityIdToU32(id);
    return *entityId;
}

unsigned int ReaderImpl::deleteChange(SampleInfo* handle) {
    if (!m_running.load()) {
        throw GENERAL_DDSI_ERROR("Reader находится в состоянии завершения работы");
    }
    if (handle == nullptr) {
        throw BAD_PARAMETERS("Неверный указатель на данные сэмпла");
    }
    // While the loader works the loan is its own; otherwise a user reader's removal ends one.
    bool const endLoan = isUserReader() && m_historicalState.load() < HISTORICAL_LOADING;
    if (!m_history.removeByRecord(handle, endLoan)) {
        throw GENERAL_DDSI_ERROR("Не найден сэмпл по предоставленным данным");
    }
    if (m_loader) {
        m_loader->roomMade();
    }
    return static_cast<unsigned int>(m_history.size());
}

void ReaderImpl::setQoS(vexa::dds::SubscriptionBuiltinTopicData const& data,
                        RTPS_AdditionalTopicData const& extra, unsigned int) {
    if (!m_running.load()) {
        return;
    }
    setDCPSConfig(data);
    m_participant->modifyReader(this, extra, true);
}

void ReaderImpl::dsvcDataRecipient(int socket, unsigned long tag, void* body, unsigned int length) {
    if (m_loader) {
        m_loader->dsvcDataRecipient(socket, tag, body, length);
    }
}

void ReaderImpl::close() {
    if (isBuiltin()) {
        return;
    }
    stop();
    logger().logMessage("ReaderImpl::close", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_CLOSED, m_logName.c_str());
    m_participant->removeEndpoint(this);
    delete this;
}

vexa::dds::SubscriptionBuiltinTopicData* ReaderImpl::takeDCPSConfig() {
    if (!m_running.load()) {
        return nullptr;
    }
    lockDescription();
    return &m_dcpsConfig;
}

void ReaderImpl::setDCPSConfig(vexa::dds::SubscriptionBuiltinTopicData const& data) {
    if (!m_running.load()) {
        return;
    }
    lockDescription();
    m_dcpsConfig = data;
    freeDCPSConfig();
}

void ReaderImpl::setTimestamp(vexa::dds::Time_t const& timestamp) {
    std::lock_guard<std::mutex> lock(m_timestampMutex);
    m_timestamp = timestamp;
}

vexa::dds::Time_t ReaderImpl::getTimestamp() {
    std::lock_guard<std::mutex> lock(m_timestampMutex);
    return m_timestamp;
}

}  // namespace RTPS
