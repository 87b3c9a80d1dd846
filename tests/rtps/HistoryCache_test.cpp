#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "rtps/history/HistoryCache.h"

using RTPS::CacheChange;
using RTPS::HistoryCache;
using RTPS::SequenceNumber_t;

namespace {

RTPS::GUID_t writer(uint8_t key) {
    RTPS::GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.entityId = {{0, 0, key}, 0x02};
    return g;
}

CacheChange* change(uint8_t key = 1) {
    return new CacheChange(writer(key), nullptr);
}

CacheChange* received(SequenceNumber_t sn, uint8_t key = 1) {
    CacheChange* c = change(key);
    c->setSequenceNumber(sn);
    return c;
}

// A user buffer is only a token here: the test never looks inside it.
RTPS::UserInputBuffer* token(uintptr_t n) {
    return reinterpret_cast<RTPS::UserInputBuffer*>(n * 16);
}

// Records the buffers the history hands back, in order.
struct Released {
    std::mutex m;
    std::vector<RTPS::UserInputBuffer*> buffers;
    void attach(HistoryCache& h) {
        h.setUserBufferReleaser([this](RTPS::UserInputBuffer* b) {
            std::lock_guard<std::mutex> g(m);
            buffers.push_back(b);
        });
    }
};

const SequenceNumber_t NONE = RTPS::SEQUENCENUMBER_NULL;

}  // namespace

TEST(HistoryCache, OwnNumbersStartAtOneAndTrackMinAndMax) {
    HistoryCache h;
    CacheChange* first = change();
    EXPECT_EQ(h.add_change(first), 1u);
    EXPECT_EQ(first->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 1}));
    EXPECT_EQ(h.getSeqNumMin(), (SequenceNumber_t{0, 1}));
    EXPECT_EQ(h.getSeqNumMax(), (SequenceNumber_t{0, 1}));

    CacheChange* second = change();
    CacheChange* third = change();
    h.add_change(second);
    EXPECT_EQ(h.add_change(third), 3u);
    EXPECT_EQ(third->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 3}));
    EXPECT_EQ(h.getNextSequenceNumber(), (SequenceNumber_t{0, 4}));

    // A change that comes with its number leaves the three numbers alone.
    h.add_change(received({5, 7}));
    EXPECT_EQ(h.getSeqNumMax(), (SequenceNumber_t{0, 3}));
    EXPECT_EQ(h.getNextSequenceNumber(), (SequenceNumber_t{0, 4}));
    ASSERT_NE(h.get_change(SequenceNumber_t{5, 7}), nullptr);

    h.remove_change(first);  // the first: min moves to the second
    EXPECT_EQ(h.getSeqNumMin(), (SequenceNumber_t{0, 2}));
    h.remove_change(SequenceNumber_t{5, 7});  // the last: max moves to the one before
    EXPECT_EQ(h.getSeqNumMax(), (SequenceNumber_t{0, 3}));
    h.remove_change(third);
    h.remove_change(second);  // the only one
    EXPECT_EQ(h.getSeqNumMin(), NONE);
    EXPECT_EQ(h.getSeqNumMax(), NONE);
    EXPECT_EQ(h.size(), 0u);
    EXPECT_EQ(h.garbageSize(), 1u);  // only the loaned one waits
    // Numbering goes on where it was.
    CacheChange* next = change();
    h.add_change(next);
    EXPECT_EQ(next->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 4}));
}

TEST(HistoryCache, LookupsByNumberAndByRecord) {
    HistoryCache h;
    CacheChange* a = change();
    CacheChange* b = change();
    h.add_change(a);
    h.add_change(b);

    CacheChange* got = h.get_change(SequenceNumber_t{0, 2});
    EXPECT_EQ(got, b);
    EXPECT_EQ(b->loanCount, 1u);
    for (SequenceNumber_t sn : {SequenceNumber_t{0, 3}, NONE, RTPS::SEQUENCENUMBER_UNKNOWN}) {
        EXPECT_EQ(h.get_change(sn), nullptr);
        EXPECT_EQ(h.remove_change(sn), nullptr);
    }

    EXPECT_EQ(h.get_change(&a->sampleInfo), a);
    EXPECT_EQ(a->loanCount, 0u);  // the record lookup takes no loan
    RTPS::SampleInfo stranger{};
    EXPECT_EQ(h.get_change(&stranger), nullptr);
    EXPECT_EQ(h.getEarliestChange(), a);
    EXPECT_EQ(h.getEarliestChangeNum(), (SequenceNumber_t{0, 1}));

    h.remove_change(a);
    EXPECT_EQ(h.get_change(&a->sampleInfo), nullptr);
    EXPECT_EQ(h.get_change(SequenceNumber_t{0, 1}), nullptr);
    EXPECT_EQ(h.getEarliestChange(), b);
    EXPECT_EQ(h.remove_change(static_cast<CacheChange*>(nullptr)), 0xFFFFFFFFu);
}

// A change keeps its place in the history that holds it: another history, or the same one
// after the change was taken out, must treat it as a stranger and leave its own list alone.
TEST(HistoryCache, AChangeNotHeldHereIsAStranger) {
    struct Case {
        char const* name;
        bool heldElsewhere;  // else: taken out of this history while loaned
    };
    const Case cases[] = {{"held by another history", true}, {"taken out while loaned", false}};
    for (Case const& k : cases) {
        HistoryCache other;
        HistoryCache h;
        CacheChange* first = change();
        CacheChange* last = change();
        h.add_change(first);
        CacheChange* c = change();
        if (k.heldElsewhere) {
            other.add_change(c);
        } else {
            h.add_change(c);
            h.get_change(c);
            h.remove_change(c);
        }
        h.add_change(last);
        const uint32_t loans = c->loanCount.load();

        EXPECT_EQ(h.remove_change(c), loans) << k.name;
        EXPECT_EQ(h.get_change(&c->sampleInfo), nullptr) << k.name;
        if (k.heldElsewhere) {
            EXPECT_EQ(h.add_change(c), 2u) << k.name;  // held by one history at a time
        }
        std::vector<CacheChange*> held;
        h.upload(held);
        EXPECT_EQ(held, (std::vector<CacheChange*>{first, last})) << k.name;
        if (k.heldElsewhere) {
            EXPECT_EQ(other.size(), 1u) << k.name;
            EXPECT_EQ(other.get_change(&c->sampleInfo), c) << k.name;
            EXPECT_EQ(other.remove_change(c), 0u) << k.name;
            EXPECT_EQ(other.size(), 0u) << k.name;
        } else {
            EXPECT_EQ(h.garbageSize(), 1u) << k.name;
            h.free_change(c);
            EXPECT_EQ(h.garbageSize(), 0u) << k.name;
        }
    }
}

TEST(HistoryCache, EqualNumbersFromTwoWritersAreFoundInArrivalOrder) {
    HistoryCache h;
    CacheChange* fromA = received({0, 9}, 1);
    CacheChange* fromB = received({0, 9}, 2);
    h.add_change(fromA);
    h.add_change(fromB);
    EXPECT_EQ(h.get_change(SequenceNumber_t{0, 9}), fromA);
    h.remove_change(SequenceNumber_t{0, 9});
    EXPECT_EQ(h.get_change(SequenceNumber_t{0, 9}), fromB);
    EXPECT_EQ(h.get_change(&fromB->sampleInfo), fromB);
}

TEST(HistoryCache, LoansSaturateAtBothEnds) {
    HistoryCache h;
    CacheChange* c = change();
    h.add_change(c);
    h.free_change(c);
    h.free_change(SequenceNumber_t{0, 1});
    EXPECT_EQ(c->loanCount, 0u);
    EXPECT_FALSE(h.check_change(c));
    c->loanCount = 0xFFFFFFFF;
    EXPECT_EQ(h.get_change(c), 0xFFFFFFFFu);
    EXPECT_EQ(h.get_change(SequenceNumber_t{0, 1}), c);
    EXPECT_EQ(c->loanCount, 0xFFFFFFFFu);
    EXPECT_TRUE(h.check_change(c));
    c->loanCount = 0;
}

// A change taken out goes back at once when nobody holds it, and with the free_change that ends
// its last loan otherwise; nothing waits for a collector.
TEST(HistoryCache, AChangeIsFreedWhenItLeavesUnheldOrItsLastLoanEnds) {
    struct Case {
        char const* name;
        uint32_t loans;
        bool byNumber;
    };
    const Case cases[] = {
        {"unheld, by pointer", 0, false},
        {"unheld, by number", 0, true},
        {"one loan, by pointer", 1, false},
        {"two loans, by number", 2, true},
    };
    for (Case const& c : cases) {
        Released released;  // outlives the history, which frees `kept` when it goes
        HistoryCache h;
        released.attach(h);
        CacheChange* kept = change();
        kept->userBuffer = token(1);
        h.add_change(kept);
        CacheChange* gone = change();
        gone->userBuffer = token(2);
        h.add_change(gone);
        EXPECT_EQ(h.ownedCount(), 2u) << c.name;
        for (uint32_t i = 0; i < c.loans; ++i) {
            h.get_change(gone);
        }
        if (c.byNumber) {
            EXPECT_EQ(h.remove_change(SequenceNumber_t{0, 2}), token(2)) << c.name;
        } else {
            EXPECT_EQ(h.remove_change(gone), c.loans) << c.name;
        }
        for (uint32_t i = 0; i < c.loans; ++i) {
            EXPECT_TRUE(released.buffers.empty()) << c.name << ", loans left: " << c.loans - i;
            EXPECT_EQ(h.ownedCount(), 2u) << c.name;
            h.free_change(gone);
        }
        EXPECT_EQ(released.buffers, std::vector<RTPS::UserInputBuffer*>{token(2)}) << c.name;
        EXPECT_EQ(h.ownedCount(), 1u) << c.name;
        EXPECT_EQ(h.garbageSize(), 0u) << c.name;
        // A loan on a held change ending frees nothing.
        h.get_change(kept);
        h.free_change(kept);
        EXPECT_EQ(h.size(), 1u) << c.name;
    }
}

// The reader's removal by record: the loan it ends decides whether the change goes at once or
// waits for its last loan; a record the history does not hold is refused and changes nothing.
TEST(HistoryCache, RemovalByRecordEndsAtMostOneLoan) {
    struct Case {
        char const* name;
        uint32_t loans;
        bool endLoan;
        uint32_t loansLeft;  // 0: freed at once
    };
    const Case cases[] = {
        {"unloaned", 0, false, 0},
        {"unloaned, nothing to end", 0, true, 0},
        {"its one loan ended", 1, true, 0},
        {"its one loan kept", 1, false, 1},
        {"one of two loans ended", 2, true, 1},
    };
    for (Case const& c : cases) {
        Released released;
        HistoryCache h;
        released.attach(h);
        CacheChange* kept = change();
        h.add_change(kept);
        CacheChange* gone = change();
        gone->userBuffer = token(2);
        h.add_change(gone);
        for (uint32_t i = 0; i < c.loans; ++i) {
            h.get_change(gone);
        }
        RTPS::SampleInfo stranger{};
        EXPECT_FALSE(h.removeByRecord(&stranger, c.endLoan)) << c.name;
        EXPECT_EQ(h.size(), 2u) << c.name;

        EXPECT_TRUE(h.removeByRecord(&gone->sampleInfo, c.endLoan)) << c.name;
        EXPECT_EQ(h.size(), 1u) << c.name;
        EXPECT_EQ(h.get_change(&gone->sampleInfo), nullptr) << c.name;
        EXPECT_EQ(h.garbageSize(), c.loansLeft != 0 ? 1u : 0u) << c.name;
        if (c.loansLeft != 0) {
            EXPECT_TRUE(released.buffers.empty()) << c.name;
            EXPECT_EQ(gone->loanCount, c.loansLeft) << c.name;
            EXPECT_FALSE(h.removeByRecord(&gone->sampleInfo, c.endLoan)) << c.name;
            for (uint32_t i = 0; i < c.loansLeft; ++i) {
                h.free_change(gone);
            }
        }
        EXPECT_EQ(released.buffers, std::vector<RTPS::UserInputBuffer*>{token(2)}) << c.name;
        EXPECT_EQ(h.ownedCount(), 1u) << c.name;
        EXPECT_EQ(h.getEarliestChange(), kept) << c.name;
    }
}

// The collector finds work only where a loan count was lowered behind the history's back.
TEST(HistoryCache, RemoveGarbageFreesAtMostMax) {
    HistoryCache h;
    Released released;
    released.attach(h);
    std::vector<CacheChange*> cs;
    for (uintptr_t i = 1; i <= 5; ++i) {
        CacheChange* c = change();
        c->userBuffer = token(i);
        h.add_change(c);
        h.get_change(c);
        h.remove_change(c);
        cs.push_back(c);
    }
    EXPECT_EQ(h.removeGarbage(0), 5u);
    for (CacheChange* c : cs) {
        c->loanCount = 0;
    }
    EXPECT_EQ(h.ownedCount(), 5u);
    EXPECT_EQ(h.removeGarbage(2), 3u);
    EXPECT_EQ(released.buffers.size(), 2u);
    EXPECT_EQ(h.ownedCount(), 3u);
    EXPECT_EQ(h.removeGarbage(0), 0u);
    EXPECT_EQ(released.buffers.size(), 5u);
    EXPECT_EQ(h.ownedCount(), 0u);
}

TEST(HistoryCache, DestroyingFreesEveryChangeLoanedOrNot) {
    Released released;
    {
        HistoryCache h;
        released.attach(h);
        for (uintptr_t i = 1; i <= 4; ++i) {
            CacheChange* c = change();
            c->userBuffer = token(i);
            h.add_change(c);
        }
        h.get_change(SequenceNumber_t{0, 1});
        h.remove_change(SequenceNumber_t{0, 1});
        h.get_change(SequenceNumber_t{0, 3});
    }
    EXPECT_EQ(released.buffers.size(), 4u);
}

TEST(HistoryCache, RemovalRequests) {
    HistoryCache h;
    for (int i = 0; i < 5; ++i) {
        h.add_change(change());
    }
    for (uint32_t n : {4u, 2u, 5u}) {
        h.removalRequest(SequenceNumber_t{0, n});
    }
    h.removalRequest(SequenceNumber_t{0, 99});
    std::vector<CacheChange*> out;
    h.getRemovalRequested(&out, 0);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0]->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 2}));
    EXPECT_EQ(out[2]->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 5}));
    h.getRemovalRequested(&out, 2);
    EXPECT_EQ(out.size(), 2u);
    h.getNotRemovalRequested(&out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1]->sampleInfo.sequenceNumber, (SequenceNumber_t{0, 3}));

    h.upload(out);
    EXPECT_EQ(out.size(), 5u);
    out[0]->multicasted = true;
    h.resetMulticasted();
    EXPECT_FALSE(out[0]->multicasted);
}

TEST(HistoryCache, AddingTheSameChangeTwiceKeepsOneEntry) {
    HistoryCache h;
    CacheChange* c = change();
    EXPECT_EQ(h.add_change(c), 1u);
    EXPECT_EQ(h.add_change(c), 1u);
    EXPECT_EQ(h.add_change(nullptr), 1u);
    h.remove_change(c);
    EXPECT_EQ(h.removeGarbage(0), 0u);  // freed once
}

TEST(HistoryCache, ReserveIsOnlyAHint) {
    HistoryCache huge(0xFFFFFFFF);  // an unlimited sample count must not allocate for it
    HistoryCache none(0);
    huge.reserve(0xFFFFFFFF);
    huge.add_change(change());
    EXPECT_EQ(huge.size(), 1u);
}

// Draining a long history by number and acknowledging it by record must not walk the list for
// every change.
TEST(HistoryCache, DrainingManyChangesStaysFast) {
    const uint32_t n = 200000;
    HistoryCache h(n);
    std::vector<CacheChange*> cs;
    cs.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        cs.push_back(change());
        h.add_change(cs.back());
    }
    for (uint32_t i = n; i >= 1; i -= 2) {  // every other one from the end, by number
        h.remove_change(SequenceNumber_t{0, i});
    }
    ASSERT_EQ(h.size(), n / 2);
    ASSERT_EQ(h.get_change(&cs[1]->sampleInfo), nullptr);
    for (uint32_t i = 0; i < n; i += 2) {  // the rest by record
        ASSERT_EQ(h.get_change(&cs[i]->sampleInfo), cs[i]);
        h.remove_change(cs[i]);
    }
    EXPECT_EQ(h.size(), 0u);
    EXPECT_EQ(h.removeGarbage(0), 0u);
}

TEST(HistoryCache, ConcurrentWritersReadersAndCollector) {
    HistoryCache h;
    std::atomic<bool> done{false};
    std::thread collector([&] {
        while (!done) {
            h.removeGarbage(0);
        }
    });
    std::thread reader([&] {
        while (!done) {
            SequenceNumber_t sn = h.getEarliestChangeNum();
            if (CacheChange* c = h.get_change(sn)) {
                h.free_change(c);
            }
        }
    });
    for (int i = 0; i < 20000; ++i) {
        h.add_change(change());
        if (i % 2 == 1) {
            h.remove_change(h.getEarliestChangeNum());
        }
    }
    done = true;
    collector.join();
    reader.join();
    EXPECT_EQ(h.size(), 10000u);
}
