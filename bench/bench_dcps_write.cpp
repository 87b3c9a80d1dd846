// One write of a keyed sample through the whole core road: the joint participant and publisher
// lock, liveliness, instance lookup by key hash, packing, sendRTPSmsg into the fake engine's
// cheap writer (and the removal of the change for a VOLATILE writer, or of the replaced sample
// for a KEEP_LAST depth-1 TRANSIENT_LOCAL one). The baseline, run in the same process, copies
// the same sample into a reused vector. Each write counts the heap allocations it makes; in the
// steady state there are none.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <unistd.h>
#include <string>
#include <vector>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeEngine.h"
#include "fake/FakeTypes.h"
#include "vexa/DataWriterImpl.h"

namespace {
std::atomic<uint64_t> allocations{0};
}  // namespace

// Replaced to count; the pair stays out of line so the compiler sees matching new and delete.
__attribute__((noinline)) void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n != 0 ? n : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using vexatest::KeyedSample;

constexpr int32_t INSTANCES = 100;

// One participant with a publisher and the two writers, made on first use.
struct Road {
    vexa::dcps::DomainParticipant* dp = nullptr;
    vexa::dcps::Publisher* pub = nullptr;
    vexa::dcps::Writer* volatileWriter = nullptr;
    vexa::dcps::Writer* keepLastWriter = nullptr;

    static Road& get() {
        static Road road;
        return road;
    }

private:
    Road() {
        vexa::dcps::DPFactory* factory = vexa::dcps::DCPSservice::getInstance().getFactory();
        if (factory == nullptr) {
            std::fprintf(stderr, "no DCPS service: set VEXA_HOME to the staged tree\n");
            std::exit(1);
        }
        vexatest::FakeEngine::instance().setCheapWriters(true);
        auto* type = new vexatest::KeyedTypeSupport;
        factory->addTypeSupport("Keyed", type);
        dp = factory->createParticipant(3, nullptr);
        dp->stopHandlingData();  // no periodic pass competes for the participant mutex
        dp->registerTypeSupport("Keyed", type->typeSupportCB());
        auto* topic = dp->createTopic("Bench", "Keyed", nullptr, nullptr, 0);
        pub = dp->createPublisher(nullptr, nullptr, 0);
        vexa::dds::DataWriterQos q = vexa::dds::predefDataWriterQos();
        volatileWriter = pub->createDW(topic, &q, nullptr, 0)->getEntity();
        q.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
        q.history = {vexa::dds::KEEP_LAST_HISTORY_QOS, 1};
        keepLastWriter = pub->createDW(topic, &q, nullptr, 0)->getEntity();
    }
};

template <class Write>
void run(benchmark::State& state, Write write) {
    KeyedSample s{0, 0};
    // Warm up: every instance exists and every buffer has its size.
    for (int32_t k = 0; k < INSTANCES; ++k) {
        s.key = k;
        write(s);
    }
    uint64_t const before = allocations.load();
    int64_t n = 0;
    for (auto _ : state) {
        s.key = static_cast<int32_t>(n % INSTANCES);
        s.value = static_cast<int32_t>(n);
        benchmark::DoNotOptimize(write(s));
        ++n;
    }
    state.counters["allocs_per_write"] =
        static_cast<double>(allocations.load() - before) / static_cast<double>(n);
}

void BM_BaselineCopyIntoReusedVector(benchmark::State& state) {
    std::vector<uint8_t> buffer;
    run(state, [&buffer](KeyedSample const& s) {
        buffer.resize(sizeof s);
        std::memcpy(buffer.data(), &s, sizeof s);
        benchmark::ClobberMemory();
        return buffer.data();
    });
}
BENCHMARK(BM_BaselineCopyIntoReusedVector);

void BM_WriteVolatile(benchmark::State& state) {
    Road& road = Road::get();
    run(state, [&road](KeyedSample const& s) {
        return road.pub->write(road.volatileWriter, &s, vexa::dds::HANDLE_NIL, nullptr);
    });
}
BENCHMARK(BM_WriteVolatile);

void BM_WriteKeepLastTransientLocal(benchmark::State& state) {
    Road& road = Road::get();
    run(state, [&road](KeyedSample const& s) {
        return road.pub->write(road.keepLastWriter, &s, vexa::dds::HANDLE_NIL, nullptr);
    });
}
BENCHMARK(BM_WriteKeepLastTransientLocal);

// Keeps every run's time per iteration, for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(std::vector<Run> const& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (Run const& r : runs) {
            if (r.run_type == Run::RT_Iteration) {
                nanos_[r.benchmark_name()] = r.GetAdjustedRealTime();
            }
        }
    }
    void printRatios() const {
        auto const base = nanos_.find("BM_BaselineCopyIntoReusedVector");
        if (base == nanos_.end() || base->second <= 0) {
            return;
        }
        for (auto const& [name, ns] : nanos_) {
            std::printf("%-40s %10.1f ns/write  %8.1f x baseline\n", name.c_str(), ns,
                        ns / base->second);
        }
    }

private:
    std::map<std::string, double> nanos_;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("VEXA_HOME", VEXA_STAGE_DIR, 0);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    return 0;
}
