#include "rtps/history/HistoryCache.h"

#include <algorithm>
#include <utility>

namespace RTPS {

namespace {

bool isNumber(SequenceNumber_t const& sn) {
    return sn != SEQUENCENUMBER_NULL && sn != SEQUENCENUMBER_UNKNOWN;
}

void raiseLoan(CacheChange* c) {
    uint32_t n = c->loanCount.load();
    if (n != 0xFFFFFFFFu) {
        c->loanCount.store(n + 1);
    }
}

void lowerLoan(CacheChange* c) {
    uint32_t n = c->loanCount.load();
    if (n != 0) {
        c->loanCount.store(n - 1);
    }
}

}  // namespace

HistoryCache::HistoryCache(uint32_t reserveHint) {
    reserve(reserveHint);
}

HistoryCache::~HistoryCache() {
    std::vector<CacheChange*> all(m_list.begin(), m_list.end());
    all.insert(all.end(), m_garbage.begin(), m_garbage.end());
    m_list.clear();
    m_withdrawn.clear();
    m_garbage.clear();
    countOwned();
    freeChanges(all);
}

void HistoryCache::setUserBufferReleaser(std::function<void(UserInputBuffer*)> releaser) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_releaser = std::move(releaser);
}

void HistoryCache::freeChanges(std::vector<CacheChange*>& changes) {
    if (changes.empty()) {
        return;
    }
    // Set before the first change was added, and every change to free has been under the
    // mutex since: read without it.
    for (CacheChange* c : changes) {
        UserInputBuffer* buffer = c->userBuffer;
        delete c;
        if (buffer != nullptr && m_releaser) {
            m_releaser(buffer);
        }
    }
    changes.clear();
}

void HistoryCache::reserve(uint32_t) {
    // Nothing is sized ahead: the indexes are trees and the list, all of them node by node.
}

size_t HistoryCache::add_change(CacheChange* c) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (c == nullptr || c->m_heldBy != nullptr) {
        return m_list.size();
    }
    if (c->sampleInfo.sequenceNumber == SEQUENCENUMBER_UNKNOWN) {
        c->sampleInfo.sequenceNumber = m_nextSequenceNumber;
        m_seqNumMax = m_nextSequenceNumber;
        ++m_nextSequenceNumber;
        if (m_seqNumMin == SEQUENCENUMBER_NULL) {
            m_seqNumMin = m_seqNumMax;
        }
    }
    auto it = m_list.insert(m_list.end(), c);
    m_heldCount.store(m_list.size());
    const uint64_t order = m_nextOrder++;
    // Numbers mostly grow: the end is the place, and equal numbers stay in list order.
    c->m_heldNumber =
        m_bySequence.emplace_hint(m_bySequence.end(), c->sampleInfo.sequenceNumber, it);
    c->m_heldBy = this;
    c->m_heldAt = it;
    c->m_heldOrder = order;
    if (m_byRecordKept) {
        m_byRecord.emplace(&c->sampleInfo, c);
    }
    c->m_listedWithdrawn = false;
    if (c->removalRequested) {
        listWithdrawn(c);
    }
    countOwned();
    return m_list.size();
}

void HistoryCache::listWithdrawn(CacheChange* c) {
    if (c->m_listedWithdrawn) {
        return;
    }
    // Changes are mostly withdrawn in the order they came: the end is the place.
    c->m_heldWithdrawn = m_withdrawn.emplace_hint(m_withdrawn.end(), c->m_heldOrder, c);
    c->m_listedWithdrawn = true;
}

HistoryCache::List::iterator HistoryCache::findFirst(SequenceNumber_t const& sn) {
    if (!isNumber(sn)) {
        return m_list.end();
    }
    auto it = m_bySequence.find(sn);  // the first of equal numbers, in insertion order
    return it == m_bySequence.end() ? m_list.end() : it->second;
}

void HistoryCache::takeOut(List::iterator it, std::vector<CacheChange*>& freed) {
    CacheChange* c = *it;
    if (m_list.size() == 1) {
        m_seqNumMin = SEQUENCENUMBER_NULL;
        m_seqNumMax = SEQUENCENUMBER_NULL;
    } else if (it == m_list.begin()) {
        m_seqNumMin = (*std::next(it))->sampleInfo.sequenceNumber;
    } else if (std::next(it) == m_list.end()) {
        m_seqNumMax = (*std::prev(it))->sampleInfo.sequenceNumber;
    }
    m_bySequence.erase(c->m_heldNumber);
    if (c->m_listedWithdrawn) {
        m_withdrawn.erase(c->m_heldWithdrawn);
        c->m_listedWithdrawn = false;
    }
    c->m_heldBy = nullptr;
    if (m_byRecordKept) {
        m_byRecord.erase(&c->sampleInfo);
    }
    m_list.erase(it);
    m_heldCount.store(m_list.size());
    if (c->loanCount.load() == 0) {
        freed.push_back(c);
    } else {
        m_garbage.insert(c);
    }
    countOwned();
}

uint32_t HistoryCache::remove_change(CacheChange* c) {
    if (c == nullptr) {
        return 0xFFFFFFFFu;
    }
    std::vector<CacheChange*> freed;
    uint32_t loans;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        loans = c->loanCount.load();
        if (c->m_heldBy == this) {
            takeOut(c->m_heldAt, freed);
        }
    }
    freeChanges(freed);
    return loans;
}

UserInputBuffer* HistoryCache::remove_change(SequenceNumber_t const& sn) {
    std::vector<CacheChange*> freed;
    UserInputBuffer* buffer;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        auto it = findFirst(sn);
        if (it == m_list.end()) {
            return nullptr;
        }
        buffer = (*it)->userBuffer;
        takeOut(it, freed);
    }
    freeChanges(freed);
    return buffer;
}

CacheChange* HistoryCache::get_change(SequenceNumber_t const& sn) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = findFirst(sn);
    if (it == m_list.end()) {
        return nullptr;
    }
    raiseLoan(*it);
    return *it;
}

CacheChange* HistoryCache::findByRecord(SampleInfo const* info) {
    if (!m_byRecordKept) {
        // The first look-up by record builds the index; the writes before it paid nothing.
        for (CacheChange* c : m_list) {
            m_byRecord.emplace(&c->sampleInfo, c);
        }
        m_byRecordKept = true;
    }
    auto found = m_byRecord.find(info);
    return found == m_byRecord.end() ? nullptr : found->second;
}

CacheChange* HistoryCache::get_change(SampleInfo const* info) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return findByRecord(info);
}

bool HistoryCache::removeByRecord(SampleInfo const* info, bool endLoan) {
    std::vector<CacheChange*> freed;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        CacheChange* c = findByRecord(info);
        if (c == nullptr) {
            return false;
        }
        if (endLoan) {
            lowerLoan(c);
        }
        takeOut(c->m_heldAt, freed);
    }
    freeChanges(freed);
    return true;
}

uint32_t HistoryCache::get_change(CacheChange* c) {
    if (c == nullptr) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    raiseLoan(c);
    return c->loanCount.load();
}

void HistoryCache::free_change(CacheChange* c) {
    if (c == nullptr) {
        return;
    }
    std::vector<CacheChange*> freed;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        lowerLoan(c);
        if (c->loanCount.load() == 0 && m_garbage.erase(c) != 0) {
            freed.push_back(c);  // the last loan of a change already taken out
            countOwned();
        }
    }
    freeChanges(freed);
}

void HistoryCache::free_change(SequenceNumber_t const& sn) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = findFirst(sn);
    if (it != m_list.end()) {
        lowerLoan(*it);
    }
}

bool HistoryCache::check_change(CacheChange* c) {
    if (c == nullptr) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return c->loanCount.load() != 0;
}

CacheChange* HistoryCache::getEarliestChange() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_list.empty() ? nullptr : m_list.front();
}

SequenceNumber_t HistoryCache::getEarliestChangeNum() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_list.empty() ? SEQUENCENUMBER_UNKNOWN : m_list.front()->sampleInfo.sequenceNumber;
}

bool HistoryCache::removalRequest(SequenceNumber_t const& sn) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = findFirst(sn);
    if (it == m_list.end()) {
        return false;
    }
    CacheChange* c = *it;
    c->removalRequested = true;
    listWithdrawn(c);
    return true;
}

void HistoryCache::getRemovalRequested(std::vector<CacheChange*>* out, unsigned long max) {
    if (out == nullptr) {
        return;
    }
    out->clear();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto const& w : m_withdrawn) {
        if (max != 0 && out->size() >= max) {
            break;
        }
        out->push_back(w.second);
    }
}

void HistoryCache::getRemovalRequested(std::vector<SequenceNumber_t>& out, unsigned long max) {
    out.clear();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto const& w : m_withdrawn) {
        if (max != 0 && out.size() >= max) {
            break;
        }
        out.push_back(w.second->sampleInfo.sequenceNumber);
    }
}

void HistoryCache::getNotRemovalRequested(std::vector<CacheChange*>* out) {
    if (out == nullptr) {
        return;
    }
    out->clear();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (CacheChange* c : m_list) {
        if (!c->removalRequested) {
            out->push_back(c);
        }
    }
}

void HistoryCache::upload(std::vector<CacheChange*>& out) {
    std::lock_guard<std::recursive_mutex> upload(m_uploadMutex);
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    out.assign(m_list.begin(), m_list.end());
}

void HistoryCache::resetMulticasted() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (CacheChange* c : m_list) {
        c->multicasted = false;
    }
}

unsigned long HistoryCache::removeGarbage(unsigned long max) {
    std::vector<CacheChange*> freed;
    size_t left;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        for (auto it = m_garbage.begin(); it != m_garbage.end();) {
            if (max != 0 && freed.size() >= max) {
                break;
            }
            if ((*it)->loanCount.load() == 0) {
                freed.push_back(*it);
                it = m_garbage.erase(it);
            } else {
                ++it;
            }
        }
        left = m_garbage.size();
        countOwned();
    }
    freeChanges(freed);
    return left;
}

size_t HistoryCache::garbageSize() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_garbage.size();
}

SequenceNumber_t HistoryCache::getSeqNumMin() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_seqNumMin;
}

SequenceNumber_t HistoryCache::getSeqNumMax() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_seqNumMax;
}

SequenceNumber_t HistoryCache::getNextSequenceNumber() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_nextSequenceNumber;
}

}  // namespace RTPS
