// Draining and acknowledging a history: the cost per change must not grow with the history's
// length (the fitted complexity stays N log N or better), and stays a small multiple of the
// baseline, a bare ordered map of the same changes drained the same way. A write's cost must
// not grow with the current changes ahead of the withdrawn ones either.
#include <benchmark/benchmark.h>

#include <map>
#include <vector>

#include "rtps/history/HistoryCache.h"

namespace {

void fill(RTPS::HistoryCache& h, std::vector<RTPS::CacheChange*>& cs, int64_t n) {
    cs.clear();
    for (int64_t i = 0; i < n; ++i) {
        cs.push_back(new RTPS::CacheChange(RTPS::GUID_t{}, nullptr));
        h.add_change(cs.back());
    }
}

// Baseline: the changes in an ordered map by number, no list, no record index, no locks.
void BM_BaselineMapByNumberFromTheEnd(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        std::map<RTPS::SequenceNumber_t, RTPS::CacheChange*> m;
        for (int64_t i = 1; i <= n; ++i) {
            m.emplace(RTPS::SequenceNumber_t{0, static_cast<uint32_t>(i)},
                      new RTPS::CacheChange(RTPS::GUID_t{}, nullptr));
        }
        state.ResumeTiming();
        for (int64_t i = n; i >= 1; --i) {
            auto it = m.find(RTPS::SequenceNumber_t{0, static_cast<uint32_t>(i)});
            delete it->second;
            m.erase(it);
        }
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_BaselineMapByNumberFromTheEnd)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Complexity();

void BM_RemoveByNumberFromTheEnd(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::vector<RTPS::CacheChange*> cs;
    for (auto _ : state) {
        state.PauseTiming();
        RTPS::HistoryCache h(static_cast<uint32_t>(n));
        fill(h, cs, n);
        state.ResumeTiming();
        for (int64_t i = n; i >= 1; --i) {
            h.remove_change(RTPS::SequenceNumber_t{0, static_cast<uint32_t>(i)});
        }
        h.removeGarbage(0);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_RemoveByNumberFromTheEnd)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity();

void BM_LookUpAndRemoveByRecord(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::vector<RTPS::CacheChange*> cs;
    for (auto _ : state) {
        state.PauseTiming();
        RTPS::HistoryCache h(static_cast<uint32_t>(n));
        fill(h, cs, n);
        state.ResumeTiming();
        for (int64_t i = n - 1; i >= 0; --i) {
            RTPS::CacheChange* c = h.get_change(&cs[i]->sampleInfo);
            h.remove_change(c);
        }
        h.removeGarbage(0);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_LookUpAndRemoveByRecord)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity();

// One write of a writer whose older changes are still current: the new change is added and
// withdrawn, and the writer looks for withdrawn changes and frees them, as a removal request
// does. The argument is the number of current changes ahead of the withdrawn ones; the row
// with 1 is the baseline and the per-write cost with 10 000 should be the same.
void BM_WriteWithCurrentChangesAhead(benchmark::State& state) {
    const int64_t ahead = state.range(0);
    RTPS::HistoryCache h(static_cast<uint32_t>(ahead));
    std::vector<RTPS::CacheChange*> cs;
    fill(h, cs, ahead);
    std::vector<RTPS::SequenceNumber_t> numbers;
    for (auto _ : state) {
        RTPS::CacheChange* c = new RTPS::CacheChange(RTPS::GUID_t{}, nullptr);
        h.add_change(c);
        h.removalRequest(c->sampleInfo.sequenceNumber);
        h.getRemovalRequested(numbers, 2);
        for (RTPS::SequenceNumber_t const& n : numbers) {
            h.remove_change(n);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteWithCurrentChangesAhead)->Arg(1)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
