// A reader's intake of one received sample: room, data object, instance, ownership and
// unregistration rules, then the sample filed in its instance's history.
#include <limits>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/condition/ReadCondition.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/ReaderRemoteDW.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::SampleInfo;
using SampleCB = Subscriber::SampleCB;

namespace {

char const MODULE_INTAKE[] = "DCPS::Reader::ddsisampleHandler";
char const MODULE_ADD[] = "DCPS::Reader::addSample";
char const MODULE_DELETE[] = "DCPS::Reader::deleteSample";

constexpr uint32_t FLAG_HISTORICAL = 0x40000000u;
constexpr uint32_t FLAG_DISPOSED = 2u;
constexpr uint32_t FLAG_UNREGISTERED = 4u;

bool zero(uint8_t const (&hash)[16]) {
    for (uint8_t b : hash) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

uint64_t Reader::historyCapacity() const {
    return static_cast<uint64_t>(maxInstances_) * depth_;
}

int Reader::ddsisampleHandler(RTPS::SampleInfo const& sample, vexa::dds::Duration_t& queued,
                              uint32_t const (&guidPrefix)[3], uint32_t entityId) {
    auto& log = vexalog::Logger::getLogger();
    char const* const topic = topic_->getName().c_str();

    // 1. Room: a full reader makes room from expired or already read samples, else waits
    // (RELIABLE) or refuses. When the limit covers every instance's history, the instance's own
    // history makes room instead.
    if (maxSamples_ <= held_ && !makeRoom()) {
        if (postponeSample(queued)) {
            return POSTPONE;
        }
        rejectSample(vexa::dds::REJECTED_BY_SAMPLES_LIMIT, vexa::dds::HANDLE_NIL);
        return REJECTED;
    }

    // 2. The data object.
    void* data = nullptr;
    int32_t const object = allocateSample(sample, data);
    if (data == nullptr) {
        looseSample();
        log.logMessage(MODULE_INTAKE, 2, vexares::DCPS_MSG_SAMPLE_NOT_UNPACKED, topic);
        return LOST;
    }

    // 3. The remote writer (this also renews its liveliness); an unknown one is allowed.
    bool const historical = (sample.statusFlags & FLAG_HISTORICAL) != 0;
    int32_t writer = -1;
    if (!historical) {
        writer = locateRDWforReceivedSample(guidPrefix, entityId);
        if (writer >= 0 && !rdws_[writer].compatible()) {
            deallocateSample(data, object);
            return REJECTED;
        }
        if (writer >= 0 && isSampleOutdatedDueLifespan(sample.sourceTimestamp, writer)) {
            looseSample();
            deallocateSample(data, object);
            return LOST;
        }
    }

    // 4. The instance.
    int32_t const index = locateInstanceforReceivedSample(sample, data, writer);
    if (index < 0) {
        rejectSample(vexa::dds::REJECTED_BY_INSTANCES_LIMIT, vexa::dds::HANDLE_NIL);
        log.logMessage(MODULE_INTAKE, 3, vexares::DCPS_MSG_SAMPLE_NO_INSTANCE, topic);
        deallocateSample(data, object);
        return REJECTED;
    }
    InstanceCB& instance = instances_[index];

    // 5. Ownership: under EXCLUSIVE ownership the strongest writer owns the instance.
    bool const unregistration = (sample.statusFlags & FLAG_UNREGISTERED) != 0;
    if (exclusive_ && !historical && instance.owner != writer) {
        if (instance.owner >= 0 && writer < 0) {
            deallocateSample(data, object);
            return REJECTED;
        }
        if (instance.owner >= 0 && !rdws_[writer].isStrongerThan(rdws_[instance.owner])) {
            log.logMessage(MODULE_INTAKE, 7, vexares::DCPS_MSG_SAMPLE_NOT_OWNER, topic,
                           static_cast<uint32_t>(instance.handle), writer);
            if (unregistration) {
                removeInstanceForDW(rdws_[writer], sample.instanceHandle);
            }
            deallocateSample(data, object);
            return REJECTED;
        }
        if (writer >= 0) {
            instance.owner = writer;
            log.logMessage(MODULE_INTAKE, 6, vexares::DCPS_MSG_INSTANCE_OWNER, topic,
                           static_cast<uint32_t>(instance.handle), writer);
        }
    }

    // 6. Unregistration.
    RTPS::SampleInfo filed = sample;
    if (unregistration && !historical) {
        log.logMessage(MODULE_INTAKE, 6, vexares::DCPS_MSG_READER_INSTANCE_UNREGISTERED, topic,
                       static_cast<uint32_t>(instance.handle));
        if (instance.owner >= 0) {
            instance.owner = -1;
            log.logMessage(MODULE_INTAKE, 7, vexares::DCPS_MSG_INSTANCE_OWNER_LOST, topic,
                           static_cast<uint32_t>(instance.handle));
        }
        if (writer >= 0) {
            removeInstanceForDW(rdws_[writer], sample.instanceHandle);
        }
        bool keep = true;
        if ((instance.instance_state & ~InstanceCB::REMOVED) ==
            vexa::dds::NOT_ALIVE_DISPOSED_INSTANCE_STATE) {
            keep = false;
        } else if (instance.writers > 0) {
            // Other writers still write it: only a disposal counts, as a disposal.
            keep = (sample.statusFlags & FLAG_DISPOSED) != 0;
            filed.statusFlags &= ~FLAG_UNREGISTERED;
        }
        if (!keep) {
            deallocateSample(data, object);
            return LOST;
        }
    }

    // 7. File it.
    if (carriedByUnread(instance, filed.statusFlags)) {
        deallocateSample(data, object);
        set_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
        return ACCEPTED;
    }
    int const added = addSample(instance, object, data, filed, writer);
    if (added == 0) {
        set_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
        return ACCEPTED;
    }
    if (added == 3 && postponeSample(queued)) {
        log.logMessage(MODULE_INTAKE, 6, vexares::DCPS_MSG_HISTORY_FULL_POSTPONED, topic,
                       static_cast<uint32_t>(instance.handle));
        deallocateSample(data, object);
        return POSTPONE;
    }
    instance.state(filed.statusFlags, getSubscriber()->getTimeService());
    log.logMessage(MODULE_INTAKE, 6, vexares::DCPS_MSG_HISTORY_FULL_REJECTED, topic,
                   static_cast<uint32_t>(instance.handle));
    rejectSample(vexa::dds::REJECTED_BY_SAMPLES_PER_INSTANCE_LIMIT, instance.handle);
    deallocateSample(data, object);
    return REJECTED;
}

int32_t Reader::allocateSample(RTPS::SampleInfo const& sample, void*& data) {
    data = nullptr;
    // The payload's own length bounds every read of it; one that does not fit the type
    // support's length is refused like a malformed one.
    if (sample.data == nullptr || sample.length > std::numeric_limits<unsigned>::max()) {
        return -1;
    }
    auto const length = static_cast<unsigned>(sample.length);
    if (!freeObjects_.empty()) {
        uint32_t const index = freeObjects_.back();
        void* object = allocBase_ + static_cast<size_t>(index) * stride_;
        if (factory_->unpack(object, sample.data, length) == nullptr) {
            return -1;
        }
        freeObjects_.pop_back();
        data = object;
        return static_cast<int32_t>(index);
    }
    if (sample.length > SPARE_MAX_LENGTH) {
        data = factory_->unpack(sample.data, length);
        return HEAP_OBJECT;
    }
    if (!spareObjects_.empty()) {
        void* object = spareObjects_.back();
        spareObjects_.pop_back();
        data = factory_->unpack(object, sample.data, length);
        if (data == nullptr) {
            // Half filled by the failed unpack: not kept.
            factory_->deleteObject(object);
        }
        return SPARE_OBJECT;
    }
    data = factory_->unpack(sample.data, length);
    return SPARE_OBJECT;
}

void Reader::deallocateSample(void* data, int32_t object) {
    if (object >= 0) {
        freeObjects_.push_back(static_cast<uint32_t>(object));
    } else {
        releaseHeapObject(data, object == SPARE_OBJECT);
    }
}

void Reader::releaseHeapObject(void* data, bool spare) {
    if (data == nullptr) {
        return;
    }
    if (spare && spareObjects_.size() < SPARE_OBJECTS) {
        if (spareObjects_.capacity() == 0) {
            spareObjects_.reserve(SPARE_OBJECTS);
        }
        spareObjects_.push_back(data);
    } else {
        factory_->deleteObject(data);
    }
}

int32_t Reader::addInstance(std::vector<uint8_t>&& key, vexa::dds::KeyHash_t const& hash) {
    if (live_ >= maxInstances_) {
        removeOutdatedInstances();
        if (live_ >= maxInstances_) {
            return -1;
        }
    }
    auto const index = static_cast<int32_t>(instances_.size());
    vexa::dds::InstanceHandle_t const handle = getSubscriber()->getNewObjectID(this, index);
    if (handle == vexa::dds::HANDLE_NIL) {
        return -1;
    }
    if (instances_.size() == instances_.capacity()) {
        instances_.reserve(instances_.size() + 10);
    }
    instances_.emplace_back();
    InstanceCB& instance = instances_.back();
    instance.handle = handle;
    instance.key = std::move(key);
    instance.hash = hash;
    instance.samples.reserve(listStep_);
    ++live_;
    index_.emplace(hash, index);
    return index;
}

int32_t Reader::locateInstanceforReceivedSample(RTPS::SampleInfo const& sample, void const* data,
                                                int32_t writer) {
    RemoteDW* const w = writer >= 0 ? &rdws_[writer] : nullptr;
    int32_t const writerHandle = sample.instanceHandle;
    // The writer's own handle finds the instance at once. Compaction rewrites the map and a
    // removed instance is revived through its key, so the entry is checked before it is used.
    if (w != nullptr && writerHandle != 0) {
        auto it = w->instances.find(writerHandle);
        if (it != w->instances.end()) {
            if (it->second < instances_.size() && !instances_[it->second].removed()) {
                return static_cast<int32_t>(it->second);
            }
            w->instances.erase(it);
        }
    }
    int32_t found = -1;
    unsigned const keyLength = factory_->keylenPacked(data);
    if (keyLength > 0) {
        vexa::dds::KeyHash_t hash;
        if (zero(sample.keyHash)) {
            hash = factory_->keyHash(data);
        } else {
            std::memcpy(hash.hash, sample.keyHash, sizeof hash.hash);
        }
        auto const range = index_.equal_range(hash);
        for (auto it = range.first; it != range.second; ++it) {
            InstanceCB const& candidate = instances_[it->second];
            if (candidate.key.size() == keyLength &&
                factory_->keyEqual(data, candidate.key.data(), keyLength, true)) {
                found = it->second;  // the last match wins
            }
        }
        if (found < 0) {
            std::vector<uint8_t> key(keyLength, 0);
            if (factory_->packKey(key.data(), keyLength, data) != keyLength) {
                return -1;  // the type support disagrees with itself about the key's length
            }
            int32_t const added = addInstance(std::move(key), hash);
            if (added >= 0 && w != nullptr) {
                addInstanceForDW(*w, writerHandle, static_cast<uint32_t>(added));
            }
            return added;
        }
    } else if (instances_.empty()) {
        int32_t const added = addInstance({}, vexa::dds::KeyHash_t{});
        if (added >= 0 && w != nullptr) {
            addInstanceForDW(*w, writerHandle, static_cast<uint32_t>(added));
        }
        return added;
    } else {
        found = 0;
    }
    InstanceCB& instance = instances_[found];
    if (instance.removed()) {
        instance.instance_state = vexa::dds::NOT_ALIVE_NO_WRITERS_INSTANCE_STATE;
        ++live_;
    }
    if (w != nullptr) {
        addInstanceForDW(*w, writerHandle, static_cast<uint32_t>(found));
    }
    return found;
}

bool Reader::carriedByUnread(InstanceCB& instance, uint32_t statusFlags) {
    SampleRefList const& list = instance.samples;
    if ((statusFlags & 1u) != 0 || list.count() == 0 || list.count() < depth_) {
        return false;
    }
    SampleCB* oldest = nullptr;
    SampleInfo* oldestInfo = nullptr;
    getSubscriber()->pool().findSample(list.findSample(list.first()).sample_handle, oldest,
                                       oldestInfo);
    if (oldestInfo == nullptr || oldestInfo->sample_state != vexa::dds::NOT_READ_SAMPLE_STATE) {
        return false;
    }
    instance.state(statusFlags, getSubscriber()->getTimeService());
    for (ReadCondition* c : conditions_) {
        c->trySetTriggerValue(vexa::dds::NOT_READ_SAMPLE_STATE,
                              static_cast<uint32_t>(oldestInfo->view_state),
                              static_cast<uint32_t>(instance.instance_state));
    }
    return true;
}

int Reader::addSample(InstanceCB& instance, int32_t object, void* data,
                      RTPS::SampleInfo const& sample, int32_t writer) {
    Subscriber* const subscriber = getSubscriber();
    Subscriber::SampleList& pool = subscriber->pool();
    SampleRefList& list = instance.samples;

    // 1. A reference: a free one, a new one while the list is below its depth, or the oldest.
    int32_t ref = list.getFreeSampleIndex();
    if (ref < 0 && depth_ > list.size()) {
        list.reserve(std::min(depth_, list.size() + listStep_));
        ref = list.getFreeSampleIndex();
    }
    if (ref < 0) {
        if (!removeExpiredSamples(instance)) {
            int32_t const oldestSlot = list.findSample(list.first()).sample_handle;
            SampleCB* oldest = nullptr;
            SampleInfo* oldestInfo = nullptr;
            pool.findSample(oldestSlot, oldest, oldestInfo);
            if (oldest->loans > 0) {
                return 3;
            }
            if (qos_.destination_order.kind ==
                    vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS &&
                oldestInfo->source_timestamp > sample.sourceTimestamp) {
                return 2;  // older than everything kept
            }
            deleteSample(instance, oldestSlot);
        }
        ref = list.getFreeSampleIndex();
        if (ref < 0) {
            return 3;
        }
    }

    // 2. A pool slot.
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    int32_t const slot = subscriber->getFreeSampleSlot(cb, info);
    SampleRefList::Ref& r = list.findSample(ref);
    r.sample_handle = slot;
    r.writer = writer;

    // 3. The instance state.
    instance.state(sample.statusFlags, subscriber->getTimeService());

    // 4. The records. NEW when the application has not seen this generation of the instance.
    cb->ref_index = ref;
    cb->data = data;
    cb->loans = 0;
    cb->reader = this;
    info->sample_state = vexa::dds::NOT_READ_SAMPLE_STATE;
    info->view_state = instance.disposed_generation_count > instance.seen_disposed ||
                               instance.no_writers_generation_count > instance.seen_no_writers
                           ? vexa::dds::NEW_VIEW_STATE
                           : vexa::dds::NOT_NEW_VIEW_STATE;
    info->instance_state = static_cast<int32_t>(instance.instance_state);
    info->source_timestamp = sample.sourceTimestamp;
    info->instance_handle = instance.handle;
    info->publication_handle = publicationHandle(writer);
    info->disposed_generation_count = instance.disposed_generation_count;
    info->no_writers_generation_count = instance.no_writers_generation_count;
    info->sample_rank = 0;
    info->generation_rank = 0;
    info->absolute_generation_rank = 0;
    // The sample's own state, not the instance's: a replayed sample of a writer that is gone
    // carries data on an instance that stays NOT_ALIVE_NO_WRITERS.
    info->valid_data = (sample.statusFlags & 1u) != 0;

    // 5. Into the arrival list.
    pool.addSample(slot);
    if (object < 0) {
        cb->flags |= SampleCB::SAMPLE_HEAP_OBJECT;
        if (object == SPARE_OBJECT) {
            cb->flags |= SampleCB::SAMPLE_SPARE_OBJECT;
        }
    }

    // 6. Into the instance's history.
    if (qos_.destination_order.kind == vexa::dds::BY_SOURCE_TIMESTAMP_DESTINATIONORDER_QOS) {
        int32_t after = list.last();
        while (after >= 0) {
            SampleCB* c = nullptr;
            SampleInfo* i = nullptr;
            pool.findSample(list.findSample(after).sample_handle, c, i);
            if (!(i->source_timestamp > sample.sourceTimestamp)) {
                break;
            }
            after = list.prevSample(after);
        }
        list.addSample(ref, after);
    } else {
        list.addSample(ref);
    }

    // 7. Counted, and offered to the read conditions.
    ++held_;
    vexalog::Logger::getLogger().logMessage(MODULE_ADD, 7, vexares::DCPS_MSG_SAMPLE_ADDED,
                                            topic_->getName().c_str(),
                                            static_cast<uint32_t>(instance.handle), slot);
    for (ReadCondition* c : conditions_) {
        c->trySetTriggerValue(static_cast<uint32_t>(info->sample_state),
                              static_cast<uint32_t>(info->view_state),
                              static_cast<uint32_t>(info->instance_state));
    }
    return 0;
}

void Reader::deleteSample(InstanceCB& instance, int32_t slot) {
    Subscriber::SampleList& pool = getSubscriber()->pool();
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    pool.findSample(slot, cb, info);
    vexalog::Logger::getLogger().logMessage(MODULE_DELETE, 7, vexares::DCPS_MSG_SAMPLE_DELETED,
                                            topic_->getName().c_str(),
                                            static_cast<uint32_t>(instance.handle), slot);
    instance.samples.removeSample(cb->ref_index);
    --held_;
    if ((cb->flags & SampleCB::SAMPLE_HEAP_OBJECT) != 0) {
        releaseHeapObject(cb->data, (cb->flags & SampleCB::SAMPLE_SPARE_OBJECT) != 0);
    } else {
        auto const offset = static_cast<size_t>(static_cast<char*>(cb->data) - allocBase_);
        freeObjects_.push_back(static_cast<uint32_t>(offset / stride_));
    }
    if (info->sample_state == vexa::dds::NOT_READ_SAMPLE_STATE) {
        looseSample();
    }
    pool.removeSample(slot);
}

void Reader::rejectSample(vexa::dds::SampleRejectedStatusKind kind,
                          vexa::dds::InstanceHandle_t handle) {
    ++rejected_.total_count;
    ++rejected_.total_count_change;
    rejected_.last_reason = kind;
    rejected_.last_instance_handle = handle;
    set_status_changes(vexa::dds::SAMPLE_REJECTED_STATUS);
}

void Reader::looseSample() {
    ++lost_.total_count;
    ++lost_.total_count_change;
    set_status_changes(vexa::dds::SAMPLE_LOST_STATUS);
}

bool Reader::postponeSample(vexa::dds::Duration_t const& queued) const {
    (void)queued;
    return qos_.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS;
}

bool Reader::isSampleOutdatedDueLifespan(vexa::dds::Time_t source, int32_t writer) const {
    // Only a known writer's samples expire (its lifespan comes with its record).
    if (writer < 0 || static_cast<size_t>(writer) >= rdws_.size() ||
        source == vexa::dds::TIME_INVALID) {
        return false;
    }
    return getSubscriber()->getTimeService().isTimeIntervalElapsed(source, rdws_[writer].lifespan);
}

vexa::dds::InstanceHandle_t Reader::publicationHandle(int32_t writer) const {
    if (writer < 0 || static_cast<size_t>(writer) >= rdws_.size()) {
        return vexa::dds::HANDLE_NIL;
    }
    return rdws_[writer].handle;
}

bool Reader::removeExpiredSamples(InstanceCB& instance) {
    Subscriber::SampleList& pool = getSubscriber()->pool();
    bool deleted = false;
    int32_t ref = instance.samples.first();
    while (ref >= 0) {
        SampleRefList::Ref const& r = instance.samples.findSample(ref);
        int32_t const next = r.next;
        SampleCB* cb = nullptr;
        SampleInfo* info = nullptr;
        pool.findSample(r.sample_handle, cb, info);
        if (r.writer >= 0 && cb->loans == 0 &&
            isSampleOutdatedDueLifespan(info->source_timestamp, r.writer)) {
            deleteSample(instance, r.sample_handle);
            deleted = true;
        }
        ref = next;
    }
    return deleted;
}

bool Reader::removeExpiredSamples() {
    bool deleted = false;
    for (InstanceCB& instance : instances_) {
        if (!instance.removed() && instance.samples.count() > 0 && removeExpiredSamples(instance)) {
            deleted = true;
        }
    }
    return deleted;
}

bool Reader::makeRoom() {
    uint64_t const pass = getSubscriber()->intakePass();
    if (pass != 0 && noRoomInPass_ == pass) {
        return false;
    }
    if (removeExpiredSamples() || maxSamples_ >= historyCapacity() || tryDeleteHistorySample()) {
        return true;
    }
    noRoomInPass_ = pass;
    return false;
}

bool Reader::tryDeleteHistorySample() {
    Subscriber* const subscriber = getSubscriber();
    Subscriber::SampleList& pool = subscriber->pool();
    bool const reliable = qos_.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS;
    SampleCB* cb = nullptr;
    SampleInfo* info = nullptr;
    for (int32_t slot = pool.nextSampleAvailableForRead(-1, this, cb, info); slot >= 0;
         slot = pool.nextSampleAvailableForRead(slot, this, cb, info)) {
        if (cb->loans > 0 || (reliable && info->sample_state != vexa::dds::READ_SAMPLE_STATE)) {
            continue;
        }
        int32_t const index = resolveHandle(info->instance_handle);
        if (index < 0) {
            continue;
        }
        deleteSample(instances_[index], slot);
        return true;
    }
    return false;
}

bool Reader::sampleNoDW(int32_t index) {
    auto& log = vexalog::Logger::getLogger();
    InstanceCB& instance = instances_[index];
    log.logMessage("DCPS::Reader::sampleNoDW", 6, vexares::DCPS_MSG_INSTANCE_NO_WRITERS,
                   topic_->getName().c_str(), static_cast<uint32_t>(instance.handle));
    if (carriedByUnread(instance, FLAG_UNREGISTERED)) {
        set_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
        getSubscriber()->set_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
        return true;
    }
    if (maxSamples_ <= held_ && maxSamples_ < historyCapacity() && !tryDeleteHistorySample()) {
        looseSample();
        return false;
    }
    auto const keyLength = static_cast<unsigned>(instance.key.size());
    void* data = nullptr;
    int32_t object = HEAP_OBJECT;
    if (!freeObjects_.empty()) {
        object = static_cast<int32_t>(freeObjects_.back());
        data = factory_->unpackKey(allocBase_ + static_cast<size_t>(object) * stride_,
                                   instance.key.data(), keyLength);
        if (data != nullptr) {
            freeObjects_.pop_back();
        } else {
            object = HEAP_OBJECT;
        }
    } else {
        data = factory_->unpackKey(instance.key.data(), keyLength);
    }
    if (data == nullptr) {
        looseSample();
        return false;
    }
    RTPS::SampleInfo sample{};
    sample.statusFlags = FLAG_UNREGISTERED;
    sample.sourceTimestamp = getSubscriber()->getTimeService().now();
    if (addSample(instance, object, data, sample, -1) != 0) {
        instance.state(sample.statusFlags, getSubscriber()->getTimeService());
        looseSample();
        deallocateSample(data, object);
        return false;
    }
    set_status_changes(vexa::dds::DATA_AVAILABLE_STATUS);
    getSubscriber()->set_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
    return true;
}

}  // namespace vexa::dcps
