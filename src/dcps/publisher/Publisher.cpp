#include "dcps/publisher/Publisher.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/entity/EntityId.h"
#include "dcps/entity/FatalAssertion.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/writer/Writer.h"
#include "vexa/DataWriterImpl.h"

namespace vexa::dcps {

using vexa::dds::InstanceHandle_t;
using vexa::dds::ReturnCode_t;

namespace {

char const MODULE_CREATE[] = "DCPS::Publisher::createDW";
char const MODULE_WRITER_OP[] = "DCPS::Publisher";
char const MODULE_SEND[] = "DCPS::Publisher::sendRTPSmsg";
char const MODULE_DELETE_MSG[] = "DCPS::Publisher::deleteRTPSmsg";
char const MODULE_ACK[] = "DCPS::Publisher::waitForAcknowledgements";

constexpr uint32_t LAST_WRITER_INDEX = 2042;
constexpr uint32_t OBJECT_INDEX_MASK = 0x000FFFFFu;
constexpr uint32_t OBJECT_PREFIX_MASK = 0xFFF00000u;
constexpr uint32_t NO_INDEX = 0xFFFFFFFFu;
constexpr int64_t NOT_TAKEN = 0xFFFFFFFF;
constexpr size_t WRITER_TABLE_GROWTH = 10;
constexpr size_t OBJECT_TABLE_GROWTH = 100;
constexpr auto DELIVERY_SLICE = std::chrono::milliseconds(100);

// The participant and publisher mutexes, taken together and released early when an engine call
// follows.
class BothLocks {
public:
    BothLocks(CoreRecursiveMutex& participant, CoreRecursiveMutex& publisher)
        : participant_(participant), publisher_(publisher) {
        lockJoint(participant_, publisher_);
    }
    ~BothLocks() { unlock(); }
    BothLocks(BothLocks const&) = delete;
    BothLocks& operator=(BothLocks const&) = delete;

    void unlock() {
        if (held_) {
            held_ = false;
            publisher_.unlock();
            releaseParticipant();
        }
    }
    // Keeps the publisher mutex only.
    void releaseParticipant() {
        if (participantHeld_) {
            participantHeld_ = false;
            participant_.unlock();
        }
    }

private:
    CoreRecursiveMutex& participant_;
    CoreRecursiveMutex& publisher_;
    bool held_ = true;
    bool participantHeld_ = true;
};

template <class Growing>
void appendGrowing(std::vector<Growing>& table, Growing const& entry, size_t growth) {
    if (table.size() == table.capacity()) {
        table.reserve(table.capacity() + growth);
    }
    table.push_back(entry);
}

// The engine's change handle holds the sequence number's high word in bits 0-31 and its low
// word in bits 32-63.
int32_t seqHigh(int64_t handle) {
    return static_cast<int32_t>(static_cast<uint64_t>(handle) & 0xFFFFFFFFu);
}
uint32_t seqLow(int64_t handle) {
    return static_cast<uint32_t>(static_cast<uint64_t>(handle) >> 32);
}

// Every QoS-derived field of a writer's publication data, from its QoS.
void fillFromQos(vexa::dds::PublicationBuiltinTopicData& data, vexa::dds::DataWriterQos const& q) {
    data.durability = q.durability;
    data.durability_service = q.durability_service;
    data.deadline = q.deadline;
    data.latency_budget = q.latency_budget;
    data.liveliness = q.liveliness;
    data.reliability = q.reliability;
    data.lifespan = q.lifespan;
    data.user_data = q.user_data;
    data.ownership = q.ownership;
    data.ownership_strength = q.ownership_strength;
    data.destination_order = q.destination_order;
}

}  // namespace

Publisher::Publisher(DomainParticipant* participant, int32_t id, vexa::dds::PublisherQos const* qos)
    : Entity(id, participant),
      defaultDWQos_(vexa::dds::predefDataWriterQos()),
      participant_(participant),
      nextWriterId_((static_cast<uint32_t>(id) << 16) | entity_id::WRITER | 1u),
      nextObjectId_((static_cast<uint32_t>(id) << 20) | 0x40000001u),
      mutex_(LockLevel::Entity, "Publisher"),
      gateMutex_(LockLevel::Leaf, "Publisher writer resources") {
    if (qos != nullptr) {
        qos_ = *qos;
    } else {
        participant->getDefaultPubQos(qos_);
    }
    writers_.reserve(WRITER_TABLE_GROWTH);
    writers_.push_back(nullptr);
    localObjects_.reserve(OBJECT_TABLE_GROWTH);
    localObjects_.push_back({nullptr, 0});
    if (RTPS::Participant* rtps = participant->getRTPS()) {
        publicationWriter_ = rtps->getDCPSPublicationWriter();
    }
}

Publisher::~Publisher() {
    signalForWriterResources();
    for (Writer*& w : writers_) {
        delete w;
        w = nullptr;
    }
}

TimeService& Publisher::getTimeService() const {
    return participant_->getTimeService();
}

Writer* Publisher::writerAt(uint32_t index) {
    return tableEntry(writers_, index);
}

void Publisher::requireOwn(Writer const* writer, char const* module) const {
    fatalUnless(writer != nullptr && writer->getPublisher() == this, module,
                "writer && (writer->getPublisher() == this)");
}

// ---- identifiers ----

uint32_t Publisher::getNewWriterID() {
    if ((nextWriterId_.load() & entity_id::ENDPOINT_INDEX_MASK) > LAST_WRITER_INDEX) {
        return 0;
    }
    uint32_t const id = nextWriterId_.fetch_add(1);
    appendGrowing<Writer*>(writers_, nullptr, WRITER_TABLE_GROWTH);
    return id;
}

InstanceHandle_t Publisher::getNewObjectID(Writer const* writer, uint32_t index) {
    if ((nextObjectId_ & OBJECT_INDEX_MASK) == OBJECT_INDEX_MASK) {
        return vexa::dds::HANDLE_NIL;
    }
    uint32_t const handle = nextObjectId_++;
    appendGrowing(localObjects_, LocalObject{const_cast<Writer*>(writer), index},
                  OBJECT_TABLE_GROWTH);
    return static_cast<InstanceHandle_t>(handle);
}

uint32_t Publisher::getLocalObjectIndex(InstanceHandle_t handle) const {
    uint32_t const h = static_cast<uint32_t>(handle);
    uint32_t const prefix = (static_cast<uint32_t>(getId()) << 20) | 0x40000000u;
    uint32_t const n = h & OBJECT_INDEX_MASK;
    if ((h & OBJECT_PREFIX_MASK) != prefix || n >= localObjects_.size()) {
        return NO_INDEX;
    }
    return localObjects_[n].index;
}

uint32_t Publisher::getLocalObjectIndex(InstanceHandle_t handle, Writer const* owner) const {
    uint32_t const index = getLocalObjectIndex(handle);
    if (index == NO_INDEX ||
        localObjects_[static_cast<uint32_t>(handle) & OBJECT_INDEX_MASK].writer != owner) {
        return NO_INDEX;
    }
    return index;
}

bool Publisher::setLocalObjectIndex(InstanceHandle_t handle, uint32_t index) {
    uint32_t const h = static_cast<uint32_t>(handle);
    uint32_t const prefix = (static_cast<uint32_t>(getId()) << 20) | 0x40000000u;
    uint32_t const n = h & OBJECT_INDEX_MASK;
    if ((h & OBJECT_PREFIX_MASK) != prefix || n >= localObjects_.size()) {
        return false;
    }
    localObjects_[n].index = index;
    return true;
}

// ---- writer life cycle ----

api::DataWriterImpl* Publisher::createDW(Topic const* constTopic,
                                         vexa::dds::DataWriterQos const* qos,
                                         api::DWEventForwarder* listener,
                                         vexa::dds::StatusMask mask) {
    auto& log = vexalog::Logger::getLogger();
    // The topic's writer set is the participant's to change.
    auto* topic = const_cast<Topic*>(constTopic);
    if (topic == nullptr) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_WRITER_NO_TYPE, "");
        return nullptr;
    }
    BothLocks locks(participant_->getMutex(), mutex_);
    vexa::dds::HistoryQosPolicy const& history = (qos != nullptr ? *qos : defaultDWQos_).history;
    if (history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS && history.depth < 1) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_ENDPOINT_DEPTH_BELOW_ONE,
                       topic->getName().c_str(), history.depth);
        return nullptr;
    }
    RTPS::Participant* rtps = participant_->getRTPS();
    if (rtps == nullptr) {
        // The participant has closed: no engine to give the writer to.
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_WRITER_ENGINE_REFUSED,
                       topic->getName().c_str(), "нет участника RTPS");
        return nullptr;
    }
    uint32_t const id = getNewWriterID();
    if (id == 0) {
        log.logMessage(MODULE_CREATE, 3, vexares::DCPS_MSG_WRITER_NO_ID, topic->getName().c_str());
        return nullptr;
    }
    auto* writer = new Writer(this, topic, id, qos != nullptr ? qos : &defaultDWQos_);
    TypeSupportCB* type = participant_->addTopicWriter(topic, writer);
    api::DataWriterImpl* bridge = nullptr;
    if (type != nullptr && type->factory_ != nullptr) {
        bridge = writer->InitResources(*type->factory_);
    }
    if (bridge == nullptr) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_WRITER_NO_TYPE,
                       topic->getName().c_str());
        if (type != nullptr) {
            participant_->removeTopicWriter(topic, writer);
        }
        delete writer;
        return nullptr;
    }
    uint32_t key[3];
    participant_->getParticipantKey(key);
    for (unsigned i = 0; i < 3; ++i) {
        writer->publicationData().participant_key.value[i] = key[i];
    }
    if (SubscriberBuiltin* builtin = participant_->getBuiltinSubscriber()) {
        builtin->discoverDRforNewWriter(writer, topic->getName());
    }
    if (listener != nullptr) {
        writer->setListener(listener, mask);
    }
    uint32_t const index = entity_id::endpointIndexOf(writer->getId());
    writers_[index] = writer;

    RTPS::RTPS_AdditionalTopicData extra;
    extra.timestamp = getTimeService().now();
    extra.transportPriority = writer->qos().transport_priority.value;
    RTPS::TOPIC_KIND const kind =
        type->factory_->hasKey() ? RTPS::TOPIC_KIND_WITH_KEY : RTPS::TOPIC_KIND_NO_KEY;
    // One change more than the history holds: a KEEP_LAST write sends its change before the
    // one it replaces leaves the engine.
    int const engineSamples = writer->maxSamples() > 0 ? writer->maxSamples() + 1 : 0;
    try {
        writer->setRTPS(rtps->addWriter(&writer->publicationData(), extra, kind, engineSamples));
    } catch (std::exception const& e) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_WRITER_ENGINE_REFUSED,
                       topic->getName().c_str(), e.what());
    } catch (...) {
        log.logMessage(MODULE_CREATE, 2, vexares::DCPS_MSG_WRITER_ENGINE_REFUSED,
                       topic->getName().c_str(), "?");
    }
    if (writer->getRTPS() == nullptr) {
        // Half made: it leaves the topic's writer set before it goes.
        writers_[index] = nullptr;
        participant_->removeTopicWriter(topic, writer);
        delete writer;
        return nullptr;
    }
    if (qos_.entity_factory.autoenable_created_entities) {
        writer->enable();
    }
    log.logMessage(MODULE_CREATE, 6, vexares::DCPS_MSG_WRITER_CREATED, topic->getName().c_str());
    return bridge;
}

void Publisher::retireEngineWriter(Writer* writer) {
    RTPS::Writer* rtps = writer->detachRTPS();
    if (rtps == nullptr) {
        return;
    }
    if (publicationWriter_ != nullptr) {
        participant_->announce(
            publicationWriter_, writer->getId(), RTPS::SAMPLE_UNREGISTERED | RTPS::SAMPLE_DISPOSED,
            &writer->publicationData(), sizeof(vexa::dds::PublicationBuiltinTopicData), nullptr);
    }
    vexa::OsYieldCPU();
    // A call still in flight on the engine writer closes it when it ends.
    writer->engineCalls().releaseWhenIdle([rtps] {
        try {
            rtps->close();
        } catch (...) {
            // The engine participant releases the writer when it goes.
        }
    });
}

ReturnCode_t Publisher::deleteDW(api::DataWriterImpl* bridge) {
    Writer* writer = bridge != nullptr ? bridge->getEntity() : nullptr;
    if (writer == nullptr) {
        return vexa::dds::RETCODE_OK;
    }
    auto live = [this, writer] {
        return writerAt(entity_id::endpointIndexOf(writer->getId())) == writer &&
               !writer->isMarked();
    };
    {
        BothLocks locks(participant_->getMutex(), mutex_);
        if (!live()) {
            return vexa::dds::RETCODE_OK;
        }
    }
    // The unregistrations go out as writes do: when the engine has no room, the publisher
    // waits for it with no mutex held, within the writer's max_blocking_time.
    ReturnCode_t const sent = untilTaken(
        writer, false, [writer] { return writer->unregisterAllInstances(); }, true);
    BothLocks locks(participant_->getMutex(), mutex_);
    if (!live()) {
        return sent;  // another thread deleted it meanwhile
    }
    if (sent != vexa::dds::RETCODE_OK) {
        vexalog::Logger::getLogger().logMessage(
            "DCPS::Publisher::deleteDW", 2, vexares::DCPS_MSG_WRITER_UNREGISTRATIONS_LOST,
            writer->getTopic()->getName().c_str(), writer->registeredInstances(),
            static_cast<int32_t>(sent));
    }
    retireEngineWriter(writer);
    participant_->removeTopicWriter(writer->getTopic(), writer);
    writer->markToDelete();
    return sent;
}

void Publisher::closeDWByApi(Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::closeDWByApi");
    BothLocks locks(participant_->getMutex(), mutex_);
    writer->closedByApi();
    retireEngineWriter(writer);
    participant_->removeTopicWriter(writer->getTopic(), writer);
}

void Publisher::closedByApi() {
    BothLocks locks(participant_->getMutex(), mutex_);
    listenerMask_ = 0;
    for (Writer* w : writers_) {
        if (w != nullptr && !w->isMarked()) {
            closeDWByApi(w);
        }
    }
    publicationWriter_ = nullptr;
}

ReturnCode_t Publisher::enable_childs() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (qos_.entity_factory.autoenable_created_entities) {
        for (Writer* w : writers_) {
            if (w != nullptr && !w->isMarked()) {
                w->enable();
            }
        }
    }
    return vexa::dds::RETCODE_OK;
}

api::DataWriterImpl* Publisher::lookupDW(std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Writer* w : writers_) {
        // A deleted writer's bridge is freed with it.
        if (w != nullptr && !w->isMarked() && w->getTopic()->getName() == topicName) {
            return w->getBridge();
        }
    }
    return nullptr;
}

bool Publisher::inUse() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return std::any_of(writers_.begin(), writers_.end(),
                       [](Writer* w) { return w != nullptr && !w->isMarked(); });
}

bool Publisher::empty() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return std::all_of(writers_.begin(), writers_.end(), [](Writer* w) { return w == nullptr; });
}

bool Publisher::contains_entity(int32_t handle) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    Writer* w = writerAt(entity_id::endpointIndexOf(handle));
    return w != nullptr && !w->isMarked() && w->getId() == handle;
}

void Publisher::collectGarbage() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    // The two-pass rule, except that a marked writer with an engine call still in flight (the
    // caller touches it until the call ends) waits for a later pass.
    for (Writer*& w : writers_) {
        if (w == nullptr) {
            continue;
        }
        if (w->isReady()) {
            delete w;
            w = nullptr;
        } else if (!w->isMarked()) {
            w->collectGarbage();
        } else if (w->engineCalls().idle()) {
            w->setReady();
        }
    }
}

void Publisher::forgetRTPS() {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Writer* w : writers_) {
        if (w != nullptr) {
            w->detachRTPS();
        }
    }
    publicationWriter_ = nullptr;
}

// ---- sample operations ----

ReturnCode_t Publisher::write(Writer* writer, void const* sample, InstanceHandle_t handle,
                              vexa::dds::Time_t const* timestamp) {
    requireOwn(writer, "DCPS::Publisher::write");
    return untilTaken(writer, true, [&] { return writer->write(sample, handle, timestamp); });
}

template <class Operation>
ReturnCode_t Publisher::untilTaken(Writer* writer, bool assertsLiveliness, Operation operation,
                                   bool bounded) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::time_point::max();
    bool first = true;
    // The rounds and the waits between them count as one engine call on the writer and the
    // participant, begun while both mutexes are held: neither the writer, nor its engine
    // writer, nor the engine participant goes before the operation returns.
    struct Counted {
        DomainParticipant* participant;
        Writer* writer;
        bool on = false;
        ~Counted() {
            if (on) {
                writer->engineCalls().end();
                participant->endEngineCall();
            }
        }
    } counted{participant_, writer};
    for (;;) {
        ReturnCode_t rc;
        Writer::Room wanted;
        uint64_t seen = 0;
        {
            BothLocks locks(participant_->getMutex(), mutex_);
            if (assertsLiveliness) {
                participant_->assertLivelinessByDWLocked();
            }
            if (!counted.on && participant_->beginEngineCall()) {
                writer->engineCalls().begin();
                counted.on = true;
            }
            locks.releaseParticipant();
            if (assertsLiveliness) {
                writer->assertLiveliness();
            }
            writer->takeRoomWanted();
            rc = operation();
            wanted = writer->takeRoomWanted();
            if (wanted == Writer::Room::None) {
                return rc;
            }
            vexa::dds::Duration_t const& max = writer->qos().reliability.max_blocking_time;
            if (first) {
                first = false;
                // A full DCPS history asks only when the writer may block.
                if (wanted == Writer::Room::Engine &&
                    (writer->qos().reliability.kind != vexa::dds::RELIABLE_RELIABILITY_QOS ||
                     max.sec < 0 || (max.sec == 0 && max.nanosec == 0))) {
                    return rc;
                }
                if (bounded && max == vexa::dds::DURATION_INFINITE) {
                    return rc;
                }
                if (max != vexa::dds::DURATION_INFINITE) {
                    deadline = Clock::now() + std::chrono::seconds(max.sec) +
                               std::chrono::nanoseconds(max.nanosec);
                }
            }
            if (!counted.on) {
                return vexa::dds::RETCODE_ALREADY_DELETED;  // the engine participant has gone
            }
            if (wanted == Writer::Room::History) {
                // Before the mutex goes: a sample that leaves after it is not missed.
                seen = enterWriterResourcesWait();
            }
        }
        // The sample went back; wait for room with no core mutex held: the engine's parser
        // thread takes them on its way to the acknowledgements that make room in the engine,
        // and only other operations of this publisher make room in a DCPS history.
        ReturnCode_t const waited = waitForRoom(writer, wanted, seen, deadline);
        if (wanted == Writer::Room::History) {
            leaveWriterResourcesWait();
        }
        if (waited != vexa::dds::RETCODE_OK) {
            // A DCPS history that stays full fails as it would without waiting.
            return waited == vexa::dds::RETCODE_TIMEOUT && wanted == Writer::Room::History ? rc
                                                                                           : waited;
        }
    }
}

ReturnCode_t Publisher::waitForRoom(Writer* writer, Writer::Room wanted, uint64_t seen,
                                    std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    RTPS::Writer* rtps = nullptr;
    {
        BothLocks locks(participant_->getMutex(), mutex_);
        rtps = writer->getRTPS();
        if (rtps == nullptr) {
            return vexa::dds::RETCODE_ALREADY_DELETED;
        }
    }
    ReturnCode_t rc = vexa::dds::RETCODE_OK;
    for (;;) {
        Clock::time_point const sliceEnd = std::min(deadline, Clock::now() + DELIVERY_SLICE);
        bool room = false;
        try {
            room = wanted == Writer::Room::Engine ? rtps->waitForRoom(sliceEnd)
                                                  : waitForWriterResources(seen, sliceEnd);
        } catch (...) {
            rc = vexa::dds::RETCODE_ERROR;
            break;
        }
        if (room) {
            break;
        }
        if (writer->isDetaching()) {
            rc = vexa::dds::RETCODE_ALREADY_DELETED;
            break;
        }
        if (Clock::now() >= deadline) {
            rc = vexa::dds::RETCODE_TIMEOUT;
            break;
        }
    }
    return rc;
}

InstanceHandle_t Publisher::registerInstance(Writer* writer, void const* sample,
                                             vexa::dds::Time_t const* timestamp) {
    (void)timestamp;
    requireOwn(writer, "DCPS::Publisher::registerInstance");
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->registerInstance(sample);
}

ReturnCode_t Publisher::unregisterInstance(Writer* writer, void const* sample,
                                           InstanceHandle_t handle,
                                           vexa::dds::Time_t const* timestamp) {
    requireOwn(writer, "DCPS::Publisher::unregisterInstance");
    return untilTaken(writer, false,
                      [&] { return writer->unregisterInstance(sample, handle, timestamp); });
}

ReturnCode_t Publisher::dispose(Writer* writer, void const* sample, InstanceHandle_t handle,
                                vexa::dds::Time_t const* timestamp) {
    requireOwn(writer, "DCPS::Publisher::dispose");
    return untilTaken(writer, false, [&] { return writer->dispose(sample, handle, timestamp); });
}

ReturnCode_t Publisher::getKeyValue(void* keyHolder, InstanceHandle_t handle, Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::getKeyValue");
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->getKeyValue(keyHolder, handle);
}

InstanceHandle_t Publisher::lookupInstance(void const* sample, Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::lookupInstance");
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->lookupInstance(sample);
}

ReturnCode_t Publisher::setWriterListener(api::DWEventForwarder* listener,
                                          vexa::dds::StatusMask mask, Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::setWriterListener");
    ReturnCode_t rc;
    api::DWEventForwarder* old;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        old = writer->getListener();
        rc = writer->setListener(listener, mask);
    }
    participant_->listenerCalls().replaced(old, listener);
    return rc;
}

ReturnCode_t Publisher::getLivelinessLostStatus(vexa::dds::LivelinessLostStatus& out,
                                                Writer* writer) {
    requireOwn(writer, MODULE_WRITER_OP);
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->getLivelinessLostStatus(out);
}

ReturnCode_t Publisher::getOfferedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out,
                                                       Writer* writer) {
    requireOwn(writer, MODULE_WRITER_OP);
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->getOfferedDeadlineMissedStatus(out);
}

ReturnCode_t Publisher::getOfferedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out,
                                                        Writer* writer) {
    requireOwn(writer, MODULE_WRITER_OP);
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->getOfferedIncompatibleQosStatus(out);
}

ReturnCode_t Publisher::getPublicationMatchedStatus(vexa::dds::PublicationMatchedStatus& out,
                                                    Writer* writer) {
    requireOwn(writer, MODULE_WRITER_OP);
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return writer->getPublicationMatchedStatus(out);
}

// ---- remote readers ----

int Publisher::discoverDR(Writer* writer, RemoteDR const* record, uint32_t const* guidPrefix,
                          uint32_t entityId, vexa::dds::SubscriptionBuiltinTopicData const& data) {
    if (writer == nullptr || writer->getPublisher() != this) {
        return 0;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (isMarked() || writer->isMarked()) {
        return 0;
    }
    return writer->discoverDR(record, guidPrefix, entityId, data);
}

void Publisher::changeDRQoS(Writer* writer, uint32_t const* guidPrefix, uint32_t entityId,
                            vexa::dds::DeadlineQosPolicy const& deadline,
                            vexa::dds::LatencyBudgetQosPolicy const& latency) {
    requireOwn(writer, "DCPS::Publisher::changeDRQoS");
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isMarked() && !writer->isMarked()) {
        writer->changeDRQoS(guidPrefix, entityId, deadline, latency);
    }
}

void Publisher::looseDR(Writer* writer, uint32_t const* guidPrefix, uint32_t entityId) {
    requireOwn(writer, "DCPS::Publisher::looseDR");
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    writer->looseDR(guidPrefix, entityId);
}

ReturnCode_t Publisher::assertLiveliness(Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::assertLiveliness");
    BothLocks locks(participant_->getMutex(), mutex_);
    if (isMarked() || writer->isMarked()) {
        return vexa::dds::RETCODE_ALREADY_DELETED;
    }
    if (!writer->isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    participant_->assertLivelinessByDWLocked();
    if (writer->qos().liveliness.kind == vexa::dds::AUTOMATIC_LIVELINESS_QOS) {
        return vexa::dds::RETCODE_OK;
    }
    writer->assertLiveliness();
    RTPS::Writer* rtps = writer->getRTPS();
    if (rtps == nullptr || !participant_->beginEngineCall()) {
        return vexa::dds::RETCODE_OK;
    }
    writer->engineCalls().begin();
    locks.unlock();
    try {
        rtps->assertLiveliness();
    } catch (...) {
        // The next assertion tells the readers again.
    }
    writer->engineCalls().end();
    participant_->endEngineCall();
    return vexa::dds::RETCODE_OK;
}

// ---- QoS and listener ----

ReturnCode_t Publisher::getQoS(vexa::dds::PublisherQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = qos_;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Publisher::getDefaultDWQoS(vexa::dds::DataWriterQos& out) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    out = defaultDWQos_;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Publisher::setDefaultDWQoS(vexa::dds::DataWriterQos const& qos) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    defaultDWQos_ = qos;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Publisher::setListener(api::PubEventForwarder* listener, vexa::dds::StatusMask mask) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    listener_ = listener;
    listenerMask_ = mask;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Publisher::setQoS(vexa::dds::PublisherQos const& qos) {
    BothLocks locks(participant_->getMutex(), mutex_);
    unsigned mask = 0;
    if (qos_.partition != qos.partition) {
        mask |= 128;
    }
    if (qos_.group_data != qos.group_data) {
        mask |= 4;
    }
    qos_.presentation = qos.presentation;
    qos_.partition = qos.partition;
    qos_.group_data = qos.group_data;
    qos_.entity_factory = qos.entity_factory;
    if (mask == 0) {
        return vexa::dds::RETCODE_OK;
    }
    struct Change {
        Writer* writer;
        RTPS::Writer* rtps;
        vexa::dds::PublicationBuiltinTopicData data;
    };
    std::vector<Change> changes;
    for (Writer* w : writers_) {
        if (w == nullptr || w->isMarked()) {
            continue;
        }
        if ((mask & 128) != 0) {
            w->publicationData().partition = qos_.partition;
        }
        if ((mask & 4) != 0) {
            w->publicationData().group_data = qos_.group_data;
        }
        if (w->getRTPS() != nullptr && participant_->beginEngineCall()) {
            w->engineCalls().begin();
            changes.push_back({w, w->getRTPS(), w->publicationData()});
        }
    }
    vexa::dds::Time_t const now = getTimeService().now();
    locks.unlock();
    ReturnCode_t rc = vexa::dds::RETCODE_OK;
    for (Change& c : changes) {
        if (rc == vexa::dds::RETCODE_OK) {
            RTPS::RTPS_AdditionalTopicData extra;
            extra.timestamp = now;
            extra.transportPriority = c.writer->qos().transport_priority.value;
            try {
                c.rtps->setQoS(c.data, extra, mask);
            } catch (...) {
                rc = vexa::dds::RETCODE_ERROR;  // the writers after it keep the old values
            }
        }
        c.writer->engineCalls().end();
        participant_->endEngineCall();
    }
    return rc;
}

ReturnCode_t Publisher::setWriterQoS(vexa::dds::DataWriterQos const& qos, Writer* writer) {
    requireOwn(writer, "DCPS::Publisher::setWriterQoS");
    // Both mutexes: the writer's re-check of its remote readers reaches the built-in
    // subscriber's mutex, which comes after the participant's.
    BothLocks locks(participant_->getMutex(), mutex_);
    vexa::dds::DataWriterQos const& old = writer->qos();
    unsigned mask = 0;
    if (old.deadline != qos.deadline) {
        mask |= 8;
    }
    if (old.latency_budget != qos.latency_budget) {
        mask |= 16;
    }
    if (old.lifespan != qos.lifespan) {
        mask |= 0x200;
    }
    if (old.user_data != qos.user_data) {
        mask |= 1;
    }
    if (old.transport_priority != qos.transport_priority) {
        mask |= 0x100;
    }
    ReturnCode_t rc = writer->setQoS(qos);
    RTPS::Writer* rtps = writer->getRTPS();
    if (mask == 0 || rtps == nullptr || !participant_->beginEngineCall()) {
        return rc;
    }
    vexa::dds::PublicationBuiltinTopicData data = writer->publicationData();
    fillFromQos(data, writer->qos());
    RTPS::RTPS_AdditionalTopicData extra;
    extra.timestamp = getTimeService().now();
    extra.transportPriority = writer->qos().transport_priority.value;
    writer->engineCalls().begin();
    locks.unlock();
    try {
        rtps->setQoS(data, extra, mask);
    } catch (...) {
        rc = vexa::dds::RETCODE_ERROR;
    }
    writer->engineCalls().end();
    participant_->endEngineCall();
    return rc;
}

// ---- engine calls ----

ReturnCode_t Publisher::sendRTPSmsg(RTPS::Writer* rtpsWriter, RTPS::SampleInfo& sample,
                                    int64_t& changeHandle) {
    changeHandle = NOT_TAKEN;
    if (rtpsWriter == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;
    }
    auto& log = vexalog::Logger::getLogger();
    try {
        int64_t const handle = rtpsWriter->addNow(&sample);
        if (handle == NOT_TAKEN) {
            log.logMessage(MODULE_SEND, 7, vexares::DCPS_MSG_CHANGE_NOT_TAKEN,
                           static_cast<long long>(handle));
            return vexa::dds::RETCODE_TIMEOUT;
        }
        changeHandle = handle;
        return vexa::dds::RETCODE_OK;
    } catch (std::exception const& e) {
        log.logMessage(MODULE_SEND, 3, vexares::DCPS_MSG_ADD_CHANGE_FAILED, e.what());
    } catch (...) {
        log.logMessage(MODULE_SEND, 3, vexares::DCPS_MSG_ADD_CHANGE_FAILED, "?");
    }
    return vexa::dds::RETCODE_ERROR;
}

ReturnCode_t Publisher::deleteRTPSmsg(RTPS::Writer* rtpsWriter, long changeHandle) {
    if (rtpsWriter == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    auto& log = vexalog::Logger::getLogger();
    try {
        if (rtpsWriter->deleteChange(changeHandle)) {
            return vexa::dds::RETCODE_OK;
        }
        log.logMessage(MODULE_DELETE_MSG, 3, vexares::DCPS_MSG_WRITER_CHANGE_KEPT,
                       seqHigh(changeHandle), seqLow(changeHandle));
        return vexa::dds::RETCODE_TIMEOUT;
    } catch (std::exception const& e) {
        log.logMessage(MODULE_DELETE_MSG, 3, vexares::DCPS_MSG_DELETE_CHANGE_FAILED,
                       seqHigh(changeHandle), seqLow(changeHandle), e.what());
    } catch (...) {
        log.logMessage(MODULE_DELETE_MSG, 3, vexares::DCPS_MSG_DELETE_CHANGE_FAILED,
                       seqHigh(changeHandle), seqLow(changeHandle), "?");
    }
    return vexa::dds::RETCODE_ERROR;
}

ReturnCode_t Publisher::dropRTPSmsg(RTPS::Writer* rtpsWriter, long changeHandle) {
    if (rtpsWriter == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    auto& log = vexalog::Logger::getLogger();
    try {
        rtpsWriter->dropChange(changeHandle);  // not held: it has gone already
        return vexa::dds::RETCODE_OK;
    } catch (std::exception const& e) {
        log.logMessage(MODULE_DELETE_MSG, 3, vexares::DCPS_MSG_DELETE_CHANGE_FAILED,
                       seqHigh(changeHandle), seqLow(changeHandle), e.what());
    } catch (...) {
        log.logMessage(MODULE_DELETE_MSG, 3, vexares::DCPS_MSG_DELETE_CHANGE_FAILED,
                       seqHigh(changeHandle), seqLow(changeHandle), "?");
    }
    return vexa::dds::RETCODE_ERROR;
}

bool Publisher::waitForWriterResources(unsigned long ms) {
    std::unique_lock<CoreMutex> lock(gateMutex_);
    ++gateWaiters_;
    uint64_t const seen = gateGeneration_;
    auto const signalled = [this, seen] { return gateGeneration_ != seen; };
    bool woken = true;
    if (ms == 0) {
        gateCondition_.wait(lock, signalled);
    } else {
        // One deadline, kept across wake-ups.
        woken = gateCondition_.wait_until(
            lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms), signalled);
    }
    --gateWaiters_;
    return woken;
}

uint64_t Publisher::enterWriterResourcesWait() {
    std::lock_guard<CoreMutex> lock(gateMutex_);
    ++gateWaiters_;
    return gateGeneration_;
}

bool Publisher::waitForWriterResources(uint64_t seen, std::chrono::steady_clock::time_point until) {
    std::unique_lock<CoreMutex> lock(gateMutex_);
    return gateCondition_.wait_until(lock, until, [this, seen] { return gateGeneration_ != seen; });
}

void Publisher::leaveWriterResourcesWait() {
    std::lock_guard<CoreMutex> lock(gateMutex_);
    --gateWaiters_;
}

void Publisher::signalForWriterResources() {
    // Waiters enter under the publisher mutex, which every signaller holds: none is missed.
    if (gateWaiters_.load() == 0) {
        return;
    }
    std::lock_guard<CoreMutex> lock(gateMutex_);
    ++gateGeneration_;
    gateCondition_.notify_all();
}

template <class Stopping>
ReturnCode_t Publisher::checkDelivery(RTPS::Participant* rtps, std::vector<RTPS::Writer*>& writers,
                                      vexa::dds::Duration_t const& maxWait, Stopping stopping) {
    using Clock = std::chrono::steady_clock;
    bool const infinite = maxWait == vexa::dds::DURATION_INFINITE;
    Clock::time_point deadline = Clock::now();
    if (!infinite && maxWait.sec >= 0) {
        deadline += std::chrono::seconds(maxWait.sec) + std::chrono::nanoseconds(maxWait.nanosec);
    }
    auto& log = vexalog::Logger::getLogger();
    for (;;) {
        Clock::duration slice = DELIVERY_SLICE;
        if (!infinite) {
            slice = std::max(Clock::duration::zero(), std::min(slice, deadline - Clock::now()));
        }
        auto const ns = std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count();
        vexa::dds::Duration_t const d{static_cast<int32_t>(ns / 1000000000),
                                      static_cast<uint32_t>(ns % 1000000000)};
        try {
            if (rtps->checkDelivery(writers, d) != 0) {
                return vexa::dds::RETCODE_OK;
            }
        } catch (RTPS::BAD_PARAMETERS const& e) {
            log.logMessage(MODULE_ACK, 3, vexares::DCPS_MSG_ACK_WAIT_FAILED, e.what());
            return vexa::dds::RETCODE_BAD_PARAMETER;
        } catch (std::exception const& e) {
            log.logMessage(MODULE_ACK, 2, vexares::DCPS_MSG_ACK_WAIT_FAILED, e.what());
            return vexa::dds::RETCODE_ERROR;
        } catch (...) {
            log.logMessage(MODULE_ACK, 2, vexares::DCPS_MSG_ACK_WAIT_FAILED, "?");
            return vexa::dds::RETCODE_ERROR;
        }
        if (stopping()) {
            return vexa::dds::RETCODE_ALREADY_DELETED;
        }
        if (!infinite && Clock::now() >= deadline) {
            return vexa::dds::RETCODE_TIMEOUT;
        }
    }
}

ReturnCode_t Publisher::waitForWriterAcknowledgements(vexa::dds::Duration_t const& maxWait,
                                                      Writer* writer) {
    requireOwn(writer, MODULE_ACK);
    BothLocks locks(participant_->getMutex(), mutex_);
    if (!isEnabled() || !writer->isEnabled() || writer->getRTPS() == nullptr) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    if (writer->qos().reliability.kind != vexa::dds::RELIABLE_RELIABILITY_QOS) {
        return vexa::dds::RETCODE_OK;
    }
    if (!participant_->beginEngineCall()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    writer->engineCalls().begin();
    std::vector<RTPS::Writer*> list{writer->getRTPS()};
    RTPS::Participant* rtps = participant_->getRTPS();
    locks.unlock();
    ReturnCode_t const rc =
        checkDelivery(rtps, list, maxWait, [writer] { return writer->isDetaching(); });
    writer->engineCalls().end();
    participant_->endEngineCall();
    return rc;
}

ReturnCode_t Publisher::waitForAcknowledgements(vexa::dds::Duration_t const& maxWait) {
    BothLocks locks(participant_->getMutex(), mutex_);
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    std::vector<Writer*> waiting;
    std::vector<RTPS::Writer*> list;
    for (Writer* w : writers_) {
        if (w != nullptr && w->isEnabled() && w->getRTPS() != nullptr &&
            w->qos().reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS) {
            waiting.push_back(w);
            list.push_back(w->getRTPS());
        }
    }
    if (list.empty() || !participant_->beginEngineCall()) {
        return vexa::dds::RETCODE_OK;
    }
    for (Writer* w : waiting) {
        w->engineCalls().begin();
    }
    RTPS::Participant* rtps = participant_->getRTPS();
    locks.unlock();
    ReturnCode_t const rc = checkDelivery(rtps, list, maxWait, [this, &waiting] {
        return isMarked() || std::any_of(waiting.begin(), waiting.end(),
                                         [](Writer* w) { return w->isDetaching(); });
    });
    for (Writer* w : waiting) {
        w->engineCalls().end();
    }
    participant_->endEngineCall();
    return rc;
}

void Publisher::periodicStatusCheckAndNotify(api::DPEventForwarder* listener,
                                             vexa::dds::StatusMask mask) {
    ListenerCalls::Batch batch;
    {
        std::lock_guard<CoreRecursiveMutex> lock(participant_->getMutex());
        participant_->listenerCalls().open(batch);
        periodicStatusCheckAndNotify(listener, mask, batch);
    }
    participant_->listenerCalls().run(batch);
}

void Publisher::periodicStatusCheckAndNotify(api::DPEventForwarder* listener,
                                             vexa::dds::StatusMask mask,
                                             ListenerCalls::Batch& batch) {
    // Read before the publisher mutex: the participant's comes first.
    vexa::dds::Time_t const assertion = participant_->getLivelinessAssertionTime();
    // The data-handling thread holds the participant mutex here; no thread keeps the
    // publisher's while it waits.
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Writer* w : writers_) {
        if (w == nullptr || w->isMarked() || !w->isEnabled()) {
            continue;
        }
        w->deleteOutdatedSamplesDueLifespan();
        w->checkLiveliness(assertion);
        w->checkDeadline();
        w->callPlainStatusListeners(listener, mask, batch);
        w->signalConditions();
    }
}

void Publisher::notifyStatus(api::DPEventForwarder* listener, vexa::dds::StatusMask mask,
                             ListenerCalls::Batch& batch) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    for (Writer* w : writers_) {
        if (w != nullptr && !w->isMarked() && w->isEnabled()) {
            w->callPlainStatusListeners(listener, mask, batch);
            w->signalConditions();
        }
    }
}

}  // namespace vexa::dcps
