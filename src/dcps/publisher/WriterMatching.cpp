// The writer's remote readers: matching what a reader requests against what the writer offers,
// the re-checks when either side changes its deadline or latency budget, and losing readers.
#include <cstring>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"

namespace vexa::dcps {

namespace {

char const MODULE_DISCOVER[] = "DCPS::Writer::discoverDR";
char const MODULE_REINDEX[] = "Writer::reindexRDRs";

constexpr size_t COMPACT_FROM = 101;
constexpr uint32_t NO_POSITION = 0xFFFFFFFFu;

// The reader's GUID: its participant's prefix, then its entity id.
vexa::dds::KeyHash_t remoteKey(uint32_t const* guidPrefix, uint32_t entityId) {
    vexa::dds::KeyHash_t key;
    std::memcpy(key.hash, guidPrefix, 3 * sizeof(uint32_t));
    std::memcpy(key.hash + 3 * sizeof(uint32_t), &entityId, sizeof entityId);
    return key;
}

bool presentationRefused(vexa::dds::PresentationQosPolicy const& requested,
                         vexa::dds::PresentationQosPolicy const& offered) {
    return requested.access_scope > offered.access_scope ||
           (requested.coherent_access && !offered.coherent_access) ||
           (requested.ordered_access && !offered.ordered_access);
}

}  // namespace

bool Writer::KeyHashLess::operator()(vexa::dds::KeyHash_t const& a,
                                     vexa::dds::KeyHash_t const& b) const {
    return std::memcmp(a.hash, b.hash, sizeof a.hash) < 0;
}

void Writer::countIncompatible(vexa::dds::QosPolicyId_t policy) {
    incompatibleQos_.last_policy_id = policy;
    for (vexa::dds::QosPolicyCount& c : incompatibleQos_.policies) {
        if (c.policy_id == policy) {
            ++c.count;
            return;
        }
    }
}

void Writer::addMatched() {
    ++publicationMatched_.total_count;
    ++publicationMatched_.total_count_change;
    ++publicationMatched_.current_count;
    ++publicationMatched_.current_count_change;
    set_status_changes(PUBLICATION_MATCHED);
}

bool Writer::checkChangeable(vexa::dds::DeadlineQosPolicy const& deadline,
                             vexa::dds::LatencyBudgetQosPolicy const& latency,
                             vexa::dds::DataWriterQos const& offered) {
    bool compatible = true;
    if (deadline.period < offered.deadline.period) {
        countIncompatible(vexa::dds::DEADLINE_QOS_POLICY_ID);
        compatible = false;
    }
    if (latency.duration < offered.latency_budget.duration) {
        countIncompatible(vexa::dds::LATENCYBUDGET_QOS_POLICY_ID);
        compatible = false;
    }
    return compatible;
}

void Writer::applyChangeable(RemoteReader& entry, bool compatible) {
    bool const wasCompatible = (entry.flags & RemoteReader::INCOMPATIBLE_CHANGEABLE) == 0;
    if (!compatible && wasCompatible) {
        --publicationMatched_.current_count;
        --publicationMatched_.current_count_change;
        set_status_changes(PUBLICATION_MATCHED);
        ++incompatibleQos_.total_count;
        ++incompatibleQos_.total_count_change;
        entry.flags |= RemoteReader::INCOMPATIBLE_CHANGEABLE;
        set_status_changes(INCOMPATIBLE_QOS);
    } else if (compatible && !wasCompatible) {
        addMatched();
        entry.flags &= ~RemoteReader::INCOMPATIBLE_CHANGEABLE;
    }
}

int Writer::discoverDR(RemoteDR const* record, uint32_t const* guidPrefix, uint32_t entityId,
                       vexa::dds::SubscriptionBuiltinTopicData const& data) {
    if (data.topic_name != topic_->getName()) {
        return 0;
    }
    auto const position = static_cast<uint32_t>(remoteReaders_.size());
    if (!remoteReaderIndex_.emplace(remoteKey(guidPrefix, entityId), position).second) {
        return 0;  // known already: nothing changes
    }
    RemoteReader entry;
    entry.record = record;
    entry.firstWord = record != nullptr ? record->id : 0;
    entry.flags = RemoteReader::IN_USE;

    // What the reader requests against what this writer (and its publisher) offers.
    bool fixed = false;
    auto rule = [&](bool refused, vexa::dds::QosPolicyId_t policy, bool isFixed) {
        if (refused) {
            countIncompatible(policy);
            fixed = fixed || isFixed;
        }
        return refused;
    };
    bool refused = false;
    refused |= rule(data.durability.kind > qos_.durability.kind,
                    vexa::dds::DURABILITY_QOS_POLICY_ID, true);
    refused |= !checkChangeable(data.deadline, data.latency_budget, qos_);
    refused |= rule(data.liveliness.kind > qos_.liveliness.kind ||
                        data.liveliness.lease_duration < qos_.liveliness.lease_duration,
                    vexa::dds::LIVELINESS_QOS_POLICY_ID, true);
    refused |= rule(data.reliability.kind > qos_.reliability.kind,
                    vexa::dds::RELIABILITY_QOS_POLICY_ID, true);
    refused |=
        rule(data.ownership.kind != qos_.ownership.kind, vexa::dds::OWNERSHIP_QOS_POLICY_ID, true);
    refused |= rule(data.destination_order.kind > qos_.destination_order.kind,
                    vexa::dds::DESTINATIONORDER_QOS_POLICY_ID, true);
    refused |= rule(presentationRefused(data.presentation, publisher_->qos().presentation),
                    vexa::dds::PRESENTATION_QOS_POLICY_ID, true);

    auto& log = vexalog::Logger::getLogger();
    char const* name = topic_->getName().c_str();
    if (!refused) {
        log.logMessage(MODULE_DISCOVER, 4, vexares::DCPS_MSG_REMOTE_READER_MATCHED, name);
        addMatched();
    } else {
        log.logMessage(MODULE_DISCOVER, 4, vexares::DCPS_MSG_REMOTE_READER_INCOMPATIBLE, name);
        ++incompatibleQos_.total_count;
        ++incompatibleQos_.total_count_change;
        entry.flags |= fixed ? RemoteReader::INCOMPATIBLE : RemoteReader::INCOMPATIBLE_CHANGEABLE;
        set_status_changes(INCOMPATIBLE_QOS);
    }
    remoteReaders_.push_back(entry);
    return 1;
}

void Writer::changeDRQoS(uint32_t const* guidPrefix, uint32_t entityId,
                         vexa::dds::DeadlineQosPolicy const& deadline,
                         vexa::dds::LatencyBudgetQosPolicy const& latency) {
    auto it = remoteReaderIndex_.find(remoteKey(guidPrefix, entityId));
    if (it == remoteReaderIndex_.end()) {
        return;
    }
    RemoteReader& entry = remoteReaders_[it->second];
    if ((entry.flags & RemoteReader::INCOMPATIBLE) != 0) {
        return;
    }
    applyChangeable(entry, checkChangeable(deadline, latency, qos_));
}

void Writer::looseDR(uint32_t const* guidPrefix, uint32_t entityId) {
    auto it = remoteReaderIndex_.find(remoteKey(guidPrefix, entityId));
    if (it == remoteReaderIndex_.end()) {
        return;
    }
    RemoteReader& entry = remoteReaders_[it->second];
    if ((entry.flags & (RemoteReader::INCOMPATIBLE_CHANGEABLE | RemoteReader::INCOMPATIBLE)) == 0) {
        vexalog::Logger::getLogger().logMessage(
            MODULE_DISCOVER, 4, vexares::DCPS_MSG_REMOTE_READER_LOST, topic_->getName().c_str());
        --publicationMatched_.current_count;
        --publicationMatched_.current_count_change;
        set_status_changes(PUBLICATION_MATCHED);
    }
    // Matched or not, the record is the collector's from now on.
    entry.flags &= ~RemoteReader::IN_USE;
    entry.record = nullptr;
    remoteReaderIndex_.erase(it);
}

void Writer::recheckRemoteReaders(vexa::dds::DataWriterQos const& offered) {
    SubscriberBuiltin* builtin = publisher_->getParticipant()->getBuiltinSubscriber();
    if (builtin == nullptr) {
        return;
    }
    vexa::dds::SubscriptionBuiltinTopicData requested;
    for (RemoteReader& entry : remoteReaders_) {
        if ((entry.flags & RemoteReader::IN_USE) == 0 || entry.record == nullptr ||
            (entry.flags & RemoteReader::INCOMPATIBLE) != 0) {
            continue;
        }
        builtin->getRemoteSubscriberTopicData(entry.record, requested);
        applyChangeable(entry,
                        checkChangeable(requested.deadline, requested.latency_budget, offered));
    }
}

void Writer::releaseRemoteReaders() {
    SubscriberBuiltin* builtin = publisher_->getParticipant()->getBuiltinSubscriber();
    if (builtin == nullptr) {
        return;
    }
    for (RemoteReader& entry : remoteReaders_) {
        if (entry.record != nullptr) {
            // The record is the built-in subscriber's and changes only under its mutex.
            builtin->freeRemoteSubscriberByWriter(const_cast<RemoteDR*>(entry.record), this);
            entry.record = nullptr;
        }
    }
}

void Writer::reindexRDRs() {
    std::vector<uint32_t> moved(remoteReaders_.size(), NO_POSITION);
    std::vector<RemoteReader> kept;
    kept.reserve(remoteReaderIndex_.size());
    for (size_t i = 0; i < remoteReaders_.size(); ++i) {
        if ((remoteReaders_[i].flags & RemoteReader::IN_USE) != 0) {
            moved[i] = static_cast<uint32_t>(kept.size());
            kept.push_back(remoteReaders_[i]);
        }
    }
    remoteReaders_.swap(kept);
    for (auto it = remoteReaderIndex_.begin(); it != remoteReaderIndex_.end();) {
        uint32_t const to = it->second < moved.size() ? moved[it->second] : NO_POSITION;
        if (to == NO_POSITION) {
            it = remoteReaderIndex_.erase(it);
        } else {
            it->second = to;
            ++it;
        }
    }
    vexalog::Logger::getLogger().logMessage(
        MODULE_REINDEX, 4, vexares::DCPS_MSG_WRITER_READERS_COMPACTED, topic_->getName().c_str());
}

bool Writer::remoteReadersSparse() const {
    return remoteReaders_.size() >= COMPACT_FROM &&
           remoteReaderIndex_.size() * 2 < remoteReaders_.size();
}

}  // namespace vexa::dcps
