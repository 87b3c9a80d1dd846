#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/io/MessageComposer.h"
#include "rtps/wire/SubmessageDecoder.h"

using namespace RTPS;

namespace {

uint8_t const PREFIX[12] = {0xAA, 0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
EntityId_t const READER{{0x00, 0x00, 0x11}, 0x07};
EntityId_t const WRITER{{0x00, 0x00, 0x22}, 0x02};
vexa::dds::Time_t const T1{100, 5};
vexa::dds::Time_t const T2{101, 7};

Locator_t locator(uint32_t port) {
    Locator_t l{LOCATOR_KIND_UDPv4, port, {}};
    l.address[12] = 127;
    l.address[15] = 1;
    return l;
}

// A local writer's change over a payload the test keeps.
struct Sample {
    Sample(size_t n, bool keyHash, uint32_t status, bool timed) : payload(n) {
        for (size_t i = 0; i < n; ++i) {
            payload[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        SampleInfo info{};
        if (keyHash) {
            info.keyHash[0] = 0x5A;
            info.keyHash[15] = 0xA5;
        }
        info.instanceHandle = 0x01020304;
        info.statusFlags = status;
        info.sourceTimestamp = timed ? T1 : vexa::dds::TIME_INVALID;
        info.data = payload.data();
        info.length = n;
        GUID_t writer{};
        std::memcpy(writer.guidPrefix, PREFIX, 12);
        writer.entityId = WRITER;
        change.reset(new CacheChange(writer, &info));
        change->setSequenceNumber({0, 9});
        entry.reset(new ChangeForReader(change.get(), {0, 9}, UNSENT));
    }
    std::vector<uint8_t> payload;
    std::unique_ptr<CacheChange> change;
    std::unique_ptr<ChangeForReader> entry;
};

std::vector<SubmessageSpan> walk(SentDatagram const& d) {
    std::vector<SubmessageSpan> out;
    DatagramWalker w(d.bytes.data(), d.bytes.size());
    SubmessageSpan s;
    while (w.next(s)) {
        out.push_back(s);
    }
    EXPECT_FALSE(w.malformed());
    return out;
}

std::string kinds(std::vector<SentDatagram> const& sent) {
    std::string k;
    for (auto const& d : sent) {
        k += "[";
        for (auto const& s : walk(d)) {
            InfoTsFields ts;
            switch (s.kind) {
                case INFO_TS:
                    EXPECT_TRUE(decodeInfoTs(s, ts));
                    k += ts.invalidate ? "t-" : "t" + std::to_string(ts.sec);
                    break;
                case DATA:
                    k += "D";
                    break;
                case DATA_FRAG:
                    k += "F";
                    break;
                case HEARTBEAT:
                    k += "H";
                    break;
                default:
                    k += "?";
            }
            k += " ";
        }
        k += "]";
    }
    return k;
}

struct Fixture {
    Fixture() : composer(&transport, PREFIX) {
        Locator_t l = locator(7411);
        socket = composer.getSocket(l);
    }
    std::vector<SentDatagram> sent() { return transport.sender(0)->sent(); }
    FakeTransport transport;
    MessageComposer composer;
    RTPSOutSocket* socket = nullptr;
};

// A DATA made by hand, queued without sending, so that several share a datagram.
void queueData(MessageComposer& c, RTPSOutSocket* socket, TransportPriorityLevel priority,
               vexa::dds::Time_t const* time, size_t payload = 8) {
    SubMessage* s = c.pool().getSubmessage(DATA, priority);
    ASSERT_NE(s, nullptr);
    s->setFlags(0x05);
    SequenceNumber_t sn{0, 1};
    std::vector<uint8_t> bytes(payload, 0x42);
    s->addElement(ELEMENT_ENTITY_ID, &READER, 4);
    s->addElement(ELEMENT_ENTITY_ID, &WRITER, 4);
    s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8);
    s->addElement(ELEMENT_SERIALIZED_DATA, bytes.data(), static_cast<uint16_t>(payload));
    if (time != nullptr) {
        s->setTimestamp(time->sec, time->nanosec);
    }
    c.subMessageReady(s, socket);
}

void queueHeartbeat(MessageComposer& c, RTPSOutSocket* socket, TransportPriorityLevel priority) {
    SubMessage* s = c.pool().getSubmessage(HEARTBEAT, priority);
    ASSERT_NE(s, nullptr);
    SequenceNumber_t sn{0, 1};
    uint32_t count = 1;
    s->addElement(ELEMENT_ENTITY_ID, &READER, 4);
    s->addElement(ELEMENT_ENTITY_ID, &WRITER, 4);
    s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8);
    s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8);
    s->addElement(ELEMENT_COUNT, &count, 4);
    c.subMessageReady(s, socket);
}

}  // namespace

// Up to the limit a change goes as one DATA; one byte more splits it into two DATA_FRAGs whose
// bytes put together give the payload. Inline QoS and a time stamp take their room from both.
TEST(MessageComposer, DataUpToTheLimitThenTwoFragments) {
    struct Case {
        bool keyHash;
        uint32_t status;
        bool timed;
        uint32_t inlineQos;
    } const cases[] = {
        {false, 1, false, 0}, {false, 1, true, 0},   {true, 1, false, 24},
        {true, 2, true, 32},  {false, 4, false, 12}, {false, 6, true, 12},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "key " << c.keyHash << " status " << c.status << " timed " << c.timed);
        uint32_t room = 65507 - c.inlineQos;
        uint32_t limit = room - 44 - (c.timed ? 12 : 0);
        uint32_t fragment = room - 56 - (c.timed ? 12 : 0);
        if (!c.keyHash && c.status == 1 && !c.timed) {
            EXPECT_EQ(fragment, 65451u);
        }
        {
            Fixture f;
            Sample s(limit, c.keyHash, c.status, c.timed);
            f.composer.sendData(f.socket, READER, s.entry.get(), 0, nullptr);
            auto sent = f.sent();
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].bytes.size(), 65507u);
            auto spans = walk(sent[0]);
            ASSERT_EQ(spans.size(), c.timed ? 2u : 1u);
            DataFields d;
            ASSERT_TRUE(decodeData(spans.back(), d));
            EXPECT_FALSE(d.fragment);
            EXPECT_EQ(d.flags, c.inlineQos != 0 ? 0x07 : 0x05);
            EXPECT_EQ(d.inlineQosLength, c.inlineQos);
            ASSERT_EQ(d.payloadLength, limit);
            EXPECT_EQ(0, std::memcmp(d.payload, s.payload.data(), limit));
            EXPECT_FALSE(s.entry->isFragmented());
        }
        {
            Fixture f;
            Sample s(limit + 1, c.keyHash, c.status, c.timed);
            f.composer.sendData(f.socket, READER, s.entry.get(), 0, nullptr);
            EXPECT_EQ(s.entry->fragmentSize, fragment);
            EXPECT_EQ(s.entry->fragmentCount, 2u);
            auto sent = f.sent();
            ASSERT_EQ(sent.size(), 2u);
            std::vector<uint8_t> joined;
            for (size_t i = 0; i < sent.size(); ++i) {
                EXPECT_LE(sent[i].bytes.size(), 65507u);
                auto spans = walk(sent[i]);
                // Only the first fragment carries the inline QoS and the time.
                ASSERT_EQ(spans.size(), i == 0 && c.timed ? 2u : 1u);
                DataFields d;
                ASSERT_TRUE(decodeData(spans.back(), d));
                EXPECT_TRUE(d.fragment);
                EXPECT_EQ(d.fragmentStartingNum, i + 1);
                EXPECT_EQ(d.fragmentsInSubmessage, 1u);
                EXPECT_EQ(d.fragmentSize, fragment);
                EXPECT_EQ(d.sampleSize, limit + 1);
                EXPECT_EQ(d.inlineQosLength, i == 0 ? c.inlineQos : 0u);
                joined.insert(joined.end(), d.payload, d.payload + d.payloadLength);
            }
            EXPECT_EQ(sent[0].bytes.size(), 65507u);
            EXPECT_EQ(joined, s.payload);
        }
    }
}

// The counted inline QoS is what the DATA carries, also with status bits the wire does not
// know about.
TEST(MessageComposer, InlineQosCountedAsWritten) {
    struct Case {
        bool keyHash;
        uint32_t status;
        uint16_t length;
        uint8_t statusInfo;
    } const cases[] = {
        {false, 1, 0, 0},  {false, 2, 12, 1}, {false, 4, 12, 2},
        {false, 6, 12, 3}, {true, 1, 24, 0},  {true, 6, 32, 3},
        {false, 8, 0, 0},  {true, 9, 24, 0},  {false, 0x0A, 12, 1},
    };
    EXPECT_EQ(MessageComposer::countInlineQoSLength(nullptr), 0);
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.keyHash << " status " << c.status);
        Fixture f;
        Sample s(16, c.keyHash, c.status, false);
        EXPECT_EQ(MessageComposer::countInlineQoSLength(s.change.get()), c.length);
        f.composer.sendData(f.socket, READER, s.entry.get(), 0, nullptr);
        auto sent = f.sent();
        ASSERT_EQ(sent.size(), 1u);
        DataFields d;
        ASSERT_TRUE(decodeData(walk(sent[0])[0], d));
        EXPECT_EQ(d.inlineQosLength, c.length);
        EXPECT_EQ(d.hasKeyHash, c.keyHash);
        EXPECT_EQ(d.hasStatusInfo, c.statusInfo != 0);
        EXPECT_EQ(d.statusInfo, c.statusInfo);
        EXPECT_EQ(d.payloadLength, 16u);
    }
}

// INFO_TS goes in front of a DATA whose time differs from the one announced before it in the
// same datagram; other submessages neither need nor reset it.
TEST(MessageComposer, TimestampAnnouncedOncePerChange) {
    struct Case {
        std::vector<vexa::dds::Time_t const*> times;  // null: a DATA without time
        bool heartbeatAfterFirst;
        char const* expected;
    } const cases[] = {
        {{&T1, &T1}, false, "[t100 D D ]"},
        {{nullptr, nullptr}, false, "[D D ]"},
        {{&T1, nullptr}, false, "[t100 D t- D ]"},
        {{nullptr, &T1, nullptr}, false, "[D t100 D t- D ]"},
        {{&T1, &T2, &T1}, false, "[t100 D t101 D t100 D ]"},
        {{&T1, &T1}, true, "[t100 D H D ]"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.expected);
        Fixture f;
        for (size_t i = 0; i < c.times.size(); ++i) {
            queueData(f.composer, f.socket, TRANSPORT_PRIORITY_LOW, c.times[i]);
            if (i == 0 && c.heartbeatAfterFirst) {
                queueHeartbeat(f.composer, f.socket, TRANSPORT_PRIORITY_LOW);
            }
        }
        f.composer.sendMessage(f.socket);
        EXPECT_EQ(kinds(f.sent()), c.expected);
        EXPECT_EQ(f.socket->queued(), 0u);
    }
}

// Each datagram keeps one priority; the next one starts where the priority changes.
TEST(MessageComposer, PriorityChangeStartsNewDatagram) {
    Fixture f;
    queueData(f.composer, f.socket, TRANSPORT_PRIORITY_LOW, &T1);
    queueData(f.composer, f.socket, TRANSPORT_PRIORITY_HIGH, &T1);
    queueHeartbeat(f.composer, f.socket, TRANSPORT_PRIORITY_HIGH);
    queueData(f.composer, f.socket, TRANSPORT_PRIORITY_LOW, nullptr);
    f.composer.sendMessage(f.socket);
    auto sent = f.sent();
    EXPECT_EQ(kinds(sent), "[t100 D ][t100 D H ][D ]");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].priority, TRANSPORT_PRIORITY_LOW);
    EXPECT_EQ(sent[1].priority, TRANSPORT_PRIORITY_HIGH);
    EXPECT_EQ(sent[2].priority, TRANSPORT_PRIORITY_LOW);
    // Only the last submessage of a datagram runs to its end.
    auto spans = walk(sent[1]);
    EXPECT_EQ(spans[2].data[2] | spans[2].data[3], 0);
    EXPECT_NE(spans[1].data[2] | spans[1].data[3], 0);
}

// A smaller configured datagram bounds packing too: nothing is lost and nothing exceeds it.
TEST(MessageComposer, PacksUpToTheSocketsLargestDatagram) {
    Fixture f;
    f.transport.maxDataSize = 1000;
    Locator_t l = locator(7500);
    RTPSOutSocket* small = f.composer.getSocket(l);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->getMaxDataSize(), 1000u);
    for (int i = 0; i < 7; ++i) {
        queueData(f.composer, small, TRANSPORT_PRIORITY_LOW, &T1, 290);
    }
    f.composer.sendMessage(small);
    auto sent = f.transport.sender(1)->sent();
    size_t data = 0;
    for (auto const& d : sent) {
        EXPECT_LE(d.bytes.size(), 1000u);
        for (auto const& s : walk(d)) {
            data += s.kind == DATA;
        }
    }
    EXPECT_EQ(data, 7u);
    EXPECT_EQ(kinds(sent), "[t100 D D D ][t100 D D D ][t100 D ]");

    // A change larger than the small datagram is fragmented to it.
    Sample s(2500, true, 1, true);
    f.composer.sendData(small, READER, s.entry.get(), 0, nullptr);
    EXPECT_EQ(s.entry->fragmentSize, 1000u - 24 - 68);
    for (auto const& d : f.transport.sender(1)->sent()) {
        EXPECT_LE(d.bytes.size(), 1000u);
    }
}

// A key-only DATA with the writer's instance handle goes in front of the data; it carries a
// time only when the change has one.
TEST(MessageComposer, KeyDataThenData) {
    struct Case {
        bool keyHash;
        uint32_t status;
        bool timed;
        uint8_t keyFlags;
        char const* expected;
    } const cases[] = {
        {false, 1, false, 0x09, "[D D ]"},
        {true, 1, true, 0x0B, "[t100 D D ]"},
        {false, 2, false, 0x0B, "[D D ]"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.expected);
        Fixture f;
        Sample s(40, c.keyHash, c.status, c.timed);
        f.composer.sendKeyData(f.socket, READER, s.entry.get(), 0);
        auto sent = f.sent();
        EXPECT_EQ(kinds(sent), c.expected);
        ASSERT_EQ(sent.size(), 1u);
        auto spans = walk(sent[0]);
        DataFields key;
        DataFields data;
        ASSERT_TRUE(decodeData(spans[spans.size() - 2], key));
        ASSERT_TRUE(decodeData(spans.back(), data));
        EXPECT_EQ(key.flags, c.keyFlags);
        EXPECT_TRUE(key.keyOnly);
        EXPECT_EQ(key.instanceHandle, 0x01020304u);
        EXPECT_EQ(key.payloadLength, 8u);
        EXPECT_EQ(key.writerSN, data.writerSN);
        EXPECT_EQ(data.payloadLength, 40u);
    }
}

// The control submessages read back as they were given, with their flags.
TEST(MessageComposer, ControlSubmessagesReadBack) {
    Fixture f;
    HeartbeatData hb;
    hb.readerId = READER;
    hb.writerGUID.entityId = WRITER;
    hb.finalFlag = true;
    hb.livelinessFlag = true;
    hb.firstSN = {0, 3};
    hb.lastSN = {1, 4};
    hb.count = 77;
    f.composer.sendHEARTBEAT(f.socket, &hb, 0);

    auto* gap = new GapData;
    gap->readerId = READER;
    gap->writerGUID.entityId = WRITER;
    gap->gapStart = {0, 5};
    gap->gapList.bitmapBase = {0, 8};
    gap->gapList.numBits = 40;
    gap->gapList.set(33);
    f.composer.sendGAP(f.socket, gap, 0);

    for (bool final : {true, false}) {
        auto* an = new AckNAckData;
        an->finalFlag = final;
        an->readerGUID.entityId = READER;
        an->writerGUID.entityId = WRITER;
        an->readerSNState.bitmapBase = {0, 2};
        an->readerSNState.numBits = 256;
        an->readerSNState.set(255);
        an->count = 12;
        f.composer.sendAckNAck(f.socket, an, 1);
    }

    auto* nf = new NAckFragData;
    nf->readerGUID.entityId = READER;
    nf->writerGUID.entityId = WRITER;
    nf->writerSN = {0, 6};
    nf->fragmentNumberState.bitmapBase = 3;
    nf->fragmentNumberState.numBits = 2;
    nf->fragmentNumberState.set(1);
    nf->count = 4;
    f.composer.sendNAckFrag(f.socket, nf, 0);

    auto sent = f.sent();
    ASSERT_EQ(sent.size(), 5u);
    HeartbeatFields h;
    ASSERT_TRUE(decodeHeartbeat(walk(sent[0])[0], h));
    EXPECT_EQ(walk(sent[0])[0].flags, 0x07);
    EXPECT_TRUE(h.readerId == READER && h.writerId == WRITER);
    EXPECT_TRUE(h.firstSN == hb.firstSN && h.lastSN == hb.lastSN);
    EXPECT_EQ(h.count, 77u);

    GapFields g;
    ASSERT_TRUE(decodeGap(walk(sent[1])[0], g));
    EXPECT_EQ(walk(sent[1])[0].flags, 0x01);
    EXPECT_TRUE(g.gapStart == (SequenceNumber_t{0, 5}));
    EXPECT_EQ(g.gapList.numBits, 40u);
    EXPECT_TRUE(g.gapList.isSet(33));
    EXPECT_FALSE(g.gapList.isSet(32));

    for (int i = 0; i < 2; ++i) {
        AckNackFields a;
        SubmessageSpan s = walk(sent[2 + i])[0];
        ASSERT_TRUE(decodeAckNack(s, a));
        EXPECT_EQ(s.flags, i == 0 ? 0x03 : 0x01);
        EXPECT_EQ(sent[2 + i].priority, TRANSPORT_PRIORITY_HIGH);
        EXPECT_TRUE(a.readerSNState.isSet(255));
        EXPECT_EQ(a.count, 12u);
    }

    NackFragFields n;
    ASSERT_TRUE(decodeNackFrag(walk(sent[4])[0], n));
    EXPECT_EQ(n.fragmentNumberState.bitmapBase, 3u);
    EXPECT_TRUE(n.fragmentNumberState.isSet(1));
    EXPECT_EQ(n.count, 4u);
}

// Records the composer owns are freed on every path (the leak checker of the sanitizer build
// sees the rest): null socket, a set the wire cannot carry, a stopped pool.
TEST(MessageComposer, OwnedRecordsFreedWhenNothingIsSent) {
    Fixture f;
    f.composer.sendGAP(nullptr, new GapData, 0);
    f.composer.sendAckNAck(nullptr, new AckNAckData, 0);
    f.composer.sendNAckFrag(nullptr, new NAckFragData, 0);
    HeartbeatData hb;
    f.composer.sendHEARTBEAT(nullptr, &hb, 0);
    Sample s(10, false, 1, false);
    f.composer.sendData(nullptr, READER, s.entry.get(), 0, nullptr);
    f.composer.sendKeyData(nullptr, READER, s.entry.get(), 0);

    auto* big = new AckNAckData;
    big->readerSNState.numBits = 257;
    f.composer.sendAckNAck(f.socket, big, 0);

    f.composer.pool().stop();
    f.composer.sendGAP(f.socket, new GapData, 0);
    f.composer.sendAckNAck(f.socket, new AckNAckData, 0);
    f.composer.sendNAckFrag(f.socket, new NAckFragData, 0);
    f.composer.sendData(f.socket, READER, s.entry.get(), 0, nullptr);

    EXPECT_TRUE(f.sent().empty());
    EXPECT_EQ(f.socket->queued(), 0u);
    EXPECT_EQ(f.transport.buffersOut, 0);
}

// With a reader proxy only the fragments it still asks for are sent, and then marked sent.
TEST(MessageComposer, ResendWithProxySendsRequestedFragmentsOnly) {
    Fixture f;
    Sample s(3 * 65451 - 100, false, 1, false);
    f.composer.sendData(f.socket, READER, s.entry.get(), 0, nullptr);
    ASSERT_EQ(s.entry->fragmentCount, 3u);
    EXPECT_EQ(f.sent().size(), 3u);

    ReaderProxy proxy(nullptr, GUID_t{}, f.socket, false);
    proxy.setFragmentStatus(s.entry.get(), 0, UNACKNOWLEDGED);
    proxy.setFragmentStatus(s.entry.get(), 1, REQUESTED);
    proxy.setFragmentStatus(s.entry.get(), 2, UNACKNOWLEDGED);
    f.composer.sendData(f.socket, READER, s.entry.get(), 0, &proxy);
    auto sent = f.sent();
    ASSERT_EQ(sent.size(), 4u);
    DataFields d;
    ASSERT_TRUE(decodeData(walk(sent[3])[0], d));
    EXPECT_EQ(d.fragmentStartingNum, 2u);
    EXPECT_EQ(d.inlineQosLength, 0u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(proxy.getFragmentStatus(s.entry.get(), i), UNACKNOWLEDGED);
    }
    f.composer.sendData(f.socket, READER, s.entry.get(), 0, &proxy);
    EXPECT_EQ(f.sent().size(), 4u);
}

TEST(MessageComposer, SocketPerDestination) {
    FakeTransport transport;
    MessageComposer composer(&transport, PREFIX);
    Locator_t a = locator(7411);
    Locator_t a2 = locator(7411);
    Locator_t b = locator(7412);
    RTPSOutSocket* s = composer.getSocket(a);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(composer.getSocket(a2), s);
    EXPECT_NE(composer.getSocket(b), s);
    EXPECT_EQ(transport.sendersAdded, 2);

    Locator_t c = locator(7413);
    transport.refuseSender = FakeTransport::Refuse::Null;
    EXPECT_EQ(composer.getSocket(c), nullptr);
    transport.refuseSender = FakeTransport::Refuse::Throw;
    try {
        composer.getSocket(c);
        FAIL() << "no exception";
    } catch (GENERAL_DDSI_ERROR const& e) {
        EXPECT_STREQ(e.what(), "Ошибка добавления сендера");
    }
    EXPECT_EQ(MessageComposer::adaptPriority(0), TRANSPORT_PRIORITY_LOW);
    EXPECT_EQ(MessageComposer::adaptPriority(-3), TRANSPORT_PRIORITY_HIGH);
}

// Without a send buffer nothing is lost: the queue waits for the next send.
TEST(MessageComposer, QueueKeptWithoutSendBuffer) {
    Fixture f;
    f.transport.noBuffers = true;
    HeartbeatData hb;
    hb.count = 1;
    f.composer.sendHEARTBEAT(f.socket, &hb, 0);
    hb.count = 2;
    f.composer.sendHEARTBEAT(f.socket, &hb, 0);
    EXPECT_EQ(f.socket->queued(), 2u);
    EXPECT_TRUE(f.sent().empty());
    f.transport.noBuffers = false;
    f.composer.sendMessage(f.socket);
    EXPECT_EQ(kinds(f.sent()), "[H H ]");
}

// Several threads sending to one socket: every submessage goes out exactly once.
TEST(MessageComposer, ConcurrentSendersLoseAndRepeatNothing) {
    Fixture f;
    constexpr uint32_t THREADS = 4;
    constexpr uint32_t EACH = 500;
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < THREADS; ++t) {
        threads.emplace_back([&f, t] {
            HeartbeatData hb;
            for (uint32_t i = 0; i < EACH; ++i) {
                hb.count = t * EACH + i;
                f.composer.sendHEARTBEAT(f.socket, &hb, static_cast<int>(i % 3 == 0));
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    // A thread that found the socket busy left its submessage to the holder, which sent it:
    // nothing may be left for a later send.
    EXPECT_EQ(f.socket->queued(), 0u);
    std::vector<uint32_t> counts;
    for (auto const& d : f.sent()) {
        for (auto const& s : walk(d)) {
            HeartbeatFields h;
            ASSERT_TRUE(decodeHeartbeat(s, h));
            counts.push_back(h.count);
        }
    }
    std::sort(counts.begin(), counts.end());
    ASSERT_EQ(counts.size(), THREADS * EACH);
    for (uint32_t i = 0; i < counts.size(); ++i) {
        ASSERT_EQ(counts[i], i);
    }
    EXPECT_EQ(f.socket->queued(), 0u);
    EXPECT_EQ(f.transport.buffersOut, 0);
}

// Many threads sending keyed changes at once: each needs two submessages, and threads that
// held one each while waiting for a second would empty the pool and wait for good. Every key
// arrives with its data behind it in the same datagram.
TEST(MessageComposer, ConcurrentKeyDataNeverExhaustsThePool) {
    FakeTransport transport;
    MessageComposer composer(&transport, PREFIX);
    constexpr uint32_t THREADS = 2 * MessageComposer::POOL_SIZE;
    constexpr uint32_t EACH = 300;
    std::vector<RTPSOutSocket*> sockets;
    for (uint32_t t = 0; t < THREADS; ++t) {
        Locator_t l = locator(7500 + t);
        sockets.push_back(composer.getSocket(l));
    }
    std::atomic<uint32_t> finished{0};
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            Sample s(40, true, 1, t % 2 == 0);
            for (uint32_t i = 0; i < EACH; ++i) {
                ChangeForReader entry(s.change.get(), {0, i}, UNSENT);
                s.change->setSequenceNumber({0, i});
                composer.sendKeyData(sockets[t], READER, &entry, 0);
            }
            ++finished;
        });
    }
    // A stuck pool is let go after a while, so that a failure ends instead of hanging.
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (finished < THREADS && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    bool const stuck = finished < THREADS;
    if (stuck) {
        composer.pool().stop();
    }
    for (auto& t : threads) {
        t.join();
    }
    ASSERT_FALSE(stuck) << "senders waited for the pool for good";
    for (uint32_t t = 0; t < THREADS; ++t) {
        SCOPED_TRACE(t);
        std::set<uint32_t> seen;
        for (auto const& d : transport.sender(t)->sent()) {
            auto spans = walk(d);
            for (size_t i = 0; i < spans.size(); ++i) {
                DataFields key;
                if (spans[i].kind != DATA || !decodeData(spans[i], key) || !key.keyOnly) {
                    continue;
                }
                DataFields data;
                ASSERT_LT(i + 1, spans.size());
                ASSERT_TRUE(decodeData(spans[i + 1], data));
                EXPECT_FALSE(data.keyOnly);
                EXPECT_EQ(data.writerSN, key.writerSN);
                seen.insert(key.writerSN.low);
            }
        }
        EXPECT_EQ(seen.size(), EACH);
        EXPECT_EQ(sockets[t]->queued(), 0u);
    }
}

// A destination's sender lives while some user holds its socket: the last release removes it
// from the transport (its descriptor closes), a send to the released socket goes nowhere, and
// a new use makes a sender again.
TEST(MessageComposer, TheLastReleaseGivesTheSenderBack) {
    FakeTransport transport;
    MessageComposer composer(&transport, PREFIX);
    Locator_t l = locator(7421);
    RTPSOutSocket* s = composer.getSocket(l);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(composer.getSocket(l), s);  // a second user
    FakeSender* first = transport.sender(0);
    MessageComposer::release(s);
    EXPECT_EQ(transport.sendersRemoved, 0);
    EXPECT_EQ(composer.openSocketCount(), 1u);
    MessageComposer::release(s);
    EXPECT_EQ(transport.sendersRemoved, 1);
    EXPECT_EQ(composer.openSocketCount(), 0u);
    EXPECT_EQ(s->getSender(), nullptr);
    MessageComposer::release(s);  // one too many changes nothing
    EXPECT_EQ(transport.sendersRemoved, 1);

    HeartbeatData hb;
    hb.writerGUID.entityId = {{0, 0, 1}, 0x03};
    hb.firstSN = {0, 1};
    hb.lastSN = {0, 1};
    composer.sendHEARTBEAT(s, &hb, 0);  // a stale holder's send is dropped
    EXPECT_TRUE(first->sent().empty());
    EXPECT_EQ(transport.buffersOut, 0);
    EXPECT_EQ(s->queued(), 0u);

    EXPECT_EQ(composer.getSocket(l), s);
    EXPECT_EQ(transport.sendersAdded, 2);
    EXPECT_EQ(composer.openSocketCount(), 1u);
    composer.sendHEARTBEAT(s, &hb, 0);
    ASSERT_NE(transport.sender(1), nullptr);
    EXPECT_EQ(transport.sender(1)->sent().size(), 1u);
}

// Several threads send to one destination while each send is slow to leave: the datagrams are
// handed over one at a time, each thread's submessages arrive once and in the order it sent
// them, and what queued up while a send was under way shares the next datagram.
TEST(MessageComposer, OneSenderAtATimeInOrderAndWhatQueuedMeanwhileLeavesTogether) {
    Fixture f;
    f.transport.sendTime = std::chrono::microseconds(200);
    constexpr uint32_t THREADS = 4;
    constexpr uint32_t EACH = 200;
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < THREADS; ++t) {
        threads.emplace_back([&f, t] {
            for (uint32_t i = 1; i <= EACH; ++i) {
                HeartbeatData hb;
                hb.writerGUID.entityId = {{0, 0, static_cast<uint8_t>(t + 1)}, 0x03};
                hb.firstSN = {0, 1};
                hb.lastSN = {0, i};
                hb.count = i;
                f.composer.sendHEARTBEAT(f.socket, &hb, 0);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_FALSE(f.transport.overlapped) << "two sends to one destination at once";
    std::vector<uint32_t> last(THREADS, 0);
    size_t heartbeats = 0;
    std::vector<SentDatagram> const sent = f.sent();
    for (SentDatagram const& d : sent) {
        for (SubmessageSpan const& s : walk(d)) {
            HeartbeatFields hb;
            ASSERT_TRUE(s.kind == HEARTBEAT && decodeHeartbeat(s, hb));
            uint32_t const t = hb.writerId.entityKey[2] - 1u;
            ASSERT_LT(t, THREADS);
            EXPECT_EQ(hb.count, last[t] + 1) << "thread " << t;
            last[t] = hb.count;
            ++heartbeats;
        }
    }
    EXPECT_EQ(heartbeats, size_t{THREADS} * EACH);
    EXPECT_LT(sent.size(), heartbeats) << "nothing queued while a send was under way";
    EXPECT_EQ(f.socket->queued(), 0u);
}
