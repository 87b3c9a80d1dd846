#pragma once

#include <cstdint>
#include <memory>

#include "rtps/history/HistoryCache.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/writer/ChangeForReaderStatusKind.h"

namespace RTPS {

class CacheChange;

// A stateful writer's entry for one change and one matched remote reader. The change belongs
// to the writer's history. The fragment table is made by the message composer the first time
// it fragments the change; size and count then stay for every later send to this reader.
//
// An entry made with a history holds exactly one loan on its change, taken when it is made and
// given back by releaseChange or the destructor, so the history never frees a change an entry
// still points at. After releaseChange the entry keeps only its sequence number.
class ChangeForReader {
public:
    // No loan: the caller keeps the change alive.
    ChangeForReader(CacheChange* change, SequenceNumber_t sequenceNumber,
                    ChangeForReaderStatusKind status)
        : change(change), sequenceNumber(sequenceNumber), status(status) {}

    // Takes one loan on the change from its history.
    ChangeForReader(HistoryCache* history, CacheChange* change, ChangeForReaderStatusKind status,
                    bool relevant)
        : change(change),
          sequenceNumber(change->sampleInfo.sequenceNumber),
          status(status),
          relevant(relevant),
          m_history(history) {
        m_history->get_change(change);
    }

    ~ChangeForReader() { releaseChange(); }

    ChangeForReader(ChangeForReader const&) = delete;
    ChangeForReader& operator=(ChangeForReader const&) = delete;

    // Gives the loan back and forgets the change.
    void releaseChange() {
        if (m_history != nullptr && change != nullptr) {
            m_history->free_change(change);
        }
        change = nullptr;
        m_history = nullptr;
    }

    bool isFragmented() const { return fragmentCount != 0; }

    // Sets size and count and makes the table with every fragment REQUESTED.
    void makeFragments(uint32_t size, uint32_t count) {
        fragmentSize = size;
        fragmentCount = count;
        fragmentStatus.reset(new uint32_t[count]);
        for (uint32_t i = 0; i < count; ++i) {
            fragmentStatus[i] = REQUESTED;
        }
    }

    CacheChange* change;
    SequenceNumber_t sequenceNumber;
    ChangeForReaderStatusKind status;
    bool relevant = true;
    uint32_t fragmentCount = 0;
    uint32_t fragmentSize = 0;
    std::unique_ptr<uint32_t[]> fragmentStatus;  // fragmentCount entries; null until fragmented
    bool fragmentsRequested = false;

private:
    HistoryCache* m_history = nullptr;  // set while a loan is held
};

}  // namespace RTPS
