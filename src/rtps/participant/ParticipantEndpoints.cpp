// The participant's endpoint registry: creating, finding, re-announcing and removing its
// writers and readers, routing received changes to them, and waiting for delivery.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/io/RTPSRouter.h"
#include "rtps/participant/ComponentFactory.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/DiscoveryDirectory.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/wire/AckNAckData.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/wire/NAckFragData.h"

namespace RTPS {

namespace {

constexpr uint8_t KIND_WRITER_NO_KEY = 0x03;
constexpr uint8_t KIND_WRITER_WITH_KEY = 0x02;
constexpr uint8_t KIND_READER_NO_KEY = 0x04;
constexpr uint8_t KIND_READER_WITH_KEY = 0x07;
constexpr uint8_t KIND_BUILTIN_WRITER = 0xC2;
constexpr uint8_t KIND_BUILTIN_READER = 0xC7;

bool isWriterKind(uint8_t kind) {
    return kind == KIND_WRITER_NO_KEY || kind == KIND_WRITER_WITH_KEY ||
           kind == KIND_BUILTIN_WRITER;
}

bool isReaderKind(uint8_t kind) {
    return kind == KIND_READER_NO_KEY || kind == KIND_READER_WITH_KEY ||
           kind == KIND_BUILTIN_READER;
}

// The entity id a description asks for: the first word of its key with the kind byte of the
// topic kind.
EntityId_t entityIdOf(vexa::dds::BuiltinTopicKey_t const& key, TOPIC_KIND kind, uint8_t noKey,
                      uint8_t withKey) {
    EntityId_t id = u32ToEntityId(key.value[0]);
    if (kind == TOPIC_KIND_NO_KEY) {
        id.entityKind = noKey;
    } else if (kind == TOPIC_KIND_WITH_KEY) {
        id.entityKind = withKey;
    } else {
        throw BAD_PARAMETERS("Неверное значение типа топика");
    }
    return id;
}

bool isReliable(vexa::dds::ReliabilityQosPolicy const& reliability) {
    switch (reliability.kind) {
        case vexa::dds::BEST_EFFORT_RELIABILITY_QOS:
            return false;
        case vexa::dds::RELIABLE_RELIABILITY_QOS:
            return true;
    }
    throw BAD_PARAMETERS("Неверное значение типа доставки данных топика");
}

// The sample limit; a limit of 0 or less means none, and the history caps what it prepares.
uint32_t historyLimit(int samples) {
    return samples > 0 ? static_cast<uint32_t>(samples) : 0;
}

template <class T>
std::vector<T*> pointersTo(std::vector<T>& records) {
    std::vector<T*> out;
    out.reserve(records.size());
    for (T& r : records) {
        out.push_back(&r);
    }
    return out;
}

vexa::dds::Time_t wallClockNow() {
    auto const since = std::chrono::system_clock::now().time_since_epoch();
    auto const sec = std::chrono::duration_cast<std::chrono::seconds>(since);
    auto const ns = std::chrono::duration_cast<std::chrono::nanoseconds>(since - sec);
    return vexa::dds::Time_t{static_cast<int32_t>(sec.count()), static_cast<uint32_t>(ns.count())};
}

// A further reader's own copy of a received change: the same record and position, its own
// reference on the message that holds the data. Null when the change's data is not the
// message's (a decoded record or a buffer the change owns), which a copy cannot share.
std::unique_ptr<CacheChange> copyReceivedChange(CacheChange const& c) {
    if (c.ownsRecord || !c.packedData.empty() ||
        (c.sampleInfo.data != nullptr && c.message == nullptr)) {
        return nullptr;
    }
    std::unique_ptr<CacheChange> copy(new CacheChange(c.writerGUID, &c.sampleInfo));
    copy->setSequenceNumber(c.sampleInfo.sequenceNumber);
    copy->payloadKind = c.payloadKind;
    copy->completeness = c.completeness;
    copy->readerId = c.readerId;
    copy->leaseExempt = c.leaseExempt;
    copy->expiryTime = c.expiryTime;
    copy->fragmentsInSubmessage = c.fragmentsInSubmessage;
    copy->fragmentSize = c.fragmentSize;
    copy->fragmentStartingNum = c.fragmentStartingNum;
    copy->sampleSize = c.sampleSize;
    copy->attachMessage(c.message);
    return copy;
}

}  // namespace

bool ParticipantImpl::prefixIsOwn(vexa::dds::BuiltinTopicKey_t const& participantKey) const {
    return std::memcmp(&participantKey, m_guid.guidPrefix, GUID_PREFIX_SIZE) == 0;
}

std::vector<WriterHandle> ParticipantImpl::writerHandles() {
    std::vector<WriterHandle> out;
    std::lock_guard<std::mutex> lock(m_writersMutex);
    out.reserve(m_writers.size());
    for (LocalWriter* w : m_writers) {
        if (w != nullptr) {
            w->raiseUseCount();
            out.emplace_back(w);
        }
    }
    return out;
}

std::vector<ReaderHandle> ParticipantImpl::readerHandles() {
    std::vector<ReaderHandle> out;
    std::lock_guard<std::mutex> lock(m_readersMutex);
    out.reserve(m_readers.size());
    for (LocalReader* r : m_readers) {
        if (r != nullptr) {
            r->raiseUseCount();
            out.emplace_back(r);
        }
    }
    return out;
}

WriterHandle ParticipantImpl::builtinWriter(BuiltinTopic topic) {
    std::lock_guard<std::mutex> lock(m_writersMutex);
    size_t const pos = positionOf(topic);
    if (pos >= m_writers.size() || m_writers[pos] == nullptr) {
        return WriterHandle();
    }
    m_writers[pos]->raiseUseCount();
    return WriterHandle(m_writers[pos]);
}

ReaderHandle ParticipantImpl::builtinReader(BuiltinTopic topic) {
    std::lock_guard<std::mutex> lock(m_readersMutex);
    size_t const pos = positionOf(topic);
    if (pos >= m_readers.size() || m_readers[pos] == nullptr) {
        return ReaderHandle();
    }
    m_readers[pos]->raiseUseCount();
    return ReaderHandle(m_readers[pos]);
}

WriterHandle ParticipantImpl::getWriter(EntityId_t const& id) {
    std::lock_guard<std::mutex> lock(m_writersMutex);
    for (LocalWriter* w : m_writers) {
        if (w != nullptr && w->getGuid().entityId == id) {
            w->raiseUseCount();
            return WriterHandle(w);
        }
    }
    return WriterHandle();
}

ReaderHandle ParticipantImpl::getReader(EntityId_t const& id) {
    std::lock_guard<std::mutex> lock(m_readersMutex);
    for (LocalReader* r : m_readers) {
        if (r != nullptr && r->getGuid().entityId == id) {
            r->raiseUseCount();
            return ReaderHandle(r);
        }
    }
    return ReaderHandle();
}

WriterHandle ParticipantImpl::getWriter(int entityKey) {
    EntityId_t const id = u32ToEntityId(static_cast<uint32_t>(entityKey));
    std::lock_guard<std::mutex> lock(m_writersMutex);
    for (LocalWriter* w : m_writers) {
        if (w != nullptr &&
            std::memcmp(w->getGuid().entityId.entityKey, id.entityKey, sizeof id.entityKey) == 0) {
            w->raiseUseCount();
            return WriterHandle(w);
        }
    }
    return WriterHandle();
}

ReaderHandle ParticipantImpl::getReader(int entityKey) {
    EntityId_t const id = u32ToEntityId(static_cast<uint32_t>(entityKey));
    std::lock_guard<std::mutex> lock(m_readersMutex);
    for (LocalReader* r : m_readers) {
        if (r != nullptr &&
            std::memcmp(r->getGuid().entityId.entityKey, id.entityKey, sizeof id.entityKey) == 0) {
            r->raiseUseCount();
            return ReaderHandle(r);
        }
    }
    return ReaderHandle();
}

void ParticipantImpl::freeEndpoint(Endpoint* endpoint) {
    if (endpoint != nullptr) {
        endpoint->lowerUseCount();
    }
}

void ParticipantImpl::announce(BuiltinTopic via, EntityId_t const& id,
                               vexa::dds::Time_t const& timestamp, void* description,
                               uint64_t length) {
    WriterHandle sedp = builtinWriter(via);
    if (!sedp) {
        return;
    }
    SampleInfo sample{};
    sample.instanceHandle = static_cast<int32_t>(entityIdToU32(id));
    sample.statusFlags = SAMPLE_ALIVE;
    sample.sourceTimestamp = timestamp;
    sample.data = description;
    sample.length = length;
    sedp->addChange(&sample);
}

void ParticipantImpl::discardWriter(LocalWriter* writer) {
    {
        std::lock_guard<std::mutex> lock(m_writersMutex);
        m_writers.erase(
            std::remove(m_writers.begin() + BUILTIN_TOPIC_COUNT, m_writers.end(), writer),
            m_writers.end());
    }
    writer->stop();
    writer->waitUntilUnused();
    delete writer;
}

void ParticipantImpl::discardReader(LocalReader* reader) {
    {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        m_readers.erase(
            std::remove(m_readers.begin() + BUILTIN_TOPIC_COUNT, m_readers.end(), reader),
            m_readers.end());
        forgetMatchesLocked();
    }
    reader->stop();
    reader->waitUntilUnused();
    delete reader;
}

Writer* ParticipantImpl::addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                                   RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind,
                                   int samples) {
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные данные топика");
    }
    if (!prefixIsOwn(data->participant_key)) {
        throw BAD_PARAMETERS("Participant Key не совпадает с GUID Prefix участника домена");
    }
    EntityId_t const id = entityIdOf(data->key, kind, KIND_WRITER_NO_KEY, KIND_WRITER_WITH_KEY);
    bool const reliable = isReliable(data->reliability);

    EndpointConfig config{};
    config.guid = m_guid;
    config.guid.entityId = id;
    config.topicKind = kind;
    config.reliabilityLevel = reliable ? RELIABILITY_RELIABLE : RELIABILITY_BEST_EFFORT;
    config.unicastLocator = unicastLocator(m_config.userUnicastPort());
    config.multicastLocator = _LOCATOR_INVALID;
    if (m_config.userMulticastingMode() == Config::MULTICASTING_PER_TOPIC) {
        Locator_t group{LOCATOR_KIND_UDPv4, m_config.userMulticastPort(), {}};
        strToLoc(&group, m_router->getGroupAddress(data->topic_name).c_str());
        config.multicastLocator = group;
    }
    config.historyReserve = historyLimit(samples);

    LocalWriter* writer =
        m_factory->makeWriter(reliable, this, config, *data, extra.transportPriority);
    if (writer == nullptr) {
        throw GENERAL_DDSI_ERROR("Писатель такого вида не может быть создан");
    }
    writer->setTimestamp(extra.timestamp);
    {
        std::lock_guard<std::mutex> lock(m_writersMutex);
        m_writers.push_back(writer);
    }
    try {
        vexa::dds::PublicationBuiltinTopicData description = *data;
        announce(BuiltinTopic::PUBLICATION, id, extra.timestamp, &description, sizeof description);
        std::vector<ReaderProxyInfo> readers;
        if (m_directory) {
            m_directory->getMatchedReaders(description, readers);
        }
        writer->checkMatchedReaders(pointersTo(readers));
        writer->start();
    } catch (...) {
        discardWriter(writer);
        throw;
    }
    checkLivelinessPeriod();
    return writer->asWriter();
}

Reader* ParticipantImpl::addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                                   RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind,
                                   int samples, void* userData) {
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные данные топика");
    }
    if (!prefixIsOwn(data->participant_key)) {
        throw BAD_PARAMETERS("Participant Key не совпадает с GUID Prefix участника домена");
    }
    EntityId_t const id = entityIdOf(data->key, kind, KIND_READER_NO_KEY, KIND_READER_WITH_KEY);
    bool const reliable = isReliable(data->reliability);

    EndpointConfig config{};
    config.guid = m_guid;
    config.guid.entityId = id;
    config.topicKind = kind;
    config.reliabilityLevel = reliable ? RELIABILITY_RELIABLE : RELIABILITY_BEST_EFFORT;
    config.unicastLocator = unicastLocator(m_config.userUnicastPort());
    config.multicastLocator = _LOCATOR_INVALID;
    config.historyReserve = historyLimit(samples);

    LocalReader* reader = m_factory->makeReader(reliable, this, config, *data, userData,
                                                m_communicationObject, m_mode);
    if (reader == nullptr) {
        throw GENERAL_DDSI_ERROR("Читатель такого вида не может быть создан");
    }
    reader->setTimestamp(extra.timestamp);
    {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        m_readers.push_back(reader);
        forgetMatchesLocked();
    }
    try {
        reader->start();
        vexa::dds::SubscriptionBuiltinTopicData description = *data;
        std::vector<WriterProxyInfo> writers;
        if (m_directory) {
            m_directory->getMatchedWriters(description, writers);
        }
        reader->checkMatchedWriters(pointersTo(writers));
        addMulticastOfWriters(reader, writers);
        announce(BuiltinTopic::SUBSCRIPTION, id, extra.timestamp, &description, sizeof description);
    } catch (...) {
        discardReader(reader);
        throw;
    }
    return reader->asReader();
}

void ParticipantImpl::addMulticastOfWriters(LocalReader* reader,
                                            std::vector<WriterProxyInfo> const& writers) {
    for (WriterProxyInfo const& w : writers) {
        if (w.multicastLocatorList.empty()) {
            continue;
        }
        Locator_t group = w.multicastLocatorList.front();
        reader->addMulticastLocator(group);
        try {
            m_receiver->addReceiver(group);
        } catch (DDSIException const& e) {
            // The group came from a remote announcement: the reader goes on with unicast.
            vexalog::Logger::getLogger().logMessage(
                "ParticipantImpl::addReader", vexalog::Logger::SEV_WARNING,
                vexares::RTPS_MSG_PARTICIPANT_RECEIVER_REFUSED, m_name.c_str(),
                unsigned{group.address[12]}, unsigned{group.address[13]},
                unsigned{group.address[14]}, unsigned{group.address[15]}, unsigned{group.port},
                e.what());
        }
    }
}

void ParticipantImpl::setQoS(vexa::dds::ParticipantBuiltinTopicData const&,
                             RTPS_AdditionalTopicData const&) {}

void ParticipantImpl::modifyWriter(LocalWriter* writer, RTPS_AdditionalTopicData const& extra,
                                   bool) {
    if (writer == nullptr) {
        return;
    }
    vexa::dds::PublicationBuiltinTopicData description;
    {
        vexa::dds::PublicationBuiltinTopicData* current = writer->takeDCPSConfig();
        if (current == nullptr) {
            return;
        }
        description = *current;
        writer->freeDCPSConfig();
    }
    writer->setTimestamp(extra.timestamp);
    announce(BuiltinTopic::PUBLICATION, writer->getGuid().entityId, extra.timestamp, &description,
             sizeof description);
    std::vector<ReaderProxyInfo> readers;
    if (m_directory) {
        m_directory->getMatchedReaders(description, readers);
    }
    writer->checkMatchedReaders(pointersTo(readers));
    checkLivelinessPeriod();
}

void ParticipantImpl::modifyReader(LocalReader* reader, RTPS_AdditionalTopicData const& extra,
                                   bool) {
    if (reader == nullptr) {
        return;
    }
    // The reader's caller has set its new description already.
    forgetMatches();
    vexa::dds::SubscriptionBuiltinTopicData description;
    {
        vexa::dds::SubscriptionBuiltinTopicData* current = reader->takeDCPSConfig();
        if (current == nullptr) {
            return;
        }
        description = *current;
        reader->freeDCPSConfig();
    }
    reader->setTimestamp(extra.timestamp);
    announce(BuiltinTopic::SUBSCRIPTION, reader->getGuid().entityId, extra.timestamp, &description,
             sizeof description);
    std::vector<WriterProxyInfo> writers;
    if (m_directory) {
        m_directory->getMatchedWriters(description, writers);
    }
    reader->checkMatchedWriters(pointersTo(writers));
}

bool ParticipantImpl::endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                                     vexa::dds::SubscriptionBuiltinTopicData const& subscription) {
    return m_directory && m_directory->endpointsMatch(publication, subscription);
}

void ParticipantImpl::removeEndpoint(Endpoint* endpoint) {
    if (endpoint == nullptr) {
        return;
    }
    uint8_t const kind = endpoint->getGuid().entityId.entityKind;
    // Built-in positions keep their place (emptied); user endpoints leave the list.
    auto takeOut = [endpoint](auto& list) {
        for (size_t i = 0; i < list.size(); ++i) {
            if (static_cast<Endpoint*>(list[i]) != endpoint) {
                continue;
            }
            if (i < BUILTIN_TOPIC_COUNT) {
                list[i] = nullptr;
            } else {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            }
            return;
        }
    };
    if (isWriterKind(kind)) {
        {
            std::lock_guard<std::mutex> lock(m_writersMutex);
            takeOut(m_writers);
        }
        checkLivelinessPeriod();
    } else if (isReaderKind(kind)) {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        takeOut(m_readers);
        forgetMatchesLocked();
    }
    // A handle taken before (a discovery walk holds every listed endpoint at once) may still
    // call it and finds it stopped; the caller destroys it next, so that use ends here.
    endpoint->waitUntilUnused();
    endpoint->removeGarbage(0);
}

void ParticipantImpl::removeMatchedEndpoints(GUID_t const& remote) {
    bool const participant = remote.entityId == _ENTITYID_PARTICIPANT;
    bool const reader = !participant && (remote.entityId.entityKind & 0x04) != 0;
    if (participant || reader) {
        for (WriterHandle& w : writerHandles()) {
            w->removeMatchedReaders(remote);
        }
    }
    if (participant || !reader) {
        for (ReaderHandle& r : readerHandles()) {
            r->removeMatchedWriters(remote);
        }
    }
    if (m_directory) {
        m_directory->removeRemoteRecords(remote);
    }
}

void ParticipantImpl::getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const* remoteWriter,
                                        std::vector<ReaderHandle>& out) {
    out.clear();
    if (remoteWriter == nullptr || !m_directory) {
        return;
    }
    for (ReaderHandle& r : readerHandles()) {
        vexa::dds::SubscriptionBuiltinTopicData* description = r->takeDCPSConfig();
        if (description == nullptr) {
            continue;
        }
        bool const match = m_directory->endpointsMatch(*remoteWriter, *description);
        r->freeDCPSConfig();
        if (match) {
            out.push_back(std::move(r));
        }
    }
}

void ParticipantImpl::getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const* remoteReader,
                                        std::vector<WriterHandle>& out) {
    out.clear();
    if (remoteReader == nullptr || !m_directory) {
        return;
    }
    for (WriterHandle& w : writerHandles()) {
        vexa::dds::PublicationBuiltinTopicData* description = w->takeDCPSConfig();
        if (description == nullptr) {
            continue;
        }
        bool const match = m_directory->endpointsMatch(*description, *remoteReader);
        w->freeDCPSConfig();
        if (match) {
            out.push_back(std::move(w));
        }
    }
}

void ParticipantImpl::reportAllDelivered() {
    {
        std::lock_guard<std::mutex> lock(m_deliveryMutex);
        ++m_deliveryGeneration;
    }
    m_deliveryCv.notify_all();
}

bool ParticipantImpl::getReaderConfig(GUID_t const& reader,
                                      vexa::dds::SubscriptionBuiltinTopicData& out) {
    return m_directory && m_directory->getReaderConfig(reader, out);
}

void ParticipantImpl::getMatchedRemoteReaders(
    vexa::dds::PublicationBuiltinTopicData const& publication, std::vector<ReaderProxyInfo>& out) {
    out.clear();
    if (m_directory) {
        m_directory->getMatchedReaders(publication, out);
    }
}

void ParticipantImpl::getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) {
    out.clear();
    if (m_directory) {
        m_directory->getReaderLocators(reader, out);
    }
}

bool ParticipantImpl::allDelivered(std::vector<Writer*> const& writers) {
    std::vector<WriterHandle> listed = writerHandles();
    for (Writer* w : writers) {
        if (w == nullptr) {
            continue;
        }
        // A writer no longer listed (closed) has nothing left to deliver.
        for (WriterHandle& h : listed) {
            if (h->asWriter() == w && !h->allDelivered()) {
                return false;
            }
        }
    }
    return true;
}

int ParticipantImpl::checkDelivery(std::vector<Writer*>& writers, vexa::dds::Duration_t timeout) {
    using Clock = std::chrono::steady_clock;
    bool const unlimited = timeout == vexa::dds::DURATION_INFINITE;
    int64_t const mks =
        timeout.sec < 0 ? 0 : int64_t{timeout.sec} * 1000000 + int64_t{timeout.nanosec} / 1000;
    Clock::time_point const deadline = Clock::now() + std::chrono::microseconds(mks);
    if (writers.empty()) {
        return 1;
    }
    std::unique_lock<std::mutex> lock(m_deliveryMutex);
    for (;;) {
        // A report that comes after this look moves the generation, so the wait below sees it.
        uint64_t const seen = m_deliveryGeneration;
        lock.unlock();
        bool const delivered = allDelivered(writers);
        lock.lock();
        if (delivered) {
            return 1;
        }
        auto const reported = [&] { return m_deliveryGeneration != seen; };
        if (unlimited) {
            m_deliveryCv.wait(lock, reported);
        } else if (!m_deliveryCv.wait_until(lock, deadline, reported)) {
            return 0;
        }
    }
}

size_t ParticipantImpl::GuidHash::operator()(GUID_t const& g) const {
    static_assert(sizeof(GUID_t) == 16, "a GUID is two words");
    uint64_t words[2] = {};
    std::memcpy(words, &g, sizeof g);
    return std::hash<uint64_t>()(words[0] * 0x9E3779B97F4A7C15ull ^ words[1]);
}

void ParticipantImpl::forgetMatchesLocked() {
    m_matchedReaders.clear();
    ++m_matchGeneration;
}

void ParticipantImpl::forgetMatches() {
    std::lock_guard<std::mutex> lock(m_readersMutex);
    forgetMatchesLocked();
}

void ParticipantImpl::remoteWritersChanged() {
    forgetMatches();
}

std::vector<ReaderHandle> ParticipantImpl::readersMatchedWith(GUID_t const& writer) {
    std::vector<ReaderHandle> readers;
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(m_readersMutex);
        auto const hit = m_matchedReaders.find(writer);
        if (hit != m_matchedReaders.end()) {
            // Still listed: a reader leaving the list empties the cache under this mutex.
            readers.reserve(hit->second.size());
            for (LocalReader* r : hit->second) {
                r->raiseUseCount();
                readers.emplace_back(r);
            }
            return readers;
        }
        generation = m_matchGeneration;
    }
    vexa::dds::PublicationBuiltinTopicData description;
    if (!m_directory || !m_directory->getWriterDCPSConfig(writer, description)) {
        return readers;
    }
    getMatchedReaders(&description, readers);
    std::vector<LocalReader*> matched;
    matched.reserve(readers.size());
    for (ReaderHandle& r : readers) {
        matched.push_back(r.get());
    }
    std::lock_guard<std::mutex> lock(m_readersMutex);
    // A change since the generation was read may have made this answer stale: it is used
    // once, not kept.
    if (m_matchGeneration == generation) {
        m_matchedReaders[writer] = std::move(matched);
    }
    return readers;
}

CacheChange* ParticipantImpl::addChange(EntityId_t& readerId, CacheChange* change) {
    if (readerId == _ENTITYID_UNKNOWN || change == nullptr) {
        return nullptr;
    }
    ReaderHandle reader = getReader(readerId);
    return reader ? reader->addChange(change) : nullptr;
}

bool ParticipantImpl::addChange(CacheChange* change) {
    if (change == nullptr) {
        return false;
    }
    std::vector<ReaderHandle> readers = readersMatchedWith(change->writerGUID);
    if (readers.empty()) {
        return false;
    }
    // The copies are made before any reader sees the change: a reader may take over parts of
    // the change it is given (its message reference, its data) even when it keeps nothing.
    std::vector<std::unique_ptr<CacheChange>> copies(readers.size());
    for (size_t i = 1; i < readers.size(); ++i) {
        copies[i] = copyReceivedChange(*change);
        if (!copies[i]) {
            vexalog::Logger::getLogger().logMessage(
                "ParticipantImpl::addChange", vexalog::Logger::SEV_WARNING,
                vexares::RTPS_MSG_CHANGE_NOT_COPIED, m_name.c_str(),
                unsigned{change->sampleInfo.sequenceNumber.low}, readers[i]->getName().c_str());
        }
    }
    bool const keptOriginal = readers[0]->addChange(change) == change;
    for (size_t i = 1; i < readers.size(); ++i) {
        if (copies[i] && readers[i]->addChange(copies[i].get()) == copies[i].get()) {
            copies[i].release();
        }
    }
    return keptOriginal;
}

void ParticipantImpl::participantAlive(uint8_t const* guidPrefix) {
    if (m_directory && guidPrefix != nullptr) {
        m_directory->alive(guidPrefix);
    }
}

bool ParticipantImpl::hasReader(EntityId_t const& readerId) {
    return static_cast<bool>(getReader(readerId));
}

unsigned int ParticipantImpl::heartbeatToReaders(HeartbeatData* heartbeat) {
    if (heartbeat == nullptr) {
        return 0;
    }
    if (heartbeat->readerId != _ENTITYID_UNKNOWN) {
        ReaderHandle reader = getReader(heartbeat->readerId);
        if (!reader) {
            return 0;
        }
        reader->heatrbeat(heartbeat);
        return 1;
    }
    std::vector<ReaderHandle> readers = readersMatchedWith(heartbeat->writerGUID);
    for (ReaderHandle& r : readers) {
        r->heatrbeat(heartbeat);
    }
    return static_cast<unsigned>(readers.size());
}

bool ParticipantImpl::gapToReader(GapData* gap) {
    if (gap == nullptr) {
        return false;
    }
    ReaderHandle reader = getReader(gap->readerId);
    return reader && reader->gap(gap);
}

bool ParticipantImpl::acknackToWriter(AckNAckData* acknack) {
    if (acknack == nullptr) {
        return false;
    }
    WriterHandle writer = getWriter(acknack->writerGUID.entityId);
    return writer && writer->acknack(acknack);
}

bool ParticipantImpl::nackfragToWriter(NAckFragData* nackfrag) {
    if (nackfrag == nullptr) {
        return false;
    }
    WriterHandle writer = getWriter(nackfrag->writerGUID.entityId);
    return writer && writer->nackfrag(nackfrag);
}

bool ParticipantImpl::decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload,
                                        uint32_t length, CacheChange* change) {
    return m_directory && m_directory->decodeBuiltinData(writerId, payload, length, change);
}

// Discovery results given by hand go to the directory as a built-in reader hands it a received
// change (and so into that reader's history), past the reliable protocol: their made-up
// sequence numbers must not mark the remote writer's own numbers as received.
namespace {

template <class Record>
void injectRecord(DiscoveryDirectory* directory, BuiltinTopic topic, Record* record,
                  GUID_t const& writer, SequenceNumber_t const& sn,
                  vexa::dds::Time_t const& timestamp, bool leaseExempt) {
    SampleInfo info{};
    info.statusFlags = SAMPLE_ALIVE;
    info.sourceTimestamp = timestamp;
    info.data = record;
    info.length = sizeof(Record);
    std::unique_ptr<CacheChange> change(new CacheChange(writer, &info));
    change->setSequenceNumber(sn);
    change->payloadKind = OWNER_RECEIVED;
    change->ownsRecord = true;
    change->completeness = 3;
    change->leaseExempt = leaseExempt;
    if (directory != nullptr && directory->addBuiltinChange(topic, change.get()) == change.get()) {
        change.release();
    }
}

}  // namespace

int ParticipantImpl::participantDetected(SPDPdiscoveredParticipantData const* data,
                                         bool neverExpires) {
    if (data == nullptr) {
        return 0;
    }
    GUID_t writer{};
    std::memcpy(writer.guidPrefix, data->guidPrefix, GUID_PREFIX_SIZE);
    writer.entityId = _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER;
    injectRecord(m_directory.get(), BuiltinTopic::PARTICIPANT,
                 new SPDPdiscoveredParticipantData(*data), writer, SequenceNumber_t{0, 1},
                 vexa::dds::TIME_INVALID, neverExpires);
    return 1;
}

int ParticipantImpl::subscriptionDetected(DiscoveredReaderData const* data) {
    if (data == nullptr) {
        return 0;
    }
    GUID_t writer = data->readerProxy.remoteReaderGuid;
    writer.entityId = _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER;
    injectRecord(m_directory.get(), BuiltinTopic::SUBSCRIPTION, new DiscoveredReaderData(*data),
                 writer, SequenceNumber_t{0, ++m_discoverySequence}, wallClockNow(), false);
    return 1;
}

int ParticipantImpl::publicationDetected(DiscoveredWriterData const* data) {
    if (data == nullptr) {
        return 0;
    }
    GUID_t writer = data->writerProxy.remoteWriterGuid;
    writer.entityId = _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
    injectRecord(m_directory.get(), BuiltinTopic::PUBLICATION, new DiscoveredWriterData(*data),
                 writer, SequenceNumber_t{0, ++m_discoverySequence}, wallClockNow(), false);
    return 1;
}

int ParticipantImpl::participantLost(unsigned char const* guidPrefix) {
    if (guidPrefix == nullptr) {
        return 0;
    }
    if (m_directory) {
        m_directory->removeParticipant(guidPrefix);
    }
    return 1;
}

int ParticipantImpl::endpointLost(GUID_t const& guid) {
    removeMatchedEndpoints(guid);
    return 1;
}

}  // namespace RTPS
