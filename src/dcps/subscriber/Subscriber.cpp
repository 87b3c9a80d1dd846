// A subscriber's readers (creation, deletion, QoS), its identifiers and instance handles, and
// its notification passes.
#include "dcps/subscriber/Subscriber.h"

#include <exception>
#include <mutex>
#include <stdexcept>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/DcpsMessages.h"
#include "dcps/api/SubEventForwarder.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/entity/EndpointGate.h"
#include "dcps/entity/EntityId.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/subscriber/InstanceCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/SampleList.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "rtps/dsvc/HistoryRefusal.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/Writer.h"
#include "vexa/DataReaderImpl.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;
using Joint = JointLock<CoreRecursiveMutex, CoreRecursiveMutex>;

namespace {

char const MODULE_CREATE[] = "DCPS::Subscriber::createDR";
char const MODULE_DELETE[] = "DCPS::Subscriber::deleteDR";

constexpr uint32_t LAST_READER_INDEX = 2042;
constexpr uint32_t OBJECT_INDEX_MASK = 0xFFFFFu;
constexpr uint32_t OBJECT_KIND = 0x60000000u;
constexpr uint32_t FLAGS_GONE = 6;  // disposed and unregistered

}  // namespace

vexa::dds::DataReaderQos const Subscriber::default_dr_qos_predef_ =
    vexa::dds::predefDataReaderQos();

Subscriber::Subscriber(DomainParticipant* participant, int32_t id,
                       vexa::dds::SubscriberQos const& qos, bool builtin)
    : Entity(id, participant),
      participant_(participant),
      clock_(participant->getTimeService()),
      qos_(qos),
      defaultDrQos_(default_dr_qos_predef_),
      nextReaderId_(entity_id::READER | (static_cast<uint32_t>(id) << 16) | 1u),
      nextObjectId_(OBJECT_KIND | (static_cast<uint32_t>(id) << 20) | 1u),
      pool_(std::make_unique<SampleList>()),
      mutex_(LockLevel::Entity, builtin ? "SubscriberBuiltin" : "Subscriber", builtin),
      queueMutex_(LockLevel::InputQueue, "Subscriber input queue") {
    readers_.reserve(10);
    readers_.push_back(nullptr);
    objects_.reserve(100);
    objects_.emplace_back(nullptr, 0);
    queue_.reserve(100);
    working_.reserve(100);
    if (RTPS::Participant* rtps = participant->getRTPS()) {
        subscriptionWriter_ = rtps->getDCPSSubscriptionWriter();
    }
}

Subscriber::~Subscriber() {
    dropEntries(nullptr);
    for (Reader*& r : readers_) {
        delete r;
        r = nullptr;
    }
}

bool Subscriber::isOurs(Reader const* reader) const {
    return reader != nullptr &&
           tableEntry(readers_, entity_id::endpointIndexOf(reader->getId())) == reader;
}

bool Subscriber::live(Reader const* reader) const {
    return reader != nullptr && !reader->isMarked();
}

std::vector<Reader*> Subscriber::readers() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return readers_;
}

uint32_t Subscriber::getNewReaderID() {
    uint32_t const k = nextReaderId_ & entity_id::ENDPOINT_INDEX_MASK;
    if (k > LAST_READER_INDEX) {
        return 0;
    }
    while (readers_.size() <= k) {
        if (readers_.size() == readers_.capacity()) {
            readers_.reserve(readers_.size() + 10);
        }
        readers_.push_back(nullptr);
    }
    return nextReaderId_++;
}

vexa::dds::InstanceHandle_t Subscriber::getNewObjectID(Reader* reader, int32_t index) {
    uint32_t const n = nextObjectId_ & OBJECT_INDEX_MASK;
    if (n == OBJECT_INDEX_MASK) {
        return vexa::dds::HANDLE_NIL;
    }
    if (objects_.size() == objects_.capacity()) {
        objects_.reserve(objects_.size() + 100);
    }
    objects_.emplace_back(reader, index);
    return static_cast<vexa::dds::InstanceHandle_t>(nextObjectId_++);
}

int32_t Subscriber::getLocalObjectIndex(vexa::dds::InstanceHandle_t handle,
                                        Reader const* owner) const {
    auto const h = static_cast<uint32_t>(handle);
    uint32_t const n = h & OBJECT_INDEX_MASK;
    if ((h & ~OBJECT_INDEX_MASK) != (OBJECT_KIND | (static_cast<uint32_t>(getId()) << 20)) ||
        n == 0 || n >= objects_.size()) {
        return -1;
    }
    if (owner != nullptr && objects_[n].first != owner) {
        return -1;
    }
    return objects_[n].second;
}

bool Subscriber::setLocalObjectIndex(vexa::dds::InstanceHandle_t handle, int32_t index) {
    auto const h = static_cast<uint32_t>(handle);
    uint32_t const n = h & OBJECT_INDEX_MASK;
    if ((h & ~OBJECT_INDEX_MASK) != (OBJECT_KIND | (static_cast<uint32_t>(getId()) << 20)) ||
        n == 0 || n >= objects_.size()) {
        return false;
    }
    objects_[n].second = index;
    return true;
}

int32_t Subscriber::getFreeSampleSlot(SampleCB*& cb, vexa::dds::SampleInfo*& info) {
    int32_t const slot = pool_->getFreeSample();
    pool_->findSample(slot, cb, info);
    cb->reader = nullptr;
    return slot;
}

SubscriberBuiltin* Subscriber::getBuiltinSubscriber() const {
    return participant_->getBuiltinSubscriber();
}

ReturnCode_t Subscriber::enable_childs() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (qos_.entity_factory.autoenable_created_entities) {
        for (Reader* r : readers_) {
            if (live(r)) {
                r->enable();
            }
        }
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Subscriber::setListener(api::SubEventForwarder* listener, uint32_t mask) {
    api::SubEventForwarder* old;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        old = listener_;
        listener_ = listener;
        listenerMask_ = mask;
    }
    participant_->listenerCalls().replaced(old, listener);
    return vexa::dds::RETCODE_OK;
}

void Subscriber::getQoS(vexa::dds::SubscriberQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = qos_;
}

void Subscriber::getDefaultDRQoS(vexa::dds::DataReaderQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultDrQos_;
}

ReturnCode_t Subscriber::setDefaultDRQoS(vexa::dds::DataReaderQos const& qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultDrQos_ = qos;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Subscriber::setQoS(vexa::dds::SubscriberQos const& qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    unsigned mask = 0;
    if (qos.partition.name != qos_.partition.name) {
        mask |= 128;
    }
    if (qos.group_data.value != qos_.group_data.value) {
        mask |= 4;
    }
    qos_.presentation = qos.presentation;
    qos_.partition = qos.partition;
    qos_.group_data = qos.group_data;
    qos_.entity_factory = qos.entity_factory;
    if (mask == 0) {
        return vexa::dds::RETCODE_OK;
    }
    RTPS::RTPS_AdditionalTopicData extra{};
    extra.timestamp = clock_.now();
    for (Reader* r : readers_) {
        if (!live(r) || r->getRTPS() == nullptr) {
            continue;
        }
        r->refreshSubscriptionData();
        try {
            r->getRTPS()->setQoS(r->subscriptionData(), extra, mask);
        } catch (std::exception const&) {
            return vexa::dds::RETCODE_ERROR;  // the remaining readers keep the old values
        }
    }
    return vexa::dds::RETCODE_OK;
}

Reader* Subscriber::createDR(Topic* topic, vexa::dds::DataReaderQos const* qos,
                             api::DREventForwarder* listener, uint32_t mask) {
    if (topic == nullptr) {
        return nullptr;
    }
    auto& log = vexalog::Logger::getLogger();
    Joint lock(participant_->getMutex(), mutex_);
    RTPS::Participant* rtps = participant_->getRTPS();
    if (rtps == nullptr) {
        return nullptr;  // the participant is closed
    }
    char const* const name = topic->getName().c_str();
    vexa::dds::HistoryQosPolicy const& history = (qos != nullptr ? *qos : defaultDrQos_).history;
    if (history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS && history.depth < 1) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_ENDPOINT_DEPTH_BELOW_ONE, name,
                       history.depth);
        return nullptr;
    }
    uint32_t const id = getNewReaderID();
    if (id == 0) {
        log.logMessage(MODULE_CREATE, 3, vexares::DCPS_MSG_READER_NO_ID, name);
        return nullptr;
    }
    auto* reader =
        new Reader(this, topic, static_cast<int32_t>(id), qos != nullptr ? *qos : defaultDrQos_);
    TypeSupportCB* type = participant_->addTopicReader(topic, reader);
    if (type == nullptr) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_READER_NO_TYPE, name);
        delete reader;
        return nullptr;
    }
    reader->InitResources(type->factory_);
    uint32_t key[3];
    participant_->getParticipantKey(key);
    for (unsigned i = 0; i < 3; ++i) {
        reader->subscriptionData().participant_key.value[i] = key[i];
    }
    if (SubscriberBuiltin* builtin = getBuiltinSubscriber()) {
        builtin->discoverDWforNewReader(reader, topic->getName());
    }
    if (listener != nullptr) {
        reader->setListener(listener, mask);
    }
    uint32_t const k = entity_id::endpointIndexOf(static_cast<int32_t>(id));
    readers_[k] = reader;
    try {
        RTPS::RTPS_AdditionalTopicData extra{};
        extra.timestamp = clock_.now();
        RTPS::Reader* engine = rtps->addReader(
            &reader->subscriptionData(), extra,
            type->factory_->hasKey() ? RTPS::TOPIC_KIND_WITH_KEY : RTPS::TOPIC_KIND_NO_KEY,
            static_cast<int>(reader->maxSamples()), reader);
        if (engine == nullptr) {
            throw std::runtime_error("no engine reader");
        }
        reader->setEngine(engine);
    } catch (std::exception const& e) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_ANNOUNCE_FAILED, name, e.what());
        readers_[k] = nullptr;
        // Out of the topic's set before it goes: the topic is not left in use by a dead reader.
        participant_->removeTopicReader(topic, reader);
        delete reader;
        return nullptr;
    }
    if (qos_.entity_factory.autoenable_created_entities) {
        reader->enable();
    }
    // The service answers a refused request with an empty history, which the reader cannot
    // tell from an empty store.
    if (reader->subscriptionData().durability.kind >= vexa::dds::TRANSIENT_DURABILITY_QOS) {
        if (char const* why =
                RTPS::historyRefusal(topic->getAnnouncedData(), reader->subscriptionData())) {
            log.logMessage(MODULE_CREATE, 3, vexares::DCPS_MSG_HISTORY_WILL_BE_REFUSED, name, why);
        }
    }
    log.logMessage(MODULE_CREATE, 6, vexares::DCPS_MSG_READER_CREATED, name);
    return reader;
}

void Subscriber::departReader(Reader* reader) {
    if (reader->getRTPS() == nullptr) {
        return;
    }
    if (subscriptionWriter_ != nullptr) {
        RTPS::SampleInfo info{};
        info.instanceHandle = reader->getId();
        info.statusFlags = FLAGS_GONE;
        info.sourceTimestamp = clock_.now();
        info.data = &reader->subscriptionData();
        info.length = sizeof(vexa::dds::SubscriptionBuiltinTopicData);
        try {
            subscriptionWriter_->addChange(&info);
        } catch (std::exception const& e) {
            // Unannounced, the peers drop the reader when its participant goes.
            vexalog::Logger::getLogger().logMessage(
                MODULE_DELETE, 3, vexares::DCPS_MSG_ANNOUNCE_FAILED,
                reader->getTopic()->getName().c_str(), e.what());
        }
    }
    vexa::OsYieldCPU();
    reader->gate()->release(true);
}

Reader* Subscriber::readerOfBridge(api::DataReaderImpl const* bridge) const {
    if (bridge == nullptr) {
        return nullptr;
    }
    for (Reader* r : readers_) {
        if (r != nullptr && r->getBridge() == bridge) {
            return r;
        }
    }
    return nullptr;
}

ReturnCode_t Subscriber::deleteDR(api::DataReaderImpl* bridge) {
    Joint lock(participant_->getMutex(), mutex_);
    Reader* reader = readerOfBridge(bridge);
    if (reader == nullptr || reader->isMarked()) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    departReader(reader);
    participant_->removeTopicReader(reader->getTopic(), reader);
    reader->markToDelete();
    return vexa::dds::RETCODE_OK;
}

bool Subscriber::closeDRByApi(Reader* reader) {
    Joint lock(participant_->getMutex(), mutex_);
    if (!isOurs(reader) || reader->isMarked()) {
        return false;
    }
    reader->closedByApi();
    departReader(reader);
    return participant_->removeTopicReader(reader->getTopic(), reader);
}

void Subscriber::closedByApi() {
    // Each reader's close takes the participant's mutex: take it first, as the order says.
    Joint lock(participant_->getMutex(), mutex_);
    listenerMask_ = 0;
    for (Reader* r : readers_) {
        if (live(r)) {
            closeDRByApi(r);
        }
    }
    subscriptionWriter_ = nullptr;
}

void Subscriber::closeRTPS(std::vector<std::shared_ptr<ReaderGate>>& gates) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Reader* r : readers_) {
        if (r != nullptr && r->gate()) {
            r->gate()->release(false);
            gates.push_back(r->gate());
        }
    }
    subscriptionWriter_ = nullptr;
}

api::DataReaderImpl* Subscriber::lookupDR(std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    // Marked readers are skipped: their bridges go with them two collector passes later.
    for (Reader* r : readers_) {
        if (live(r) && r->getTopic()->getName() == topicName) {
            return r->getBridge();
        }
    }
    return nullptr;
}

ReturnCode_t Subscriber::getDataReaders(std::vector<api::DataReaderImpl*>& out, uint32_t sampleMask,
                                        uint32_t viewMask, uint32_t instanceMask) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    out.clear();
    for (Reader* r : readers_) {
        if (live(r) && r->hasSamples(sampleMask, viewMask, instanceMask)) {
            out.push_back(r->getBridge());
        }
    }
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Subscriber::setReaderQoS(vexa::dds::DataReaderQos const& qos, Reader* reader) {
    // With the participant mutex: the re-check of remote writers reaches the built-in
    // subscriber's mutex, which is taken only after the participant's.
    Joint lock(participant_->getMutex(), mutex_);
    if (!isOurs(reader)) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    RTPS::Reader* engine = reader->getRTPS();
    if (engine == nullptr) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    vexa::dds::DataReaderQos const& old = reader->getQoS();
    unsigned mask = 0;
    if (qos.deadline.period != old.deadline.period) {
        mask |= 8;
    }
    if (qos.latency_budget.duration != old.latency_budget.duration) {
        mask |= 16;
    }
    if (qos.user_data.value != old.user_data.value) {
        mask |= 1;
    }
    if (qos.time_based_filter.minimum_separation != old.time_based_filter.minimum_separation) {
        mask |= 64;
    }
    ReturnCode_t result = reader->setQoS(qos);
    if (mask != 0) {
        reader->refreshSubscriptionData();
        RTPS::RTPS_AdditionalTopicData extra{};
        extra.timestamp = clock_.now();
        try {
            engine->setQoS(reader->subscriptionData(), extra, mask);
        } catch (std::exception const&) {
            result = vexa::dds::RETCODE_ERROR;
        }
    }
    return result;
}

bool Subscriber::inUse() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Reader* r : readers_) {
        if (live(r)) {
            return true;
        }
    }
    return false;
}

bool Subscriber::contains_entity(int32_t handle) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    Reader* r = tableEntry(readers_, entity_id::endpointIndexOf(handle));
    return live(r) && r->getId() == handle;
}

void Subscriber::assertLiveliness(Reader* reader, unsigned const* guidPrefix, unsigned entityId) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isMarked() && isOurs(reader) && live(reader)) {
        reader->assertLiveliness(guidPrefix, entityId);
    }
}

void Subscriber::assertLiveliness(Reader* reader, unsigned const* guidPrefix, unsigned entityId,
                                  vexa::dds::Time_t const& time, bool manual) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isMarked() && isOurs(reader) && live(reader)) {
        reader->assertLiveliness(guidPrefix, entityId, time, manual);
    }
}

bool Subscriber::discoverDW(Reader* reader, RemoteDW* record, unsigned const* guidPrefix,
                            unsigned entityId, vexa::dds::PublicationBuiltinTopicData const& data) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (isMarked() || !isOurs(reader) || !live(reader)) {
        return false;
    }
    return reader->discoverDW(record, guidPrefix, entityId, data);
}

void Subscriber::changeDWQoS(Reader* reader, unsigned const* guidPrefix, unsigned entityId,
                             vexa::dds::DeadlineQosPolicy const& deadline,
                             vexa::dds::LatencyBudgetQosPolicy const& latency,
                             vexa::dds::LifespanQosPolicy const& lifespan,
                             vexa::dds::OwnershipStrengthQosPolicy const& strength) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isMarked() && isOurs(reader) && live(reader)) {
        reader->changeDWQoS(guidPrefix, entityId, deadline, latency, lifespan, strength);
    }
}

void Subscriber::looseDW(Reader* reader, unsigned const* guidPrefix, unsigned entityId) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isMarked() && isOurs(reader) && live(reader)) {
        reader->looseDW(guidPrefix, entityId);
    }
}

void Subscriber::notifyUser(api::DPEventForwarder* listener, uint32_t mask,
                            ListenerCalls::Batch& batch) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if ((get_status_changes() & vexa::dds::DATA_ON_READERS_STATUS) != 0) {
        if (listener_ != nullptr && (listenerMask_ & vexa::dds::DATA_ON_READERS_STATUS) != 0) {
            reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
            api::SubEventForwarder* const l = listener_;
            Subscriber* const self = this;
            batch.add("Subscriber", "", [l, self] { l->on_data_on_readers(self); });
        } else {
            bool called = false;
            for (Reader* r : readers_) {
                if (live(r) && r->callDataAvailableListener(batch)) {
                    called = true;
                }
            }
            if (called) {
                reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
            }
        }
    }
    getStatusCondition().signal();
    for (Reader* r : readers_) {
        if (live(r) && r->isEnabled()) {
            r->callPlainStatusListeners(listener, mask, batch);
            r->signalConditions();
        }
    }
}

void Subscriber::periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask) {
    ListenerCalls::Batch batch;
    {
        std::lock_guard<CoreRecursiveMutex> lock(participant_->getMutex());
        participant_->listenerCalls().open(batch);
        periodicStatusCheckAndNotify(listener, mask, batch);
    }
    participant_->listenerCalls().run(batch);
}

void Subscriber::periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask,
                                              ListenerCalls::Batch& batch) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Reader* r : readers_) {
        if (live(r) && r->isEnabled()) {
            r->checkLiveliness();
            r->checkDeadline();
            r->callPlainStatusListeners(listener, mask, batch);
            r->signalConditions();
        }
    }
}

ReturnCode_t Subscriber::notify_datareaders() {
    ListenerCalls& calls = participant_->listenerCalls();
    ListenerCalls::Batch batch;
    {
        // The batch opens under the participant mutex, so the collector keeps the readers.
        std::lock_guard<CoreRecursiveMutex> participantLock(participant_->getMutex());
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        if (!isEnabled()) {
            return vexa::dds::RETCODE_NOT_ENABLED;
        }
        calls.open(batch);
        for (Reader* r : readers_) {
            if (live(r) && (r->get_status_changes() & vexa::dds::DATA_AVAILABLE_STATUS) != 0 &&
                r->invokeListenerOnDataAvailable(batch)) {
                reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
            }
        }
    }
    calls.run(batch);
    return vexa::dds::RETCODE_OK;
}

void Subscriber::collectGarbage() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Reader*& r : readers_) {
        if (r == nullptr) {
            continue;
        }
        if (r->isReady()) {
            dropEntries(r);
            delete r;
            r = nullptr;
        } else if (!r->isMarked()) {
            r->collectGarbage();
        } else {
            r->setReady();
        }
    }
}

}  // namespace vexa::dcps
