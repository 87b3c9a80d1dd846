#include "rtps/writer/ReaderProxy.h"

#include <algorithm>
#include <utility>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/writer/StatefulWriter.h"

namespace RTPS {

using Lock = std::lock_guard<std::recursive_mutex>;

namespace {

// Sequence-number order as one signed integer: high is signed, low unsigned.
int64_t orderOf(SequenceNumber_t const& sn) {
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(sn.high)) << 32) |
                                sn.low);
}

constexpr int64_t kNoneOwed = INT64_MAX;

}  // namespace

ReaderProxy::ReaderProxy(StatefulWriter* writer, GUID_t const& reader, RTPSOutSocket* unicast,
                         bool flag, bool reliable)
    : m_writer(writer),
      m_readerGUID(reader),
      m_unicastSocket(unicast),
      m_flag(flag),
      m_reliable(reliable) {}

ReaderProxy::~ReaderProxy() {
    {
        Lock lock(m_mutex);
        m_changes.clear();
    }
    // The uses the writer took for this reader's destinations.
    MessageComposer::release(m_unicastSocket);
    MessageComposer::release(m_multicastSocket.load());
}

void ReaderProxy::setMulticastSocket(RTPSOutSocket* socket) {
    MessageComposer::release(m_multicastSocket.exchange(socket));
}

uint64_t ReaderProxy::find(SequenceNumber_t const& sn, uint64_t from) const {
    if (from >= end()) {
        return end();
    }
    auto first = m_changes.begin() + static_cast<std::ptrdiff_t>(from - m_base);
    auto it = std::lower_bound(
        first, m_changes.end(), sn,
        [](ChangeForReader const& e, SequenceNumber_t const& s) { return e.sequenceNumber < s; });
    if (it == m_changes.end() || it->sequenceNumber != sn) {
        return end();
    }
    return m_base + static_cast<uint64_t>(it - m_changes.begin());
}

ChangeForReader* ReaderProxy::addChange(HistoryCache* history, CacheChange* change,
                                        ChangeForReaderStatusKind status, bool relevant) {
    if (history == nullptr || change == nullptr) {
        return nullptr;
    }
    Lock lock(m_mutex);
    if (!m_changes.empty() &&
        change->sampleInfo.sequenceNumber <= m_changes.back().sequenceNumber) {
        return nullptr;
    }
    const uint64_t index = end();
    ChangeForReader& entry = m_changes.emplace_back(history, change, status, relevant);
    m_allAcked = false;
    if (status == UNSENT) {
        if (!m_unsentPending) {
            m_firstUnsent = index;
        }
        m_unsentPending = true;
    } else if (status == UNACKNOWLEDGED) {
        m_unackedPresent = true;
    }
    if (!relevant && index == m_firstRelevant) {
        m_firstRelevant = index + 1;
    }
    publishAcked();
    return &entry;
}

std::vector<ChangeForReader*> ReaderProxy::unsent_changes() {
    std::vector<ChangeForReader*> out;
    unsent_changes(out);
    return out;
}

void ReaderProxy::unsent_changes(std::vector<ChangeForReader*>& out) {
    out.clear();
    if (!m_unsentPending) {
        return;
    }
    Lock lock(m_mutex);
    for (uint64_t i = m_firstUnsent; i < end(); ++i) {
        ChangeForReader* e = at(i);
        if (e->status == UNSENT) {
            e->status = UNDERWAY;
            out.push_back(e);
        }
    }
    m_unsentPending = false;
    m_firstUnsent = m_base;
}

std::vector<ChangeForReader*> ReaderProxy::requested_changes() {
    std::vector<ChangeForReader*> out;
    Lock lock(m_mutex);
    for (uint64_t i = m_firstNotAcked; i < end(); ++i) {
        ChangeForReader* e = at(i);
        if (e->status == REQUESTED) {
            e->status = UNDERWAY;
            out.push_back(e);
        }
    }
    return out;
}

void ReaderProxy::sentToBestEffort(ChangeForReader* entry) {
    if (entry == nullptr) {
        return;
    }
    entry->status = ACKNOWLEDGED;
    while (m_firstNotAcked < end() && at(m_firstNotAcked)->status == ACKNOWLEDGED) {
        ++m_firstNotAcked;
    }
    if (m_firstNotAcked >= end()) {
        m_allAcked = true;
    }
    publishAcked();
}

void ReaderProxy::unacked_changes_set(std::vector<ChangeForReader*> const& entries) {
    Lock lock(m_mutex);
    if (!m_reliable) {
        for (ChangeForReader* e : entries) {
            sentToBestEffort(e);
        }
        return;
    }
    for (ChangeForReader* e : entries) {
        if (e != nullptr && e->status != ACKNOWLEDGED) {
            e->status = UNACKNOWLEDGED;
        }
    }
    m_unackedPresent = true;
}

void ReaderProxy::unacked_changes_set(ChangeForReader* entry) {
    Lock lock(m_mutex);
    if (!m_reliable) {
        sentToBestEffort(entry);
        return;
    }
    if (entry != nullptr && entry->status != ACKNOWLEDGED) {
        entry->status = UNACKNOWLEDGED;
    }
    m_unackedPresent = true;
}

bool ReaderProxy::acked_changes_set(SequenceNumber_t const& base) {
    Lock lock(m_mutex);
    if (m_firstNotAcked >= end()) {
        m_unackedPresent = false;
        m_allAcked = true;
        return true;
    }
    bool unacked = false;
    for (uint64_t i = m_firstNotAcked; i < end(); ++i) {
        ChangeForReader* e = at(i);
        if (e->sequenceNumber < base) {
            e->status = ACKNOWLEDGED;
            m_firstNotAcked = i + 1;
        } else if (e->status == UNACKNOWLEDGED) {
            unacked = true;
        }
    }
    m_unackedPresent = unacked;
    if (m_firstNotAcked >= end()) {
        m_allAcked = true;
    }
    publishAcked();
    return m_allAcked;
}

void ReaderProxy::requested_changes_set(std::vector<SequenceNumber_t> const& requested) {
    Lock lock(m_mutex);
    for (SequenceNumber_t const& sn : requested) {
        const uint64_t i = find(sn, m_base);
        if (i == end()) {
            continue;
        }
        if (i < m_firstNotAcked) {
            // Acknowledged before and asked for again: the reader started over (it lost this
            // writer's participant and found it again), so what it had is due once more.
            m_firstNotAcked = i;
            m_allAcked = false;
        }
        ChangeForReader* e = at(i);
        e->status = REQUESTED;
        if (e->fragmentCount != 0 && !e->fragmentsRequested && e->fragmentStatus) {
            e->fragmentStatus[0] = REQUESTED;
        }
    }
    bool unacked = false;
    for (uint64_t i = m_firstNotAcked; i < end() && !unacked; ++i) {
        unacked = at(i)->status == UNACKNOWLEDGED;
    }
    m_unackedPresent = unacked;
    publishAcked();
}

void ReaderProxy::setIrrelevantAt(uint64_t index) {
    vexalog::Logger::getLogger().logMessage(
        "ReaderProxy::setIrrelevant", vexalog::Logger::SEV_DEBUG_2,
        vexares::RTPS_MSG_PROXY_CHANGE_IRRELEVANT, static_cast<unsigned long long>(index),
        static_cast<unsigned long long>(m_firstRelevant));
    at(index)->relevant = false;
    if (index == m_firstRelevant) {
        uint64_t next = index + 1;
        while (next < end() && !at(next)->relevant) {
            ++next;
        }
        m_firstRelevant = next;
    }
}

void ReaderProxy::setIrrelevant(SequenceNumber_t const& sn) {
    Lock lock(m_mutex);
    const uint64_t i = find(sn, m_firstRelevant);
    if (i != end()) {
        setIrrelevantAt(i);
    }
}

void ReaderProxy::removeChange(SequenceNumber_t const& sn) {
    Lock lock(m_mutex);
    // Readers acknowledge in order, so the change that goes is nearly always the oldest: it
    // leaves from the front without a search.
    if (!m_changes.empty() && m_changes.front().sequenceNumber == sn) {
        m_changes.front().relevant = false;
        m_changes.front().releaseChange();
        dropRemovedFront();
        return;
    }
    const uint64_t i = find(sn, m_base);
    if (i == end()) {
        return;
    }
    if (i >= m_firstRelevant && at(i)->relevant) {
        setIrrelevantAt(i);
    }
    at(i)->relevant = false;
    at(i)->releaseChange();
    dropRemovedFront();
}

void ReaderProxy::dropRemovedFront() {
    while (!m_changes.empty() && m_changes.front().change == nullptr) {
        m_changes.pop_front();
        ++m_base;
    }
    m_firstUnsent = std::max(m_firstUnsent, m_base);
    m_firstNotAcked = std::max(m_firstNotAcked, m_base);
    if (m_firstRelevant < m_base) {
        // The first relevant entry may have left with the front: look on from the new front.
        m_firstRelevant = m_base;
        while (m_firstRelevant < end() && !at(m_firstRelevant)->relevant) {
            ++m_firstRelevant;
        }
    }
    publishAcked();
}

void ReaderProxy::publishAcked() {
    m_owedFrom.store(
        m_firstNotAcked < end() ? orderOf(at(m_firstNotAcked)->sequenceNumber) : kNoneOwed,
        std::memory_order_release);
}

void ReaderProxy::getRelevantRange(SequenceNumber_t& first, SequenceNumber_t& last) {
    Lock lock(m_mutex);
    if (m_firstRelevant < end()) {
        first = at(m_firstRelevant)->sequenceNumber;
        last = m_changes.back().sequenceNumber;
    } else {
        first = SEQUENCENUMBER_NULL;
        last = SEQUENCENUMBER_NULL;
    }
}

bool ReaderProxy::checkAcknowledged(SequenceNumber_t const& sn) {
    if (m_allAcked) {
        return true;
    }
    const int64_t owed = m_owedFrom.load(std::memory_order_acquire);
    return owed == kNoneOwed || orderOf(sn) < owed;
}

ChangeForReaderStatusKind ReaderProxy::getFragmentStatus(ChangeForReader* entry, uint32_t index) {
    Lock lock(m_mutex);
    if (entry == nullptr || !entry->fragmentStatus || index >= entry->fragmentCount) {
        return UNACKNOWLEDGED;
    }
    return static_cast<ChangeForReaderStatusKind>(entry->fragmentStatus[index]);
}

void ReaderProxy::setFragmentStatus(ChangeForReader* entry, uint32_t index,
                                    ChangeForReaderStatusKind status) {
    Lock lock(m_mutex);
    if (entry != nullptr && entry->fragmentStatus && index < entry->fragmentCount) {
        entry->fragmentStatus[index] = status;
    }
}

void ReaderProxy::setFragmentsRequested(SequenceNumber_t const& sn, FragmentNumberSet const& set) {
    Lock lock(m_mutex);
    const uint64_t i = find(sn, m_firstNotAcked);
    if (i == end()) {
        return;
    }
    ChangeForReader* e = at(i);
    e->fragmentsRequested = true;
    // Fragment numbers on the wire count from 1; a base of 0 names no fragment.
    if (set.bitmapBase == 0 || !e->fragmentStatus) {
        return;
    }
    const uint32_t f0 = set.bitmapBase - 1;
    if (f0 >= e->fragmentCount || set.numBits == 0) {
        return;
    }
    for (uint32_t j = 0; j < set.numBits && j < e->fragmentCount - f0; ++j) {
        if (set.isSet(j)) {
            e->fragmentStatus[f0 + j] = REQUESTED;
        }
    }
}

void ReaderProxy::holdSuppressed(uint64_t token, std::vector<SequenceNumber_t> sent) {
    Lock lock(m_mutex);
    m_suppressed[token] = std::move(sent);
}

bool ReaderProxy::releaseSuppressed(uint64_t token) {
    Lock lock(m_mutex);
    auto it = m_suppressed.find(token);
    if (it == m_suppressed.end()) {
        return false;
    }
    // Only what is still on its way: an entry acknowledged or asked for again meanwhile keeps
    // its newer state.
    for (SequenceNumber_t const& sn : it->second) {
        const uint64_t i = find(sn, m_firstNotAcked);
        if (i != end() && at(i)->status == UNDERWAY) {
            at(i)->status = UNACKNOWLEDGED;
        }
    }
    m_suppressed.erase(it);
    m_unackedPresent = true;
    return true;
}

uint32_t ReaderProxy::nextHeartbeatCount() {
    Lock lock(m_mutex);
    m_heartbeatCount = m_writer != nullptr ? m_writer->nextHeartbeatCount() : m_heartbeatCount + 1;
    return m_heartbeatCount;
}

bool ReaderProxy::acceptAckNackCount(uint32_t count) {
    Lock lock(m_mutex);
    return m_ackNackCount.accept(count);
}

bool ReaderProxy::acceptNackFragCount(uint32_t count) {
    Lock lock(m_mutex);
    return m_nackFragCount.accept(count);
}

size_t ReaderProxy::entryCount() {
    Lock lock(m_mutex);
    return m_changes.size();
}

}  // namespace RTPS
