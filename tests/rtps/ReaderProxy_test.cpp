#include "rtps/writer/ReaderProxy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/history/HistoryCache.h"

using namespace RTPS;

namespace {

GUID_t readerGuid() {
    GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.entityId = EntityId_t{{0, 0, 0x11}, 0x07};
    return g;
}

// A history of n changes numbered 1..n and a proxy that gets an entry for each.
struct Fixture {
    explicit Fixture(uint32_t n, ChangeForReaderStatusKind status = UNSENT, bool reliable = true)
        : proxy(nullptr, readerGuid(), nullptr, false, reliable) {
        for (uint32_t i = 0; i < n; ++i) {
            SampleInfo info{};
            auto* c = new CacheChange(GUID_t{}, &info);
            history.add_change(c);
            changes.push_back(c);
            add(c, status);
        }
    }
    void add(CacheChange* c, ChangeForReaderStatusKind status, bool relevant = true) {
        entries.push_back(proxy.addChange(&history, c, status, relevant));
    }
    std::vector<ChangeForReaderStatusKind> statuses() const {
        std::vector<ChangeForReaderStatusKind> s;
        for (auto* e : entries) {
            s.push_back(e->status);
        }
        return s;
    }
    HistoryCache history;
    std::vector<CacheChange*> changes;
    std::vector<ChangeForReader*> entries;
    ReaderProxy proxy;
};

SequenceNumber_t sn(uint32_t low) {
    return SequenceNumber_t{0, low};
}

TEST(ReaderProxy, NewProxyHasNothingToSendAndAcknowledgesEverything) {
    ReaderProxy p(nullptr, readerGuid(), nullptr, true);
    EXPECT_TRUE(p.isAllAcknowledged());
    EXPECT_FALSE(p.hasUnacknowledged());
    EXPECT_TRUE(p.unsent_changes().empty());
    EXPECT_TRUE(p.checkAcknowledged(sn(1)));
    EXPECT_TRUE(p.checkAcknowledged(sn(1000)));
    SequenceNumber_t first{9, 9}, last{9, 9};
    p.getRelevantRange(first, last);
    EXPECT_EQ(first, SEQUENCENUMBER_NULL);
    EXPECT_EQ(last, SEQUENCENUMBER_NULL);
}

// Each row walks one entry through the transitions of its life.
TEST(ReaderProxy, StateTransitions) {
    struct Row {
        const char* rule;
        ChangeForReaderStatusKind initial;
        void (*act)(ReaderProxy&);
        ChangeForReaderStatusKind expected;
    };
    const Row rows[] = {
        {"push mode enters UNSENT", UNSENT, [](ReaderProxy&) {}, UNSENT},
        {"pull mode enters UNACKNOWLEDGED", UNACKNOWLEDGED, [](ReaderProxy&) {}, UNACKNOWLEDGED},
        {"the data phase takes UNSENT to UNDERWAY", UNSENT,
         [](ReaderProxy& p) { p.unsent_changes(); }, UNDERWAY},
        {"sending ends in UNACKNOWLEDGED", UNSENT,
         [](ReaderProxy& p) { p.unacked_changes_set(p.unsent_changes()); }, UNACKNOWLEDGED},
        {"an ACKNACK bit requests it", UNACKNOWLEDGED,
         [](ReaderProxy& p) { p.requested_changes_set({sn(1)}); }, REQUESTED},
        {"an ACKNACK bit requests an unsent one too", UNSENT,
         [](ReaderProxy& p) { p.requested_changes_set({sn(1)}); }, REQUESTED},
        {"the deferred answer takes REQUESTED to UNDERWAY", UNACKNOWLEDGED,
         [](ReaderProxy& p) {
             p.requested_changes_set({sn(1)});
             p.requested_changes();
         },
         UNDERWAY},
        {"a base above acknowledges", UNSENT, [](ReaderProxy& p) { p.acked_changes_set(sn(2)); },
         ACKNOWLEDGED},
        {"a base at the number does not", UNACKNOWLEDGED,
         [](ReaderProxy& p) { p.acked_changes_set(sn(1)); }, UNACKNOWLEDGED},
        {"requesting an acknowledged change again requests it", UNACKNOWLEDGED,
         [](ReaderProxy& p) {
             p.acked_changes_set(sn(2));
             p.requested_changes_set({sn(1)});
         },
         REQUESTED},
        {"a late sending does not undo an acknowledgement", UNSENT,
         [](ReaderProxy& p) {
             auto sent = p.unsent_changes();
             p.acked_changes_set(sn(2));
             p.unacked_changes_set(sent);
         },
         ACKNOWLEDGED},
    };
    for (Row const& r : rows) {
        Fixture f(1, r.initial);
        r.act(f.proxy);
        EXPECT_EQ(f.entries[0]->status, r.expected) << r.rule;
    }
}

TEST(ReaderProxy, AcknowledgementBaseBelowAllAndAboveAll) {
    Fixture f(3, UNACKNOWLEDGED);
    EXPECT_FALSE(f.proxy.acked_changes_set(sn(1)));
    EXPECT_EQ(f.statuses(), (std::vector<ChangeForReaderStatusKind>{UNACKNOWLEDGED, UNACKNOWLEDGED,
                                                                    UNACKNOWLEDGED}));
    EXPECT_TRUE(f.proxy.hasUnacknowledged());
    EXPECT_FALSE(f.proxy.checkAcknowledged(sn(1)));

    EXPECT_TRUE(f.proxy.acked_changes_set(sn(4)));
    EXPECT_TRUE(f.proxy.isAllAcknowledged());
    EXPECT_FALSE(f.proxy.hasUnacknowledged());
    EXPECT_TRUE(f.proxy.checkAcknowledged(sn(3)));
}

TEST(ReaderProxy, PartialAcknowledgementMovesTheBoundary) {
    Fixture f(4, UNACKNOWLEDGED);
    EXPECT_FALSE(f.proxy.acked_changes_set(sn(3)));
    EXPECT_TRUE(f.proxy.checkAcknowledged(sn(2)));
    EXPECT_FALSE(f.proxy.checkAcknowledged(sn(3)));
    // A number the proxy does not hold is ignored, the one above the boundary is taken.
    f.proxy.requested_changes_set({sn(4), sn(9)});
    EXPECT_EQ(f.statuses(), (std::vector<ChangeForReaderStatusKind>{ACKNOWLEDGED, ACKNOWLEDGED,
                                                                    UNACKNOWLEDGED, REQUESTED}));
    EXPECT_TRUE(f.proxy.hasUnacknowledged());
}

// A reader that lost this writer's participant and found it again has a new proxy for the
// writer, which asks for what the old one had acknowledged: the boundary goes back, the changes
// are sent again, and the writer waits for their acknowledgement once more.
TEST(ReaderProxy, AReaderThatStartedOverGetsWhatItAcknowledgedAgain) {
    Fixture f(4, UNACKNOWLEDGED);
    EXPECT_FALSE(f.proxy.acked_changes_set(sn(3)));
    f.proxy.requested_changes_set({sn(1)});
    EXPECT_EQ(f.statuses(), (std::vector<ChangeForReaderStatusKind>{
                                REQUESTED, ACKNOWLEDGED, UNACKNOWLEDGED, UNACKNOWLEDGED}));
    EXPECT_FALSE(f.proxy.checkAcknowledged(sn(1)));
    EXPECT_FALSE(f.proxy.checkAcknowledged(sn(2)));
    EXPECT_FALSE(f.proxy.isAllAcknowledged());
    std::vector<ChangeForReader*> const again = f.proxy.requested_changes();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->sequenceNumber, sn(1));

    EXPECT_TRUE(f.proxy.acked_changes_set(sn(5)));
    EXPECT_TRUE(f.proxy.checkAcknowledged(sn(4)));
}

// checkAcknowledged reads the boundary without the proxy's mutex: every road that moves it
// (or the ends of the list) must leave it where the entries say, also where the proxy has not
// marked itself all acknowledged.
TEST(ReaderProxy, TheAcknowledgedBoundaryFollowsEveryRoadThatMovesIt) {
    struct Case {
        char const* name;
        bool reliable;
        std::function<void(Fixture&)> act;
        uint32_t firstOwed;  // 0: none owed
    };
    auto const sendFirst = [](Fixture& f) { f.proxy.unacked_changes_set(f.entries[0]); };
    const Case cases[] = {
        {"nothing acknowledged", true, [](Fixture&) {}, 1},
        {"acknowledged in part", true, [](Fixture& f) { f.proxy.acked_changes_set(sn(3)); }, 3},
        {"all acknowledged, then one added", true,
         [](Fixture& f) {
             f.proxy.acked_changes_set(sn(4));
             SampleInfo info{};
             auto* c = new CacheChange(GUID_t{}, &info);
             f.history.add_change(c);
             f.add(c, UNSENT);
         },
         4},
        {"acknowledged, then asked for again", true,
         [](Fixture& f) {
             f.proxy.acked_changes_set(sn(4));
             f.proxy.requested_changes_set({sn(2)});
         },
         2},
        {"the owed front removed", true, [](Fixture& f) { f.proxy.removeChange(sn(1)); }, 2},
        {"every entry removed unacknowledged", true,
         [](Fixture& f) {
             for (uint32_t i = 1; i <= 3; ++i) {
                 f.proxy.removeChange(sn(i));
             }
         },
         0},
        {"best effort, the first sent", false, sendFirst, 2},
        {"best effort, the first sent and removed", false,
         [&](Fixture& f) {
             sendFirst(f);
             f.proxy.removeChange(sn(1));
         },
         2},
    };
    for (Case const& c : cases) {
        Fixture f(3, c.reliable ? UNACKNOWLEDGED : UNDERWAY, c.reliable);
        c.act(f);
        for (uint32_t i = 1; i <= 5; ++i) {
            EXPECT_EQ(f.proxy.checkAcknowledged(sn(i)), c.firstOwed == 0 || i < c.firstOwed)
                << c.name << ", number " << i;
        }
    }
}

TEST(ReaderProxy, UnsentChangesComeOutOnce) {
    Fixture f(3);
    EXPECT_EQ(f.proxy.unsent_changes().size(), 3u);
    EXPECT_FALSE(f.proxy.hasUnsent());
    EXPECT_TRUE(f.proxy.unsent_changes().empty());
    SampleInfo info{};
    auto* c = new CacheChange(GUID_t{}, &info);
    f.history.add_change(c);
    f.add(c, UNSENT);
    auto again = f.proxy.unsent_changes();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->sequenceNumber, sn(4));
}

TEST(ReaderProxy, AnEntryReachesAProxyOnce) {
    Fixture f(2);
    EXPECT_EQ(f.proxy.addChange(&f.history, f.changes[1], UNSENT, true), nullptr);
    EXPECT_EQ(f.proxy.entryCount(), 2u);
    EXPECT_EQ(f.changes[1]->loanCount.load(), 1u);  // the refused entry took no loan
}

TEST(ReaderProxy, IrrelevantRunsAreSkippedByTheRelevantRange) {
    Fixture f(5);
    f.proxy.setIrrelevant(sn(3));
    SequenceNumber_t first, last;
    f.proxy.getRelevantRange(first, last);
    EXPECT_EQ(first, sn(1));
    EXPECT_EQ(last, sn(5));
    f.proxy.setIrrelevant(sn(2));
    f.proxy.setIrrelevant(sn(1));  // the start moves past 1, 2 and 3 at once
    f.proxy.getRelevantRange(first, last);
    EXPECT_EQ(first, sn(4));
    f.proxy.setIrrelevant(sn(5));
    f.proxy.setIrrelevant(sn(4));
    f.proxy.getRelevantRange(first, last);
    EXPECT_EQ(first, SEQUENCENUMBER_NULL);
    EXPECT_EQ(last, SEQUENCENUMBER_NULL);
}

TEST(ReaderProxy, AnIrrelevantEntryAtTheStartIsSkippedWhenAdded) {
    Fixture f(0);
    SampleInfo info{};
    auto* c = new CacheChange(GUID_t{}, &info);
    f.history.add_change(c);
    f.add(c, UNSENT, false);
    SequenceNumber_t first{1, 1}, last{1, 1};
    f.proxy.getRelevantRange(first, last);
    EXPECT_EQ(first, SEQUENCENUMBER_NULL);
}

TEST(ReaderProxy, NackFragOnAnUnfragmentedChangeOnlySetsTheFlag) {
    Fixture f(1, UNACKNOWLEDGED);
    FragmentNumberSet set{};
    set.bitmapBase = 1;
    set.numBits = 8;
    set.bitmap[0] = 0xFF;
    f.proxy.setFragmentsRequested(sn(1), set);
    EXPECT_TRUE(f.entries[0]->fragmentsRequested);
    EXPECT_EQ(f.entries[0]->status, UNACKNOWLEDGED);
    EXPECT_EQ(f.proxy.getFragmentStatus(f.entries[0], 0), UNACKNOWLEDGED);
}

TEST(ReaderProxy, NackFragRequestsTheNamedFragmentsWithinTheChange) {
    Fixture f(1, UNACKNOWLEDGED);
    ChangeForReader* e = f.entries[0];
    e->makeFragments(100, 6);
    for (uint32_t i = 0; i < 6; ++i) {
        f.proxy.setFragmentStatus(e, i, UNACKNOWLEDGED);
    }
    FragmentNumberSet set{};
    set.bitmapBase = 4;  // fragments 4.. on the wire, 3.. from 0
    set.numBits = 32;
    set.bitmap[0] = 0xFFFFFFFF;  // reaches past the last fragment
    f.proxy.setFragmentsRequested(sn(1), set);
    std::vector<ChangeForReaderStatusKind> got;
    for (uint32_t i = 0; i < 6; ++i) {
        got.push_back(f.proxy.getFragmentStatus(e, i));
    }
    EXPECT_EQ(
        got, (std::vector<ChangeForReaderStatusKind>{UNACKNOWLEDGED, UNACKNOWLEDGED, UNACKNOWLEDGED,
                                                     REQUESTED, REQUESTED, REQUESTED}));
    set.bitmapBase = 0;  // names no fragment
    f.proxy.setFragmentStatus(e, 0, UNACKNOWLEDGED);
    f.proxy.setFragmentsRequested(sn(1), set);
    EXPECT_EQ(f.proxy.getFragmentStatus(e, 0), UNACKNOWLEDGED);
}

TEST(ReaderProxy, RequestingAFragmentedChangeRequestsItsFirstFragment) {
    Fixture f(1, UNACKNOWLEDGED);
    ChangeForReader* e = f.entries[0];
    e->makeFragments(100, 3);
    for (uint32_t i = 0; i < 3; ++i) {
        f.proxy.setFragmentStatus(e, i, UNACKNOWLEDGED);
    }
    f.proxy.requested_changes_set({sn(1)});
    EXPECT_EQ(f.proxy.getFragmentStatus(e, 0), REQUESTED);
    EXPECT_EQ(f.proxy.getFragmentStatus(e, 1), UNACKNOWLEDGED);
}

TEST(ReaderProxy, EntriesHoldOneLoanEachAndGiveItBack) {
    {
        Fixture f(3);
        for (auto* c : f.changes) {
            EXPECT_EQ(c->loanCount.load(), 1u);
        }
        f.proxy.acked_changes_set(sn(4));
        f.proxy.removeChange(sn(2));  // in the middle: forgets the change, stays listed
        EXPECT_EQ(f.changes[1]->loanCount.load(), 0u);
        EXPECT_EQ(f.entries[1]->change, nullptr);
        EXPECT_EQ(f.proxy.entryCount(), 3u);
        f.proxy.removeChange(sn(1));  // the front: both removed entries leave
        EXPECT_EQ(f.proxy.entryCount(), 1u);
        EXPECT_EQ(f.changes[0]->loanCount.load(), 0u);
        EXPECT_EQ(f.changes[2]->loanCount.load(), 1u);
        EXPECT_TRUE(f.proxy.checkAcknowledged(sn(3)));
    }
}

TEST(ReaderProxy, PrunedEntriesKeepIndexesValid) {
    Fixture f(4, UNACKNOWLEDGED);
    f.proxy.acked_changes_set(sn(3));
    f.proxy.removeChange(sn(1));
    f.proxy.removeChange(sn(2));
    EXPECT_EQ(f.proxy.entryCount(), 2u);
    SequenceNumber_t first, last;
    f.proxy.getRelevantRange(first, last);
    EXPECT_EQ(first, sn(3));
    EXPECT_EQ(last, sn(4));
    f.proxy.requested_changes_set({sn(4)});
    auto requested = f.proxy.requested_changes();
    ASSERT_EQ(requested.size(), 1u);
    EXPECT_EQ(requested[0]->sequenceNumber, sn(4));
    EXPECT_FALSE(f.proxy.checkAcknowledged(sn(3)));
    EXPECT_TRUE(f.proxy.acked_changes_set(sn(5)));
}

// Removals mostly take the oldest entry (readers acknowledge in order), but come in any order:
// what stays keeps its number, its place in the relevant range and its requests, and only the
// removed changes lose their loans.
TEST(ReaderProxy, RemovalsInAnyOrderKeepTheRestInPlace) {
    struct Case {
        char const* name;
        std::vector<uint32_t> removed;
        uint32_t firstRelevant;  // 2 is irrelevant
        size_t entries;
    };
    const Case cases[] = {
        {"the oldest", {1}, 3, 4},
        {"the oldest, then the irrelevant one", {1, 2}, 3, 3},
        {"the irrelevant one, then the oldest", {2, 1}, 3, 3},
        {"one in the middle stays listed", {3}, 1, 5},
        {"all but the newest, in order", {1, 2, 3, 4}, 5, 1},
    };
    for (Case const& c : cases) {
        Fixture f(5, UNACKNOWLEDGED);
        f.proxy.setIrrelevant(sn(2));
        f.proxy.acked_changes_set(sn(5));
        for (uint32_t r : c.removed) {
            f.proxy.removeChange(sn(r));
        }
        SequenceNumber_t first, last;
        f.proxy.getRelevantRange(first, last);
        EXPECT_EQ(first, sn(c.firstRelevant)) << c.name;
        EXPECT_EQ(last, sn(5)) << c.name;
        EXPECT_EQ(f.proxy.entryCount(), c.entries) << c.name;
        for (uint32_t i = 1; i <= 5; ++i) {
            const bool gone = std::find(c.removed.begin(), c.removed.end(), i) != c.removed.end();
            EXPECT_EQ(f.changes[i - 1]->loanCount.load(), gone ? 0u : 1u) << c.name << " " << i;
        }
        f.proxy.requested_changes_set({sn(5)});
        auto requested = f.proxy.requested_changes();
        ASSERT_EQ(requested.size(), 1u) << c.name;
        EXPECT_EQ(requested[0]->sequenceNumber, sn(5)) << c.name;
        EXPECT_TRUE(f.proxy.checkAcknowledged(sn(4))) << c.name;
        EXPECT_FALSE(f.proxy.checkAcknowledged(sn(5))) << c.name;
    }
}

TEST(ReaderProxy, DestroyingTheProxyReturnsEveryLoan) {
    HistoryCache history;
    std::vector<CacheChange*> changes;
    {
        ReaderProxy p(nullptr, readerGuid(), nullptr, false);
        for (int i = 0; i < 3; ++i) {
            SampleInfo info{};
            auto* c = new CacheChange(GUID_t{}, &info);
            history.add_change(c);
            changes.push_back(c);
            p.addChange(&history, c, UNSENT, true);
        }
    }
    for (auto* c : changes) {
        EXPECT_EQ(c->loanCount.load(), 0u);
    }
}

TEST(ReaderProxy, SuppressionEndsOnlyWhatIsStillUnderway) {
    Fixture f(3);
    auto sent = f.proxy.unsent_changes();
    f.proxy.holdSuppressed(7, {sn(1), sn(2), sn(3)});
    f.proxy.requested_changes_set({sn(2)});  // asked for again meanwhile
    f.proxy.acked_changes_set(sn(2));        // 1 acknowledged meanwhile
    EXPECT_FALSE(f.proxy.releaseSuppressed(8));
    EXPECT_TRUE(f.proxy.releaseSuppressed(7));
    EXPECT_EQ(f.statuses(),
              (std::vector<ChangeForReaderStatusKind>{ACKNOWLEDGED, REQUESTED, UNACKNOWLEDGED}));
    EXPECT_TRUE(f.proxy.hasUnacknowledged());
    EXPECT_FALSE(f.proxy.releaseSuppressed(7));
}

TEST(ReaderProxy, CountsMustGrow) {
    ReaderProxy p(nullptr, readerGuid(), nullptr, false);
    EXPECT_TRUE(p.acceptAckNackCount(1));
    EXPECT_FALSE(p.acceptAckNackCount(1));
    EXPECT_FALSE(p.acceptAckNackCount(0));
    EXPECT_TRUE(p.acceptAckNackCount(5));
    EXPECT_TRUE(p.acceptNackFragCount(1));
    EXPECT_FALSE(p.acceptNackFragCount(1));
    EXPECT_EQ(p.nextHeartbeatCount(), 1u);
    EXPECT_EQ(p.nextHeartbeatCount(), 2u);
    EXPECT_TRUE(p.markDeferredPending());
    EXPECT_FALSE(p.markDeferredPending());
    p.clearDeferredPending();
    EXPECT_TRUE(p.markDeferredPending());
}

}  // namespace
