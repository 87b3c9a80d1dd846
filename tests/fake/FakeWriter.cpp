#include "fake/FakeWriter.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "rtps/participant/DDSIException.h"

namespace vexatest {

using vexa::dcps::LockLevel;

ChangeData copyChangeData(RecordKind kind, void const* data, uint64_t length) {
    switch (kind) {
        case RecordKind::Participant:
            return *static_cast<vexa::dds::ParticipantBuiltinTopicData const*>(data);
        case RecordKind::Topic:
            return *static_cast<vexa::dds::TopicBuiltinTopicData const*>(data);
        case RecordKind::Publication:
            return *static_cast<vexa::dds::PublicationBuiltinTopicData const*>(data);
        case RecordKind::Subscription:
            return *static_cast<vexa::dds::SubscriptionBuiltinTopicData const*>(data);
        case RecordKind::User:
            break;
    }
    auto const* bytes = static_cast<uint8_t const*>(data);
    return std::vector<uint8_t>(bytes, bytes + length);
}

FakeWriter::FakeWriter(RecordKind kind, bool cheap)
    : kind_(kind), cheap_(cheap), mutex_(LockLevel::Engine, "fake engine writer") {}

void FakeWriter::checkOpen(char const* operation) const {
    expectNoMarkedMutex(operation);
    if (closed_.load()) {
        ADD_FAILURE() << operation << " on a closed engine writer";
    }
}

int64_t FakeWriter::addChange(RTPS::SampleInfo* sample) {
    ++addCalls_;
    if (cheap_) {
        return handleOf(0, nextSeq_++);
    }
    checkOpen("Writer::addChange");
    {
        std::unique_lock<std::mutex> ack(ackMutex_);
        if (blockAdds_ && !acknowledged_) {
            ++addsBlocked_;
            ackChanged_.notify_all();
            if (!ackChanged_.wait_for(ack, maxBlocking_, [this] { return acknowledged_; })) {
                return NOT_TAKEN;
            }
        }
    }
    return take(sample);
}

int64_t FakeWriter::addNow(RTPS::SampleInfo* sample) {
    ++addCalls_;
    if (cheap_) {
        return handleOf(0, nextSeq_++);
    }
    checkOpen("Writer::addNow");
    {
        std::lock_guard<std::mutex> ack(ackMutex_);
        if (blockAdds_ && !acknowledged_) {
            ++addsBlocked_;
            ackChanged_.notify_all();
            return NOT_TAKEN;
        }
    }
    return take(sample);
}

bool FakeWriter::waitForRoom(std::chrono::steady_clock::time_point deadline) {
    checkOpen("Writer::waitForRoom");
    std::unique_lock<std::mutex> ack(ackMutex_);
    if (!blockAdds_) {
        return true;
    }
    deadline = std::min(deadline, std::chrono::steady_clock::now() + maxBlocking_);
    return ackChanged_.wait_until(ack, deadline, [this] { return acknowledged_; });
}

int64_t FakeWriter::take(RTPS::SampleInfo* sample) {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    switch (addResult_) {
        case AddResult::NotTaken:
            return NOT_TAKEN;
        case AddResult::Throw:
            throwAs(addFailure_, "addChange refused by the test");
            break;
        case AddResult::Handle:
            break;
    }
    if (sample == nullptr || sample->data == nullptr) {
        throw RTPS::BAD_PARAMETERS("addChange without data");
    }
    int64_t const handle = handleOf(0, nextSeq_++);
    changes_.push_back({*sample, copyChangeData(kind_, sample->data, sample->length), handle});
    return handle;
}

void FakeWriter::blockAddsUntilAcknowledged(std::chrono::milliseconds maxBlocking) {
    std::lock_guard<std::mutex> ack(ackMutex_);
    blockAdds_ = true;
    acknowledged_ = false;
    maxBlocking_ = maxBlocking;
}

void FakeWriter::acknowledge() {
    std::lock_guard<std::mutex> ack(ackMutex_);
    acknowledged_ = true;
    ackChanged_.notify_all();
}

bool FakeWriter::waitAddBlocked(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> ack(ackMutex_);
    return ackChanged_.wait_for(ack, limit, [this] { return addsBlocked_ > 0; });
}

bool FakeWriter::deleteChange(long handle) {
    if (cheap_) {
        return true;
    }
    checkOpen("Writer::deleteChange");
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    deleted_.push_back(handle);
    switch (deleteResult_) {
        case DeleteResult::True:
            return true;
        case DeleteResult::False:
            return false;
        case DeleteResult::Throw:
            throwAs(deleteFailure_, "deleteChange refused by the test");
            break;
    }
    return false;
}

bool FakeWriter::dropChange(long handle) {
    if (cheap_) {
        return true;
    }
    checkOpen("Writer::dropChange");
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    dropped_.push_back(handle);
    switch (deleteResult_) {
        case DeleteResult::True:
            return true;
        case DeleteResult::False:
            return false;
        case DeleteResult::Throw:
            throwAs(deleteFailure_, "dropChange refused by the test");
            break;
    }
    return false;
}

void FakeWriter::assertLiveliness() {
    checkOpen("Writer::assertLiveliness");
    livelinessGate_.pass();
    ++liveliness_;
}

void FakeWriter::setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                        RTPS::RTPS_AdditionalTopicData const& extra, unsigned int mask) {
    checkOpen("Writer::setQoS");
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    qos_.push_back({data, extra, mask});
}

void FakeWriter::close() {
    checkOpen("Writer::close");
    closed_ = true;
}

void FakeWriter::setAddResult(AddResult r, Failure how) {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    addResult_ = r;
    addFailure_ = how;
}

void FakeWriter::setDeleteResult(DeleteResult r, Failure how) {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    deleteResult_ = r;
    deleteFailure_ = how;
}

std::vector<FakeWriter::Change> FakeWriter::changes() const {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    return changes_;
}

std::vector<long> FakeWriter::deleted() const {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    return deleted_;
}

std::vector<long> FakeWriter::dropped() const {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    return dropped_;
}

std::vector<FakeWriter::QosChange> FakeWriter::qosChanges() const {
    std::lock_guard<vexa::dcps::CoreMutex> lock(mutex_);
    return qos_;
}

}  // namespace vexatest
