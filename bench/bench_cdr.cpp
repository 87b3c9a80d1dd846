// Packing and unpacking a representative sample (a struct of primitives, a string of 100
// characters, a sequence of 1000 doubles) against a plain memcpy of the same number of bytes.
// The ratios to the copy are printed after the runs; the goal is at most 2 for the doubles.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "vexa_pack.h"

namespace {

struct Sample {
    int32_t id = 42;
    double x = 1.25;
    int16_t s = -7;
    uint8_t flag = 1;
    int64_t stamp = 1234567890123LL;
    float f = 0.5f;
    std::string name = std::string(100, 'n');
    std::vector<double> values = std::vector<double>(1000, 3.5);
};

unsigned packSample(const Sample& v, void* out, unsigned len) {
    using namespace VEXA_PACK;
    const unsigned lenbuf = pack(ex_CDR_HEADER_LE, out, len);
    if (lenbuf == 0) {
        return 0;
    }
    uint8_t* data = static_cast<uint8_t*>(out) + 4;
    unsigned pos = packPrimitive(v.id, data, 0, lenbuf);
    pos = pos ? packPrimitive(v.x, data, pos, lenbuf) : 0;
    pos = pos ? packPrimitive(v.s, data, pos, lenbuf) : 0;
    pos = pos ? packPrimitive(v.flag, data, pos, lenbuf) : 0;
    pos = pos ? packPrimitive(v.stamp, data, pos, lenbuf) : 0;
    pos = pos ? packPrimitive(v.f, data, pos, lenbuf) : 0;
    pos = pos ? pack(v.name, data, pos, lenbuf) : 0;
    pos = pos ? pack(v.values, data, pos, lenbuf) : 0;
    return pos ? pos + 4 : 0;
}

bool unpackSample(Sample& v, const void* in, unsigned len) {
    using namespace VEXA_PACK;
    CDR_HEADER header;
    const unsigned lenbuf = unpack(header, in, len);
    if (lenbuf == 0 || header.Encapsulation != CDR_LE) {
        return false;
    }
    const uint8_t* data = static_cast<const uint8_t*>(in) + 4;
    unsigned pos = unpackPrimitive(v.id, data, 0, lenbuf);
    pos = pos ? unpackPrimitive(v.x, data, pos, lenbuf) : 0;
    pos = pos ? unpackPrimitive(v.s, data, pos, lenbuf) : 0;
    pos = pos ? unpackPrimitive(v.flag, data, pos, lenbuf) : 0;
    pos = pos ? unpackPrimitive(v.stamp, data, pos, lenbuf) : 0;
    pos = pos ? unpackPrimitive(v.f, data, pos, lenbuf) : 0;
    pos = pos ? unpack(v.name, data, pos, lenbuf) : 0;
    pos = pos ? unpackPrimitive(v.values, data, pos, lenbuf) : 0;
    return pos != 0;
}

const Sample kSample;
const unsigned kSampleBytes = [] {
    std::vector<uint8_t> buf(16384);
    return packSample(kSample, buf.data(), static_cast<unsigned>(buf.size()));
}();
const unsigned kDoublesBytes = VEXA_PACK::lenPackedVct(0, 8, 1000);

void BM_SampleMemcpy(benchmark::State& state) {
    std::vector<uint8_t> from(kSampleBytes, 1), to(kSampleBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kSampleBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSampleBytes);
}

void BM_SamplePack(benchmark::State& state) {
    std::vector<uint8_t> to(kSampleBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(packSample(kSample, to.data(), kSampleBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSampleBytes);
}

void BM_SampleUnpack(benchmark::State& state) {
    std::vector<uint8_t> from(kSampleBytes);
    packSample(kSample, from.data(), kSampleBytes);
    Sample out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(unpackSample(out, from.data(), kSampleBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSampleBytes);
}

void BM_DoublesMemcpy(benchmark::State& state) {
    std::vector<uint8_t> from(kDoublesBytes, 1), to(kDoublesBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kDoublesBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDoublesBytes);
}

void BM_DoublesPack(benchmark::State& state) {
    std::vector<uint8_t> to(kDoublesBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(VEXA_PACK::pack(kSample.values, to.data(), 0, kDoublesBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDoublesBytes);
}

void BM_DoublesUnpack(benchmark::State& state) {
    std::vector<uint8_t> from(kDoublesBytes);
    VEXA_PACK::pack(kSample.values, from.data(), 0, kDoublesBytes);
    std::vector<double> out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VEXA_PACK::unpackPrimitive(out, from.data(), 0, kDoublesBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDoublesBytes);
}

// The byte-swapping forms, for comparison: they cannot copy in one block.
void BM_DoublesPackCH(benchmark::State& state) {
    std::vector<uint8_t> to(kDoublesBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(VEXA_PACK::packCH(kSample.values, to.data(), 0, kDoublesBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDoublesBytes);
}

BENCHMARK(BM_SampleMemcpy);
BENCHMARK(BM_SamplePack);
BENCHMARK(BM_SampleUnpack);
BENCHMARK(BM_DoublesMemcpy);
BENCHMARK(BM_DoublesPack);
BENCHMARK(BM_DoublesUnpack);
BENCHMARK(BM_DoublesPackCH);

// Keeps the time per iteration of every run so that main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio(const char* what, const char* baseline) const {
        const auto a = times_.find(what);
        const auto b = times_.find(baseline);
        if (a != times_.end() && b != times_.end() && b->second > 0) {
            std::printf("%-18s %6.2f x %s\n", what, a->second / b->second, baseline);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSample of %u bytes, sequence of 1000 doubles %u bytes:\n", kSampleBytes,
                kDoublesBytes);
    reporter.printRatio("BM_SamplePack", "BM_SampleMemcpy");
    reporter.printRatio("BM_SampleUnpack", "BM_SampleMemcpy");
    reporter.printRatio("BM_DoublesPack", "BM_DoublesMemcpy");
    reporter.printRatio("BM_DoublesUnpack", "BM_DoublesMemcpy");
    reporter.printRatio("BM_DoublesPackCH", "BM_DoublesMemcpy");
    benchmark::Shutdown();
    return 0;
}
