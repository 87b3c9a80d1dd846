// The reliable protocol's own state under arbitrary HEARTBEAT, GAP, DATA, ACKNACK and NACK_FRAG:
// a real StatefulWriter with two reliable readers and a best-effort one (real ReaderProxy
// state, real composer and scheduler over a capturing transport), and a real WriterProxy of a
// reliable reader. After every step the harness checks what must hold whatever a peer sends:
// the writer's history within its limit, no proxy holding entries of changes long gone, the
// reader's window, held changes and missing set within their bounds; at the end every user
// buffer is back in the pool.
//
// Input: one settings byte (push mode, NACK suppression, history limit), then steps, each an
// opcode byte and its fields (little-endian); a step cut short ends the run.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/FakeParticipant.h"
#include "rtps/history/CacheChange.h"
#include "rtps/io/UserInputBufferPool.h"
#include "rtps/reader/WriterProxy.h"
#include "rtps/wire/ByteCursor.h"
#include "rtps/writer/ChangeHandle.h"
#include "rtps/writer/StatefulWriter.h"

namespace {

using namespace RTPS;

constexpr size_t MAX_STEPS = 400;
constexpr size_t READERS = 3;  // the last one best-effort
constexpr uint16_t MAX_PAYLOAD = 1500;

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

GUID_t readerGuid(size_t n) {
    GUID_t g{};
    g.guidPrefix[0] = 0xBB;
    g.guidPrefix[11] = static_cast<uint8_t>(n);
    g.entityId = EntityId_t{{0, 0, static_cast<uint8_t>(0x10 + n)}, 0x07};
    return g;
}

Locator_t readerLocator(size_t n) {
    Locator_t l{LOCATOR_KIND_UDPv4, static_cast<uint32_t>(7600 + n), {}};
    l.address[12] = 127;
    l.address[15] = 1;
    return l;
}

struct WriterSide {
    WriterSide(FakeParticipant& p, uint32_t limit) : participant(p), historyLimit(limit) {
        EndpointConfig config{};
        config.guid.guidPrefix[0] = 0xAA;
        config.guid.entityId = EntityId_t{{0, 0, 0x22}, 0x03};
        config.topicKind = TOPIC_KIND_NO_KEY;
        config.reliabilityLevel = RELIABILITY_RELIABLE;
        config.unicastLocator = _LOCATOR_INVALID;
        config.multicastLocator = _LOCATOR_INVALID;
        config.historyReserve = limit;
        publication.topic_name = "T";
        publication.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
        publication.reliability.max_blocking_time = {0, 0};
        publication.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
        writer.reset(new StatefulWriter(&participant, &config, &publication, 0));
        writer->start();
        for (size_t n = 0; n < READERS; ++n) {
            match(n);
        }
    }

    // The writer owns the proxy from here on; it stays listed (and the pointer good) until
    // toggle takes it out again.
    void match(size_t n) {
        Locator_t l = readerLocator(n);
        auto* proxy = new ReaderProxy(writer.get(), readerGuid(n),
                                      participant.composer->getSocket(l), false, n + 1 < READERS);
        writer->matched_reader_add(proxy);
        matched[n] = writer->matched_reader_lookup(readerGuid(n));
        proxies[n] = matched[n] ? proxy : nullptr;
    }

    void toggle(size_t n) {
        if (matched[n]) {
            writer->matched_reader_remove(readerGuid(n));
            matched[n] = false;
            proxies[n] = nullptr;
        } else {
            match(n);
        }
    }

    void invariants() {
        HistoryCache& history = writer->getHistory();
        const size_t held = history.size();
        check(historyLimit == 0 || held <= historyLimit);
        // An entry of a removed change stays only behind a live one: none at all when the
        // history is empty, otherwise no more than the numbers from its lowest change on.
        uint64_t span = 0;
        if (held != 0) {
            const SequenceNumber_t low = history.getSeqNumMin();
            check(low.high == 0 && low.low <= lastWritten);
            span = uint64_t{lastWritten} - low.low + 1;
        }
        for (size_t n = 0; n < READERS; ++n) {
            check(matched[n] == writer->matched_reader_lookup(readerGuid(n)));
        }
        check(writer->matchedReaderCount() <= READERS);
        for (ReaderProxy* p : proxies) {
            if (p == nullptr) {
                continue;
            }
            check(p->entryCount() <= span);
            SequenceNumber_t first{};
            SequenceNumber_t last{};
            p->getRelevantRange(first, last);
            check(first <= last);
            check(last.high == 0 && last.low <= lastWritten);
            // A best-effort reader is never waited for, so it never has anything unacknowledged.
            check(p->isReliable() || !p->hasUnacknowledged());
        }
        std::vector<CacheChange*> all;
        history.upload(all);
        for (CacheChange* c : all) {
            check(c->loanCount.load() <= READERS);
        }
    }

    FakeParticipant& participant;
    const uint32_t historyLimit;
    vexa::dds::PublicationBuiltinTopicData publication;
    std::unique_ptr<StatefulWriter> writer;
    bool matched[READERS] = {};
    ReaderProxy* proxies[READERS] = {};
    std::vector<int64_t> handles;
    uint32_t lastWritten = 0;
};

struct ReaderSide {
    ReaderSide() : proxy(nullptr, GUID_t{}, nullptr) {}

    // Stores changes as a reader would: the due one, then whatever the proxy hands on.
    void deliverFrom(CacheChange* change, SequenceNumber_t sn, uint64_t turn) {
        while (change != nullptr) {
            delete change;
            SequenceNumber_t next{};
            change = proxy.delivered(turn, sn, true, next);
            sn = next;
        }
    }

    void data(SequenceNumber_t sn) {
        if (proxy.received_change_check(sn)) {
            return;
        }
        SampleInfo info{};
        info.sequenceNumber = sn;
        auto* change = new CacheChange(GUID_t{}, &info);
        uint64_t turn = 0;
        switch (proxy.offer(change, sn, turn)) {
            case WriterProxy::Offer::Deliver:
                deliverFrom(change, sn, turn);
                break;
            case WriterProxy::Offer::Held:
                break;
            case WriterProxy::Offer::Refused:
                delete change;
                break;
        }
    }

    void due() {
        SequenceNumber_t sn{};
        uint64_t turn = 0;
        if (CacheChange* change = proxy.takeDue(sn, turn)) {
            deliverFrom(change, sn, turn);
        }
    }

    void invariants() {
        const uint64_t window = proxy.windowSize();
        check(window <= WriterProxy::MAX_WINDOW);
        check(proxy.heldCount() <= WriterProxy::MAX_HELD);
        check(proxy.heldCount() <= window);
        check(proxy.allDelivered() == (window == 0));
        SequenceNumberSet set{};
        proxy.missing_changes(set);
        check(set.numBits <= MAX_SET_BITS);
        check(set.numBits <= window);
        uint64_t base = 0;
        check(WriterProxy::valueOf(set.bitmapBase, base));
        check(base == (window != 0 ? proxy.base() : proxy.highest() + 1));
    }

    WriterProxy proxy;
};

SequenceNumber_t readSn(ByteCursor& in, bool& ok) {
    uint8_t high = 0;
    uint32_t low = 0;
    ok = in.readU8(high) && in.readU32(low);
    // Mostly small numbers, sometimes a high word (negative ones are refused by the proxy).
    const int32_t h = high < 0xF0 ? 0 : (high == 0xFF ? -1 : high & 0x3);
    return SequenceNumber_t{h, h == 0 ? low % 70000 : low};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    ByteCursor in(data, size);
    uint8_t settings = 0;
    if (!in.readU8(settings)) {
        return 0;
    }
    FakeParticipant::Settings s;
    s.push = (settings & 1) == 0;
    s.nackSuppressionMs = (settings & 2) != 0 ? 100 : 0;
    std::mutex poolLock;  // outlives the participant's pool
    FakeParticipant participant(s);
    participant.transport.maxDataSize = 512;  // samples above it go as DATA_FRAG
    // More blocks than any run can hold at once, so the pool never grows and every block must
    // be back in it at the end.
    participant.pool.reset(new UserInputBufferPool(MAX_STEPS + 8, 64, poolLock));
    {
        WriterSide w(participant, 2u << ((settings >> 2) & 3));
        ReaderSide r;
        std::vector<uint8_t> payload(MAX_PAYLOAD, 0x5A);
        bool ok = true;
        for (size_t step = 0; step < MAX_STEPS && ok; ++step) {
            uint8_t op = 0;
            if (!in.readU8(op)) {
                break;
            }
            switch (op % 14) {
                case 0: {  // write
                    uint16_t length = 0;
                    ok = in.readU16(length);
                    SampleInfo info{};
                    info.data = payload.data();
                    info.length = 1 + length % MAX_PAYLOAD;
                    info.statusFlags = SAMPLE_ALIVE;
                    info.sourceTimestamp = vexa::dds::TIME_INVALID;
                    const int64_t h = w.writer->addNow(&info);
                    if (h != CHANGE_NOT_TAKEN) {
                        w.handles.push_back(h);
                        w.lastWritten = static_cast<uint32_t>(static_cast<uint64_t>(h) >> 32);
                    }
                    break;
                }
                case 1:    // delete
                case 2: {  // withdraw at once
                    uint8_t k = 0;
                    ok = in.readU8(k);
                    if (ok && !w.handles.empty()) {
                        const int64_t h = w.handles[k % w.handles.size()];
                        if (op % 14 == 1) {
                            w.writer->deleteChange(h);
                        } else {
                            w.writer->dropChange(h);
                        }
                    }
                    break;
                }
                case 3: {  // ACKNACK
                    uint8_t reader = 0, final = 0;
                    uint16_t base = 0, bits = 0;
                    uint32_t word0 = 0, word7 = 0, count = 0;
                    ok = in.readU8(reader) && in.readU16(base) && in.readU16(bits) &&
                         in.readU32(word0) && in.readU32(word7) && in.readU32(count) &&
                         in.readU8(final);
                    AckNAckData a;
                    a.readerGUID = readerGuid(reader % READERS);
                    a.writerGUID = w.writer->getGuid();
                    a.readerSNState.bitmapBase = SequenceNumber_t{0, base};
                    a.readerSNState.numBits = bits % (MAX_SET_BITS + 1);
                    a.readerSNState.bitmap[0] = word0;
                    a.readerSNState.bitmap[7] = word7;
                    a.count = count;
                    a.finalFlag = (final & 1) != 0;
                    if (ok) {
                        w.writer->acknack(&a);
                    }
                    break;
                }
                case 4: {  // NACK_FRAG
                    uint8_t reader = 0, bits = 0;
                    uint16_t sn = 0;
                    uint32_t base = 0, word0 = 0, count = 0;
                    ok = in.readU8(reader) && in.readU16(sn) && in.readU32(base) &&
                         in.readU8(bits) && in.readU32(word0) && in.readU32(count);
                    NAckFragData n;
                    n.readerGUID = readerGuid(reader % READERS);
                    n.writerGUID = w.writer->getGuid();
                    n.writerSN = SequenceNumber_t{0, sn};
                    n.fragmentNumberState.bitmapBase = base % 8;
                    n.fragmentNumberState.numBits = bits % (MAX_SET_BITS + 1);
                    n.fragmentNumberState.bitmap[0] = word0;
                    n.count = count;
                    if (ok) {
                        w.writer->nackfrag(&n);
                    }
                    break;
                }
                case 5:
                    w.writer->reliableWorker();
                    break;
                case 6: {  // time passes: deferred answers and suppression ends run
                    uint8_t tens = 0;
                    ok = in.readU8(tens);
                    participant.advanceMs(uint64_t{tens} * 10);
                    break;
                }
                case 7: {  // a reader goes or comes back
                    uint8_t reader = 0;
                    ok = in.readU8(reader);
                    w.toggle(reader % READERS);
                    break;
                }
                case 8: {  // HEARTBEAT to the reader
                    uint32_t count = 0;
                    uint8_t final = 0;
                    bool a = false, b = false;
                    HeartbeatData hb;
                    hb.firstSN = readSn(in, a);
                    hb.lastSN = readSn(in, b);
                    ok = a && b && in.readU32(count) && in.readU8(final);
                    hb.count = count;
                    hb.finalFlag = (final & 1) != 0;
                    if (ok) {
                        r.proxy.heartbeat(hb);
                    }
                    break;
                }
                case 9: {  // GAP to the reader
                    bool a = false, b = false;
                    uint8_t bits = 0;
                    uint32_t word0 = 0;
                    const SequenceNumber_t start = readSn(in, a);
                    SequenceNumberSet list{};
                    list.bitmapBase = readSn(in, b);
                    ok = a && b && in.readU8(bits) && in.readU32(word0);
                    list.numBits = bits % (MAX_SET_BITS + 1);
                    list.bitmap[0] = word0;
                    if (ok) {
                        r.proxy.irrelevant_change_set(start, list);
                    }
                    break;
                }
                case 10: {  // DATA to the reader
                    const SequenceNumber_t sn = readSn(in, ok);
                    if (ok) {
                        r.data(sn);
                    }
                    break;
                }
                case 11:
                    r.due();
                    break;
                case 12: {  // the reader answers
                    std::unique_ptr<AckNAckData> answer(r.proxy.makeAckNack(GUID_t{}));
                    if (answer) {
                        check(answer->readerSNState.numBits <= MAX_SET_BITS);
                    }
                    break;
                }
                case 13: {  // the reader's writer says what it still has
                    bool a = false;
                    const SequenceNumber_t first = readSn(in, a);
                    ok = a;
                    if (ok) {
                        r.proxy.lost_changes_update(first);
                    }
                    break;
                }
            }
            participant.settle();
            w.invariants();
            r.invariants();
        }
        w.writer->stop();
    }
    // Every change and every entry's loan went with the writer: no block is still lent out.
    check(participant.pool->lentBytes() == 0);
    return 0;
}
