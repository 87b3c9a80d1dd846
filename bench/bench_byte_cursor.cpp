// Checked reads against unchecked ones: the bounded cursor must cost little over plain loads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "rtps/wire/ByteCursor.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/MessageHeader.h"
#include "rtps/wire/SubMessage.h"
#include "rtps/wire/SubmessageDecoder.h"

namespace {

// A datagram of HEARTBEATs, as a reader receives from a busy writer.
std::vector<uint8_t> heartbeats(unsigned count) {
    uint8_t prefix[12] = {0xAA, 0xAA};
    std::vector<uint8_t> d(20);
    RTPS::writeMessageHeader(d.data(), prefix);
    RTPS::SubMessage m;
    for (unsigned i = 0; i < count; ++i) {
        m.init(RTPS::HEARTBEAT, RTPS::TRANSPORT_PRIORITY_LOW);
        RTPS::SequenceNumber_t first{0, i};
        RTPS::SequenceNumber_t last{0, i + 10};
        m.addElement(RTPS::ELEMENT_ENTITY_ID, &RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER, 4);
        m.addElement(RTPS::ELEMENT_ENTITY_ID, &RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER, 4);
        m.addElement(RTPS::ELEMENT_SEQUENCE_NUMBER, &first, 8);
        m.addElement(RTPS::ELEMENT_SEQUENCE_NUMBER, &last, 8);
        m.addElement(RTPS::ELEMENT_COUNT, &i, 4);
        m.finalize();
        d.insert(d.end(), m.getData(), m.getData() + m.getLength());
    }
    return d;
}

// Baseline: fixed offsets, no checks at all.
void BM_UncheckedHeartbeats(benchmark::State& state) {
    std::vector<uint8_t> d = heartbeats(64);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (size_t off = 20; off + 32 <= d.size(); off += 32) {
            uint8_t const* p = d.data() + off;
            RTPS::HeartbeatFields f;
            f.final = (p[1] & 0x02) != 0;
            f.liveliness = (p[1] & 0x04) != 0;
            std::memcpy(&f.readerId, p + 4, 4);
            std::memcpy(&f.writerId, p + 8, 4);
            std::memcpy(&f.firstSN, p + 12, 8);
            std::memcpy(&f.lastSN, p + 20, 8);
            std::memcpy(&f.count, p + 28, 4);
            benchmark::DoNotOptimize(f);
            sum += f.lastSN.low + f.count;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_UncheckedHeartbeats);

void BM_WalkAndDecodeHeartbeats(benchmark::State& state) {
    std::vector<uint8_t> d = heartbeats(64);
    for (auto _ : state) {
        uint64_t sum = 0;
        RTPS::DatagramWalker w(d.data(), d.size());
        RTPS::SubmessageSpan s;
        while (w.next(s)) {
            RTPS::HeartbeatFields f;
            if (RTPS::decodeHeartbeat(s, f)) {
                sum += f.lastSN.low + f.count;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_WalkAndDecodeHeartbeats);

void BM_CursorU32(benchmark::State& state) {
    std::vector<uint8_t> d(4096, 1);
    for (auto _ : state) {
        RTPS::ByteCursor c(d.data(), d.size());
        uint64_t sum = 0;
        uint32_t v;
        while (c.readU32(v)) {
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_CursorU32);

void BM_UncheckedU32(benchmark::State& state) {
    std::vector<uint8_t> d(4096, 1);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (size_t off = 0; off + 4 <= d.size(); off += 4) {
            uint32_t v;
            std::memcpy(&v, d.data() + off, 4);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_UncheckedU32);

}  // namespace

BENCHMARK_MAIN();
