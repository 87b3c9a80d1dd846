#include "rtps/writer/ReaderLocator.h"

#include <gtest/gtest.h>

#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/history/HistoryCache.h"

using namespace RTPS;

namespace {

// Three changes numbered 1..3 in a history, and a destination without a socket.
struct ReaderLocatorTest : ::testing::Test {
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            SampleInfo info{};
            changes.push_back(new CacheChange(GUID_t{}, &info));
            history.add_change(changes.back());
        }
    }
    uint32_t loans(int i) const { return changes[static_cast<size_t>(i)]->loanCount.load(); }

    HistoryCache history;
    std::vector<CacheChange*> changes;
};

// Every way a change leaves the queue gives its loan back exactly once; the one handed out
// by next_unsent_change is the caller's to give back.
TEST_F(ReaderLocatorTest, EveryQueuedChangeHoldsOneLoanUntilItLeaves) {
    {
        ReaderLocator l(nullptr, false, &history);
        for (CacheChange* c : changes) {
            l.add_unsent_change(c);
        }
        EXPECT_TRUE(l.hasUnsent());
        EXPECT_EQ(loans(0) + loans(1) + loans(2), 3u);

        l.remove_unsent_change(SequenceNumber_t{0, 2});
        EXPECT_EQ(loans(1), 0u);
        EXPECT_EQ(l.unsentCount(), 2u);

        CacheChange* first = l.next_unsent_change();
        ASSERT_EQ(first, changes[0]);
        EXPECT_EQ(loans(0), 1u);  // now the caller's
        history.free_change(first);

        changes[1]->removalRequested = true;
        l.refillUnsent(changes);  // 1 and 3 again; 3 given back once and taken again
        EXPECT_EQ(l.unsentCount(), 2u);
        EXPECT_EQ(loans(0), 1u);
        EXPECT_EQ(loans(1), 0u);
        EXPECT_EQ(loans(2), 1u);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loans(i), 0u) << i;  // the destructor gave back what was queued
    }
}

TEST_F(ReaderLocatorTest, AnEmptyQueueHandsOutNothing) {
    ReaderLocator l(nullptr, true, &history);
    EXPECT_FALSE(l.hasUnsent());
    EXPECT_EQ(l.next_unsent_change(), nullptr);
    l.add_unsent_change(changes[0]);
    EXPECT_EQ(l.next_unsent_change(), changes[0]);
    EXPECT_FALSE(l.hasUnsent());
    EXPECT_EQ(l.next_unsent_change(), nullptr);
    history.free_change(changes[0]);
    EXPECT_TRUE(l.isMulticast());
}

}  // namespace
