#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "rtps/wire/Locator.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class CacheChange;
class HistoryCache;
class RTPSOutSocket;

// One destination of a best-effort writer: the socket that reaches it and the queue of the
// writer's changes not yet sent there, oldest first.
//
// Every queued change holds one loan from the writer's history, taken when it is queued and
// given back when it leaves the queue (removed, refilled away or destroyed with the locator),
// so the history never frees a change a queue still names. next_unsent_change hands its loan
// to the caller, who gives it back once the change is sent.
//
// The queue mutex is a leaf apart from the history's change mutex, which loans take under it.
class ReaderLocator {
public:
    // `history` is the writer's and outlives the locator; the locator takes over one use of
    // `socket` (MessageComposer::getSocket) and releases it when it goes.
    ReaderLocator(RTPSOutSocket* socket, bool multicast, HistoryCache* history);
    // Gives back the loans of whatever is still queued.
    ~ReaderLocator();

    ReaderLocator(ReaderLocator const&) = delete;
    ReaderLocator& operator=(ReaderLocator const&) = delete;

    RTPSOutSocket* getSocket() const { return m_socket; }
    Locator_t const& getLocator() const { return m_locator; }
    bool isMulticast() const { return m_multicast; }
    bool hasUnsent() const { return m_hasUnsent.load(); }

    // The oldest queued change, off the queue with its loan; null when nothing is queued.
    CacheChange* next_unsent_change();
    // Queues the change, taking a loan on it.
    void add_unsent_change(CacheChange* change);
    // Drops every queued change with that number.
    void remove_unsent_change(SequenceNumber_t const& sn);
    // Replaces the queue by the listed changes whose removal was not requested.
    void refillUnsent(std::vector<CacheChange*> const& changes);
    size_t unsentCount();

    // Scratch mark of the writer's matching sweep; touched under the writer's locator mutex.
    bool matched = false;

private:
    // Gives back the loans of the changes taken off the queue; outside the queue mutex.
    void release(std::vector<CacheChange*> const& changes);

    RTPSOutSocket* const m_socket;
    const Locator_t m_locator;
    const bool m_multicast;
    HistoryCache* const m_history;

    std::mutex m_mutex;
    std::deque<CacheChange*> m_unsent;
    std::atomic<bool> m_hasUnsent{false};
};

}  // namespace RTPS
