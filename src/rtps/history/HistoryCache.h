#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/history/NodeArena.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class UserInputBuffer;

// The changes of one writer or reader in insertion order, with indexes by sequence number, by
// sample record and of the changes marked for removal, so that no lookup, removal or look for
// withdrawn changes walks the whole history. A change taken out is freed at once when nobody
// holds a loan on it; a loaned one waits in the garbage list and is freed by the free_change
// that ends its last loan, so memory follows what is really held.
//
// The indexes take their nodes from the history's own arena, so that adding and taking out a
// change allocates nothing once the history has been as long before. A held change carries its
// own place in the list and in each index, so that a caller holding the change pointer costs
// no lookup and taking it out searches no index; a change is held by one history at a time.
//
// Owns every change given to add_change. Lock order: upload mutex, then the change mutex (which
// also guards the garbage list). Loan counts change only under the change mutex. Changes are
// freed, and the user buffer releaser called, after the change mutex is released.
class HistoryCache {
public:
    explicit HistoryCache(uint32_t reserveHint = 0);
    // Frees every change of both lists, loaned or not.
    ~HistoryCache();

    HistoryCache(HistoryCache const&) = delete;
    HistoryCache& operator=(HistoryCache const&) = delete;

    // Called with the user buffer of every change that is freed, outside the history's locks;
    // it must outlive the history. Set before the first change is added.
    void setUserBufferReleaser(std::function<void(UserInputBuffer*)> releaser);

    // Appends the change; one with an unknown sequence number gets the next number of this
    // history. Returns the number of changes held. A change that is already held is not added
    // again.
    size_t add_change(CacheChange* c);

    // Takes the change out when it is held (freeing it at once when it has no loan); returns
    // its loan count as it was taken out (0xFFFFFFFF for null).
    uint32_t remove_change(CacheChange* c);
    // Takes the first change with that number out, as above; returns its user buffer, which
    // stays the change's until the change is freed (a value to compare only: it may be gone by
    // the time the caller looks). Null when there is none.
    UserInputBuffer* remove_change(SequenceNumber_t const& sn);

    // The first change with that number with one more loan, or null.
    CacheChange* get_change(SequenceNumber_t const& sn);
    // The held change whose record is at that address, or null; no loan is taken. The address
    // index this needs is built by the first such look-up and kept from then on, so that
    // histories never looked up by record pay nothing for it per change.
    CacheChange* get_change(SampleInfo const* info);
    // The reader's removal of a change it announced: takes the held change whose record is at
    // that address out, ending one loan of it first when `endLoan` is set, all under one lock;
    // false when no held change has that record.
    bool removeByRecord(SampleInfo const* info, bool endLoan);
    // One more loan on the change (held or in the garbage); returns the new count.
    uint32_t get_change(CacheChange* c);

    // One loan less, never below 0. The last loan of a change that was taken out frees it: the
    // caller must not touch the change afterwards.
    void free_change(CacheChange* c);
    void free_change(SequenceNumber_t const& sn);
    bool check_change(CacheChange* c);

    CacheChange* getEarliestChange();
    SequenceNumber_t getEarliestChangeNum();

    // Marks the change for removal; whether the history holds it.
    bool removalRequest(SequenceNumber_t const& sn);
    // Changes marked by removalRequest (or added marked) in list order, at most max (0: all);
    // the cost follows what is returned, not the changes ahead of them. A flag raised on a held
    // change behind the history's back is not seen here.
    void getRemovalRequested(std::vector<CacheChange*>* out, unsigned long max);
    // Their numbers, for callers that do not hold the upload mutex: a change listed by pointer
    // may be freed by another thread as soon as the history's mutex is released.
    void getRemovalRequested(std::vector<SequenceNumber_t>& out, unsigned long max);
    void getNotRemovalRequested(std::vector<CacheChange*>* out);

    // A copy of the list, taken under the upload mutex and the change mutex.
    void upload(std::vector<CacheChange*>& out);

    // A preallocation hint only, which the history needs no more (its indexes grow node by
    // node from its arena); kept for callers that size their endpoints.
    void reserve(uint32_t n);

    void resetMulticasted();

    // Frees unloaned changes of the garbage list, at most max of them (0: all); returns how many
    // stay in it. Removal and free_change free changes themselves, so this finds work only
    // after a loan count was lowered behind the history's back.
    unsigned long removeGarbage(unsigned long max);

    // A snapshot, read without the lock.
    size_t size() const { return m_heldCount.load(); }
    // Changes taken out that a loan still keeps.
    size_t garbageSize();
    // Every change this history still owns: held ones and loaned ones taken out. A snapshot,
    // read without the mutex.
    size_t ownedCount() const { return m_owned.load(std::memory_order_relaxed); }
    SequenceNumber_t getSeqNumMin();
    SequenceNumber_t getSeqNumMax();
    SequenceNumber_t getNextSequenceNumber();

    // Held by writers while they change and count the history.
    std::recursive_mutex& getUploadMutex() { return m_uploadMutex; }

private:
    using List = HistoryList;

    List::iterator findFirst(SequenceNumber_t const& sn);
    // Takes the change out of the list and its indexes; an unloaned one goes to `freed` for
    // the caller to free once the mutex is released, a loaned one to the garbage list.
    void takeOut(List::iterator it, std::vector<CacheChange*>& freed);
    void freeChanges(std::vector<CacheChange*>& changes);
    // The held change with that record (under the change mutex), building the index once.
    CacheChange* findByRecord(SampleInfo const* info);
    // Lists a held change among the withdrawn ones, once.
    void listWithdrawn(CacheChange* c);
    // Copies the owned count after the list or the garbage changed; under the mutex.
    void countOwned() {
        m_owned.store(m_list.size() + m_garbage.size(), std::memory_order_relaxed);
    }

    template <class K, class V>
    using Pair = std::pair<K const, V>;

    std::recursive_mutex m_mutex;        // the list, the indexes, the arena and the numbers
    std::atomic<size_t> m_heldCount{0};  // the list's length, written under m_mutex
    NodeArena m_arena;                   // before the containers: it outlives them
    List m_list{ArenaAllocator<CacheChange*>(&m_arena)};
    // Equal numbers: list order.
    HistoryBySequence m_bySequence{
        ArenaAllocator<Pair<SequenceNumber_t, List::iterator>>(&m_arena)};
    // Held changes by record address, once a look-up by record asked for it.
    std::unordered_map<SampleInfo const*, CacheChange*, std::hash<SampleInfo const*>,
                       std::equal_to<SampleInfo const*>,
                       ArenaAllocator<Pair<SampleInfo const*, CacheChange*>>>
        m_byRecord{0, std::hash<SampleInfo const*>(), std::equal_to<SampleInfo const*>(),
                   ArenaAllocator<Pair<SampleInfo const*, CacheChange*>>(&m_arena)};
    bool m_byRecordKept = false;
    // Held changes marked for removal, by insertion rank (list order, also for equal or
    // unordered numbers).
    HistoryWithdrawn m_withdrawn{ArenaAllocator<Pair<uint64_t, CacheChange*>>(&m_arena)};
    uint64_t m_nextOrder = 0;
    std::unordered_set<CacheChange*> m_garbage;  // taken out, still loaned
    std::atomic<size_t> m_owned{0};              // list and garbage sizes, written under the mutex

    std::recursive_mutex m_uploadMutex;

    SequenceNumber_t m_seqNumMin = SEQUENCENUMBER_NULL;
    SequenceNumber_t m_seqNumMax = SEQUENCENUMBER_NULL;
    SequenceNumber_t m_nextSequenceNumber{0, 1};

    std::function<void(UserInputBuffer*)> m_releaser;
};

}  // namespace RTPS
