// The writer's QoS changes, liveliness, offered deadline, statuses with their listener calls,
// and the compaction of its tables.
#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/api/DPEventForwarder.h"
#include "dcps/api/DWEventForwarder.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {

constexpr size_t COMPACT_ABOVE = 100;
constexpr uint32_t NO_INDEX = 0xFFFFFFFFu;

void resetChanges(vexa::dds::LivelinessLostStatus& s) {
    s.total_count_change = 0;
}
void resetChanges(vexa::dds::DeadlineMissedStatus& s) {
    s.total_count_change = 0;
}
void resetChanges(vexa::dds::IncompatibleQosStatus& s) {
    s.total_count_change = 0;
}
void resetChanges(vexa::dds::PublicationMatchedStatus& s) {
    s.total_count_change = 0;
    s.current_count_change = 0;
}

// Copy out, reset the change counters and the status bit.
template <class Status>
ReturnCode_t takeStatus(Entity& entity, Status& status, uint32_t bit, Status& out) {
    out = status;
    resetChanges(status);
    entity.reset_status_changes(bit);
    return vexa::dds::RETCODE_OK;
}

}  // namespace

ReturnCode_t Writer::setQoS(vexa::dds::DataWriterQos const& qos) {
    if (qos.deadline != qos_.deadline || qos.latency_budget != qos_.latency_budget) {
        recheckRemoteReaders(qos);
    }
    qos_ = qos;
    refreshPublicationData();
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Writer::assertLiveliness() {
    alive_ = true;
    lastAssertion_ = clock().now();
    return vexa::dds::RETCODE_OK;
}

void Writer::checkLiveliness(vexa::dds::Time_t const& participantAssertionTime) {
    vexa::dds::LivelinessQosPolicy const& liveliness = qos_.liveliness;
    if (liveliness.kind == vexa::dds::AUTOMATIC_LIVELINESS_QOS ||
        !clock().isTimeIntervalElapsed(lastLivelinessCheck_, liveliness.lease_duration)) {
        return;
    }
    vexa::dds::Time_t const& asserted =
        liveliness.kind == vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS
            ? participantAssertionTime
            : lastAssertion_;
    if (alive_ && clock().isTimeIntervalElapsed(asserted, liveliness.lease_duration)) {
        ++livelinessLost_.total_count;
        ++livelinessLost_.total_count_change;
        alive_ = false;
        set_status_changes(LIVELINESS_LOST);
    }
    lastLivelinessCheck_ = clock().now();
}

void Writer::checkDeadline() {
    vexa::dds::Duration_t const& period = qos_.deadline.period;
    if (!clock().isTimeIntervalElapsed(lastDeadlineCheck_, period)) {
        return;
    }
    bool missed = false;
    for (InstanceCB const& instance : instances_) {
        if (instance.inUse() && instance.lastChange() == RTPS::SAMPLE_ALIVE &&
            clock().isTimeIntervalElapsed(instance.lastWrite, period)) {
            ++deadlineMissed_.total_count;
            ++deadlineMissed_.total_count_change;
            deadlineMissed_.last_instance_handle = instance.handle;
            missed = true;
        }
    }
    lastDeadlineCheck_ = clock().now();
    if (missed) {
        set_status_changes(DEADLINE_MISSED);
    }
}

void Writer::callPlainStatusListeners(api::DPEventForwarder* participantListener,
                                      uint32_t participantMask, ListenerCalls::Batch& batch) {
    // Who takes a status: the writer's listener when its mask has the bit (none: nobody), else
    // the participant's when its mask has it. The publisher's listener is not asked.
    void* const self = this;
    auto deliver = [&](uint32_t bit, auto& status, auto toWriter, auto toParticipant) {
        if ((get_status_changes() & bit) == 0) {
            return;
        }
        auto const copy = status;
        if ((listenerMask_ & bit) != 0) {
            if (listener_ == nullptr) {
                return;
            }
            reset_status_changes(bit);
            resetChanges(status);
            api::DWEventForwarder* const l = listener_;
            batch.add("DataWriter", topic_->getName(),
                      [l, self, copy, toWriter] { (l->*toWriter)(self, copy); });
        } else if (participantListener != nullptr && (participantMask & bit) != 0) {
            reset_status_changes(bit);
            resetChanges(status);
            batch.add("DomainParticipant", topic_->getName(),
                      [participantListener, self, copy, toParticipant] {
                          (participantListener->*toParticipant)(self, copy);
                      });
        }
    };
    deliver(DEADLINE_MISSED, deadlineMissed_, &api::DWEventForwarder::on_offered_deadline_missed,
            &api::DPEventForwarder::on_offered_deadline_missed);
    deliver(INCOMPATIBLE_QOS, incompatibleQos_, &api::DWEventForwarder::on_offered_incompatible_qos,
            &api::DPEventForwarder::on_offered_incompatible_qos);
    deliver(LIVELINESS_LOST, livelinessLost_, &api::DWEventForwarder::on_liveliness_lost,
            &api::DPEventForwarder::on_liveliness_lost);
    deliver(PUBLICATION_MATCHED, publicationMatched_,
            &api::DWEventForwarder::on_publication_matched,
            &api::DPEventForwarder::on_publication_matched);
}

void Writer::signalConditions() {
    getStatusCondition().signal();
}

ReturnCode_t Writer::getLivelinessLostStatus(vexa::dds::LivelinessLostStatus& out) {
    return takeStatus(*this, livelinessLost_, LIVELINESS_LOST, out);
}

ReturnCode_t Writer::getOfferedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out) {
    return takeStatus(*this, deadlineMissed_, DEADLINE_MISSED, out);
}

ReturnCode_t Writer::getOfferedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out) {
    return takeStatus(*this, incompatibleQos_, INCOMPATIBLE_QOS, out);
}

ReturnCode_t Writer::getPublicationMatchedStatus(vexa::dds::PublicationMatchedStatus& out) {
    return takeStatus(*this, publicationMatched_, PUBLICATION_MATCHED, out);
}

void Writer::collectGarbage() {
    if (instances_.size() > COMPACT_ABOVE && liveInstances_ * 2 < instances_.size()) {
        reindexInstances();
    }
    if (remoteReadersSparse()) {
        reindexRDRs();
    }
}

void Writer::reindexInstances() {
    // Free slots go; the publisher learns each surviving handle's new index and forgets the
    // dropped ones, so their handles no longer resolve.
    std::vector<InstanceCB> kept;
    kept.reserve(liveInstances_ + 10);
    for (InstanceCB& instance : instances_) {
        if (instance.inUse()) {
            if (instance.handle != vexa::dds::HANDLE_NIL) {
                publisher_->setLocalObjectIndex(instance.handle,
                                                static_cast<uint32_t>(kept.size()));
            }
            kept.push_back(std::move(instance));
        } else {
            if (instance.handle != vexa::dds::HANDLE_NIL) {
                publisher_->setLocalObjectIndex(instance.handle, NO_INDEX);
            }
            sampleCount_ -= instance.samples.size();  // left behind by a refused removal
        }
    }
    instances_.swap(kept);
    keyIndex_.clear();
    handleIndex_.clear();
    for (size_t i = 0; i < instances_.size(); ++i) {
        keyIndex_.emplace(instances_[i].hash, static_cast<uint32_t>(i));
        if (instances_[i].handle != vexa::dds::HANDLE_NIL) {
            handleIndex_[instances_[i].handle] = static_cast<uint32_t>(i);
        }
    }
    vexalog::Logger::getLogger().logMessage("Writer::reindexInstances", 4,
                                            vexares::DCPS_MSG_WRITER_INSTANCES_COMPACTED,
                                            topic_->getName().c_str());
}

}  // namespace vexa::dcps
