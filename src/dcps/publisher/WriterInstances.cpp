// The writer's instances: finding and adding them by key, and the operations that send a sample
// of one (write, register, unregister, dispose).
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/entity/FatalAssertion.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::InstanceHandle_t;
using vexa::dds::ReturnCode_t;

namespace {

char const MODULE_FIND[] = "DCPS::Writer::findInstance";
char const MODULE_WRITE[] = "DCPS::Writer::write";
char const MODULE_REGISTER[] = "DCPS::Writer::registerInstance";
char const MODULE_UNREGISTER[] = "DCPS::Writer::unregisterInstance";
char const MODULE_UNREGISTER_ALL[] = "DCPS::Writer::unregisterAllInstances";
char const MODULE_DISPOSE[] = "DCPS::Writer::dispose";
char const MODULE_REMOVE[] = "DCPS::Writer::removeInstance";

constexpr uint32_t NO_INDEX = 0xFFFFFFFFu;
constexpr size_t TABLE_GROWTH = 10;

void setLastChange(Writer::InstanceCB& instance, uint32_t flags) {
    instance.state = (instance.state & ~Writer::InstanceCB::LAST_CHANGE) | flags;
}

}  // namespace

// ---- the instance table ----

int Writer::findInstance(void const* sample) {
    fatalUnless(sample != nullptr, MODULE_FIND, "data");
    unsigned const keylen = typeSupport_->keylenPacked(sample);
    if (keylen == 0) {
        // A keyless type has one instance, the last slot.
        return (instances_.empty() || !instances_.back().inUse())
                   ? -1
                   : static_cast<int>(instances_.size() - 1);
    }
    auto const range = keyIndex_.equal_range(typeSupport_->keyHash(sample));
    for (auto it = range.first; it != range.second; ++it) {
        InstanceCB const& instance = instances_[it->second];
        if (instance.key.size() == keylen &&
            typeSupport_->keyEqual(sample, instance.key.data(), keylen, true)) {
            return static_cast<int>(it->second);
        }
    }
    return -1;
}

int Writer::findInstance(InstanceHandle_t handle) {
    if (handle == vexa::dds::HANDLE_NIL) {
        return -1;
    }
    auto const it = handleIndex_.find(handle);
    return it == handleIndex_.end() ? -1 : static_cast<int>(it->second);
}

void Writer::packKey(void const* sample, unsigned keylen, std::vector<uint8_t>& key) {
    key.assign(keylen, 0);
    unsigned const l = typeSupport_->packKey(key.data(), keylen, sample);
    fatalUnless(l == keylen, MODULE_FIND, "l == keylen");
}

int Writer::findOrAddInstance(void const* sample) {
    int const found = findInstance(sample);
    if (found >= 0) {
        return found;
    }
    std::vector<uint8_t> key;
    vexa::dds::KeyHash_t hash;
    unsigned const keylen = typeSupport_->keylenPacked(sample);
    if (keylen != 0) {
        hash = typeSupport_->keyHash(sample);
        packKey(sample, keylen, key);
    }
    return addInstance(key, hash, true);
}

int Writer::addInstance(std::vector<uint8_t>& key, vexa::dds::KeyHash_t const& hash,
                        bool withHandle) {
    if (liveInstances_ >= static_cast<uint32_t>(maxInstances_)) {
        return -1;
    }
    int index = -1;
    if (key.empty()) {
        if (!instances_.empty()) {
            index = 0;
        }
    } else {
        for (size_t i = 0; i < instances_.size(); ++i) {
            InstanceCB const& slot = instances_[i];
            if (!slot.inUse() && slot.hash == hash && slot.key == key) {
                index = static_cast<int>(i);
                break;
            }
        }
    }
    if (index >= 0) {
        // A removed instance comes back with its old handle.
        InstanceCB& slot = instances_[static_cast<size_t>(index)];
        if (slot.inUse()) {
            return index;
        }
        InstanceHandle_t handle = withHandle ? slot.handle : vexa::dds::HANDLE_NIL;
        if (withHandle && handle == vexa::dds::HANDLE_NIL) {
            handle = publisher_->getNewObjectID(this, static_cast<uint32_t>(index));
            if (handle == vexa::dds::HANDLE_NIL) {
                return -1;
            }
        }
        slot.handle = handle;
        slot.state &= ~InstanceCB::FREE;
    } else {
        InstanceHandle_t handle = vexa::dds::HANDLE_NIL;
        if (withHandle) {
            handle = publisher_->getNewObjectID(this, static_cast<uint32_t>(instances_.size()));
            if (handle == vexa::dds::HANDLE_NIL) {
                return -1;
            }
        }
        if (instances_.size() == instances_.capacity()) {
            instances_.reserve(instances_.capacity() + TABLE_GROWTH);
        }
        instances_.emplace_back();
        InstanceCB& slot = instances_.back();
        slot.handle = handle;
        slot.key.swap(key);
        slot.hash = hash;
        index = static_cast<int>(instances_.size() - 1);
    }
    InstanceCB& slot = instances_[static_cast<size_t>(index)];
    slot.samples.reserve(static_cast<size_t>(preallocation_));
    slot.lastWrite = clock().now();
    keyIndex_.emplace(slot.hash, static_cast<uint32_t>(index));
    if (slot.handle != vexa::dds::HANDLE_NIL) {
        handleIndex_[slot.handle] = static_cast<uint32_t>(index);
    }
    ++liveInstances_;
    return index;
}

bool Writer::removeInstance(unsigned index) {
    fatalUnless(index < instances_.size(), MODULE_REMOVE,
                "(index >= 0) && (index < instances_.size())");
    InstanceCB& slot = instances_[index];
    if (!slot.inUse()) {
        return false;
    }
    // Key, hash and handle stay for a revival; its last changes are not replaced by a
    // revived instance's.
    slot.state = InstanceCB::FREE;
    slot.recentChanges.clear();
    slot.recentNext = 0;
    auto const range = keyIndex_.equal_range(slot.hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == index) {
            keyIndex_.erase(it);
            break;
        }
    }
    if (slot.handle != vexa::dds::HANDLE_NIL) {
        handleIndex_.erase(slot.handle);
    }
    --liveInstances_;
    return true;
}

// ---- sending ----

ReturnCode_t Writer::send(InstanceCB& instance, SampleCB* sample, uint32_t flags) {
    RTPS::SampleInfo info{};
    std::memcpy(info.keyHash, instance.hash.hash, sizeof info.keyHash);
    info.instanceHandle = instance.handle;
    info.statusFlags = flags;
    info.sourceTimestamp = sample->timestamp;
    info.data = packBuffer_.data();
    info.length = packBuffer_.size();
    int64_t change = 0xFFFFFFFF;
    ReturnCode_t const rc = publisher_->sendRTPSmsg(rtps_, info, change);
    if (rc == vexa::dds::RETCODE_OK) {
        sample->changeHandle = change;
    } else if (rc == vexa::dds::RETCODE_TIMEOUT) {
        roomWanted_ = Room::Engine;
    }
    return rc;
}

void Writer::takeBack(InstanceCB& instance, SampleCB* sample) {
    Replaced const replaced = std::exchange(replaced_, Replaced{});
    if (isVolatile() || !instance.samples.removeSample(sample)) {
        return;
    }
    if (!replaced.pending) {
        sampleLeft();
        return;
    }
    // The sample it was to replace takes its slot again.
    SampleCB* back = instance.samples.getFreeSample();
    back->timestamp = replaced.timestamp;
    instance.samples.addOldest(back);
    back->changeHandle = replaced.changeHandle;
}

ReturnCode_t Writer::afterSend(InstanceCB& instance, SampleCB* sample) {
    if (!isVolatile()) {
        Replaced const replaced = std::exchange(replaced_, Replaced{});
        if (replaced.pending) {
            // KEEP_LAST drops the replaced change at once, acknowledged or not; KEEP_ALL has
            // the engine keep it until it is acknowledged.
            long const handle = static_cast<long>(replaced.changeHandle);
            if (keepsLast()) {
                publisher_->dropRTPSmsg(rtps_, handle);
            } else {
                publisher_->deleteRTPSmsg(rtps_, handle);
            }
        }
        return vexa::dds::RETCODE_OK;
    }
    // The engine has taken the change; a VOLATILE writer keeps no copy, so the engine keeps
    // it until every reader has acknowledged it. With KEEP_LAST the changes beyond the depth
    // are replaced: they go at once, or a reader that does not acknowledge would fill the
    // engine's history and stop the writer.
    int64_t const handle = sample->changeHandle;
    ReturnCode_t const rc = deleteSample(instance, sample);
    if (keepsLast() && qos_.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS) {
        std::vector<int64_t>& recent = instance.recentChanges;
        if (recent.size() < static_cast<size_t>(depth_)) {
            recent.push_back(handle);
        } else {
            int64_t& oldest = recent[instance.recentNext];
            publisher_->dropRTPSmsg(rtps_, static_cast<long>(oldest));
            oldest = handle;
            instance.recentNext = (instance.recentNext + 1) % recent.size();
        }
    }
    return rc;
}

uint32_t Writer::unregisterFlags(InstanceCB const& instance) const {
    bool const disposed = (instance.state & RTPS::SAMPLE_DISPOSED) != 0;
    return (qos_.writer_data_lifecycle.autodispose_unregistered_instances && !disposed)
               ? (RTPS::SAMPLE_UNREGISTERED | RTPS::SAMPLE_DISPOSED)
               : RTPS::SAMPLE_UNREGISTERED;
}

// ---- sample operations ----

ReturnCode_t Writer::write(void const* sample, InstanceHandle_t handle,
                           vexa::dds::Time_t const* timestamp) {
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    fatalUnless(sample != nullptr, MODULE_WRITE, "instance_data");
    if (rtps_ == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;  // closed: no engine writer any more
    }
    int const index =
        handle == vexa::dds::HANDLE_NIL ? findOrAddInstance(sample) : findInstance(handle);
    if (index < 0) {
        vexalog::Logger::getLogger().logMessage(MODULE_WRITE, 4, vexares::DCPS_MSG_NO_INSTANCE,
                                                topic_->getName().c_str(), liveInstances_,
                                                qos_.resource_limits.max_instances);
        return vexa::dds::RETCODE_OUT_OF_RESOURCES;
    }
    InstanceCB& instance = instances_[static_cast<size_t>(index)];
    SampleCB* scb = prepareSample(instance, sample, timestamp);
    if (scb == nullptr) {
        return vexa::dds::RETCODE_OUT_OF_RESOURCES;
    }
    ReturnCode_t const rc = send(instance, scb, RTPS::SAMPLE_ALIVE);
    if (rc != vexa::dds::RETCODE_OK) {
        takeBack(instance, scb);
        return rc;
    }
    setLastChange(instance, RTPS::SAMPLE_ALIVE);
    instance.lastWrite = clock().now();
    return afterSend(instance, scb);
}

InstanceHandle_t Writer::registerInstance(void const* sample) {
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    fatalUnless(sample != nullptr, MODULE_REGISTER, "instance_data");
    int const index = findOrAddInstance(sample);
    if (index < 0) {
        return vexa::dds::RETCODE_OUT_OF_RESOURCES;
    }
    InstanceCB& instance = instances_[static_cast<size_t>(index)];
    instance.state |= InstanceCB::REGISTERED;
    vexalog::Logger::getLogger().logMessage(
        MODULE_REGISTER, 6, vexares::DCPS_MSG_INSTANCE_REGISTERED, topic_->getName().c_str(),
        static_cast<uint32_t>(instance.handle));
    return instance.handle;
}

ReturnCode_t Writer::unregisterSlot(unsigned index, void const* sample,
                                    vexa::dds::Time_t const* timestamp, char const* module) {
    InstanceCB& instance = instances_[index];
    SampleCB* scb = prepareSample(instance, sample, timestamp);
    if (scb == nullptr) {
        return vexa::dds::RETCODE_OUT_OF_RESOURCES;
    }
    uint32_t const flags = unregisterFlags(instance);
    ReturnCode_t rc = send(instance, scb, flags);
    if (rc != vexa::dds::RETCODE_OK) {
        takeBack(instance, scb);
        return rc;
    }
    vexalog::Logger::getLogger().logMessage(module, 6, vexares::DCPS_MSG_INSTANCE_UNREGISTERED,
                                            static_cast<uint32_t>(instance.handle),
                                            topic_->getName().c_str());
    setLastChange(instance, flags);
    rc = afterSend(instance, scb);
    deleteHistory(instance);
    removeInstance(index);
    return rc;
}

ReturnCode_t Writer::unregisterInstance(void const* sample, InstanceHandle_t handle,
                                        vexa::dds::Time_t const* timestamp) {
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    fatalUnless(sample != nullptr, MODULE_UNREGISTER, "instance_data");
    if (rtps_ == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;
    }
    int const index = handle != vexa::dds::HANDLE_NIL ? findInstance(handle) : findInstance(sample);
    if (index < 0 || (instances_[static_cast<size_t>(index)].state & InstanceCB::REGISTERED) == 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    return unregisterSlot(static_cast<unsigned>(index), sample, timestamp, MODULE_UNREGISTER);
}

ReturnCode_t Writer::dispose(void const* sample, InstanceHandle_t handle,
                             vexa::dds::Time_t const* timestamp) {
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    fatalUnless(sample != nullptr, MODULE_DISPOSE, "instance_data");
    if (rtps_ == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;
    }
    int const index = handle != vexa::dds::HANDLE_NIL ? findInstance(handle) : findInstance(sample);
    if (index < 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    InstanceCB& instance = instances_[static_cast<size_t>(index)];
    SampleCB* scb = prepareSample(instance, sample, timestamp);
    if (scb == nullptr) {
        return vexa::dds::RETCODE_OUT_OF_RESOURCES;
    }
    ReturnCode_t rc = send(instance, scb, RTPS::SAMPLE_DISPOSED);
    if (rc != vexa::dds::RETCODE_OK) {
        takeBack(instance, scb);
        return rc;
    }
    setLastChange(instance, RTPS::SAMPLE_DISPOSED);
    rc = afterSend(instance, scb);
    deleteHistory(instance);
    return rc;
}

uint32_t Writer::registeredInstances() const {
    uint32_t n = 0;
    for (InstanceCB const& instance : instances_) {
        if (instance.inUse() && (instance.state & RTPS::SAMPLE_UNREGISTERED) == 0) {
            ++n;
        }
    }
    return n;
}

ReturnCode_t Writer::unregisterAllInstances() {
    if (!isEnabled() || rtps_ == nullptr) {
        return vexa::dds::RETCODE_OK;  // after a close nothing can be sent
    }
    bool const keyed = typeSupport_->hasKey();
    for (unsigned i = 0; i < instances_.size(); ++i) {
        InstanceCB& instance = instances_[i];
        if (!instance.inUse() || (instance.state & RTPS::SAMPLE_UNREGISTERED) != 0) {
            continue;
        }
        // The history goes with the writer anyway: emptied first, a full one takes the
        // unregistration.
        deleteHistory(instance);
        // The sample that carries the unregistration: the key rebuilt from the packed key, or
        // for a keyless type (whose packed key is empty) a default sample.
        void* block = nullptr;
        void* keyObject = nullptr;
        if (keyed) {
            keyObject = typeSupport_->unpackKey(instance.key.data(),
                                                static_cast<unsigned>(instance.key.size()));
        } else {
            size_t stride = 0;
            keyObject = typeSupport_->allocate(1, block, stride);
        }
        if (keyObject == nullptr) {
            continue;
        }
        ReturnCode_t const rc = unregisterSlot(i, keyObject, nullptr, MODULE_UNREGISTER_ALL);
        if (keyed) {
            typeSupport_->deleteObject(keyObject);
        } else {
            typeSupport_->deleteAllocatedObjects(block);
        }
        if (rc != vexa::dds::RETCODE_OK) {
            return rc;
        }
    }
    return vexa::dds::RETCODE_OK;
}

InstanceHandle_t Writer::lookupInstance(void const* sample) {
    int const index = findInstance(sample);
    return index < 0 ? vexa::dds::HANDLE_NIL : instances_[static_cast<size_t>(index)].handle;
}

ReturnCode_t Writer::getKeyValue(void* keyHolder, InstanceHandle_t handle) {
    if (!typeSupport_->hasKey()) {
        return vexa::dds::RETCODE_OK;
    }
    // Only a live instance of this writer: a sibling's handle would index another table.
    uint32_t const index = publisher_->getLocalObjectIndex(handle, this);
    if (index == NO_INDEX || index >= instances_.size() || !instances_[index].inUse() ||
        instances_[index].handle != handle) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    InstanceCB const& instance = instances_[index];
    if (typeSupport_->unpackKey(keyHolder, instance.key.data(),
                                static_cast<unsigned>(instance.key.size())) == nullptr) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    return vexa::dds::RETCODE_OK;
}

}  // namespace vexa::dcps
