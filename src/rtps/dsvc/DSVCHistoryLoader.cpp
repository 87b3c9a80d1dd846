#include "rtps/dsvc/DSVCHistoryLoader.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/dsvc/DSVCHistorySink.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/DSVCServerChannel.h"
#include "rtps/history/CacheChange.h"

namespace RTPS {

namespace {

constexpr int DSVC_PRIORITY_OFFSET = 0;
// The history shrinks through deleteChange, which calls roomMade; the wait looks again this
// often in case it shrank some other way.
constexpr auto ROOM_RECHECK = std::chrono::milliseconds(100);
constexpr char INSERTED[] = "Sample inserted to assembly";

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

bool isNull(SequenceNumber_t const& sn) {
    return sn == SEQUENCENUMBER_NULL;
}

SequenceNumber_t* findMark(std::vector<std::pair<GUID_t, SequenceNumber_t>>& marks,
                           GUID_t const& writer) {
    for (auto& m : marks) {
        if (almost_eq(m.first, writer)) {
            return &m.second;
        }
    }
    return nullptr;
}

DSVCWriterProgress* findWriter(DSVCServerProxy& proxy, GUID_t const& writer) {
    for (auto& w : proxy.writers) {
        if (almost_eq(w.writer, writer)) {
            return &w;
        }
    }
    return nullptr;
}

// Whether the server can be let go: every followed writer (at least one) is caught up. `fresh`,
// a record that this very change made followed, does not hold it back unless caught up.
bool caughtUp(DSVCServerProxy const& proxy, DSVCWriterProgress const* fresh = nullptr) {
    bool any = false;
    for (DSVCWriterProgress const& w : proxy.writers) {
        if (!w.followed || (&w == fresh && !w.caughtUp)) {
            continue;
        }
        if (!w.caughtUp) {
            return false;
        }
        any = true;
    }
    return any;
}

void logChange(unsigned id, char const* module, std::string const& reader, CacheChange const* c) {
    uint32_t prefix[3];
    std::memcpy(prefix, c->writerGUID.guidPrefix, sizeof prefix);
    logger().logMessage(module, vexalog::Logger::SEV_DEBUG_2, id, reader.c_str(),
                        c->sampleInfo.sequenceNumber.low, prefix[0], prefix[1], prefix[2],
                        entityIdToU32(c->writerGUID.entityId));
}

}  // namespace

DSVCHistoryLoader::DSVCHistoryLoader(DSVCHistorySink& sink, std::string logName,
                                     std::vector<std::shared_ptr<DSVCServerChannel>> servers)
    : m_sink(sink), m_logName(std::move(logName)), m_channels(std::move(servers)) {
    for (auto const& channel : m_channels) {
        auto proxy = std::make_unique<DSVCServerProxy>();
        proxy->client = channel;
        proxy->socket = channel->socket();
        m_proxies.push_back(std::move(proxy));
    }
    m_uploadMarks.reserve(16);
    m_finalMarks.reserve(16);
}

DSVCHistoryLoader::~DSVCHistoryLoader() {
    stop();
    // The first m_stored changes belong to the history now; the rest never got there.
    for (size_t i = m_stored; i < m_assembly.size(); ++i) {
        delete m_assembly[i];
    }
}

void DSVCHistoryLoader::start() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started || m_stopped) {
            return;
        }
        m_started = true;
    }
    char error[256] = {};
    m_uploaderThread = vexa::OsStartNewThread(&DSVCHistoryLoader::uploaderEntry, this,
                                              DSVC_PRIORITY_OFFSET, 0, error, sizeof error);
    if (m_uploaderThread == 0) {
        logger().logMessage("ReaderImpl::ReaderImpl", vexalog::Logger::SEV_ERROR,
                            vexares::RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED, m_logName.c_str(),
                            "загрузки истории DSVC", error);
        // Without it nothing reaches the history: the reader runs without the link.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_state = NORMAL;
            m_proxies.clear();
        }
        m_sink.loadingEnded();
        return;
    }
    for (auto const& channel : m_channels) {
        if (channel->start()) {
            continue;
        }
        // As if the server had answered STOP.
        stopped(channel->socket());
    }
}

void DSVCHistoryLoader::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopped) {
            return;
        }
        m_stopped = true;
        m_stopping = true;
    }
    m_work.notify_all();
    roomMade();
    for (auto const& channel : m_channels) {
        channel->stop();
    }
    for (auto const& channel : m_channels) {
        channel->join();
    }
    if (m_uploaderThread != 0) {
        vexa::OsWaitThreadTermination(m_uploaderThread);
        m_uploaderThread = 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_proxies.clear();
}

void DSVCHistoryLoader::roomMade() {
    { std::lock_guard<std::mutex> lock(m_roomMutex); }
    m_room.notify_all();
}

size_t DSVCHistoryLoader::assemblySize() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_assembly.size();
}

size_t DSVCHistoryLoader::proxyCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_proxies.size();
}

DSVCHistoryLoader::ProxyList::iterator DSVCHistoryLoader::findProxy(int socket) {
    return std::find_if(m_proxies.begin(), m_proxies.end(),
                        [socket](auto const& p) { return p->socket == socket; });
}

void DSVCHistoryLoader::dsvcDataRecipient(int socket, uint64_t tag, void const* body,
                                          unsigned length) {
    if (m_stopping.load()) {
        return;
    }
    switch (tag) {
        case DSVC_TAG_SMPL:
            sample(socket, body, length);
            break;
        case DSVC_TAG_PAUS:
            paused(socket);
            break;
        case DSVC_TAG_STOP:
            stopped(socket);
            break;
        case DSVC_TAG_CONNECTED: {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = findProxy(socket);
            if (it != m_proxies.end()) {
                (*it)->connected = true;
            }
            break;
        }
        default:
            break;
    }
}

void DSVCHistoryLoader::sample(int socket, void const* body, unsigned length) {
    DSVCSampleView v{};
    if (body == nullptr || !parseDsvcSample(static_cast<uint8_t const*>(body), length, v)) {
        logger().logMessage("ReaderImpl::dsvcDataRecipient", vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_DSVC_CONNECTION_CLOSED, socket,
                            "SMPL с неверной длиной данных пропущен");
        return;
    }
    SampleInfo info = v.head;
    info.sequenceNumber = v.sequenceNumber;
    auto change = std::make_unique<CacheChange>(v.writer, &info);
    change->packedData.assign(v.data, v.data + v.dataLength);
    change->packedLength = static_cast<uint32_t>(v.dataLength);
    change->setData(change->packedData.empty() ? nullptr : change->packedData.data(), v.dataLength);
    change->setSequenceNumber(v.sequenceNumber);

    ProxyList removed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        logChange(vexares::RTPS_MSG_DSVC_HISTORICAL_SAMPLE, "ReaderImpl::addHistoricalChange",
                  m_logName, change.get());
        if (m_state.load() != LOADING || m_stopping.load()) {
            return;  // loading is over: stored samples come too late
        }
        auto proxy = findProxy(socket);
        if (proxy != m_proxies.end()) {
            SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
            DSVCWriterProgress* w = findWriter(**proxy, change->writerGUID);
            if (w == nullptr) {
                (*proxy)->writers.push_back({change->writerGUID, sn, SEQUENCENUMBER_NULL});
                w = &(*proxy)->writers.back();
            }
            if (isNull(w->lastHistorical) || w->lastHistorical < sn) {
                w->lastHistorical = sn;
            }
            if (w->followed && w->firstLive <= sn) {
                w->caughtUp = true;
            }
            if (caughtUp(**proxy)) {
                removeProxy(proxy, removed);
            }
        }
        if (insert(change.get(), "ReaderImpl::addHistoricalChange")) {
            change.release();
        }
        requestFlushIfNoServerLeft();
    }
    m_work.notify_all();
    stopChannels(removed);
}

void DSVCHistoryLoader::paused(int socket) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto proxy = findProxy(socket);
        if (proxy != m_proxies.end()) {
            (*proxy)->paused = true;
        }
        // Hand over only once every server ahead of this one has paused too.
        for (auto p = m_proxies.begin(); p != proxy; ++p) {
            if (!(*p)->paused) {
                return;
            }
        }
        if (m_state.load() != LOADING) {
            return;
        }
        uploadStep();
    }
    m_work.notify_all();
}

void DSVCHistoryLoader::stopped(int socket) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto proxy = findProxy(socket);
        if (proxy == m_proxies.end()) {
            return;
        }
        // Its channel has ended on its own: nothing to tell it.
        m_proxies.erase(proxy);
        logger().logMessage("ReaderImpl::dsvcDataRecipient", vexalog::Logger::SEV_DEBUG_2,
                            vexares::RTPS_MSG_DSVC_SERVER_STOPPED, m_logName.c_str(),
                            static_cast<unsigned>(m_proxies.size()));
        requestFlushIfNoServerLeft();
    }
    m_work.notify_all();
}

DSVCHistoryLoader::LiveVerdict DSVCHistoryLoader::addLiveChange(CacheChange* change) {
    if (change == nullptr) {
        return LiveVerdict::Dropped;
    }
    SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
    ProxyList removed;
    LiveVerdict verdict;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping.load()) {
            return LiveVerdict::Dropped;
        }
        uint32_t const state = m_state.load();
        if (state == NORMAL || state == LOADED) {
            // Live changes after loading are checked against what the flush handed over, not
            // only the first: a writer matched while the reader loaded repairs from where the
            // reader's proxy of it began, so its repeats of history come after newer changes.
            m_state = NORMAL;
            SequenceNumber_t const* mark = findMark(m_finalMarks, change->writerGUID);
            return mark != nullptr && sn <= *mark ? LiveVerdict::Dropped : LiveVerdict::Store;
        }
        logChange(vexares::RTPS_MSG_DSVC_LIVE_CHANGE, "ReaderImpl::addHistoricalChange", m_logName,
                  change);
        for (size_t i = 0; i < m_proxies.size();) {
            DSVCServerProxy& proxy = *m_proxies[i];
            DSVCWriterProgress* fresh = nullptr;
            DSVCWriterProgress* w = findWriter(proxy, change->writerGUID);
            if (w == nullptr) {
                proxy.writers.push_back({change->writerGUID, SEQUENCENUMBER_NULL, sn});
                w = fresh = &proxy.writers.back();
            } else if (!w->followed) {
                fresh = w;
            }
            if (!w->followed || w->firstLive >= sn) {
                w->firstLive = sn;
            }
            w->followed = true;
            if (!isNull(w->lastHistorical) && sn <= w->lastHistorical) {
                w->caughtUp = true;
            }
            if (caughtUp(proxy, fresh)) {
                removeProxy(m_proxies.begin() + static_cast<long>(i), removed);
            } else {
                ++i;
            }
        }
        verdict = insert(change, "ReaderImpl::addHistoricalChange") ? LiveVerdict::Taken
                                                                    : LiveVerdict::Dropped;
        requestFlushIfNoServerLeft();
    }
    m_work.notify_all();
    stopChannels(removed);
    return verdict;
}

bool DSVCHistoryLoader::insert(CacheChange* change, char const* module) {
    GUID_t const& writer = change->writerGUID;
    SequenceNumber_t const sn = change->sampleInfo.sequenceNumber;
    char const* dropped = nullptr;
    if (SequenceNumber_t const* mark = findMark(m_uploadMarks, writer)) {
        if (sn <= *mark) {
            dropped = "уже передано в историю, отброшено";
        }
    }
    // Only after what went to the history: walk back over the rest.
    size_t const low = static_cast<size_t>(m_lastUploaded + 1);
    size_t position = m_assembly.size();
    for (size_t i = m_assembly.size(); dropped == nullptr && i-- > low;) {
        CacheChange const* c = m_assembly[i];
        if (!almost_eq(c->writerGUID, writer)) {
            continue;
        }
        if (c->sampleInfo.sequenceNumber == sn) {
            dropped = "повтор, отброшен";
        } else if (c->sampleInfo.sequenceNumber < sn) {
            position = i + 1;
            break;
        } else {
            position = i;  // the earliest later change of this writer seen so far
        }
    }
    if (dropped != nullptr) {
        logger().logMessage(module, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DSVC_ASSEMBLY,
                            m_logName.c_str(), static_cast<unsigned long long>(m_assembly.size()),
                            sn.low, dropped);
        return false;
    }
    m_assembly.insert(m_assembly.begin() + static_cast<long>(position), change);
    logger().logMessage(module, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DSVC_ASSEMBLY,
                        m_logName.c_str(), static_cast<unsigned long long>(m_assembly.size()),
                        sn.low, INSERTED);
    return true;
}

void DSVCHistoryLoader::uploadStep() {
    size_t const first = static_cast<size_t>(m_lastUploaded + 1);
    size_t i = first;
    for (; i < m_assembly.size(); ++i) {
        CacheChange const* c = m_assembly[i];
        SequenceNumber_t const sn = c->sampleInfo.sequenceNumber;
        SequenceNumber_t* mark = findMark(m_uploadMarks, c->writerGUID);
        if (mark == nullptr) {
            m_uploadMarks.emplace_back(c->writerGUID, sn);
        } else if (*mark + 1 == sn) {
            *mark = sn;
        } else {
            break;  // a gap of this writer holds the run here
        }
    }
    if (i > first) {
        commit(i - 1);
    }
}

void DSVCHistoryLoader::commit(size_t last) {
    size_t const first = static_cast<size_t>(m_lastUploaded + 1);
    logger().logMessage(
        "ReaderImpl::uploadHistoricalData", vexalog::Logger::SEV_DEBUG_2,
        vexares::RTPS_MSG_DSVC_UPLOAD, m_logName.c_str(), static_cast<unsigned long long>(first),
        static_cast<unsigned long long>(last), static_cast<unsigned long long>(m_assembly.size()));
    m_lastUploaded = static_cast<int64_t>(last);
}

void DSVCHistoryLoader::removeProxy(ProxyList::iterator proxy, ProxyList& removed) {
    removed.push_back(std::move(*proxy));
    m_proxies.erase(proxy);
    logger().logMessage("ReaderImpl::removeDSVCServerProxy", vexalog::Logger::SEV_DEBUG_2,
                        vexares::RTPS_MSG_DSVC_SERVER_REMOVED, m_logName.c_str(),
                        static_cast<unsigned>(m_proxies.size()));
}

void DSVCHistoryLoader::stopChannels(ProxyList& removed) {
    for (auto const& proxy : removed) {
        proxy->client->sendSTOP();
        proxy->client->stop();
    }
}

void DSVCHistoryLoader::requestFlushIfNoServerLeft() {
    if (m_proxies.empty() && m_state.load() == LOADING) {
        m_flushRequested = true;
    }
}

void DSVCHistoryLoader::uploaderEntry(void* self) {
    static_cast<DSVCHistoryLoader*>(self)->uploader();
}

void DSVCHistoryLoader::uploader() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] {
            return m_stopping.load() || static_cast<int64_t>(m_stored) <= m_lastUploaded ||
                   m_flushRequested;
        });
        if (m_stopping.load()) {
            return;
        }
        if (static_cast<int64_t>(m_stored) <= m_lastUploaded) {
            // Nothing is ever inserted at or before m_lastUploaded, so the entry stays where
            // it is while the lock is released.
            CacheChange* change = m_assembly[m_stored];
            lock.unlock();
            if (!waitForRoom()) {
                return;
            }
            m_sink.storeHistorical(change);
            lock.lock();
            ++m_stored;
            continue;
        }
        // Flush: commit whatever is left, and once all of it is in the history, finish.
        if (m_assembly.size() > m_stored) {
            for (size_t i = m_stored; i < m_assembly.size(); ++i) {
                CacheChange const* c = m_assembly[i];
                SequenceNumber_t* mark = findMark(m_uploadMarks, c->writerGUID);
                if (mark == nullptr) {
                    m_uploadMarks.emplace_back(c->writerGUID, c->sampleInfo.sequenceNumber);
                } else if (*mark < c->sampleInfo.sequenceNumber) {
                    *mark = c->sampleInfo.sequenceNumber;
                }
            }
            commit(m_assembly.size() - 1);
            continue;
        }
        finishFlush();
        lock.unlock();
        m_sink.loadingEnded();
        return;
    }
}

bool DSVCHistoryLoader::waitForRoom() {
    std::unique_lock<std::mutex> lock(m_roomMutex);
    while (!m_stopping.load()) {
        if (m_sink.hasRoom()) {
            return true;
        }
        m_room.wait_for(lock, ROOM_RECHECK);
    }
    return false;
}

void DSVCHistoryLoader::finishFlush() {
    // Each writer's final mark is the number of its last change here, the highest.
    for (size_t i = m_assembly.size(); i-- > 0;) {
        CacheChange const* c = m_assembly[i];
        if (findMark(m_finalMarks, c->writerGUID) == nullptr) {
            m_finalMarks.emplace_back(c->writerGUID, c->sampleInfo.sequenceNumber);
        }
    }
    // Loans go back before the state changes: once it is no longer LOADING, the reader's
    // deleteChange gives back a loan of its own, and the change may be freed.
    for (CacheChange* c : m_assembly) {
        m_sink.releaseHistorical(c);
    }
    m_assembly.clear();
    m_assembly.shrink_to_fit();
    m_lastUploaded = -1;
    m_stored = 0;
    m_flushRequested = false;
    m_state = LOADED;
}

}  // namespace RTPS
