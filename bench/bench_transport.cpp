// Datagrams per second and round-trip time through two transports on loopback, beside plain
// UDP sockets doing the same work in the same run, with the host's load average beside each
// figure (the machine may be shared). Run inside tools/isolate.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "rtps/participant/Participant.h"
#include "transport/RTPSDataTransportImpl.h"

namespace {

using RTPS::RTPSDataTransportImpl;
using RTPS::TransportBuffer;

constexpr int kBatch = 1024;  // datagrams per throughput iteration
constexpr int kWindow = 64;   // datagrams in flight at most, so the kernel drops none
constexpr auto kLossTimeout = std::chrono::seconds(1);

// Datagrams that arrived; the benchmark thread waits on it.
class Arrivals {
public:
    void add() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_count;
        if (m_count >= m_wanted) {
            m_reached.notify_one();
        }
    }
    // Waits until `count` arrived; false after the loss time-out.
    bool waitFor(uint64_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wanted = count;
        const bool ok = m_reached.wait_for(lock, kLossTimeout, [&] { return m_count >= count; });
        m_wanted = ~uint64_t{0};
        return ok;
    }
    uint64_t count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }
    // After a loss: from now on count from `count`.
    void reset(uint64_t count) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_count = count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_reached;
    uint64_t m_count = 0;
    uint64_t m_wanted = ~uint64_t{0};
};

class CountingParticipant : public RTPS::Participant {
public:
    void dataRecipient(void*, unsigned short) override { arrivals.add(); }
    Arrivals arrivals;
};

// Sends every datagram back through its own transport.
class EchoParticipant : public RTPS::Participant {
public:
    void dataRecipient(void* data, unsigned short length) override {
        TransportBuffer* buffer = transport->getTransportBuffer();
        if (buffer != nullptr) {
            std::memcpy(buffer->data, data, length);
            buffer->length = length;
            back->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
        }
    }
    RTPSDataTransportImpl* transport = nullptr;
    RTPS::RTPSSender* back = nullptr;
};

RTPS::Locator_t loopback(uint32_t port) {
    RTPS::Locator_t locator{RTPS::LOCATOR_KIND_UDPv4, port, {}};
    const in_addr_t address = htonl(INADDR_LOOPBACK);
    std::memcpy(locator.address + 12, &address, 4);
    return locator;
}

sockaddr_in endpoint(uint16_t port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return in;
}

// A UDP socket like the transport's: 32 MiB buffers, bound to `own`, connected to `peer`.
int plainSocket(uint16_t own, uint16_t peer) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int size = 33554432;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    if (own != 0) {
        sockaddr_in in = endpoint(own);
        bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
    }
    if (peer != 0) {
        sockaddr_in in = endpoint(peer);
        connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
    }
    return fd;
}

// Transport pair for throughput: source -> sink.
struct TransportStream {
    CountingParticipant sinkParticipant;
    CountingParticipant unused;
    RTPSDataTransportImpl sink{&sinkParticipant};
    RTPSDataTransportImpl source{&unused};
    RTPS::RTPSSender* sender = nullptr;
    TransportStream() {
        sink.init();
        source.init();
        RTPS::Locator_t locator = loopback(7500);
        sink.addReceiver(&locator);
        sender = source.addSender(&locator, RTPS::TRANSPORT_PRIORITY_LOW);
    }
    void send(const char* bytes, int size) {
        TransportBuffer* buffer = source.getTransportBuffer();
        std::memcpy(buffer->data, bytes, static_cast<size_t>(size));
        buffer->length = static_cast<uint16_t>(size);
        sender->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
    }
    Arrivals& arrivals() { return sinkParticipant.arrivals; }
};

// Plain sockets for throughput: one sending, one read by its own thread.
struct PlainStream {
    Arrivals received;
    int tx = plainSocket(0, 7510);
    int rx = plainSocket(7510, 0);
    std::atomic<bool> stopping{false};
    std::thread reader{[this] {
        char buffer[65536];
        for (;;) {
            const ssize_t n = recv(rx, buffer, sizeof buffer, 0);
            if (n == 0 && stopping) {
                return;
            }
            received.add();
        }
    }};
    ~PlainStream() {
        stopping = true;
        ::send(tx, "", 0, 0);
        reader.join();
        close(tx);
        close(rx);
    }
    void send(const char* bytes, int size) { ::send(tx, bytes, static_cast<size_t>(size), 0); }
    Arrivals& arrivals() { return received; }
};

// Transport pair for round trips: ping <-> echo.
struct TransportEcho {
    CountingParticipant pingParticipant;
    EchoParticipant echoParticipant;
    RTPSDataTransportImpl ping{&pingParticipant};
    RTPSDataTransportImpl echo{&echoParticipant};
    RTPS::RTPSSender* sender = nullptr;
    TransportEcho() {
        ping.init();
        echo.init();
        RTPS::Locator_t pingLocator = loopback(7520);
        RTPS::Locator_t echoLocator = loopback(7521);
        ping.addReceiver(&pingLocator);
        echo.addReceiver(&echoLocator);
        sender = ping.addSender(&echoLocator, RTPS::TRANSPORT_PRIORITY_LOW);
        echoParticipant.transport = &echo;
        echoParticipant.back = echo.addSender(&pingLocator, RTPS::TRANSPORT_PRIORITY_LOW);
    }
    bool roundTrip(const char* bytes, int size, uint64_t expected) {
        TransportBuffer* buffer = ping.getTransportBuffer();
        std::memcpy(buffer->data, bytes, static_cast<size_t>(size));
        buffer->length = static_cast<uint16_t>(size);
        sender->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
        if (!pingParticipant.arrivals.waitFor(expected)) {
            pingParticipant.arrivals.reset(expected);
            return false;
        }
        return true;
    }
};

// Plain sockets for round trips: the echo side runs on its own thread.
struct PlainEcho {
    int ping = plainSocket(7530, 7531);
    int echo = plainSocket(7531, 7530);
    std::atomic<bool> stopping{false};
    std::thread echoer{[this] {
        char buffer[65536];
        for (;;) {
            const ssize_t n = recv(echo, buffer, sizeof buffer, 0);
            if (n == 0 && stopping) {
                return;
            }
            if (n >= 0) {
                send(echo, buffer, static_cast<size_t>(n), 0);
            }
        }
    }};
    PlainEcho() {
        timeval tv{1, 0};
        setsockopt(ping, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~PlainEcho() {
        stopping = true;
        ::send(ping, "", 0, 0);
        echoer.join();
        close(ping);
        close(echo);
    }
    bool roundTrip(const char* bytes, int size, uint64_t) {
        char buffer[65536];
        send(ping, bytes, static_cast<size_t>(size), 0);
        return recv(ping, buffer, sizeof buffer, 0) == size;
    }
};

std::unique_ptr<TransportStream> gTransportStream;
std::unique_ptr<PlainStream> gPlainStream;
std::unique_ptr<TransportEcho> gTransportEcho;
std::unique_ptr<PlainEcho> gPlainEcho;

template <class Stream>
void throughput(benchmark::State& state, Stream& stream) {
    const int size = static_cast<int>(state.range(0));
    const std::string bytes(static_cast<size_t>(size), 'd');
    Arrivals& arrivals = stream.arrivals();
    uint64_t sent = arrivals.count();
    int64_t lost = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            if (sent >= kWindow && arrivals.count() + kWindow <= sent &&
                !arrivals.waitFor(sent - kWindow + 1)) {
                lost += static_cast<int64_t>(sent - arrivals.count());
                arrivals.reset(sent);
            }
            stream.send(bytes.data(), size);
            ++sent;
        }
        if (!arrivals.waitFor(sent)) {
            lost += static_cast<int64_t>(sent - arrivals.count());
            arrivals.reset(sent);
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["lost"] = static_cast<double>(lost);
}

template <class Echo>
void roundTrip(benchmark::State& state, Echo& echo) {
    const int size = static_cast<int>(state.range(0));
    const std::string bytes(static_cast<size_t>(size), 'r');
    static uint64_t expected = 0;
    int64_t lost = 0;
    for (auto _ : state) {
        if (!echo.roundTrip(bytes.data(), size, ++expected)) {
            ++lost;
        }
    }
    state.counters["lost"] = static_cast<double>(lost);
}

void BM_PlainThroughput(benchmark::State& state) {
    throughput(state, *gPlainStream);
}
void BM_TransportThroughput(benchmark::State& state) {
    throughput(state, *gTransportStream);
}
void BM_PlainRoundTrip(benchmark::State& state) {
    roundTrip(state, *gPlainEcho);
}
void BM_TransportRoundTrip(benchmark::State& state) {
    roundTrip(state, *gTransportEcho);
}

BENCHMARK(BM_PlainThroughput)->Arg(64)->Arg(1024)->UseRealTime();
BENCHMARK(BM_TransportThroughput)->Arg(64)->Arg(1024)->UseRealTime();
BENCHMARK(BM_PlainRoundTrip)->Arg(64)->Arg(1024)->UseRealTime();
BENCHMARK(BM_TransportRoundTrip)->Arg(64)->Arg(1024)->UseRealTime();

// The host's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
std::string loadAverage() {
    char text[64] = "?";
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        float one = 0, five = 0, fifteen = 0;
        if (std::fscanf(file, "%f %f %f", &one, &five, &fifteen) == 3) {
            std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
        }
        std::fclose(file);
    }
    return text;
}

// Shows every run and then the transport's figures as ratios to the plain loop's, each with
// the load average seen when the two runs ended.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            // With repetitions the median stands for the benchmark, else its only run.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.run_name.str();
            if (!median && m_fromMedian.count(name) != 0) {
                continue;
            }
            const auto rate = run.counters.find("items_per_second");
            m_results[name] =
                rate != run.counters.end() ? double(rate->second) : run.GetAdjustedRealTime();
            m_loads[name] = loadAverage();
            if (median) {
                m_fromMedian.insert(name);
            }
        }
    }
    void printRatios() const {
        for (const char* size : {"64", "1024"}) {
            ratio("throughput", "BM_TransportThroughput/", "BM_PlainThroughput/", size, ">= 0.9");
            ratio("round trip", "BM_TransportRoundTrip/", "BM_PlainRoundTrip/", size, "<= 2.0");
        }
    }

private:
    void ratio(const char* what, const char* transport, const char* plain, const char* size,
               const char* goal) const {
        const std::string suffix = std::string(size) + "/real_time";
        const auto t = m_results.find(transport + suffix);
        const auto p = m_results.find(plain + suffix);
        if (t == m_results.end() || p == m_results.end() || p->second == 0) {
            return;
        }
        std::printf("%-10s %5s B: transport / plain = %.2f (goal %s)  load %s / %s\n", what, size,
                    t->second / p->second, goal, m_loads.at(transport + suffix).c_str(),
                    m_loads.at(plain + suffix).c_str());
    }
    std::map<std::string, double> m_results;
    std::map<std::string, std::string> m_loads;
    std::set<std::string> m_fromMedian;
};

void writeConfig() {
    std::FILE* file = std::fopen("trellis.cfg", "w");
    if (file != nullptr) {
        std::fputs("TRANSPORT.NUMBER_OF_BUFFERS = 256\nTRANSPORT.NUMBER_OF_RTPS_BUFFERS = 64\n",
                   file);
        std::fclose(file);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    writeConfig();
    gTransportStream.reset(new TransportStream);
    gPlainStream.reset(new PlainStream);
    gTransportEcho.reset(new TransportEcho);
    gPlainEcho.reset(new PlainEcho);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    gPlainEcho.reset();
    gTransportEcho.reset();
    gPlainStream.reset();
    gTransportStream.reset();
    benchmark::Shutdown();
    return 0;
}
