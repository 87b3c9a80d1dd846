#include "rtps/writer/StatelessWriter.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "common/log/Logger.h"
#include "common/os/OsTime.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/RTPSOutSocket.h"
#include "rtps/io/RTPSRouter.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/Participant.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/writer/ChangeForReader.h"
#include "rtps/writer/ChangeHandle.h"

namespace RTPS {

namespace {

constexpr char kModuleAdd[] = "StatelessWriter::addChange";
constexpr char kModuleDelete[] = "StatelessWriter::deleteChange";
constexpr char kModuleWorker[] = "StatelessWriter::bestEffortWorker";
constexpr char kModuleLocator[] = "StatelessWriter::reader_locator_add";
// The text the group log has always carried, whichever writer takes the group.
constexpr char kModuleGroup[] = "StatefulWriter::matched_reader_add";
constexpr int kLivelinessPriority = 0x7FFFFFFF;
constexpr uint8_t kUserWriterWithKey = 0x02;

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

RTPSTaskScheduler* schedulerOf(Participant* participant) {
    participant->getConfig();  // throws for a participant without one
    if (participant->getScheduler() == nullptr || participant->getComposer() == nullptr) {
        throw GENERAL_DDSI_ERROR("Участник домена не готов к созданию писателя");
    }
    return participant->getScheduler();
}

uint32_t nonNegative(int32_t v) {
    return v > 0 ? static_cast<uint32_t>(v) : 0;
}

unsigned clockLow() {
    return static_cast<unsigned>(vexa::OsGetTimeCountMks());
}

bool isGroupAddress(Locator_t const& l) {
    return l.address[12] == 239;
}

// A reader is covered by a removal of `remote`: that reader, or any reader of that participant.
bool covers(GUID_t const& remote, GUID_t const& reader) {
    return prefixEq(remote.guidPrefix, reader.guidPrefix) &&
           (remote.entityId == _ENTITYID_PARTICIPANT || remote.entityId == reader.entityId);
}

}  // namespace

StatelessWriter::StatelessWriter(Participant* participant, EndpointConfig const* config,
                                 vexa::dds::PublicationBuiltinTopicData const* data,
                                 int32_t transportPriority)
    : WriterImpl(participant, config, data, transportPriority),
      m_scheduler(schedulerOf(participant)),
      m_composer(participant->getComposer()),
      m_resendPeriod(nonNegative(participant->getConfig().resendPeriod())),
      m_multicastingMode(participant->getConfig().userMulticastingMode()),
      m_userMulticastPort(participant->getConfig().userMulticastPort()) {
    // It receives nothing, so it registers no receive locator (and unregisters none: the
    // participant's sockets are shared by its endpoints).
    m_protocolKind = PROTOCOL_STATELESS;
    EntityId_t const& id = m_guid.entityId;
    char name[32];
    std::snprintf(name, sizeof name, "P%03d%02x%02x%02x%02x",
                  participant->getConfig().hostWideIndex(), id.entityKey[0], id.entityKey[1],
                  id.entityKey[2], id.entityKind);
    m_logName = name;
    if (isUserWriter()) {
        logger().logMessage("StatelessWriter::StatelessWriter", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CREATED, m_logName.c_str(),
                            unsigned{entityIdToU32(id)});
    }
}

StatelessWriter::~StatelessWriter() {
    if (m_active) {
        stop();
    }
    // The worker is gone: the queues give their loans back before the history goes.
    Locators gone;
    {
        Lock lock(m_locatorMutex);
        gone.swap(m_locators);
    }
}

void StatelessWriter::start() {
    if (getReliabilityLevel() != RELIABILITY_BEST_EFFORT || m_taskId != 0 || !m_active) {
        return;
    }
    const uint64_t period =
        std::max<uint64_t>(uint64_t{m_resendPeriod} * 1000, RTPSTaskScheduler::MIN_PERIOD_MKS);
    m_taskId =
        m_scheduler->addTask(TASK_STATELESS_BEST_EFFORT, taskObject(), nullptr, 0, 0, period, true);
}

void StatelessWriter::stop() {
    m_active = false;
    m_workerBusy.waitIdle();
    m_removalBusy.waitIdle();
    // Waits for a run still in progress.
    m_scheduler->removeTask(taskObject());
    m_taskId = 0;
    WriterImpl::stop();
}

void StatelessWriter::wake() {
    if (m_taskId != 0) {
        m_scheduler->wakeTask(m_taskId);
    }
}

ReaderLocator* StatelessWriter::findLocator(Locator_t const& locator) {
    for (auto& l : m_locators) {
        if (l->getLocator() == locator) {
            return l.get();
        }
    }
    return nullptr;
}

std::unique_ptr<ReaderLocator> StatelessWriter::takeLocator(Locator_t const& locator) {
    auto it = std::find_if(m_locators.begin(), m_locators.end(),
                           [&](auto const& l) { return l->getLocator() == locator; });
    if (it == m_locators.end()) {
        return nullptr;
    }
    std::unique_ptr<ReaderLocator> taken = std::move(*it);
    m_locators.erase(it);
    return taken;
}

ReaderLocator* StatelessWriter::addLocator(Locator_t const& locator, bool multicast) {
    if (!m_active) {
        return nullptr;
    }
    RTPSOutSocket* socket = nullptr;
    try {
        Locator_t l = locator;
        socket = m_composer->getSocket(l);
    } catch (DDSIException const&) {
        socket = nullptr;
    }
    if (socket == nullptr) {
        logger().logMessage(
            kModuleLocator, vexalog::Logger::SEV_ERROR, vexares::RTPS_MSG_WRITER_NO_SOCKET,
            m_logName.c_str(), unsigned{locator.address[12]}, unsigned{locator.address[13]},
            unsigned{locator.address[14]}, unsigned{locator.address[15]}, unsigned{locator.port});
        return nullptr;
    }
    auto added = std::make_unique<ReaderLocator>(socket, multicast, &m_history);
    std::vector<CacheChange*> changes;
    m_history.getNotRemovalRequested(&changes);
    for (CacheChange* c : changes) {
        added->add_unsent_change(c);
    }
    if (added->hasUnsent()) {
        m_pending = true;
    }
    m_locators.push_back(std::move(added));
    return m_locators.back().get();
}

void StatelessWriter::purgeWithdrawn() {
    std::vector<CacheChange*> withdrawn;
    m_history.getRemovalRequested(&withdrawn, 0);
    // Newest first; one still queued somewhere stays until it has been sent.
    for (auto it = withdrawn.rbegin(); it != withdrawn.rend(); ++it) {
        if (!m_history.check_change(*it)) {
            WriterImpl::deleteChange(*it);
        }
    }
}

int64_t StatelessWriter::addChange(SampleInfo* sample) {
    const bool user = isUserWriter();
    if (user) {
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CHANGE_OFFERED, m_logName.c_str());
    }
    if (!m_active) {
        return CHANGE_NOT_TAKEN;
    }
    refuseOversized(sample);
    int64_t handle;
    CacheChange* change = nullptr;
    {
        std::lock_guard<std::recursive_mutex> upload(m_history.getUploadMutex());
        const size_t limit = getHistoryReserve();  // 0: no limit
        if (limit != 0 && m_history.size() >= limit) {
            if (user) {
                logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                                    vexares::RTPS_MSG_WRITER_HISTORY_FULL, m_logName.c_str());
            }
            purgeWithdrawn();
            if (m_history.size() >= limit) {
                return CHANGE_NOT_TAKEN;
            }
        }
        handle = WriterImpl::addChange(sample, &change);
        Lock lock(m_locatorMutex);
        for (auto& l : m_locators) {
            l->add_unsent_change(change);
        }
    }
    m_pending = true;
    wake();
    if (user) {
        SequenceNumber_t const sn = handleToSequence(handle);
        logger().logMessage(kModuleAdd, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_CHANGE_ADDED, m_logName.c_str(),
                            static_cast<unsigned>(sn.high), unsigned{sn.low});
    }
    return handle;
}

bool StatelessWriter::deleteChange(long handle) {
    if (!m_active) {
        return true;
    }
    const SequenceNumber_t sn = handleToSequence(handle);
    const bool user = isUserWriter();
    if (user) {
        logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CHANGE_WITHDRAWN, m_logName.c_str(),
                            static_cast<unsigned>(sn.high), unsigned{sn.low}, clockLow());
    }
    const bool held = holdsChange(sn);
    size_t left;
    {
        std::lock_guard<std::recursive_mutex> upload(m_history.getUploadMutex());
        m_history.removalRequest(sn);
        purgeWithdrawn();
        left = m_history.size();
    }
    if (user) {
        logger().logMessage(kModuleDelete, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_WRITER_CHANGES_LEFT, m_logName.c_str(),
                            unsigned{sn.low}, static_cast<unsigned>(left));
    }
    return held;
}

void StatelessWriter::assertLiveliness() {
    if (!m_active) {
        return;
    }
    m_written = true;
    HeartbeatData hb;
    hb.readerId = _ENTITYID_UNKNOWN;
    hb.writerGUID = m_guid;
    hb.finalFlag = true;
    hb.livelinessFlag = true;
    hb.firstSN = m_history.getSeqNumMin();
    hb.lastSN = m_history.getSeqNumMax();
    hb.count = 0;
    Lock lock(m_locatorMutex);
    for (auto& l : m_locators) {
        m_composer->sendHEARTBEAT(l->getSocket(), &hb, kLivelinessPriority);
    }
}

void StatelessWriter::forEachDestination(std::function<void(RTPSOutSocket*)> const& send) {
    Lock lock(m_locatorMutex);
    for (auto& l : m_locators) {
        send(l->getSocket());
    }
}

void StatelessWriter::bestEffortTask(void* object, void*, uint64_t, uint64_t) {
    static_cast<StatelessWriter*>(object)->bestEffortWorker();
}

void StatelessWriter::bestEffortWorker() {
    BusyScope busy(m_workerBusy);
    if (!m_active) {
        return;
    }
    Lock lock(m_locatorMutex);
    const bool writerMulticast = hasMulticastLocators();
    if (writerMulticast) {
        m_history.resetMulticasted();
    }
    const bool keyed = m_guid.entityId.entityKind == kUserWriterWithKey;
    const bool user = isUserWriter();
    while (m_active && m_pending.exchange(false)) {
        for (auto& l : m_locators) {
            CacheChange* c = l->next_unsent_change();
            if (c == nullptr) {
                continue;
            }
            if (!(writerMulticast && l->isMulticast() && c->multicasted)) {
                ChangeForReader entry(c, c->sampleInfo.sequenceNumber, UNDERWAY);
                if (keyed) {
                    m_composer->sendKeyData(l->getSocket(), _ENTITYID_UNKNOWN, &entry,
                                            m_transportPriority);
                } else {
                    m_composer->sendData(l->getSocket(), _ENTITYID_UNKNOWN, &entry,
                                         m_transportPriority, nullptr);
                }
                if (user) {
                    const bool group = isGroupAddress(l->getLocator());
                    char const* how =
                        keyed ? (group ? "KEY + DATA (multicast)" : "KEY + DATA (unicast)")
                              : (group ? "DATA (multicast)" : "DATA (unicast)");
                    SequenceNumber_t const& sn = c->sampleInfo.sequenceNumber;
                    logger().logMessage(kModuleWorker, vexalog::Logger::SEV_DEBUG_2,
                                        vexares::RTPS_MSG_DATA_SENT, m_logName.c_str(), how,
                                        static_cast<unsigned>(sn.high), unsigned{sn.low}, 0u,
                                        clockLow());
                }
                if (l->isMulticast()) {
                    c->multicasted = true;
                }
            }
            m_history.free_change(c);
            if (l->hasUnsent()) {
                m_pending = true;
            }
        }
    }
}

bool StatelessWriter::reader_locator_add(Locator_t const& locator, bool multicast) {
    if (!m_active) {
        return false;
    }
    if (isUserWriter()) {
        logger().logMessage(kModuleLocator, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_MATCHING, m_logName.c_str());
    }
    bool takeGroup = false;
    size_t count;
    {
        std::lock_guard<std::recursive_mutex> upload(m_history.getUploadMutex());
        Lock lock(m_locatorMutex);
        if (findLocator(locator) == nullptr) {
            const size_t before = m_locators.size();
            takeGroup = addLocator(locator, multicast) != nullptr && before == 1 &&
                        m_multicastingMode == Config::MULTICASTING_PER_WRITER &&
                        !hasMulticastLocators();
        }
        count = m_locators.size();
    }
    wake();
    if (takeGroup) {
        RTPSRouter* router = m_participant->getRouter();
        std::optional<std::string> address;
        if (router != nullptr) {
            address = router->getGroupAddress();
        }
        if (address) {
            Locator_t group{LOCATOR_KIND_UDPv4, m_userMulticastPort, {}};
            strToLoc(&group, address->c_str());
            addMulticastLocator(group);
            logger().logMessage(kModuleGroup, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_WRITER_GROUP, m_logName.c_str(),
                                unsigned{group.address[12]}, unsigned{group.address[13]},
                                unsigned{group.address[14]}, unsigned{group.address[15]});
            reannounce();
        }
    }
    if (isUserWriter()) {
        logger().logMessage(kModuleLocator, vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_READER_MATCHED, m_logName.c_str(),
                            unsigned{locator.port}, static_cast<unsigned>(count));
    }
    return true;
}

void StatelessWriter::reannounce() {
    RTPS_AdditionalTopicData extra;
    extra.timestamp = getTimestamp();
    extra.transportPriority = m_transportPriority;
    m_participant->modifyWriter(this, extra, false);
}

void StatelessWriter::reader_locator_remove(Locator_t const* locator) {
    if (!m_active || locator == nullptr) {
        return;
    }
    std::unique_ptr<ReaderLocator> gone;
    {
        Lock lock(m_locatorMutex);
        gone = takeLocator(*locator);
    }
}

bool StatelessWriter::reader_locator_replace(Locator_t const& old, Locator_t const& fresh) {
    if (!m_active) {
        return false;
    }
    std::unique_ptr<ReaderLocator> gone;
    {
        std::lock_guard<std::recursive_mutex> upload(m_history.getUploadMutex());
        Lock lock(m_locatorMutex);
        gone = takeLocator(old);
        if (findLocator(fresh) == nullptr) {
            addLocator(fresh, true);
        }
    }
    wake();
    return true;
}

void StatelessWriter::checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) {
    BusyScope busy(m_removalBusy);
    if (!m_active) {
        return;
    }
    Locators gone;
    {
        std::lock_guard<std::recursive_mutex> upload(m_history.getUploadMutex());
        Lock lock(m_locatorMutex);
        for (ReaderProxyInfo* r : readers) {
            if (r == nullptr) {
                continue;
            }
            Locator_t const* unicast =
                r->unicastLocatorList.empty() ? nullptr : &r->unicastLocatorList.front();
            Locator_t const* group =
                r->multicastLocatorList.empty() ? nullptr : &r->multicastLocatorList.front();
            ReaderLocator* l = unicast != nullptr ? findLocator(*unicast) : nullptr;
            if (l == nullptr && group != nullptr) {
                l = findLocator(*group);
            }
            if (l == nullptr && (group != nullptr || unicast != nullptr)) {
                // A reader that names no destination cannot be reached: skipped.
                l = group != nullptr ? addLocator(*group, true) : addLocator(*unicast, false);
            }
            if (l != nullptr) {
                l->matched = true;
            }
        }
        for (auto it = m_locators.begin(); it != m_locators.end();) {
            if ((*it)->matched) {
                (*it)->matched = false;
                ++it;
            } else {
                gone.push_back(std::move(*it));
                it = m_locators.erase(it);
            }
        }
    }
    wake();
}

void StatelessWriter::checkMatchedReader(DiscoveredReaderData const*) {
    BusyScope busy(m_removalBusy);
    vexa::dds::PublicationBuiltinTopicData const* own = takeDCPSConfig();
    if (own == nullptr) {
        return;  // stopped
    }
    vexa::dds::PublicationBuiltinTopicData const description = *own;
    freeDCPSConfig();
    std::vector<ReaderProxyInfo> readers;
    m_participant->getMatchedRemoteReaders(description, readers);
    std::vector<ReaderProxyInfo*> pointers;
    for (ReaderProxyInfo& r : readers) {
        pointers.push_back(&r);
    }
    checkMatchedReaders(pointers);
}

void StatelessWriter::removeMatchedReaders(GUID_t remote) {
    BusyScope busy(m_removalBusy);
    vexa::dds::PublicationBuiltinTopicData const* own = takeDCPSConfig();
    if (own == nullptr) {
        return;  // stopped
    }
    vexa::dds::PublicationBuiltinTopicData const description = *own;
    freeDCPSConfig();
    std::vector<Locator_t> lost;
    m_participant->getReaderLocators(remote, lost);
    if (lost.empty()) {
        return;
    }
    // Readers of one participant share its locators: what another matched reader still uses
    // stays.
    std::vector<ReaderProxyInfo> matched;
    m_participant->getMatchedRemoteReaders(description, matched);
    for (Locator_t const& l : lost) {
        const bool used = std::any_of(matched.begin(), matched.end(), [&](auto const& r) {
            return !covers(remote, r.remoteReaderGuid) &&
                   std::find(r.unicastLocatorList.begin(), r.unicastLocatorList.end(), l) !=
                       r.unicastLocatorList.end();
        });
        if (!used) {
            reader_locator_remove(&l);
        }
    }
}

size_t StatelessWriter::locatorCount() {
    Lock lock(m_locatorMutex);
    return m_locators.size();
}

}  // namespace RTPS
