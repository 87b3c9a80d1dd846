#include "fake/FakeParticipant.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>

#include "fake/FakeEngine.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/ReceiveBatch.h"

namespace vexatest {

using vexa::dcps::CoreMutex;
using vexa::dcps::LockLevel;

FakeParticipant::FakeParticipant(unsigned id, RTPS::CommunicationObject* communicationObject,
                                 RTPS::COMMUNICATION_MODE mode,
                                 vexa::dds::ParticipantBuiltinTopicData const& data,
                                 unsigned domainId, bool dsvcServer, Failure startFailure,
                                 unsigned nullEndpoints, bool cheapWriters)
    : id_(id),
      comm_(communicationObject),
      mode_(mode),
      data_(data),
      domainId_(domainId),
      dsvc_(dsvcServer),
      startFailure_(startFailure),
      nullEndpoints_(nullEndpoints),
      cheapWriters_(cheapWriters),
      mutex_(LockLevel::Engine, "fake engine participant") {
    RecordKind const kinds[4] = {RecordKind::Participant, RecordKind::Subscription,
                                 RecordKind::Publication, RecordKind::Topic};
    for (unsigned i = 0; i < 4; ++i) {
        builtinWriters_[i] = std::make_unique<FakeWriter>(kinds[i], false);
        builtinReaders_[i] = std::make_unique<FakeReader>(kinds[i], nullptr);
    }
    delivery_ = std::thread([this] { deliveryLoop(); });
}

FakeParticipant::~FakeParticipant() {
    expectNoMarkedMutex("~Participant");
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stop_ = true;
    }
    queueChanged_.notify_all();
    delivery_.join();
    FakeEngine& engine = FakeEngine::instance();
    for (auto& w : builtinWriters_) {
        engine.keep(std::move(w));
    }
    for (auto& r : builtinReaders_) {
        engine.keep(std::move(r));
    }
    for (auto& w : userWriters_) {
        engine.keep(std::move(w));
    }
    for (auto& r : userReaders_) {
        r->participantGone();
        engine.keep(std::move(r));
    }
    engine.forget(this);
}

void FakeParticipant::start() {
    expectNoMarkedMutex("Participant::start");
    throwAs(startFailure_, "start refused by the test");
    started_ = true;
}

RTPS::Writer* FakeParticipant::addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                                         RTPS::RTPS_AdditionalTopicData const& extra,
                                         RTPS::TOPIC_KIND kind, int samples) {
    expectNoMarkedMutex("Participant::addWriter");
    std::lock_guard<CoreMutex> lock(mutex_);
    Failure const how = addWriterFailure_;
    addWriterFailure_ = Failure::None;
    throwAs(how, "addWriter refused by the test");
    if (data == nullptr) {
        throw RTPS::BAD_PARAMETERS("addWriter without a description");
    }
    writerRecords_.push_back({*data, extra, kind, samples, nullptr});
    userWriters_.push_back(std::make_unique<FakeWriter>(RecordKind::User, cheapWriters_));
    return userWriters_.back().get();
}

RTPS::Reader* FakeParticipant::addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                                         RTPS::RTPS_AdditionalTopicData const& extra,
                                         RTPS::TOPIC_KIND kind, int samples, void* userData) {
    expectNoMarkedMutex("Participant::addReader");
    std::lock_guard<CoreMutex> lock(mutex_);
    Failure const how = addReaderFailure_;
    addReaderFailure_ = Failure::None;
    throwAs(how, "addReader refused by the test");
    if (data == nullptr) {
        throw RTPS::BAD_PARAMETERS("addReader without a description");
    }
    readerRecords_.push_back({*data, extra, kind, samples, userData});
    userReaders_.push_back(std::make_unique<FakeReader>(RecordKind::User, userData));
    return userReaders_.back().get();
}

void FakeParticipant::setQoS(vexa::dds::ParticipantBuiltinTopicData const& data,
                             RTPS::RTPS_AdditionalTopicData const& extra) {
    (void)extra;
    expectNoMarkedMutex("Participant::setQoS");
    setQosGate_.pass();
    std::lock_guard<CoreMutex> lock(mutex_);
    qos_.push_back(data);
}

int FakeParticipant::checkDelivery(std::vector<RTPS::Writer*>& writers,
                                   vexa::dds::Duration_t timeout) {
    expectNoMarkedMutex("Participant::checkDelivery");
    ++deliveryChecks_;
    std::unique_lock<CoreMutex> lock(mutex_);
    if (writers.empty()) {
        throw RTPS::BAD_PARAMETERS("checkDelivery without writers");
    }
    switch (deliveryResult_) {
        case DeliveryResult::Delivered:
            return 1;
        case DeliveryResult::TimedOut:
            return 0;
        case DeliveryResult::Throw:
            throwAs(deliveryFailure_, "checkDelivery refused by the test");
            return 0;
        case DeliveryResult::WaitForAck:
            break;
    }
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout.sec) +
                          std::chrono::nanoseconds(timeout.nanosec);
    bool const acked = changed_.wait_until(lock, deadline, [this] { return acknowledged_; });
    acknowledged_ = false;
    // The engine reads the writers' histories until it returns: none may have been closed.
    for (RTPS::Writer* w : writers) {
        auto* fake = dynamic_cast<FakeWriter*>(w);
        if (fake != nullptr && fake->closed()) {
            ADD_FAILURE() << "checkDelivery on an engine writer closed while it waited";
        }
    }
    return acked ? 1 : 0;
}

namespace {
template <class T>
T* unlessHidden(std::unique_ptr<T> const& endpoint, unsigned mask, unsigned index) {
    return (mask & (1u << index)) != 0 ? nullptr : endpoint.get();
}
}  // namespace

RTPS::Writer* FakeParticipant::getDCPSParticipantWriter() {
    return unlessHidden(builtinWriters_[0], nullEndpoints_, PARTICIPANT_WRITER);
}
RTPS::Writer* FakeParticipant::getDCPSSubscriptionWriter() {
    return unlessHidden(builtinWriters_[1], nullEndpoints_, SUBSCRIPTION_WRITER);
}
RTPS::Writer* FakeParticipant::getDCPSPublicationWriter() {
    return unlessHidden(builtinWriters_[2], nullEndpoints_, PUBLICATION_WRITER);
}
RTPS::Writer* FakeParticipant::getDCPSTopicWriter() {
    return unlessHidden(builtinWriters_[3], nullEndpoints_, TOPIC_WRITER);
}
RTPS::Reader* FakeParticipant::getDCPSParticipantReader() {
    return unlessHidden(builtinReaders_[0], nullEndpoints_, PARTICIPANT_READER);
}
RTPS::Reader* FakeParticipant::getDCPSSubscriptionReader() {
    return unlessHidden(builtinReaders_[1], nullEndpoints_, SUBSCRIPTION_READER);
}
RTPS::Reader* FakeParticipant::getDCPSPublicationReader() {
    return unlessHidden(builtinReaders_[2], nullEndpoints_, PUBLICATION_READER);
}
RTPS::Reader* FakeParticipant::getDCPSTopicReader() {
    return unlessHidden(builtinReaders_[3], nullEndpoints_, TOPIC_READER);
}

void FakeParticipant::dataRecipient(void*, unsigned short) {}

FakeWriter* FakeParticipant::builtinWriter(BuiltinIndex i) const {
    return builtinWriters_[i].get();
}

FakeReader* FakeParticipant::builtinReader(BuiltinIndex i) const {
    return builtinReaders_[i - PARTICIPANT_READER].get();
}

void FakeParticipant::failNextAddWriter(Failure how) {
    std::lock_guard<CoreMutex> lock(mutex_);
    addWriterFailure_ = how;
}

void FakeParticipant::failNextAddReader(Failure how) {
    std::lock_guard<CoreMutex> lock(mutex_);
    addReaderFailure_ = how;
}

void FakeParticipant::setDeliveryResult(DeliveryResult r, Failure how) {
    std::lock_guard<CoreMutex> lock(mutex_);
    deliveryResult_ = r;
    deliveryFailure_ = how;
}

void FakeParticipant::acknowledge() {
    {
        std::lock_guard<CoreMutex> lock(mutex_);
        acknowledged_ = true;
    }
    changed_.notify_all();
}

std::vector<FakeParticipant::Endpoint<vexa::dds::PublicationBuiltinTopicData>>
FakeParticipant::writers() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return writerRecords_;
}

std::vector<FakeParticipant::Endpoint<vexa::dds::SubscriptionBuiltinTopicData>>
FakeParticipant::readers() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return readerRecords_;
}

std::vector<FakeWriter*> FakeParticipant::userWriters() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    std::vector<FakeWriter*> out;
    for (auto const& w : userWriters_) {
        out.push_back(w.get());
    }
    return out;
}

std::vector<FakeReader*> FakeParticipant::userReaders() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    std::vector<FakeReader*> out;
    for (auto const& r : userReaders_) {
        out.push_back(r.get());
    }
    return out;
}

std::vector<vexa::dds::ParticipantBuiltinTopicData> FakeParticipant::qosChanges() const {
    std::lock_guard<CoreMutex> lock(mutex_);
    return qos_;
}

void FakeParticipant::queue(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        calls_.push_back(std::move(call));
    }
    queueChanged_.notify_all();
}

void FakeParticipant::queueChangeAvailable(RTPS::Reader* reader, void* userData,
                                           RTPS::SampleInfo* sample) {
    queue([this, reader, userData, sample] {
        bool const r = comm_->changeAvailable(reader, userData, sample);
        std::lock_guard<std::mutex> lock(queueMutex_);
        results_.push_back(r);
    });
}

void FakeParticipant::queueDatagram(RTPS::Reader* reader, void* userData,
                                    std::vector<RTPS::SampleInfo*> const& samples,
                                    std::function<void(size_t)> between) {
    queue([this, reader, userData, samples, between] {
        RTPS::ReceiveBatch batch;
        for (size_t i = 0; i < samples.size(); ++i) {
            bool const r = comm_->changeAvailable(reader, userData, samples[i]);
            {
                std::lock_guard<std::mutex> lock(queueMutex_);
                results_.push_back(r);
            }
            if (between) {
                between(i + 1);
            }
        }
    });
}

void FakeParticipant::queueAssertLiveliness(RTPS::Reader* reader, void* userData,
                                            unsigned const (&prefix)[3], unsigned entityId) {
    std::array<unsigned, 3> p{prefix[0], prefix[1], prefix[2]};
    queue([this, reader, userData, p, entityId]() mutable {
        comm_->assertLiveliness(reader, userData, p.data(), entityId);
    });
}

void FakeParticipant::queueParticipantLost(unsigned const (&prefix)[3]) {
    std::array<unsigned, 4> guid{prefix[0], prefix[1], prefix[2], 0xC1010000u};
    queue([this, guid]() mutable { comm_->participantLost(guid.data()); });
}

void FakeParticipant::callBackContinuously(RTPS::Reader* builtinReader,
                                           unsigned const (&prefix)[3]) {
    std::array<unsigned, 4> guid{prefix[0], prefix[1], prefix[2], 0xC1010000u};
    auto sample = std::make_shared<RTPS::SampleInfo>();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        repeating_ = [this, builtinReader, guid, sample]() mutable {
            comm_->changeAvailable(builtinReader, nullptr, sample.get());
            comm_->assertLiveliness(builtinReader, nullptr, guid.data(), 0);
            comm_->participantLost(guid.data());
        };
    }
    queueChanged_.notify_all();
}

void FakeParticipant::drain() {
    std::unique_lock<std::mutex> lock(queueMutex_);
    queueChanged_.wait(lock, [this] { return calls_.empty() && !busy_; });
}

bool FakeParticipant::drainFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    return queueChanged_.wait_for(lock, limit, [this] { return calls_.empty() && !busy_; });
}

std::vector<bool> FakeParticipant::changeAvailableResults() const {
    std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(queueMutex_));
    return results_;
}

void FakeParticipant::deliveryLoop() {
    std::unique_lock<std::mutex> lock(queueMutex_);
    for (;;) {
        queueChanged_.wait(lock,
                           [this] { return stop_ || !calls_.empty() || repeating_ != nullptr; });
        std::function<void()> call;
        if (!calls_.empty()) {
            call = std::move(calls_.front());
            calls_.pop_front();
        } else if (stop_) {
            return;
        } else {
            call = repeating_;
        }
        busy_ = true;
        lock.unlock();
        // The engine's half of the lock rule: nothing of the engine is held here.
        call();
        lock.lock();
        busy_ = false;
        queueChanged_.notify_all();
    }
}

}  // namespace vexatest
