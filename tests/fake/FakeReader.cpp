#include "fake/FakeReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "rtps/participant/DDSIException.h"

namespace vexatest {

using vexa::dcps::CoreMutex;
using vexa::dcps::LockLevel;

namespace {

void* dataPointer(ChangeData& data) {
    return std::visit(
        [](auto& value) -> void* {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same<T, std::vector<uint8_t>>::value) {
                return value.data();
            } else {
                return &value;
            }
        },
        data);
}

}  // namespace

FakeReader::FakeReader(RecordKind kind, void* userData)
    : kind_(kind), userData_(userData), mutex_(LockLevel::Engine, "fake engine reader") {}

void FakeReader::checkOpen(char const* operation, bool engineCall) const {
    // getChange and deleteChange take only the history lock: the core may call them under the
    // built-in subscriber's mutex.
    if (engineCall) {
        expectNoMarkedMutex(operation);
    }
    if (closed_.load()) {
        ADD_FAILURE() << operation << " on a closed engine reader";
    }
}

std::list<FakeReader::Held>::iterator FakeReader::find(RTPS::SampleInfo* handle) {
    if (handle == nullptr) {
        throw RTPS::BAD_PARAMETERS("Пустой указатель на изменение");
    }
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (&it->info == handle) {
            return it;
        }
    }
    throw RTPS::GENERAL_DDSI_ERROR("Изменение не найдено");
}

unsigned int FakeReader::getChange(RTPS::SampleInfo* handle, unsigned int (*guidPrefix)[3],
                                   unsigned int* entityId, RTPS::SampleInfo& sample) {
    checkOpen("Reader::getChange", false);
    std::lock_guard<CoreMutex> lock(mutex_);
    auto it = find(handle);
    sample = it->info;
    if (guidPrefix != nullptr) {
        std::memcpy(*guidPrefix, it->prefix, sizeof it->prefix);
    }
    if (entityId != nullptr) {
        *entityId = it->entityId;
    }
    return 1;
}

unsigned int FakeReader::getEarliestChange(unsigned int (*guidPrefix)[3], unsigned int* entityId,
                                           RTPS::SampleInfo& sample) {
    checkOpen("Reader::getEarliestChange", false);
    std::lock_guard<CoreMutex> lock(mutex_);
    if (held_.empty()) {
        return 0;
    }
    Held& h = held_.front();
    sample = h.info;
    if (guidPrefix != nullptr) {
        std::memcpy(*guidPrefix, h.prefix, sizeof h.prefix);
    }
    if (entityId != nullptr) {
        *entityId = h.entityId;
    }
    return 1;
}

unsigned int FakeReader::deleteChange(RTPS::SampleInfo* handle) {
    checkOpen("Reader::deleteChange", false);
    std::lock_guard<CoreMutex> lock(mutex_);
    held_.erase(find(handle));
    return 1;
}

bool FakeReader::waitForHistoricalData(vexa::dds::Duration_t limit) {
    checkOpen("Reader::waitForHistoricalData", true);
    ++inFlight_;
    std::unique_lock<CoreMutex> lock(mutex_);
    historyWaits_.push_back(limit);
    historyChanged_.notify_all();
    if (historyResult_ == HistoryResult::TimedOut) {
        auto const wait = std::chrono::seconds(limit.sec) + std::chrono::nanoseconds(limit.nanosec);
        historyChanged_.wait_for(lock, wait,
                                 [this] { return historyResult_ != HistoryResult::TimedOut; });
    }
    HistoryResult const result = historyResult_;
    Failure const how = historyFailure_;
    lock.unlock();
    --inFlight_;
    if (result == HistoryResult::Throw) {
        throwAs(how, "waitForHistoricalData refused by the test");
    }
    return result == HistoryResult::Delivered;
}

void FakeReader::setQoS(vexa::dds::SubscriptionBuiltinTopicData const& data,
                        RTPS::RTPS_AdditionalTopicData const& extra, unsigned int mask) {
    checkOpen("Reader::setQoS", true);
    std::lock_guard<CoreMutex> lock(mutex_);
    qos_.push_back({data, extra, mask});
}

void FakeReader::dsvcDataRecipient(int, unsigned long, void*, unsigned int) {}

void FakeReader::close() {
    checkOpen("Reader::close", true);
    if (busy()) {
        ADD_FAILURE() << "Reader::close while a wait for historical data is in flight";
    }
    closed_ = true;
}

void FakeReader::participantGone() {
    if (busy()) {
        ADD_FAILURE() << "engine participant destroyed while a call on its reader is in flight";
    }
    closed_ = true;
}

RTPS::SampleInfo* FakeReader::addHeldChange(RTPS::SampleInfo const& info, void const* data,
                                            uint64_t length, unsigned const (&writerPrefix)[3],
                                            unsigned writerEntityId) {
    std::lock_guard<CoreMutex> lock(mutex_);
    held_.push_back({info, copyChangeData(kind_, data, length), {}, writerEntityId});
    Held& h = held_.back();
    std::memcpy(h.prefix, writerPrefix, sizeof h.prefix);
    h.info.data = dataPointer(h.data);
    return &h.info;
}

void FakeReader::setHistoryResult(HistoryResult r, Failure how) {
    std::lock_guard<CoreMutex> lock(mutex_);
    historyResult_ = r;
    historyFailure_ = how;
    historyChanged_.notify_all();
}

size_t FakeReader::heldChanges() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return held_.size();
}

std::vector<FakeReader::QosChange> FakeReader::qosChanges() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return qos_;
}

bool FakeReader::awaitHistoryWaits(size_t n, std::chrono::milliseconds limit) const {
    std::unique_lock<CoreMutex> lock(mutex_);
    return historyChanged_.wait_for(lock, limit, [&] { return historyWaits_.size() >= n; });
}

std::vector<vexa::dds::Duration_t> FakeReader::historyWaits() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return historyWaits_;
}

}  // namespace vexatest
