// The pack() and unpack() tessgen writes, on two keyless topics of the broad test model: a
// fixed one (KeylessFixed: structures, arrays of primitives, of structures and of bit sets,
// read inline) and a variable one (Containers: sequences, strings, maps, arrays of strings),
// and the write path of the example model's keyed Reading (lenPacked() then pack), its unpack
// and its keyHash(), each against a memcpy of the same number of bytes in the same run. The
// ratios to the copy are printed after the runs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Broad.model.h"
#include "Sensors.h"

namespace {

ModelTOPICS::KeylessFixed fixedSample() {
    ModelTOPICS::KeylessFixed t;
    t.m_pair.m_x = 1;
    t.m_inner.m_grid[1][2] = 2.5;
    t.m_inner.m_truth[0][1] = true;
    t.m_point.m_y = -1.0;
    return t;
}

ModelTOPICS::Containers variableSample() {
    ModelTOPICS::Containers t;
    for (int i = 0; i < 100; ++i) {
        t.m_ints.push_back(i);
        t.m_longs.push_back(i * 1000003LL);
        t.m_huges.push_back(i * 0.5L);
    }
    for (int i = 0; i < 20; ++i) {
        Shapes::Point p;
        p.m_x = i;
        p.m_y = -i;
        t.m_points.push_back(p);
        t.m_strings.push_back("string " + std::to_string(i));
        t.m_intToText[i] = "text " + std::to_string(i);
        t.m_byText["key " + std::to_string(i)] = p;
    }
    t.m_textRow = {"a", "bb", "ccc", "dddd"};
    t.m_choiceAA.count(3);
    t.m_sequences.m_choice.count(4);
    return t;
}

Sensors::Reading readingSample() {
    Sensors::Reading r;
    r.m_id = 17;
    r.m_source = "boiler-room/sensor-17";
    r.m_status = Common::Status::OK;
    r.m_value.celsius(21.5f);
    for (int i = 0; i < 16; ++i) {
        r.m_history.push_back(20.0 + i * 0.125);
    }
    r.m_label = "temperature";
    return r;
}

template <class Topic>
unsigned packedLength(const Topic& value) {
    std::vector<uint8_t> buffer(1 << 20);
    return value.pack(buffer.data(), static_cast<unsigned>(buffer.size()));
}

const ModelTOPICS::KeylessFixed kFixed = fixedSample();
const ModelTOPICS::Containers kVariable = variableSample();
const unsigned kFixedBytes = packedLength(kFixed);
const unsigned kVariableBytes = packedLength(kVariable);
const Sensors::Reading kReading = readingSample();
const unsigned kReadingBytes = packedLength(kReading);

void copy(benchmark::State& state, unsigned bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

template <class Topic>
void pack(benchmark::State& state, const Topic& value, unsigned bytes) {
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(value.pack(to.data(), bytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

template <class Topic>
void unpack(benchmark::State& state, const Topic& value, unsigned bytes) {
    std::vector<uint8_t> from(bytes);
    value.pack(from.data(), bytes);
    Topic out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(out.unpack(from.data(), bytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

void BM_FixedMemcpy(benchmark::State& state) {
    copy(state, kFixedBytes);
}
void BM_FixedPack(benchmark::State& state) {
    pack(state, kFixed, kFixedBytes);
}
void BM_FixedUnpack(benchmark::State& state) {
    unpack(state, kFixed, kFixedBytes);
}
void BM_VariableMemcpy(benchmark::State& state) {
    copy(state, kVariableBytes);
}
void BM_VariablePack(benchmark::State& state) {
    pack(state, kVariable, kVariableBytes);
}
void BM_VariableUnpack(benchmark::State& state) {
    unpack(state, kVariable, kVariableBytes);
}

void BM_ReadingMemcpy(benchmark::State& state) {
    copy(state, kReadingBytes);
}
// What a writer does per sample: ask the length, then pack into a buffer of that size.
void BM_ReadingWrite(benchmark::State& state) {
    std::vector<uint8_t> to(kReadingBytes);
    for (auto _ : state) {
        const unsigned length = kReading.lenPacked();
        benchmark::DoNotOptimize(kReading.pack(to.data(), length));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kReadingBytes);
}
void BM_ReadingUnpack(benchmark::State& state) {
    unpack(state, kReading, kReadingBytes);
}
void BM_ReadingKeyHash(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(kReading.keyHash());
    }
}

BENCHMARK(BM_FixedMemcpy);
BENCHMARK(BM_FixedPack);
BENCHMARK(BM_FixedUnpack);
BENCHMARK(BM_VariableMemcpy);
BENCHMARK(BM_VariablePack);
BENCHMARK(BM_VariableUnpack);
BENCHMARK(BM_ReadingMemcpy);
BENCHMARK(BM_ReadingWrite);
BENCHMARK(BM_ReadingUnpack);
BENCHMARK(BM_ReadingKeyHash);

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
    std::printf("\nFixed topic %u bytes, variable topic %u bytes:\n", kFixedBytes, kVariableBytes);
    reporter.printRatio("BM_FixedPack", "BM_FixedMemcpy");
    reporter.printRatio("BM_FixedUnpack", "BM_FixedMemcpy");
    reporter.printRatio("BM_VariablePack", "BM_VariableMemcpy");
    reporter.printRatio("BM_VariableUnpack", "BM_VariableMemcpy");
    std::printf("Reading %u bytes:\n", kReadingBytes);
    reporter.printRatio("BM_ReadingWrite", "BM_ReadingMemcpy");
    reporter.printRatio("BM_ReadingUnpack", "BM_ReadingMemcpy");
    reporter.printRatio("BM_ReadingKeyHash", "BM_ReadingMemcpy");
    benchmark::Shutdown();
    return 0;
}
