// A received sample's way through the core: the engine-side thread announces a change of the
// fake engine reader (changeAvailable), the subscriber queues it, the data-handling thread
// files it and signals a read condition, and an application thread blocked in WaitSet::wait
// takes the sample and returns the loan. Latency (changeAvailable to the end of the take, one
// sample in flight) and throughput (a stream at most 256 samples ahead of the application,
// RELIABLE, nothing lost) are reported beside the
// same figures for a bare handoff of a number between two threads through a mutex and a
// condition variable, measured in the same run, and as ratios against it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "dcps/condition/ReadCondition.h"
#include "dcps/condition/WaitSet.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/domain/RTPSCommunicationObject.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "fake/FakeEngine.h"
#include "fake/FakeTypes.h"
#include "vexa/SampleSeq.h"

namespace {

namespace dds = vexa::dds;
using Clock = std::chrono::steady_clock;
using vexa::dcps::Reader;
using vexa::dcps::WaitSet;
using vexa::dcps::api::SampleSeq;

constexpr int LATENCY_SAMPLES = 20000;
constexpr int STREAM_SAMPLES = 100000;
constexpr int WINDOW = 256;

struct Figures {
    double p50, p99, max;
};

Figures figures(std::vector<double>& us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100], us.back()};
}

// One participant of the fake engine with one reader and a read condition in a wait set.
struct Rig {
    explicit Rig(dds::DataReaderQos const& qos) {
        vexa::dcps::DPFactory& f = *vexa::dcps::DCPSservice::getInstance().getFactory();
        static vexatest::KeyedTypeSupport* const keyed = [&f] {
            auto* t = new vexatest::KeyedTypeSupport;
            f.addTypeSupport("Keyed", t);
            return t;
        }();
        type = keyed;
        dp = f.createParticipant(3, nullptr);
        dp->registerTypeSupport("Keyed", type->typeSupportCB());
        vexa::dcps::Topic* topic = dp->createTopic("B", "Keyed", nullptr, nullptr, 0);
        sub = dp->createSubscriber(nullptr, nullptr, 0);
        reader = sub->createDR(topic, &qos, nullptr, 0);
        engineReader = vexatest::FakeEngine::instance().newest()->userReaders().back();
        condition = sub->createReadCondition(dds::NOT_READ_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                                             dds::ANY_INSTANCE_STATE, reader);
        ws.attachCondition(condition);
        packed.resize(vexatest::KeyedTypeSupport::PACKED_SIZE);
    }
    ~Rig() {
        ws.detachCondition(condition);
        vexa::dcps::DPFactory& f = *vexa::dcps::DCPSservice::getInstance().getFactory();
        f.delete_participant(dp);
        f.collectGarbage();
        f.collectGarbage();
    }
    // The engine's side: the change into the fake history, then the announcement.
    RTPS::SampleInfo* put(int32_t n) {
        vexatest::KeyedSample s;
        s.key = n % 16;
        s.value = n;
        type->pack(packed.data(), static_cast<unsigned>(packed.size()), &s);
        RTPS::SampleInfo info{};
        info.statusFlags = 1;
        info.length = packed.size();
        info.sequenceNumber.low = static_cast<uint32_t>(n);
        unsigned const prefix[3] = {1, 2, 3};
        return engineReader->addHeldChange(info, packed.data(), packed.size(), prefix, 0x102);
    }
    void announce(RTPS::SampleInfo* change) {
        dp->getCommunicationObject()->changeAvailable(engineReader, reader, change);
    }
    // The application's side: waits, takes everything there is, returns it; the values taken.
    template <class OnSample>
    void takeAll(OnSample onSample) {
        WaitSet::ConditionArray out;
        unsigned count = 0;
        ws.wait(out, count, dds::DURATION_INFINITE);
        SampleSeq seq;
        if (sub->loanSamples(seq, reader, false, -1, dds::ANY_SAMPLE_STATE, dds::ANY_VIEW_STATE,
                             dds::ANY_INSTANCE_STATE) == dds::RETCODE_OK) {
            for (void* d : seq.data) {
                onSample(static_cast<vexatest::KeyedSample*>(d)->value);
            }
            sub->returnLoan(seq, reader);
        }
    }

    vexatest::KeyedTypeSupport* type = nullptr;
    vexa::dcps::DomainParticipant* dp = nullptr;
    vexa::dcps::Subscriber* sub = nullptr;
    Reader* reader = nullptr;
    vexatest::FakeReader* engineReader = nullptr;
    vexa::dcps::ReadCondition* condition = nullptr;
    WaitSet ws;
    std::vector<uint8_t> packed;
};

// A mutex, a condition variable and a queue of numbers between two threads.
struct Handoff {
    void push(int n) {
        {
            std::lock_guard<std::mutex> lock(m);
            q.push_back(n);
        }
        cv.notify_one();
    }
    template <class OnValue>
    void popAll(OnValue onValue) {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [this] { return !q.empty(); });
        while (!q.empty()) {
            int const n = q.front();
            q.pop_front();
            onValue(n);
        }
    }
    std::mutex m;
    std::condition_variable cv;
    std::deque<int> q;
};

// One sample in flight: the sender waits for the receiver before sending the next.
template <class Send, class Receive>
std::vector<double> pingPong(Send send, Receive receive) {
    std::vector<double> us(LATENCY_SAMPLES);
    std::vector<Clock::time_point> sent(LATENCY_SAMPLES);
    std::atomic<int> done{-1};
    std::mutex m;
    std::condition_variable cv;
    std::thread receiver([&] {
        while (done.load() < LATENCY_SAMPLES - 1) {
            receive([&](int n) {
                auto const now = Clock::now();
                us[n] = std::chrono::duration<double, std::micro>(now - sent[n]).count();
                {
                    std::lock_guard<std::mutex> lock(m);
                    done = n;
                }
                cv.notify_one();
            });
        }
    });
    for (int n = 0; n < LATENCY_SAMPLES; ++n) {
        send(n, sent[n]);
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return done.load() >= n; });
    }
    receiver.join();
    return us;
}

void BM_IntakeLatencyAgainstAHandoff(benchmark::State& state) {
    dds::DataReaderQos qos = dds::predefDataReaderQos();
    qos.history.depth = 1;
    Rig rig(qos);
    Figures core{}, base{};
    for (auto _ : state) {
        std::vector<double> c = pingPong(
            [&](int n, Clock::time_point& at) {
                RTPS::SampleInfo* change = rig.put(n);
                at = Clock::now();
                rig.announce(change);
            },
            [&](auto onValue) { rig.takeAll(onValue); });
        Handoff h;
        std::vector<double> b = pingPong(
            [&](int n, Clock::time_point& at) {
                at = Clock::now();
                h.push(n);
            },
            [&](auto onValue) { h.popAll(onValue); });
        core = figures(c);
        base = figures(b);
    }
    state.counters["p50_us"] = core.p50;
    state.counters["p99_us"] = core.p99;
    state.counters["max_us"] = core.max;
    state.counters["base_p50_us"] = base.p50;
    state.counters["base_p99_us"] = base.p99;
    state.counters["base_max_us"] = base.max;
    state.counters["ratio_p50"] = core.p50 / base.p50;
    state.counters["ratio_p99"] = core.p99 / base.p99;
}
BENCHMARK(BM_IntakeLatencyAgainstAHandoff)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IntakeThroughputAgainstAHandoff(benchmark::State& state) {
    dds::DataReaderQos qos = dds::predefDataReaderQos();
    qos.history.kind = dds::KEEP_ALL_HISTORY_QOS;
    qos.reliability.kind = dds::RELIABLE_RELIABILITY_QOS;
    qos.resource_limits.max_samples = 2 * WINDOW;
    Rig rig(qos);
    double core = 0, base = 0;
    for (auto _ : state) {
        std::atomic<int> got{0};
        auto start = Clock::now();
        std::thread engine([&] {
            for (int n = 0; n < STREAM_SAMPLES; ++n) {
                // At most a window ahead of the application: a full RELIABLE reader would
                // postpone, and postponed changes wait for the next 100 ms tick.
                while (n - got.load() > WINDOW) {
                    std::this_thread::yield();
                }
                rig.announce(rig.put(n));
            }
        });
        while (got.load() < STREAM_SAMPLES) {
            rig.takeAll([&](int) { ++got; });
        }
        core = STREAM_SAMPLES / std::chrono::duration<double>(Clock::now() - start).count();
        engine.join();

        Handoff h;
        start = Clock::now();
        std::thread producer([&] {
            for (int n = 0; n < STREAM_SAMPLES; ++n) {
                h.push(n);
            }
        });
        int popped = 0;
        while (popped < STREAM_SAMPLES) {
            h.popAll([&](int) { ++popped; });
        }
        base = STREAM_SAMPLES / std::chrono::duration<double>(Clock::now() - start).count();
        producer.join();
    }
    state.counters["samples_per_s"] = core;
    state.counters["base_per_s"] = base;
    state.counters["ratio"] = core / base;
}
BENCHMARK(BM_IntakeThroughputAgainstAHandoff)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The core reads dcps.cfg from the working directory and its texts from VEXA_HOME.
    setenv("VEXA_HOME", VEXA_STAGE_DIR, 0);
    if (FILE* f = std::fopen("dcps.cfg", "w")) {
        std::fputs("DCPS.COLLECT_GARBAGE_PERIOD = 3600\n", f);
        std::fclose(f);
    }
    if (vexa::dcps::DCPSservice::getInstance().getFactory() == nullptr) {
        std::fprintf(stderr, "the DCPS service did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
