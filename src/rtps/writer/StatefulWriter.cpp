#include "rtps/writer/StatefulWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/EndpointsMatch.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/io/RTPSOutSocket.h"
#include "rtps/io/RTPSRouter.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/sched/TaskGuidArgs.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/writer/ChangeHandle.h"

namespace RTPS {

namespace {

constexpr char kModuleAdd[] = "StatefulWriter::addChange";
constexpr char kModuleDelete[] = "StatefulWriter::deleteChange";
constexpr char kModuleAckNack[] = "StatefulWriter::acknack";
constexpr char kModuleReliable[] = "StatefulWriter::reliableWorker";
constexpr char kModuleAdd2[] = "StatefulWriter::matched_reader_add";
constexpr char kModuleDeferred[] = "StatefulWriter::deferredWorker";
constexpr int kLivelinessPriority = 0x7FFFFFFF;
// A HEARTBEAT goes with the data at least once per this many changes sent (fewer when the
// history is short: a quarter of it), so that acknowledgements free the history before it fills.
constexpr uint32_t kMaxChangesPerHeartbeat = 256;
// While a reader has not acknowledged everything, a HEARTBEAT follows the last data after this
// long, then at twice the interval each time nothing was acknowledged, up to the period.
constexpr uint64_t kFirstHeartbeatPaceMks = 2000;
// Withdrawn changes looked at together when a full history makes room.
constexpr unsigned long kRoomBatch = 32;
// Delivered withdrawn changes an ACKNACK frees on the read thread: freeing is the costly part of
// an acknowledgement, and the datagram queued behind it waits meanwhile.
constexpr unsigned long kAckReleaseBatch = 8;
// What the writing thread (after its send) or the task frees of the rest, per turn.
constexpr unsigned long kReleaseBatch = 32;
// When the task frees what an ACKNACK left, unless writes have freed it by then.
constexpr uint64_t kReleaseDelayMks = 2000;

Config const& configOf(Participant* participant) {
    Config const& config = participant->getConfig();
    if (participant->getScheduler() == nullptr || participant->getComposer() == nullptr) {
        throw GENERAL_DDSI_ERROR("Участник домена не готов к созданию писателя");
    }
    return config;
}

RTPSTaskScheduler* schedulerOf(Participant* participant) {
    configOf(participant);
    return participant->getScheduler();
}

uint32_t nonNegative(int32_t v) {
    return v > 0 ? static_cast<uint32_t>(v) : 0;
}

unsigned clockLow() {
    return static_cast<unsigned>(vexa::OsGetTimeCountMks());
}

unsigned portOf(RTPSOutSocket* socket) {
    return socket != nullptr ? socket->getLocator().port : 0;
}

void guidWords(GUID_t const& g, unsigned (&w)[4]) {
    uint8_t const* b = reinterpret_cast<uint8_t const*>(&g);
    for (int i = 0; i < 4; ++i) {
        w[i] = (unsigned{b[4 * i]} << 24) | (unsigned{b[4 * i + 1]} << 16) |
               (unsigned{b[4 * i + 2]} << 8) | unsigned{b[4 * i + 3]};
    }
}

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

// Whether per-sample traces are written at all: their arguments (a clock read each) are not
// worked out for nothing on every write.
bool tracesSamples() {
    vexalog::Logger& log = logger();
    return log.getLogLevelReadable() >= vexalog::Logger::SEV_DEBUG_2 ||
           log.getLogLevelBinary() >= vexalog::Logger::SEV_DEBUG_2;
}

uint64_t valueOf(SequenceNumber_t const& sn) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(sn.high)) << 32) | sn.low;
}

uint64_t mksSince(std::chrono::steady_clock::time_point t0) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count());
}

// The trace id of a writer of that kind: a user writer, the SEDP publications writer, the SEDP
// subscriptions writer; 0 (no trace) for the others.
unsigned traceId(bool user, EntityId_t const& id, unsigned forUser, unsigned forPublications,
                 unsigned forSubscriptions) {
    if (user) {
        return forUser;
    }
    if (id == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER) {
        return forPublications;
    }
    if (id == _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER) {
        return forSubscriptions;
    }
    return 0;
}

}  // namespace

StatefulWriter::StatefulWriter(Participant* participant, EndpointConfig const* config,
                               vexa::dds::PublicationBuiltinTopicData const* data,
                               int32_t transportPriority)
    : WriterImpl(participant, config, data, transportPriority),
      m_scheduler(schedulerOf(participant)),
      m_composer(participant->getComposer()),
      m_pushMode(participant->getConfig().pushMode()),
      m_heartbeatPeriod(nonNegative(participant->getConfig().heartbeatPeriod())),
      m_nackResponseDelay(nonNegative(participant->getConfig().nackResponseDelay())),
      m_nackSuppressionDuration(nonNegative(participant->getConfig().nackSuppressionDuration())),
      m_multicastingMode(participant->getConfig().userMulticastingMode()),
      m_userMulticastPort(participant->getConfig().userMulticastPort()) {
    if (m_unicastLocator.kind != LOCATOR_KIND_INVALID) {
        if (MessageReceiver* receiver = participant->getMessageReceiver()) {
            Locator_t locator = m_unicastLocator;
            receiver->addReceiver(locator);
        }
    }
    m_protocolKind = PROTOCOL_STATEFUL;
    EntityId_t const& id = m_guid.entityId;
    char name[32];
    std::snprintf(name, sizeof name, "P%03d%02x%02x%02x%02x",
                  participant->getConfig().hostWideIndex(), id.entityKey[0], id.entityKey[1],
                  id.entityKey[2], id.entityKind);
    m_logName = name;
    if (isUserWriter()) {
        logger().logMessage("StatefulWriter::StatefulWriter", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CREATED, m_logName.c_str(),
                            unsigned{entityIdToU32(id)});
    }
}

StatefulWriter::~StatefulWriter() {
    if (m_active) {
        logger().logMessage(kModuleReliable, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_DESTROYED_ACTIVE, m_logName.c_str());
        stop();
    }
    Lock lock(*this);
    m_matched.clear();
}

void StatefulWriter::start() {
    if (getReliabilityLevel() != RELIABILITY_RELIABLE || m_taskId != 0) {
        return;
    }
    const uint64_t period =
        std::max<uint64_t>(uint64_t{m_heartbeatPeriod} * 1000, RTPSTaskScheduler::MIN_PERIOD_MKS);
    m_taskWoken = false;
    m_taskId =
        m_scheduler->addTask(TASK_WRITER_RELIABLE, taskObject(), nullptr, 0, 0, period, true);
}

void StatefulWriter::stop() {
    m_active = false;
    notifyAcknowledged();
    m_ackBusy.waitIdle();
    m_taskBusy.waitIdle();
    m_removalBusy.waitIdle();
    // Every row of the writer, tasks 4 and 5 included; waits for a task that still runs.
    m_scheduler->removeTask(taskObject());
    m_taskId = 0;
    WriterImpl::stop();
}

void StatefulWriter::notifyAcknowledged() {
    std::lock_guard<std::mutex> lock(m_ackMutex);
    ++m_ackGeneration;
    m_ackCv.notify_all();
}

ReaderProxy* StatefulWriter::findProxy(GUID_t const& reader) {
    for (auto& p : m_matched) {
        if (p->getReaderGUID() == reader) {
            return p.get();
        }
    }
    return nullptr;
}

bool StatefulWriter::checkDelivered(SequenceNumber_t const& sn) {
    Lock lock(*this);
    return checkDeliveredLocked(sn);
}

bool StatefulWriter::checkDeliveredLocked(SequenceNumber_t const& sn) {
    for (auto& p : m_matched) {
        if (p->isReliable() && !p->checkAcknowledged(sn)) {
            return false;
        }
    }
    return true;
}

std::unique_lock<std::recursive_mutex> StatefulWriter::tryMatched() {
    std::unique_lock<std::recursive_mutex> lock(m_matchedMutex, std::try_to_lock);
    if (lock.owns_lock()) {
        enterStored();
    }
    return lock;
}

void StatefulWriter::enter(CacheChange* change) {
    for (auto& p : m_matched) {
        const bool push = pushesTo(*p);
        if (p->addChange(&m_history, change, push ? UNSENT : UNACKNOWLEDGED, true) != nullptr) {
            m_allDelivered = false;
            if (push) {
                m_unsentPending = true;
            }
        }
    }
}

void StatefulWriter::enterStored() {
    // A plain read first: the list is nearly always empty.
    if (!m_storedPending.load(std::memory_order_relaxed) || !m_storedPending.exchange(false)) {
        return;
    }
    m_entering.clear();
    {
        std::lock_guard<std::mutex> lock(m_storedMutex);
        m_entering.swap(m_stored);
    }
    for (CacheChange* c : m_entering) {
        enter(c);
    }
    m_storedCount -= m_entering.size();
    m_entering.clear();
}

bool StatefulWriter::removeIfDelivered(SequenceNumber_t const& sn) {
    Lock lock(*this);
    return removeIfDeliveredLocked(sn);
}

bool StatefulWriter::removeIfDeliveredLocked(SequenceNumber_t const& sn) {
    if (!checkDeliveredLocked(sn)) {
        return false;
    }
    for (auto& p : m_matched) {
        p->removeChange(sn);
    }
    m_history.remove_change(sn);
    return true;
}

bool StatefulWriter::releaseDelivered(unsigned long max) {
    // Withdrawn changes come in number order and every reader acknowledges a prefix of them:
    // the first one still owed ends the walk.
    constexpr unsigned long kBatch = 64;
    thread_local std::vector<SequenceNumber_t> numbers;
    unsigned long freed = 0;
    for (;;) {
        const unsigned long want = max == 0 ? kBatch : std::min(kBatch, max - freed);
        m_history.getRemovalRequested(numbers, want);
        if (!numbers.empty()) {
            // Once per batch, which is short: writing threads never wait for it.
            Lock lock(*this);
            for (SequenceNumber_t const& sn : numbers) {
                if (!removeIfDeliveredLocked(sn)) {
                    return false;
                }
            }
        }
        freed += numbers.size();
        if (numbers.size() < want) {
            return false;
        }
        if (max != 0 && freed >= max) {
            return true;
        }
    }
}

void StatefulWriter::releaseLeftOver() {
    // A plain read first: on nearly every write there is nothing to free.
    if (m_releasePending.load(std::memory_order_relaxed) && m_releasePending.exchange(false) &&
        releaseDelivered(kReleaseBatch)) {
        m_releasePending = true;
    }
}

bool StatefulWriter::hasRoom() {
    const size_t limit = getHistoryReserve();  // 0: no limit
    // Changes taken out but still loaned hold their memory too.
    return limit == 0 || m_history.ownedCount() < limit;
}

bool StatefulWriter::makeRoom(std::chrono::steady_clock::time_point since, uint64_t waitMks,
                              bool firstPass) {
    if (hasRoom()) {
        return true;
    }
    const size_t limit = getHistoryReserve();
    const bool user = isUserWriter();
    if (user && firstPass) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_FULL_WAIT, m_logName.c_str(),
                            static_cast<unsigned long long>(waitMks));
    }
    // Changes the core withdrew may go once every reader has acknowledged them. Readers
    // acknowledge in order, so the oldest go first and the first one still unacknowledged
    // ends the pass: its cost follows what leaves, not the history's length.
    std::vector<SequenceNumber_t> numbers;
    size_t looked = 0;
    for (;;) {
        m_history.getRemovalRequested(numbers, kRoomBatch);
        looked += numbers.size();
        size_t removed = 0;
        while (removed < numbers.size() && removeIfDelivered(numbers[removed])) {
            ++removed;
        }
        if (removed < numbers.size() && user) {
            logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_WRITER_CHANGE_KEPT, m_logName.c_str(),
                                unsigned{numbers[removed].low});
        }
        if (removed == 0 || removed < numbers.size() || m_history.ownedCount() < limit) {
            break;
        }
    }
    if (user) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_REMOVAL_PASS, m_logName.c_str(),
                            static_cast<unsigned>(looked));
    }
    const size_t held = m_history.ownedCount();
    if (user) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_REMOVAL_DONE, m_logName.c_str(),
                            static_cast<unsigned>(held),
                            static_cast<unsigned long long>(mksSince(since)));
    }
    return held < limit;
}

bool StatefulWriter::waitForRoom(std::chrono::steady_clock::time_point deadline) {
    const auto now = std::chrono::steady_clock::now();
    const uint64_t waitMks =
        deadline == std::chrono::steady_clock::time_point::max()
            ? UINT64_MAX
            : (deadline > now
                   ? static_cast<uint64_t>(
                         std::chrono::duration_cast<std::chrono::microseconds>(deadline - now)
                             .count())
                   : 0);
    return waitForRoomSince(deadline, now, waitMks);
}

bool StatefulWriter::waitForRoomSince(std::chrono::steady_clock::time_point deadline,
                                      std::chrono::steady_clock::time_point since,
                                      uint64_t waitMks) {
    for (bool first = true;; first = false) {
        uint64_t generation;
        {
            std::lock_guard<std::mutex> lock(m_ackMutex);
            generation = m_ackGeneration;
        }
        if (makeRoom(since, waitMks, first)) {
            return true;
        }
        // The readers are told at once that the writer waits for their acknowledgements.
        if (!m_heartbeatWanted.exchange(true) && m_taskId != 0) {
            m_scheduler->wakeTask(m_taskId);
        }
        std::unique_lock<std::mutex> lock(m_ackMutex);
        auto woken = [&] { return m_ackGeneration != generation || !m_active; };
        if (deadline == std::chrono::steady_clock::time_point::max()) {
            m_ackCv.wait(lock, woken);
        } else if (!m_ackCv.wait_until(lock, deadline, woken)) {
            return false;
        }
        if (!m_active) {
            return false;
        }
    }
}

int64_t StatefulWriter::addNow(SampleInfo* sample) {
    m_written = true;
    if (sample == nullptr) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    refuseOversized(sample);
    // Nearly every write finds room: the clock is read only for a full history's trace.
    if (!hasRoom() && !makeRoom(std::chrono::steady_clock::now(), 0, true)) {
        if (isUserWriter()) {
            logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_CHANGE_NOT_TAKEN, m_logName.c_str(), 0u,
                                0xFFFFFFFFu);
        }
        return CHANGE_NOT_TAKEN;
    }
    return store(sample);
}

int64_t StatefulWriter::addChange(SampleInfo* sample) {
    using Clock = std::chrono::steady_clock;
    m_written = true;
    if (sample == nullptr) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    refuseOversized(sample);
    // A history with room needs no deadline, no clock read and no look at the acknowledgements.
    if (hasRoom()) {
        return store(sample);
    }
    const Clock::time_point t0 = Clock::now();
    const vexa::dds::Duration_t blocking = getReliabilityQosPolicy().max_blocking_time;
    const Clock::time_point deadline =
        blocking == vexa::dds::DURATION_INFINITE
            ? Clock::time_point::max()
            : t0 + std::chrono::microseconds(blocking.sec < 0 ? 0
                                                              : int64_t{blocking.sec} * 1000000 +
                                                                    blocking.nanosec / 1000);
    const uint64_t waitMks =
        deadline == Clock::time_point::max()
            ? UINT64_MAX
            : static_cast<uint64_t>(
                  std::chrono::duration_cast<std::chrono::microseconds>(deadline - t0).count());
    if (!waitForRoomSince(deadline, t0, waitMks)) {
        if (isUserWriter()) {
            logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_CHANGE_NOT_TAKEN, m_logName.c_str(), 0u,
                                0xFFFFFFFFu);
        }
        return CHANGE_NOT_TAKEN;
    }
    return store(sample);
}

int64_t StatefulWriter::store(SampleInfo* sample) {
    const bool user = isUserWriter() && tracesSamples();
    if (user) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_STORING, m_logName.c_str());
    }
    CacheChange* change = nullptr;
    const int64_t handle = WriterImpl::addChange(sample, &change);
    const SequenceNumber_t sn = change->sampleInfo.sequenceNumber;
    if (std::unique_lock<std::recursive_mutex> lock = tryMatched()) {
        enter(change);
    } else {
        // Held elsewhere: the next holder enters it; a pass under way looks once more.
        ++m_storedCount;
        {
            std::lock_guard<std::mutex> stored(m_storedMutex);
            m_stored.push_back(change);
        }
        m_storedPending = true;
        m_unsentPending = true;
    }
    // A lone write leaves on the writing thread (a send role held elsewhere takes it along).
    // Writes that follow each other closely leave it to the task, which packs what was written
    // meanwhile into one datagram while the writing thread goes on; the task also keeps
    // resends, heartbeats without data and pull mode's announcements.
    if (m_taskId != 0 && !(m_pushMode && !streaming() && sendFromWriter()) &&
        !m_taskWoken.exchange(true)) {
        m_scheduler->wakeTask(m_taskId);
    }
    // After the send, so the change is on its way first; left to the task while the mutex is
    // taken.
    if (m_releasePending.load(std::memory_order_relaxed)) {
        if (std::unique_lock<std::recursive_mutex> lock = tryMatched()) {
            releaseLeftOver();
        }
    }
    if (user) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_CHANGE_ADDED, m_logName.c_str(),
                            static_cast<unsigned>(sn.high), unsigned{sn.low});
    }
    return handle;
}

bool StatefulWriter::deleteChange(long handle) {
    const SequenceNumber_t sn = handleToSequence(handle);
    if (handle == 0 || sn.high < 0) {
        throw BAD_PARAMETERS("Неверный порядковый номер сэмпла");
    }
    const bool user = isUserWriter() && tracesSamples();
    if (user) {
        logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CHANGE_WITHDRAWN, m_logName.c_str(),
                            static_cast<unsigned>(sn.high), unsigned{sn.low}, clockLow());
    }
    // One look-up marks it and says whether it is held.
    const bool held = m_history.removalRequest(sn);
    if (user) {
        logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_REMOVAL_ASKED, m_logName.c_str(),
                            static_cast<unsigned>(sn.high), unsigned{sn.low}, clockLow());
    }
    SequenceNumber_t last = sn;
    // Not while another thread holds the matched-readers mutex: the change stays marked.
    if (std::unique_lock<std::recursive_mutex> lock = tryMatched()) {
        if (removeIfDeliveredLocked(sn) && user) {
            logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_WRITER_CHANGE_REMOVED, m_logName.c_str());
        }
        // A few of the earlier withdrawn changes that waited for acknowledgements; the list
        // keeps its room from one write to the next.
        thread_local std::vector<SequenceNumber_t> numbers;
        m_history.getRemovalRequested(numbers, 2);
        for (SequenceNumber_t const& n : numbers) {
            removeIfDeliveredLocked(n);
            last = n;
        }
    } else if (!m_releasePending.exchange(true) && m_taskId != 0) {
        // Left marked: a later write or acknowledgement frees it, else the task, so that it
        // does not outlast a stream that stops here.
        m_scheduler->runWithin(m_taskId, kReleaseDelayMks);
    }
    if (user) {
        logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_DELETION_DONE, m_logName.c_str(),
                            static_cast<unsigned>(last.high), unsigned{last.low}, clockLow());
    }
    return held;
}

bool StatefulWriter::dropChange(long handle) {
    const SequenceNumber_t sn = handleToSequence(handle);
    if (handle == 0 || sn.high < 0) {
        throw BAD_PARAMETERS("Неверный порядковый номер сэмпла");
    }
    const bool held = withdrawChange(sn);
    // A writer waiting for room may take it now.
    notifyAcknowledged();
    return held;
}

bool StatefulWriter::withdrawChange(SequenceNumber_t const& sn) {
    // Under the matched-readers mutex, so that no proxy loads the change meanwhile and keeps a
    // loan on it after it has gone.
    Lock lock(*this);
    const bool held = m_history.removalRequest(sn);
    for (auto& p : m_matched) {
        p->removeChange(sn);
    }
    m_history.remove_change(sn);
    return held;
}

void StatefulWriter::assertLiveliness() {
    if (!m_active) {
        return;
    }
    m_written = true;
    Lock lock(*this);
    for (auto& p : m_matched) {
        HeartbeatData hb;
        hb.readerId = p->getReaderGUID().entityId;
        hb.writerGUID = m_guid;
        hb.finalFlag = true;
        hb.livelinessFlag = true;
        hb.firstSN = m_history.getSeqNumMin();
        hb.lastSN = m_history.getSeqNumMax();
        hb.count = p->nextHeartbeatCount();
        m_composer->sendHEARTBEAT(p->getUnicastSocket(), &hb, kLivelinessPriority);
    }
}

bool StatefulWriter::sendHeartbeat(ReaderProxy& proxy, SequenceNumber_t& first,
                                   SequenceNumber_t& last, bool flush) {
    proxy.getRelevantRange(first, last);
    if (first == SEQUENCENUMBER_NULL || last == SEQUENCENUMBER_NULL) {
        return false;
    }
    HeartbeatData hb;
    hb.readerId = proxy.getReaderGUID().entityId;
    hb.writerGUID = m_guid;
    hb.firstSN = first;
    hb.lastSN = last;
    hb.count = proxy.nextHeartbeatCount();
    m_composer->sendHEARTBEAT(proxy.getUnicastSocket(), &hb, m_transportPriority, flush);
    return true;
}

void StatefulWriter::sendGap(ReaderProxy* proxy, ChangeForReader* first, ChangeForReader* last) {
    GapData* gap = new GapData;
    gap->readerId = proxy->getReaderGUID().entityId;
    gap->writerGUID = m_guid;
    gap->gapStart = first->sequenceNumber;
    gap->gapList.bitmapBase = (last != nullptr ? last : first)->sequenceNumber + 1;
    gap->gapList.numBits = 0;
    m_composer->sendGAP(proxy->getUnicastSocket(), gap, m_transportPriority, false);
}

void StatefulWriter::sendEntries(ReaderProxy* proxy, std::vector<ChangeForReader*> const& entries,
                                 RTPSOutSocket* socket, EntityId_t const& readerId,
                                 MulticastSent* multicastSent, bool deferred) {
    const bool multicast = socket != proxy->getUnicastSocket();
    const bool keyed = getTopicKind() == TOPIC_KIND_WITH_KEY;
    const bool user = isUserWriter() && tracesSamples();
    ChangeForReader* first = nullptr;
    ChangeForReader* last = nullptr;
    for (ChangeForReader* e : entries) {
        if (!e->relevant) {
            // A run covers consecutive numbers only: a GAP must never span a change the
            // reader may still get (one asked for again, say).
            ChangeForReader* tail = last != nullptr ? last : first;
            if (tail != nullptr && e->sequenceNumber != tail->sequenceNumber + 1) {
                sendGap(proxy, first, last);
                first = nullptr;
                last = nullptr;
            }
            if (first == nullptr) {
                first = e;
            } else {
                last = e;
            }
        } else {
            if (first != nullptr) {
                sendGap(proxy, first, last);
                first = nullptr;
                last = nullptr;
            }
            if (multicastSent == nullptr ||
                multicastSent->emplace(socket, valueOf(e->sequenceNumber)).second) {
                if (keyed) {
                    m_composer->sendKeyData(socket, readerId, e, m_transportPriority, false);
                } else {
                    m_composer->sendData(socket, readerId, e, m_transportPriority, nullptr, false);
                    if (unsigned id = traceId(false, m_guid.entityId, 0,
                                              vexares::RTPS_MSG_SEDP_PUBLICATION_SENT,
                                              vexares::RTPS_MSG_SEDP_SUBSCRIPTION_SENT)) {
                        // The publications writer's data phase tells the run's length.
                        const unsigned n =
                            id == vexares::RTPS_MSG_SEDP_PUBLICATION_SENT && !deferred
                                ? static_cast<unsigned>(entries.size())
                                : portOf(socket);
                        logger().logMessage(deferred ? kModuleDeferred : kModuleReliable,
                                            vexalog::Logger::SEV_DEBUG_2, id, m_logName.c_str(),
                                            static_cast<unsigned>(e->sequenceNumber.high),
                                            unsigned{e->sequenceNumber.low}, n);
                    }
                }
                if (user) {
                    char const* kind =
                        deferred ? (keyed ? "KEY + DATA" : "DATA")
                        : keyed  ? (multicast ? "KEY + DATA (multicast)" : "KEY + DATA (unicast)")
                                 : (multicast ? "DATA (multicast)" : "DATA (unicast)");
                    logger().logMessage(deferred ? kModuleDeferred : kModuleReliable,
                                        vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DATA_SENT,
                                        m_logName.c_str(), kind,
                                        static_cast<unsigned>(e->sequenceNumber.high),
                                        unsigned{e->sequenceNumber.low}, 0u, clockLow());
                }
            }
        }
    }
    if (first != nullptr) {
        sendGap(proxy, first, last);
    }
    // Once for the run: nothing above reads the entries' states.
    if (!entries.empty() && (m_nackSuppressionDuration == 0 || !proxy->isReliable())) {
        proxy->unacked_changes_set(entries);
    }
}

void StatefulWriter::suppress(ReaderProxy* proxy, std::vector<ChangeForReader*> const& sent) {
    std::vector<SequenceNumber_t> numbers;
    numbers.reserve(sent.size());
    for (ChangeForReader* e : sent) {
        numbers.push_back(e->sequenceNumber);
    }
    const uint64_t token = m_nextToken++;
    proxy->holdSuppressed(token, std::move(numbers));
    const TaskGuidArgs args = guidToTaskArgs(proxy->getReaderGUID());
    m_scheduler->addTask(TASK_NACK_SUPPRESSION, taskObject(),
                         reinterpret_cast<void*>(static_cast<uintptr_t>(token)), args.a2, args.a3,
                         uint64_t{m_nackSuppressionDuration} * 1000, false);
}

void StatefulWriter::reliableWorker() {
    // Before the pass: a change stored before a write found the flag still raised is seen by it.
    m_taskWoken.exchange(false);
    BusyScope busy(m_taskBusy);
    if (!m_active) {
        return;
    }
    m_taskPassWanted = true;
    drain(true);
    releaseLeftOver();
    if (m_releasePending.load() && m_taskId != 0) {
        m_scheduler->runWithin(m_taskId, 0);  // the next batch, after other rows had their turn
    }
}

bool StatefulWriter::streaming() {
    const uint64_t now = m_scheduler->clock().nowMks();
    const uint64_t last = m_lastStoreMks.exchange(now);
    return last != kNever && now - last < kStreamGapMks;
}

bool StatefulWriter::sendFromWriter() {
    BusyScope busy(m_taskBusy);
    if (!m_active) {
        return true;  // stopped: nothing leaves any more
    }
    drain(false);
    return true;
}

void StatefulWriter::drain(bool mayWait) {
    for (;;) {
        if (m_sending.exchange(true)) {
            return;  // the holder looks at the flags before it gives the role up
        }
        while (m_active) {
            const bool task = m_taskPassWanted.exchange(false);
            if (!task && !m_unsentPending.load()) {
                break;
            }
            // Before the mutex: a writer that starts to wait after this look wakes the task.
            const bool wanted = task && m_heartbeatWanted.exchange(false);
            Sockets& held = m_held;
            held.clear();
            {
                std::unique_lock<std::recursive_mutex> lock(m_matchedMutex, std::defer_lock);
                if (mayWait) {
                    lock.lock();
                } else if (!lock.try_lock()) {
                    // Held elsewhere: the task sends it, so the writing thread goes on.
                    if (task) {
                        m_taskPassWanted = true;
                    }
                    if (wanted) {
                        m_heartbeatWanted = true;
                    }
                    m_sending = false;
                    if (m_taskId != 0) {
                        m_scheduler->wakeTask(m_taskId);
                    }
                    return;
                }
                enterStored();
                pass(task, wanted, held);
            }
            flush(held);
        }
        m_sending = false;
        // A thread that queued after the last look found the role taken: look once more.
        if (!m_active || (!m_unsentPending.load() && !m_taskPassWanted.load())) {
            return;
        }
    }
}

void StatefulWriter::flush(Sockets const& sockets) {
    // Without the matched-readers mutex: a writing thread stores its change meanwhile, and the
    // socket's send role takes it along when it is queued before the role is given up.
    for (RTPSOutSocket* socket : sockets) {
        m_composer->sendMessage(socket);
    }
}

void StatefulWriter::pass(bool task, bool wanted, Sockets& held) {
    const bool writerMulticast = hasMulticastLocators();
    // What went to each group in this pass: a change goes to a group once, however many of its
    // readers want it. Kept for the pass only, so no walk of the history.
    MulticastSent multicastSent;
    std::vector<bool>& sentTo = m_sentTo;
    sentTo.assign(m_matched.size(), false);
    size_t sent = 0;
    // Before this pass's data: whether a reader was already waiting to be told what to
    // acknowledge.
    bool owed = false;
    for (auto const& p : m_matched) {
        owed = owed || p->hasUnacknowledged();
    }
    while (m_unsentPending.exchange(false)) {
        // The flag may be a listed change's: enter it, or nobody sends it.
        enterStored();
        if (m_matched.empty()) {
            break;
        }
        for (size_t i = 0; i < m_matched.size(); ++i) {
            ReaderProxy* p = m_matched[i].get();
            if (!p->hasUnsent()) {
                continue;
            }
            RTPSOutSocket* group = p->getMulticastSocket();
            const bool multicast = group != nullptr && writerMulticast;
            RTPSOutSocket* socket = multicast ? group : p->getUnicastSocket();
            const EntityId_t readerId = multicast ? _ENTITYID_UNKNOWN : p->getReaderGUID().entityId;
            std::vector<ChangeForReader*>& list = m_unsent;
            p->unsent_changes(list);
            if (list.empty()) {
                continue;
            }
            m_unsentPending = true;
            sentTo[i] = true;
            sent = std::max(sent, list.size());
            // With one reader nobody else sends to its group: no bookkeeping per change.
            sendEntries(p, list, socket, readerId,
                        multicast && m_matched.size() > 1 ? &multicastSent : nullptr, false);
            if (std::find(held.begin(), held.end(), socket) == held.end()) {
                held.push_back(socket);
            }
            if (m_nackSuppressionDuration != 0 && p->isReliable()) {
                suppress(p, list);
            }
        }
    }
    const bool user = isUserWriter() && tracesSamples();
    if (unsigned id = traceId(user, m_guid.entityId, vexares::RTPS_MSG_DATA_PHASE_DONE,
                              vexares::RTPS_MSG_SEDP_PUBLICATIONS_PHASE_DONE,
                              vexares::RTPS_MSG_SEDP_SUBSCRIPTIONS_PHASE_DONE)) {
        logger().logMessage(kModuleReliable, vexalog::Logger::SEV_DEBUG_2, id, m_logName.c_str(),
                            static_cast<unsigned>(m_matched.size()));
    }
    const unsigned sedpHeartbeat =
        traceId(false, m_guid.entityId, 0, vexares::RTPS_MSG_SEDP_PUBLICATIONS_HEARTBEAT_SENT,
                vexares::RTPS_MSG_SEDP_SUBSCRIPTIONS_HEARTBEAT_SENT);
    // A reader hears of what it must acknowledge when the history may fill before it would
    // otherwise ask, when the writer waits for room, and one pace after the data stopped.
    const uint64_t now = m_scheduler->clock().nowMks();
    if (sent != 0) {
        m_heartbeatDue = now + m_heartbeatPace.load();
    }
    m_sentSinceHeartbeat += sent;
    // Data postpones the paced HEARTBEAT, but a reader that owes an acknowledgement hears one
    // at least once a period however fast the data flows: only a HEARTBEAT makes it ask for
    // what it lost, and its answers are all the writer's side hears of it.
    if (!owed) {
        m_lastHeartbeatMks = now;
    }
    const bool overdue = now >= m_lastHeartbeatMks + heartbeatPeriodMks();
    const bool due = m_sentSinceHeartbeat >= heartbeatEvery() || wanted || overdue;
    // Heartbeats without data are the task's.
    const bool paced = task && now >= m_heartbeatDue;
    bool trailing = false;
    bool unacknowledged = false;
    for (size_t i = 0; i < m_matched.size(); ++i) {
        ReaderProxy* p = m_matched[i].get();
        if (!p->hasUnacknowledged()) {
            continue;
        }
        unacknowledged = true;
        if (!due && (sentTo[i] || !paced)) {
            continue;
        }
        trailing = trailing || !sentTo[i];
        SequenceNumber_t first;
        SequenceNumber_t last;
        // In the datagram of the data sent to it just now, when it went there.
        if (!sendHeartbeat(*p, first, last, false)) {
            continue;
        }
        m_lastHeartbeatMks = now;
        RTPSOutSocket* socket = p->getUnicastSocket();
        if (std::find(held.begin(), held.end(), socket) == held.end()) {
            held.push_back(socket);
        }
        if (user) {
            logger().logMessage(kModuleReliable, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_HEARTBEAT_SENT, m_logName.c_str(),
                                unsigned{first.low}, unsigned{last.low}, portOf(socket),
                                clockLow());
        } else if (sedpHeartbeat != 0) {
            logger().logMessage(kModuleReliable, vexalog::Logger::SEV_DEBUG_2, sedpHeartbeat,
                                m_logName.c_str(), unsigned{first.low}, unsigned{last.low},
                                portOf(socket));
        }
    }
    if (due) {
        m_sentSinceHeartbeat = 0;
    }
    paceHeartbeats(unacknowledged, trailing && sent == 0, now);
}

uint32_t StatefulWriter::heartbeatEvery() const {
    const uint32_t reserve = getHistoryReserve();
    if (reserve == 0) {
        return kMaxChangesPerHeartbeat;
    }
    return std::max<uint32_t>(1, std::min<uint32_t>(reserve / 4, kMaxChangesPerHeartbeat));
}

uint64_t StatefulWriter::heartbeatPeriodMks() const {
    return std::max<uint64_t>(uint64_t{m_heartbeatPeriod} * 1000, 1000);
}

void StatefulWriter::paceHeartbeats(bool unacknowledged, bool repeated, uint64_t now) {
    const uint32_t task = m_taskId;
    if (!unacknowledged || task == 0) {
        return;  // the period's heartbeat is enough
    }
    const uint64_t period = heartbeatPeriodMks();
    if (repeated) {
        // Nothing acknowledged since the last one: the reader is slow, gone or cut off.
        const uint64_t pace = std::min(m_heartbeatPace.load() * 2, period);
        m_heartbeatPace = pace;
        m_heartbeatDue = now + pace;
    }
    m_scheduler->runWithin(task, m_heartbeatDue > now ? m_heartbeatDue - now : 0);
}

void StatefulWriter::deferredWorker(GUID_t const& reader) {
    BusyScope busy(m_taskBusy);
    if (!m_active) {
        return;
    }
    Lock lock(*this);
    m_composer->sendMessage(answer(reader));
}

RTPSOutSocket* StatefulWriter::answer(GUID_t const& reader) {
    ReaderProxy* p = findProxy(reader);
    if (p == nullptr) {
        return nullptr;  // the reader went while the answer waited
    }
    std::vector<ChangeForReader*> list = p->requested_changes();
    sendEntries(p, list, p->getUnicastSocket(), p->getReaderGUID().entityId, nullptr, true);
    if (m_nackSuppressionDuration != 0 && p->isReliable()) {
        suppress(p, list);
    }
    // With the repairs, so that the reader asks again at once for any that was lost too.
    if (!list.empty() && p->hasUnacknowledged()) {
        SequenceNumber_t first;
        SequenceNumber_t last;
        sendHeartbeat(*p, first, last, false);
    }
    p->clearDeferredPending();
    return p->getUnicastSocket();
}

void StatefulWriter::nAckSuppressionWorker(GUID_t const& reader, uint64_t token) {
    BusyScope busy(m_taskBusy);
    if (!m_active) {
        return;
    }
    Lock lock(*this);
    if (ReaderProxy* p = findProxy(reader)) {
        p->releaseSuppressed(token);
    }
}

void StatefulWriter::reliableTask(void* object, void*, uint64_t, uint64_t) {
    static_cast<StatefulWriter*>(object)->reliableWorker();
}

void StatefulWriter::deferredTask(void* object, void*, uint64_t a2, uint64_t a3) {
    static_cast<StatefulWriter*>(object)->deferredWorker(taskArgsToGuid(a2, a3));
}

void StatefulWriter::nackSuppressionTask(void* object, void* a1, uint64_t a2, uint64_t a3) {
    static_cast<StatefulWriter*>(object)->nAckSuppressionWorker(
        taskArgsToGuid(a2, a3), static_cast<uint64_t>(reinterpret_cast<uintptr_t>(a1)));
}

bool StatefulWriter::acknack(AckNAckData* data) {
    BusyScope busy(m_ackBusy);
    if (!m_active || data == nullptr) {
        return false;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const bool user = isUserWriter();
    bool allAcknowledged = false;
    {
        Lock lock(*this);
        ReaderProxy* p = findProxy(data->readerGUID);
        if (p == nullptr || !p->acceptAckNackCount(data->count)) {
            return false;
        }
        if (unsigned id = traceId(user, m_guid.entityId, vexares::RTPS_MSG_ACKNACK_RECEIVED,
                                  vexares::RTPS_MSG_SEDP_PUBLICATIONS_ACKNACK,
                                  vexares::RTPS_MSG_SEDP_SUBSCRIPTIONS_ACKNACK)) {
            unsigned g[4];
            guidWords(data->readerGUID, g);
            logger().logMessage(kModuleAckNack, vexalog::Logger::SEV_DEBUG_2, id, m_logName.c_str(),
                                unsigned{data->readerSNState.bitmapBase.low}, g[0], g[1], g[2],
                                g[3]);
        }
        SequenceNumberSet const& set = data->readerSNState;
        // Progress (the reader acknowledged something new) brings the heartbeat pace back.
        SequenceNumber_t below = set.bitmapBase;
        --below;
        const bool progress =
            below.high >= 0 && below != SEQUENCENUMBER_NULL && !p->checkAcknowledged(below);
        allAcknowledged = p->acked_changes_set(set.bitmapBase);
        if (progress) {
            m_heartbeatPace = kFirstHeartbeatPaceMks;
        }
        uint64_t const delayMks = p->takeRepairAtOnce() ? 0 : uint64_t{m_nackResponseDelay} * 1000;
        std::vector<SequenceNumber_t> requested;
        if (set.numBits != 0) {
            for (uint32_t i = 0; i < set.numBits && i < MAX_SET_BITS; ++i) {
                if (set.isSet(i)) {
                    requested.push_back(set.bitmapBase + i);
                }
            }
            if (set.numBits == MAX_SET_BITS && m_taskId != 0) {
                // The reader may miss more than a set names: it hears what there is.
                m_heartbeatWanted = true;
                m_scheduler->wakeTask(m_taskId);
            }
            if (!requested.empty()) {
                p->requested_changes_set(requested);
                if (p->markDeferredPending()) {
                    const TaskGuidArgs args = guidToTaskArgs(p->getReaderGUID());
                    if (m_scheduler->addTask(TASK_WRITER_DEFERRED, taskObject(), nullptr, args.a2,
                                             args.a3, delayMks, false) == 0) {
                        p->clearDeferredPending();
                    }
                }
            }
        }
        // A reader that asks nothing yet wants an answer has just matched this writer and may
        // have dropped what was sent before: tell it what there is.
        if (!data->finalFlag && requested.empty()) {
            SequenceNumber_t first;
            SequenceNumber_t last;
            sendHeartbeat(*p, first, last, true);
            p->repairNextAtOnce();
        }
        if (user) {
            logger().logMessage(kModuleAckNack, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_ACKNACK_HANDLED, m_logName.c_str(),
                                static_cast<unsigned>(mksSince(t0)));
        }
    }
    // A withdrawn change goes as soon as the last reader has it, not when room is wanted; but
    // only a few here, where the next datagram waits. The writing thread after its next send,
    // or the task, frees the rest, and a writer waiting for room frees what it needs itself.
    if (releaseDelivered(kAckReleaseBatch)) {
        m_releasePending = true;
        if (m_taskId != 0) {
            m_scheduler->runWithin(m_taskId, kReleaseDelayMks);
        } else {
            releaseDelivered(0);
        }
    }
    notifyAcknowledged();
    if (allAcknowledged) {
        reportAllDelivered();
    }
    return true;
}

bool StatefulWriter::nackfrag(NAckFragData* data) {
    BusyScope busy(m_ackBusy);
    if (!m_active || data == nullptr) {
        return false;
    }
    Lock lock(*this);
    ReaderProxy* p = findProxy(data->readerGUID);
    if (p == nullptr || !p->acceptNackFragCount(data->count)) {
        return false;
    }
    unsigned g[4];
    guidWords(data->readerGUID, g);
    char reader[40];
    std::snprintf(reader, sizeof reader, "%08x %08x %08x %08x", g[0], g[1], g[2], g[3]);
    logger().logMessage("StatefulWriter::nackfrag", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_NACKFRAG_RECEIVED, m_logName.c_str(),
                        unsigned{data->writerSN.low},
                        unsigned{data->fragmentNumberState.bitmapBase}, reader);
    p->setFragmentsRequested(data->writerSN, data->fragmentNumberState);
    if (p->markDeferredPending()) {
        const TaskGuidArgs args = guidToTaskArgs(p->getReaderGUID());
        if (m_scheduler->addTask(TASK_WRITER_DEFERRED, taskObject(), nullptr, args.a2, args.a3,
                                 uint64_t{m_nackResponseDelay} * 1000, false) == 0) {
            p->clearDeferredPending();
        }
    }
    return true;
}

void StatefulWriter::reportAllDelivered() {
    bool all = true;
    {
        Lock lock(*this);
        for (auto& p : m_matched) {
            if (p->isReliable() && !p->isAllAcknowledged()) {
                all = false;
                break;
            }
        }
        m_allDelivered = all;
    }
    if (all) {
        m_participant->reportAllDelivered();
    }
}

bool StatefulWriter::readerIsReliable(GUID_t const& reader) {
    if (isBuiltin()) {
        return true;
    }
    vexa::dds::SubscriptionBuiltinTopicData remote;
    // A reader we know nothing of yet is waited for: losing data is worse than waiting.
    return !m_participant->getReaderConfig(reader, remote) ||
           remote.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS;
}

std::unique_ptr<ReaderProxy> StatefulWriter::makeProxy(GUID_t const& reader,
                                                       Locator_t const* unicast, bool flag,
                                                       bool reliable) {
    if (unicast == nullptr) {
        return nullptr;
    }
    Locator_t locator = *unicast;
    RTPSOutSocket* socket = nullptr;
    try {
        socket = m_composer->getSocket(locator);
    } catch (GENERAL_DDSI_ERROR const&) {
        socket = nullptr;
    }
    if (socket == nullptr) {
        return nullptr;  // no sender for that reader: nothing could reach it
    }
    return std::unique_ptr<ReaderProxy>(new ReaderProxy(this, reader, socket, flag, reliable));
}

bool StatefulWriter::wantsHistory(GUID_t const& reader) {
    if (isBuiltin()) {
        return true;
    }
    vexa::dds::SubscriptionBuiltinTopicData remote;
    if (!m_participant->getReaderConfig(reader, remote)) {
        return false;
    }
    if (remote.durability.kind == vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS &&
        getDurabilityKind() > vexa::dds::VOLATILE_DURABILITY_QOS) {
        return true;
    }
    vexa::dds::OctetSeq const& ud = remote.user_data.value;
    return ud.size() == 2 && ud[0] == 'D' && ud[1] == 'S';
}

bool StatefulWriter::appendProxy(std::unique_ptr<ReaderProxy> proxy, bool loadHistory) {
    Lock lock(*this);
    if (!m_active || findProxy(proxy->getReaderGUID()) != nullptr) {
        return false;
    }
    if (loadHistory) {
        // Under the matched-readers mutex: no change can leave the history until the new
        // proxy is listed and holds its loans.
        std::vector<CacheChange*> all;
        m_history.upload(all);
        const bool push = pushesTo(*proxy);
        for (CacheChange* c : all) {
            if (proxy->addChange(&m_history, c, push ? UNSENT : UNACKNOWLEDGED,
                                 !c->removalRequested) != nullptr) {
                m_allDelivered = false;
                if (push) {
                    m_unsentPending = true;
                }
            }
        }
    }
    bool reannounce = false;
    RTPSRouter* router = m_participant->getRouter();
    if (m_matched.size() == 1 && m_multicastingMode == Config::MULTICASTING_PER_WRITER &&
        !hasMulticastLocators() && isUserWriter() && router != nullptr) {
        if (std::optional<std::string> address = router->getGroupAddress()) {
            Locator_t group{LOCATOR_KIND_UDPv4, m_userMulticastPort, {}};
            strToLoc(&group, address->c_str());
            addMulticastLocator(group);
            logger().logMessage(kModuleAdd2, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_WRITER_GROUP, m_logName.c_str(),
                                unsigned{group.address[12]}, unsigned{group.address[13]},
                                unsigned{group.address[14]}, unsigned{group.address[15]});
            reannounce = true;
        }
    }
    m_matched.push_back(std::move(proxy));
    return reannounce;
}

void StatefulWriter::reannounce() {
    RTPS_AdditionalTopicData extra;
    extra.timestamp = getTimestamp();
    extra.transportPriority = m_transportPriority;
    m_participant->modifyWriter(this, extra, false);
}

void StatefulWriter::matched_reader_add(ReaderProxy* proxy) {
    std::unique_ptr<ReaderProxy> owned(proxy);
    if (!m_active) {
        return;
    }
    if (isUserWriter()) {
        logger().logMessage(kModuleAdd2, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_MATCHING, m_logName.c_str());
    }
    if (!owned) {
        return;
    }
    BusyScope busy(m_removalBusy);
    const unsigned port = portOf(owned->getUnicastSocket());
    const bool load = wantsHistory(owned->getReaderGUID());
    const bool reannounceNow = appendProxy(std::move(owned), load);
    logger().logMessage(kModuleAdd2, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_READER_MATCHED,
                        m_logName.c_str(), port, static_cast<unsigned>(matchedReaderCount()));
    if (m_taskId != 0) {
        m_scheduler->wakeTask(m_taskId);
    }
    if (reannounceNow) {
        reannounce();
    }
}

void StatefulWriter::matched_reader_remove(GUID_t const& reader) {
    if (!m_active) {
        return;
    }
    std::unique_ptr<ReaderProxy> gone;
    {
        Lock lock(*this);
        auto it = std::find_if(
            m_matched.begin(), m_matched.end(),
            [&](std::unique_ptr<ReaderProxy> const& p) { return p->getReaderGUID() == reader; });
        if (it == m_matched.end()) {
            return;
        }
        gone = std::move(*it);
        m_matched.erase(it);
        gone.reset();  // its loans go back under the mutex, before anyone removes a change
    }
    releaseDelivered(0);  // what only that reader still owed
    notifyAcknowledged();
    reportAllDelivered();
}

bool StatefulWriter::matched_reader_lookup(GUID_t const& reader) {
    if (!m_active) {
        return false;
    }
    Lock lock(*this);
    return findProxy(reader) != nullptr;
}

size_t StatefulWriter::matchedReaderCount() {
    Lock lock(*this);
    return m_matched.size();
}

void StatefulWriter::checkMatchedReaders(std::vector<ReaderProxyInfo*> infos) {
    BusyScope busy(m_removalBusy);
    if (!m_active) {
        return;
    }
    std::vector<ReaderProxyInfo*> fresh;
    size_t dropped = 0;
    {
        Lock lock(*this);
        for (ReaderProxyInfo* info : infos) {
            if (info == nullptr) {
                continue;
            }
            bool found = false;
            for (auto& p : m_matched) {
                if (p->getReaderGUID() == info->remoteReaderGuid) {
                    p->seen = true;
                    found = true;
                }
            }
            if (!found) {
                fresh.push_back(info);
            }
        }
        const size_t before = m_matched.size();
        m_matched.erase(
            std::remove_if(m_matched.begin(), m_matched.end(),
                           [](std::unique_ptr<ReaderProxy> const& p) { return !p->seen; }),
            m_matched.end());
        dropped = before - m_matched.size();
        for (auto& p : m_matched) {
            p->seen = false;
        }
    }
    if (dropped != 0) {
        releaseDelivered(0);
        notifyAcknowledged();
        reportAllDelivered();
    }
    // New readers are made and loaded outside the mutex's first hold: the participant is
    // asked about each, and the re-announce waits until the mutex is free.
    bool reannounceNow = false;
    bool added = false;
    for (ReaderProxyInfo* info : fresh) {
        Locator_t const* unicast =
            info->unicastLocatorList.empty() ? nullptr : &info->unicastLocatorList.front();
        std::unique_ptr<ReaderProxy> proxy =
            makeProxy(info->remoteReaderGuid, unicast, info->expectsInlineQos,
                      readerIsReliable(info->remoteReaderGuid));
        if (!proxy) {
            continue;
        }
        const bool load = wantsHistory(info->remoteReaderGuid);
        reannounceNow = appendProxy(std::move(proxy), load) || reannounceNow;
        added = true;
    }
    if (added && m_taskId != 0) {
        m_scheduler->wakeTask(m_taskId);
    }
    if (reannounceNow) {
        reannounce();
    }
}

void StatefulWriter::checkMatchedReader(DiscoveredReaderData const* data) {
    BusyScope busy(m_removalBusy);
    if (data == nullptr) {
        return;
    }
    GUID_t const& reader = data->readerProxy.remoteReaderGuid;
    vexa::dds::PublicationBuiltinTopicData const* config = takeDCPSConfig();
    if (config == nullptr) {
        return;  // stopped
    }
    const bool match = endpointsMatch(config, &data->subscriptionData);
    freeDCPSConfig();
    const bool known = matched_reader_lookup(reader);
    if (!match && known) {
        matched_reader_remove(reader);
    } else if (match && !known) {
        std::vector<Locator_t> const& list = data->readerProxy.unicastLocatorList;
        std::unique_ptr<ReaderProxy> proxy = makeProxy(
            reader, list.empty() ? nullptr : &list.front(), data->readerProxy.expectsInlineQos,
            isBuiltin() ||
                data->subscriptionData.reliability.kind == vexa::dds::RELIABLE_RELIABILITY_QOS);
        if (proxy) {
            matched_reader_add(proxy.release());
        }
    }
}

void StatefulWriter::removeMatchedReaders(GUID_t reader) {
    BusyScope busy(m_removalBusy);
    if (!m_active) {
        return;
    }
    const bool wholeParticipant = reader.entityId == _ENTITYID_PARTICIPANT;
    size_t removed = 0;
    {
        Lock lock(*this);
        const size_t before = m_matched.size();
        m_matched.erase(
            std::remove_if(m_matched.begin(), m_matched.end(),
                           [&](std::unique_ptr<ReaderProxy> const& p) {
                               GUID_t const& g = p->getReaderGUID();
                               return prefixEq(g.guidPrefix, reader.guidPrefix) &&
                                      (wholeParticipant || g.entityId == reader.entityId);
                           }),
            m_matched.end());
        removed = before - m_matched.size();
    }
    if (removed != 0) {
        releaseDelivered(0);
        notifyAcknowledged();
        reportAllDelivered();
    }
}

bool StatefulWriter::matchedReaderAdd(ReaderProxyInfo const& reader) {
    std::vector<Locator_t> const& list = reader.unicastLocatorList;
    std::unique_ptr<ReaderProxy> proxy =
        makeProxy(reader.remoteReaderGuid, list.empty() ? nullptr : &list.front(),
                  reader.expectsInlineQos, readerIsReliable(reader.remoteReaderGuid));
    if (!proxy) {
        return false;
    }
    matched_reader_add(proxy.release());
    return matched_reader_lookup(reader.remoteReaderGuid);
}

void StatefulWriter::matchedAddMulticastLocator(GUID_t const& reader, Locator_t& locator) {
    Lock lock(*this);
    ReaderProxy* p = findProxy(reader);
    if (p == nullptr) {
        return;
    }
    RTPSOutSocket* socket = nullptr;
    try {
        socket = m_composer->getSocket(locator);
    } catch (GENERAL_DDSI_ERROR const&) {
        socket = nullptr;
    }
    p->setMulticastSocket(socket);
    unsigned g[4];
    guidWords(reader, g);
    char address[16];
    std::snprintf(address, sizeof address, "%u.%u.%u.%u", unsigned{locator.address[12]},
                  unsigned{locator.address[13]}, unsigned{locator.address[14]},
                  unsigned{locator.address[15]});
    logger().logMessage("StatefulWriter::matchedAddMulticastLocator", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_MULTICAST, m_logName.c_str(), g[0], g[1], g[2],
                        g[3], address);
}

}  // namespace RTPS
