// The built-in subscriber: its readers, the path of a discovery sample, remote participants,
// topics, writers and readers, and the collection of remote records.
#include "dcps/subscriber/SubscriberBuiltin.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <mutex>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/entity/EndpointGate.h"
#include "dcps/entity/EntityId.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/DPFactory.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;
using Joint = JointLock<CoreRecursiveMutex, CoreRecursiveMutex>;

namespace {

char const MODULE_PARTICIPANT[] = "DCPS::SubscriberBuiltin::handleDCPSParticipantReader";
char const MODULE_TOPIC[] = "DCPS::SubscriberBuiltin::handleDCPSTopicReader";
char const MODULE_PUBLICATION[] = "DCPS::SubscriberBuiltin::handleDCPSPublicationReader";
char const MODULE_SUBSCRIPTION[] = "DCPS::SubscriberBuiltin::handleDCPSSubscriptionReader";

constexpr uint32_t FIRST_BUILTIN_TOPIC = 0x300000FCu;
constexpr uint32_t FIRST_BUILTIN_READER = 0x080000FCu;
constexpr uint32_t REMOTE_ID_MASK = 0xFFFFFFu;
constexpr int32_t LOST_KEPT_SEC = 300;

char const* const NAMES[SubscriberBuiltin::ENTRIES] = {
    vexa::dds::DCPS_PARTICIPANT_TOPIC_NAME, vexa::dds::DCPS_TOPIC_TOPIC_NAME,
    vexa::dds::DCPS_PUBLICATION_TOPIC_NAME, vexa::dds::DCPS_SUBSCRIPTION_TOPIC_NAME};

bool removal(RTPS::SampleInfo const& s) {
    return (s.statusFlags & 6u) != 0;
}

bool unset(vexa::dds::Time_t const& t) {
    return t.sec == 0 && t.nanosec == 0;
}

}  // namespace

SubscriberBuiltin::SubscriberBuiltin(DomainParticipant* participant, DPFactory* factory)
    : Subscriber(participant, static_cast<int32_t>(entity_id::BUILTIN_SUBSCRIBER),
                 vexa::dds::predefBuiltinSubscriberQos(), true),
      dp_(participant) {
    remotes_.max_load_factor(1.0f);
    vexa::dds::TopicQos topicQos;
    participant->getDefaultTopicQos(topicQos);
    Handler const handlers[ENTRIES] = {&SubscriberBuiltin::handleDCPSParticipantReader,
                                       &SubscriberBuiltin::handleDCPSTopicReader,
                                       &SubscriberBuiltin::handleDCPSPublicationReader,
                                       &SubscriberBuiltin::handleDCPSSubscriptionReader};
    RTPS::Participant* rtps = participant->getRTPS();
    for (unsigned i = 0; i < ENTRIES; ++i) {
        BuiltinTopicCB& e = entries_[i];
        e.type = factory != nullptr ? factory->getBuiltinTypeSupport(NAMES[i]) : nullptr;
        e.handler = handlers[i];
        if (rtps != nullptr) {
            RTPS::Reader* const engines[ENTRIES] = {
                rtps->getDCPSParticipantReader(), rtps->getDCPSTopicReader(),
                rtps->getDCPSPublicationReader(), rtps->getDCPSSubscriptionReader()};
            e.engine = e.source = engines[i];
        }
        if (e.type == nullptr || e.type->factory_ == nullptr) {
            continue;  // no API bound: discovery still works, the application sees nothing
        }
        e.topic = new Topic(participant, e.type, NAMES[i],
                            static_cast<int32_t>(FIRST_BUILTIN_TOPIC + i), &topicQos);
        e.reader = new Reader(this, e.topic, static_cast<int32_t>(FIRST_BUILTIN_READER + i),
                              vexa::dds::predefBuiltinReaderQos());
        e.reader->InitResources(e.type->factory_);
        if (e.engine != nullptr) {
            e.reader->setEngine(e.engine);
        }
    }
}

SubscriberBuiltin::~SubscriberBuiltin() {
    // Queued entries name the built-in readers: they leave before the readers go.
    dropQueued();
    for (BuiltinTopicCB& e : entries_) {
        delete e.reader;
        delete e.topic;
        e.reader = nullptr;
        e.topic = nullptr;
    }
}

void SubscriberBuiltin::closedByApi() {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    setListener(nullptr, 0);
}

ReturnCode_t SubscriberBuiltin::setQoS(vexa::dds::SubscriberQos const&) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

ReturnCode_t SubscriberBuiltin::setDefaultDRQoS(vexa::dds::DataReaderQos const&) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

Reader* SubscriberBuiltin::createDR(Topic*, vexa::dds::DataReaderQos const*, api::DREventForwarder*,
                                    uint32_t) {
    return nullptr;
}

ReturnCode_t SubscriberBuiltin::deleteDR(api::DataReaderImpl*) {
    return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
}

bool SubscriberBuiltin::isOurs(Reader const* reader) const {
    for (BuiltinTopicCB const& e : entries_) {
        if (reader != nullptr && e.reader == reader) {
            return true;
        }
    }
    return false;
}

bool SubscriberBuiltin::closeDRByApi(Reader*) {
    return false;
}

ReturnCode_t SubscriberBuiltin::setReaderQoS(vexa::dds::DataReaderQos const&, Reader*) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

api::DataReaderImpl* SubscriberBuiltin::lookupDR(std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    for (BuiltinTopicCB& e : entries_) {
        if (e.reader != nullptr && topicName == NAMES[&e - entries_]) {
            e.reader->enable();
            return e.reader->getBridge();
        }
    }
    return nullptr;
}

ReturnCode_t SubscriberBuiltin::getDataReaders(std::vector<api::DataReaderImpl*>& out,
                                               uint32_t sampleMask, uint32_t viewMask,
                                               uint32_t instanceMask) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    out.clear();
    out.reserve(ENTRIES);
    for (BuiltinTopicCB const& e : entries_) {
        if (e.reader != nullptr && e.reader->hasSamples(sampleMask, viewMask, instanceMask)) {
            out.push_back(e.reader->getBridge());
        }
    }
    return vexa::dds::RETCODE_OK;
}

void SubscriberBuiltin::notifyUser(api::DPEventForwarder* listener, uint32_t mask,
                                   ListenerCalls::Batch& batch) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    if ((get_status_changes() & vexa::dds::DATA_ON_READERS_STATUS) != 0) {
        bool called = false;
        for (BuiltinTopicCB const& e : entries_) {
            if (e.reader != nullptr && e.reader->isEnabled() &&
                e.reader->callDataAvailableListener(batch)) {
                called = true;
            }
        }
        if (called) {
            reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
        }
    }
    getStatusCondition().signal();
    for (BuiltinTopicCB const& e : entries_) {
        if (e.reader != nullptr && e.reader->isEnabled()) {
            e.reader->callPlainStatusListeners(listener, mask, batch);
            e.reader->signalConditions();
        }
    }
}

bool SubscriberBuiltin::ddsisampleHandler(RTPS::Reader* engine, RTPS::SampleInfo* sample) {
    assert(engine != nullptr && sample != nullptr && "pReader && si");
    if (engine == nullptr || sample == nullptr) {
        return false;
    }
    for (BuiltinTopicCB& e : entries_) {
        if (e.source != engine) {
            continue;
        }
        // A record that cannot be one reaches nobody, the application's reader included.
        if (!(this->*e.handler)(sample)) {
            return false;
        }
        dp_->getCommunicationObject()->statusChanged();
        if (e.reader != nullptr && e.reader->isEnabled() && e.reader->getRTPS() != nullptr) {
            return Subscriber::ddsisampleHandler(e.reader, sample);
        }
        return false;
    }
    return false;
}

RemoteDP& SubscriberBuiltin::findOrCreate(unsigned const* guidPrefix) {
    BuiltinTopicKey key{{guidPrefix[0], guidPrefix[1], guidPrefix[2]}};
    RemoteDP& r = remotes_[key];
    std::copy(guidPrefix, guidPrefix + 3, r.prefix);
    return r;
}

RemoteDP* SubscriberBuiltin::beginSample(unsigned entry, RTPS::SampleInfo* handle,
                                         RTPS::SampleInfo& out, unsigned& entityId, size_t size,
                                         char const* module, unsigned removedMsg, bool& malformed) {
    malformed = false;
    RTPS::Reader* engine = entries_[entry].engine;
    if (engine == nullptr) {
        return nullptr;
    }
    unsigned prefix[3] = {0, 0, 0};
    if (!dp_->getCommunicationObject()->readMsg(engine, handle, prefix, entityId, out,
                                                handle->sequenceNumber)) {
        return nullptr;
    }
    auto& log = vexalog::Logger::getLogger();
    // Network input: a record that cannot be one is dropped, never trusted.
    if (out.data == nullptr || out.length != size) {
        log.logMessage(module, 3, vexares::DCPS_MSG_BUILTIN_SAMPLE_MALFORMED, NAMES[entry]);
        malformed = true;
        return nullptr;
    }
    RemoteDP& r = findOrCreate(prefix);
    if ((r.flags & RemoteDP::REMOVED) != 0) {
        if (removedMsg != 0) {
            log.logMessage(module, 3, removedMsg, prefix[0], prefix[1], prefix[2]);
        }
        return nullptr;
    }
    r.flags &= ~RemoteDP::LOST;
    if (unset(r.activity)) {
        r.activity = getTimeService().now();
    }
    return &r;
}

bool SubscriberBuiltin::handleDCPSParticipantReader(RTPS::SampleInfo* handle) {
    // The participant mutex stays held after this one is released for the calls out.
    std::lock_guard<CoreRecursiveMutex> participant(dp_->getMutex());
    std::unique_lock<CoreRecursiveMutex> lock(getMutex());
    RTPS::SampleInfo s{};
    unsigned entityId = 0;
    bool malformed = false;
    RemoteDP* r = beginSample(PARTICIPANT, handle, s, entityId,
                              sizeof(vexa::dds::ParticipantBuiltinTopicData), MODULE_PARTICIPANT, 0,
                              malformed);
    if (r == nullptr || !removal(s)) {
        return !malformed;
    }
    r->flags |= RemoteDP::REMOVED;
    std::vector<WriterReaders> lostWriters;
    std::vector<LostDR> lostReaders;
    takeWriters(*r, lostWriters, false);
    takeReaders(*r, lostReaders, false);
    uint32_t const prefix[3] = {r->prefix[0], r->prefix[1], r->prefix[2]};
    lock.unlock();
    looseWriters(prefix, lostWriters);
    looseReaders(lostReaders);
    return true;
}

void SubscriberBuiltin::takeWriters(RemoteDP& r, std::vector<WriterReaders>& out, bool lapsed) {
    for (auto& w : r.writers) {
        if (!w.second->handled) {
            w.second->handled = true;
            w.second->lapsed = lapsed;
            out.push_back(WriterReaders{w.first, {}});
            out.back().readers.swap(w.second->readers);
        }
    }
}

void SubscriberBuiltin::looseWriters(uint32_t const (&prefix)[3],
                                     std::vector<WriterReaders> const& lost) {
    for (WriterReaders const& w : lost) {
        for (Reader* reader : w.readers) {
            reader->getSubscriber()->looseDW(reader, prefix, w.entityId);
        }
    }
}

bool SubscriberBuiltin::handleDCPSTopicReader(RTPS::SampleInfo* handle) {
    auto& log = vexalog::Logger::getLogger();
    Joint lock(dp_->getMutex(), getMutex());
    RTPS::SampleInfo s{};
    unsigned entityId = 0;
    bool malformed = false;
    RemoteDP* r =
        beginSample(TOPIC, handle, s, entityId, sizeof(vexa::dds::TopicBuiltinTopicData),
                    MODULE_TOPIC, vexares::DCPS_MSG_REMOTE_PUBLISHER_OF_REMOVED, malformed);
    if (r == nullptr) {
        return !malformed;
    }
    auto const& data = *static_cast<vexa::dds::TopicBuiltinTopicData const*>(s.data);
    if (data.name.empty()) {
        log.logMessage(MODULE_TOPIC, 3, vexares::DCPS_MSG_BUILTIN_SAMPLE_MALFORMED, NAMES[TOPIC]);
        return false;
    }
    RemoteTopic& t = r->topics[data.name];
    char const* name = data.name.c_str();
    if ((t.flags & RemoteTopic::REMOVED) != 0) {
        log.logMessage(MODULE_TOPIC, 3, vexares::DCPS_MSG_REMOTE_WRITER_HANDLED, name);
        return true;
    }
    if (removal(s)) {
        log.logMessage(MODULE_TOPIC, 4, vexares::DCPS_MSG_REMOTE_WRITER_REMOVED, name);
        t.flags |= RemoteTopic::REMOVED;
        dp_->looseRemoteTopic(t.data);
        return true;
    }
    bool const known = t.stored;
    t.data = data;
    t.stored = true;
    log.logMessage(
        MODULE_TOPIC, 4,
        known ? vexares::DCPS_MSG_REMOTE_WRITER_CHANGED : vexares::DCPS_MSG_REMOTE_WRITER_NEW,
        name);
    vexa::dds::TopicBuiltinTopicData const copy = t.data;
    if (known) {
        dp_->changeRemoteTopicQoS(copy);
    } else {
        dp_->discoverRemoteTopic(copy);
    }
    return true;
}

bool SubscriberBuiltin::handleDCPSPublicationReader(RTPS::SampleInfo* handle) {
    auto& log = vexalog::Logger::getLogger();
    // The participant mutex stays held after this one is released for the calls out.
    std::lock_guard<CoreRecursiveMutex> participant(dp_->getMutex());
    std::unique_lock<CoreRecursiveMutex> lock(getMutex());
    RTPS::SampleInfo s{};
    unsigned entityId = 0;
    bool malformed = false;
    RemoteDP* r = beginSample(PUBLICATION, handle, s, entityId,
                              sizeof(vexa::dds::PublicationBuiltinTopicData), MODULE_PUBLICATION,
                              vexares::DCPS_MSG_REMOTE_PUBLISHER_OF_REMOVED, malformed);
    if (r == nullptr) {
        return !malformed;
    }
    auto const& data = *static_cast<vexa::dds::PublicationBuiltinTopicData const*>(s.data);
    char const* name = data.topic_name.c_str();
    uint32_t const prefix[3] = {r->prefix[0], r->prefix[1], r->prefix[2]};
    std::unique_ptr<RemoteDW>& slot = r->writers[entityId];
    bool const fresh = !slot;
    if (fresh) {
        slot = std::make_unique<RemoteDW>();
    }
    RemoteDW& w = *slot;
    // Lost with its participant's lease and announced again: matched again, under its id.
    bool const revived = w.handled && w.lapsed && !removal(s);
    if (revived) {
        w.handled = false;
        w.lapsed = false;
    }
    if (w.handled) {
        log.logMessage(MODULE_PUBLICATION, 3, vexares::DCPS_MSG_REMOTE_WRITER_HANDLED, name);
        return true;
    }
    w.lastSample = getTimeService().now();
    if (removal(s)) {
        log.logMessage(MODULE_PUBLICATION, 4, vexares::DCPS_MSG_REMOTE_WRITER_REMOVED,
                       w.data.topic_name.c_str());
        w.handled = true;
        std::vector<WriterReaders> lost{WriterReaders{entityId, {}}};
        lost.front().readers.swap(w.readers);
        lock.unlock();
        looseWriters(prefix, lost);
        return true;
    }
    if (w.id == 0 || revived) {
        uint32_t const id = w.id != 0 ? w.id : getNewRemotePubID();
        if (id == 0) {
            log.logMessage(MODULE_PUBLICATION, 3, vexares::DCPS_MSG_REMOTE_NO_ID, name);
            r->writers.erase(entityId);
            return true;
        }
        w.id = id;
        w.data = data;
        w.participant = r;
        log.logMessage(MODULE_PUBLICATION, 4, vexares::DCPS_MSG_REMOTE_WRITER_NEW, name);
        matchNewWriter(w, prefix, entityId, lock);
        return true;
    }
    log.logMessage(MODULE_PUBLICATION, 4, vexares::DCPS_MSG_REMOTE_WRITER_CHANGED, name);
    bool const passOn = w.data.deadline.period != data.deadline.period ||
                        w.data.latency_budget.duration != data.latency_budget.duration ||
                        w.data.lifespan.duration != data.lifespan.duration ||
                        w.data.ownership_strength.value != data.ownership_strength.value;
    w.data.user_data = data.user_data;
    w.data.partition = data.partition;
    w.data.lifespan = data.lifespan;
    w.data.ownership_strength = data.ownership_strength;
    w.data.deadline = data.deadline;
    w.data.latency_budget = data.latency_budget;
    if (passOn) {
        std::vector<Reader*> const readers = w.readers;
        vexa::dds::PublicationBuiltinTopicData const changed = w.data;
        lock.unlock();
        for (Reader* reader : readers) {
            reader->getSubscriber()->changeDWQoS(reader, prefix, entityId, changed.deadline,
                                                 changed.latency_budget, changed.lifespan,
                                                 changed.ownership_strength);
        }
    }
    return true;
}

void SubscriberBuiltin::matchNewWriter(RemoteDW& w, uint32_t const (&prefix)[3], unsigned entityId,
                                       std::unique_lock<CoreRecursiveMutex>& lock) {
    // The readers' subscribers are locked without this mutex: their own paths to it (a new
    // reader, a QoS re-check, a sample of an unknown writer) come from under theirs. The record
    // stays where it is meanwhile: only holders of the participant mutex change the tables.
    vexa::dds::PublicationBuiltinTopicData const data = w.data;
    std::vector<Reader*> accepted;
    lock.unlock();
    dp_->discoverRemoteDW(&w, prefix, entityId, data, accepted);
    lock.lock();
    for (Reader* reader : accepted) {
        if (std::find(w.readers.begin(), w.readers.end(), reader) == w.readers.end()) {
            w.readers.push_back(reader);
        }
    }
}

void SubscriberBuiltin::discoverDWforNewReader(Reader* reader, std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    for (auto& entry : remotes_) {
        RemoteDP& r = entry.second;
        if ((r.flags & RemoteDP::REMOVED) != 0) {
            continue;
        }
        for (auto& w : r.writers) {
            RemoteDW& rdw = *w.second;
            if (rdw.handled || rdw.id == 0 || rdw.data.topic_name != topicName) {
                continue;
            }
            if (reader->discoverDW(&rdw, r.prefix, w.first, rdw.data) &&
                std::find(rdw.readers.begin(), rdw.readers.end(), reader) == rdw.readers.end()) {
                rdw.readers.push_back(reader);
            }
        }
    }
}

bool SubscriberBuiltin::handleDCPSSubscriptionReader(RTPS::SampleInfo* handle) {
    auto& log = vexalog::Logger::getLogger();
    // Held across the calls into the writers, which run without this subscriber's mutex.
    std::lock_guard<CoreRecursiveMutex> participant(dp_->getMutex());
    RemoteDR* fresh = nullptr;
    std::vector<LostDR> lost;
    std::vector<Writer*> changed;
    unsigned prefix[3] = {0, 0, 0};
    unsigned entityId = 0;
    vexa::dds::SubscriptionBuiltinTopicData data;
    {
        Joint lock(dp_->getMutex(), getMutex());
        RTPS::SampleInfo s{};
        bool malformed = false;
        RemoteDP* r = beginSample(
            SUBSCRIPTION, handle, s, entityId, sizeof(vexa::dds::SubscriptionBuiltinTopicData),
            MODULE_SUBSCRIPTION, vexares::DCPS_MSG_REMOTE_SUBSCRIBER_OF_REMOVED, malformed);
        if (r == nullptr) {
            return !malformed;
        }
        std::copy(r->prefix, r->prefix + 3, prefix);
        data = *static_cast<vexa::dds::SubscriptionBuiltinTopicData const*>(s.data);
        char const* name = data.topic_name.c_str();
        std::unique_ptr<RemoteDR>& slot = r->readers[entityId];
        if (!slot) {
            slot = std::make_unique<RemoteDR>();
        }
        RemoteDR& d = *slot;
        bool const revived = d.handled && d.lapsed && !removal(s);
        if (revived) {
            d.handled = false;
            d.lapsed = false;
        }
        if (d.handled) {
            log.logMessage(MODULE_SUBSCRIPTION, 3, vexares::DCPS_MSG_REMOTE_READER_HANDLED, name);
            return true;
        }
        d.lastSample = getTimeService().now();
        if (removal(s)) {
            log.logMessage(MODULE_SUBSCRIPTION, 4, vexares::DCPS_MSG_REMOTE_READER_REMOVED,
                           d.data.topic_name.c_str());
            d.handled = true;
            lost.push_back({{prefix[0], prefix[1], prefix[2]}, entityId, std::move(d.writers)});
            d.writers.clear();
        } else if (d.id == 0 || revived) {
            uint32_t const id = d.id != 0 ? d.id : getNewRemoteSubID();
            if (id == 0) {
                log.logMessage(MODULE_SUBSCRIPTION, 3, vexares::DCPS_MSG_REMOTE_NO_ID, name);
                r->readers.erase(entityId);
                return true;
            }
            d.id = id;
            d.data = data;
            d.participant = r;
            log.logMessage(MODULE_SUBSCRIPTION, 4, vexares::DCPS_MSG_REMOTE_READER_NEW, name);
            fresh = &d;
        } else {
            log.logMessage(MODULE_SUBSCRIPTION, 4, vexares::DCPS_MSG_REMOTE_READER_CHANGED, name);
            // Only the requested deadline and latency budget can change a match; a partition
            // or user data change is only stored.
            if (d.data.deadline != data.deadline || d.data.latency_budget != data.latency_budget) {
                changed = d.writers;
            }
            d.data.user_data = data.user_data;
            d.data.partition = data.partition;
            d.data.deadline = data.deadline;
            d.data.latency_budget = data.latency_budget;
        }
    }
    looseReaders(lost);
    for (Writer* w : changed) {
        w->getPublisher()->changeDRQoS(w, prefix, entityId, data.deadline, data.latency_budget);
    }
    if (fresh != nullptr) {
        // The record stays: only the collector erases records, and it needs the participant
        // mutex held here.
        std::vector<Writer*> accepted;
        dp_->discoverRemoteDR(fresh, prefix, entityId, data, accepted);
        std::lock_guard<CoreRecursiveMutex> lock(getMutex());
        for (Writer* w : accepted) {
            if (std::find(fresh->writers.begin(), fresh->writers.end(), w) ==
                fresh->writers.end()) {
                fresh->writers.push_back(w);
            }
        }
    }
    return true;
}

void SubscriberBuiltin::takeReaders(RemoteDP& r, std::vector<LostDR>& out, bool lapsed) {
    for (auto& entry : r.readers) {
        RemoteDR& d = *entry.second;
        if (d.handled) {
            continue;
        }
        d.handled = true;
        d.lapsed = lapsed;
        out.push_back({{r.prefix[0], r.prefix[1], r.prefix[2]}, entry.first, std::move(d.writers)});
        d.writers.clear();
    }
}

void SubscriberBuiltin::looseReaders(std::vector<LostDR> const& lost) {
    for (LostDR const& d : lost) {
        for (Writer* w : d.writers) {
            w->getPublisher()->looseDR(w, d.prefix, d.entityId);
        }
    }
}

void SubscriberBuiltin::discoverDRforNewWriter(Writer* writer, std::string const& topicName) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    for (auto& entry : remotes_) {
        RemoteDP& r = entry.second;
        if ((r.flags & RemoteDP::REMOVED) != 0) {
            continue;
        }
        for (auto& rd : r.readers) {
            RemoteDR& d = *rd.second;
            // A handled reader is lost already: a match would outlive its record.
            if (d.handled || d.id == 0 || d.data.topic_name != topicName) {
                continue;
            }
            if (writer->discoverDR(&d, r.prefix, rd.first, d.data) != 0) {
                d.writers.push_back(writer);
            }
        }
    }
}

void SubscriberBuiltin::assertLiveliness(unsigned const* guidPrefix, bool manual) {
    std::vector<WriterReaders> writers;
    vexa::dds::Time_t t;
    {
        std::lock_guard<CoreRecursiveMutex> lock(getMutex());
        RemoteDP& r = findOrCreate(guidPrefix);
        t = getTimeService().now();
        if (manual) {
            r.writerLiveliness = t;
        } else {
            r.activity = t;
        }
        for (auto& w : r.writers) {
            if (!w.second->readers.empty()) {
                writers.push_back(WriterReaders{w.first, w.second->readers});
            }
        }
    }
    // The caller holds the participant mutex; the readers' subscribers lock on their own.
    for (WriterReaders const& w : writers) {
        for (Reader* reader : w.readers) {
            reader->getSubscriber()->assertLiveliness(reader, guidPrefix, w.entityId, t, manual);
        }
    }
}

void SubscriberBuiltin::participantLostByRTPS(unsigned const* guidPrefix) {
    uint32_t const prefix[3] = {guidPrefix[0], guidPrefix[1], guidPrefix[2]};
    std::vector<WriterReaders> lostWriters;
    std::vector<LostDR> lostReaders;
    {
        std::lock_guard<CoreRecursiveMutex> lock(getMutex());
        auto it = remotes_.find(BuiltinTopicKey{{prefix[0], prefix[1], prefix[2]}});
        if (it == remotes_.end() || (it->second.flags & RemoteDP::REMOVED) != 0) {
            return;
        }
        RemoteDP& r = it->second;
        r.flags |= RemoteDP::LOST;
        r.activity = getTimeService().now();
        // The engine forgets the participant's endpoints with its lease: a match kept here
        // would promise deliveries that no longer happen.
        takeWriters(r, lostWriters, true);
        takeReaders(r, lostReaders, true);
    }
    looseWriters(prefix, lostWriters);
    looseReaders(lostReaders);
    if (!lostWriters.empty() || !lostReaders.empty()) {
        dp_->getCommunicationObject()->statusChanged();
    }
}

void SubscriberBuiltin::collectGarbage() {
    // The participant mutex stays held after this one is released for the calls out.
    std::lock_guard<CoreRecursiveMutex> participant(dp_->getMutex());
    std::unique_lock<CoreRecursiveMutex> lock(getMutex());
    for (BuiltinTopicCB& e : entries_) {
        if (e.reader != nullptr) {
            e.reader->collectGarbage();
        }
    }
    for (auto it = remotes_.begin(); it != remotes_.end();) {
        RemoteDP& r = it->second;
        if ((r.flags & RemoteDP::REMOVED) != 0) {
            it = remotes_.erase(it);
            continue;
        }
        for (auto w = r.writers.begin(); w != r.writers.end();) {
            w = w->second->handled ? r.writers.erase(w) : std::next(w);
        }
        for (auto d = r.readers.begin(); d != r.readers.end();) {
            d = d->second->handled ? r.readers.erase(d) : std::next(d);
        }
        ++it;
    }
    int64_t const now = getTimeService().now().sec;
    struct LostParticipant {
        uint32_t prefix[3];
        std::vector<WriterReaders> writers;
    };
    std::vector<LostParticipant> lost;
    std::vector<LostDR> lostReaders;
    for (auto& entry : remotes_) {
        RemoteDP& r = entry.second;
        if ((r.flags & RemoteDP::LOST) != 0 &&
            static_cast<int64_t>(r.activity.sec) + LOST_KEPT_SEC < now) {
            r.flags |= RemoteDP::REMOVED;
            lost.push_back(LostParticipant{{r.prefix[0], r.prefix[1], r.prefix[2]}, {}});
            takeWriters(r, lost.back().writers, false);
            takeReaders(r, lostReaders, false);
        }
    }
    lock.unlock();
    for (LostParticipant const& p : lost) {
        looseWriters(p.prefix, p.writers);
    }
    looseReaders(lostReaders);
}

void SubscriberBuiltin::closeRTPS() {
    std::vector<RTPS::Reader*> engines;
    {
        std::lock_guard<CoreRecursiveMutex> lock(getMutex());
        for (BuiltinTopicCB& e : entries_) {
            if (e.reader != nullptr) {
                e.reader->closedByApi();
                if (e.reader->gate()) {
                    e.reader->gate()->release(false);
                }
            }
            if (e.engine != nullptr) {
                engines.push_back(e.engine);
            }
            e.engine = nullptr;
        }
    }
    // No engine call under this mutex; the handlers see no engine reader any more.
    for (RTPS::Reader* engine : engines) {
        try {
            engine->close();
        } catch (std::exception const&) {
            // The engine participant goes next and takes its readers with it.
        }
    }
}

int32_t SubscriberBuiltin::countInconsistentRemoteTopics(Topic const& topic) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    int32_t n = 0;
    for (auto const& entry : remotes_) {
        if ((entry.second.flags & RemoteDP::REMOVED) != 0) {
            continue;
        }
        auto t = entry.second.topics.find(topic.getName());
        if (t != entry.second.topics.end() && t->second.stored &&
            (t->second.flags & RemoteTopic::REMOVED) == 0 && !topic.isConsistent(t->second.data)) {
            ++n;
        }
    }
    return n;
}

bool SubscriberBuiltin::getRemotePublisherTopicData(RemoteDW const* rdw,
                                                    vexa::dds::PublicationBuiltinTopicData& out) {
    assert(rdw != nullptr && "rdw");
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    out = rdw->data;
    return true;
}

bool SubscriberBuiltin::getRemoteSubscriberTopicData(RemoteDR const* rdr,
                                                     vexa::dds::SubscriptionBuiltinTopicData& out) {
    assert(rdr != nullptr && "rdr");
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    out = rdr->data;
    return true;
}

void SubscriberBuiltin::freeRemotePublisherByReader(RemoteDW* rdw, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    // A reader marked for deletion missed the loss of its writers, whose records may be
    // collected by now: only a record still in the tables is touched.
    bool known = false;
    for (auto const& entry : remotes_) {
        for (auto const& w : entry.second.writers) {
            known = known || w.second.get() == rdw;
        }
    }
    if (!known) {
        return;
    }
    rdw->readers.erase(std::remove(rdw->readers.begin(), rdw->readers.end(), reader),
                       rdw->readers.end());
}

void SubscriberBuiltin::freeRemoteSubscriberByWriter(RemoteDR* rdr, Writer* writer) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    rdr->writers.erase(std::remove(rdr->writers.begin(), rdr->writers.end(), writer),
                       rdr->writers.end());
}

bool SubscriberBuiltin::getRemotePublisher(unsigned const* guidPrefix, unsigned entityId,
                                           Reader* reader, int32_t& id,
                                           vexa::dds::PublicationBuiltinTopicData& out,
                                           RemoteDW*& record) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    auto it = remotes_.find(BuiltinTopicKey{{guidPrefix[0], guidPrefix[1], guidPrefix[2]}});
    if (it == remotes_.end() || (it->second.flags & RemoteDP::REMOVED) != 0) {
        return false;
    }
    auto w = it->second.writers.find(entityId);
    if (w == it->second.writers.end() || w->second->handled || w->second->id == 0) {
        return false;
    }
    RemoteDW& rdw = *w->second;
    if (reader != nullptr &&
        std::find(rdw.readers.begin(), rdw.readers.end(), reader) == rdw.readers.end()) {
        rdw.readers.push_back(reader);
    }
    id = static_cast<int32_t>(rdw.id);
    out = rdw.data;
    record = &rdw;
    return true;
}

uint32_t SubscriberBuiltin::getNewRemotePubID() {
    if ((nextPubId_ & REMOTE_ID_MASK) == REMOTE_ID_MASK) {
        return 0;
    }
    return nextPubId_++;
}

uint32_t SubscriberBuiltin::getNewRemoteSubID() {
    if ((nextSubId_ & REMOTE_ID_MASK) == REMOTE_ID_MASK) {
        return 0;
    }
    return nextSubId_++;
}

RemoteDP const* SubscriberBuiltin::findRemote(unsigned const* guidPrefix) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    auto it = remotes_.find(BuiltinTopicKey{{guidPrefix[0], guidPrefix[1], guidPrefix[2]}});
    return it == remotes_.end() ? nullptr : &it->second;
}

size_t SubscriberBuiltin::remoteParticipants() {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    return remotes_.size();
}

void SubscriberBuiltin::setNextRemoteIds(uint32_t pub, uint32_t sub) {
    std::lock_guard<CoreRecursiveMutex> lock(getMutex());
    nextPubId_ = pub;
    nextSubId_ = sub;
}

}  // namespace vexa::dcps
