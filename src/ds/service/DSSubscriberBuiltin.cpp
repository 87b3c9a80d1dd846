#include "ds/service/DSSubscriberBuiltin.h"

#include <set>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DomainSubscriber.h"
#include "ds/store/DSReader.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/Participant.h"

namespace vexa::ds {

using vexa::dds::PublicationBuiltinTopicData;
using vexa::dds::Time_t;
using vexa::dds::TopicBuiltinTopicData;

namespace {

constexpr const char* TOPIC_MODULE = "DS::DSSubscriberBuiltin::handleDCPSTopicReader";
// The topic disposal logs under the class's other name.
constexpr const char* TOPIC_DISPOSED_MODULE = "DS::SubscriberBuiltin::handleDCPSTopicReader";
constexpr const char* PUBLICATION_MODULE = "DS::DSSubscriberBuiltin::handleDCPSPublicationReader";
constexpr uint32_t GONE = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

bool isSet(Time_t t) {
    return t.sec != 0 || t.nanosec != 0;
}

// The record a peer sent, or null when it is not the record the reader delivers: the length
// comes from the wire decoder, and a record of another size must never be read as this one.
template <typename Record>
const Record* recordOf(const RTPS::SampleInfo& si, const char* module, const char* topic,
                       const uint32_t prefix[3]) {
    if (si.data != nullptr && si.length == sizeof(Record))
        return static_cast<const Record*>(si.data);
    logger().logMessage(module, 3, vexares::DS_MSG_DISCOVERY_RECORD_SIZE, topic,
                        (unsigned long long)si.length, unsigned(prefix[0]), unsigned(prefix[1]),
                        unsigned(prefix[2]));
    return nullptr;
}

}  // namespace

// Peers read these records with these lengths; a layout change must not pass unnoticed.
static_assert(sizeof(TopicBuiltinTopicData) == 216, "topic records are 216 bytes");
static_assert(sizeof(PublicationBuiltinTopicData) == 288, "publication records are 288 bytes");

size_t DSSubscriberBuiltin::KeyHasher::operator()(const vexa::dds::BuiltinTopicKey_t& k) const {
    uint64_t h = k.value[0];
    h = h * 0x9E3779B97F4A7C15ull ^ k.value[1];
    h = h * 0x9E3779B97F4A7C15ull ^ k.value[2];
    return size_t(h ^ (h >> 29));
}

DSSubscriberBuiltin::DSSubscriberBuiltin(DSDomainParticipant& participant)
    : m_participant(participant),
      m_handlers{
          {participant.participantReader(), &DSSubscriberBuiltin::handleDCPSParticipantReader},
          {participant.topicReader(), &DSSubscriberBuiltin::handleDCPSTopicReader},
          {participant.publicationReader(), &DSSubscriberBuiltin::handleDCPSPublicationReader},
          {participant.subscriptionReader(), &DSSubscriberBuiltin::handleDCPSSubscriptionReader}} {}

DSSubscriberBuiltin::~DSSubscriberBuiltin() = default;

vexa::dds::BuiltinTopicKey_t DSSubscriberBuiltin::keyOf(const uint32_t prefix[3]) {
    vexa::dds::BuiltinTopicKey_t key;
    for (int i = 0; i < 3; ++i)
        key.value[i] = prefix[i];
    return key;
}

bool DSSubscriberBuiltin::ddsisampleHandler(RTPS::Reader* reader, RTPS::SampleInfo* sample) {
    if (reader == nullptr || sample == nullptr)
        return false;
    for (const Entry& entry : m_handlers) {
        if (entry.reader != reader)
            continue;
        std::lock_guard<std::recursive_mutex> domainGuard(m_participant.lock());
        std::unique_lock<std::recursive_mutex> guard(m_lock);
        RTPS::SampleInfo si{};
        unsigned prefix[3] = {0, 0, 0};
        unsigned entityId = 0;
        if (!m_participant.comm().readMsg(reader, sample, &prefix, &entityId, si))
            return false;
        (this->*entry.handler)(si, prefix, entityId, guard);
        return false;
    }
    return false;
}

void DSSubscriberBuiltin::looseWriters(RemoteDP& dp, Pending& pending) {
    for (auto& [entityId, rdw] : dp.writers) {
        if (rdw.lost)
            continue;
        rdw.lost = true;
        if (rdw.reader)
            pending.emplace_back(entityId, rdw.reader);
        rdw.reader = nullptr;
    }
}

void DSSubscriberBuiltin::looseAll(const uint32_t prefix[3], const Pending& pending) {
    DomainSubscriber* subscriber = m_participant.subscriber();
    if (subscriber == nullptr)
        return;
    for (const auto& [entityId, reader] : pending)
        subscriber->looseDW(reader, prefix, entityId);
}

void DSSubscriberBuiltin::handleDCPSParticipantReader(
    RTPS::SampleInfo& si, const uint32_t prefix[3], uint32_t,
    std::unique_lock<std::recursive_mutex>& guard) {
    RemoteDP& dp = m_remoteParticipants[keyOf(prefix)];
    if (dp.flags & RemoteDP::REMOVED)
        return;
    dp.flags &= ~RemoteDP::LOST;
    if (!isSet(dp.participantTime))
        dp.participantTime = m_participant.clock().now();
    if ((si.statusFlags & GONE) == 0)
        return;
    dp.flags |= RemoteDP::REMOVED;
    Pending pending;
    looseWriters(dp, pending);
    guard.unlock();
    looseAll(prefix, pending);
}

void DSSubscriberBuiltin::handleDCPSTopicReader(RTPS::SampleInfo& si, const uint32_t prefix[3],
                                                uint32_t, std::unique_lock<std::recursive_mutex>&) {
    // The record names the topic, so even a disposal must carry a whole one.
    const TopicBuiltinTopicData* record =
        recordOf<TopicBuiltinTopicData>(si, TOPIC_MODULE, vexa::dds::DCPS_TOPIC_TOPIC_NAME, prefix);
    if (record == nullptr)
        return;
    if (record->name.empty()) {
        logger().logMessage(TOPIC_MODULE, 3, vexares::DS_MSG_TOPIC_WITHOUT_NAME,
                            unsigned(prefix[0]), unsigned(prefix[1]), unsigned(prefix[2]));
        return;
    }
    RemoteDP& dp = m_remoteParticipants[keyOf(prefix)];
    if (dp.flags & RemoteDP::REMOVED) {
        logger().logMessage(TOPIC_MODULE, 3, vexares::DS_MSG_PARTICIPANT_REMOVED,
                            unsigned(prefix[0]), unsigned(prefix[1]), unsigned(prefix[2]));
        return;
    }
    dp.flags &= ~RemoteDP::LOST;
    if (!isSet(dp.participantTime))
        dp.participantTime = m_participant.clock().now();

    const char* name = record->name.c_str();
    RemoteTopic& rt = dp.topics[record->name];
    if (rt.flags & RemoteTopic::REMOVED) {
        logger().logMessage(TOPIC_MODULE, 3, vexares::DS_MSG_RECORD_RETIRED, name);
        return;
    }
    if (si.statusFlags & GONE) {
        logger().logMessage(TOPIC_DISPOSED_MODULE, 4, vexares::DS_MSG_RECORD_DISPOSED, name);
        rt.flags |= RemoteTopic::REMOVED;
        m_participant.looseRemoteTopic(*record);
        return;
    }
    if (rt.data.name.empty()) {
        rt.data = *record;
        logger().logMessage(TOPIC_MODULE, 4, vexares::DS_MSG_RECORD_DISCOVERED, name);
        if (!m_participant.discoverRemoteTopic(rt.data))
            rt.flags |= RemoteTopic::INCONSISTENT;
        return;
    }
    logger().logMessage(TOPIC_MODULE, 4, vexares::DS_MSG_RECORD_CHANGED, name);
    bool changed = rt.data.topic_data.value != record->topic_data.value;
    rt.data.topic_data = record->topic_data;
    changed |= rt.data.lifespan.duration != record->lifespan.duration ||
               rt.data.deadline.period != record->deadline.period ||
               rt.data.latency_budget.duration != record->latency_budget.duration ||
               rt.data.transport_priority.value != record->transport_priority.value;
    rt.data.lifespan = record->lifespan;
    rt.data.deadline = record->deadline;
    rt.data.latency_budget = record->latency_budget;
    rt.data.transport_priority = record->transport_priority;
    if (!changed)
        return;
    if (m_participant.changeRemoteTopicQoS(rt.data))
        rt.flags &= ~RemoteTopic::INCONSISTENT;
    else
        rt.flags |= RemoteTopic::INCONSISTENT;
}

void DSSubscriberBuiltin::handleDCPSPublicationReader(
    RTPS::SampleInfo& si, const uint32_t prefix[3], uint32_t entityId,
    std::unique_lock<std::recursive_mutex>& guard) {
    const bool gone = (si.statusFlags & GONE) != 0;
    // A disposal may come as a bare key; anything else must be a whole record.
    const PublicationBuiltinTopicData* record = nullptr;
    if (!gone) {
        record = recordOf<PublicationBuiltinTopicData>(
            si, PUBLICATION_MODULE, vexa::dds::DCPS_PUBLICATION_TOPIC_NAME, prefix);
        if (record == nullptr)
            return;
    }
    RemoteDP& dp = m_remoteParticipants[keyOf(prefix)];
    if (dp.flags & RemoteDP::REMOVED) {
        logger().logMessage(PUBLICATION_MODULE, 3, vexares::DS_MSG_PARTICIPANT_REMOVED,
                            unsigned(prefix[0]), unsigned(prefix[1]), unsigned(prefix[2]));
        return;
    }
    dp.flags &= ~RemoteDP::LOST;
    const Time_t now = m_participant.clock().now();
    if (!isSet(dp.participantTime))
        dp.participantTime = now;

    auto [it, isNew] = dp.writers.try_emplace(entityId);
    RemoteDW& rdw = it->second;
    if (rdw.lost) {
        logger().logMessage(PUBLICATION_MODULE, 3, vexares::DS_MSG_RECORD_RETIRED,
                            rdw.data.topic_name.c_str());
        return;
    }
    rdw.livelinessTime = now;

    if (gone) {
        logger().logMessage(PUBLICATION_MODULE, 4, vexares::DS_MSG_RECORD_DISPOSED,
                            rdw.data.topic_name.c_str());
        rdw.lost = true;
        DSReader* reader = rdw.reader;
        rdw.reader = nullptr;
        guard.unlock();
        DomainSubscriber* subscriber = m_participant.subscriber();
        if (reader && subscriber)
            subscriber->looseDW(reader, prefix, entityId);
        return;
    }

    if (isNew || rdw.remotePubId == 0) {
        const uint32_t id = getNewRemotePubID();
        if (id == 0) {
            // Ids exhausted: the writer stays unknown, and its samples are stored without it.
            dp.writers.erase(it);
            return;
        }
        rdw.participant = &dp;
        rdw.remotePubId = id;
        rdw.data = *record;
        logger().logMessage(PUBLICATION_MODULE, 4, vexares::DS_MSG_RECORD_DISCOVERED,
                            rdw.data.topic_name.c_str());
        guard.unlock();
        DSReader* reader = m_participant.discoverRemoteDW(&rdw, prefix, entityId, rdw.data);
        guard.lock();
        if (reader)
            rdw.reader = reader;
        return;
    }

    logger().logMessage(PUBLICATION_MODULE, 4, vexares::DS_MSG_RECORD_CHANGED,
                        rdw.data.topic_name.c_str());
    rdw.data.user_data = record->user_data;
    rdw.data.partition = record->partition;
    const bool changed = rdw.data.lifespan.duration != record->lifespan.duration ||
                         rdw.data.ownership_strength.value != record->ownership_strength.value ||
                         rdw.data.deadline.period != record->deadline.period ||
                         rdw.data.latency_budget.duration != record->latency_budget.duration;
    rdw.data.lifespan = record->lifespan;
    rdw.data.ownership_strength = record->ownership_strength;
    rdw.data.deadline = record->deadline;
    rdw.data.latency_budget = record->latency_budget;
    if (!changed || rdw.reader == nullptr)
        return;
    DSReader* reader = rdw.reader;
    const PublicationBuiltinTopicData data = rdw.data;
    guard.unlock();
    if (DomainSubscriber* subscriber = m_participant.subscriber())
        subscriber->changeDWQoS(reader, prefix, entityId, data.deadline, data.latency_budget,
                                data.lifespan, data.ownership_strength);
}

// Remote readers make themselves known over the DSVC link instead.
void DSSubscriberBuiltin::handleDCPSSubscriptionReader(RTPS::SampleInfo&, const uint32_t[3],
                                                       uint32_t,
                                                       std::unique_lock<std::recursive_mutex>&) {}

uint32_t DSSubscriberBuiltin::getNewRemotePubID() {
    if ((m_nextRemotePubId & 0xFFFFFF) == 0xFFFFFF)
        return 0;
    return m_nextRemotePubId++;
}

void DSSubscriberBuiltin::participantLostByRTPS(const uint32_t prefix[3]) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto it = m_remoteParticipants.find(keyOf(prefix));
    if (it == m_remoteParticipants.end() || (it->second.flags & RemoteDP::REMOVED))
        return;
    it->second.flags |= RemoteDP::LOST;
    it->second.participantTime = m_participant.clock().now();
}

void DSSubscriberBuiltin::assertLiveliness(const uint32_t prefix[3], bool writerLevel) {
    Pending pending;
    Time_t now;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        // Only the sample handlers make participants: a late assertion after erasure would
        // otherwise leave an entry nothing ever removes.
        auto it = m_remoteParticipants.find(keyOf(prefix));
        if (it == m_remoteParticipants.end())
            return;
        RemoteDP& dp = it->second;
        now = m_participant.clock().now();
        if (writerLevel)
            dp.writerLivelinessTime = now;
        else
            dp.participantTime = now;
        for (const auto& [entityId, rdw] : dp.writers)
            if (rdw.reader)
                pending.emplace_back(entityId, rdw.reader);
    }
    DomainSubscriber* subscriber = m_participant.subscriber();
    if (subscriber == nullptr)
        return;
    for (const auto& [entityId, reader] : pending)
        subscriber->assertLiveliness(reader, prefix, entityId, now, writerLevel);
}

void DSSubscriberBuiltin::discoverDWforNewReader(DSReader* reader, const std::string& topicName) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& [key, dp] : m_remoteParticipants) {
        if (dp.flags & RemoteDP::REMOVED)
            continue;
        for (auto& [entityId, rdw] : dp.writers) {
            if (rdw.lost || rdw.remotePubId == 0 || rdw.data.topic_name != topicName)
                continue;
            if (reader->discoverDW(&rdw, key.value, entityId, rdw.data))
                rdw.reader = reader;
        }
    }
}

void DSSubscriberBuiltin::forgetReader(DSReader* reader) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& [key, dp] : m_remoteParticipants)
        for (auto& [entityId, rdw] : dp.writers)
            if (rdw.reader == reader)
                rdw.reader = nullptr;
}

DSReaderHost::Lookup DSSubscriberBuiltin::getRemotePublisher(const uint32_t prefix[3],
                                                             uint32_t entityId, DSReader* reader,
                                                             DSReaderHost::Publication& out) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    out = DSReaderHost::Publication{};
    auto dp = m_remoteParticipants.find(keyOf(prefix));
    if (dp == m_remoteParticipants.end())
        return DSReaderHost::Lookup::Unknown;
    if (dp->second.flags & RemoteDP::REMOVED)
        return DSReaderHost::Lookup::Lost;
    auto w = dp->second.writers.find(entityId);
    if (w == dp->second.writers.end() || w->second.remotePubId == 0)
        return DSReaderHost::Lookup::Unknown;
    RemoteDW& rdw = w->second;
    if (rdw.lost)
        return DSReaderHost::Lookup::Lost;
    if (reader)
        rdw.reader = reader;
    out.rdw = &rdw;
    out.remotePubId = rdw.remotePubId;
    out.data = &rdw.data;
    return DSReaderHost::Lookup::Found;
}

void DSSubscriberBuiltin::collectGarbage() {
    std::lock_guard<std::recursive_mutex> domainGuard(m_participant.lock());
    std::vector<std::pair<vexa::dds::BuiltinTopicKey_t, Pending>> retired;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        for (auto it = m_remoteParticipants.begin(); it != m_remoteParticipants.end();) {
            if (it->second.flags & RemoteDP::REMOVED) {
                it = m_remoteParticipants.erase(it);
                continue;
            }
            auto& writers = it->second.writers;
            for (auto w = writers.begin(); w != writers.end();)
                w = w->second.lost ? writers.erase(w) : std::next(w);
            ++it;
        }
        // Seconds only: a participant is kept from its last loss report or participant-level
        // assertion until more than the whole period has passed.
        const Time_t now = m_participant.clock().now();
        for (auto& [key, dp] : m_remoteParticipants) {
            if (!(dp.flags & RemoteDP::LOST) ||
                int64_t(dp.participantTime.sec) + LOST_PARTICIPANT_KEPT_S >= int64_t(now.sec))
                continue;
            dp.flags |= RemoteDP::REMOVED;
            Pending pending;
            looseWriters(dp, pending);
            if (!pending.empty())
                retired.emplace_back(key, std::move(pending));
        }
    }
    for (const auto& [key, pending] : retired)
        looseAll(key.value, pending);
}

const RemoteDP* DSSubscriberBuiltin::findParticipant(const uint32_t prefix[3]) const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto it = m_remoteParticipants.find(keyOf(prefix));
    return it == m_remoteParticipants.end() ? nullptr : &it->second;
}

std::string DSSubscriberBuiltin::checkInvariants() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::set<uint32_t> ids;
    for (const auto& [key, dp] : m_remoteParticipants) {
        for (const auto& [entityId, rdw] : dp.writers) {
            if (rdw.remotePubId == 0 && !rdw.lost)
                return "a known writer without a publication id";
            if (rdw.remotePubId != 0 && rdw.participant != &dp)
                return "a writer names another participant";
            if (rdw.lost && rdw.reader)
                return "a lost writer still has a reader";
            if ((dp.flags & RemoteDP::REMOVED) && !rdw.lost)
                return "a removed participant has a live writer";
            if (rdw.remotePubId != 0 && !ids.insert(rdw.remotePubId).second)
                return "two writers share a publication id";
            if (rdw.remotePubId >= m_nextRemotePubId)
                return "a publication id not yet given out";
        }
        for (const auto& [name, rt] : dp.topics)
            if (!rt.data.name.empty() && rt.data.name != name)
                return "a topic filed under another name";
    }
    return {};
}

}  // namespace vexa::ds
