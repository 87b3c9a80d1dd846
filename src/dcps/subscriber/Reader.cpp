// A reader's construction and destruction, its statuses and listeners, its QoS and the
// collector's clean-up of its instances.
#include "dcps/subscriber/Reader.h"

#include <algorithm>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/api/DPEventForwarder.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/condition/ReadCondition.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/entity/EndpointGate.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/reader/Reader.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {

char const MODULE_GC[] = "DCPS::Reader::collectGarbage";

uint32_t limitOr(int32_t value, uint32_t bound) {
    return value >= 1 && static_cast<uint32_t>(value) < bound ? static_cast<uint32_t>(value)
                                                              : bound;
}

}  // namespace

void Reader::InstanceCB::state(uint32_t flags, TimeService const& clock) {
    uint32_t const s = flags & 0xFFFFu;
    // A disposal wins over an unregistration; a change without a state bit counts as ALIVE.
    uint32_t const next = (s & 2u) != 0 ? 2u : (s & 4u) != 0 ? 4u : 1u;
    uint32_t const current = instance_state & ~REMOVED;
    if ((flags & 0x40000000u) == 0) {
        if (next == 1u) {
            alive_time = clock.now();
            if (current == 2u) {
                ++disposed_generation_count;
            } else if (current == 4u) {
                ++no_writers_generation_count;
            }
        } else if (current != next) {
            (next == 2u ? disposed_time : no_writers_time) = clock.now();
        }
        instance_state = next;
        return;
    }
    // Replayed by the durability service: only a disposal or a return to life changes it.
    if (next == 1u && current == 2u) {
        ++disposed_generation_count;
        instance_state = 4u;
    } else if (next == 2u) {
        disposed_time = clock.now();
        instance_state = 2u;
    }
}

Reader::Reader(Subscriber* subscriber, Topic* topic, int32_t id,
               vexa::dds::DataReaderQos const& qos)
    : Entity(id, subscriber), topic_(topic), qos_(qos) {
    auto const r =
        static_cast<uint32_t>(std::max(1, DCPSservice::getInstance().getMaxSamplesPerReader()));
    maxSamples_ = limitOr(qos.resource_limits.max_samples, r);
    maxInstances_ = limitOr(qos.resource_limits.max_instances, maxSamples_);
    maxPerInstance_ = limitOr(qos.resource_limits.max_samples_per_instance, maxSamples_);
    depth_ = qos.history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS
                 ? limitOr(qos.history.depth, maxPerInstance_)
                 : maxPerInstance_;
    listStep_ = std::min<uint32_t>(depth_, 10);
    disposedPurge_ = qos.reader_data_lifecycle.autopurge_disposed_samples_delay.sec != 0x7FFFFFFF;
    noWritersPurge_ = qos.reader_data_lifecycle.autopurge_nowriter_samples_delay.sec != 0x7FFFFFFF;
    exclusive_ = qos.ownership.kind == vexa::dds::EXCLUSIVE_OWNERSHIP_QOS;

    for (vexa::dds::QosPolicyId_t policy :
         {vexa::dds::DURABILITY_QOS_POLICY_ID, vexa::dds::DEADLINE_QOS_POLICY_ID,
          vexa::dds::LATENCYBUDGET_QOS_POLICY_ID, vexa::dds::LIVELINESS_QOS_POLICY_ID,
          vexa::dds::RELIABILITY_QOS_POLICY_ID, vexa::dds::DESTINATIONORDER_QOS_POLICY_ID,
          vexa::dds::OWNERSHIP_QOS_POLICY_ID, vexa::dds::PRESENTATION_QOS_POLICY_ID}) {
        vexa::dds::QosPolicyCount c;
        c.policy_id = policy;
        incompatible_.policies.push_back(c);
    }

    data_.key.value[0] = static_cast<uint32_t>(id) & 0xFFFFFFu;
    refreshSubscriptionData();
    lastDeadlineCheck_ = lastLivelinessCheck_ = subscriber->getTimeService().now();
}

Reader::~Reader() {
    // The built-in subscriber forgets this reader in the lists of the writers it still knows.
    SubscriberBuiltin* builtin = getSubscriber()->getBuiltinSubscriber();
    for (RemoteDW const& w : rdws_) {
        if (w.record != nullptr && builtin != nullptr && builtin != getSubscriber()) {
            builtin->freeRemotePublisherByReader(w.record, this);
        }
    }
    // ~Condition leaves the wait sets a condition is still attached to.
    for (ReadCondition* c : conditions_) {
        delete c;
    }
    conditions_.clear();
    for (InstanceCB& instance : instances_) {
        while (instance.samples.first() >= 0) {
            deleteSample(instance,
                         instance.samples.findSample(instance.samples.first()).sample_handle);
        }
    }
    for (void* object : spareObjects_) {
        factory_->deleteObject(object);
    }
    if (factory_ != nullptr && allocBlock_ != nullptr) {
        factory_->deleteAllocatedObjects(allocBlock_);
    }
    delete bridge_;
}

Subscriber* Reader::getSubscriber() const {
    return static_cast<Subscriber*>(getParent());
}

void Reader::refreshSubscriptionData() {
    Subscriber* s = getSubscriber();
    data_.topic_name = topic_->getName();
    data_.type_name = topic_->getTypeName();
    data_.durability = qos_.durability;
    data_.deadline = qos_.deadline;
    data_.latency_budget = qos_.latency_budget;
    data_.liveliness = qos_.liveliness;
    data_.reliability = qos_.reliability;
    data_.ownership = qos_.ownership;
    data_.destination_order = qos_.destination_order;
    data_.user_data = qos_.user_data;
    data_.time_based_filter = qos_.time_based_filter;
    data_.presentation = s->qos().presentation;
    data_.partition = s->qos().partition;
    data_.group_data = s->qos().group_data;
    vexa::dds::TopicQos topicQos;
    topic_->getQoS(topicQos);
    data_.topic_data = topicQos.topic_data;
}

void Reader::InitResources(api::TypeSupportFactoryImpl* factory) {
    factory_ = factory;
    bridge_ = factory->create_datareader(this);
    bool const keyed = factory->hasKey();
    instances_.reserve(keyed ? 10 : 1);
    index_.reserve(maxInstances_);
    uint64_t const wanted = keyed ? static_cast<uint64_t>(maxInstances_) * depth_ : depth_;
    auto const preallocation = static_cast<uint64_t>(
        std::max(0, DCPSservice::getInstance().getPreallocatedSamplesPerReader()));
    allocCount_ = static_cast<uint32_t>(std::min(preallocation, wanted));
    if (allocCount_ == 0) {
        return;
    }
    allocBase_ = static_cast<char*>(factory->allocate(allocCount_, allocBlock_, stride_));
    if (allocBase_ == nullptr) {
        allocCount_ = 0;
        return;
    }
    freeObjects_.reserve(allocCount_);
    for (uint32_t i = allocCount_; i > 0; --i) {
        freeObjects_.push_back(i - 1);  // index 0 on top: used first
    }
}

void Reader::setEngine(RTPS::Reader* engine) {
    gate_ = std::make_shared<Gate>(engine);
}

RTPS::Reader* Reader::getRTPS() const {
    return gate_ ? gate_->get() : nullptr;
}

void Reader::closedByApi() {
    listenerMask_ = 0;
}

ReturnCode_t Reader::setListener(api::DREventForwarder* listener, uint32_t mask) {
    listener_ = listener;
    listenerMask_ = mask;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::setQoS(vexa::dds::DataReaderQos const& qos) {
    bool const recheck = qos.deadline.period != qos_.deadline.period ||
                         qos.latency_budget.duration != qos_.latency_budget.duration;
    qos_ = qos;
    SubscriberBuiltin* builtin = getSubscriber()->getBuiltinSubscriber();
    if (!recheck || builtin == nullptr) {
        return vexa::dds::RETCODE_OK;
    }
    // The caller holds the participant mutex: the built-in subscriber's comes after ours.
    for (size_t i = 0; i < rdws_.size(); ++i) {
        RemoteDW const& w = rdws_[i];
        if (w.record == nullptr || (w.flags & RemoteDW::RDW_MATCHED) == 0) {
            continue;
        }
        vexa::dds::PublicationBuiltinTopicData data;
        if (builtin->getRemotePublisherTopicData(w.record, data)) {
            recheckChangeable(static_cast<int32_t>(i), data.deadline.period,
                              data.latency_budget.duration);
        }
    }
    return vexa::dds::RETCODE_OK;
}

// A getter hands out the record and starts counting changes afresh.
ReturnCode_t Reader::getLivelinessChangedStatus(vexa::dds::LivelinessChangedStatus& out) {
    out = liveliness_;
    liveliness_.alive_count_change = 0;
    liveliness_.not_alive_count_change = 0;
    reset_status_changes(vexa::dds::LIVELINESS_CHANGED_STATUS);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::getRequestedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out) {
    out = deadlineMissed_;
    deadlineMissed_.total_count_change = 0;
    reset_status_changes(vexa::dds::REQUESTED_DEADLINE_MISSED_STATUS);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::getRequestedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out) {
    out = incompatible_;
    incompatible_.total_count_change = 0;
    reset_status_changes(vexa::dds::REQUESTED_INCOMPATIBLE_QOS_STATUS);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::getSampleLostStatus(vexa::dds::SampleLostStatus& out) {
    out = lost_;
    lost_.total_count_change = 0;
    reset_status_changes(vexa::dds::SAMPLE_LOST_STATUS);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::getSampleRejectedStatus(vexa::dds::SampleRejectedStatus& out) {
    out = rejected_;
    rejected_.total_count_change = 0;
    reset_status_changes(vexa::dds::SAMPLE_REJECTED_STATUS);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::getSubscriptionMatchedStatus(vexa::dds::SubscriptionMatchedStatus& out) {
    out = matched_;
    matched_.total_count_change = 0;
    matched_.current_count_change = 0;
    reset_status_changes(vexa::dds::SUBSCRIPTION_MATCHED_STATUS);
    return vexa::dds::RETCODE_OK;
}

namespace {

// One plain status: the reader's listener when its mask selects the status, else the
// participant's; the status's change counters are cleared only when someone was called.
template <class Status, class Clear, class ReaderCall, class ParticipantCall>
void dispatch(Reader& reader, uint32_t bit, Status& status, Clear clear,
              api::DREventForwarder* listener, uint32_t mask,
              api::DPEventForwarder* participantListener, uint32_t participantMask,
              ListenerCalls::Batch& batch, ReaderCall readerCall, ParticipantCall participantCall) {
    if ((reader.get_status_changes() & bit) == 0) {
        return;
    }
    Status const copy = status;
    if ((mask & bit) != 0) {
        if (listener == nullptr) {
            return;
        }
        reader.reset_status_changes(bit);
        clear(status);
        batch.add("DataReader", reader.getTopic()->getName(),
                  [readerCall, listener, copy] { readerCall(listener, copy); });
    } else if (participantListener != nullptr && (participantMask & bit) != 0) {
        reader.reset_status_changes(bit);
        clear(status);
        batch.add("DomainParticipant", reader.getTopic()->getName(),
                  [participantCall, participantListener, copy] {
                      participantCall(participantListener, copy);
                  });
    }
}

}  // namespace

void Reader::callPlainStatusListeners(api::DPEventForwarder* participantListener,
                                      uint32_t participantMask, ListenerCalls::Batch& batch) {
    void* const self = this;
    api::DREventForwarder* const l = listener_;
    uint32_t const m = listenerMask_;
    using namespace vexa::dds;
    dispatch(
        *this, REQUESTED_DEADLINE_MISSED_STATUS, deadlineMissed_,
        [](DeadlineMissedStatus& s) { s.total_count_change = 0; }, l, m, participantListener,
        participantMask, batch,
        [self](api::DREventForwarder* f, DeadlineMissedStatus const& s) {
            f->on_requested_deadline_missed(self, s);
        },
        [self](api::DPEventForwarder* f, DeadlineMissedStatus const& s) {
            f->on_requested_deadline_missed(self, s);
        });
    dispatch(
        *this, REQUESTED_INCOMPATIBLE_QOS_STATUS, incompatible_,
        [](IncompatibleQosStatus& s) { s.total_count_change = 0; }, l, m, participantListener,
        participantMask, batch,
        [self](api::DREventForwarder* f, IncompatibleQosStatus const& s) {
            f->on_requested_incompatible_qos(self, s);
        },
        [self](api::DPEventForwarder* f, IncompatibleQosStatus const& s) {
            f->on_requested_incompatible_qos(self, s);
        });
    dispatch(
        *this, SAMPLE_LOST_STATUS, lost_, [](SampleLostStatus& s) { s.total_count_change = 0; }, l,
        m, participantListener, participantMask, batch,
        [self](api::DREventForwarder* f, SampleLostStatus const& s) { f->on_sample_lost(self, s); },
        [self](api::DPEventForwarder* f, SampleLostStatus const& s) {
            f->on_sample_lost(self, s);
        });
    dispatch(
        *this, SAMPLE_REJECTED_STATUS, rejected_,
        [](SampleRejectedStatus& s) { s.total_count_change = 0; }, l, m, participantListener,
        participantMask, batch,
        [self](api::DREventForwarder* f, SampleRejectedStatus const& s) {
            f->on_sample_rejected(self, s);
        },
        [self](api::DPEventForwarder* f, SampleRejectedStatus const& s) {
            f->on_sample_rejected(self, s);
        });
    dispatch(
        *this, LIVELINESS_CHANGED_STATUS, liveliness_,
        [](LivelinessChangedStatus& s) {
            s.alive_count_change = 0;
            s.not_alive_count_change = 0;
        },
        l, m, participantListener, participantMask, batch,
        [self](api::DREventForwarder* f, LivelinessChangedStatus const& s) {
            f->on_liveliness_changed(self, s);
        },
        [self](api::DPEventForwarder* f, LivelinessChangedStatus const& s) {
            f->on_liveliness_changed(self, s);
        });
    dispatch(
        *this, SUBSCRIPTION_MATCHED_STATUS, matched_,
        [](SubscriptionMatchedStatus& s) {
            s.total_count_change = 0;
            s.current_count_change = 0;
        },
        l, m, participantListener, participantMask, batch,
        [self](api::DREventForwarder* f, SubscriptionMatchedStatus const& s) {
            f->on_subscription_matched(self, s);
        },
        [self](api::DPEventForwarder* f, SubscriptionMatchedStatus const& s) {
            f->on_subscription_matched(self, s);
        });
}

void Reader::checkDeadline() {
    TimeService const& clock = getSubscriber()->getTimeService();
    vexa::dds::Duration_t const period = qos_.deadline.period;
    if (!clock.isTimeIntervalElapsed(lastDeadlineCheck_, period)) {
        return;
    }
    bool missed = false;
    for (InstanceCB& instance : instances_) {
        if (instance.instance_state != vexa::dds::ALIVE_INSTANCE_STATE ||
            !clock.isTimeIntervalElapsed(instance.alive_time, period)) {
            continue;
        }
        ++deadlineMissed_.total_count;
        ++deadlineMissed_.total_count_change;
        deadlineMissed_.last_instance_handle = instance.handle;
        missed = true;
        if (instance.owner >= 0) {
            instance.owner = -1;
            vexalog::Logger::getLogger().logMessage(
                "DCPS::Reader::checkDeadline", 7, vexares::DCPS_MSG_INSTANCE_OWNER_LOST,
                topic_->getName().c_str(), static_cast<uint32_t>(instance.handle));
        }
    }
    lastDeadlineCheck_ = clock.now();
    if (missed) {
        set_status_changes(vexa::dds::REQUESTED_DEADLINE_MISSED_STATUS);
    }
}

void Reader::collectGarbage() {
    if (instances_.size() > 100 && live_ < instances_.size() / 2) {
        reindexInstances();
    }
    removeOutdatedInstances();
    if (rdws_.size() >= 101 && rdwInUse_ < rdws_.size() / 2) {
        reindexRDWs();
    }
}

void Reader::reindexInstances() {
    Subscriber* s = getSubscriber();
    auto const before = static_cast<uint32_t>(instances_.size());
    std::vector<InstanceCB> kept;
    kept.reserve(instances_.size());
    std::vector<int64_t> moved(instances_.size(), -1);
    for (size_t i = 0; i < instances_.size(); ++i) {
        InstanceCB& instance = instances_[i];
        if (instance.removed()) {
            s->setLocalObjectIndex(instance.handle, -1);
            continue;
        }
        moved[i] = static_cast<int64_t>(kept.size());
        s->setLocalObjectIndex(instance.handle, static_cast<int32_t>(kept.size()));
        kept.push_back(std::move(instance));
    }
    instances_ = std::move(kept);
    // The writers' maps follow; entries of dropped instances go.
    for (RemoteDW& w : rdws_) {
        for (auto it = w.instances.begin(); it != w.instances.end();) {
            int64_t const to = it->second < moved.size() ? moved[it->second] : -1;
            if (to < 0) {
                it = w.instances.erase(it);
            } else {
                it->second = static_cast<uint32_t>(to);
                ++it;
            }
        }
    }
    index_.clear();
    for (size_t i = 0; i < instances_.size(); ++i) {
        index_.emplace(instances_[i].hash, static_cast<int32_t>(i));
    }
    vexalog::Logger::getLogger().logMessage(MODULE_GC, 4, vexares::DCPS_MSG_INSTANCES_REINDEXED,
                                            topic_->getName().c_str(), before,
                                            static_cast<uint32_t>(instances_.size()));
}

bool Reader::removeOutdatedInstances() {
    TimeService const& clock = getSubscriber()->getTimeService();
    int64_t const now = clock.now().sec;
    auto const& lifecycle = qos_.reader_data_lifecycle;
    bool removed = false;
    for (size_t i = 0; i < instances_.size(); ++i) {
        InstanceCB const& instance = instances_[i];
        if (instance.removed() || (instance.instance_state & 6u) == 0) {
            continue;
        }
        // Whole seconds, summed in 64 bits: a delay up to 0x7FFFFFFE never wraps.
        bool const outdated =
            instance.samples.count() == 0 ||
            (instance.instance_state == 2u && disposedPurge_ &&
             int64_t{instance.disposed_time.sec} + lifecycle.autopurge_disposed_samples_delay.sec <=
                 now) ||
            (instance.instance_state == 4u && noWritersPurge_ &&
             int64_t{instance.no_writers_time.sec} +
                     lifecycle.autopurge_nowriter_samples_delay.sec <=
                 now);
        if (outdated && removeInstance(static_cast<int32_t>(i))) {
            removed = true;
        }
    }
    return removed;
}

bool Reader::removeInstance(int32_t index) {
    InstanceCB& instance = instances_[index];
    if (instance.removed()) {
        return false;
    }
    Subscriber::SampleList& pool = getSubscriber()->pool();
    while (instance.samples.first() >= 0) {
        int32_t const slot = instance.samples.findSample(instance.samples.first()).sample_handle;
        Subscriber::SampleCB* cb = nullptr;
        vexa::dds::SampleInfo* info = nullptr;
        pool.findSample(slot, cb, info);
        if (cb->loans > 0) {
            return false;  // the samples before it are gone; the instance stays
        }
        deleteSample(instance, slot);
    }
    instance.instance_state |= InstanceCB::REMOVED;
    --live_;
    instance.owner = -1;
    instance.writers = 0;
    instance.disposed_generation_count = 0;
    instance.no_writers_generation_count = 0;
    instance.seen_disposed = -1;
    instance.seen_no_writers = -1;
    vexalog::Logger::getLogger().logMessage(
        "DCPS::Reader::removeInstance", 7, vexares::DCPS_MSG_INSTANCE_REMOVED,
        topic_->getName().c_str(), static_cast<uint32_t>(instance.handle));
    return true;
}

}  // namespace vexa::dcps
