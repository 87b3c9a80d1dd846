#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/reader/WriterProxy.h"

using RTPS::SequenceNumber_t;
using RTPS::WriterProxy;
using Verdict = WriterProxy::HeartbeatVerdict;

namespace {

SequenceNumber_t sn(uint64_t v) {
    return WriterProxy::sequenceOf(v);
}

RTPS::HeartbeatData heartbeat(SequenceNumber_t first, SequenceNumber_t last, uint32_t count,
                              bool final = false) {
    RTPS::HeartbeatData hb;
    hb.firstSN = first;
    hb.lastSN = last;
    hb.count = count;
    hb.finalFlag = final;
    return hb;
}

RTPS::SequenceNumberSet gapList(uint64_t base, uint32_t bits, uint32_t word0) {
    RTPS::SequenceNumberSet s{};
    s.bitmapBase = sn(base);
    s.numBits = bits;
    s.bitmap[0] = word0;
    return s;
}

struct Proxy : ::testing::Test {
    WriterProxy proxy{nullptr, RTPS::GUID_t{}, nullptr};
};

}  // namespace

// Delivery is complete once no announced number is missing, whatever the order of arrival;
// this holds for a single sample too.
TEST_F(Proxy, DeliveredAfterOutOfOrderArrival) {
    EXPECT_TRUE(proxy.allDelivered());
    proxy.missing_changes_update(sn(2));
    EXPECT_FALSE(proxy.allDelivered());
    proxy.received_change_set(sn(2));
    EXPECT_FALSE(proxy.allDelivered());
    proxy.received_change_set(sn(1));
    EXPECT_TRUE(proxy.allDelivered());
    EXPECT_EQ(proxy.base(), 3u);
    EXPECT_EQ(proxy.windowSize(), 0u);

    WriterProxy single{nullptr, RTPS::GUID_t{}, nullptr};
    EXPECT_EQ(single.heartbeat(heartbeat(sn(1), sn(1), 1)), Verdict::Taken);
    single.received_change_set(sn(1));
    EXPECT_TRUE(single.allDelivered());
}

// Received, lost and skipped numbers all move the contiguous point; data for any of them is a
// repeat.
TEST_F(Proxy, LostAndGappedNumbersAreDone) {
    ASSERT_EQ(proxy.heartbeat(heartbeat(sn(4), sn(6), 1)), Verdict::Taken);
    EXPECT_EQ(proxy.base(), 4u) << "1 to 3 lost";
    for (uint64_t v : {1, 2, 3}) {
        EXPECT_TRUE(proxy.received_change_check(sn(v))) << v;
    }
    EXPECT_FALSE(proxy.received_change_check(sn(4)));

    // GAP from 5 up to (not including) the list base 7, and 8 from the list.
    ASSERT_TRUE(proxy.irrelevant_change_set(sn(5), gapList(7, 2, 0b10)));
    EXPECT_TRUE(proxy.received_change_check(sn(5)));
    EXPECT_TRUE(proxy.received_change_check(sn(6)));
    EXPECT_FALSE(proxy.received_change_check(sn(7)));
    EXPECT_TRUE(proxy.received_change_check(sn(8)));
    proxy.received_change_set(sn(7));
    EXPECT_FALSE(proxy.allDelivered()) << "4 is still missing";
    proxy.received_change_set(sn(4));
    EXPECT_TRUE(proxy.allDelivered());
    EXPECT_EQ(proxy.base(), 9u);
}

// The ACKNACK set: from the first missing number, one bit per number, at most 256.
TEST_F(Proxy, MissingSetStartsAtTheFirstMissingNumber) {
    proxy.heartbeat(heartbeat(sn(1), sn(5), 1));
    proxy.received_change_set(sn(1));
    proxy.received_change_set(sn(2));
    proxy.received_change_set(sn(4));
    RTPS::SequenceNumberSet set;
    proxy.missing_changes(set);
    EXPECT_EQ(set.bitmapBase, sn(3));
    EXPECT_EQ(set.numBits, 3u);
    EXPECT_EQ(set.bitmap[0], 0b101u);

    proxy.heartbeat(heartbeat(sn(1), sn(1000), 2));
    proxy.missing_changes(set);
    EXPECT_EQ(set.numBits, 256u);

    WriterProxy empty{nullptr, RTPS::GUID_t{}, nullptr};
    empty.missing_changes(set);
    EXPECT_EQ(set.bitmapBase, sn(1));
    EXPECT_EQ(set.numBits, 0u);
}

// HEARTBEATs with old counts or impossible numbers change nothing.
TEST_F(Proxy, HeartbeatRefusals) {
    struct Case {
        char const* rule;
        SequenceNumber_t first;
        SequenceNumber_t last;
        uint32_t count;
        Verdict verdict;
    } const cases[] = {
        {"first above last + 1", sn(10), sn(8), 5, Verdict::Invalid},
        {"negative last", sn(1), SequenceNumber_t{-2, 0}, 5, Verdict::Invalid},
        {"negative first", SequenceNumber_t{-2, 1}, sn(5), 5, Verdict::Invalid},
        {"count repeated", sn(1), sn(9), 3, Verdict::Old},
        {"count older", sn(1), sn(9), 2, Verdict::Old},
        {"first = last + 1 (nothing)", sn(5), sn(4), 4, Verdict::Taken},
    };
    ASSERT_EQ(proxy.heartbeat(heartbeat(sn(1), sn(3), 3)), Verdict::Taken);
    for (Case const& c : cases) {
        uint64_t const base = proxy.base();
        uint64_t const size = proxy.windowSize();
        EXPECT_EQ(proxy.heartbeat(heartbeat(c.first, c.last, c.count)), c.verdict) << c.rule;
        if (c.verdict != Verdict::Taken) {
            EXPECT_EQ(proxy.base(), base) << c.rule;
            EXPECT_EQ(proxy.windowSize(), size) << c.rule;
        }
    }
}

// However far a writer announces, the window holds at most MAX_WINDOW numbers; numbers are
// their 64-bit value, high part included.
TEST_F(Proxy, WindowIsBounded) {
    uint64_t const huge = (uint64_t{0x7FFFFFFF} << 32) | 0xFFFFFFF0u;
    ASSERT_EQ(proxy.heartbeat(heartbeat(sn(1), sn(huge), 1)), Verdict::Taken);
    EXPECT_EQ(proxy.windowSize(), WriterProxy::MAX_WINDOW);
    EXPECT_EQ(proxy.base(), huge - WriterProxy::MAX_WINDOW + 1);
    EXPECT_EQ(proxy.highest(), huge);

    // Data far ahead and a wide GAP are bounded the same way.
    WriterProxy other{nullptr, RTPS::GUID_t{}, nullptr};
    other.received_change_set(SequenceNumber_t{3, 7});
    EXPECT_EQ(other.highest(), (uint64_t{3} << 32) | 7);
    EXPECT_LE(other.windowSize(), WriterProxy::MAX_WINDOW);
    ASSERT_TRUE(other.irrelevant_change_set(sn(1), gapList(uint64_t{1} << 40, 0, 0)));
    EXPECT_LE(other.windowSize(), WriterProxy::MAX_WINDOW);
    EXPECT_EQ(other.base(), uint64_t{1} << 40);
    EXPECT_TRUE(other.allDelivered());
}

// At most MAX_HELD changes wait in the proxy: one more is refused and stays missing, so the
// ACKNACK asks for it again. The turn goes to the next number only.
TEST_F(Proxy, HeldChangesAreBounded) {
    std::vector<std::unique_ptr<RTPS::CacheChange>> changes;
    auto change = [&](uint64_t v) {
        RTPS::SampleInfo info{};
        changes.emplace_back(new RTPS::CacheChange(RTPS::GUID_t{}, &info));
        changes.back()->setSequenceNumber(sn(v));
        return changes.back().get();
    };
    uint64_t turn = 0;
    uint64_t const last = WriterProxy::MAX_HELD + 1;
    for (uint64_t v = 2; v <= last; ++v) {
        ASSERT_EQ(proxy.offer(change(v), sn(v), turn), WriterProxy::Offer::Held) << v;
        changes.back().release();
    }
    EXPECT_EQ(proxy.offer(change(last + 1), sn(last + 1), turn), WriterProxy::Offer::Refused);
    EXPECT_FALSE(proxy.received_change_check(sn(last + 1)));
    EXPECT_TRUE(proxy.received_change_check(sn(last)));
    EXPECT_EQ(proxy.heldCount(), WriterProxy::MAX_HELD);

    ASSERT_EQ(proxy.offer(change(1), sn(1), turn), WriterProxy::Offer::Deliver);
    SequenceNumber_t next;
    RTPS::CacheChange* due = proxy.delivered(turn, sn(1), true, next);
    ASSERT_NE(due, nullptr);
    EXPECT_EQ(next, sn(2));
    delete due;
    // A store that failed leaves the number missing and ends the turn.
    EXPECT_EQ(proxy.delivered(turn, sn(2), false, next), nullptr);
    EXPECT_FALSE(proxy.received_change_check(sn(2)));
    EXPECT_EQ(proxy.base(), 2u);
    SequenceNumber_t dueSn;
    EXPECT_EQ(proxy.takeDue(dueSn, turn), nullptr) << "2 is missing, not held";
}
