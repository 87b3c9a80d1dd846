// Round trips of one sample between two processes, each an application of the dds:: API over
// the real engine on loopback, beside the same ping-pong over a plain UDP socket pair in the
// same run: median, p99, mean and maximum of both and their ratios (API / UDP), with the host's
// load average beside them; then p90 and p99.9, and per round trip how long the threads of both
// processes were ready to run but waited for a CPU and how often they waited or were preempted
// (a tail that follows the CPU wait comes from sharing the cores). VEXA_RTT_DUMP=DIR writes
// every round trip's time, in order. Also the time from launching a writer and a reader process
// together to the first sample taken. Run inside tools/isolate:
//
//   VEXA_HOME=$PWD/build/stage tools/isolate $PWD/build/bench/bench_api_roundtrip
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
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

constexpr int kRoundTrips = 10000;
constexpr int kWarmUp = 1000;
constexpr int kLaunches = 10;
// Pairs of processes started for one figure at most, when some fail.
constexpr int kAttempts = 3;
constexpr int kWaitSeconds = 20;
constexpr uint32_t kStop = 0xFFFFFFFFu;

// The pong of the pair being measured (set before the ping is forked): the ping reads what the
// scheduler did to both processes over the measured round trips.
pid_t pongOfPair = 0;

SchedUse pairUse() {
    return schedUseOf(::getpid()) + schedUseOf(pongOfPair);
}

// ---- dds:: ping and pong -----------------------------------------------------------------

// Reliable, keeping all it wrote within the default resource limits: a run writes far more than
// they hold, so acknowledgements must keep up with the answers.
dds::pub::qos::DataWriterQos writerQos(dds::pub::Publisher& publisher) {
    return reliableKeepAll(publisher);
}

// The reader is taken empty at every wake-up: one sample deep is enough.
dds::sub::qos::DataReaderQos readerQos(dds::sub::Subscriber& subscriber) {
    return reliableReader(subscriber,
                          dds::core::policy::History(dds::core::policy::HistoryKind::KEEP_LAST, 1));
}

// One side of the ping-pong: writes on `out`, reads `in`.
struct Side {
    dds::domain::DomainParticipant participant;
    dds::topic::Topic<RoundTrip::Echo> outTopic;
    dds::topic::Topic<RoundTrip::Echo> inTopic;
    dds::pub::Publisher publisher;
    dds::sub::Subscriber subscriber;
    dds::pub::DataWriter<RoundTrip::Echo> writer;
    dds::sub::DataReader<RoundTrip::Echo> reader;
    dds::sub::cond::ReadCondition arrived;
    dds::core::cond::WaitSet waitset;

    Side(uint32_t domain, char const* out, char const* in)
        : participant(domain),
          outTopic(participant, out),
          inTopic(participant, in),
          publisher(participant),
          subscriber(participant),
          writer(publisher, outTopic, writerQos(publisher)),
          reader(subscriber, inTopic, readerQos(subscriber)),
          arrived(reader, dds::sub::status::DataState::new_data()) {
        waitset += arrived;
    }

    // Waits until the writer has matched a reader; false after the time-out.
    bool matched() {
        try {
            waitForReader(writer, kWaitSeconds);
        } catch (dds::core::TimeoutError const&) {
            return false;
        }
        return true;
    }

    // Waits for the next samples; the number of the last valid one, or kStop on a time-out.
    bool next(dds::core::Duration const& timeout, uint32_t& number) {
        try {
            waitset.wait(timeout);
        } catch (dds::core::TimeoutError const&) {
            return false;
        }
        bool any = false;
        for (auto const& sample : reader.take()) {
            if (sample.info().valid()) {
                number = sample.data().number();
                any = true;
            }
        }
        return any;
    }
};

// Takes every sample and writes it back, until the stop number.
int ddsPong(int, size_t, uint32_t domain) {
    try {
        Side side(domain, "Pong", "Ping");
        // An answer written before the ping's reader matched would go nowhere.
        if (!side.matched()) {
            std::fprintf(stderr, "pong: no reader matched within %d s\n", kWaitSeconds);
            return 2;
        }
        for (;;) {
            try {
                side.waitset.wait(dds::core::Duration(kWaitSeconds, 0));
            } catch (dds::core::TimeoutError const&) {
                std::fprintf(stderr, "pong: nothing within %d s\n", kWaitSeconds);
                return 2;
            }
            for (auto const& sample : side.reader.take()) {
                if (!sample.info().valid()) {
                    continue;
                }
                if (sample.data().number() == kStop) {
                    return 0;
                }
                side.writer.write(sample.data());
            }
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "pong: %s\n", e.what());
        return 3;
    }
}

// Writes numbered samples, each once the previous came back, and sends the round-trip times
// (ns, kRoundTrips of them) on `fd`.
int ddsPing(int fd, size_t size, uint32_t domain) {
    try {
        Side side(domain, "Ping", "Pong");
        RoundTrip::Echo echo = echoOfSize(size);
        if (!side.matched()) {
            std::fprintf(stderr, "ping: no reader matched within %d s\n", kWaitSeconds);
            return 2;
        }
        // The pong may not have matched its own writer yet: repeat the first until answered.
        uint32_t number = 0;
        uint32_t back = kStop;
        echo.number(number);
        auto const deadline = Clock::now() + std::chrono::seconds(kWaitSeconds);
        do {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "ping: no answer within %d s\n", kWaitSeconds);
                return 2;
            }
            side.writer.write(echo);
        } while (!side.next(dds::core::Duration(0, 100000000), back) || back != number);

        std::vector<int64_t> times;
        times.reserve(kRoundTrips);
        SchedUse used;
        for (int i = 0; i < kWarmUp + kRoundTrips; ++i) {
            if (i == kWarmUp) {
                used = pairUse();
            }
            echo.number(++number);
            int64_t const begin = nowNs();
            side.writer.write(echo);
            do {
                if (!side.next(dds::core::Duration(kWaitSeconds, 0), back)) {
                    std::fprintf(stderr, "ping: round trip %u lost\n", number);
                    return 4;
                }
            } while (back != number);
            if (i >= kWarmUp) {
                times.push_back(nowNs() - begin);
            }
        }
        used = pairUse() - used;
        writeAll(fd, times.data(), times.size() * sizeof(int64_t));
        writeAll(fd, &used, sizeof used);
        echo.number(kStop);
        side.writer.write(echo);
        side.writer.wait_for_acknowledgments(dds::core::Duration(5, 0));
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "ping: %s\n", e.what());
        return 3;
    }
    return 0;
}

// ---- plain UDP ping and pong -------------------------------------------------------------

constexpr uint16_t kPingPort = 7610;
constexpr uint16_t kPongPort = 7611;

int udpSocket(uint16_t own, uint16_t peer) {
    int const fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in.sin_port = htons(own);
    ::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
    in.sin_port = htons(peer);
    ::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
    timeval timeout{kWaitSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return fd;
}

// Sends every datagram back until a one-byte one.
int udpPong(int ready, size_t, uint32_t) {
    int const fd = udpSocket(kPongPort, kPingPort);
    char const up = 1;
    writeAll(ready, &up, 1);
    std::vector<char> buffer(65536);
    for (;;) {
        ssize_t const n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 1) {
            ::close(fd);
            return n == 1 ? 0 : 2;
        }
        ::send(fd, buffer.data(), static_cast<size_t>(n), 0);
    }
}

int udpPing(int fd, size_t size, uint32_t) {
    int const sock = udpSocket(kPingPort, kPongPort);
    std::vector<char> out(size, 0x5A);
    std::vector<char> in(65536);
    std::vector<int64_t> times;
    times.reserve(kRoundTrips);
    SchedUse used;
    for (uint32_t i = 0; i < static_cast<uint32_t>(kWarmUp + kRoundTrips); ++i) {
        if (i == static_cast<uint32_t>(kWarmUp)) {
            used = pairUse();
        }
        std::memcpy(out.data(), &i, sizeof i);
        int64_t const begin = nowNs();
        ::send(sock, out.data(), out.size(), 0);
        uint32_t back = ~i;
        do {
            if (::recv(sock, in.data(), in.size(), 0) < static_cast<ssize_t>(sizeof back)) {
                std::fprintf(stderr, "udp ping: round trip %u lost\n", i);
                return 4;
            }
            std::memcpy(&back, in.data(), sizeof back);
        } while (back != i);
        if (i >= static_cast<uint32_t>(kWarmUp)) {
            times.push_back(nowNs() - begin);
        }
    }
    used = pairUse() - used;
    writeAll(fd, times.data(), times.size() * sizeof(int64_t));
    writeAll(fd, &used, sizeof used);
    char const stop = 0;
    ::send(sock, &stop, 1, 0);
    ::close(sock);
    return 0;
}

// ---- measurement -------------------------------------------------------------------------

struct Figures {
    double median = 0;  // µs
    double p90 = 0;
    double p99 = 0;
    double p999 = 0;
    double mean = 0;
    double max = 0;
    // Per round trip, both processes: µs their threads were ready but waited for a CPU, and
    // the times they gave the CPU up or had it taken away.
    double waitUs = 0;
    double voluntary = 0;
    double involuntary = 0;
    bool ok = false;
};

Figures summarise(std::vector<int64_t> times) {
    Figures f;
    std::sort(times.begin(), times.end());
    f.median = static_cast<double>(times[times.size() / 2]) / 1000.0;
    f.p90 = static_cast<double>(times[times.size() * 90 / 100]) / 1000.0;
    f.p99 = static_cast<double>(times[times.size() * 99 / 100]) / 1000.0;
    f.p999 = static_cast<double>(times[times.size() * 999 / 1000]) / 1000.0;
    double sum = 0;
    for (int64_t t : times) {
        sum += static_cast<double>(t);
    }
    f.mean = sum / static_cast<double>(times.size()) / 1000.0;
    f.max = static_cast<double>(times.back()) / 1000.0;
    f.ok = true;
    return f;
}

// With VEXA_RTT_DUMP=DIR, each run's round trips (ns, in the order taken) go to
// DIR/rtt-{api,udp}-SIZE.txt, one a line, for looking at when the slow ones come.
void dumpTimes(std::vector<int64_t> const& times, size_t size, char const* kind) {
    char const* dir = std::getenv("VEXA_RTT_DUMP");
    if (dir == nullptr || dir[0] == '\0') {
        return;
    }
    std::ofstream out(std::string(dir) + "/rtt-" + kind + "-" + std::to_string(size) + ".txt");
    for (int64_t t : times) {
        out << t << '\n';
    }
}

Figures pingPong(int (*ping)(int, size_t, uint32_t), int (*pong)(int, size_t, uint32_t),
                 size_t size, uint32_t domain) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    pid_t const pongPid = start(pong, fds[1], size, domain);
    if (pong == udpPong) {
        char up = 0;
        readAll(fds[0], &up, 1);
    }
    pongOfPair = pongPid;
    pid_t const pingPid = start(ping, fds[1], size, domain);
    ::close(fds[1]);
    std::vector<int64_t> times(kRoundTrips);
    SchedUse used;
    bool const got = readAll(fds[0], times.data(), times.size() * sizeof(int64_t)) &&
                     readAll(fds[0], &used, sizeof used);
    ::close(fds[0]);
    int const pingRc = exitCodeOf(pingPid);
    reap(pongPid);
    if (!got || pingRc != 0) {
        return {};
    }
    dumpTimes(times, size, ping == udpPing ? "udp" : "api");
    Figures f = summarise(std::move(times));
    f.waitUs = static_cast<double>(used.waitNs) / 1000.0 / kRoundTrips;
    f.voluntary = static_cast<double>(used.voluntary) / kRoundTrips;
    f.involuntary = static_cast<double>(used.involuntary) / kRoundTrips;
    return f;
}

// A fresh domain for each pair of processes, so that no late datagram of a finished pair
// reaches the next one.
uint32_t nextDomain() {
    static uint32_t domain = 20;
    return domain++;
}

void BM_RoundTrip(benchmark::State& state) {
    size_t const size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        double const loadBefore = load1();
        Figures const udp = pingPong(udpPing, udpPong, size, 0);
        // A pair whose participants never match is counted and started again in a fresh domain.
        Figures api;
        int failed = 0;
        while (!api.ok && failed < kAttempts) {
            api = pingPong(ddsPing, ddsPong, size, nextDomain());
            failed += api.ok ? 0 : 1;
        }
        if (!udp.ok || !api.ok) {
            state.SkipWithError("a ping-pong failed");
            return;
        }
        state.SetIterationTime(api.median * kRoundTrips / 1e6);
        state.counters["api_med_us"] = api.median;
        state.counters["api_p99_us"] = api.p99;
        state.counters["api_mean_us"] = api.mean;
        state.counters["api_max_us"] = api.max;
        state.counters["api_p90_us"] = api.p90;
        state.counters["api_p999_us"] = api.p999;
        state.counters["api_cpu_wait_us"] = api.waitUs;
        state.counters["api_switches"] = api.voluntary;
        state.counters["udp_med_us"] = udp.median;
        state.counters["udp_p99_us"] = udp.p99;
        state.counters["ratio_med"] = api.median / udp.median;
        state.counters["ratio_p99"] = api.p99 / udp.p99;
        state.counters["load1"] = (loadBefore + load1()) / 2;
        state.counters["failed_pairs"] = failed;
        std::fprintf(stderr,
                     "%zu B: api %.1f/%.1f/%.1f/%.1f us, udp %.1f/%.1f/%.1f/%.1f us "
                     "(median/p99/mean/max), loadavg %s\n",
                     size, api.median, api.p99, api.mean, api.max, udp.median, udp.p99, udp.mean,
                     udp.max, loadLine().c_str());
        std::fprintf(stderr,
                     "%zu B: api p90 %.1f, p99.9 %.1f us; per round trip, both processes: "
                     "%.1f us waiting for a CPU, %.1f waits, %.1f preemptions "
                     "(udp %.1f us, %.1f, %.1f)\n",
                     size, api.p90, api.p999, api.waitUs, api.voluntary, api.involuntary,
                     udp.waitUs, udp.voluntary, udp.involuntary);
    }
}
BENCHMARK(BM_RoundTrip)
    ->Arg(64)
    ->Arg(1024)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// ---- launch to first sample --------------------------------------------------------------

// Writes one sample once a reader matched and waits until it is acknowledged.
int firstWriter(int, size_t, uint32_t domain) {
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "First");
        dds::pub::Publisher publisher(participant);
        dds::pub::DataWriter<RoundTrip::Echo> writer(publisher, topic, writerQos(publisher));
        waitForReader(writer, kWaitSeconds);
        RoundTrip::Echo const echo = echoOfSize(64);
        writer.write(echo);
        writer.wait_for_acknowledgments(dds::core::Duration(kWaitSeconds, 0));
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "first writer: %s\n", e.what());
        return 3;
    }
    return 0;
}

// Sends the monotonic time of its first sample taken on `fd`.
int firstReader(int fd, size_t, uint32_t domain) {
    try {
        dds::domain::DomainParticipant participant(domain);
        dds::topic::Topic<RoundTrip::Echo> topic(participant, "First");
        dds::sub::Subscriber subscriber(participant);
        dds::sub::DataReader<RoundTrip::Echo> reader(subscriber, topic, readerQos(subscriber));
        // Any instance state: the writer may be gone by the time the sample is looked at.
        dds::sub::cond::ReadCondition arrived(
            reader, dds::sub::status::DataState(dds::sub::status::SampleState::not_read(),
                                                dds::sub::status::ViewState::any(),
                                                dds::sub::status::InstanceState::any()));
        dds::core::cond::WaitSet waitset;
        waitset += arrived;
        for (;;) {
            waitset.wait(dds::core::Duration(kWaitSeconds, 0));
            for (auto const& sample : reader.take()) {
                if (sample.info().valid()) {
                    int64_t const at = nowNs();
                    writeAll(fd, &at, sizeof at);
                    return 0;
                }
            }
        }
    } catch (dds::core::Exception const& e) {
        std::fprintf(stderr, "first reader: %s\n", e.what());
        return 3;
    }
}

void BM_LaunchToFirstSample(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<int64_t> times;
        int failed = 0;
        while (static_cast<int>(times.size()) < kLaunches && failed < kLaunches) {
            int fds[2];
            if (::pipe(fds) != 0) {
                state.SkipWithError("pipe");
                return;
            }
            uint32_t const domain = nextDomain();
            int64_t const launched = nowNs();
            pid_t const reader = start(firstReader, fds[1], 0, domain);
            pid_t const writer = start(firstWriter, -1, 0, domain);
            ::close(fds[1]);
            int64_t at = 0;
            bool const got = readAll(fds[0], &at, sizeof at);
            ::close(fds[0]);
            exitCodeOf(reader);
            reap(writer);
            if (got) {
                times.push_back(at - launched);
            } else {
                ++failed;
            }
        }
        if (static_cast<int>(times.size()) < kLaunches) {
            state.SkipWithError("no first sample");
            return;
        }
        Figures const f = summarise(times);
        state.SetIterationTime(f.median / 1e6);
        state.counters["first_med_ms"] = f.median / 1000.0;
        state.counters["first_max_ms"] =
            static_cast<double>(*std::max_element(times.begin(), times.end())) / 1e6;
        state.counters["load1"] = load1();
        state.counters["failed_pairs"] = failed;
        std::fprintf(stderr, "launch to first sample: median %.1f ms, %d failed (",
                     f.median / 1000.0, failed);
        for (int64_t t : times) {
            std::fprintf(stderr, " %.0f", static_cast<double>(t) / 1e6);
        }
        std::fprintf(stderr, " ms), loadavg %s\n", loadLine().c_str());
    }
}
BENCHMARK(BM_LaunchToFirstSample)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
