#include "dcps/service/DPFactory.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>
#include <mutex>

#include "common/log/Logger.h"
#include "common/os/OsGuidPrefix.h"
#include "common/os/OsThread.h"
#include "common/os/OsTime.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/entity/EntityId.h"
#include "dcps/entity/TwoPassCollection.h"
#include "dcps/service/TypeSupportCB.h"
#include "rtps/participant/CreateParticipant.h"
#include "rtps/participant/Participant.h"

namespace vexa::dcps {

using vexa::dds::DomainParticipantQos;

namespace {

char const MODULE_CREATE[] = "DCPS::DPFactory::createParticipant";
char const MODULE_COLLECTOR[] = "DCPS::DPFactory::startGarbageCollector";
char const MODULE_COLLECT[] = "DPFactory::collectGarbage";

constexpr size_t ERROR_TEXT = 2048;
constexpr uint64_t RT_HEAP_BYTES = 0x10000000;
constexpr uint32_t COLLECTOR_STACK = 0x20000;

}  // namespace

// One collector thread with its own stop flag: a stop never reaches a later run.
struct DPFactory::CollectorRun {
    explicit CollectorRun(DPFactory* f) : factory(f), mutex(LockLevel::Leaf, "collector run") {}
    DPFactory* factory;
    CoreMutex mutex;
    std::condition_variable_any wake;
    bool stop = false;  // guarded by mutex
    pthread_t thread = 0;
};

DPFactory::DPFactory(int32_t collectPeriod)
    : defaultQos_(vexa::dds::predefParticipantQos()),
      collectPeriod_(collectPeriod),
      collectorControl_(LockLevel::Leaf, "DPFactory collector control"),
      mutex_(LockLevel::Factory, "DPFactory") {
    for (char const* name :
         {vexa::dds::DCPS_PARTICIPANT_TOPIC_NAME, vexa::dds::DCPS_TOPIC_TOPIC_NAME,
          vexa::dds::DCPS_PUBLICATION_TOPIC_NAME, vexa::dds::DCPS_SUBSCRIPTION_TOPIC_NAME}) {
        cbBuiltinTypeSupport[name] = new TypeSupportCB("", nullptr);
    }
    ready_ = true;
}

DPFactory::~DPFactory() {
    stopGarbageCollector();
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (DomainCB& slot : domains_) {
        for (DomainParticipant*& dp : slot.localDPs) {
            if (dp == nullptr) {
                continue;
            }
            // Engine threads may still call into a live participant: close it first.
            if (!dp->isMarked()) {
                dp->close();
            }
            delete dp;
            dp = nullptr;
        }
    }
    for (TypeSupportCB* cb : userTypeSupports_) {
        delete cb;
    }
    for (auto& entry : cbBuiltinTypeSupport) {
        delete entry.second;
    }
}

bool DPFactory::refusedOnDataThread(char const* operation) const {
    if (!DomainParticipant::onDataHandlingThread()) {
        return false;
    }
    vexalog::Logger::getLogger().logMessage("DCPS::DPFactory", 3,
                                            vexares::DCPS_MSG_FACTORY_ON_DATA_THREAD, operation);
    return true;
}

DPFactory::DomainCB* DPFactory::findDomain(unsigned domainId) {
    if (domainId > MAX_DOMAIN_ID) {
        return nullptr;
    }
    for (DomainCB& slot : domains_) {
        if (slot.domainId == static_cast<int32_t>(domainId)) {
            return &slot;
        }
    }
    return nullptr;
}

DPFactory::DomainCB* DPFactory::getDomain(unsigned domainId) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (DomainCB* found = findDomain(domainId)) {
        return found;
    }
    if (domainId > MAX_DOMAIN_ID) {
        return nullptr;
    }
    for (DomainCB& slot : domains_) {
        if (slot.domainId < 0) {
            slot.domainId = static_cast<int32_t>(domainId);
            slot.nextId = 1;
            slot.localDPs.assign(1, nullptr);
            return &slot;
        }
    }
    return nullptr;
}

int32_t DPFactory::getNewDPID(DomainCB* slot) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if ((static_cast<uint32_t>(slot->nextId) & entity_id::INDEX_MASK) >
        entity_id::LAST_PARTICIPANT) {
        return 0;
    }
    slot->localDPs.push_back(nullptr);
    return slot->nextId++;
}

void DPFactory::addParticipant(DomainCB* slot, DomainParticipant* dp) {
    assert(slot && !slot->localDPs[dp->DP_Id_] && "dcb && !dcb->localDPs[dp.DP_Id_]");
    slot->localDPs[dp->DP_Id_] = dp;
}

void DPFactory::removeParticipant(DomainCB* slot, DomainParticipant* dp) {
    if (slot->localDPs[dp->DP_Id_] == dp) {
        slot->localDPs[dp->DP_Id_] = nullptr;
    }
}

DomainParticipant* DPFactory::createParticipant(unsigned domainId,
                                                DomainParticipantQos const* qos) {
    if (refusedOnDataThread("createParticipant")) {
        return nullptr;
    }
    std::unique_lock<CoreRecursiveMutex> factoryLock(mutex_);
    DomainCB* slot = getDomain(domainId);
    if (slot == nullptr) {
        return nullptr;
    }

    char errorText[ERROR_TEXT] = {};
    if (vexa::OsSetRTScheduling(RT_HEAP_BYTES, errorText, ERROR_TEXT - 1) != 0) {
        vexalog::Logger::getLogger().logMessage(MODULE_CREATE, 3, vexares::DCPS_MSG_RT_REFUSED,
                                                errorText);
    } else if (errorText[0] != '\0') {
        vexalog::Logger::getLogger().logMessage(MODULE_CREATE, 3, vexares::DCPS_MSG_RT_PARTIAL,
                                                errorText);
    }

    int32_t const id = getNewDPID(slot);
    if (id == 0) {
        return nullptr;
    }
    auto* dp = new DomainParticipant(domainId, id, qos != nullptr ? *qos : defaultQos_);
    addParticipant(slot, dp);

    std::unique_lock<CoreRecursiveMutex> dpLock(dp->getMutex());
    getGUID12(dp->participantData().key.value);
    dp->participantData().user_data = dp->getQos().user_data;

    RTPS::Participant* rtps = nullptr;
    try {
        rtps = RTPS::createParticipant(nullptr, dp->getCommunicationObject(), 0,
                                       &dp->participantData(), domainId, false);
    } catch (...) {
        dpLock.unlock();
        removeParticipant(slot, dp);
        delete dp;
        return nullptr;
    }

    dp->setRTPS(rtps);
    dp->initBuiltinSubscriber(this);
    if (autoenable_) {
        dp->enable();
    }
    if (!dp->startHandlingData()) {
        dpLock.unlock();
        dp->destroyRTPS();
        removeParticipant(slot, dp);
        delete dp;
        return nullptr;
    }
    bool const collectorWasRunning = collectorRunning();
    countParticipants(1);
    startGarbageCollector();

    // The engine's callbacks waited for this participant until here.
    dp->setCreated();
    dpLock.unlock();
    try {
        rtps->start();
    } catch (...) {
        // Undone like a failed thread start: nothing of it stays, the count and the collector
        // are as before.
        dp->stopHandlingData();
        dp->destroyRTPS();
        removeParticipant(slot, dp);
        delete dp;
        countParticipants(-1);
        if (!collectorWasRunning) {
            stopGarbageCollectorIfIdle();
        }
        return nullptr;
    }
    return dp;
}

DomainParticipant* DPFactory::lookup_participant(unsigned domainId) {
    if (refusedOnDataThread("lookup_participant")) {
        return nullptr;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    DomainCB* slot = findDomain(domainId);
    if (slot == nullptr) {
        return nullptr;
    }
    for (DomainParticipant* dp : slot->localDPs) {
        if (dp != nullptr && !dp->isMarked()) {
            return dp;
        }
    }
    return nullptr;
}

void DPFactory::delete_participant(DomainParticipant* participant) {
    if (participant == nullptr || refusedOnDataThread("delete_participant")) {
        return;
    }
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        DomainCB* slot = findDomain(participant->getDomainId());
        if (slot == nullptr ||
            tableEntry(slot->localDPs, static_cast<uint32_t>(participant->DP_Id_)) != participant ||
            participant->isMarked()) {
            return;
        }
        participant->close();
        countParticipants(-1);
    }
    stopGarbageCollectorIfIdle();
}

void DPFactory::setDefaultQos(DomainParticipantQos const& qos) {
    if (refusedOnDataThread("setDefaultQos")) {
        return;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultQos_.user_data = qos.user_data;
    defaultQos_.entity_factory = qos.entity_factory;
}

void DPFactory::getDefaultQos(DomainParticipantQos& out) {
    if (refusedOnDataThread("getDefaultQos")) {
        return;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultQos_;
}

TypeSupportCB* DPFactory::addTypeSupport(char const* typeName,
                                         api::TypeSupportFactoryImpl* factory) {
    if (typeName == nullptr || factory == nullptr || refusedOnDataThread("addTypeSupport")) {
        return nullptr;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (TypeSupportCB* own = factory->typeSupportCB()) {
        return own->typeName == typeName ? own : nullptr;
    }
    if (userTypeSupports_.size() == userTypeSupports_.capacity()) {
        userTypeSupports_.reserve(userTypeSupports_.capacity() + 100);
    }
    auto* cb = new TypeSupportCB(typeName, factory);
    userTypeSupports_.push_back(cb);
    factory->setTypeSupportCB(cb);
    return cb;
}

bool DPFactory::initAPI(std::vector<BuiltinTopicApiSupport_> const& rows) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (BuiltinTopicApiSupport_ const& bts : rows) {
        assert(!bts.topic_name.empty() && !bts.topic_type.empty() && bts.type_factory);
        if (bts.type_factory == nullptr || bts.type_factory->typeSupportCB() != nullptr) {
            continue;
        }
        auto it = cbBuiltinTypeSupport.find(bts.topic_name);
        assert(it != cbBuiltinTypeSupport.end());
        assert(!it->second->factory_);
        if (it == cbBuiltinTypeSupport.end() || it->second->factory_ != nullptr) {
            continue;
        }
        it->second->factory_ = bts.type_factory;
        it->second->typeName = bts.topic_type;
        bts.type_factory->setTypeSupportCB(it->second);
    }
    return true;
}

TypeSupportCB* DPFactory::getBuiltinTypeSupport(std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    auto it = cbBuiltinTypeSupport.find(topicName);
    return it == cbBuiltinTypeSupport.end() ? nullptr : it->second;
}

void DPFactory::getGUID12(uint32_t (&out)[3]) {
    vexa::OsNewGuidPrefix(out);
}

int32_t DPFactory::participantCount() const {
    std::lock_guard<CoreMutex> lock(const_cast<CoreMutex&>(collectorControl_));
    return participantCount_;
}

void DPFactory::countParticipants(int32_t delta) {
    std::lock_guard<CoreMutex> lock(collectorControl_);
    participantCount_ += delta;
}

bool DPFactory::collectorRunning() const {
    std::lock_guard<CoreMutex> lock(const_cast<CoreMutex&>(collectorControl_));
    return collector_ != nullptr;
}

bool DPFactory::startGarbageCollector() {
    if (collectPeriod_ <= 0) {
        return false;
    }
    std::lock_guard<CoreMutex> lock(collectorControl_);
    if (collector_ != nullptr) {
        return true;
    }
    auto* run = new CollectorRun(this);
    char errorText[ERROR_TEXT] = {};
    run->thread = vexa::OsStartMinPrioThread(&DPFactory::GarbageCollectorThread, run,
                                             COLLECTOR_STACK, errorText, ERROR_TEXT);
    if (run->thread == 0) {
        delete run;
        vexalog::Logger::getLogger().logMessage(MODULE_COLLECTOR, 2,
                                                vexares::DCPS_MSG_THREAD_NOT_STARTED, errorText);
        return false;
    }
    collector_ = run;
    return true;
}

void DPFactory::stopGarbageCollector() {
    CollectorRun* run = nullptr;
    {
        std::lock_guard<CoreMutex> lock(collectorControl_);
        run = collector_;
        collector_ = nullptr;
    }
    joinCollector(run);
}

void DPFactory::stopGarbageCollectorIfIdle() {
    CollectorRun* run = nullptr;
    {
        std::lock_guard<CoreMutex> lock(collectorControl_);
        if (participantCount_ >= 1) {
            return;
        }
        run = collector_;
        collector_ = nullptr;
    }
    joinCollector(run);
}

void DPFactory::joinCollector(CollectorRun* run) {
    if (run == nullptr) {
        return;
    }
    {
        std::lock_guard<CoreMutex> lock(run->mutex);
        run->stop = true;
    }
    run->wake.notify_all();
    vexa::OsKillThread(run->thread);
    delete run;
}

void DPFactory::GarbageCollectorThread(void* arg) {
    auto* run = static_cast<CollectorRun*>(arg);
    auto const period = std::chrono::seconds(run->factory->collectPeriod_);
    auto next = std::chrono::steady_clock::now() + period;
    std::unique_lock<CoreMutex> lock(run->mutex);
    for (;;) {
        if (run->wake.wait_until(lock, next, [run] { return run->stop; })) {
            return;
        }
        lock.unlock();
        run->factory->collectGarbage();
        lock.lock();
        next = std::max(next + period, std::chrono::steady_clock::now());
    }
}

void DPFactory::collectGarbage() {
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        for (DomainCB& slot : domains_) {
            collectTable(slot.localDPs, [](DomainParticipant* dp) { dp->collectGarbage(); });
        }
    }
    vexalog::Logger::getLogger().logMessage(MODULE_COLLECT, 6, vexares::DCPS_MSG_COLLECTOR_PASS);
}

}  // namespace vexa::dcps
