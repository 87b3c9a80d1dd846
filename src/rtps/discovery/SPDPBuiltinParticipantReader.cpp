#include "rtps/discovery/SPDPBuiltinParticipantReader.h"

#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/discovery/DiscoveryHost.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/DiscoveryTime.h"
#include "rtps/discovery/ReaderProxyInfo.h"
#include "rtps/discovery/WriterProxyInfo.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/history/CacheChange.h"

namespace RTPS {

namespace {

char const* const MODULE = "SPDPBuiltinParticipantReader::addChange";

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

unsigned word(uint8_t const* prefix, int i) {
    uint32_t w;
    std::memcpy(&w, prefix + 4 * i, sizeof w);
    return w;
}

SPDPdiscoveredParticipantData const* recordOf(CacheChange const* c) {
    return static_cast<SPDPdiscoveredParticipantData const*>(c->sampleInfo.data);
}

// A metatraffic locator from the wire is used only when it can name a UDPv4 socket.
bool usableLocator(Locator_t const& l) {
    static uint8_t const zero[4] = {};
    return l.kind == LOCATOR_KIND_UDPv4 && l.port != 0 && l.port <= 0xFFFF &&
           std::memcmp(l.address + 12, zero, sizeof zero) != 0;
}

struct EndpointBit {
    uint32_t bit;
    EntityId_t local;   // the local built-in endpoint that gets the proxy
    EntityId_t remote;  // its remote counterpart
};

// The remote participant's writers, each matched with the local reader of its topic.
EndpointBit const WRITER_SIDE[] = {
    {BUILTIN_ENDPOINT_SUBSCRIPTION_ANNOUNCER, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER,
     _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER},
    {BUILTIN_ENDPOINT_PUBLICATION_ANNOUNCER, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER,
     _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER},
    {BUILTIN_ENDPOINT_TOPIC_ANNOUNCER, _ENTITYID_SEDP_BUILTIN_TOPIC_READER,
     _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER},
    {BUILTIN_ENDPOINT_PARTICIPANT_MESSAGE_WRITER, _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER,
     _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER},
};

// Its readers, each matched with the local writer of its topic.
EndpointBit const READER_SIDE[] = {
    {BUILTIN_ENDPOINT_SUBSCRIPTION_DETECTOR, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER,
     _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER},
    {BUILTIN_ENDPOINT_PUBLICATION_DETECTOR, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER,
     _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER},
    {BUILTIN_ENDPOINT_TOPIC_DETECTOR, _ENTITYID_SEDP_BUILTIN_TOPIC_WRITER,
     _ENTITYID_SEDP_BUILTIN_TOPIC_READER},
    {BUILTIN_ENDPOINT_PARTICIPANT_MESSAGE_READER, _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER,
     _ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER},
};

}  // namespace

SPDPBuiltinParticipantReader::SPDPBuiltinParticipantReader(DiscoveryHost& host, Reader* asReader,
                                                           std::string logName,
                                                           int32_t checkPeriodMs, int32_t leaseMs,
                                                           std::shared_ptr<SchedulerClock> clock,
                                                           HistoryCache* history)
    : m_host(host),
      m_asReader(asReader),
      m_logName(std::move(logName)),
      m_checkPeriodMks(uint64_t(checkPeriodMs > 1 ? checkPeriodMs : 1) * 1000u),
      m_clock(clock ? std::move(clock) : std::make_shared<MonotonicSchedulerClock>()),
      m_baseMks(m_clock->nowMks()),
      m_history(history != nullptr ? *history : m_ownHistory) {
    registerDiscoveryRecordOps();
    // Between two announcements only other traffic renews a lease below the period: an idle
    // peer is dropped.
    if (leaseMs < checkPeriodMs) {
        logger().logMessage("SPDPBuiltinParticipantReader", vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_LEASE_BELOW_ANNOUNCE_PERIOD, int{leaseMs},
                            int{checkPeriodMs});
    }
    char err[256] = {};
    m_thread = vexa::OsStartNewThread(&SPDPBuiltinParticipantReader::workerEntry, this, -2, 0, err,
                                      sizeof err);
    if (m_thread == 0) {
        m_active = false;
        throw GENERAL_DDSI_ERROR(
            (std::string("Не удалось запустить поток контроля участников: ") + err).c_str());
    }
    m_joinable = true;
}

SPDPBuiltinParticipantReader::~SPDPBuiltinParticipantReader() {
    stop();
}

vexa::dds::Time_t SPDPBuiltinParticipantReader::now() {
    return usToTime(m_clock->nowMks());
}

namespace {

constexpr unsigned EPOCH_SHIFT = 48;
constexpr uint64_t HEARD_MASK = (uint64_t{1} << EPOCH_SHIFT) - 1;

uint64_t epochOf(uint64_t heard) {
    return heard >> EPOCH_SHIFT;
}

uint64_t nextEpoch(uint64_t heard) {
    return ((epochOf(heard) + 1) & 0xFFFF) << EPOCH_SHIFT;
}

void prefixWords(uint8_t const* prefix, uint64_t& key0, uint32_t& key1) {
    std::memcpy(&key0, prefix, sizeof key0);
    std::memcpy(&key1, prefix + sizeof key0, sizeof key1);
}

}  // namespace

void SPDPBuiltinParticipantReader::fillSlotLocked(Slot& slot, uint8_t const* prefix,
                                                  CacheChange* change, uint64_t heardMks) {
    std::memcpy(slot.prefix, prefix, GUID_PREFIX_SIZE);
    slot.change = change;
    uint64_t key0;
    uint32_t key1;
    prefixWords(prefix, key0, key1);
    uint64_t const empty = slot.heard.load();
    slot.key0.store(key0);
    slot.key1.store(key1);
    uint64_t const since = heardMks > m_baseMks ? heardMks - m_baseMks : 0;
    slot.heard.store(nextEpoch(empty) | (since & HEARD_MASK));
}

void SPDPBuiltinParticipantReader::emptySlotLocked(Slot& slot) {
    std::memset(slot.prefix, 0, GUID_PREFIX_SIZE);
    slot.change = nullptr;
    uint64_t const held = slot.heard.load();
    if ((epochOf(held) & 1) == 0) {
        slot.heard.store(nextEpoch(held));
    }
    slot.key0.store(0);
    slot.key1.store(0);
}

bool SPDPBuiltinParticipantReader::raiseHeard(Slot& slot, uint64_t key0, uint32_t key1,
                                              uint64_t heardMks) {
    uint64_t seen = slot.heard.load();
    if ((epochOf(seen) & 1) != 0 || slot.key0.load() != key0 || slot.key1.load() != key1) {
        return false;
    }
    // The keys were read while the epoch stayed `seen`'s: the exchange below fails if the slot
    // was emptied or refilled since.
    uint64_t const epoch = seen & ~HEARD_MASK;
    uint64_t const since = (heardMks > m_baseMks ? heardMks - m_baseMks : 0) & HEARD_MASK;
    while ((seen & ~HEARD_MASK) == epoch && (seen & HEARD_MASK) < since) {
        if (slot.heard.compare_exchange_weak(seen, epoch | since)) {
            return true;
        }
    }
    return (seen & ~HEARD_MASK) == epoch;
}

CacheChange* SPDPBuiltinParticipantReader::findLocked(uint8_t const* prefix) {
    std::vector<CacheChange*> changes;
    m_history.upload(changes);
    for (CacheChange* c : changes) {
        SPDPdiscoveredParticipantData const* r = recordOf(c);
        if (r != nullptr && prefixEq(r->guidPrefix, prefix)) {
            m_history.get_change(c);
            return c;
        }
    }
    return nullptr;
}

bool SPDPBuiltinParticipantReader::isKnown(uint8_t const* guidPrefix) {
    std::lock_guard<std::mutex> lock(m_tableMutex);
    CacheChange* c = findLocked(guidPrefix);
    if (c == nullptr) {
        return false;
    }
    m_history.free_change(c);
    return true;
}

void SPDPBuiltinParticipantReader::logNotWired(uint8_t const* prefix, char const* why) {
    logger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                        vexares::RTPS_MSG_PARTICIPANT_NOT_WIRED, m_logName.c_str(), word(prefix, 0),
                        word(prefix, 1), word(prefix, 2), why);
}

CacheChange* SPDPBuiltinParticipantReader::addChange(CacheChange* change) {
    if (change == nullptr || !m_active.load() || !decodeIfPacked(change) ||
        change->sampleInfo.data == nullptr) {
        return nullptr;
    }
    SPDPdiscoveredParticipantData const& d = *recordOf(change);
    // The table, the removal and the lost report all go by this prefix.
    if (!prefixEq(d.guidPrefix, change->writerGUID.guidPrefix)) {
        logNotWired(change->writerGUID.guidPrefix, "префикс в записи не совпадает с отправителем");
        return nullptr;
    }
    uint64_t const heardMks = m_clock->nowMks();
    vexa::dds::Time_t const heard = usToTime(heardMks);
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        if (CacheChange* known = findLocked(d.guidPrefix)) {
            known->lastSeen = heard;
            m_history.free_change(known);
            return nullptr;
        }
    }

    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_PARTICIPANT_DISCOVERED, m_logName.c_str(),
                        word(d.guidPrefix, 0), word(d.guidPrefix, 1), word(d.guidPrefix, 2));

    // Reachable first: a participant that cannot be wired is not stored, so that its next
    // announcement tries again.
    Locator_t locator = d.metatrafficUnicastLocator;
    if (!usableLocator(locator)) {
        logNotWired(d.guidPrefix, "неверный одноадресный локатор служебного трафика");
        return nullptr;
    }
    RTPSOutSocket* socket = nullptr;
    try {
        socket = m_host.getSocket(locator);
    } catch (std::exception const& e) {
        logNotWired(d.guidPrefix, e.what());
        return nullptr;
    } catch (...) {
        logNotWired(d.guidPrefix, "сокет не создан");
        return nullptr;
    }
    if (socket == nullptr) {
        logNotWired(d.guidPrefix, "сокет не создан");
        return nullptr;
    }
    // Only a check that the participant can be reached: the proxies matched below take uses
    // of their own, and the socket goes when the last of them does.
    struct EndUse {
        DiscoveryHost& host;
        RTPSOutSocket* socket;
        ~EndUse() { host.releaseSocket(socket); }
    } const endUse{m_host, socket};

    m_host.manualResend();

    change->lastSeen = heard;
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        // Told twice at once (its announcement on the parser thread, participantDetected on
        // another): the first one stores and wires it, a second copy would outlive a removal.
        if (CacheChange* known = findLocked(d.guidPrefix)) {
            known->lastSeen = heard;
            m_history.free_change(known);
            return nullptr;
        }
        m_history.add_change(change);
        for (Slot& s : m_slots) {
            if (s.change == nullptr) {
                fillSlotLocked(s, d.guidPrefix, change, heardMks);
                break;
            }
        }
    }

    // Every built-in endpoint of the newcomer is reached through its metatraffic locator.
    GUID_t remote{};
    std::memcpy(remote.guidPrefix, d.guidPrefix, GUID_PREFIX_SIZE);
    WriterProxyInfo writer;
    writer.unicastLocatorList.push_back(locator);
    for (EndpointBit const& e : WRITER_SIDE) {
        if ((d.availableBuiltinEndpoints & e.bit) != 0) {
            writer.remoteWriterGuid = remote;
            writer.remoteWriterGuid.entityId = e.remote;
            m_host.matchRemoteWriter(e.local, writer);
        }
    }
    if (CommunicationObject* co = m_host.communicationObject()) {
        co->changeAvailable(m_asReader, nullptr, &change->sampleInfo);
    }
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_READER_CHANGE_STORED, m_logName.c_str(), 0xFFFFFFFFu, 0u,
                        0u, 0u, unsigned(m_clock->nowMks() & 0xFFFFFFFFu));
    // Adding a reader proxy makes the local writer send what it holds to the newcomer.
    ReaderProxyInfo reader;
    reader.expectsInlineQos = d.expectsInlineQos;
    reader.unicastLocatorList.push_back(locator);
    for (EndpointBit const& e : READER_SIDE) {
        if ((d.availableBuiltinEndpoints & e.bit) != 0) {
            reader.remoteReaderGuid = remote;
            reader.remoteReaderGuid.entityId = e.remote;
            m_host.matchRemoteReader(e.local, reader);
        }
    }
    return change;
}

void SPDPBuiltinParticipantReader::alive(uint8_t const* guidPrefix) {
    if (guidPrefix == nullptr || !m_active.load()) {
        return;
    }
    // Any datagram proves the participant alive now: stamping the last pass's time instead
    // would cut up to a period off its lease, all of it when the lease is below the period.
    uint64_t const heard = m_clock->nowMks();
    uint64_t key0;
    uint32_t key1;
    prefixWords(guidPrefix, key0, key1);
    uint32_t const last = m_lastSlot.load(std::memory_order_relaxed);
    if (last < TABLE_SIZE && raiseHeard(m_slots[last], key0, key1, heard)) {
        return;
    }
    for (uint32_t i = 0; i < TABLE_SIZE; ++i) {
        if (raiseHeard(m_slots[i], key0, key1, heard)) {
            m_lastSlot.store(i, std::memory_order_relaxed);
            return;
        }
    }
}

size_t SPDPBuiltinParticipantReader::deleteChange(CacheChange* change) {
    // The first removal claims the change; a second one (lease pass against removal by
    // prefix) finds it claimed and reports nothing.
    if (change == nullptr || change->removalRequested.exchange(true)) {
        return m_history.size();
    }
    GUID_t lost{};
    std::memcpy(lost.guidPrefix, change->writerGUID.guidPrefix, GUID_PREFIX_SIZE);
    lost.entityId = _ENTITYID_PARTICIPANT;
    uint32_t words[4];
    std::memcpy(words, &lost, sizeof words);
    if (CommunicationObject* co = m_host.communicationObject()) {
        co->participantLost(words);
    }
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_PARTICIPANT_REMOVED,
                        m_logName.c_str(), unsigned{words[0]}, unsigned{words[1]},
                        unsigned{words[2]});
    m_host.removeMatchedEndpoints(lost);

    size_t left;
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        for (Slot& s : m_slots) {
            if (s.change == change) {
                emptySlotLocked(s);
            }
        }
        m_history.remove_change(change);
        left = m_history.size();
    }
    return left;
}

size_t SPDPBuiltinParticipantReader::deleteChange(uint8_t const* guidPrefix) {
    if (guidPrefix == nullptr || prefixEq(guidPrefix, _GUIDPREFIX_UNKNOWN)) {
        throw BAD_PARAMETERS("Неверное значение префикса участника домена");
    }
    CacheChange* change = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        for (Slot& s : m_slots) {
            if (s.change != nullptr && prefixEq(s.prefix, guidPrefix)) {
                change = s.change;
                // Kept alive against the lease pass's removal and garbage collection.
                m_history.get_change(change);
                break;
            }
        }
    }
    if (change == nullptr) {
        throw GENERAL_DDSI_ERROR("Участник домена с заданным префиксом не найден");
    }
    size_t const left = deleteChange(change);
    m_history.free_change(change);
    m_history.removeGarbage(0);
    return left;
}

void SPDPBuiltinParticipantReader::checkLeases() {
    vexa::dds::Time_t const t = now();
    std::vector<CacheChange*> changes;
    std::vector<vexa::dds::Time_t> seen;
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        // What alive heard since the last pass becomes the last-seen time.
        for (Slot& s : m_slots) {
            uint64_t const heard = s.heard.load();
            if (s.change == nullptr || (epochOf(heard) & 1) != 0) {
                continue;
            }
            vexa::dds::Time_t const at = usToTime(m_baseMks + (heard & HEARD_MASK));
            if (s.change->lastSeen < at) {
                s.change->lastSeen = at;
            }
        }
        m_history.upload(changes);
        seen.reserve(changes.size());
        for (CacheChange* c : changes) {
            m_history.get_change(c);
            seen.push_back(c->lastSeen);
        }
    }
    for (size_t i = 0; i < changes.size(); ++i) {
        CacheChange* c = changes[i];
        SPDPdiscoveredParticipantData const* r = recordOf(c);
        if (!c->leaseExempt && r != nullptr && (t - seen[i]) > r->leaseDuration) {
            deleteChange(c);
        }
        m_history.free_change(c);
    }
    m_history.removeGarbage(0);
}

void SPDPBuiltinParticipantReader::workerEntry(void* self) {
    static_cast<SPDPBuiltinParticipantReader*>(self)->worker();
}

void SPDPBuiltinParticipantReader::worker() {
    for (;;) {
        if (m_active.load()) {
            checkLeases();
        }
        std::unique_lock<std::mutex> lock(m_waitMutex);
        uint64_t const deadline = m_clock->nowMks() + m_checkPeriodMks;
        while (!m_stopRequested && m_clock->nowMks() < deadline) {
            m_clock->wait(m_wake, lock, deadline, [this] { return m_stopRequested; });
        }
        if (m_stopRequested) {
            return;
        }
    }
}

void SPDPBuiltinParticipantReader::stop() {
    m_active = false;
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    // From the worker itself (a host call made during a removal) the thread is left to the
    // destructor, which runs on another thread.
    if (m_joinable.load() && pthread_equal(pthread_self(), m_thread) == 0 &&
        m_joinable.exchange(false)) {
        vexa::OsWaitThreadTermination(m_thread);
    }
    std::lock_guard<std::mutex> lock(m_tableMutex);
    for (Slot& s : m_slots) {
        emptySlotLocked(s);
    }
}

}  // namespace RTPS
