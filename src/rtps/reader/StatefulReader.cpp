#include "rtps/reader/StatefulReader.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/sched/TaskGuidArgs.h"
#include "rtps/wire/NAckFragData.h"

namespace RTPS {

namespace {

// Answers go out ahead of data.
constexpr int ANSWER_PRIORITY = 0x7FFFFFFF;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

struct GuidWords {
    unsigned w[4];
};

GuidWords wordsOf(GUID_t const& guid) {
    GuidWords g;
    std::memcpy(g.w, &guid, sizeof g.w);
    return g;
}

}  // namespace

StatefulReader::StatefulReader(Participant* participant, EndpointConfig const* config,
                               vexa::dds::SubscriptionBuiltinTopicData const* description,
                               void* userData, CommunicationObject* communicationObject,
                               COMMUNICATION_MODE mode, ReassemblyLimits const* limits)
    : ReaderImpl(participant, config, description, userData, communicationObject, mode, limits),
      m_composer(participant->getComposer()),
      m_responseDelayMs(static_cast<uint32_t>(
          std::max<int32_t>(0, participant->getConfig().heartbeatResponseDelay()))) {}

StatefulReader::~StatefulReader() {
    if (m_running.load()) {
        stop();
    }
    std::lock_guard<std::mutex> lock(m_proxiesMutex);
    m_proxies.clear();
}

void StatefulReader::stop() {
    m_running = false;
    stopHistoryLoading();
    m_receiveBusy.waitIdle();
    m_workerBusy.waitIdle();
    m_removalBusy.waitIdle();
    if (m_scheduler != nullptr) {
        m_scheduler->removeTask(static_cast<void*>(this));
    }
    {
        std::lock_guard<std::mutex> lock(m_deliveryMutex);
        m_stopped = true;
        ++m_deliveryGeneration;
    }
    m_deliveryCv.notify_all();
    m_waiters.waitIdle();
}

WriterProxy* StatefulReader::findProxy(GUID_t const& writer) {
    for (auto& p : m_proxies) {
        if (p->getGuid() == writer) {
            return p.get();
        }
    }
    return nullptr;
}

std::unique_ptr<WriterProxy> StatefulReader::makeProxy(GUID_t const& writer,
                                                       Locator_t const* unicast) {
    RTPSOutSocket* socket = nullptr;
    if (unicast != nullptr && m_composer != nullptr) {
        Locator_t locator = *unicast;
        try {
            socket = m_composer->getSocket(locator);
        } catch (DDSIException const&) {
            // The writer's locator came from discovery: without a socket the reader still
            // takes its data, it only cannot answer.
            socket = nullptr;
        }
    }
    return std::make_unique<WriterProxy>(this, writer, socket);
}

bool StatefulReader::matched_writer_add(GUID_t const& writer, Locator_t const* unicast) {
    if (isUserReader()) {
        logger().logMessage("StatefulReader::matched_writer_add", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_MATCHING, m_logName.c_str());
    }
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || writer == GUID_UNKNOWN) {
        return false;
    }
    size_t count = 0;
    RTPSOutSocket* socket = nullptr;
    AckNAckData* acknack = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        if (findProxy(writer) != nullptr) {
            return false;
        }
        m_proxies.push_back(makeProxy(writer, unicast));
        count = m_proxies.size();
        WriterProxy& added = *m_proxies.back();
        socket = added.getSocket();
        if (socket != nullptr && m_composer != nullptr) {
            acknack = added.makePreemptiveAckNack(m_guid);
        }
    }
    if (acknack != nullptr) {
        m_composer->sendAckNAck(socket, acknack, ANSWER_PRIORITY);
    }
    if (isUserReader()) {
        logger().logMessage("StatefulReader::matched_writer_add", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_MATCHED, m_logName.c_str(),
                            unicast != nullptr ? unsigned{unicast->port} : 0u,
                            static_cast<unsigned>(count));
    }
    return true;
}

bool StatefulReader::matchedWriterAdd(WriterProxyInfo const& writer) {
    std::vector<Locator_t> const& list = writer.unicastLocatorList;
    return matched_writer_add(writer.remoteWriterGuid, list.empty() ? nullptr : &list.front());
}

void StatefulReader::matched_writer_remove(GUID_t const& writer) {
    BusyScope busy(m_removalBusy);
    if (!m_running.load()) {
        return;
    }
    std::unique_ptr<WriterProxy> gone;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        for (auto it = m_proxies.begin(); it != m_proxies.end(); ++it) {
            if ((*it)->getGuid() == writer) {
                gone = std::move(*it);
                m_proxies.erase(it);
                break;
            }
        }
    }
    if (gone) {
        gone.reset();
        purgePending(writer);
        reportAllDelivered();
    }
}

bool StatefulReader::matched_writer_lookup(GUID_t const& writer) {
    if (writer == GUID_UNKNOWN || !m_running.load()) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_proxiesMutex);
    return findProxy(writer) != nullptr;
}

size_t StatefulReader::matchedWriterCount() {
    std::lock_guard<std::mutex> lock(m_proxiesMutex);
    return m_proxies.size();
}

bool StatefulReader::writerDelivered(GUID_t const& writer) {
    std::lock_guard<std::mutex> lock(m_proxiesMutex);
    WriterProxy* p = findProxy(writer);
    return p == nullptr || p->allDelivered();
}

void StatefulReader::checkMatchedWriters(std::vector<WriterProxyInfo*> writers) {
    BusyScope busy(m_removalBusy);
    if (!m_running.load()) {
        return;
    }
    std::vector<std::unique_ptr<WriterProxy>> gone;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        std::vector<bool> marked(m_proxies.size(), false);
        for (WriterProxyInfo const* w : writers) {
            if (w == nullptr || w->remoteWriterGuid == GUID_UNKNOWN) {
                continue;
            }
            auto it = std::find_if(m_proxies.begin(), m_proxies.end(), [&](auto const& p) {
                return p->getGuid() == w->remoteWriterGuid;
            });
            if (it != m_proxies.end()) {
                marked[static_cast<size_t>(it - m_proxies.begin())] = true;
                continue;
            }
            m_proxies.push_back(makeProxy(w->remoteWriterGuid, w->unicastLocatorList.empty()
                                                                   ? nullptr
                                                                   : &w->unicastLocatorList[0]));
            marked.push_back(true);
        }
        for (size_t i = m_proxies.size(); i-- > 0;) {
            if (!marked[i]) {
                gone.push_back(std::move(m_proxies[i]));
                m_proxies.erase(m_proxies.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    if (gone.empty()) {
        return;
    }
    for (auto& p : gone) {
        GUID_t const writer = p->getGuid();
        p.reset();
        purgePending(writer);
    }
    reportAllDelivered();
}

void StatefulReader::checkMatchedWriter(DiscoveredWriterData const* data) {
    if (data == nullptr) {
        return;
    }
    GUID_t const& writer = data->writerProxy.remoteWriterGuid;
    bool const known = matched_writer_lookup(writer);
    // A stopped reader has no description to match: it takes nothing and holds no lock.
    vexa::dds::SubscriptionBuiltinTopicData* own = takeDCPSConfig();
    if (own == nullptr) {
        return;
    }
    vexa::dds::SubscriptionBuiltinTopicData const description = *own;
    freeDCPSConfig();
    bool const matches = m_participant->endpointsMatch(data->publicationData, description);
    if (!matches && known) {
        matched_writer_remove(writer);
    } else if (matches && !known) {
        matched_writer_add(writer, data->writerProxy.unicastLocatorList.empty()
                                       ? nullptr
                                       : &data->writerProxy.unicastLocatorList[0]);
    }
}

void StatefulReader::removeMatchedWriters(GUID_t remote) {
    BusyScope busy(m_removalBusy);
    if (!m_running.load()) {
        return;
    }
    bool const participant = remote.entityId == _ENTITYID_PARTICIPANT;
    std::vector<std::unique_ptr<WriterProxy>> gone;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        for (size_t i = m_proxies.size(); i-- > 0;) {
            GUID_t const& g = m_proxies[i]->getGuid();
            if (prefixEq(g.guidPrefix, remote.guidPrefix) &&
                (participant || g.entityId == remote.entityId)) {
                gone.push_back(std::move(m_proxies[i]));
                m_proxies.erase(m_proxies.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    gone.clear();
    purgePending(remote);
    reportAllDelivered();
}

bool StatefulReader::checkLast(GUID_t&, SequenceNumber_t) {
    return true;
}

void StatefulReader::setLast(GUID_t&, SequenceNumber_t) {}

CacheChange* StatefulReader::addChange(CacheChange* change) {
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || change == nullptr) {
        return nullptr;
    }
    GUID_t const writer = change->writerGUID;
    SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
    bool const consumes = consumesOwnChanges();
    // A whole change that finds room needs no assembly: it is offered under the lock that found
    // it missing. Anything else, and a full history (settling calls out), goes the long way.
    bool const direct = !consumes && isWhole(change);
    bool offered = false;
    WriterProxy::Offer offer = WriterProxy::Offer::Refused;
    uint64_t turn = 0;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        WriterProxy* p = findProxy(writer);
        if (p == nullptr || p->received_change_check(sn)) {
            return nullptr;
        }
        if (direct && m_running.load() && !historyFull()) {
            offer = p->offer(change, sn, turn);
            offered = true;
        }
    }
    if (offered) {
        logReceived(change);
        return settleOffer(change, nullptr, writer, sn, offer, turn);
    }
    if (consumes) {
        // Discovery records go to the directory as they come.
        CacheChange* kept = ReaderImpl::addChange(change);
        if (kept != nullptr) {
            std::lock_guard<std::mutex> lock(m_proxiesMutex);
            if (WriterProxy* p = findProxy(writer)) {
                p->received_change_set(sn);
            }
        }
        return kept;
    }
    std::unique_ptr<CacheChange> made;
    CacheChange* const complete = assemble(change, made);
    if (complete == nullptr) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        if (WriterProxy* p = findProxy(writer)) {
            offer = p->offer(complete, sn, turn);
        }
    }
    return settleOffer(complete, std::move(made), writer, sn, offer, turn);
}

CacheChange* StatefulReader::settleOffer(CacheChange* complete, std::unique_ptr<CacheChange> made,
                                         GUID_t const& writer, SequenceNumber_t sn,
                                         WriterProxy::Offer offer, uint64_t turn) {
    switch (offer) {
        case WriterProxy::Offer::Refused:
            return nullptr;  // `made` frees an assembled change
        case WriterProxy::Offer::Held:
            made.release();
            return complete;
        case WriterProxy::Offer::Deliver:
            break;
    }
    // Kept or dropped for good, its number is settled; the history's room was looked at when it
    // arrived.
    bool const kept = keep(complete);
    if (kept) {
        made.release();
    }
    deliverDue(writer, turn, sn, true);
    return kept ? complete : nullptr;
}

void StatefulReader::deliverDue(GUID_t const& writer, uint64_t turn, SequenceNumber_t sn,
                                bool settled) {
    for (;;) {
        CacheChange* next = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_proxiesMutex);
            WriterProxy* p = findProxy(writer);
            if (p == nullptr) {
                return;  // removed: its held changes and the turn went with it
            }
            next = p->delivered(turn, sn, settled, sn);
        }
        if (next == nullptr) {
            return;
        }
        settled = keepHeld(next);
    }
}

bool StatefulReader::keepHeld(CacheChange* change) {
    // The history may have filled while it waited: then it stays missing and is asked for again.
    bool const settled = !historyFullAfterSettling();
    if (!settled || !keep(change)) {
        delete change;
    }
    return settled;
}

void StatefulReader::deliverHeld(GUID_t const& writer, CacheChange* due, uint64_t turn,
                                 SequenceNumber_t sn) {
    if (due != nullptr) {
        deliverDue(writer, turn, sn, keepHeld(due));
    }
}

void StatefulReader::heatrbeat(HeartbeatData* heartbeat) {
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || heartbeat == nullptr) {
        return;
    }
    uint64_t const start = vexa::OsGetTimeCountMks();
    GUID_t const writer = heartbeat->writerGUID;
    GuidWords const g = wordsOf(writer);
    bool answerNow = false;
    CacheChange* due = nullptr;
    uint64_t turn = 0;
    SequenceNumber_t dueSn{};
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        WriterProxy* p = findProxy(writer);
        if (p == nullptr) {
            return;
        }
        WriterProxy::HeartbeatVerdict const verdict = p->heartbeat(*heartbeat);
        if (verdict == WriterProxy::HeartbeatVerdict::Invalid) {
            logger().logMessage("StatefulReader::heatrbeat", vexalog::Logger::SEV_DEBUG,
                                vexares::RTPS_MSG_READER_HEARTBEAT_REFUSED, m_logName.c_str(),
                                g.w[0], g.w[1], g.w[2], g.w[3], int{heartbeat->firstSN.high},
                                unsigned{heartbeat->firstSN.low}, int{heartbeat->lastSN.high},
                                unsigned{heartbeat->lastSN.low});
            return;
        }
        if (verdict == WriterProxy::HeartbeatVerdict::Old) {
            return;
        }
        // Numbers declared lost may have been all that held changes waited for.
        due = p->takeDue(dueSn, turn);
        unsigned const id = isUserReader() ? vexares::RTPS_MSG_READER_HEARTBEAT
                            : m_guid.entityId == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER
                                ? vexares::RTPS_MSG_SEDP_PUBLICATIONS_READER_HEARTBEAT
                            : m_guid.entityId == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER
                                ? vexares::RTPS_MSG_SEDP_SUBSCRIPTIONS_READER_HEARTBEAT
                                : 0;
        if (id != 0) {
            logger().logMessage("StatefulReader::heatrbeat", vexalog::Logger::SEV_DEBUG_2, id,
                                m_logName.c_str(), unsigned{heartbeat->firstSN.low},
                                unsigned{heartbeat->lastSN.low}, g.w[0], g.w[1], g.w[2], g.w[3]);
        }
        if (isUserReader()) {
            logger().logMessage("StatefulReader::heatrbeat", vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_READER_HEARTBEAT_HANDLED, m_logName.c_str(),
                                static_cast<unsigned>(vexa::OsGetTimeCountMks() - start));
        }
        // Nothing missing: the writer may be waiting for this acknowledgement to make room, and
        // no data in flight can change the answer. What is missing is asked for after the delay.
        bool const atOnce = p->takeAnswerAtOnce() || p->allDelivered();
        if (p->scheduleResponse()) {
            // One answer per writer is outstanding at a time; the task finds the proxy by GUID.
            uint32_t task = 0;
            if (m_responseDelayMs != 0 && m_scheduler != nullptr && !atOnce) {
                TaskGuidArgs const args = guidToTaskArgs(writer);
                task = m_scheduler->addTask(TASK_READER_DEFERRED, static_cast<void*>(this), nullptr,
                                            args.a2, args.a3, uint64_t{m_responseDelayMs} * 1000,
                                            false);
            }
            answerNow = task == 0;
        } else {
            answerNow = atOnce;  // the delayed answer stays, and finds nothing to add
        }
    }
    if (heartbeat->livelinessFlag && heartbeat->finalFlag && m_communicationObject != nullptr) {
        EntityId_t id = writer.entityId;
        id.entityKind = 0;
        unsigned int prefix[3];
        std::memcpy(prefix, writer.guidPrefix, sizeof prefix);
        m_communicationObject->assertLiveliness(this, m_userData, prefix, entityIdToU32(id));
    }
    deliverHeld(writer, due, turn, dueSn);
    if (answerNow) {
        deferredWorker(writer);
    }
}

bool StatefulReader::gap(GapData* gap) {
    BusyScope busy(m_receiveBusy);
    if (!m_running.load() || gap == nullptr) {
        return false;
    }
    CacheChange* due = nullptr;
    uint64_t turn = 0;
    SequenceNumber_t dueSn{};
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        WriterProxy* p = findProxy(gap->writerGUID);
        if (p == nullptr || !p->irrelevant_change_set(gap->gapStart, gap->gapList)) {
            return false;
        }
        due = p->takeDue(dueSn, turn);
    }
    deliverHeld(gap->writerGUID, due, turn, dueSn);
    return true;
}

void StatefulReader::deferredTask(void* object, void*, uint64_t a2, uint64_t a3) {
    static_cast<StatefulReader*>(object)->deferredWorker(taskArgsToGuid(a2, a3));
}

void StatefulReader::deferredWorker(GUID_t const& writer) {
    BusyScope busy(m_workerBusy);
    if (!m_running.load()) {
        return;
    }
    uint64_t const start = vexa::OsGetTimeCountMks();
    std::vector<NAckFragData*> nackfrags;
    collectMissingFragments(writer, m_guid, nackfrags);
    RTPSOutSocket* socket = nullptr;
    AckNAckData* acknack = nullptr;
    bool matched = false;
    {
        std::lock_guard<std::mutex> lock(m_proxiesMutex);
        if (WriterProxy* p = findProxy(writer)) {
            matched = true;
            socket = p->getSocket();
            acknack = p->makeAckNack(m_guid);
        }
    }
    if (!matched || m_composer == nullptr) {
        for (NAckFragData* n : nackfrags) {
            delete n;
        }
        delete acknack;
        return;
    }
    GuidWords const g = wordsOf(writer);
    for (NAckFragData* n : nackfrags) {
        unsigned const sequence = n->writerSN.low;
        unsigned const next = n->fragmentNumberState.bitmapBase + n->fragmentNumberState.numBits;
        m_composer->sendNAckFrag(socket, n, ANSWER_PRIORITY);
        logger().logMessage("StatefulReader::deferredWorker", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_NACKFRAG_SENT, m_logName.c_str(), sequence,
                            next, g.w[0], g.w[1], g.w[2], g.w[3]);
    }
    if (acknack != nullptr) {
        unsigned const base = acknack->readerSNState.bitmapBase.low;
        m_composer->sendAckNAck(socket, acknack, ANSWER_PRIORITY);
        if (isUserReader()) {
            logger().logMessage("StatefulReader::deferredWorker", vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_READER_ACKNACK_SENT, m_logName.c_str(), base,
                                g.w[0], g.w[1], g.w[2], g.w[3],
                                static_cast<unsigned>(vexa::OsGetTimeCountMks() - start));
        } else if (m_guid.entityId == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER ||
                   m_guid.entityId == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER) {
            logger().logMessage("StatefulReader::deferredWorker", vexalog::Logger::SEV_DEBUG_2,
                                m_guid.entityId == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER
                                    ? vexares::RTPS_MSG_SEDP_PUBLICATIONS_ACKNACK_SENT
                                    : vexares::RTPS_MSG_SEDP_SUBSCRIPTIONS_ACKNACK_SENT,
                                m_logName.c_str(), base, g.w[0], g.w[1], g.w[2], g.w[3]);
        }
    }
}

void StatefulReader::historicalLoadingEnded() {
    ReaderImpl::historicalLoadingEnded();
    reportAllDelivered();
}

void StatefulReader::reportAllDelivered() {
    // What is reported changed before this look (under the proxies mutex, or the historical
    // state). A waiter counts itself in before it looks at either: one that this look misses
    // sees the change itself, so only a counted waiter needs the generation moved.
    if (!m_waiters.busy()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_deliveryMutex);
        ++m_deliveryGeneration;
    }
    m_deliveryCv.notify_all();
}

bool StatefulReader::everyWriterDelivered() {
    std::lock_guard<std::mutex> lock(m_proxiesMutex);
    return std::all_of(m_proxies.begin(), m_proxies.end(),
                       [](auto const& p) { return p->allDelivered(); });
}

bool StatefulReader::waitForHistoricalData(vexa::dds::Duration_t limit) {
    using Clock = std::chrono::steady_clock;
    BusyScope waiting(m_waiters);
    bool const unlimited = limit == vexa::dds::DURATION_INFINITE;
    int64_t const mks =
        limit.sec < 0 ? 0 : int64_t{limit.sec} * 1000000 + int64_t{limit.nanosec} / 1000;
    Clock::time_point const deadline = Clock::now() + std::chrono::microseconds(mks);
    std::unique_lock<std::mutex> lock(m_deliveryMutex);
    for (;;) {
        if (m_stopped) {
            return false;
        }
        // A report after this look moves the generation, so the wait below sees it.
        uint64_t const seen = m_deliveryGeneration;
        lock.unlock();
        bool const delivered =
            m_historicalState.load() != HISTORICAL_LOADING && everyWriterDelivered();
        lock.lock();
        if (delivered) {
            return true;
        }
        auto const moved = [&] { return m_stopped || m_deliveryGeneration != seen; };
        if (unlimited) {
            m_deliveryCv.wait(lock, moved);
        } else if (!m_deliveryCv.wait_until(lock, deadline, moved)) {
            return false;
        }
    }
}

}  // namespace RTPS
