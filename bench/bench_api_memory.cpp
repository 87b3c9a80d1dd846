// Resident size of a writer process and a reader process, each an application of the dds::
// API over the real engine on loopback, after 1 000 000 samples written at full rate, beside
// their idle size (entities made and matched, nothing written yet): the ratios after / idle
// and peak / idle, for samples of 64 B and of 1 KiB, and for a writer whose reader has gone.
// The writer is reliable and KEEP_ALL with a 1000-sample limit, so what it may hold is bounded
// by its limits whatever its rate. Run inside tools/isolate:
//
//   VEXA_HOME=$PWD/build/stage tools/isolate $PWD/build/bench/bench_api_memory
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ApiBenchProcess.h"
#include "RoundTrip_DCPS.hpp"

namespace {

using namespace apibench;

constexpr uint32_t kSamples = 1000000;
constexpr int32_t kLimit = 1000;
constexpr int kWaitSeconds = 30;
constexpr uint32_t kStop = 0xFFFFFFFFu;

// One process's figures, in KiB, sent back on the pipe.
struct Resident {
    uint64_t idle = 0;
    uint64_t after = 0;
    uint64_t peak = 0;
    uint64_t samples = 0;  // written or taken
    int64_t ns = 0;        // from the first write to the last
};

uint64_t rssKiB() {
    return statusKiB("VmRSS:");
}

uint64_t peakKiB() {
    return statusKiB("VmHWM:");
}

dds::pub::qos::DataWriterQos writerQos(dds::pub::Publisher& publisher) {
    dds::pub::qos::DataWriterQos qos = reliableKeepAll(publisher);
    qos.policy(dds::core::policy::ResourceLimits(kLimit, kLimit, kLimit));
    return qos;
}

dds::sub::qos::DataReaderQos readerQos(dds::sub::Subscriber& subscriber) {
    dds::sub::qos::DataReaderQos qos = reliableReader(
        subscriber, dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
    qos.policy(dds::core::policy::ResourceLimits(kLimit, kLimit, kLimit));
    return qos;
}

// The writer of a run with a reader: waits for the match, writes kSamples numbered samples as
// fast as the writer takes them, then the stop sample.
int memoryWriter(int fd, size_t size, uint32_t domain) {
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "Memory");
        dds::pub::Publisher publisher(participant);
        dds::pub::DataWriter<RoundTrip::Echo> writer(publisher, topic, writerQos(publisher));
        RoundTrip::Echo echo = echoOfSize(size);
        bool const alone = fd < 0;
        int const out = alone ? -fd : fd;
        if (!alone) {
            waitForReader(writer, kWaitSeconds);
        }
        Resident r;
        r.idle = rssKiB();
        int64_t const begin = nowNs();
        for (uint32_t i = 0; i < kSamples; ++i) {
            echo.number(i);
            for (;;) {
                try {
                    writer.write(echo);
                    break;
                } catch (dds::core::TimeoutError const&) {
                    // A full history that did not drain within the blocking time: again.
                }
            }
        }
        r.ns = nowNs() - begin;
        r.samples = kSamples;
        r.after = rssKiB();
        r.peak = peakKiB();
        if (!alone) {
            echo.number(kStop);
            writer.write(echo);
            writer.wait_for_acknowledgments(dds::core::Duration(kWaitSeconds, 0));
        }
        writeAll(out, &r, sizeof r);
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "memory writer: %s\n", e.what());
        return 3;
    }
    return 0;
}

// The reader: takes everything until the stop sample.
int memoryReader(int fd, size_t, uint32_t domain) {
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "Memory");
        dds::sub::Subscriber subscriber(participant);
        dds::sub::DataReader<RoundTrip::Echo> reader(subscriber, topic, readerQos(subscriber));
        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::any());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        waitForWriter(reader, kWaitSeconds);
        Resident r;
        r.idle = rssKiB();
        int64_t begin = 0;
        for (;;) {
            waitset.wait(dds::core::Duration(kWaitSeconds, 0));
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                if (begin == 0) {
                    begin = nowNs();
                }
                if (sample.data().number() == kStop) {
                    r.ns = nowNs() - begin;
                    r.after = rssKiB();
                    r.peak = peakKiB();
                    writeAll(fd, &r, sizeof r);
                    return 0;
                }
                ++r.samples;
            }
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "memory reader: %s\n", e.what());
        return 3;
    }
}

uint32_t nextDomain() {
    static uint32_t domain = 40;
    return domain++;
}

// One writer and, unless `alone`, one reader; false when a side failed.
bool run(size_t size, bool alone, Resident& writer, Resident& reader) {
    int wfds[2];
    int rfds[2];
    if (::pipe(wfds) != 0 || ::pipe(rfds) != 0) {
        return false;
    }
    uint32_t const domain = nextDomain();
    pid_t readerPid = 0;
    if (!alone) {
        readerPid = start(memoryReader, rfds[1], size, domain);
    }
    // A negative descriptor tells the writer it has no reader to wait for.
    pid_t const writerPid = start(memoryWriter, alone ? -wfds[1] : wfds[1], size, domain);
    ::close(wfds[1]);
    ::close(rfds[1]);
    bool ok = readAll(wfds[0], &writer, sizeof writer);
    if (!alone) {
        ok = readAll(rfds[0], &reader, sizeof reader) && ok;
    }
    ::close(wfds[0]);
    ::close(rfds[0]);
    ok = exitCodeOf(writerPid) == 0 && ok;
    if (!alone) {
        reap(readerPid);
    }
    return ok;
}

double ratio(uint64_t a, uint64_t b) {
    return b == 0 ? 0 : static_cast<double>(a) / static_cast<double>(b);
}

void BM_ResidentAfterMillionSamples(benchmark::State& state) {
    size_t const size = static_cast<size_t>(state.range(0));
    bool const alone = state.range(1) != 0;
    for (auto _ : state) {
        double const loadBefore = load1();
        Resident w;
        Resident r;
        if (!run(size, alone, w, r)) {
            state.SkipWithError("a side failed");
            return;
        }
        state.SetIterationTime(static_cast<double>(w.ns) / 1e9);
        state.counters["w_idle_MiB"] = static_cast<double>(w.idle) / 1024;
        state.counters["w_after_MiB"] = static_cast<double>(w.after) / 1024;
        state.counters["w_after_idle"] = ratio(w.after, w.idle);
        state.counters["w_peak_idle"] = ratio(w.peak, w.idle);
        state.counters["w_rate_k/s"] = w.ns > 0 ? 1e6 * kSamples / static_cast<double>(w.ns) : 0;
        if (!alone) {
            state.counters["r_idle_MiB"] = static_cast<double>(r.idle) / 1024;
            state.counters["r_after_MiB"] = static_cast<double>(r.after) / 1024;
            state.counters["r_after_idle"] = ratio(r.after, r.idle);
            state.counters["r_peak_idle"] = ratio(r.peak, r.idle);
            state.counters["r_taken"] = static_cast<double>(r.samples);
        }
        state.counters["load1"] = (loadBefore + load1()) / 2;
        std::fprintf(stderr,
                     "%zu B%s: writer idle %llu KiB, after %llu KiB (x%.2f), peak %llu KiB "
                     "(x%.2f), %.0f samples/s; reader idle %llu KiB, after %llu KiB (x%.2f), "
                     "peak %llu KiB (x%.2f), %llu taken; loadavg %s\n",
                     size, alone ? " (no reader)" : "", (unsigned long long)w.idle,
                     (unsigned long long)w.after, ratio(w.after, w.idle),
                     (unsigned long long)w.peak, ratio(w.peak, w.idle),
                     w.ns > 0 ? 1e9 * kSamples / static_cast<double>(w.ns) : 0.0,
                     (unsigned long long)r.idle, (unsigned long long)r.after,
                     ratio(r.after, r.idle), (unsigned long long)r.peak, ratio(r.peak, r.idle),
                     (unsigned long long)r.samples, loadLine().c_str());
    }
}
// (size, alone): interleaved sizes, then a writer whose reader never came.
BENCHMARK(BM_ResidentAfterMillionSamples)
    ->Args({64, 0})
    ->Args({1024, 0})
    ->Args({64, 1})
    ->Args({1024, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
