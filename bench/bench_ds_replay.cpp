// Replay of a stored history by vexads against live delivery, in the same run: 10 000 samples
// of 1 KiB of one writer of a TRANSIENT topic, (a) replayed to a late reader from the
// service, (b) delivered live to a reader that is matched already. Each repetition runs the
// real vexads and the two test programs of the durability process tests on loopback, so it
// runs inside tools/isolate:
//
//   VEXA_HOME=$PWD/build/stage tools/isolate $PWD/build/bench/bench_ds_replay
//       --benchmark_repetitions=5   (one line)
//
// Counters (medians over the repetitions are what to read): replay_ms, from the late reader's
// creation to its last sample; live_ms, from the writer's first write to the live reader's
// last sample (the host's monotonic clock in both processes); ratio = replay_ms / live_ms;
// first_ms, the late reader's time from its creation to its first sample (connection to the
// service and its first batch); load1, /proc/loadavg at the end of the repetition.
// BM_IntakeAgainstLive (below) compares the service's live intake with a plain reader's.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "SpawnedProgram.h"

namespace {

using vexatest::SpawnedProgram;
using namespace std::chrono_literals;

constexpr int kSamples = 10000;
constexpr int kBytes = 1024;
constexpr unsigned kDomain = 21;

// Short engine periods, the service on loopback, and room for every sample in the service's
// store and in the applications' histories.
void writeSettings() {
    std::ofstream("trellis.cfg") << "TRANSPORT.MULTICAST_INTERFACE = 127.0.0.1\n"
                                    "DSVC.SERVER_IP = 127.0.0.1\n";
    std::ofstream("rtps.cfg") << "BUSINESS.DEFAULT_UNICAST_IP = 127.0.0.1\n"
                                 "BUSINESS.HEARTBEAT_PERIOD = 100\n"
                                 "BUSINESS.HEARTBEAT_RESPONSE_DELAY = 10\n"
                                 "BUSINESS.NACK_RESPONSE_DELAY = 10\n"
                                 "BUSINESS.SPDP_ANNOUNCE_PERIOD = 200\n";
    std::ofstream("ds.cfg") << "DS.MAX_SAMPLES_PER_DR_LIMIT = 10000\n";
    std::ofstream("dcps.cfg") << "DCPS.MAX_SAMPLES_PER_DW_LIMIT = 10000\n"
                                 "DCPS.MAX_SAMPLES_PER_DR_LIMIT = 10000\n";
}

double loadAverage() {
    std::ifstream in("/proc/loadavg");
    double one = 0;
    in >> one;
    return one;
}

// The time a program printed on the line "<word> <µs>", in milliseconds; -1 when missing.
double timeOf(SpawnedProgram const& program, char const* word) {
    std::string const format = std::string(word) + " %lld";
    for (std::string const& line : program.lines()) {
        long long us = 0;
        if (std::sscanf(line.c_str(), format.c_str(), &us) == 1) {
            return static_cast<double>(us) / 1000.0;
        }
    }
    return -1;
}

std::unique_ptr<SpawnedProgram> writer(int readers, unsigned domain = kDomain) {
    return std::make_unique<SpawnedProgram>(
        DURABLE_WRITER_PATH,
        std::vector<std::string>{std::to_string(domain), "1", std::to_string(kSamples), "0", "0",
                                 std::to_string(kBytes), std::to_string(readers), "0"});
}

std::unique_ptr<SpawnedProgram> reader(unsigned domain = kDomain) {
    return std::make_unique<SpawnedProgram>(
        DURABLE_READER_PATH,
        std::vector<std::string>{std::to_string(domain), std::to_string(kSamples), "3", "0"});
}

bool endedWell(SpawnedProgram& p) {
    int const status = p.wait(300s);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ReplayAgainstLive(benchmark::State& state) {
    writeSettings();
    for (auto _ : state) {
        SpawnedProgram ds(VEXADS_PATH, {std::to_string(kDomain)}, true);
        if (!ds.waitForLine("exit", 30s)) {
            state.SkipWithError("vexads did not start");
            break;
        }
        // Live: the reader is matched before the first write (the writer waits for it and
        // the service's reader).
        auto live = reader();
        auto w = writer(2);
        if (!endedWell(*w) || !endedWell(*live)) {
            state.SkipWithError("live run failed");
            break;
        }
        // Replay: the service has all of them now; a late reader fetches them.
        auto late = reader();
        if (!endedWell(*late)) {
            state.SkipWithError("late reader failed");
            break;
        }
        ds.closeInput();
        ds.wait(30s);
        double const start = timeOf(*w, "start");
        double const liveAll = timeOf(*live, "all");
        double const created = timeOf(*late, "created");
        double const first = timeOf(*late, "first");
        double const replayAll = timeOf(*late, "all");
        if (start < 0 || liveAll < 0 || created < 0 || replayAll < 0) {
            state.SkipWithError("a reader did not get every sample");
            break;
        }
        double const liveMs = liveAll - start;
        double const replayMs = replayAll - created;
        state.SetIterationTime(replayMs / 1000.0);
        state.counters["live_ms"] = liveMs;
        state.counters["replay_ms"] = replayMs;
        state.counters["ratio"] = liveMs > 0 ? replayMs / liveMs : 0;
        state.counters["first_ms"] = first - created;
        state.counters["load1"] = loadAverage();
    }
}
BENCHMARK(BM_ReplayAgainstLive)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The engine's installed timing (no rtps.cfg here), the rest as above.
void writeIntakeSettings() {
    writeSettings();
    std::remove("rtps.cfg");
}

// Live intake by vexads against live delivery to a plain reliable reader, in the same run and
// the installed engine timing: the same writer, once with the service as its only reader and
// once with a plain reader instead (no service running). Counters: intake_ms and live_ms, from
// the first write to the writer's last acknowledgement; ratio = intake_ms / live_ms.
void BM_IntakeAgainstLive(benchmark::State& state) {
    writeIntakeSettings();
    constexpr unsigned kIntakeDomain = kDomain + 1;
    constexpr unsigned kLiveDomain = kDomain + 2;
    for (auto _ : state) {
        double intakeMs = -1;
        {
            SpawnedProgram ds(VEXADS_PATH, {std::to_string(kIntakeDomain)}, true);
            if (!ds.waitForLine("exit", 30s)) {
                state.SkipWithError("vexads did not start");
                break;
            }
            auto w = writer(1, kIntakeDomain);
            if (!endedWell(*w)) {
                state.SkipWithError("the writer to vexads failed");
                break;
            }
            intakeMs = timeOf(*w, "acked_at") - timeOf(*w, "start");
            ds.closeInput();
            ds.wait(30s);
        }
        auto live = reader(kLiveDomain);
        auto w = writer(1, kLiveDomain);
        if (!endedWell(*w) || !endedWell(*live)) {
            state.SkipWithError("live run failed");
            break;
        }
        double const liveMs = timeOf(*w, "acked_at") - timeOf(*w, "start");
        state.SetIterationTime(intakeMs / 1000.0);
        state.counters["intake_ms"] = intakeMs;
        state.counters["live_ms"] = liveMs;
        state.counters["ratio"] = liveMs > 0 ? intakeMs / liveMs : 0;
        state.counters["load1"] = loadAverage();
    }
}
BENCHMARK(BM_IntakeAgainstLive)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
