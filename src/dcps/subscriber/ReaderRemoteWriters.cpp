// A reader's remote writers: their records, the requested/offered match, the liveliness
// state machine with its counts, and the compaction of the table.
#include <algorithm>
#include <cstring>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"

namespace vexa::dcps {

namespace {

char const MODULE_DISCOVER[] = "DCPS::Reader::discoverDW";
char const MODULE_LOOSE[] = "DCPS::Reader::looseDW";
char const MODULE_LIVELINESS[] = "DCPS::Reader::changeRDWliveliness";
char const MODULE_GC[] = "DCPS::Reader::collectGarbage";

using RDW = Reader::RemoteDW;

std::array<uint32_t, 4> guidOf(unsigned const* prefix, unsigned entityId) {
    return {prefix[0], prefix[1], prefix[2], entityId};
}

void guidHalves(RDW const& w, uint64_t& first, uint64_t& second) {
    uint32_t const guid[4] = {w.guidPrefix[0], w.guidPrefix[1], w.guidPrefix[2], w.entityId};
    std::memcpy(&first, guid, 8);
    std::memcpy(&second, guid + 2, 8);
}

}  // namespace

bool Reader::RemoteDW::isStrongerThan(RemoteDW const& other) const {
    if (strength != other.strength) {
        return strength > other.strength;
    }
    uint64_t a1 = 0;
    uint64_t a2 = 0;
    uint64_t b1 = 0;
    uint64_t b2 = 0;
    guidHalves(*this, a1, a2);
    guidHalves(other, b1, b2);
    if (a1 != b1) {
        return a1 > b1;
    }
    return a2 >= b2;
}

int32_t Reader::findRDW(unsigned const* guidPrefix, unsigned entityId) const {
    auto it = rdwIndex_.find(guidOf(guidPrefix, entityId));
    return it == rdwIndex_.end() ? -1 : it->second;
}

void Reader::countIncompatible(vexa::dds::QosPolicyId_t policy) {
    incompatible_.last_policy_id = policy;
    for (vexa::dds::QosPolicyCount& c : incompatible_.policies) {
        if (c.policy_id == policy) {
            ++c.count;
        }
    }
}

bool Reader::discoverDW(vexa::dcps::RemoteDW* record, unsigned const* guidPrefix, unsigned entityId,
                        vexa::dds::PublicationBuiltinTopicData const& data) {
    if (record == nullptr) {
        return false;
    }
    return enterDW(record, static_cast<int32_t>(record->id), guidPrefix, entityId, data) >= 0;
}

int32_t Reader::enterDW(vexa::dcps::RemoteDW* record, int32_t handle, unsigned const* guidPrefix,
                        unsigned entityId, vexa::dds::PublicationBuiltinTopicData const& data) {
    using namespace vexa::dds;
    if (data.topic_name != topic_->getName()) {
        return -1;
    }
    auto const guid = guidOf(guidPrefix, entityId);
    int32_t index = -1;
    auto it = rdwIndex_.find(guid);
    if (it != rdwIndex_.end()) {
        if (rdws_[it->second].record != nullptr) {
            return -1;  // known and not lost: the same writer told twice
        }
        index = it->second;  // lost before: its slot is taken again
    } else {
        index = static_cast<int32_t>(rdws_.size());
        rdws_.emplace_back();
        rdwIndex_.emplace(guid, index);
    }
    RDW& w = rdws_[index];
    std::copy(guidPrefix, guidPrefix + 3, w.guidPrefix);
    w.entityId = entityId;
    w.record = record;
    w.handle = handle;
    w.flags = 0;
    w.strength = exclusive_ ? data.ownership_strength.value : 0;
    w.livelinessKind = static_cast<uint32_t>(data.liveliness.kind);
    w.aliveTime = getSubscriber()->getTimeService().now();
    w.lifespan = data.lifespan.duration;
    w.instances.clear();
    ++rdwInUse_;

    // Requested (this reader) against offered (the writer).
    bool fixed = false;
    bool changeable = false;
    auto fail = [&](QosPolicyId_t policy, bool canChange) {
        countIncompatible(policy);
        (canChange ? changeable : fixed) = true;
    };
    if (data.durability.kind < qos_.durability.kind) {
        fail(DURABILITY_QOS_POLICY_ID, false);
    }
    if (data.deadline.period > qos_.deadline.period) {
        fail(DEADLINE_QOS_POLICY_ID, true);
    }
    if (data.latency_budget.duration > qos_.latency_budget.duration) {
        fail(LATENCYBUDGET_QOS_POLICY_ID, true);
    }
    if (data.liveliness.kind < qos_.liveliness.kind ||
        data.liveliness.lease_duration > qos_.liveliness.lease_duration) {
        fail(LIVELINESS_QOS_POLICY_ID, false);
    }
    if (data.reliability.kind < qos_.reliability.kind) {
        fail(RELIABILITY_QOS_POLICY_ID, false);
    }
    if (data.destination_order.kind < qos_.destination_order.kind) {
        fail(DESTINATIONORDER_QOS_POLICY_ID, false);
    }
    if (data.ownership.kind != qos_.ownership.kind) {
        fail(OWNERSHIP_QOS_POLICY_ID, false);
    }
    if (!fixed && !changeable) {
        PresentationQosPolicy const& mine = getSubscriber()->qos().presentation;
        if (data.presentation.access_scope < mine.access_scope ||
            (mine.coherent_access && !data.presentation.coherent_access) ||
            (mine.ordered_access && !data.presentation.ordered_access)) {
            fail(PRESENTATION_QOS_POLICY_ID, false);
        }
    }

    auto& log = vexalog::Logger::getLogger();
    char const* const name = topic_->getName().c_str();
    if (!fixed && !changeable) {
        log.logMessage(MODULE_DISCOVER, 4, vexares::DCPS_MSG_REMOTE_WRITER_MATCHED, name,
                       static_cast<uint32_t>(handle));
        ++matched_.total_count;
        ++matched_.total_count_change;
        ++matched_.current_count;
        ++matched_.current_count_change;
        matched_.last_publication_handle = handle;
        set_status_changes(SUBSCRIPTION_MATCHED_STATUS);
        changeRDWliveliness(index, RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    } else {
        log.logMessage(MODULE_DISCOVER, 4, vexares::DCPS_MSG_REMOTE_WRITER_INCOMPATIBLE, name,
                       static_cast<uint32_t>(handle), incompatible_.last_policy_id);
        ++incompatible_.total_count;
        ++incompatible_.total_count_change;
        set_status_changes(REQUESTED_INCOMPATIBLE_QOS_STATUS);
        changeRDWliveliness(index, RDW::RDW_MATCHED | (fixed ? RDW::RDW_INCOMPATIBLE
                                                             : RDW::RDW_INCOMPATIBLE_CHANGEABLE));
    }
    return index;
}

void Reader::recheckChangeable(int32_t index, vexa::dds::Duration_t deadline,
                               vexa::dds::Duration_t latency) {
    using namespace vexa::dds;
    RDW& w = rdws_[index];
    if ((w.flags & RDW::RDW_MATCHED) == 0 || (w.flags & RDW::RDW_INCOMPATIBLE) != 0) {
        return;
    }
    bool const lateDeadline = deadline > qos_.deadline.period;
    bool const lateLatency = latency > qos_.latency_budget.duration;
    bool const wasIncompatible = (w.flags & RDW::RDW_INCOMPATIBLE_CHANGEABLE) != 0;
    uint32_t const base = w.flags & ~(RDW::RDW_ALIVE | RDW::RDW_INCOMPATIBLE_CHANGEABLE);
    if (!lateDeadline && !lateLatency && wasIncompatible) {
        ++matched_.total_count;
        ++matched_.total_count_change;
        ++matched_.current_count;
        ++matched_.current_count_change;
        matched_.last_publication_handle = w.handle;
        set_status_changes(SUBSCRIPTION_MATCHED_STATUS);
        w.aliveTime = getSubscriber()->getTimeService().now();
        changeRDWliveliness(index, base | RDW::RDW_ALIVE);
    } else if ((lateDeadline || lateLatency) && !wasIncompatible) {
        --matched_.current_count;
        --matched_.current_count_change;
        set_status_changes(SUBSCRIPTION_MATCHED_STATUS);
        if (lateDeadline) {
            countIncompatible(DEADLINE_QOS_POLICY_ID);
        }
        if (lateLatency) {
            countIncompatible(LATENCYBUDGET_QOS_POLICY_ID);
        }
        ++incompatible_.total_count;
        ++incompatible_.total_count_change;
        changeRDWliveliness(index, base | RDW::RDW_INCOMPATIBLE_CHANGEABLE);
        set_status_changes(REQUESTED_INCOMPATIBLE_QOS_STATUS);
    }
}

void Reader::changeDWQoS(unsigned const* guidPrefix, unsigned entityId,
                         vexa::dds::DeadlineQosPolicy const& deadline,
                         vexa::dds::LatencyBudgetQosPolicy const& latency,
                         vexa::dds::LifespanQosPolicy const& lifespan,
                         vexa::dds::OwnershipStrengthQosPolicy const& strength) {
    int32_t const index = findRDW(guidPrefix, entityId);
    if (index < 0 || rdws_[index].record == nullptr) {
        return;
    }
    RDW& w = rdws_[index];
    w.lifespan = lifespan.duration;
    if (exclusive_) {
        w.strength = strength.value;
    }
    recheckChangeable(index, deadline.period, latency.duration);
}

void Reader::looseDW(unsigned const* guidPrefix, unsigned entityId) {
    int32_t const index = findRDW(guidPrefix, entityId);
    if (index < 0 || rdws_[index].record == nullptr) {
        return;  // unknown, or lost already
    }
    auto& log = vexalog::Logger::getLogger();
    char const* const name = topic_->getName().c_str();
    RDW& w = rdws_[index];
    if (w.counted()) {
        log.logMessage(MODULE_LOOSE, 4, vexares::DCPS_MSG_REMOTE_WRITER_UNMATCHED, name,
                       static_cast<uint32_t>(w.handle));
        --matched_.current_count;
        --matched_.current_count_change;
        matched_.last_publication_handle = w.handle;
        set_status_changes(vexa::dds::SUBSCRIPTION_MATCHED_STATUS);
    }
    changeRDWliveliness(index, 0);
    log.logMessage(MODULE_LOOSE, 7, vexares::DCPS_MSG_REMOTE_WRITER_GONE, name,
                   static_cast<uint32_t>(w.handle));
    w.record = nullptr;
    w.instances.clear();
    --rdwInUse_;
}

void Reader::assertLiveliness(unsigned const* guidPrefix, unsigned entityId) {
    int32_t const index = findRDW(guidPrefix, entityId);
    if (index < 0 || !rdws_[index].counted()) {
        return;
    }
    RDW& w = rdws_[index];
    w.aliveTime = getSubscriber()->getTimeService().now();
    changeRDWliveliness(index, w.flags | RDW::RDW_MATCHED | RDW::RDW_ALIVE);
}

void Reader::assertLiveliness(unsigned const* guidPrefix, unsigned entityId,
                              vexa::dds::Time_t const& time, bool manual) {
    int32_t const index = findRDW(guidPrefix, entityId);
    if (index < 0 || !rdws_[index].counted()) {
        return;
    }
    RDW& w = rdws_[index];
    bool const renewed =
        w.livelinessKind == vexa::dds::AUTOMATIC_LIVELINESS_QOS ||
        (manual && w.livelinessKind == vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS);
    if (!renewed) {
        return;
    }
    w.aliveTime = time;
    changeRDWliveliness(index, w.flags | RDW::RDW_MATCHED | RDW::RDW_ALIVE);
}

int32_t Reader::locateRDWforReceivedSample(unsigned const* guidPrefix, unsigned entityId) {
    if (getSubscriber()->isBuiltin()) {
        return -1;  // discovery's own readers match no remote writers
    }
    int32_t index = findRDW(guidPrefix, entityId);
    if (index < 0 || rdws_[index].record == nullptr) {
        // Not known here, or lost for discovery: only the built-in subscriber's knowledge
        // (re)creates the record; a writer it does not know stays unknown.
        SubscriberBuiltin* builtin = getSubscriber()->getBuiltinSubscriber();
        if (builtin == nullptr) {
            return -1;
        }
        vexa::dcps::RemoteDW* record = nullptr;
        int32_t handle = 0;
        vexa::dds::PublicationBuiltinTopicData data;
        if (!builtin->getRemotePublisher(guidPrefix, entityId, this, handle, data, record)) {
            return -1;
        }
        index = enterDW(record, handle, guidPrefix, entityId, data);
        if (index < 0) {
            builtin->freeRemotePublisherByReader(record, this);
            return -1;
        }
    }
    RDW& w = rdws_[index];
    if (w.counted()) {
        w.aliveTime = getSubscriber()->getTimeService().now();
        changeRDWliveliness(index, w.flags | RDW::RDW_MATCHED | RDW::RDW_ALIVE);
    }
    return index;
}

void Reader::releaseInstances(int32_t index) {
    auto& log = vexalog::Logger::getLogger();
    // Walks a copy: filing a no-writers sample must not disturb the walk.
    std::map<int32_t, uint32_t> const entries = rdws_[index].instances;
    for (auto const& e : entries) {
        if (e.second >= instances_.size()) {
            continue;
        }
        InstanceCB& instance = instances_[e.second];
        if (instance.removed()) {
            continue;
        }
        if (instance.owner == index) {
            instance.owner = -1;
            log.logMessage(MODULE_LIVELINESS, 7, vexares::DCPS_MSG_INSTANCE_OWNER_LOST,
                           topic_->getName().c_str(), static_cast<uint32_t>(instance.handle));
        }
        if (instance.writers > 0 && --instance.writers == 0) {
            sampleNoDW(static_cast<int32_t>(e.second));
        }
    }
}

void Reader::acquireInstances(int32_t index) {
    for (auto const& e : rdws_[index].instances) {
        if (e.second < instances_.size() && !instances_[e.second].removed()) {
            ++instances_[e.second].writers;
        }
    }
}

void Reader::changeRDWliveliness(int32_t index, uint32_t flags) {
    RDW& w = rdws_[index];
    uint32_t const old = w.flags;
    if ((flags & RDW::RDW_INCOMPATIBLE_ANY) != 0) {
        flags &= ~RDW::RDW_ALIVE;  // an incompatible writer is never alive here
    }
    if (flags == old) {
        return;
    }
    bool const wasCounted = (old & RDW::RDW_MATCHED) != 0 && (old & RDW::RDW_INCOMPATIBLE_ANY) == 0;
    bool const wasAlive = wasCounted && (old & RDW::RDW_ALIVE) != 0;
    bool const counted =
        (flags & RDW::RDW_MATCHED) != 0 && (flags & RDW::RDW_INCOMPATIBLE_ANY) == 0;
    bool const alive = counted && (flags & RDW::RDW_ALIVE) != 0;
    vexa::dds::LivelinessChangedStatus& s = liveliness_;
    auto aliveBy = [&s](int d) {
        s.alive_count += d;
        s.alive_count_change += d;
    };
    auto notAliveBy = [&s](int d) {
        s.not_alive_count += d;
        s.not_alive_count_change += d;
    };
    auto countBy = [&](bool aliveOne, int d) { aliveOne ? aliveBy(d) : notAliveBy(d); };
    char const* state = nullptr;
    bool release = false;
    bool acquire = false;
    if (wasCounted && !counted) {
        countBy(wasAlive, -1);
        release = wasAlive;
        state = (flags & RDW::RDW_MATCHED) == 0 ? "NOT EXIST" : "NOT MATCHED";
    } else if (wasCounted && counted && wasAlive != alive) {
        aliveBy(alive ? 1 : -1);
        notAliveBy(alive ? -1 : 1);
        acquire = alive;
        release = !alive;
        state = alive ? "ALIVE" : "NOT ALIVE";
    } else if (!wasCounted && counted) {
        countBy(alive, 1);
        acquire = alive;
        state = alive ? "MATCHED & ALIVE" : "MATCHED";
    }
    w.flags = flags;
    if (state == nullptr) {
        return;
    }
    // Flags first: the sample that a release files sees the writer gone.
    if (release) {
        releaseInstances(index);
    }
    if (acquire) {
        acquireInstances(index);
    }
    vexalog::Logger::getLogger().logMessage(
        MODULE_LIVELINESS, 7, vexares::DCPS_MSG_REMOTE_WRITER_LIVELINESS,
        static_cast<uint32_t>(rdws_[index].handle), topic_->getName().c_str(), state);
    liveliness_.last_publication_handle = rdws_[index].handle;
    set_status_changes(vexa::dds::LIVELINESS_CHANGED_STATUS);
}

void Reader::checkLiveliness() {
    TimeService const& clock = getSubscriber()->getTimeService();
    vexa::dds::Duration_t const lease = qos_.liveliness.lease_duration;
    if (!clock.isTimeIntervalElapsed(lastLivelinessCheck_, lease)) {
        return;
    }
    for (size_t i = 0; i < rdws_.size(); ++i) {
        RDW const& w = rdws_[i];
        if ((w.flags & 15u) == (RDW::RDW_MATCHED | RDW::RDW_ALIVE) &&
            clock.isTimeIntervalElapsed(w.aliveTime, lease)) {
            changeRDWliveliness(static_cast<int32_t>(i), w.flags & ~RDW::RDW_ALIVE);
        }
    }
    lastLivelinessCheck_ = clock.now();
}

bool Reader::addInstanceForDW(RemoteDW& writer, int32_t writerHandle, uint32_t index) {
    if (writerHandle == 0) {
        return false;
    }
    bool const added = writer.instances.emplace(writerHandle, index).second;
    if (added && (writer.flags & RDW::RDW_ALIVE) != 0 && index < instances_.size()) {
        ++instances_[index].writers;
    }
    return added;
}

bool Reader::removeInstanceForDW(RemoteDW& writer, int32_t writerHandle) {
    auto it = writer.instances.find(writerHandle);
    if (writerHandle == 0 || it == writer.instances.end()) {
        return false;
    }
    uint32_t const index = it->second;
    writer.instances.erase(it);
    if ((writer.flags & RDW::RDW_ALIVE) != 0 && index < instances_.size() &&
        instances_[index].writers > 0) {
        --instances_[index].writers;
    }
    return true;
}

void Reader::reindexRDWs() {
    auto const before = static_cast<uint32_t>(rdws_.size());
    std::vector<int32_t> moved(rdws_.size(), -1);
    std::vector<RDW> kept;
    kept.reserve(rdwInUse_);
    for (size_t i = 0; i < rdws_.size(); ++i) {
        if (rdws_[i].record != nullptr) {
            moved[i] = static_cast<int32_t>(kept.size());
            kept.push_back(std::move(rdws_[i]));
        }
    }
    rdws_ = std::move(kept);
    rdwIndex_.clear();
    for (size_t i = 0; i < rdws_.size(); ++i) {
        rdwIndex_.emplace(guidOf(rdws_[i].guidPrefix, rdws_[i].entityId), static_cast<int32_t>(i));
    }
    auto renumber = [&moved](int32_t& writer) {
        if (writer >= 0) {
            writer = static_cast<size_t>(writer) < moved.size() ? moved[writer] : -1;
        }
    };
    for (InstanceCB& instance : instances_) {
        renumber(instance.owner);
        for (int32_t ref = instance.samples.first(); ref >= 0;
             ref = instance.samples.nextSample(ref)) {
            renumber(instance.samples.findSample(ref).writer);
        }
    }
    vexalog::Logger::getLogger().logMessage(
        MODULE_GC, 4, vexares::DCPS_MSG_REMOTE_WRITERS_REINDEXED, topic_->getName().c_str(), before,
        static_cast<uint32_t>(rdws_.size()));
}

}  // namespace vexa::dcps
