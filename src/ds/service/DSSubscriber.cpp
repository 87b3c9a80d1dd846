#include "ds/service/DSSubscriber.h"

#include <cstdarg>
#include <cstring>
#include <exception>
#include <string>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DSRTPSCommunicationObject.h"
#include "ds/service/DSSubscriberBuiltin.h"
#include "ds/service/DSTopic.h"
#include "rtps/history/EndpointConfig.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"

namespace vexa::ds {

namespace {

constexpr size_t READERS_GROWTH = 100;
constexpr size_t INPUT_GROWTH = 1000;
constexpr uint32_t READER_SLOT_MASK = 0xFFFF;

void log(const char* module, int severity, unsigned id, ...) {
    va_list args;
    va_start(args, id);
    vexalog::Logger::getLogger().vlogMessage(module, severity, id, args);
    va_end(args);
}

void keyHalves(const vexa::dds::KeyHash_t& key, unsigned long long& lo, unsigned long long& hi) {
    uint64_t a, b;
    std::memcpy(&a, key.hash, 8);
    std::memcpy(&b, key.hash + 8, 8);
    lo = a;
    hi = b;
}

}  // namespace

DSSubscriber::DSSubscriber(DSDomainParticipant& participant) : m_participant(participant), m_qos() {
    m_readers.reserve(READERS_GROWTH);
    m_readers.emplace_back();  // slot 0: no reader has id 0
    m_input.reserve(INPUT_GROWTH);
    m_work.reserve(INPUT_GROWTH);
}

// Queued handles belong to the engine, which is gone or going; they are only forgotten.
DSSubscriber::~DSSubscriber() = default;

DSSubscriberBuiltin* DSSubscriber::getBuiltinSubscriber() const {
    return m_participant.builtinSubscriber();
}

uint32_t DSSubscriber::getNewReaderID() {
    if ((m_nextReaderId & READER_SLOT_MASK) > MAX_READERS)
        return 0;
    if (m_readers.size() == m_readers.capacity())
        m_readers.reserve(m_readers.size() + READERS_GROWTH);
    m_readers.emplace_back();
    return m_nextReaderId++;
}

DSReader* DSSubscriber::createDR(const DSTopic& t) {
    const vexa::dds::TopicBuiltinTopicData& topic = t.data();
    DSSubscriberBuiltin* builtin = getBuiltinSubscriber();
    std::lock_guard<std::recursive_mutex> domainGuard(m_participant.lock());
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    // One reader per topic: a second one would store every sample twice.
    for (const auto& r : m_readers) {
        if (r && r->topicName() == topic.name)
            return r.get();
    }
    const uint32_t id = getNewReaderID();
    if (id == 0) {
        log("DS::Subscriber::createDR", 3, vexares::DS_MSG_READERS_EXHAUSTED, topic.name.c_str());
        return nullptr;
    }
    auto& slot = m_readers[id & READER_SLOT_MASK];
    slot = std::make_unique<DSReader>(*this, topic, id);
    DSReader* reader = slot.get();
    reader->subscriptionData().participant_key = m_participant.participantData().key;

    std::string failure;
    try {
        if (builtin)
            builtin->discoverDWforNewReader(reader, topic.name);
        RTPS::RTPS_AdditionalTopicData extra{};
        extra.timestamp = now();
        RTPS::Participant* engine = m_participant.rtps();
        RTPS::Reader* engineReader = engine
                                         ? engine->addReader(&reader->subscriptionData(), extra,
                                                             t.hasKey() ? RTPS::TOPIC_KIND_WITH_KEY
                                                                        : RTPS::TOPIC_KIND_NO_KEY,
                                                             reader->maxSamples(), reader)
                                         : nullptr;
        if (engineReader != nullptr) {
            reader->setRtpsReader(engineReader);
            const auto& q = reader->qos();
            log("DS::DSSubscriber::createDR", 6, vexares::DS_MSG_READER_CREATED, topic.name.c_str(),
                int(q.history.depth), int(q.resource_limits.max_instances),
                int(q.resource_limits.max_samples),
                int(q.resource_limits.max_samples_per_instance));
            return reader;
        }
        // A reader the engine did not make never receives a sample.
        failure = "ядро RTPS не создало читателя";
    } catch (const std::exception& e) {
        failure = e.what();
    }
    log("DS::Subscriber::createDR", 2, vexares::DS_MSG_READER_REFUSED, topic.name.c_str(),
        failure.c_str());
    // The bookkeeping may already name the reader as a writer's storing reader.
    if (builtin)
        builtin->forgetReader(reader);
    slot.reset();
    return nullptr;
}

bool DSSubscriber::ddsisampleHandler(DSReader* reader, RTPS::SampleInfo* handle) {
    if (reader == nullptr || handle == nullptr)
        return false;
    std::lock_guard<std::mutex> guard(m_inputLock);
    if (m_participant.comm().isStopped())
        return false;
    if (m_input.size() == m_input.capacity())
        m_input.reserve(m_input.capacity() + INPUT_GROWTH);
    m_input.push_back({handle, reader});
    return true;
}

void DSSubscriber::ddsicashHandler() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_participant.comm().isStopped())
        return;
    // Left over when a previous round was cut short.
    processWork();
    {
        std::lock_guard<std::mutex> inputGuard(m_inputLock);
        if (m_input.empty())
            return;
        // The engine's threads go on appending to the emptied buffer, whose capacity stays.
        m_input.swap(m_work);
    }
    processWork();
}

void DSSubscriber::processWork() {
    if (m_work.empty())
        return;
    DSRTPSCommunicationObject& comm = m_participant.comm();
    // Entries leave the list as they are taken, so a round cut short by a throw goes on with
    // the rest; each is counted off once, whatever the engine answers for it.
    struct Taken {
        std::vector<DDSISample>& work;
        size_t n = 0;
        ~Taken() {
            if (n == work.size())
                work.clear();
            else
                work.erase(work.begin(), work.begin() + std::ptrdiff_t(n));
        }
    } taken{m_work};
    while (taken.n < m_work.size()) {
        const DDSISample e = m_work[taken.n++];
        comm.entryDone();
        RTPS::Reader* engineReader = e.reader->rtpsReader();
        RTPS::SampleInfo sample{};
        unsigned prefix[3] = {};
        unsigned entityId = 0;
        // A change the engine would not give is left to it.
        if (!comm.readMsg(engineReader, e.handle, &prefix, &entityId, sample))
            continue;
        e.reader->ddsisampleHandler(sample, prefix, entityId);
        comm.deleteMsg(engineReader, e.handle);
    }
}

void DSSubscriber::periodicStatusCheck() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (const auto& r : m_readers) {
        if (!r)
            continue;
        r->checkLiveliness();
        r->checkDeadline();
        r->removeOutdatedInstances();
    }
}

void DSSubscriber::collectGarbage() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (const auto& r : m_readers) {
        if (r)
            r->collectGarbage();
    }
}

DSReader* DSSubscriber::discoverDW(const RemoteDW* rdw, const uint32_t prefix[3], uint32_t entityId,
                                   const vexa::dds::PublicationBuiltinTopicData& data) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (const auto& r : m_readers) {
        if (r && r->discoverDW(rdw, prefix, entityId, data))
            return r.get();
    }
    return nullptr;
}

bool DSSubscriber::owns(const DSReader* reader) const {
    if (reader == nullptr)
        return false;
    const size_t slot = reader->getId() & READER_SLOT_MASK;
    return slot < m_readers.size() && m_readers[slot].get() == reader;
}

DSReader* DSSubscriber::getReader(uint32_t id) const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const size_t slot = id & READER_SLOT_MASK;
    if (slot >= m_readers.size() || !m_readers[slot] || m_readers[slot]->getId() != id)
        return nullptr;
    return m_readers[slot].get();
}

void DSSubscriber::getReaders(std::vector<DSReader*>& out) const {
    out.clear();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (const auto& r : m_readers) {
        if (r)
            out.push_back(r.get());
    }
}

void DSSubscriber::changeDWQoS(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                               const vexa::dds::DeadlineQosPolicy& deadline,
                               const vexa::dds::LatencyBudgetQosPolicy& latency,
                               const vexa::dds::LifespanQosPolicy& lifespan,
                               const vexa::dds::OwnershipStrengthQosPolicy& strength) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->changeDWQoS(prefix, entityId, deadline, latency, lifespan, strength);
}

void DSSubscriber::looseDW(DSReader* reader, const uint32_t prefix[3], uint32_t entityId) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->looseDW(prefix, entityId);
}

void DSSubscriber::assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->assertLiveliness(prefix, entityId);
}

void DSSubscriber::assertLiveliness(DSReader* reader, const uint32_t prefix[3], uint32_t entityId,
                                    vexa::dds::Time_t t, bool writerLevel) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->assertLiveliness(prefix, entityId, t, writerLevel);
}

void DSSubscriber::addHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->addHistoryAcceptor(key);
}

void DSSubscriber::removeHistoryAcceptor(DSReader* reader, const vexa::dds::KeyHash_t& key) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (owns(reader))
        reader->removeHistoryAcceptor(key);
}

bool DSSubscriber::hasHistoryWriters(DSReader* reader) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return owns(reader) && reader->hasHistoryWriters();
}

void DSSubscriber::sendHistory(std::vector<vexa::dds::KeyHash_t>& finished) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    RTPS::Participant* engine = m_participant.rtps();
    for (const auto& r : m_readers) {
        if (!r)
            continue;
        bool next = false;
        vexa::dds::KeyHash_t key{};
        for (;;) {
            bool done = false;
            if (!r->fillHistoryAcceptorSamples(next, key, m_history, done))
                break;
            next = true;
            // Nothing new and a foreign writer still alive: the acceptor waits, uncalled.
            if (!done && m_history.empty())
                continue;
            uint32_t prefix[3];
            uint32_t entityId;
            std::memcpy(prefix, key.hash, sizeof prefix);
            std::memcpy(&entityId, key.hash + sizeof prefix, sizeof entityId);
            try {
                if (engine)
                    engine->historicalData(prefix, entityId, m_history);
            } catch (const RTPS::DDSIException& e) {
                log("DS::DSSubscriber::sendHistory", 2, vexares::DS_MSG_PARTICIPANT_REFUSED,
                    e.what());
            }
            unsigned long long lo, hi;
            keyHalves(key, lo, hi);
            log("DS::DSSubscriber::sendHistory", 6, vexares::DS_MSG_HISTORY_SENT, lo, hi,
                r->topicName().c_str(), unsigned(m_history.size()));
            // Reported only after its last call, empty or not.
            if (done)
                finished.push_back(key);
        }
    }
    // The list keeps its capacity for the next round; the stored samples keep their own
    // references.
    m_history.clear();
}

vexa::dds::Time_t DSSubscriber::now() const {
    return m_participant.clock().now();
}

int32_t DSSubscriber::maxSamplesPerReader() const {
    return m_participant.maxSamplesPerReader();
}

DSReaderHost::Lookup DSSubscriber::getRemotePublisher(const uint32_t prefix[3], uint32_t entityId,
                                                      DSReader* reader, Publication& out) {
    DSSubscriberBuiltin* builtin = getBuiltinSubscriber();
    return builtin ? builtin->getRemotePublisher(prefix, entityId, reader, out) : Lookup::Unknown;
}

}  // namespace vexa::ds
