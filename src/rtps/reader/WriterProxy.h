#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "rtps/wire/AckNAckData.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/wire/ReceivedCount.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/wire/SequenceNumberSet.h"

namespace RTPS {

class CacheChange;
class RTPSOutSocket;
class StatefulReader;

// What a reliable reader knows of one matched remote writer: which of its sequence numbers
// are still missing, and the counts of the HEARTBEATs it sent and the ACKNACKs it got.
//
// The numbers are kept as a window: everything below `base` is done (received, declared lost
// by the writer, or skipped by a GAP) and forgotten; from `base` on one state per number up to
// the highest the writer has announced, the first of them always MISSING. So the writer has
// delivered everything it announced exactly when the window is empty. Whatever the writer
// announces, the window holds at most MAX_WINDOW numbers: older ones are declared lost.
//
// Sequence numbers are used by their 64-bit value (high * 2^32 + low); those with a negative
// high part (other than the unknown number where it is allowed) are refused.
//
// The proxy also keeps the writer's changes in order (offer, delivered, takeDue): a complete
// change that arrives ahead of a missing number is held here until every number before it is
// done, so the reader's history gets the writer's changes in the writer's order. One thread at a
// time has the delivery turn: it stores the change that is due with no lock held and asks for
// the next one. A missing number that the writer declares lost or skips releases the changes
// held behind it; only a slide of the window frees a held change. Held changes are bounded by
// MAX_HELD and MAX_HELD_BYTES: one that does not fit stays missing and is asked for again.
//
// It has no lock of its own: the owner calls it only under its proxies mutex, which guards it
// (one lock per call instead of two nested ones); the owner's reportAllDelivered (a leaf) is
// called under that mutex.
class WriterProxy {
public:
    static constexpr uint64_t MAX_WINDOW = 65536;
    static constexpr size_t MAX_HELD = 4096;
    static constexpr uint64_t MAX_HELD_BYTES = uint64_t{16} << 20;

    // HELD: a change waits here for the numbers before it; DELIVERING: the change of the turn.
    enum State : uint8_t {
        LOST = 0,
        MISSING = 1,
        RECEIVED = 2,
        IRRELEVANT = 3,
        HELD = 4,
        DELIVERING = 5
    };

    // `owner` null: nobody is told about delivery (tests). Takes over one use of `socket`
    // (MessageComposer::getSocket), released when the proxy goes.
    WriterProxy(StatefulReader* owner, GUID_t const& writer, RTPSOutSocket* socket);
    // Frees the held changes.
    ~WriterProxy();

    WriterProxy(WriterProxy const&) = delete;
    WriterProxy& operator=(WriterProxy const&) = delete;

    GUID_t const& getGuid() const { return m_writer; }
    RTPSOutSocket* getSocket() const { return m_socket; }

    // Whether data with this number would be a repeat (received, held, skipped or declared lost),
    // or the number is invalid.
    bool received_change_check(SequenceNumber_t sn);
    // The data of this number arrived.
    void received_change_set(SequenceNumber_t sn);

    enum class Offer { Deliver, Held, Refused };
    // A complete change that received_change_check found missing. Deliver: it is the next
    // number and the caller now has the turn (`turn` names it): it stores the change, then
    // calls delivered. Held: the proxy owns it until its turn. Refused: a repeat, or no room to
    // hold it (it stays missing); the caller keeps the change.
    Offer offer(CacheChange* change, SequenceNumber_t sn, uint64_t& turn);
    // Ends the store of the turn's change: its number is received, or missing again when it was
    // not settled (no room for it). Returns the next held change that is due, with its number, and
    // the turn goes on under the name put in `turn`; null ends it. A turn this proxy did not give
    // (it was replaced) changes nothing.
    CacheChange* delivered(uint64_t& turn, SequenceNumber_t sn, bool settled,
                           SequenceNumber_t& next);
    // Takes the turn when nobody has it and the first number of the window is held (a HEARTBEAT
    // or GAP made it due): the change, owned by the caller, or null.
    CacheChange* takeDue(SequenceNumber_t& sn, uint64_t& turn);
    size_t heldCount();
    // The writer has numbers up to `last`; new ones are missing.
    void missing_changes_update(SequenceNumber_t last);
    // The writer no longer has numbers below `first`: missing ones are lost.
    void lost_changes_update(SequenceNumber_t first);
    // A GAP: the numbers from gapStart up to the set's base, and those set in it, will not come.
    // False for a GAP with invalid numbers (nothing changed).
    bool irrelevant_change_set(SequenceNumber_t gapStart, SequenceNumberSet const& gapList);
    // The missing numbers from the first one on (at most 256); with none, the base is the
    // number after the highest announced and the set is empty.
    void missing_changes(SequenceNumberSet& set);

    enum class HeartbeatVerdict { Taken, Old, Invalid };
    // A HEARTBEAT: Old when its count is not newer than the last one (counts wrap), Invalid
    // when its numbers are (a negative high part, or first above last + 1); then nothing
    // changes. Otherwise the numbers are taken in, and a HEARTBEAT without the final flag asks
    // for an answer.
    HeartbeatVerdict heartbeat(HeartbeatData const& heartbeat);
    // Marks an answer as scheduled; false when one is scheduled already.
    bool scheduleResponse();
    // The answer: the ACKNACK for what is missing, or null when none is asked for and nothing
    // is missing. The scheduled mark is cleared either way.
    AckNAckData* makeAckNack(GUID_t const& reader);
    // The ACKNACK sent when the writer is matched: nothing acknowledged, nothing asked for, and
    // the final flag clear, so that the writer answers with a HEARTBEAT. Data and HEARTBEATs
    // that reached this reader before it knew the writer were dropped; without this the reader
    // learns of them only at the writer's next periodic HEARTBEAT.
    AckNAckData* makePreemptiveAckNack(GUID_t const& reader);
    // True once after the preemptive ACKNACK: the HEARTBEAT that follows it is answered without
    // the response delay, since what the reader missed before matching is asked for then.
    bool takeAnswerAtOnce();

    bool allDelivered();
    // Numbers the window holds; the first one of it (the next number expected).
    uint64_t windowSize();
    uint64_t base();
    uint64_t highest();

    // 64-bit value of a sequence number; false for a negative high part.
    static bool valueOf(SequenceNumber_t sn, uint64_t& value);
    static SequenceNumber_t sequenceOf(uint64_t value);

private:
    struct Held {
        std::unique_ptr<CacheChange> change;
        uint64_t cost = 0;
    };

    // Grows the window up to `last` with `fill`; what would pass MAX_WINDOW slides out.
    void updateTo(uint64_t last, State fill = MISSING);
    void loseBelow(uint64_t first);
    void setState(uint64_t value, State state);
    // Drops the done numbers at the front and tells the owner when all is delivered.
    void advance();
    // Frees the held changes below the window's start (slid out).
    void dropHeldBelowBase();
    CacheChange* claimDue(uint64_t& value, uint64_t& turn);
    uint64_t newTurn();
    // The owner's next ACKNACK count (this proxy's own without an owner).
    uint32_t nextAckNackCount();

    StatefulReader* const m_owner;
    const GUID_t m_writer;
    RTPSOutSocket* const m_socket;

    uint64_t m_base = 1;
    std::deque<uint8_t> m_states;  // of m_base, m_base + 1, ...
    bool m_allDelivered = true;
    ReceivedCount m_heartbeatCount;
    uint32_t m_ackNackCount = 0;
    bool m_responsePending = false;
    bool m_responseRequired = false;
    bool m_answerAtOnce = false;
    std::map<uint64_t, Held> m_held;
    uint64_t m_heldBytes = 0;
    uint64_t m_turn = 0;  // the delivery turn's name, unique in the process; 0: nobody has it
};

}  // namespace RTPS
