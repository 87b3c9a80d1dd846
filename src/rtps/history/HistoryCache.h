#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class UserInputBuffer;

// The changes of one writer or reader in insertion order, with indexes by sequence number and
// by sample record, so that lookups and removals cost O(log n). Changes taken out go to a
// garbage list and are freed once nobody holds a loan on them.
//
// Owns every change given to add_change. Lock order: upload mutex, then the change mutex, then
// the garbage mutex. Loan counts change only under the change mutex.
class HistoryCache {
public:
    // How many entries reserve() prepares for at most; the history itself has no limit.
    static constexpr uint32_t MAX_RESERVE = 10000;
    static constexpr uint32_t DEFAULT_RESERVE = 1024;

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

    // Moves the change to the garbage list when it is held; returns its loan count
    // (0xFFFFFFFF for null).
    uint32_t remove_change(CacheChange* c);
    // Moves the first change with that number to the garbage list; returns its user buffer,
    // which stays the change's until the change is freed. Null when there is none.
    UserInputBuffer* remove_change(SequenceNumber_t const& sn);

    // The first change with that number with one more loan, or null.
    CacheChange* get_change(SequenceNumber_t const& sn);
    // The held change whose record is at that address, or null; no loan is taken.
    CacheChange* get_change(SampleInfo const* info);
    // One more loan on the change (held or in the garbage); returns the new count.
    uint32_t get_change(CacheChange* c);

    // One loan less, never below 0.
    void free_change(CacheChange* c);
    void free_change(SequenceNumber_t const& sn);
    bool check_change(CacheChange* c);

    CacheChange* getEarliestChange();
    SequenceNumber_t getEarliestChangeNum();

    void removalRequest(SequenceNumber_t const& sn);
    // Changes with removalRequested in list order, at most max (0: all).
    void getRemovalRequested(std::vector<CacheChange*>* out, unsigned long max);
    void getNotRemovalRequested(std::vector<CacheChange*>* out);

    // A copy of the list, taken under the upload mutex and the change mutex.
    void upload(std::vector<CacheChange*>& out);

    // A preallocation hint only: min(n, MAX_RESERVE), or DEFAULT_RESERVE for 0.
    void reserve(uint32_t n);

    void resetMulticasted();

    // Frees unloaned changes of the garbage list, from its end towards its start, at most max
    // of them (0: all); returns how many stay in the garbage list.
    unsigned long removeGarbage(unsigned long max);

    size_t size();
    size_t garbageSize();
    SequenceNumber_t getSeqNumMin();
    SequenceNumber_t getSeqNumMax();
    SequenceNumber_t getNextSequenceNumber();

    // Held by writers while they change and count the history.
    std::recursive_mutex& getUploadMutex() { return m_uploadMutex; }

private:
    using List = std::list<CacheChange*>;

    List::iterator findFirst(SequenceNumber_t const& sn);
    void moveToGarbage(List::iterator it);
    void freeChanges(std::vector<CacheChange*>& changes);

    std::recursive_mutex m_mutex;  // the list, both indexes and the numbers
    List m_list;
    std::multimap<SequenceNumber_t, List::iterator> m_bySequence;  // equal numbers: list order
    std::unordered_map<SampleInfo const*, List::iterator> m_byRecord;

    std::recursive_mutex m_garbageMutex;
    std::vector<CacheChange*> m_garbage;

    std::recursive_mutex m_uploadMutex;

    SequenceNumber_t m_seqNumMin = SEQUENCENUMBER_NULL;
    SequenceNumber_t m_seqNumMax = SEQUENCENUMBER_NULL;
    SequenceNumber_t m_nextSequenceNumber{0, 1};

    std::function<void(UserInputBuffer*)> m_releaser;
};

}  // namespace RTPS
