#include "rtps/reader/WriterProxy.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "rtps/history/CacheChange.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/reader/StatefulReader.h"

namespace RTPS {

namespace {

// Done numbers leave the window; missing, held and delivering ones keep it open.
bool isDone(uint8_t state) {
    return state == WriterProxy::LOST || state == WriterProxy::RECEIVED ||
           state == WriterProxy::IRRELEVANT;
}

}  // namespace

WriterProxy::WriterProxy(StatefulReader* owner, GUID_t const& writer, RTPSOutSocket* socket)
    : m_owner(owner), m_writer(writer), m_socket(socket) {}

WriterProxy::~WriterProxy() {
    MessageComposer::release(m_socket);  // the use makeProxy took
}

uint32_t WriterProxy::nextAckNackCount() {
    return m_owner != nullptr ? m_owner->nextAckNackCount() : ++m_ackNackCount;
}

bool WriterProxy::valueOf(SequenceNumber_t sn, uint64_t& value) {
    if (sn.high < 0) {
        return false;
    }
    value = (uint64_t{static_cast<uint32_t>(sn.high)} << 32) | sn.low;
    return true;
}

SequenceNumber_t WriterProxy::sequenceOf(uint64_t value) {
    return SequenceNumber_t{static_cast<int32_t>(value >> 32), static_cast<uint32_t>(value)};
}

void WriterProxy::updateTo(uint64_t last, State fill) {
    uint64_t const highest = m_base + m_states.size() - 1;
    if (last <= highest) {
        return;
    }
    if (last - m_base + 1 > MAX_WINDOW) {
        // Slide: what would fall out of the window is declared lost, held changes with it.
        uint64_t const newBase = last - MAX_WINDOW + 1;
        uint64_t const drop = std::min<uint64_t>(newBase - m_base, m_states.size());
        m_states.erase(m_states.begin(), m_states.begin() + static_cast<std::ptrdiff_t>(drop));
        m_base = newBase;
        dropHeldBelowBase();
    }
    uint64_t const from = m_base + m_states.size();
    m_states.insert(m_states.end(), last - from + 1, fill);
}

void WriterProxy::dropHeldBelowBase() {
    auto const end = m_held.lower_bound(m_base);
    for (auto it = m_held.begin(); it != end; ++it) {
        m_heldBytes -= it->second.cost;
    }
    m_held.erase(m_held.begin(), end);
}

void WriterProxy::loseBelow(uint64_t first) {
    if (first <= m_base) {
        return;
    }
    uint64_t const span = std::min<uint64_t>(first - m_base, m_states.size());
    bool waiting = false;
    for (uint64_t i = 0; i < span; ++i) {
        uint8_t& s = m_states[i];
        if (s == MISSING) {
            s = LOST;
        } else if (s == HELD || s == DELIVERING) {
            waiting = true;
        }
    }
    if (!waiting) {
        m_states.erase(m_states.begin(), m_states.begin() + static_cast<std::ptrdiff_t>(span));
        m_base = first;  // everything below first is done
        return;
    }
    // What arrived below first still goes out in order; the numbers up to it are done.
    updateTo(first - 1, LOST);
}

void WriterProxy::setState(uint64_t value, State state) {
    if (value < m_base) {
        return;
    }
    updateTo(value);
    if (value < m_base) {
        return;  // slid out of the window
    }
    uint8_t& s = m_states[value - m_base];
    if (s == MISSING) {
        s = state;
    }
}

void WriterProxy::advance() {
    while (!m_states.empty() && isDone(m_states.front())) {
        m_states.pop_front();
        ++m_base;
    }
    bool const delivered = m_states.empty();
    if (delivered && !m_allDelivered) {
        m_allDelivered = true;
        if (m_owner != nullptr) {
            m_owner->reportAllDelivered();
        }
    } else if (!delivered) {
        m_allDelivered = false;
    }
}

bool WriterProxy::received_change_check(SequenceNumber_t sn) {
    uint64_t value;
    if (!valueOf(sn, value) || value == 0) {
        return true;
    }
    if (value < m_base) {
        return true;
    }
    uint64_t const index = value - m_base;
    return index < m_states.size() && m_states[index] != MISSING;
}

void WriterProxy::received_change_set(SequenceNumber_t sn) {
    uint64_t value;
    if (!valueOf(sn, value) || value == 0) {
        return;
    }
    setState(value, RECEIVED);
    advance();
}

uint64_t WriterProxy::newTurn() {
    // Process-wide, so a proxy that replaced this one never takes this one's turn for its own.
    static std::atomic<uint64_t> turns{0};
    m_turn = ++turns;
    return m_turn;
}

WriterProxy::Offer WriterProxy::offer(CacheChange* change, SequenceNumber_t sn, uint64_t& turn) {
    uint64_t value;
    if (change == nullptr || !valueOf(sn, value) || value == 0) {
        return Offer::Refused;
    }
    if (value < m_base) {
        return Offer::Refused;
    }
    updateTo(value);
    if (value < m_base) {
        return Offer::Refused;  // slid out of the window
    }
    uint8_t& s = m_states[value - m_base];
    if (s != MISSING) {
        return Offer::Refused;
    }
    if (value == m_base && m_turn == 0) {
        s = DELIVERING;
        turn = newTurn();
        m_allDelivered = false;
        return Offer::Deliver;
    }
    uint64_t const cost = sizeof(CacheChange) + change->sampleInfo.length;
    if (m_held.size() >= MAX_HELD || m_heldBytes + cost > MAX_HELD_BYTES) {
        return Offer::Refused;
    }
    s = HELD;
    m_allDelivered = false;
    m_held[value] = Held{std::unique_ptr<CacheChange>(change), cost};
    m_heldBytes += cost;
    return Offer::Held;
}

CacheChange* WriterProxy::claimDue(uint64_t& value, uint64_t& turn) {
    if (m_turn != 0 || m_states.empty() || m_states.front() != HELD) {
        return nullptr;
    }
    auto it = m_held.find(m_base);
    if (it == m_held.end()) {
        m_states.front() = MISSING;  // cannot happen: a held number always has its change
        return nullptr;
    }
    CacheChange* change = it->second.change.release();
    m_heldBytes -= it->second.cost;
    m_held.erase(it);
    m_states.front() = DELIVERING;
    turn = newTurn();
    value = m_base;
    return change;
}

CacheChange* WriterProxy::delivered(uint64_t& turn, SequenceNumber_t sn, bool settled,
                                    SequenceNumber_t& next) {
    uint64_t value = 0;
    bool const valid = valueOf(sn, value);
    if (turn == 0 || turn != m_turn) {
        return nullptr;
    }
    m_turn = 0;
    if (valid && value >= m_base && value - m_base < m_states.size()) {
        uint8_t& s = m_states[value - m_base];
        if (s == DELIVERING) {
            s = settled ? RECEIVED : MISSING;
        }
    }
    advance();
    uint64_t due = 0;
    CacheChange* change = claimDue(due, turn);
    if (change != nullptr) {
        next = sequenceOf(due);
    }
    return change;
}

CacheChange* WriterProxy::takeDue(SequenceNumber_t& sn, uint64_t& turn) {
    uint64_t due = 0;
    CacheChange* change = claimDue(due, turn);
    if (change != nullptr) {
        sn = sequenceOf(due);
    }
    return change;
}

size_t WriterProxy::heldCount() {
    return m_held.size();
}

void WriterProxy::missing_changes_update(SequenceNumber_t last) {
    uint64_t value;
    if (!valueOf(last, value)) {
        return;
    }
    updateTo(value);
    advance();
}

void WriterProxy::lost_changes_update(SequenceNumber_t first) {
    uint64_t value;
    if (!valueOf(first, value)) {
        return;
    }
    loseBelow(value);
    advance();
}

bool WriterProxy::irrelevant_change_set(SequenceNumber_t gapStart,
                                        SequenceNumberSet const& gapList) {
    uint64_t start;
    uint64_t listBase;
    if (!valueOf(gapStart, start) || !valueOf(gapList.bitmapBase, listBase) || start == 0 ||
        listBase == 0 || gapList.numBits > MAX_SET_BITS) {
        return false;
    }
    updateTo(listBase + gapList.numBits - 1);
    // Only numbers inside the window can change, however wide the GAP is.
    uint64_t const end = std::min<uint64_t>(listBase, m_base + m_states.size());
    for (uint64_t s = std::max(start, m_base); s < end; ++s) {
        setState(s, IRRELEVANT);
    }
    for (uint32_t i = 0; i < gapList.numBits; ++i) {
        if (gapList.isSet(i)) {
            setState(listBase + i, IRRELEVANT);
        }
    }
    advance();
    return true;
}

void WriterProxy::missing_changes(SequenceNumberSet& set) {
    set = SequenceNumberSet{};
    set.bitmapBase = sequenceOf(m_base);
    uint64_t const n = std::min<uint64_t>(m_states.size(), MAX_SET_BITS);
    set.numBits = static_cast<uint32_t>(n);
    for (uint32_t i = 0; i < set.numBits; ++i) {
        if (m_states[i] == MISSING) {
            set.set(i);
        }
    }
}

WriterProxy::HeartbeatVerdict WriterProxy::heartbeat(HeartbeatData const& heartbeat) {
    bool const hasFirst = heartbeat.firstSN != SEQUENCENUMBER_UNKNOWN;
    bool const hasLast = heartbeat.lastSN != SEQUENCENUMBER_UNKNOWN;
    uint64_t first = 0;
    uint64_t last = 0;
    if ((hasFirst && !valueOf(heartbeat.firstSN, first)) ||
        (hasLast && !valueOf(heartbeat.lastSN, last)) ||
        (hasFirst && hasLast && first > last + 1)) {
        return HeartbeatVerdict::Invalid;
    }
    if (!m_heartbeatCount.accept(heartbeat.count)) {
        return HeartbeatVerdict::Old;
    }
    if (hasLast) {
        updateTo(last);
    }
    if (hasFirst) {
        loseBelow(first);
    }
    advance();
    if (!heartbeat.finalFlag) {
        m_responseRequired = true;
    }
    return HeartbeatVerdict::Taken;
}

bool WriterProxy::scheduleResponse() {
    if (m_responsePending) {
        return false;
    }
    m_responsePending = true;
    return true;
}

AckNAckData* WriterProxy::makeAckNack(GUID_t const& reader) {
    SequenceNumberSet set;
    missing_changes(set);
    m_responsePending = false;
    bool const nothingMissing = set.numBits == 0 || m_states.empty();
    if (!m_responseRequired && nothingMissing) {
        return nullptr;
    }
    m_responseRequired = false;
    auto* acknack = new AckNAckData;
    acknack->readerGUID = reader;
    acknack->writerGUID = m_writer;
    acknack->readerSNState = set;
    acknack->count = nextAckNackCount();
    acknack->finalFlag = nothingMissing;
    return acknack;
}

AckNAckData* WriterProxy::makePreemptiveAckNack(GUID_t const& reader) {
    auto* acknack = new AckNAckData;
    acknack->readerGUID = reader;
    acknack->writerGUID = m_writer;
    acknack->readerSNState = SequenceNumberSet{};
    acknack->readerSNState.bitmapBase = sequenceOf(m_base);
    acknack->count = nextAckNackCount();
    acknack->finalFlag = false;
    m_answerAtOnce = true;
    return acknack;
}

bool WriterProxy::takeAnswerAtOnce() {
    return std::exchange(m_answerAtOnce, false);
}

bool WriterProxy::allDelivered() {
    return m_states.empty();
}

uint64_t WriterProxy::windowSize() {
    return m_states.size();
}

uint64_t WriterProxy::base() {
    return m_base;
}

uint64_t WriterProxy::highest() {
    return m_base + m_states.size() - 1;
}

}  // namespace RTPS
