#include "fake/FakeEngine.h"

#include <algorithm>

#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/DDSIException.h"

namespace vexatest {

FakeEngine& FakeEngine::instance() {
    static FakeEngine* engine = new FakeEngine;
    return *engine;
}

void FakeEngine::failNextCreate(Failure how) {
    std::lock_guard<std::mutex> lock(mutex_);
    createFailure_ = how;
}

void FakeEngine::failNextStart(Failure how) {
    std::lock_guard<std::mutex> lock(mutex_);
    startFailure_ = how;
}

void FakeEngine::setNullEndpoints(unsigned mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    nullEndpoints_ = mask;
}

void FakeEngine::setCheapWriters(bool cheap) {
    std::lock_guard<std::mutex> lock(mutex_);
    cheapWriters_ = cheap;
}

void FakeEngine::onNextCreate(std::function<void(FakeParticipant*)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    createHook_ = std::move(hook);
}

std::vector<FakeParticipant*> FakeEngine::live() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_;
}

FakeParticipant* FakeEngine::newest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.empty() ? nullptr : live_.back();
}

unsigned FakeEngine::created() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return created_;
}

unsigned FakeEngine::destroyed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return destroyed_;
}

FakeParticipant* FakeEngine::create(RTPS::CommunicationObject* comm, RTPS::COMMUNICATION_MODE mode,
                                    vexa::dds::ParticipantBuiltinTopicData const& data,
                                    unsigned domainId, bool dsvcServer) {
    Failure createFailure;
    Failure startFailure;
    unsigned nullEndpoints;
    bool cheap;
    unsigned id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        createFailure = createFailure_;
        createFailure_ = Failure::None;
        startFailure = startFailure_;
        nullEndpoints = nullEndpoints_;
        cheap = cheapWriters_;
        id = created_ + 1;
    }
    throwAs(createFailure, "createParticipant refused by the test");
    auto* p = new FakeParticipant(id, comm, mode, data, domainId, dsvcServer, startFailure,
                                  nullEndpoints, cheap);
    std::function<void(FakeParticipant*)> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        startFailure_ = Failure::None;
        ++created_;
        live_.push_back(p);
        hook.swap(createHook_);
    }
    if (hook) {
        hook(p);
    }
    return p;
}

void FakeEngine::forget(FakeParticipant* participant) {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(std::remove(live_.begin(), live_.end(), participant), live_.end());
    ++destroyed_;
}

void FakeEngine::keep(std::unique_ptr<FakeWriter> writer) {
    std::lock_guard<std::mutex> lock(mutex_);
    keptWriters_.push_back(std::move(writer));
}

void FakeEngine::keep(std::unique_ptr<FakeReader> reader) {
    std::lock_guard<std::mutex> lock(mutex_);
    keptReaders_.push_back(std::move(reader));
}

}  // namespace vexatest

namespace RTPS {

// The fake engine's entry point, with the argument checks of the real one.
Participant* createParticipant(void* reserved, CommunicationObject* communicationObject,
                               COMMUNICATION_MODE mode,
                               vexa::dds::ParticipantBuiltinTopicData* data, unsigned int domainId,
                               bool dsvcServer) {
    (void)reserved;
    vexatest::expectNoMarkedMutex("createParticipant");
    if (communicationObject == nullptr) {
        throw BAD_PARAMETERS("Невернй коммуникационный объект");
    }
    if (data == nullptr) {
        throw BAD_PARAMETERS("Неверные параметры участника домена");
    }
    if (domainId > MAX_DOMAIN_ID) {
        throw BAD_PARAMETERS("Слишком большой идентификатор домена (> 229)");
    }
    return vexatest::FakeEngine::instance().create(communicationObject, mode, *data, domainId,
                                                   dsvcServer);
}

}  // namespace RTPS
