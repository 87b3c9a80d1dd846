#include "rtps/writer/ReaderLocator.h"

#include <algorithm>

#include "rtps/history/CacheChange.h"
#include "rtps/history/HistoryCache.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/io/RTPSOutSocket.h"

namespace RTPS {

namespace {

Locator_t locatorOf(RTPSOutSocket* socket) {
    return socket != nullptr ? socket->getLocator() : _LOCATOR_INVALID;
}

}  // namespace

ReaderLocator::ReaderLocator(RTPSOutSocket* socket, bool multicast, HistoryCache* history)
    : m_socket(socket), m_locator(locatorOf(socket)), m_multicast(multicast), m_history(history) {}

ReaderLocator::~ReaderLocator() {
    std::vector<CacheChange*> left;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        left.assign(m_unsent.begin(), m_unsent.end());
        m_unsent.clear();
        m_hasUnsent = false;
    }
    release(left);
    MessageComposer::release(m_socket);  // the use taken for this locator
}

void ReaderLocator::release(std::vector<CacheChange*> const& changes) {
    for (CacheChange* c : changes) {
        m_history->free_change(c);
    }
}

CacheChange* ReaderLocator::next_unsent_change() {
    if (!m_hasUnsent) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unsent.empty()) {
        m_hasUnsent = false;
        return nullptr;
    }
    CacheChange* c = m_unsent.front();
    m_unsent.pop_front();
    m_hasUnsent = !m_unsent.empty();
    return c;
}

void ReaderLocator::add_unsent_change(CacheChange* change) {
    if (change == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_history->get_change(change);
    m_unsent.push_back(change);
    m_hasUnsent = true;
}

void ReaderLocator::remove_unsent_change(SequenceNumber_t const& sn) {
    std::vector<CacheChange*> gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto keep = std::stable_partition(m_unsent.begin(), m_unsent.end(), [&](CacheChange* c) {
            return c->sampleInfo.sequenceNumber != sn;
        });
        gone.assign(keep, m_unsent.end());
        m_unsent.erase(keep, m_unsent.end());
        m_hasUnsent = !m_unsent.empty();
    }
    release(gone);
}

void ReaderLocator::refillUnsent(std::vector<CacheChange*> const& changes) {
    std::vector<CacheChange*> gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        gone.assign(m_unsent.begin(), m_unsent.end());
        m_unsent.clear();
        for (CacheChange* c : changes) {
            if (c != nullptr && !c->removalRequested) {
                m_history->get_change(c);
                m_unsent.push_back(c);
            }
        }
        m_hasUnsent = !m_unsent.empty();
    }
    release(gone);
}

size_t ReaderLocator::unsentCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unsent.size();
}

}  // namespace RTPS
