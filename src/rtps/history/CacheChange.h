#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/Guid.h"
#include "rtps/discovery/OwnerTopicType.h"
#include "rtps/history/NodeArena.h"
#include "rtps/history/SampleInfo.h"

namespace RTPS {

class CacheChange;
class HistoryCache;
class RTPSMessage;
class UserInputBuffer;

// A history's changes in insertion order and its indexes; their nodes come from the history's
// arena.
using HistoryList = std::list<CacheChange*, ArenaAllocator<CacheChange*>>;
using HistoryBySequence =
    std::multimap<SequenceNumber_t, HistoryList::iterator, std::less<SequenceNumber_t>,
                  ArenaAllocator<std::pair<SequenceNumber_t const, HistoryList::iterator>>>;
using HistoryWithdrawn = std::map<uint64_t, CacheChange*, std::less<uint64_t>,
                                  ArenaAllocator<std::pair<uint64_t const, CacheChange*>>>;

// Why a DATA_FRAG fragment was refused; the caller drops it and logs the reason.
enum class FragmentVerdict {
    Accepted,
    ZeroFragmentSize,
    BadSampleSize,     // 0, or above the cap
    GeometryChanged,   // sample or fragment size differs from the earlier fragments
    BadFirstFragment,  // 0, or after the last fragment of the sample
    ZeroCount,
    ShortData,  // fewer bytes than the fragments it claims
};

// One change of a history: a sample written by a local writer or received from a remote one,
// with the record it shares with the DCPS side, its loans and, for DATA_FRAG, its reassembly.
//
// A reassembly holds no more than the data that arrived: one bit per fragment, each fragment's
// bytes in a piece of their own until the fragments received make up a quarter of the sample,
// and only then one buffer of the whole sample size; its owner caps the sample size.
//
// Which of its payload it frees when destroyed: its packed copy, its reassembly and its
// fragment map always; its reference on `message` when it holds one; the decoded record at
// `sampleInfo.data` when `ownsRecord` is set (kinds 3, 4 and 6 after storePackedData, and a
// received built-in change whose record the receiver decoded), through the destructor
// registered for its kind. A local writer's `userBuffer` goes back to the pool through the
// history (HistoryCache::setUserBufferReleaser).
class CacheChange {
public:
    // No cap on a sample rebuilt from fragments goes above this; each owner of a reassembly
    // sets its own (a reader from its resource limits, the receiver from its configuration).
    static constexpr uint32_t MAX_SAMPLE_SIZE = 0x7FFFFFFF;
    // The whole sample buffer is allocated once the bytes received reach this share (1/n) of
    // the sample, so it is never more than n times what arrived.
    static constexpr uint32_t WHOLE_BUFFER_SHARE = 4;

    // Copies the record (a null one is an empty sample), with an unknown sequence number;
    // completeness 2 when it has data, else 0.
    CacheChange(GUID_t const& writer, SampleInfo const* info);
    ~CacheChange();

    CacheChange(CacheChange const&) = delete;
    CacheChange& operator=(CacheChange const&) = delete;

    void setSequenceNumber(SequenceNumber_t const& sn) { sampleInfo.sequenceNumber = sn; }
    void setData(void* data, uint64_t length) {
        sampleInfo.data = data;
        sampleInfo.length = length;
    }

    // For kinds 3 to 7: packs the record at `data` with the registered encoder and keeps the
    // packed copy; payloadKind becomes the kind, and for 3, 4 and 6 (records copied for the
    // change) the change owns the record. Any other kind, or a kind without a working encoder,
    // leaves no packed copy and payloadKind 0; false in the second case.
    bool storePackedData(OwnerTopicType kind);

    // Takes one reference on a received message whose buffer holds the data, giving back the
    // one held before.
    void attachMessage(RTPSMessage* m);

    // Fragment map from sampleSize and fragmentSize, one bit per fragment; false (and no map)
    // when either is 0 or the sample is larger than maxSampleSize (or MAX_SAMPLE_SIZE).
    bool initFragmentMap(uint32_t maxSampleSize);
    // Marks fragments first .. first + count - 1 (1-based) as received, as far as the sample
    // reaches. False when there is no map, first is 0 or lies after the last fragment.
    bool addFragment(uint32_t first, uint32_t count);
    // True when every fragment is there; a change without fragments is complete.
    bool allFragmentPresent() const;
    // Fills the set of missing fragments from set.bitmapBase on (0 counts as 1); returns 0
    // when the set reaches the last fragment or nothing is missing, else the fragment number
    // to start the next set from.
    uint32_t getMissingFragmentSet(FragmentNumberSet& set) const;

    // Checks one DATA_FRAG against the sample it belongs to (no larger than maxSampleSize) and
    // keeps the bytes of the fragments not yet received. The change's data is null until the
    // whole sample buffer exists, then points at it with the sample size as length. A refused
    // fragment changes nothing; a fragment already received is accepted and ignored. Once every
    // fragment is there, completeness goes from 0 to 2 or from 1 to 3.
    FragmentVerdict addFragmentData(uint32_t sampleSize, uint16_t fragmentSize, uint32_t first,
                                    uint32_t count, void const* bytes, uint64_t length,
                                    uint32_t maxSampleSize);

    GUID_t writerGUID;
    SampleInfo sampleInfo;
    // Raised and lowered by the history under its mutex; read by other threads.
    std::atomic<uint32_t> loanCount{0};
    std::atomic<bool> removalRequested{false};
    int32_t payloadKind = OWNER_USER;
    // The decoded record at sampleInfo.data is this change's to destroy: for kind 1 the record
    // kind is that of the writer (recordKindOfWriter), else payloadKind.
    bool ownsRecord = false;
    std::vector<uint8_t> packedData;
    uint32_t packedLength = 0;
    UserInputBuffer* userBuffer = nullptr;
    std::atomic<bool> multicasted{false};
    EntityId_t readerId{};
    RTPSMessage* message = nullptr;  // one reference held (attachMessage)
    int32_t completeness = 0;        // 0 nothing, 1 key, 2 data, 3 both
    bool leaseExempt = false;
    // When the participant whose announcement this change holds was last heard (SPDP reader).
    vexa::dds::Time_t lastSeen{};
    uint64_t expiryTime = 0;  // microseconds
    uint32_t fragmentsInSubmessage = 0;
    uint16_t fragmentSize = 0;
    uint32_t fragmentStartingNum = 0;
    uint32_t sampleSize = 0;
    uint32_t fragmentCount = 0;
    std::vector<bool> fragmentMap;  // one bit per fragment, set: received
    uint32_t nackFragCount = 0;

private:
    friend class HistoryCache;
    // Where the history holding the change keeps it, so that a caller with the change at hand
    // costs the history no lookup. Read and written by that history under its mutex.
    HistoryCache const* m_heldBy = nullptr;
    HistoryList::iterator m_heldAt{};
    HistoryBySequence::iterator m_heldNumber{};
    HistoryWithdrawn::iterator m_heldWithdrawn{};  // when m_listedWithdrawn
    uint64_t m_heldOrder = 0;                      // insertion rank in that history
    bool m_listedWithdrawn = false;

    // Bytes of fragments kept until the whole buffer is allocated.
    struct Piece {
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };
    void allocateWhole();

    bool m_reassembling = false;  // a fragment was accepted: the geometry is fixed
    std::vector<Piece> m_pieces;
    uint64_t m_pieceBytes = 0;
    std::unique_ptr<uint8_t[]> m_reassembly;  // the whole sample
    uint32_t m_fragmentsReceived = 0;
};

}  // namespace RTPS
