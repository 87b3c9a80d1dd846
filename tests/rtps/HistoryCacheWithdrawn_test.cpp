// The index of withdrawn changes must answer what a walk of the whole list answers: the changes
// marked for removal, in list order, however marking, removal and re-adding interleave.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "rtps/history/HistoryCache.h"

using RTPS::CacheChange;
using RTPS::HistoryCache;
using RTPS::SequenceNumber_t;

namespace {

SequenceNumber_t sn(uint32_t n) {
    return SequenceNumber_t{0, n};
}

CacheChange* fresh() {
    return new CacheChange(RTPS::GUID_t{}, nullptr);
}

CacheChange* numbered(uint32_t n, bool withdrawn = false) {
    CacheChange* c = fresh();
    c->setSequenceNumber(sn(n));
    c->removalRequested = withdrawn;
    return c;
}

void addFresh(HistoryCache& h, int count) {
    for (int i = 0; i < count; ++i) {
        h.add_change(fresh());
    }
}

void withdraw(HistoryCache& h, std::vector<uint32_t> const& numbers) {
    for (uint32_t n : numbers) {
        h.removalRequest(sn(n));
    }
}

// What the history answered before it kept an index: every held change, front to back.
std::vector<CacheChange*> walk(HistoryCache& h, bool withdrawn) {
    std::vector<CacheChange*> all;
    h.upload(all);
    std::vector<CacheChange*> out;
    for (CacheChange* c : all) {
        if (c->removalRequested == withdrawn) {
            out.push_back(c);
        }
    }
    return out;
}

struct WithdrawnCase {
    std::string name;
    std::function<void(HistoryCache&)> build;
    std::vector<uint32_t> expected;  // numbers of the withdrawn changes, in list order
};

std::vector<WithdrawnCase> cases() {
    return {
        {"NoneWithdrawn",
         [](HistoryCache& h) {
             addFresh(h, 4);
             withdraw(h, {9});
         },
         {}},
        {"AtTheFront",
         [](HistoryCache& h) {
             addFresh(h, 6);
             withdraw(h, {1, 2});
         },
         {1, 2}},
        {"InTheMiddle",
         [](HistoryCache& h) {
             addFresh(h, 6);
             withdraw(h, {4, 3});
         },
         {3, 4}},
        {"AtTheEnd",
         [](HistoryCache& h) {
             addFresh(h, 6);
             withdraw(h, {6, 5});
         },
         {5, 6}},
        {"InterleavedAndTwice",
         [](HistoryCache& h) {
             addFresh(h, 7);
             withdraw(h, {6, 2, 4, 2, 6});
         },
         {2, 4, 6}},
        {"RemovedByNumber",
         [](HistoryCache& h) {
             addFresh(h, 6);
             withdraw(h, {2, 4, 5});
             h.remove_change(sn(4));
         },
         {2, 5}},
        {"RemovedByPointer",
         [](HistoryCache& h) {
             addFresh(h, 6);
             withdraw(h, {1, 3});
             h.remove_change(h.get_change(&walk(h, true)[0]->sampleInfo));
         },
         {3}},
        {"RemovedWhileLoaned",
         [](HistoryCache& h) {
             addFresh(h, 4);
             withdraw(h, {2, 3});
             CacheChange* loaned = h.get_change(sn(2));
             h.remove_change(sn(2));
             h.free_change(loaned);  // the last loan frees it
         },
         {3}},
        {"AddedAlreadyWithdrawn",
         [](HistoryCache& h) {
             h.add_change(numbered(1));
             h.add_change(numbered(2, true));
             h.add_change(numbered(3));
         },
         {2}},
        {"ReAddedAfterRemoval",
         [](HistoryCache& h) {
             addFresh(h, 4);
             withdraw(h, {2, 3});
             h.remove_change(sn(2));
             h.add_change(numbered(2));  // behind 4 in the list, not withdrawn
         },
         {3}},
        {"ReAddedAndWithdrawnKeepsListOrder",
         [](HistoryCache& h) {
             addFresh(h, 4);
             withdraw(h, {3});
             h.remove_change(sn(2));
             h.add_change(numbered(2));
             withdraw(h, {2, 1});
         },
         {1, 3, 2}},
        {"EqualNumbersMarkTheFirstHeld",
         [](HistoryCache& h) {
             h.add_change(numbered(2));
             h.add_change(numbered(2));
             withdraw(h, {2});
             h.remove_change(sn(2));  // the withdrawn one
         },
         {}},
        {"EqualNumbersThenTheSecond",
         [](HistoryCache& h) {
             h.add_change(numbered(2));
             h.add_change(numbered(2));
             h.add_change(numbered(1));
             withdraw(h, {2, 1});
             h.remove_change(sn(2));
             withdraw(h, {2});
         },
         {2, 1}},
        {"ClearedAndRefilled",
         [](HistoryCache& h) {
             addFresh(h, 5);
             withdraw(h, {1, 3, 5});
             for (uint32_t n = 1; n <= 5; ++n) {
                 h.remove_change(sn(n));
             }
             addFresh(h, 3);  // 6, 7, 8
             withdraw(h, {7});
         },
         {7}},
    };
}

class HistoryCacheWithdrawn : public ::testing::TestWithParam<WithdrawnCase> {};

TEST_P(HistoryCacheWithdrawn, IndexAnswersWhatTheListWalkAnswers) {
    WithdrawnCase const& tc = GetParam();
    HistoryCache h;
    tc.build(h);

    std::vector<CacheChange*> const listed = walk(h, true);
    std::vector<uint32_t> listedNumbers;
    for (CacheChange* c : listed) {
        listedNumbers.push_back(c->sampleInfo.sequenceNumber.low);
    }
    ASSERT_EQ(listedNumbers, tc.expected) << "the case itself";

    // Every limit, 0 meaning all: a prefix of the walk's answer.
    for (unsigned long max = 0; max <= tc.expected.size() + 1; ++max) {
        const size_t n = max == 0 ? listed.size() : std::min<size_t>(max, listed.size());
        std::vector<CacheChange*> changes(1, nullptr);  // the call replaces what was there
        h.getRemovalRequested(&changes, max);
        EXPECT_EQ(changes, std::vector<CacheChange*>(listed.begin(), listed.begin() + n))
            << "max " << max;

        std::vector<SequenceNumber_t> numbers{sn(999)};
        h.getRemovalRequested(numbers, max);
        std::vector<SequenceNumber_t> want;
        for (size_t i = 0; i < n; ++i) {
            want.push_back(listed[i]->sampleInfo.sequenceNumber);
        }
        EXPECT_EQ(numbers, want) << "max " << max;
    }
    std::vector<CacheChange*> current;
    h.getNotRemovalRequested(&current);
    EXPECT_EQ(current, walk(h, false));
}

INSTANTIATE_TEST_SUITE_P(Histories, HistoryCacheWithdrawn, ::testing::ValuesIn(cases()),
                         [](auto const& info) { return info.param.name; });

}  // namespace
