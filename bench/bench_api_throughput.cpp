// Throughput of one reliable KEEP_ALL writer process to one reader process through the dds::
// API over the real engine on loopback, in the shipped configuration (default resource limits):
// samples/s and MB/s from the first write to the last sample taken, every sample checked to
// arrive once and in order; the same under 10 % send loss (the tests' send shim, preloaded
// into both processes); the resident size of both processes when idle after matching and at the
// end. Run inside tools/isolate:
//
//   VEXA_HOME=$PWD/build/stage tools/isolate $PWD/build/bench/bench_api_throughput
//
// VEXA_TPUT_SAMPLES sets the samples of a loss-free run (default 200000); a run under loss
// writes a tenth of them.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ApiBenchProcess.h"
#include "RoundTrip_DCPS.hpp"

namespace {

using namespace apibench;

constexpr int kWaitSeconds = 30;
// A run that has not ended by then counts as failed (a stall, not a slow run).
constexpr int kRunSeconds = 300;

int64_t samplesOfRun() {
    char const* v = std::getenv("VEXA_TPUT_SAMPLES");
    long long const n = v != nullptr ? std::strtoll(v, nullptr, 10) : 0;
    return n > 0 ? n : 200000;
}

// What a child process reports to the parent on its pipe when it ends.
struct Report {
    int64_t firstNs = 0;  // writer: before its first write
    int64_t lastNs = 0;   // reader: when it took the last sample; writer: acknowledged
    int64_t idleKiB = 0;  // once matched, before the first sample
    int64_t endKiB = 0;
    int64_t faults = 0;    // reader: samples out of order, twice, or missing
    int64_t timeouts = 0;  // writer: writes that timed out (and were written again)
};

dds::pub::qos::DataWriterQos writerQos(dds::pub::Publisher& publisher) {
    return reliableKeepAll(publisher);
}

dds::sub::qos::DataReaderQos readerQos(dds::sub::Subscriber& subscriber) {
    return reliableReader(subscriber,
                          dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_ALL, 1));
}

// ---- the two processes -------------------------------------------------------------------

int runWriter(int fd, size_t size, int64_t count, uint32_t domain) {
    Report report;
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "Throughput");
        dds::pub::Publisher publisher(participant);
        dds::pub::DataWriter<RoundTrip::Echo> writer(publisher, topic, writerQos(publisher));
        waitForReader(writer, kWaitSeconds);
        RoundTrip::Echo echo = echoOfSize(size);
        report.idleKiB = static_cast<int64_t>(statusKiB("VmRSS:"));
        report.firstNs = nowNs();
        for (int64_t i = 0; i < count; ++i) {
            echo.number(static_cast<uint32_t>(i));
            for (;;) {
                try {
                    writer.write(echo);
                    break;
                } catch (dds::core::TimeoutError const&) {
                    ++report.timeouts;
                }
            }
        }
        writer.wait_for_acknowledgments(dds::core::Duration(kRunSeconds, 0));
        report.lastNs = nowNs();
        report.endKiB = static_cast<int64_t>(statusKiB("VmRSS:"));
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "writer: %s\n", e.what());
        return 3;
    }
    writeAll(fd, &report, sizeof report);
    return 0;
}

int runReader(int fd, int64_t count, uint32_t domain) {
    Report report;
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "Throughput");
        dds::sub::Subscriber subscriber(participant);
        dds::sub::DataReader<RoundTrip::Echo> reader(subscriber, topic, readerQos(subscriber));
        dds::sub::cond::ReadCondition arrived(reader, dds::sub::status::DataState::any());
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        int64_t next = 0;
        bool idleTaken = false;
        while (next < count) {
            try {
                waitset.wait(dds::core::Duration(kWaitSeconds, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "reader: nothing within %d s after %lld samples\n",
                             kWaitSeconds, static_cast<long long>(next));
                report.faults += count - next;
                break;
            }
            if (!idleTaken) {
                report.idleKiB = static_cast<int64_t>(statusKiB("VmRSS:"));
                idleTaken = true;
            }
            for (auto const& sample : reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                int64_t const number = sample.data().number();
                if (number != next) {
                    ++report.faults;  // out of order, twice or after a missing one
                }
                next = number + 1;
            }
        }
        report.lastNs = nowNs();
        report.endKiB = static_cast<int64_t>(statusKiB("VmRSS:"));
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "reader: %s\n", e.what());
        return 3;
    }
    writeAll(fd, &report, sizeof report);
    return 0;
}

// ---- the parent --------------------------------------------------------------------------

// Starts this program again as one side, with the send shim preloaded when `lossy`.
pid_t startSide(char const* role, int fd, size_t size, int64_t count, uint32_t domain, bool lossy) {
    std::fflush(nullptr);
    pid_t const pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    if (lossy) {
        ::setenv("LD_PRELOAD", SEND_LOSS_SHIM_PATH, 1);
        ::setenv("VEXA_LOSS_PERCENT", "10", 1);
        ::setenv("VEXA_REORDER_PERCENT", "0", 1);
        // Each side its own seed, so that the two lose different datagrams.
        ::setenv("VEXA_LOSS_SEED", role[0] == 'w' ? "4242" : "777", 1);
    }
    std::string const args[] = {std::to_string(fd), std::to_string(size), std::to_string(count),
                                std::to_string(domain)};
    ::execl("/proc/self/exe", "bench_api_throughput", "--side", role, args[0].c_str(),
            args[1].c_str(), args[2].c_str(), args[3].c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// Waits for `pid` until the deadline, then ends it.
int reap(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return 128 + SIGKILL;
        }
        ::usleep(10000);
    }
}

struct Run {
    bool ok = false;
    Report writer;
    Report reader;
};

Run runPair(size_t size, int64_t count, uint32_t domain, bool lossy) {
    Run run;
    int w[2];
    int r[2];
    if (::pipe(w) != 0 || ::pipe(r) != 0) {
        return run;
    }
    pid_t const reader = startSide("reader", r[1], size, count, domain, lossy);
    pid_t const writer = startSide("writer", w[1], size, count, domain, lossy);
    ::close(w[1]);
    ::close(r[1]);
    bool const gotReader = readAll(r[0], &run.reader, sizeof run.reader);
    bool const gotWriter = readAll(w[0], &run.writer, sizeof run.writer);
    ::close(w[0]);
    ::close(r[0]);
    auto const deadline = Clock::now() + std::chrono::seconds(kWaitSeconds);
    int const readerRc = reap(reader, deadline);
    int const writerRc = reap(writer, deadline);
    run.ok = gotReader && gotWriter && readerRc == 0 && writerRc == 0 && run.reader.faults == 0;
    if (!run.ok) {
        std::fprintf(stderr, "pair failed: reader rc %d, writer rc %d, %lld faults\n", readerRc,
                     writerRc, static_cast<long long>(run.reader.faults));
    }
    return run;
}

uint32_t nextDomain() {
    static uint32_t domain = 40;
    return domain++;
}

void BM_Throughput(benchmark::State& state) {
    size_t const size = static_cast<size_t>(state.range(0));
    bool const lossy = state.range(1) != 0;
    int64_t const count = lossy ? std::max<int64_t>(samplesOfRun() / 10, 1) : samplesOfRun();
    if (lossy && SEND_LOSS_SHIM_PATH[0] == '\0') {
        state.SkipWithError("built without the send shim");
        return;
    }
    for (auto _ : state) {
        double const loadBefore = load1();
        Run const run = runPair(size, count, nextDomain(), lossy);
        if (!run.ok) {
            state.SkipWithError("the pair failed");
            return;
        }
        double const seconds = static_cast<double>(run.reader.lastNs - run.writer.firstNs) / 1e9;
        double const rate = static_cast<double>(count) / seconds;
        state.SetIterationTime(seconds);
        state.counters["samples_per_s"] = rate;
        state.counters["MB_per_s"] = rate * static_cast<double>(size) / 1e6;
        state.counters["write_timeouts"] = static_cast<double>(run.writer.timeouts);
        state.counters["writer_idle_KiB"] = static_cast<double>(run.writer.idleKiB);
        state.counters["writer_end_KiB"] = static_cast<double>(run.writer.endKiB);
        state.counters["reader_idle_KiB"] = static_cast<double>(run.reader.idleKiB);
        state.counters["reader_end_KiB"] = static_cast<double>(run.reader.endKiB);
        state.counters["load1"] = (loadBefore + load1()) / 2;
        std::fprintf(
            stderr,
            "%zu B%s: %lld samples in %.3f s, %.0f samples/s, %.2f MB/s, %lld write "
            "time-outs; KiB writer %lld -> %lld, reader %lld -> %lld; loadavg %s\n",
            size, lossy ? " (10 % loss)" : "", static_cast<long long>(count), seconds, rate,
            rate * static_cast<double>(size) / 1e6, static_cast<long long>(run.writer.timeouts),
            static_cast<long long>(run.writer.idleKiB), static_cast<long long>(run.writer.endKiB),
            static_cast<long long>(run.reader.idleKiB), static_cast<long long>(run.reader.endKiB),
            loadLine().c_str());
    }
}
BENCHMARK(BM_Throughput)
    ->ArgNames({"bytes", "loss"})
    ->Args({64, 0})
    ->Args({1024, 0})
    ->Args({64, 1})
    ->Args({1024, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "--side") == 0) {
        int const fd = std::atoi(argv[3]);
        size_t const size = std::strtoull(argv[4], nullptr, 10);
        int64_t const count = std::strtoll(argv[5], nullptr, 10);
        uint32_t const domain = static_cast<uint32_t>(std::strtoul(argv[6], nullptr, 10));
        int const rc = std::strcmp(argv[2], "writer") == 0 ? runWriter(fd, size, count, domain)
                                                           : runReader(fd, count, domain);
        std::fflush(nullptr);
        _exit(rc);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
