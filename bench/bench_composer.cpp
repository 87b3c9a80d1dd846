// Composing DATA submessages and packing them into datagrams, against a plain memcpy of the same
// datagram bytes into a buffer. The transport here only keeps the buffers it is given, so the
// time is the composer's own: building each submessage in its pool buffer, queueing it, and
// copying it into a send buffer. The ratios to the copy are printed after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rtps/history/CacheChange.h"
#include "rtps/writer/ChangeForReader.h"
#include "rtps/io/MessageComposer.h"

namespace {

constexpr int kChanges = 256;  // DATA per iteration
constexpr size_t kBufferSize = 65536;
const uint8_t kPrefix[12] = {0xAA, 0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const RTPS::EntityId_t kReader{{0x00, 0x00, 0x11}, 0x07};
const RTPS::EntityId_t kWriter{{0x00, 0x00, 0x22}, 0x02};

class CapturingTransport;

// Keeps every datagram it is handed; the benchmark gives the buffers back between iterations.
class CapturingSender : public RTPS::RTPSSender {
public:
    bool sendData(RTPS::TransportBuffer* buffer, RTPS::TransportPriorityLevel) override {
        sent.push_back(buffer);
        return true;
    }
    std::vector<RTPS::TransportBuffer*> sent;
};

// Send buffers from a fixed set made up front, so no allocation is timed.
class CapturingTransport : public RTPS::RTPSDataTransport {
public:
    CapturingTransport() : m_storage(new uint8_t[kChanges * kBufferSize]), m_buffers(kChanges) {
        for (int i = 0; i < kChanges; ++i) {
            m_buffers[i].data = m_storage.get() + i * kBufferSize;
            m_buffers[i].length = 0;
            m_free.push_back(&m_buffers[i]);
        }
    }
    bool init() override { return true; }
    int getMaxDataSize() override { return 65507; }
    RTPS::RTPSReceiver* addReceiver(RTPS::Locator_t*) override { return nullptr; }
    RTPS::RTPSSender* addSender(RTPS::Locator_t*, RTPS::TransportPriorityLevel) override {
        return &sender;
    }
    RTPS::TransportBuffer* getTransportBuffer() override {
        if (m_free.empty()) {
            return nullptr;
        }
        RTPS::TransportBuffer* b = m_free.back();
        m_free.pop_back();
        return b;
    }
    void freeTransportBuffer(RTPS::TransportBuffer* buffer) override { m_free.push_back(buffer); }

    // Gives back what the sender kept; the bytes that went out.
    size_t recycle() {
        size_t bytes = 0;
        for (RTPS::TransportBuffer* b : sender.sent) {
            bytes += b->length;
            m_free.push_back(b);
        }
        sender.sent.clear();
        return bytes;
    }
    std::vector<uint16_t> sentLengths() const {
        std::vector<uint16_t> lengths;
        for (RTPS::TransportBuffer* b : sender.sent) {
            lengths.push_back(b->length);
        }
        return lengths;
    }

    CapturingSender sender;

private:
    std::unique_ptr<uint8_t[]> m_storage;
    std::vector<RTPS::TransportBuffer> m_buffers;
    std::vector<RTPS::TransportBuffer*> m_free;
};

// kChanges timed changes of one writer over payloads of `size` bytes.
struct Changes {
    explicit Changes(size_t size) : payload(size, 0x5A) {
        RTPS::GUID_t writer{};
        std::memcpy(writer.guidPrefix, kPrefix, sizeof kPrefix);
        writer.entityId = kWriter;
        for (int i = 0; i < kChanges; ++i) {
            RTPS::SampleInfo info{};
            info.statusFlags = RTPS::SAMPLE_ALIVE;
            info.sourceTimestamp = vexa::dds::Time_t{1000 + i / 8, 0};
            info.data = payload.data();
            info.length = payload.size();
            RTPS::SequenceNumber_t sn{0, static_cast<uint32_t>(i + 1)};
            changes.emplace_back(new RTPS::CacheChange(writer, &info));
            changes.back()->setSequenceNumber(sn);
            entries.emplace_back(new RTPS::ChangeForReader(changes.back().get(), sn, RTPS::UNSENT));
        }
    }
    std::vector<uint8_t> payload;
    std::vector<std::unique_ptr<RTPS::CacheChange>> changes;
    std::vector<std::unique_ptr<RTPS::ChangeForReader>> entries;
};

RTPS::Locator_t destination() {
    RTPS::Locator_t l{RTPS::LOCATOR_KIND_UDPv4, 7411, {}};
    l.address[12] = 127;
    l.address[15] = 1;
    return l;
}

// One datagram per DATA, as a writer sending change by change does.
void sendOneByOne(RTPS::MessageComposer& composer, RTPS::RTPSOutSocket* socket, Changes& c) {
    for (auto& entry : c.entries) {
        composer.sendData(socket, kReader, entry.get(), 0, nullptr);
    }
}

// Eight DATA at a time (the whole submessage pool) queued, then packed together.
void sendPacked(RTPS::MessageComposer& composer, RTPS::RTPSOutSocket* socket, Changes& c) {
    for (int i = 0; i < kChanges; i += RTPS::MessageComposer::POOL_SIZE) {
        for (unsigned j = 0; j < RTPS::MessageComposer::POOL_SIZE; ++j) {
            RTPS::CacheChange const* change = c.entries[i + j]->change;
            RTPS::SubMessage* s =
                composer.pool().getSubmessage(RTPS::DATA, RTPS::TRANSPORT_PRIORITY_LOW);
            s->setFlags(RTPS::FLAG_ENDIANNESS | RTPS::DATA_FLAG_DATA);
            RTPS::SequenceNumber_t sn = change->sampleInfo.sequenceNumber;
            s->addElement(RTPS::ELEMENT_ENTITY_ID, &kReader, 4);
            s->addElement(RTPS::ELEMENT_ENTITY_ID, &kWriter, 4);
            s->addElement(RTPS::ELEMENT_SEQUENCE_NUMBER, &sn, 8);
            s->addElement(RTPS::ELEMENT_SERIALIZED_DATA, change->sampleInfo.data,
                          static_cast<uint16_t>(change->sampleInfo.length));
            s->setTimestamp(change->sampleInfo.sourceTimestamp.sec,
                            change->sampleInfo.sourceTimestamp.nanosec);
            composer.subMessageReady(s, socket);
        }
        composer.sendMessage(socket);
    }
}

using SendAll = void (*)(RTPS::MessageComposer&, RTPS::RTPSOutSocket*, Changes&);

void composeBenchmark(benchmark::State& state, SendAll send) {
    Changes c(static_cast<size_t>(state.range(0)));
    CapturingTransport transport;
    RTPS::MessageComposer composer(&transport, kPrefix);
    RTPS::Locator_t l = destination();
    RTPS::RTPSOutSocket* socket = composer.getSocket(l);
    size_t bytes = 0;
    for (auto _ : state) {
        send(composer, socket, c);
        state.PauseTiming();
        bytes += transport.recycle();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * kChanges);
}
void BM_SendData(benchmark::State& state) {
    composeBenchmark(state, sendOneByOne);
}
void BM_SendPacked(benchmark::State& state) {
    composeBenchmark(state, sendPacked);
}
BENCHMARK(BM_SendData)->Arg(64)->Arg(1024);
BENCHMARK(BM_SendPacked)->Arg(64)->Arg(1024);

// The lengths of the datagrams the composer makes of kChanges samples of `size` bytes.
std::vector<uint16_t> datagramLengths(size_t size, SendAll send) {
    Changes c(size);
    CapturingTransport transport;
    RTPS::MessageComposer composer(&transport, kPrefix);
    RTPS::Locator_t l = destination();
    send(composer, composer.getSocket(l), c);
    return transport.sentLengths();
}

// Baseline: the same datagram bytes copied once into send-sized buffers.
void copyBaseline(benchmark::State& state, SendAll send) {
    std::vector<uint16_t> lengths = datagramLengths(static_cast<size_t>(state.range(0)), send);
    std::vector<uint8_t> source(kBufferSize, 0x5A);
    std::unique_ptr<uint8_t[]> target(new uint8_t[lengths.size() * kBufferSize]);
    size_t bytes = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < lengths.size(); ++i) {
            std::memcpy(target.get() + i * kBufferSize, source.data(), lengths[i]);
            bytes += lengths[i];
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * kChanges);
}
void BM_MemcpyOneByOne(benchmark::State& state) {
    copyBaseline(state, sendOneByOne);
}
void BM_MemcpyPacked(benchmark::State& state) {
    copyBaseline(state, sendPacked);
}
BENCHMARK(BM_MemcpyOneByOne)->Arg(64)->Arg(1024);
BENCHMARK(BM_MemcpyPacked)->Arg(64)->Arg(1024);

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

    void printRatio(const std::string& what, const std::string& baseline) const {
        const auto a = times_.find(what);
        const auto b = times_.find(baseline);
        if (a != times_.end() && b != times_.end() && b->second > 0) {
            std::printf("%-20s %7.2f x %s\n", what.c_str(), a->second / b->second,
                        baseline.c_str());
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
    std::printf("\n%d DATA per iteration:\n", kChanges);
    for (const char* size : {"64", "1024"}) {
        reporter.printRatio(std::string("BM_SendData/") + size,
                            std::string("BM_MemcpyOneByOne/") + size);
        reporter.printRatio(std::string("BM_SendPacked/") + size,
                            std::string("BM_MemcpyPacked/") + size);
    }
    benchmark::Shutdown();
    return 0;
}
