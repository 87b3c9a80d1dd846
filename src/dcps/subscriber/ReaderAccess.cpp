// The application's side of a reader: loans of pool slots by read and take and their return,
// read conditions, key access and the data-available listener.
#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/api/DREventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/condition/ReadCondition.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "vexa/SampleSeq.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;
using vexa::dds::SampleInfo;
using SampleCB = Subscriber::SampleCB;

namespace {

char const MODULE_LOAN[] = "DCPS::Reader::loanSamples";

enum Lend { LENT = 0, NO_MATCH = 1, EXPIRED = 2, TAKEN = 3 };

int32_t generations(SampleInfo const* info) {
    return info->disposed_generation_count + info->no_writers_generation_count;
}

}  // namespace

int32_t Reader::resolveHandle(vexa::dds::InstanceHandle_t handle) const {
    int32_t const index = getSubscriber()->getLocalObjectIndex(handle, this);
    return index >= 0 && static_cast<size_t>(index) < instances_.size() ? index : -1;
}

uint32_t Reader::effectiveMax(int32_t maxSamples) const {
    return maxSamples < 0 ? maxSamples_ : static_cast<uint32_t>(maxSamples);
}

void Reader::beginWalk(InstanceCB& instance) {
    // Every sample of an instance lent in one walk gets the view state the instance had
    // when the walk reached it.
    if (instance.walk != walk_) {
        instance.walk = walk_;
        instance.walk_seen_disposed = instance.seen_disposed;
        instance.walk_seen_no_writers = instance.seen_no_writers;
    }
}

int Reader::loanAndFillSample(InstanceCB& instance, int32_t slot, bool read, uint32_t sampleMask,
                              uint32_t viewMask, uint32_t instanceMask, api::SampleSeq& seq) {
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    getSubscriber()->pool().findSample(slot, cb, info);
    if ((cb->flags & SampleCB::SAMPLE_TAKEN) != 0) {
        return TAKEN;
    }
    int32_t const writer = instance.samples.findSample(cb->ref_index).writer;
    if (writer >= 0 && isSampleOutdatedDueLifespan(info->source_timestamp, writer)) {
        return EXPIRED;
    }
    if ((instance.instance_state & instanceMask) == 0 ||
        (static_cast<uint32_t>(info->sample_state) & sampleMask) == 0) {
        return NO_MATCH;
    }
    info->view_state = instance.disposed_generation_count > instance.walk_seen_disposed ||
                               instance.no_writers_generation_count > instance.walk_seen_no_writers
                           ? vexa::dds::NEW_VIEW_STATE
                           : vexa::dds::NOT_NEW_VIEW_STATE;
    if ((static_cast<uint32_t>(info->view_state) & viewMask) == 0) {
        return NO_MATCH;
    }
    seq.push_back(cb->data, info);
    info->sample_rank = 0;
    info->generation_rank = 0;
    info->instance_state = static_cast<int32_t>(instance.instance_state);
    info->absolute_generation_rank = instance.disposed_generation_count +
                                     instance.no_writers_generation_count - generations(info);
    if (info->disposed_generation_count > instance.seen_disposed) {
        instance.seen_disposed = info->disposed_generation_count;
    }
    if (info->no_writers_generation_count > instance.seen_no_writers) {
        instance.seen_no_writers = info->no_writers_generation_count;
    }
    ++cb->loans;
    if (!read) {
        cb->flags |= SampleCB::SAMPLE_TAKEN;
    }
    return LENT;
}

uint32_t Reader::lendInstance(InstanceCB& instance, bool read, uint32_t max, uint32_t sampleMask,
                              uint32_t viewMask, uint32_t instanceMask, api::SampleSeq& seq) {
    beginWalk(instance);
    Subscriber::SampleList& pool = getSubscriber()->pool();
    uint32_t lent = 0;
    for (int32_t ref = instance.samples.first(); ref >= 0 && lent < max;) {
        SampleRefList::Ref const& r = instance.samples.findSample(ref);
        int32_t const next = r.next;
        int32_t const slot = r.sample_handle;
        int const result =
            loanAndFillSample(instance, slot, read, sampleMask, viewMask, instanceMask, seq);
        if (result == LENT) {
            ++lent;
        } else if (result == EXPIRED) {
            SampleCB* cb = nullptr;
            SampleInfo* info = nullptr;
            pool.findSample(slot, cb, info);
            if (cb->loans == 0) {
                deleteSample(instance, slot);
            }
        }
        ref = next;
    }
    return lent;
}

void Reader::rank(api::SampleSeq& seq, size_t from, bool ordered) const {
    size_t const n = seq.size();
    if (!ordered) {
        // Runs of one instance: ranked from the run's last element backwards.
        for (size_t i = from; i < n;) {
            size_t last = i;
            while (last + 1 < n &&
                   seq.info[last + 1]->instance_handle == seq.info[i]->instance_handle) {
                ++last;
            }
            int32_t const newest = generations(seq.info[last]);
            for (size_t k = i; k <= last; ++k) {
                seq.info[k]->sample_rank = static_cast<int32_t>(last - k);
                seq.info[k]->generation_rank = newest - generations(seq.info[k]);
            }
            i = last + 1;
        }
        return;
    }
    // Arrival order: each instance's elements are ranked from its last one, wherever they lie.
    for (size_t k = from; k < n; ++k) {
        int32_t later = 0;
        size_t last = k;
        for (size_t j = k + 1; j < n; ++j) {
            if (seq.info[j]->instance_handle == seq.info[k]->instance_handle) {
                ++later;
                last = j;
            }
        }
        seq.info[k]->sample_rank = later;
        seq.info[k]->generation_rank = generations(seq.info[last]) - generations(seq.info[k]);
    }
}

void Reader::loanSamples(api::SampleSeq& seq, bool read, int32_t maxSamples, uint32_t sampleMask,
                         uint32_t viewMask, uint32_t instanceMask) {
    reset_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    if (held_ == 0) {
        return;
    }
    Subscriber::SampleList& pool = getSubscriber()->pool();
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    int32_t start = -1;
    int32_t startInstance = -1;
    for (int32_t slot = pool.nextSampleAvailableForRead(-1, this, cb, info); slot >= 0;
         slot = pool.nextSampleAvailableForRead(slot, this, cb, info)) {
        int32_t const index = resolveHandle(info->instance_handle);
        if (index >= 0 && !instances_[index].removed()) {
            start = slot;
            startInstance = index;
            break;
        }
    }
    if (start < 0) {
        return;
    }
    ++walk_;
    uint32_t const max = effectiveMax(maxSamples);
    vexa::dds::PresentationQosPolicy const& presentation = getSubscriber()->qos().presentation;
    bool const ordered = presentation.ordered_access &&
                         presentation.access_scope != vexa::dds::INSTANCE_PRESENTATION_QOS;
    size_t const from = seq.size();
    seq.reserve(from + std::min(max, held_));
    uint32_t lent = 0;
    if (ordered) {
        for (int32_t slot = start; slot >= 0 && lent < max;) {
            pool.findSample(slot, cb, info);
            int32_t const index = resolveHandle(info->instance_handle);
            SampleCB* nextCb = nullptr;
            SampleInfo* nextInfo = nullptr;
            int32_t const next = pool.nextSampleAvailableForRead(slot, this, nextCb, nextInfo);
            if (index >= 0) {
                InstanceCB& instance = instances_[index];
                beginWalk(instance);
                int const result = loanAndFillSample(instance, slot, read, sampleMask, viewMask,
                                                     instanceMask, seq);
                if (result == LENT) {
                    ++lent;
                } else if (result == EXPIRED && cb->loans == 0) {
                    deleteSample(instance, slot);
                }
            }
            slot = next;
        }
    } else {
        auto const size = static_cast<int32_t>(instances_.size());
        for (int32_t i = startInstance;;) {
            InstanceCB& instance = instances_[i];
            if (!instance.removed() && instance.samples.count() > 0) {
                lent += lendInstance(instance, read, max - lent, sampleMask, viewMask, instanceMask,
                                     seq);
            }
            if (lent >= max) {
                break;
            }
            if (++i == size) {
                if (startInstance == 0) {
                    break;
                }
                i = 0;
            }
            if (i == startInstance) {
                break;
            }
        }
    }
    if (lent > 0 && depth_ >= 2) {
        rank(seq, from, ordered);
    }
    vexalog::Logger::getLogger().logMessage(MODULE_LOAN, 7, vexares::DCPS_MSG_SAMPLES_LENT,
                                            topic_->getName().c_str(), lent);
}

ReturnCode_t Reader::loanInstanceSamples(api::SampleSeq& seq, bool read,
                                         vexa::dds::InstanceHandle_t handle, int32_t maxSamples,
                                         uint32_t sampleMask, uint32_t viewMask,
                                         uint32_t instanceMask) {
    if (handle == vexa::dds::HANDLE_NIL) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    reset_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    if (held_ == 0) {
        return vexa::dds::RETCODE_NO_DATA;
    }
    int32_t const index = resolveHandle(handle);
    if (index < 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    InstanceCB& instance = instances_[index];
    if (instance.removed() || instance.samples.count() == 0) {
        return vexa::dds::RETCODE_NO_DATA;
    }
    ++walk_;
    uint32_t const lent = lendInstance(instance, read, effectiveMax(maxSamples), sampleMask,
                                       viewMask, instanceMask, seq);
    if (lent == 0) {
        return vexa::dds::RETCODE_NO_DATA;
    }
    vexalog::Logger::getLogger().logMessage(MODULE_LOAN, 7, vexares::DCPS_MSG_SAMPLES_LENT,
                                            topic_->getName().c_str(), lent);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::loanNextInstanceSamples(api::SampleSeq& seq, bool read,
                                             vexa::dds::InstanceHandle_t handle, int32_t maxSamples,
                                             uint32_t sampleMask, uint32_t viewMask,
                                             uint32_t instanceMask) {
    reset_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    if (held_ == 0) {
        return vexa::dds::RETCODE_NO_DATA;
    }
    // Handles rise with the table index, so the next instance is the next higher handle, also
    // after the given one was compacted away.
    size_t start = 0;
    if (handle != vexa::dds::HANDLE_NIL) {
        int32_t const index = resolveHandle(handle);
        if (index >= 0) {
            start = static_cast<size_t>(index) + 1;
        } else {
            while (start < instances_.size() && instances_[start].handle <= handle) {
                ++start;
            }
        }
    }
    uint32_t const max = effectiveMax(maxSamples);
    for (size_t i = start; i < instances_.size(); ++i) {
        InstanceCB& instance = instances_[i];
        if (instance.removed() || instance.samples.count() == 0) {
            continue;
        }
        ++walk_;
        uint32_t const lent =
            lendInstance(instance, read, max, sampleMask, viewMask, instanceMask, seq);
        if (lent > 0) {
            vexalog::Logger::getLogger().logMessage(MODULE_LOAN, 7, vexares::DCPS_MSG_SAMPLES_LENT,
                                                    topic_->getName().c_str(), lent);
            return vexa::dds::RETCODE_OK;
        }
    }
    return vexa::dds::RETCODE_NO_DATA;
}

ReturnCode_t Reader::returnLoan(api::SampleSeq& seq) {
    Subscriber::SampleList& pool = getSubscriber()->pool();
    bool failed = false;
    vexa::dds::InstanceHandle_t lastHandle = vexa::dds::HANDLE_NIL;
    int32_t lastIndex = -1;
    bool freed = false;
    for (SampleInfo* info : seq.info) {
        // The pointer comes from the application: it is trusted only once the pool knows it
        // as one of this reader's samples on loan.
        SampleCB* cb = nullptr;
        int32_t const slot = info == nullptr ? -1 : pool.findSample(info, cb);
        if (slot < 0 || (cb->flags & SampleCB::SAMPLE_EXISTS) == 0 || cb->reader != this ||
            cb->loans == 0 || info->instance_handle == vexa::dds::HANDLE_NIL) {
            failed = true;
            continue;
        }
        if (info->instance_handle != lastHandle) {
            lastHandle = info->instance_handle;
            lastIndex = resolveHandle(lastHandle);
        }
        if (lastIndex < 0) {
            failed = true;
            continue;
        }
        --cb->loans;
        info->sample_state = vexa::dds::READ_SAMPLE_STATE;
        info->view_state = vexa::dds::NOT_NEW_VIEW_STATE;
        // Off loan, a taken sample goes and a read one may be replaced: room either way.
        freed = freed || cb->loans == 0;
        if (cb->loans == 0 && (cb->flags & SampleCB::SAMPLE_TAKEN) != 0) {
            deleteSample(instances_[lastIndex], slot);
        }
    }
    // Changes that waited for this room are tried again now, not at the next tick.
    if (freed) {
        getSubscriber()->getParticipant()->getCommunicationObject()->roomMade();
    }
    for (ReadCondition* c : conditions_) {
        if (!hasSamples(c->getSampleStateMask(), c->getViewStateMask(),
                        c->getInstanceStateMask())) {
            c->tryResetTriggerValue();
        }
    }
    return failed ? vexa::dds::RETCODE_PRECONDITION_NOT_MET : vexa::dds::RETCODE_OK;
}

bool Reader::hasSamples(uint32_t sampleMask, uint32_t viewMask, uint32_t instanceMask) const {
    Subscriber::SampleList& pool = getSubscriber()->pool();
    for (InstanceCB const& instance : instances_) {
        if (instance.removed() || (instance.instance_state & instanceMask) == 0) {
            continue;
        }
        for (int32_t ref = instance.samples.first(); ref >= 0;
             ref = instance.samples.nextSample(ref)) {
            SampleCB* cb = nullptr;
            SampleInfo* info = nullptr;
            pool.findSample(instance.samples.findSample(ref).sample_handle, cb, info);
            if ((cb->flags & SampleCB::SAMPLE_TAKEN) == 0 &&
                (static_cast<uint32_t>(info->sample_state) & sampleMask) != 0 &&
                (static_cast<uint32_t>(info->view_state) & viewMask) != 0) {
                return true;
            }
        }
    }
    return false;
}

ReadCondition* Reader::createReadCondition(uint32_t sampleMask, uint32_t viewMask,
                                           uint32_t instanceMask) {
    auto* condition = new ReadCondition(this, sampleMask, viewMask, instanceMask);
    // Samples held already count: a condition made after they came would otherwise wait for
    // the next one, and an application waiting on it for data it holds would wait forever.
    if (hasSamples(sampleMask, viewMask, instanceMask)) {
        condition->setTriggered();
    }
    conditions_.insert(condition);
    return condition;
}

ReturnCode_t Reader::deleteReadCondition(ReadCondition* condition) {
    if (conditions_.count(condition) == 0 || !Condition::tryDelete(condition)) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    conditions_.erase(condition);
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Reader::deleteAllReadConditions() {
    bool stayed = false;
    for (auto it = conditions_.begin(); it != conditions_.end();) {
        if (Condition::tryDelete(*it)) {
            it = conditions_.erase(it);
        } else {
            stayed = true;
            ++it;
        }
    }
    return stayed ? vexa::dds::RETCODE_PRECONDITION_NOT_MET : vexa::dds::RETCODE_OK;
}

void Reader::signalConditions() {
    getStatusCondition().signal();
    for (ReadCondition* c : conditions_) {
        c->signal();
    }
}

ReturnCode_t Reader::getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle) {
    if (!factory_->hasKey()) {
        return vexa::dds::RETCODE_OK;
    }
    int32_t const index = resolveHandle(handle);
    if (index < 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    std::vector<uint8_t> const& key = instances_[index].key;
    if (factory_->unpackKey(keyHolder, key.data(), static_cast<unsigned>(key.size())) == nullptr) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    return vexa::dds::RETCODE_OK;
}

vexa::dds::InstanceHandle_t Reader::lookupInstance(void const* data) {
    if (instances_.empty()) {
        return vexa::dds::HANDLE_NIL;
    }
    unsigned const keyLength = factory_->keylenPacked(data);
    if (keyLength == 0) {
        return instances_[0].handle;
    }
    auto const range = index_.equal_range(factory_->keyHash(data));
    for (auto it = range.first; it != range.second; ++it) {
        InstanceCB const& instance = instances_[it->second];
        if (instance.key.size() == keyLength &&
            factory_->keyEqual(data, instance.key.data(), keyLength, true)) {
            return instance.handle;
        }
    }
    return vexa::dds::HANDLE_NIL;
}

bool Reader::callDataAvailableListener(ListenerCalls::Batch& batch) {
    if (listener_ == nullptr || (listenerMask_ & vexa::dds::DATA_AVAILABLE_STATUS) == 0 ||
        (get_status_changes() & vexa::dds::DATA_AVAILABLE_STATUS) == 0) {
        return false;
    }
    reset_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    api::DREventForwarder* const listener = listener_;
    void* const self = this;
    batch.add("DataReader", topic_->getName(),
              [listener, self] { listener->on_data_available(self); });
    vexalog::Logger::getLogger().logMessage("DCPS::Reader::callDataAvailableListener", 7,
                                            vexares::DCPS_MSG_DATA_AVAILABLE_CALLED,
                                            topic_->getName().c_str());
    return true;
}

bool Reader::invokeListenerOnDataAvailable(ListenerCalls::Batch& batch) {
    if (listener_ == nullptr || (listenerMask_ & vexa::dds::DATA_AVAILABLE_STATUS) == 0) {
        return false;
    }
    api::DREventForwarder* const listener = listener_;
    void* const bridge = bridge_;
    batch.add("DataReader", topic_->getName(),
              [listener, bridge] { listener->on_data_available(bridge); });
    reset_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    return true;
}

}  // namespace vexa::dcps
