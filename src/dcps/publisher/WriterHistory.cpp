// The writer's sample histories: the per-instance list, packing a sample into a history slot,
// removing samples (through the engine), the room a full writer makes or waits for, and the
// lifespan purge.
#include <algorithm>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/DcpsMessages.h"
#include "dcps/entity/FatalAssertion.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/topic/TimeService.h"
#include "dcps/topic/Topic.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {
char const MODULE_LIST[] = "DCPS::Writer::SampleList";
char const MODULE_PREPARE[] = "Writer::prepareSample";
}  // namespace

// ---- SampleList ----

void Writer::SampleList::reserve(size_t n) {
    if (n == 1 && size_ == 0 && (single_ || samples_.empty())) {
        single_ = true;
        return;
    }
    if (single_) {
        single_ = false;
        if (size_ == 1) {
            // The sample held in single mode becomes element 0, the only member.
            samples_.resize(std::max<size_t>(samples_.size(), 1));
            samples_[0] = singleSample_;
            samples_[0].older = -1;
            samples_[0].newer = -1;
            samples_[0].listed = true;
            singleSample_.listed = false;
            oldest_ = newest_ = 0;
            free_.erase(std::remove(free_.begin(), free_.end(), 0), free_.end());
        }
    }
    if (n <= samples_.size()) {
        return;
    }
    size_t const before = samples_.size();
    samples_.resize(n);
    // Pushed so that the lowest index is popped first.
    for (size_t i = n; i > before; --i) {
        free_.push_back(static_cast<int32_t>(i - 1));
    }
}

Writer::SampleCB* Writer::SampleList::getFreeSample() {
    if (single_) {
        return size_ == 0 ? &singleSample_ : nullptr;
    }
    if (free_.empty()) {
        return nullptr;
    }
    int32_t const i = free_.back();
    free_.pop_back();
    SampleCB* scb = &samples_[static_cast<size_t>(i)];
    *scb = SampleCB{};
    return scb;
}

void Writer::SampleList::addSample(SampleCB* scb) {
    if (single_) {
        fatalUnless(scb == &singleSample_ && size_ == 0, MODULE_LIST,
                    "(scb==&singleSample) && !size_");
        scb->older = scb->newer = -1;
        scb->listed = true;
        size_ = 1;
        return;
    }
    int32_t const index = samples_.empty() ? -1 : static_cast<int32_t>(scb - samples_.data());
    fatalUnless(index >= 0 && static_cast<size_t>(index) < samples_.size() && !scb->listed,
                MODULE_LIST, "(my_index >= 0) && ((size_t)my_index < samples.size())");
    // From the newest back past every later timestamp: equal ones stay before it.
    int32_t after = newest_;
    while (after >= 0 && samples_[static_cast<size_t>(after)].timestamp > scb->timestamp) {
        after = samples_[static_cast<size_t>(after)].older;
    }
    scb->older = after;
    if (after >= 0) {
        SampleCB& prev = samples_[static_cast<size_t>(after)];
        scb->newer = prev.newer;
        prev.newer = index;
    } else {
        scb->newer = oldest_;
        oldest_ = index;
    }
    if (scb->newer >= 0) {
        samples_[static_cast<size_t>(scb->newer)].older = index;
    } else {
        newest_ = index;
    }
    scb->listed = true;
    ++size_;
}

void Writer::SampleList::addOldest(SampleCB* scb) {
    if (single_) {
        addSample(scb);
        return;
    }
    int32_t const index = samples_.empty() ? -1 : static_cast<int32_t>(scb - samples_.data());
    fatalUnless(index >= 0 && static_cast<size_t>(index) < samples_.size() && !scb->listed,
                MODULE_LIST, "(my_index >= 0) && ((size_t)my_index < samples.size())");
    scb->older = -1;
    scb->newer = oldest_;
    if (oldest_ >= 0) {
        samples_[static_cast<size_t>(oldest_)].older = index;
    } else {
        newest_ = index;
    }
    oldest_ = index;
    scb->listed = true;
    ++size_;
}

bool Writer::SampleList::removeSample(SampleCB* scb) {
    if (single_) {
        fatalUnless(scb == &singleSample_ && size_ != 0, MODULE_LIST,
                    "(scb==&singleSample) && size_");
        scb->listed = false;
        size_ = 0;
        return true;
    }
    if (samples_.empty() || scb < samples_.data() || scb >= samples_.data() + samples_.size() ||
        !scb->listed) {
        return false;
    }
    int32_t const index = static_cast<int32_t>(scb - samples_.data());
    if (scb->older >= 0) {
        samples_[static_cast<size_t>(scb->older)].newer = scb->newer;
    } else {
        oldest_ = scb->newer;
    }
    if (scb->newer >= 0) {
        samples_[static_cast<size_t>(scb->newer)].older = scb->older;
    } else {
        newest_ = scb->older;
    }
    scb->older = scb->newer = -1;
    scb->listed = false;
    free_.push_back(index);
    --size_;
    return true;
}

Writer::SampleCB* Writer::SampleList::nextSample(SampleCB const* previous) {
    if (single_) {
        return (previous == nullptr && size_ != 0) ? &singleSample_ : nullptr;
    }
    int32_t const next = previous == nullptr ? oldest_ : previous->newer;
    return next >= 0 ? &samples_[static_cast<size_t>(next)] : nullptr;
}

// ---- the writer's histories ----

Writer::SampleCB* Writer::prepareSample(InstanceCB& instance, void const* sample,
                                        vexa::dds::Time_t const* timestamp) {
    unsigned const len = typeSupport_->lenPacked(sample);
    if (len == 0) {
        return nullptr;
    }
    packBuffer_.resize(len);
    if (typeSupport_->pack(packBuffer_.data(), len, sample) == 0) {
        return nullptr;  // nothing valid to send
    }
    if (isVolatile()) {
        // No history: the embedded sample carries the one change on its way to the engine.
        SampleCB* scb = &instance.samples.embeddedSample();
        scb->timestamp = timestamp != nullptr ? *timestamp : clock().now();
        scb->changeHandle = -1;
        return scb;
    }
    auto& log = vexalog::Logger::getLogger();
    SampleList& list = instance.samples;
    replaced_ = Replaced{};
    if (list.size() >= static_cast<uint32_t>(depth_) && list.size() > 0) {
        // A full instance: the new sample takes the oldest one's slot, but the oldest leaves
        // the engine only once the new one was sent (afterSend); a failed send puts it back
        // (takeBack). The count stays, so max_samples needs no room elsewhere.
        SampleCB* oldest = list.oldest();
        replaced_ = Replaced{true, oldest->changeHandle, oldest->timestamp};
        list.removeSample(oldest);
        SampleCB* scb = list.getFreeSample();
        scb->timestamp = timestamp != nullptr ? *timestamp : clock().now();
        list.addSample(scb);
        scb->changeHandle = -1;
        return scb;
    }
    if (static_cast<uint32_t>(maxSamples_) <= sampleCount_ &&
        static_cast<int64_t>(maxSamples_) < static_cast<int64_t>(maxInstances_) * depth_) {
        // Nothing can make room while the caller holds the publisher mutex: the publisher
        // waits for it after releasing the mutex, when the writer may block.
        if (!tryDeleteHistorySample(false, 0, 0)) {
            log.logMessage(MODULE_PREPARE, 6, vexares::DCPS_MSG_HISTORY_FULL,
                           topic_->getName().c_str(), sampleCount_,
                           qos_.resource_limits.max_samples);
            uint64_t startMs = 0;
            uint64_t timeoutMs = 0;
            if (calcWriteTimeout(startMs, timeoutMs)) {
                roomWanted_ = Room::History;
            }
            return nullptr;
        }
    }
    SampleCB* scb = list.getFreeSample();
    if (scb == nullptr && list.size() < static_cast<uint32_t>(depth_)) {
        list.reserve(std::min<size_t>(list.capacity() + static_cast<size_t>(preallocation_),
                                      static_cast<size_t>(depth_)));
        scb = list.getFreeSample();
    }
    if (scb == nullptr) {
        log.logMessage(MODULE_PREPARE, 6, vexares::DCPS_MSG_INSTANCE_FULL,
                       topic_->getName().c_str(), list.size(), qos_.history.depth);
        return nullptr;
    }
    scb->timestamp = timestamp != nullptr ? *timestamp : clock().now();
    list.addSample(scb);
    ++sampleCount_;
    scb->changeHandle = -1;
    return scb;
}

ReturnCode_t Writer::deleteSample(InstanceCB& instance, SampleCB* sample) {
    if (sample == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    ReturnCode_t const rc =
        publisher_->deleteRTPSmsg(rtps_, static_cast<long>(sample->changeHandle));
    if (rc != vexa::dds::RETCODE_OK) {
        return rc;
    }
    if (isVolatile()) {
        return vexa::dds::RETCODE_OK;
    }
    if (!instance.samples.removeSample(sample)) {
        return vexa::dds::RETCODE_ERROR;
    }
    sampleLeft();
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Writer::replaceSample(InstanceCB& instance, SampleCB* sample) {
    if (!keepsLast() || sample == nullptr) {
        return deleteSample(instance, sample);
    }
    ReturnCode_t const rc = publisher_->dropRTPSmsg(rtps_, static_cast<long>(sample->changeHandle));
    if (rc != vexa::dds::RETCODE_OK) {
        return rc;
    }
    if (!instance.samples.removeSample(sample)) {
        return vexa::dds::RETCODE_ERROR;
    }
    sampleLeft();
    return vexa::dds::RETCODE_OK;
}

void Writer::sampleLeft() {
    --sampleCount_;
    publisher_->signalForWriterResources();
}

void Writer::deleteHistory(InstanceCB& instance) {
    // A sample the engine refuses to remove stays (the refusal is logged by deleteRTPSmsg).
    while (SampleCB* oldest = instance.samples.oldest()) {
        if (deleteSample(instance, oldest) != vexa::dds::RETCODE_OK) {
            return;
        }
    }
}

bool Writer::calcWriteTimeout(uint64_t& startMs, uint64_t& timeoutMs) const {
    startMs = 0;
    timeoutMs = 0;
    if (qos_.reliability.kind != vexa::dds::RELIABLE_RELIABILITY_QOS) {
        return false;
    }
    vexa::dds::Duration_t const& max = qos_.reliability.max_blocking_time;
    if (max == vexa::dds::DURATION_INFINITE) {
        return true;  // no limit
    }
    if (max.sec < 0) {
        return false;
    }
    startMs = vexa::OsGetMonotonicMks() / 1000;
    timeoutMs = static_cast<uint64_t>(max.sec) * 1000 + max.nanosec / 1000000;
    return timeoutMs != 0;
}

bool Writer::recalcWriteTimeout(uint64_t startMs, uint64_t& timeoutMs) const {
    uint64_t const elapsed = vexa::OsGetMonotonicMks() / 1000 - startMs;
    if (elapsed >= timeoutMs) {
        return false;
    }
    timeoutMs -= elapsed;
    return true;
}

bool Writer::tryDeleteHistorySample(bool mayBlock, uint64_t startMs, uint64_t timeoutMs) {
    // An instance's last sample is never taken here, so the one taken has a newer one.
    auto takeOldest = [this](InstanceCB& instance) {
        return instance.samples.size() > 1 &&
               replaceSample(instance, instance.samples.oldest()) == vexa::dds::RETCODE_OK;
    };
    for (InstanceCB& instance : instances_) {
        if (!instance.inUse() && takeOldest(instance)) {
            return true;
        }
    }
    for (;;) {
        for (InstanceCB& instance : instances_) {
            if (takeOldest(instance)) {
                return true;
            }
        }
        if (!mayBlock) {
            return false;
        }
        uint64_t left = timeoutMs;
        if (!recalcWriteTimeout(startMs, left) ||
            !publisher_->waitForWriterResources(static_cast<unsigned long>(left))) {
            return false;
        }
    }
}

bool Writer::deleteOutdatedSamplesDueLifespan() {
    vexa::dds::Duration_t const& lifespan = qos_.lifespan.duration;
    if (isVolatile() || lifespan.sec == 0x7fffffff) {
        return false;
    }
    bool removed = false;
    for (InstanceCB& instance : instances_) {
        while (SampleCB* oldest = instance.samples.oldest()) {
            if (!clock().isTimeIntervalElapsed(oldest->timestamp, lifespan) ||
                deleteSample(instance, oldest) != vexa::dds::RETCODE_OK) {
                break;
            }
            removed = true;
        }
    }
    return removed;
}

}  // namespace vexa::dcps
