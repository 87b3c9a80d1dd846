#include "ds/store/DSReader.h"

#include <cstdarg>
#include <cstring>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSTimeService.h"

namespace vexa::ds {

using vexa::dds::Duration_t;
using vexa::dds::Time_t;

namespace {

constexpr const char* MODULE = "DS::DSReader::ddsisampleHandler";
constexpr uint32_t INSTANCES_GROWTH = 10;
// Compaction pays only when fewer than half of more than this many slots are used.
constexpr size_t COMPACTION_SLOTS = 100;

void log(int severity, unsigned id, ...) {
    va_list args;
    va_start(args, id);
    vexalog::Logger::getLogger().vlogMessage(MODULE, severity, id, args);
    va_end(args);
}

bool isInvalid(Time_t t) {
    return t == vexa::dds::TIME_INVALID;
}

uint32_t millis(Time_t t) {
    return isInvalid(t) ? 0 : t.nanosec / 1000000;
}

void halves(const vexa::dds::KeyHash_t& k, uint64_t& lo, uint64_t& hi) {
    std::memcpy(&lo, k.hash, 8);
    std::memcpy(&hi, k.hash + 8, 8);
}

// Lowered to `v` only when 1 <= v < limit.
int32_t lowered(int32_t limit, int32_t v) {
    return (v >= 1 && v < limit) ? v : limit;
}

}  // namespace

size_t DSReader::KeyHasher::operator()(const KeyHash& k) const {
    uint64_t lo, hi;
    halves(k, lo, hi);
    return size_t(lo ^ (hi * 2));
}

bool DSReader::KeyLess::operator()(const KeyHash& a, const KeyHash& b) const {
    uint64_t alo, ahi, blo, bhi;
    halves(a, alo, ahi);
    halves(b, blo, bhi);
    return alo < blo || (alo == blo && ahi < bhi);
}

bool DSReader::RemoteDW::isStrongerThan(const RemoteDW& o) const {
    if (strength != o.strength) {
        return strength > o.strength;
    }
    uint64_t a[2], b[2];
    std::memcpy(a, guid.data(), 16);
    std::memcpy(b, o.guid.data(), 16);
    if (a[0] != b[0]) {
        return a[0] > b[0];
    }
    return a[1] >= b[1];
}

DSReader::DSReader(DSReaderHost& host, const vexa::dds::TopicBuiltinTopicData& topic, uint32_t id)
    : m_host(host), m_id(id), m_topicName(topic.name) {
    const auto& ds = topic.durability_service;
    m_qos.durability = topic.durability;
    m_qos.deadline = topic.deadline;
    m_qos.latency_budget = topic.latency_budget;
    m_qos.liveliness = topic.liveliness;
    m_qos.reliability = topic.reliability;
    m_qos.destination_order = topic.destination_order;
    m_qos.ownership = topic.ownership;
    m_qos.history.kind = ds.history_kind;
    m_qos.history.depth = ds.history_depth;
    m_qos.resource_limits.max_samples = ds.max_samples;
    m_qos.resource_limits.max_instances = ds.max_instances;
    m_qos.resource_limits.max_samples_per_instance = ds.max_samples_per_instance;
    m_qos.user_data.value.assign({'D', 'S'});
    m_qos.time_based_filter.minimum_separation = vexa::dds::DURATION_ZERO;
    m_qos.reader_data_lifecycle.autopurge_nowriter_samples_delay = vexa::dds::DURATION_INFINITE;
    m_qos.reader_data_lifecycle.autopurge_disposed_samples_delay = vexa::dds::DURATION_INFINITE;

    m_maxSamples = host.maxSamplesPerReader();
    m_maxSamples = lowered(m_maxSamples, ds.max_samples);
    m_maxInstances = lowered(m_maxSamples, ds.max_instances);
    m_maxSamplesPerInstance = lowered(m_maxSamples, ds.max_samples_per_instance);
    m_depth = m_maxSamplesPerInstance;
    if (ds.history_kind == vexa::dds::KEEP_LAST_HISTORY_QOS) {
        m_depth = lowered(m_depth, ds.history_depth);
    }
    m_exclusive = topic.ownership.kind == vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;
    m_lifespan = topic.lifespan.duration;
    m_hasLifespan = m_lifespan.sec != 0x7FFFFFFF;
    m_cleanupDelay = ds.service_cleanup_delay;
    m_cleanupEnabled = m_cleanupDelay != vexa::dds::DURATION_ZERO;

    m_lastLivelinessCheck = host.now();
    m_lastDeadlineCheck = m_lastLivelinessCheck;
    m_instances.reserve(topic.type_name.empty() ? 1 : INSTANCES_GROWTH);

    auto& sd = m_subscriptionData;
    sd.key.value[0] = id & 0xFFFFFF;
    sd.topic_name = topic.name;
    sd.type_name = topic.type_name;
    sd.durability = m_qos.durability;
    sd.deadline = m_qos.deadline;
    sd.latency_budget = m_qos.latency_budget;
    sd.liveliness = m_qos.liveliness;
    sd.reliability = m_qos.reliability;
    sd.ownership = m_qos.ownership;
    sd.destination_order = m_qos.destination_order;
    sd.user_data = m_qos.user_data;
    sd.time_based_filter = m_qos.time_based_filter;
    const auto& sq = host.subscriberQos();
    sd.presentation = sq.presentation;
    sd.partition = sq.partition;
    sd.group_data = sq.group_data;
    sd.topic_data = topic.topic_data;
}

DSReader::~DSReader() {
    m_acceptors.clear();
    m_samples.deleteAll();
}

bool DSReader::elapsed(Time_t t) const {
    return !isInvalid(t) && !(m_host.now() < t);
}

DSReader::Guid DSReader::makeGuid(const uint32_t prefix[3], uint32_t entityId) {
    return Guid{prefix[0], prefix[1], prefix[2], entityId};
}

int32_t DSReader::findWriter(const uint32_t prefix[3], uint32_t entityId) const {
    auto it = m_writerIndex.find(makeGuid(prefix, entityId));
    return it == m_writerIndex.end() ? -1 : it->second;
}

// ---- intake ----------------------------------------------------------------------------------

int DSReader::ddsisampleHandler(RTPS::SampleInfo& si, const uint32_t prefix[3], uint32_t entityId) {
    // Room is made only once the sample is known to be stored (step 6 below), so a sample
    // that is then dropped never evicts history.
    const int32_t w = locateRDWforReceivedSample(prefix, entityId);
    if (w >= 0 && (m_writers[w].flags & (DW_TIMING_MISMATCH | DW_QOS_MISMATCH)) != 0) {
        return SAMPLE_DROPPED;
    }
    const int32_t i = locateInstanceforReceivedSample(si, w);
    if (i < 0) {
        log(3, vexares::DS_MSG_INSTANCE_REFUSED, m_topicName.c_str(),
            (long long)((int64_t(si.sequenceNumber.high) << 32) | si.sequenceNumber.low));
        return SAMPLE_DROPPED;
    }
    InstanceCB& inst = m_instances[i];
    if (m_exclusive) {
        if (inst.owner >= 0) {
            if (w < 0) {
                return SAMPLE_DROPPED;
            }
            if (w != inst.owner && !m_writers[w].isStrongerThan(m_writers[inst.owner])) {
                log(7, vexares::DS_MSG_NOT_OWNER, m_topicName.c_str(), int(w));
                if ((si.statusFlags & RTPS::SAMPLE_UNREGISTERED) && si.instanceHandle != 0) {
                    removeInstanceForDW(w, si.instanceHandle);
                }
                return SAMPLE_DROPPED;
            }
            if (w != inst.owner) {
                inst.owner = w;
                log(6, vexares::DS_MSG_OWNER_CHANGED, int(w), m_topicName.c_str());
            }
        } else if (w >= 0) {
            inst.owner = w;
            log(6, vexares::DS_MSG_OWNER_CHANGED, int(w), m_topicName.c_str());
        }
    }
    if (si.statusFlags & RTPS::SAMPLE_UNREGISTERED) {
        m_instances[i].owner = -1;
        log(7, vexares::DS_MSG_OWNER_RELEASED, m_topicName.c_str());
        if (w >= 0 && si.instanceHandle != 0) {
            removeInstanceForDW(w, si.instanceHandle);
        }
        if (m_instances[i].writerCount == 0) {
            updateState(i, si.statusFlags);
        }
        if ((si.statusFlags & RTPS::SAMPLE_DISPOSED) == 0) {
            return SAMPLE_STATE_ONLY;
        }
    }
    if (m_totalSamples >= uint32_t(m_maxSamples) && !deleteOutdatedSamplesDueLifespan()) {
        // Said once per topic, where the default level shows it: a late reader gets only the
        // newest samples from here on although every one was acknowledged.
        if (!m_storeFullReported) {
            m_storeFullReported = true;
            vexalog::Logger::getLogger().logMessage("DS::DSReader::supplantMostOldSample", 3,
                                                    vexares::DS_MSG_STORE_FULL, m_topicName.c_str(),
                                                    int(m_maxSamples));
        }
        supplantMostOldSample();
    }
    addSample(i, si, w, prefix, entityId);
    const int32_t st = m_instances[i].state;
    if ((st & RTPS::SAMPLE_DISPOSED) && (st & RTPS::SAMPLE_UNREGISTERED)) {
        if (m_cleanupEnabled) {
            const Time_t t = DSTimeService::addInterval(m_host.now(), m_cleanupDelay);
            if (DSTimeService::isNewTimeLess(t, m_nextCleanupCheck)) {
                m_nextCleanupCheck = t;
            }
        } else {
            deleteSamplesForInstance(i);
            removeInstance(i);
        }
    }
    return SAMPLE_STORED;
}

int32_t DSReader::locateRDWforReceivedSample(const uint32_t prefix[3], uint32_t entityId) {
    int32_t w = findWriter(prefix, entityId);
    if (w < 0) {
        DSReaderHost::Publication pub;
        const auto r = m_host.getRemotePublisher(prefix, entityId, this, pub);
        // An unknown writer's samples are stored with writer -1, since discovery can lag behind
        // the data; so are a lost writer's, since the engine took and acknowledged them
        // before its departure reached the store.
        if (r != DSReaderHost::Lookup::Found || pub.data == nullptr || pub.remotePubId == 0) {
            return -1;
        }
        RemoteDW d;
        d.guid = makeGuid(prefix, entityId);
        d.domainRecord = pub.rdw;
        d.remotePubId = pub.remotePubId;
        d.strength = m_exclusive ? pub.data->ownership_strength.value : 0;
        d.livelinessKind = pub.data->liveliness.kind;
        d.lifespan = pub.data->lifespan.duration;
        d.flags = DW_KNOWN;
        w = int32_t(m_writers.size());
        m_writers.push_back(std::move(d));
        m_writerIndex[m_writers.back().guid] = w;
    }
    m_writers[w].livelinessTime = m_host.now();
    changeRDWliveliness(w, m_writers[w].flags | DW_KNOWN | DW_ALIVE);
    return w;
}

int32_t DSReader::locateInstanceforReceivedSample(const RTPS::SampleInfo& si, int32_t writer) {
    int32_t i = -1;
    if (writer >= 0 && si.instanceHandle != 0) {
        auto& map = m_writers[writer].instances;
        auto it = map.find(si.instanceHandle);
        if (it != map.end()) {
            i = int32_t(it->second);
        }
    }
    if (i < 0) {
        KeyHash key;
        std::memcpy(key.hash, si.keyHash, sizeof key.hash);
        auto it = m_instanceIndex.find(key);
        if (it != m_instanceIndex.end()) {
            i = int32_t(it->second);
        } else {
            i = addInstance(key);
            if (i < 0) {
                return -1;
            }
        }
        if (writer >= 0 && si.instanceHandle != 0) {
            addInstanceForDW(writer, si.instanceHandle, uint32_t(i));
        }
    }
    InstanceCB& inst = m_instances[i];
    if (inst.removed()) {
        if (m_instanceCount >= uint32_t(m_maxInstances)) {
            removeLostInstances();
            if (m_instanceCount >= uint32_t(m_maxInstances)) {
                return -1;
            }
        }
        inst.state = 0;
        ++m_instanceCount;
    }
    return i;
}

int32_t DSReader::addInstance(const KeyHash& key) {
    if (m_instanceCount >= uint32_t(m_maxInstances)) {
        removeLostInstances();
        if (m_instanceCount >= uint32_t(m_maxInstances)) {
            return -1;
        }
    }
    if (m_instances.size() == m_instances.capacity()) {
        m_instances.reserve(m_instances.size() + INSTANCES_GROWTH);
    }
    InstanceCB inst;
    inst.key = key;
    m_instances.push_back(inst);
    const uint32_t i = uint32_t(m_instances.size() - 1);
    m_instanceIndex[key] = i;
    ++m_instanceCount;
    return int32_t(i);
}

void DSReader::addInstanceForDW(int32_t writer, int32_t handle, uint32_t instance) {
    RemoteDW& d = m_writers[writer];
    auto r = d.instances.emplace(handle, instance);
    if (r.second && (d.flags & DW_ALIVE)) {
        ++m_instances[instance].writerCount;
    }
}

bool DSReader::removeInstanceForDW(int32_t writer, int32_t handle) {
    RemoteDW& d = m_writers[writer];
    auto it = d.instances.find(handle);
    if (it == d.instances.end()) {
        return false;
    }
    InstanceCB& inst = m_instances[it->second];
    if ((d.flags & DW_ALIVE) && inst.writerCount > 0) {
        --inst.writerCount;
    }
    d.instances.erase(it);
    return true;
}

void DSReader::updateState(uint32_t i, uint32_t statusFlags) {
    InstanceCB& inst = m_instances[i];
    const int32_t st = int32_t(statusFlags & 0xFFFF) | (inst.state & INSTANCE_REMOVED);
    if (statusFlags & RTPS::SAMPLE_ALIVE) {
        inst.lastAliveTime = m_host.now();
    }
    if (st != inst.state && (st & RTPS::SAMPLE_DISPOSED) && (st & RTPS::SAMPLE_UNREGISTERED)) {
        inst.disposeTime = m_host.now();
    }
    inst.state = st;
}

void DSReader::removeInstance(uint32_t i) {
    InstanceCB& inst = m_instances[i];
    if (!inst.removed()) {
        --m_instanceCount;
    }
    inst.state |= INSTANCE_REMOVED;
    inst.owner = -1;
    inst.writerCount = 0;
    for (auto& d : m_writers) {
        for (auto it = d.instances.begin(); it != d.instances.end();) {
            it = it->second == i ? d.instances.erase(it) : std::next(it);
        }
    }
    log(7, vexares::DS_MSG_INSTANCE_REMOVED, int(i), m_topicName.c_str());
}

void DSReader::removeLostInstances() {
    for (uint32_t i = 0; i < m_instances.size(); ++i) {
        const InstanceCB& inst = m_instances[i];
        if (!inst.removed() && (inst.state & RTPS::SAMPLE_DISPOSED) &&
            (inst.state & RTPS::SAMPLE_UNREGISTERED) && inst.sampleCount == 0) {
            removeInstance(i);
        }
    }
}

// ---- samples ---------------------------------------------------------------------------------

void DSReader::addSample(uint32_t i, RTPS::SampleInfo& si, int32_t writer, const uint32_t prefix[3],
                         uint32_t entityId) {
    if (m_instances[i].sampleCount >= uint32_t(m_depth)) {
        deleteMostOldInstanceSample(i);
    }
    const Duration_t span = writer >= 0 ? m_writers[writer].lifespan : m_lifespan;
    const Time_t expiry = DSTimeService::addInterval(m_host.now(), span);
    si.statusFlags |= STORED_FLAG;

    // The data is copied into a block the shared record owns, so the engine may keep the
    // record after the store let it go.
    struct Owned : RTPS::HistoricalSampleInfo {
        std::vector<uint8_t> bytes;
    };
    auto h = std::make_shared<Owned>();
    std::memcpy(h->keyHash, si.keyHash, sizeof h->keyHash);
    h->instanceHandle = si.instanceHandle;
    h->statusFlags = si.statusFlags;
    h->sourceTimestamp = si.sourceTimestamp;
    if (si.data != nullptr && si.length > 0) {
        h->bytes.assign(static_cast<const uint8_t*>(si.data),
                        static_cast<const uint8_t*>(si.data) + si.length);
    }
    h->data = h->bytes.empty() ? nullptr : h->bytes.data();
    h->dataLength = h->bytes.size();
    h->sequenceNumber = si.sequenceNumber;
    std::memcpy(h->writerGuidPrefix, prefix, sizeof h->writerGuidPrefix);
    h->writerEntityId = entityId;

    auto* s = new HistorySampleCB;
    s->sample = std::move(h);
    s->expiry = expiry;
    s->hasExpiry = !isInvalid(expiry);
    s->instance = i;
    s->writer = writer;
    m_samples.push_back(s);

    if (DSTimeService::isNewTimeLess(expiry, m_earliestExpiry)) {
        m_earliestExpiry = expiry;
    }
    updateState(i, si.statusFlags);
    ++m_totalSamples;
    ++m_instances[i].sampleCount;
    log(7, vexares::DS_MSG_SAMPLE_STORED, m_topicName.c_str(), int(si.sourceTimestamp.sec),
        unsigned(millis(si.sourceTimestamp)), (unsigned long long)si.length,
        unsigned(writer >= 0 ? m_writers[writer].remotePubId : 0));
    for (auto& a : m_acceptors) {
        if (a.second == nullptr) {
            a.second = s;
        }
    }
}

UserListItem* DSReader::deleteSample(HistorySampleCB* s) {
    InstanceCB& inst = m_instances[s->instance];
    --inst.sampleCount;
    --m_totalSamples;
    const Time_t ts = s->sample->sourceTimestamp;
    log(7, vexares::DS_MSG_SAMPLE_DELETED, int(s->instance), m_topicName.c_str(), int(ts.sec),
        unsigned(millis(ts)));
    auto* following = static_cast<HistorySampleCB*>(m_samples.remove(s));
    for (auto& a : m_acceptors) {
        if (a.second == s) {
            a.second = following;
        }
    }
    delete s;
    return following;
}

void DSReader::deleteMostOldInstanceSample(uint32_t i) {
    for (UserListItem* it = m_samples.head(); it != nullptr; it = m_samples.next(it)) {
        auto* s = static_cast<HistorySampleCB*>(it);
        if (s->instance == i) {
            deleteSample(s);
            return;
        }
    }
}

void DSReader::supplantMostOldSample() {
    for (UserListItem* it = m_samples.head(); it != nullptr; it = m_samples.next(it)) {
        auto* s = static_cast<HistorySampleCB*>(it);
        if (m_instances[s->instance].sampleCount >= 2) {
            deleteSample(s);
            return;
        }
    }
    if (m_samples.head() != nullptr) {
        deleteSample(static_cast<HistorySampleCB*>(m_samples.head()));
    }
}

bool DSReader::deleteOutdatedSamplesDueLifespan() {
    if (!m_hasLifespan || !elapsed(m_earliestExpiry)) {
        return false;
    }
    bool deleted = false;
    Time_t earliest = vexa::dds::TIME_INVALID;
    for (UserListItem* it = m_samples.head(); it != nullptr;) {
        auto* s = static_cast<HistorySampleCB*>(it);
        if (s->hasExpiry && elapsed(s->expiry)) {
            it = deleteSample(s);
            deleted = true;
            continue;
        }
        if (s->hasExpiry && DSTimeService::isNewTimeLess(s->expiry, earliest)) {
            earliest = s->expiry;
        }
        it = m_samples.next(it);
    }
    m_earliestExpiry = earliest;
    return deleted;
}

void DSReader::deleteSamplesForInstance(uint32_t i) {
    for (UserListItem* it = m_samples.head(); it != nullptr;) {
        auto* s = static_cast<HistorySampleCB*>(it);
        it = s->instance == i ? deleteSample(s) : m_samples.next(it);
    }
}

// ---- writers ---------------------------------------------------------------------------------

uint32_t DSReader::timingFlags(const vexa::dds::DeadlineQosPolicy& d,
                               const vexa::dds::LatencyBudgetQosPolicy& l) const {
    return (d.period > m_qos.deadline.period || l.duration > m_qos.latency_budget.duration)
               ? DW_TIMING_MISMATCH
               : 0;
}

bool DSReader::discoverDW(const vexa::ds::RemoteDW* rdw, const uint32_t prefix[3],
                          uint32_t entityId, const vexa::dds::PublicationBuiltinTopicData& pub) {
    if (pub.topic_name != m_topicName || findWriter(prefix, entityId) >= 0) {
        return false;
    }
    RemoteDW d;
    d.guid = makeGuid(prefix, entityId);
    d.domainRecord = rdw;
    d.strength = m_exclusive ? pub.ownership_strength.value : 0;
    d.livelinessKind = pub.liveliness.kind;
    d.lifespan = pub.lifespan.duration;
    d.livelinessTime = m_host.now();

    const auto& sp = m_subscriptionData.presentation;
    const bool permanent = pub.durability.kind < m_qos.durability.kind ||
                           pub.liveliness.kind < m_qos.liveliness.kind ||
                           pub.liveliness.lease_duration > m_qos.liveliness.lease_duration ||
                           pub.destination_order.kind < m_qos.destination_order.kind ||
                           pub.reliability.kind < m_qos.reliability.kind ||
                           pub.ownership.kind != m_qos.ownership.kind ||
                           pub.presentation.access_scope < sp.access_scope ||
                           (sp.coherent_access && !pub.presentation.coherent_access) ||
                           (sp.ordered_access && !pub.presentation.ordered_access);
    if (permanent) {
        d.flags = DW_KNOWN | DW_QOS_MISMATCH;
    } else if (timingFlags(pub.deadline, pub.latency_budget) != 0) {
        d.flags = DW_KNOWN | DW_TIMING_MISMATCH;
    } else {
        d.flags = DW_KNOWN | DW_ALIVE;
    }
    if (d.flags == (DW_KNOWN | DW_ALIVE)) {
        log(4, vexares::DS_MSG_WRITER_MATCHED, m_topicName.c_str());
    } else {
        log(4, vexares::DS_MSG_WRITER_INCOMPATIBLE, m_topicName.c_str());
    }
    m_writers.push_back(std::move(d));
    m_writerIndex[m_writers.back().guid] = int32_t(m_writers.size() - 1);
    return true;
}

void DSReader::changeDWQoS(const uint32_t prefix[3], uint32_t entityId,
                           const vexa::dds::DeadlineQosPolicy& deadline,
                           const vexa::dds::LatencyBudgetQosPolicy& latency,
                           const vexa::dds::LifespanQosPolicy& lifespan,
                           const vexa::dds::OwnershipStrengthQosPolicy& strength) {
    const int32_t w = findWriter(prefix, entityId);
    if (w < 0) {
        return;
    }
    RemoteDW& d = m_writers[w];
    d.lifespan = lifespan.duration;
    d.strength = m_exclusive ? strength.value : 0;
    if (d.flags & DW_QOS_MISMATCH) {
        return;
    }
    const bool bad = timingFlags(deadline, latency) != 0;
    if (bad && !(d.flags & DW_TIMING_MISMATCH)) {
        changeRDWliveliness(w, (d.flags | DW_TIMING_MISMATCH) & ~DW_ALIVE);
    } else if (!bad && (d.flags & DW_TIMING_MISMATCH)) {
        changeRDWliveliness(w, (d.flags & ~DW_TIMING_MISMATCH) | DW_ALIVE);
    }
}

void DSReader::changeRDWliveliness(int32_t w, uint32_t newFlags) {
    RemoteDW& d = m_writers[w];
    const bool was = d.usable();
    d.flags = newFlags;
    const bool is = d.usable();
    if (was && !is) {
        for (const auto& m : d.instances) {
            InstanceCB& inst = m_instances[m.second];
            if (inst.writerCount > 0) {
                --inst.writerCount;
            }
            if (inst.owner == w) {
                inst.owner = -1;
                log(7, vexares::DS_MSG_OWNER_RELEASED, m_topicName.c_str());
            }
            if (inst.writerCount == 0) {
                sampleNoDW(m.second);
            }
        }
    } else if (!was && is) {
        for (const auto& m : d.instances) {
            ++m_instances[m.second].writerCount;
        }
    }
    if (newFlags == 0) {
        log(7, vexares::DS_MSG_WRITER_LOST, m_topicName.c_str());
    }
}

void DSReader::sampleNoDW(uint32_t i) {
    InstanceCB& inst = m_instances[i];
    inst.state = (inst.state & INSTANCE_REMOVED) | RTPS::SAMPLE_UNREGISTERED;
}

void DSReader::looseDW(const uint32_t prefix[3], uint32_t entityId) {
    const int32_t w = findWriter(prefix, entityId);
    if (w < 0) {
        return;
    }
    if (m_writers[w].usable()) {
        log(4, vexares::DS_MSG_WRITER_GONE, m_topicName.c_str());
    }
    changeRDWliveliness(w, 0);
    log(7, vexares::DS_MSG_WRITER_FORGOTTEN, m_topicName.c_str());
    m_writers[w].instances.clear();
    m_writerIndex.erase(m_writers[w].guid);
}

void DSReader::assertLiveliness(const uint32_t prefix[3], uint32_t entityId) {
    const int32_t w = findWriter(prefix, entityId);
    if (w < 0) {
        return;
    }
    RemoteDW& d = m_writers[w];
    if ((d.flags & DW_KNOWN) && !(d.flags & (DW_TIMING_MISMATCH | DW_QOS_MISMATCH))) {
        d.livelinessTime = m_host.now();
        changeRDWliveliness(w, d.flags | DW_KNOWN | DW_ALIVE);
    }
}

void DSReader::assertLiveliness(const uint32_t prefix[3], uint32_t entityId, Time_t t,
                                bool writerLevel) {
    const int32_t w = findWriter(prefix, entityId);
    if (w < 0) {
        return;
    }
    RemoteDW& d = m_writers[w];
    const bool kindApplies =
        d.livelinessKind == vexa::dds::AUTOMATIC_LIVELINESS_QOS ||
        (writerLevel && d.livelinessKind == vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS);
    if (kindApplies && (d.flags & DW_KNOWN) &&
        !(d.flags & (DW_TIMING_MISMATCH | DW_QOS_MISMATCH))) {
        d.livelinessTime = t;
        changeRDWliveliness(w, d.flags | DW_KNOWN | DW_ALIVE);
    }
}

void DSReader::checkLiveliness() {
    const Duration_t lease = m_qos.liveliness.lease_duration;
    if (lease == vexa::dds::DURATION_INFINITE ||
        !elapsed(DSTimeService::addInterval(m_lastLivelinessCheck, lease))) {
        return;
    }
    m_lastLivelinessCheck = m_host.now();
    for (size_t w = 0; w < m_writers.size(); ++w) {
        RemoteDW& d = m_writers[w];
        if ((d.flags & 0xF) == (DW_KNOWN | DW_ALIVE) &&
            elapsed(DSTimeService::addInterval(d.livelinessTime, lease))) {
            changeRDWliveliness(int32_t(w), d.flags & ~DW_ALIVE);
        }
    }
}

void DSReader::checkDeadline() {
    const Duration_t period = m_qos.deadline.period;
    if (period == vexa::dds::DURATION_INFINITE ||
        !elapsed(DSTimeService::addInterval(m_lastDeadlineCheck, period))) {
        return;
    }
    m_lastDeadlineCheck = m_host.now();
    for (auto& inst : m_instances) {
        if ((inst.state & RTPS::SAMPLE_ALIVE) && inst.owner >= 0 &&
            elapsed(DSTimeService::addInterval(inst.lastAliveTime, period))) {
            inst.owner = -1;
            log(7, vexares::DS_MSG_OWNER_RELEASED, m_topicName.c_str());
        }
    }
}

void DSReader::removeOutdatedInstances() {
    if (!m_cleanupEnabled || !elapsed(m_nextCleanupCheck)) {
        return;
    }
    m_nextCleanupCheck = vexa::dds::TIME_INVALID;
    for (uint32_t i = 0; i < m_instances.size(); ++i) {
        InstanceCB& inst = m_instances[i];
        if (inst.removed() || !(inst.state & RTPS::SAMPLE_DISPOSED) ||
            !(inst.state & RTPS::SAMPLE_UNREGISTERED)) {
            continue;
        }
        const Time_t due = DSTimeService::addInterval(inst.disposeTime, m_cleanupDelay);
        if (elapsed(due)) {
            deleteSamplesForInstance(i);
            removeInstance(i);
        } else if (DSTimeService::isNewTimeLess(due, m_nextCleanupCheck)) {
            // One still waiting keeps the next check due.
            m_nextCleanupCheck = due;
        }
    }
}

// ---- compaction ------------------------------------------------------------------------------

void DSReader::collectGarbage() {
    if (m_instances.size() > COMPACTION_SLOTS && m_instanceCount < m_instances.size() / 2) {
        reindexInstances();
    }
    removeLostInstances();
    if (m_writers.size() > COMPACTION_SLOTS && m_writerIndex.size() < m_writers.size() / 2) {
        reindexRDWs();
        log(4, vexares::DS_MSG_WRITERS_COMPACTED, m_topicName.c_str());
    }
}

void DSReader::reindexInstances() {
    std::vector<int64_t> map(m_instances.size(), -1);
    std::vector<InstanceCB> kept;
    kept.reserve(m_instanceCount + INSTANCES_GROWTH);
    for (size_t i = 0; i < m_instances.size(); ++i) {
        // A removed instance that still holds samples is kept: its samples name it.
        if (!m_instances[i].removed() || m_instances[i].sampleCount > 0) {
            map[i] = int64_t(kept.size());
            kept.push_back(m_instances[i]);
        }
    }
    m_instances.swap(kept);
    m_instanceIndex.clear();
    for (uint32_t i = 0; i < m_instances.size(); ++i) {
        m_instanceIndex[m_instances[i].key] = i;
    }
    for (UserListItem* it = m_samples.head(); it != nullptr; it = m_samples.next(it)) {
        auto* s = static_cast<HistorySampleCB*>(it);
        s->instance = uint32_t(map[s->instance]);
    }
    for (auto& d : m_writers) {
        for (auto it = d.instances.begin(); it != d.instances.end();) {
            if (map[it->second] < 0) {
                it = d.instances.erase(it);
            } else {
                it->second = uint32_t(map[it->second]);
                ++it;
            }
        }
    }
}

void DSReader::reindexRDWs() {
    std::vector<int32_t> map(m_writers.size(), -1);
    std::vector<RemoteDW> kept;
    for (size_t w = 0; w < m_writers.size(); ++w) {
        if (m_writers[w].flags != 0) {
            map[w] = int32_t(kept.size());
            kept.push_back(std::move(m_writers[w]));
        }
    }
    m_writers.swap(kept);
    m_writerIndex.clear();
    for (size_t w = 0; w < m_writers.size(); ++w) {
        m_writerIndex[m_writers[w].guid] = int32_t(w);
    }
    for (UserListItem* it = m_samples.head(); it != nullptr; it = m_samples.next(it)) {
        auto* s = static_cast<HistorySampleCB*>(it);
        if (s->writer >= 0) {
            s->writer = map[s->writer];
        }
    }
    for (auto& inst : m_instances) {
        if (inst.owner >= 0) {
            inst.owner = map[inst.owner];
        }
    }
}

// ---- history acceptors -----------------------------------------------------------------------

void DSReader::addHistoryAcceptor(const KeyHash& key) {
    m_acceptors[key] = static_cast<HistorySampleCB*>(m_samples.head());
    uint64_t lo, hi;
    halves(key, lo, hi);
    log(6, vexares::DS_MSG_ACCEPTOR_CHANGED, (unsigned long long)lo, (unsigned long long)hi);
}

void DSReader::removeHistoryAcceptor(const KeyHash& key) {
    uint64_t lo, hi;
    halves(key, lo, hi);
    log(6, vexares::DS_MSG_ACCEPTOR_CHANGED, (unsigned long long)lo, (unsigned long long)hi);
    m_acceptors.erase(key);
}

bool DSReader::acceptorCursor(const KeyHash& key, const HistorySampleCB*& cursor) const {
    auto it = m_acceptors.find(key);
    cursor = it == m_acceptors.end() ? nullptr : it->second;
    return it != m_acceptors.end();
}

bool DSReader::hasAliveWriters() const {
    for (const auto& d : m_writers) {
        if ((d.flags & DW_KNOWN) && d.usable()) {
            return true;
        }
    }
    return false;
}

bool DSReader::hasAliveWritersBesidesMe(const KeyHash& key) const {
    for (const auto& d : m_writers) {
        if ((d.flags & DW_KNOWN) && d.usable() && std::memcmp(d.guid.data(), key.hash, 12) != 0) {
            return true;
        }
    }
    return false;
}

bool DSReader::fillHistoryAcceptorSamples(
    bool next, KeyHash& key, std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>& out,
    bool& finished) {
    out.clear();
    finished = false;
    auto it = m_acceptors.end();
    if (!next) {
        deleteOutdatedSamplesDueLifespan();
        it = m_acceptors.begin();
    } else if (!m_walkEnd) {
        // The walk goes on from a key, since acceptors may have gone between calls.
        it = m_acceptors.lower_bound(m_walkNext);
    }
    for (; it != m_acceptors.end(); ++it) {
        if (it->second != nullptr || !hasAliveWritersBesidesMe(it->first)) {
            break;
        }
        uint64_t lo, hi;
        halves(it->first, lo, hi);
        log(7, vexares::DS_MSG_ACCEPTOR_WAITING, (unsigned long long)lo, (unsigned long long)hi,
            m_topicName.c_str());
    }
    if (it == m_acceptors.end()) {
        m_walkEnd = true;
        return false;
    }
    key = it->first;
    for (UserListItem* s = it->second; s != nullptr; s = m_samples.next(s)) {
        const auto& h = static_cast<HistorySampleCB*>(s)->sample;
        if (std::memcmp(h->writerGuidPrefix, key.hash, 12) != 0) {
            out.push_back(h);
        }
    }
    auto following = std::next(it);
    if (out.empty() && !hasAliveWritersBesidesMe(key)) {
        uint64_t lo, hi;
        halves(key, lo, hi);
        log(6, vexares::DS_MSG_ACCEPTOR_FINISHED, (unsigned long long)lo, (unsigned long long)hi,
            m_topicName.c_str());
        m_acceptors.erase(it);
        finished = true;
    } else {
        it->second = nullptr;
    }
    m_walkEnd = following == m_acceptors.end();
    if (!m_walkEnd) {
        m_walkNext = following->first;
    }
    return true;
}

// ---- checks ----------------------------------------------------------------------------------

std::string DSReader::checkInvariants() const {
    if (m_totalSamples != m_samples.count()) {
        return "totalSamples differs from the list";
    }
    if (m_totalSamples > uint32_t(m_maxSamples)) {
        return "more samples than maxSamples";
    }
    if (m_instanceCount > uint32_t(m_maxInstances)) {
        return "more instances than maxInstances";
    }
    std::vector<uint32_t> perInstance(m_instances.size(), 0);
    for (UserListItem* it = m_samples.head(); it != nullptr; it = m_samples.next(it)) {
        auto* s = static_cast<HistorySampleCB*>(it);
        if (s->instance >= m_instances.size()) {
            return "sample names a missing instance";
        }
        if (s->writer >= int32_t(m_writers.size())) {
            return "sample names a missing writer";
        }
        ++perInstance[s->instance];
    }
    uint32_t live = 0;
    for (size_t i = 0; i < m_instances.size(); ++i) {
        const InstanceCB& inst = m_instances[i];
        if (inst.sampleCount != perInstance[i]) {
            return "instance sampleCount differs from the list";
        }
        if (inst.sampleCount > uint32_t(m_depth)) {
            return "instance holds more than depth";
        }
        if (inst.owner >= int32_t(m_writers.size())) {
            return "owner names a missing writer";
        }
        auto k = m_instanceIndex.find(inst.key);
        if (k == m_instanceIndex.end() || k->second != i) {
            return "key index disagrees with the instances";
        }
        live += inst.removed() ? 0 : 1;
    }
    if (live != m_instanceCount || m_instanceIndex.size() != m_instances.size()) {
        return "instance counts disagree";
    }
    for (const auto& g : m_writerIndex) {
        if (g.second < 0 || size_t(g.second) >= m_writers.size() ||
            m_writers[g.second].guid != g.first) {
            return "writer index disagrees with the writers";
        }
    }
    for (const auto& d : m_writers) {
        for (const auto& m : d.instances) {
            if (m.second >= m_instances.size()) {
                return "writer maps a missing instance";
            }
        }
    }
    for (const auto& a : m_acceptors) {
        if (a.second == nullptr) {
            continue;
        }
        bool found = false;
        for (UserListItem* it = m_samples.head(); it != nullptr && !found;
             it = m_samples.next(it)) {
            found = it == a.second;
        }
        if (!found) {
            return "acceptor cursor not in the list";
        }
    }
    return {};
}

}  // namespace vexa::ds
