#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "LogCapture.h"
#include "WireBytes.h"
#include "rtps/wire/AckNAckData.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/wire/NAckFragData.h"
#include "rtps/participant/Participant.h"
#include "rtps/participant/ReceiveBatch.h"
#include "rtps/wire/RTPSMessage.h"

using namespace RTPS;

namespace {

uint8_t const OWN[12] = {0xAA, 0xAA, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
uint8_t const REMOTE[12] = {0xAA, 0xAA, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
EntityId_t const USER_READER{{0x00, 0x00, 0x11}, 0x07};
EntityId_t const USER_WRITER{{0x00, 0x00, 0x22}, 0x02};

Bytes id(EntityId_t const& e) {
    return {e.entityKey[0], e.entityKey[1], e.entityKey[2], e.entityKind};
}
Bytes sn(uint32_t low) {
    return cat({le32(0), le32(low)});
}
Bytes header(uint8_t const* prefix = REMOTE, uint8_t major = 2, uint8_t minor = 2) {
    return cat({{'R', 'T', 'P', 'S', major, minor, 0xAA, 0xAA}, Bytes(prefix, prefix + 12)});
}
Bytes sub(uint8_t kind, uint8_t flags, Bytes const& body) {
    return cat({{kind, flags}, le16(static_cast<uint16_t>(body.size())), body});
}
Bytes param(uint16_t pid, Bytes const& value) {
    return cat({le16(pid), le16(static_cast<uint16_t>(value.size())), value});
}
Bytes const SENTINEL = {1, 0, 0, 0};

Bytes data(uint8_t flags, EntityId_t reader, uint32_t seq, Bytes const& qos, Bytes const& payload,
           EntityId_t writer = USER_WRITER) {
    return sub(0x15, flags,
               cat({le16(0), le16(16), id(reader), id(writer), sn(seq), qos, payload}));
}
Bytes frag(EntityId_t reader, uint32_t start, uint16_t count, uint16_t size, uint32_t sample,
           Bytes const& payload) {
    return sub(0x16, 0x05,
               cat({le16(0), le16(28), id(reader), id(USER_WRITER), sn(7), le32(start), le16(count),
                    le16(size), le32(sample), payload}));
}
Bytes heartbeat(EntityId_t reader = USER_READER, uint8_t flags = 0x01) {
    return sub(0x07, flags, cat({id(reader), id(USER_WRITER), sn(1), sn(9), le32(3)}));
}
Bytes infoTs(int32_t sec, uint32_t nsec) {
    return sub(0x09, 0x01, cat({le32(static_cast<uint32_t>(sec)), le32(nsec)}));
}
Bytes const INFO_TS_INVALID = sub(0x09, 0x03, Bytes(8, 0xFF));
Bytes const PAYLOAD = {0x00, 0x01, 0x00, 0x00, 'a', 'b', 'c', 'd'};

// The participant's side of the receiver: records what it is given; keeps changes on demand.
class FakeParticipant : public Participant {
public:
    void dataRecipient(void*, unsigned short) override {}
    void participantAlive(uint8_t const*) override { ++alive; }
    bool hasReader(EntityId_t const& r) override {
        return r == USER_READER || r == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER ||
               r == _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER;
    }
    unsigned int heartbeatToReaders(HeartbeatData* hb) override {
        if (throwOnHeartbeat) {
            throwOnHeartbeat = false;
            throw std::runtime_error("endpoint failed");
        }
        record([&] { heartbeats.push_back(*hb); });
        return 1;
    }
    bool gapToReader(GapData* g) override {
        gaps.push_back(*g);
        return true;
    }
    bool acknackToWriter(AckNAckData* a) override {
        acknacks.push_back(*a);
        return true;
    }
    bool nackfragToWriter(NAckFragData* n) override {
        nackfrags.push_back(*n);
        return true;
    }
    bool decodeBuiltinData(EntityId_t const& writer, uint8_t const* payload, uint32_t length,
                           CacheChange* change) override {
        decoded.assign(payload, payload + length);
        (void)writer;
        change->setData(&record_, sizeof record_);
        return true;
    }
    CacheChange* addChange(EntityId_t& reader, CacheChange* change) override {
        return take("reader " + std::to_string(entityIdToU32(reader)), change);
    }
    bool addChange(CacheChange* change) override { return take("matched", change) != nullptr; }

    // Waits until `n` changes or heartbeats have arrived.
    bool waitFor(size_t n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5),
                             [&] { return kept.size() + heartbeats.size() >= n; });
    }

    bool keep = true;
    bool throwOnHeartbeat = false;
    int alive = 0;
    std::vector<std::string> routes;
    std::vector<std::unique_ptr<CacheChange>> kept;
    std::vector<HeartbeatData> heartbeats;
    std::vector<GapData> gaps;
    std::vector<AckNAckData> acknacks;
    std::vector<NAckFragData> nackfrags;
    Bytes decoded;

private:
    template <typename F>
    void record(F f) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            f();
        }
        m_cv.notify_all();
    }
    CacheChange* take(std::string const& route, CacheChange* change) {
        record([&] {
            routes.push_back(route);
            if (keep) {
                kept.emplace_back(change);
            }
        });
        return keep ? change : nullptr;
    }
    int record_ = 0;
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

struct Fixture {
    Fixture() : receiver(&participant, &transport, OWN) {}
    void feed(Bytes const& datagram) {
        receiver.parseMessage(
            new RTPSMessage(datagram.data(), static_cast<uint16_t>(datagram.size())));
    }
    size_t delivered() const {
        return participant.kept.size() + participant.heartbeats.size() + participant.gaps.size() +
               participant.acknacks.size() + participant.nackfrags.size();
    }
    FakeParticipant participant;
    FakeTransport transport;
    MessageReceiver receiver;
};

}  // namespace

// Every malformed datagram or submessage is dropped with a log line and without a crash; a
// HEARTBEAT behind a dropped submessage still arrives while the length framing holds.
TEST(MessageReceiver, MalformedDatagramsAreDropped) {
    LogCapture log;
    Bytes const hb = heartbeat();
    Bytes const key16(16, 0x33);
    struct Case {
        char const* name;
        Bytes datagram;
        size_t heartbeats;  // that still arrive
        bool logged;
        size_t lost = 0;  // changes declared lost to the readers (as a GAP)
    } const cases[] = {
        {"wrong version", cat({header(REMOTE, 2, 1), data(0x05, USER_READER, 1, {}, PAYLOAD)}), 0,
         true},
        {"not RTPS", cat({Bytes{'R', 'T', 'P', 'X'}, Bytes(16, 0), hb}), 0, true},
        {"cut header", Bytes{'R', 'T', 'P', 'S', 2, 2, 0xAA}, 0, true},
        {"submessage header cut", cat({header(), Bytes{0x15, 0x05, 0x10}}), 0, true},
        {"length past the end", cat({header(), Bytes{0x15, 0x05, 0x40, 0x00}, Bytes(20, 0), hb}), 0,
         true},
        {"DATA shorter than its fields", cat({header(), sub(0x15, 0x05, Bytes(12, 0)), hb}), 1,
         true},
        {"octetsToInlineQos past the submessage",
         cat({header(),
              sub(0x15, 0x05, cat({le16(0), le16(400), id(USER_READER), id(USER_WRITER), sn(1)})),
              hb}),
         1, true},
        {"inline QoS without sentinel",
         cat({header(), data(0x07, USER_READER, 1, param(0x70, key16), {}), hb}), 1, true},
        {"key hash of 12 bytes",
         cat({header(),
              data(0x07, USER_READER, 1, cat({param(0x70, Bytes(12, 1)), SENTINEL}), PAYLOAD), hb}),
         1, true},
        {"key hash of 20 bytes",
         cat({header(),
              data(0x07, USER_READER, 1, cat({param(0x70, Bytes(20, 1)), SENTINEL}), PAYLOAD), hb}),
         1, true},
        {"status info of 2 bytes",
         cat({header(),
              data(0x07, USER_READER, 1, cat({param(0x71, Bytes{1, 0}), SENTINEL}), PAYLOAD), hb}),
         1, true},
        {"key-only payload of 4 bytes",
         cat({header(), data(0x09, USER_READER, 1, {}, Bytes{0, 1, 0, 0}), hb}), 1, true},
        {"ACKNACK set of 257 bits",
         cat({header(),
              sub(0x06, 0x01,
                  cat({id(USER_READER), id(USER_WRITER), sn(1), le32(257), Bytes(36, 0), le32(1)})),
              hb}),
         1, true},
        {"ACKNACK set without its words",
         cat({header(),
              sub(0x06, 0x01, cat({id(USER_READER), id(USER_WRITER), sn(1), le32(64), le32(1)})),
              hb}),
         1, true},
        {"GAP set of 257 bits",
         cat({header(),
              sub(0x08, 0x01,
                  cat({id(USER_READER), id(USER_WRITER), sn(1), sn(4), le32(257), Bytes(36, 0)})),
              hb}),
         1, true},
        {"NACK_FRAG set without its words",
         cat({header(),
              sub(0x12, 0x01,
                  cat({id(USER_READER), id(USER_WRITER), sn(1), le32(1), le32(96), le32(0)})),
              hb}),
         1, true},
        {"HEARTBEAT of 28 bytes", cat({header(), sub(0x07, 0x01, Bytes(24, 0)), hb}), 1, true},
        {"INFO_TS without its time", cat({header(), sub(0x09, 0x01, le32(5)), hb}), 1, true},
        {"DATA_FRAG starting at 0",
         cat({header(), frag(USER_READER, 0, 1, 8, 16, Bytes(8, 1)), hb}), 1, true},
        {"DATA_FRAG of size 0", cat({header(), frag(USER_READER, 1, 1, 0, 16, Bytes(8, 1)), hb}), 1,
         true},
        {"DATA_FRAG of no fragments",
         cat({header(), frag(USER_READER, 1, 0, 8, 16, Bytes(8, 1)), hb}), 1, true},
        {"DATA_FRAG of sample size 0",
         cat({header(), frag(USER_READER, 1, 1, 8, 0, Bytes(8, 1)), hb}), 1, true},
        {"DATA_FRAG of a huge sample",
         cat({header(), frag(USER_READER, 1, 1, 8, 0x80000000u, Bytes(8, 1)), hb}), 1, true, 1},
        {"DATA_FRAG longer than its fragments",
         cat({header(), frag(USER_READER, 1, 1, 8, 64, Bytes(16, 1)), hb}), 1, true},
        {"DATA_FRAG after the sample's end",
         cat({header(), frag(USER_READER, 3, 1, 8, 16, Bytes(8, 1)), hb}), 1, true},
        {"DATA_FRAG reaching past the sample",
         cat({header(), frag(USER_READER, 2, 2, 8, 12, Bytes(16, 1)), hb}), 1, true},
        {"own datagram", cat({header(OWN), data(0x05, USER_READER, 1, {}, PAYLOAD), hb}), 0, false},
        {"DATA for no local reader",
         cat({header(), data(0x05, EntityId_t{{9, 9, 9}, 0x07}, 1, {}, PAYLOAD), hb}), 1, false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        size_t before = LogCapture::count("отброшен");
        f.feed(c.datagram);
        EXPECT_TRUE(f.participant.kept.empty());
        EXPECT_TRUE(f.participant.routes.empty());
        EXPECT_EQ(f.participant.heartbeats.size(), c.heartbeats);
        EXPECT_EQ(f.participant.gaps.size(), c.lost);
        EXPECT_EQ(f.delivered(), c.heartbeats + c.lost);
        EXPECT_EQ(LogCapture::count("отброшен") > before, c.logged);
    }

    // The builders make sound datagrams when nothing is broken.
    Fixture f;
    f.feed(cat({header(), data(0x07, USER_READER, 1, cat({param(0x70, key16), SENTINEL}), PAYLOAD),
                frag(USER_READER, 2, 1, 8, 12, Bytes(4, 1)), hb}));
    EXPECT_EQ(f.participant.kept.size(), 2u);
    EXPECT_EQ(f.participant.heartbeats.size(), 1u);
    EXPECT_EQ(f.participant.alive, 1);

    MessageReceiver r(&f.participant, &f.transport, OWN);
    EXPECT_FALSE(r.receiveMessage(nullptr, 100));
    EXPECT_FALSE(r.receiveMessage(hb.data(), 23));
    EXPECT_EQ(r.queuedMessages(), 0u);
}

// One DATA_FRAG of 57 bytes announcing a sample of 2^31-1 bytes in fragments of one byte would
// make a reader build a 2 GiB reassembly: the receiver drops DATA_FRAG of samples above its cap,
// which by default is a sane sample size, and declares the change lost to the readers.
TEST(MessageReceiver, DataFragAboveTheSampleCapIsDropped) {
    LogCapture log;
    struct Case {
        char const* name;
        uint32_t sample;
        uint32_t cap;  // 0: the default
        bool kept;
    } const cases[] = {
        {"2^31-1 under the default cap", 0x7FFFFFFFu, 0, false},
        {"one byte above a set cap", 4097, 4096, false},
        {"at a set cap", 4096, 4096, true},
        {"a sample of 1 MiB under the default cap", 1u << 20, 0, true},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        FakeParticipant participant;
        FakeTransport transport;
        std::unique_ptr<MessageReceiver> receiver(
            c.cap == 0 ? new MessageReceiver(&participant, &transport, OWN)
                       : new MessageReceiver(&participant, &transport, OWN, 10000, c.cap));
        Bytes const datagram = cat({header(), frag(USER_READER, 1, 1, 1, c.sample, Bytes{7})});
        if (c.sample == 0x7FFFFFFFu) {
            ASSERT_EQ(datagram.size(), 57u);
        }
        size_t const before = LogCapture::count("DATA_FRAG: неверный размер сэмпла");
        size_t const lostBefore = LogCapture::count("читатели считают его потерянным");
        // Twice, as a writer sends it again: declared lost each time, logged once.
        for (int i = 0; i < 2; ++i) {
            receiver->parseMessage(
                new RTPSMessage(datagram.data(), static_cast<uint16_t>(datagram.size())));
        }
        EXPECT_EQ(participant.kept.size(), c.kept ? 2u : 0u);
        EXPECT_EQ(LogCapture::count("DATA_FRAG: неверный размер сэмпла"),
                  before + (c.kept ? 0 : 2));
        // A refused change is declared lost to the readers, so that their stream goes on
        // behind it: a GAP of its one number from its writer.
        EXPECT_EQ(LogCapture::count("читатели считают его потерянным"),
                  lostBefore + (c.kept ? 0 : 1));
        ASSERT_EQ(participant.gaps.size(), c.kept ? 0u : 2u);
        for (GapData const& gap : participant.gaps) {
            EXPECT_EQ(gap.readerId, USER_READER);
            EXPECT_EQ(std::memcmp(gap.writerGUID.guidPrefix, REMOTE, 12), 0);
            EXPECT_EQ(gap.writerGUID.entityId, USER_WRITER);
            EXPECT_EQ(gap.gapStart, (SequenceNumber_t{0, 7}));
            EXPECT_EQ(gap.gapList.bitmapBase, (SequenceNumber_t{0, 8}));
            EXPECT_EQ(gap.gapList.numBits, 0u);
        }
    }
}

// INFO_TS gives the following DATA its time; with the invalidate flag they have none.
TEST(MessageReceiver, TimestampAppliesToFollowingData) {
    Fixture f;
    f.feed(cat({header(), data(0x05, USER_READER, 1, {}, PAYLOAD), infoTs(50, 60),
                data(0x05, USER_READER, 2, {}, PAYLOAD), data(0x05, USER_READER, 3, {}, PAYLOAD),
                INFO_TS_INVALID, data(0x05, USER_READER, 4, {}, PAYLOAD)}));
    auto const& kept = f.participant.kept;
    ASSERT_EQ(kept.size(), 4u);
    vexa::dds::Time_t const t{50, 60};
    EXPECT_EQ(kept[0]->sampleInfo.sourceTimestamp, vexa::dds::TIME_INVALID);
    EXPECT_EQ(kept[1]->sampleInfo.sourceTimestamp, t);
    EXPECT_EQ(kept[2]->sampleInfo.sourceTimestamp, t);
    EXPECT_EQ(kept[3]->sampleInfo.sourceTimestamp, vexa::dds::TIME_INVALID);
}

// The key-only and the data half of one sample in one datagram make one complete change, in
// either order.
TEST(MessageReceiver, KeyAndDataHalvesMerge) {
    Bytes const keyHash(16, 0x44);
    Bytes const keyHalf = data(0x0B, USER_READER, 5, cat({param(0x70, keyHash), SENTINEL}),
                               cat({le32(0x100), le32(0x55)}));
    Bytes const dataHalf = data(0x05, USER_READER, 5, {}, PAYLOAD);
    for (bool keyFirst : {true, false}) {
        SCOPED_TRACE(keyFirst);
        Fixture f;
        f.feed(keyFirst ? cat({header(), keyHalf, dataHalf}) : cat({header(), dataHalf, keyHalf}));
        ASSERT_EQ(f.participant.kept.size(), 1u);
        CacheChange const& c = *f.participant.kept[0];
        EXPECT_EQ(c.completeness, 3);
        EXPECT_EQ(c.sampleInfo.instanceHandle, 0x55);
        ASSERT_EQ(c.sampleInfo.length, PAYLOAD.size());
        EXPECT_EQ(0, std::memcmp(c.sampleInfo.data, PAYLOAD.data(), PAYLOAD.size()));
        EXPECT_EQ(0, std::memcmp(c.sampleInfo.keyHash, keyHash.data(), 16));
        EXPECT_NE(c.message, nullptr);
    }
    // Another sequence number is another change.
    Fixture f;
    f.feed(cat({header(), keyHalf, data(0x05, USER_READER, 6, {}, PAYLOAD)}));
    EXPECT_EQ(f.participant.kept.size(), 2u);
}

TEST(MessageReceiver, StatusInfoGivesStatusFlags) {
    struct Case {
        bool present;
        uint8_t info;
        uint32_t flags;
    } const cases[] = {{false, 0, 1},   {true, 0x00, 0}, {true, 0x01, 2},
                       {true, 0x02, 4}, {true, 0x03, 6}, {true, 0xF3, 6}};
    for (Case const& c : cases) {
        SCOPED_TRACE(int(c.info));
        Fixture f;
        Bytes qos = c.present ? cat({param(0x71, Bytes{c.info, 0, 0, 0}), SENTINEL}) : Bytes{};
        f.feed(cat({header(), data(c.present ? 0x07 : 0x05, USER_READER, 1, qos, PAYLOAD)}));
        ASSERT_EQ(f.participant.kept.size(), 1u);
        EXPECT_EQ(f.participant.kept[0]->sampleInfo.statusFlags, c.flags);
    }
}

// Addressed changes go to their reader; unaddressed ones from the SPDP writer to the SPDP
// reader, from any other writer to every matched reader.
TEST(MessageReceiver, ChangesRoutedByReaderId) {
    struct Case {
        EntityId_t reader;
        EntityId_t writer;
        std::string route;
    } const cases[] = {
        {USER_READER, USER_WRITER, "reader " + std::to_string(entityIdToU32(USER_READER))},
        {_ENTITYID_UNKNOWN, _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER,
         "reader " + std::to_string(entityIdToU32(_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER))},
        {_ENTITYID_UNKNOWN, USER_WRITER, "matched"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.route);
        Fixture f;
        f.feed(cat({header(), data(0x05, c.reader, 1, {}, PAYLOAD, c.writer)}));
        ASSERT_EQ(f.participant.routes.size(), 1u);
        EXPECT_EQ(f.participant.routes[0], c.route);
        CacheChange const& ch = *f.participant.kept[0];
        EXPECT_EQ(0, std::memcmp(ch.writerGUID.guidPrefix, REMOTE, 12));
        EXPECT_EQ(ch.writerGUID.entityId, c.writer);
        EXPECT_EQ(ch.readerId, c.reader);
        EXPECT_EQ(ch.sampleInfo.sequenceNumber, (SequenceNumber_t{0, 1}));
        EXPECT_EQ(ch.payloadKind, OWNER_RECEIVED);
    }
}

// A datagram's changes reach the user inside one receive batch, settled once right after the
// last of them, also when delivering fails halfway; each datagram is its own batch.
TEST(MessageReceiver, ADatagramsChangesAreOneReceiveBatch) {
    // The user's side: what it is told, in order ("change" deferred to the batch, "alone"
    // when no batch was open, "end" for a settled batch).
    struct User : CommunicationObject {
        bool changeAvailable(Reader*, void*, SampleInfo*) override {
            log.push_back(ReceiveBatch::defer(this) ? "change" : "alone");
            return true;
        }
        void receiveBatchEnded() override { log.push_back("end"); }
        void assertLiveliness(Reader*, void*, unsigned*, unsigned) override {}
        void participantLost(unsigned*) override {}
        std::vector<std::string> log;
    };
    struct Announcing : FakeParticipant {
        CacheChange* addChange(EntityId_t& reader, CacheChange* change) override {
            if (++added == failAt) {
                delete change;  // handed over: the participant's, whatever happens to it
                throw std::runtime_error("reader failed");
            }
            user.changeAvailable(nullptr, nullptr, &change->sampleInfo);
            return FakeParticipant::addChange(reader, change);
        }
        User user;
        int added = 0;
        int failAt = 0;
    };
    using Log = std::vector<std::string>;
    struct Case {
        char const* name;
        std::vector<int> datagrams;  // changes in each
        int failAt;                  // the change whose delivery throws (0: none)
        Log expected;
    } const cases[] = {
        {"one change", {1}, 0, {"change", "end"}},
        {"three changes", {3}, 0, {"change", "change", "change", "end"}},
        {"two datagrams", {2, 1}, 0, {"change", "change", "end", "change", "end"}},
        {"delivery fails at the second", {3}, 2, {"change", "end"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Announcing participant;
        participant.failAt = c.failAt;
        FakeTransport transport;
        MessageReceiver receiver(&participant, &transport, OWN);
        uint32_t seq = 0;
        for (int n : c.datagrams) {
            Bytes datagram = header();
            for (int k = 0; k < n; ++k) {
                datagram = cat({datagram, data(0x05, USER_READER, ++seq, {}, PAYLOAD)});
            }
            receiver.parseMessage(
                new RTPSMessage(datagram.data(), static_cast<uint16_t>(datagram.size())));
        }
        EXPECT_EQ(participant.user.log, c.expected);
        EXPECT_FALSE(ReceiveBatch::open());
    }
}

// A built-in writer's payload is decoded, not referenced.
TEST(MessageReceiver, BuiltinPayloadDecoded) {
    Fixture f;
    f.feed(cat({header(), data(0x05, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER, 1, {}, PAYLOAD,
                               _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER)}));
    ASSERT_EQ(f.participant.kept.size(), 1u);
    EXPECT_EQ(f.participant.decoded, PAYLOAD);
    EXPECT_EQ(f.participant.kept[0]->message, nullptr);
}

// A user payload stays in the received datagram as long as a change refers to it.
TEST(MessageReceiver, ReferencedMessageOutlivesParsing) {
    Fixture f;
    f.feed(cat({header(), data(0x05, USER_READER, 1, {}, PAYLOAD),
                data(0x05, USER_READER, 2, {}, PAYLOAD)}));
    ASSERT_EQ(f.participant.kept.size(), 2u);
    RTPSMessage* m = f.participant.kept[0]->message;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m, f.participant.kept[1]->message);
    EXPECT_EQ(m->getReferenceCount(), 2u);
    f.participant.kept.erase(f.participant.kept.begin());
    EXPECT_EQ(m->getReferenceCount(), 1u);
    EXPECT_EQ(0, std::memcmp(f.participant.kept[0]->sampleInfo.data, PAYLOAD.data(), 8));
    // The last release frees the datagram (the sanitizer build sees a leak or a double free).
    f.participant.kept.clear();

    // Not kept: the change and the datagram go at once.
    f.participant.keep = false;
    f.feed(cat({header(), data(0x05, USER_READER, 1, {}, PAYLOAD)}));
    EXPECT_EQ(f.participant.routes.size(), 3u);
}

// Protocol submessages carry the right GUIDs: the remote side's from the datagram's prefix,
// this participant's from its own. An unaddressed HEARTBEAT is handed on as well.
TEST(MessageReceiver, ProtocolRecordsFilled) {
    Fixture f;
    f.feed(cat(
        {header(), heartbeat(_ENTITYID_UNKNOWN, 0x07),
         sub(0x06, 0x03,
             cat({id(USER_READER), id(USER_WRITER), sn(3), le32(40), le32(1), le32(0x80),
                  le32(8)})),
         sub(0x08, 0x01, cat({id(USER_READER), id(USER_WRITER), sn(2), sn(5), le32(0)})),
         sub(0x12, 0x01,
             cat({id(USER_READER), id(USER_WRITER), sn(4), le32(2), le32(3), le32(5), le32(9)}))}));
    ASSERT_EQ(f.participant.heartbeats.size(), 1u);
    HeartbeatData const& hb = f.participant.heartbeats[0];
    EXPECT_EQ(hb.readerId, _ENTITYID_UNKNOWN);
    EXPECT_EQ(0, std::memcmp(hb.writerGUID.guidPrefix, REMOTE, 12));
    EXPECT_TRUE(hb.finalFlag && hb.livelinessFlag);
    EXPECT_EQ(hb.lastSN, (SequenceNumber_t{0, 9}));

    ASSERT_EQ(f.participant.acknacks.size(), 1u);
    AckNAckData const& an = f.participant.acknacks[0];
    EXPECT_TRUE(an.finalFlag);
    EXPECT_EQ(0, std::memcmp(an.readerGUID.guidPrefix, REMOTE, 12));
    EXPECT_EQ(0, std::memcmp(an.writerGUID.guidPrefix, OWN, 12));
    EXPECT_EQ(an.writerGUID.entityId, USER_WRITER);
    EXPECT_TRUE(an.readerSNState.isSet(0) && an.readerSNState.isSet(39));
    EXPECT_EQ(an.count, 8u);

    ASSERT_EQ(f.participant.gaps.size(), 1u);
    EXPECT_EQ(0, std::memcmp(f.participant.gaps[0].writerGUID.guidPrefix, REMOTE, 12));
    EXPECT_EQ(f.participant.gaps[0].gapList.bitmapBase, (SequenceNumber_t{0, 5}));

    ASSERT_EQ(f.participant.nackfrags.size(), 1u);
    NAckFragData const& nf = f.participant.nackfrags[0];
    EXPECT_EQ(0, std::memcmp(nf.writerGUID.guidPrefix, OWN, 12));
    EXPECT_EQ(nf.fragmentNumberState.bitmapBase, 2u);
    EXPECT_TRUE(nf.fragmentNumberState.isSet(0) && nf.fragmentNumberState.isSet(2));
    EXPECT_EQ(nf.count, 9u);
}

// Datagrams queued from another thread are parsed at once, not after the idle wait; an
// exception thrown while one is parsed does not stop the next.
TEST(MessageReceiver, ParserThreadWakesAndSurvivesFailures) {
    FakeParticipant participant;
    FakeTransport transport;
    MessageReceiver receiver(&participant, &transport, OWN, 60000);
    receiver.stop();  // never started: returns at once
    ASSERT_TRUE(receiver.start());
    EXPECT_FALSE(receiver.start());
    participant.throwOnHeartbeat = true;
    Bytes const first = cat({header(), heartbeat(), data(0x05, USER_READER, 1, {}, PAYLOAD)});
    Bytes const second = cat({header(), data(0x05, USER_READER, 2, {}, PAYLOAD), heartbeat()});
    std::thread reporter([&] {
        EXPECT_TRUE(receiver.receiveMessage(first.data(), static_cast<uint16_t>(first.size())));
        EXPECT_TRUE(receiver.receiveMessage(second.data(), static_cast<uint16_t>(second.size())));
    });
    reporter.join();
    ASSERT_TRUE(participant.waitFor(2));
    receiver.stop();
    receiver.stop();
    ASSERT_EQ(participant.kept.size(), 1u);
    EXPECT_EQ(participant.kept[0]->sampleInfo.sequenceNumber.low, 2u);
    EXPECT_EQ(participant.heartbeats.size(), 1u);

    // Stopped: datagrams wait in the queue and go with the receiver.
    EXPECT_TRUE(receiver.receiveMessage(first.data(), static_cast<uint16_t>(first.size())));
    EXPECT_EQ(receiver.queuedMessages(), 1u);
}

// A datagram is parsed on the thread that hands it over when nothing is queued and nothing is
// being parsed. While one is held inside the participant, the next is queued (not parsed beside
// it) and the parser thread takes it once the first is done; one handed over after that waits
// behind it. Stopping waits for a parse in progress, and nothing is parsed afterwards.
//
// The third datagram comes from the first caller's own thread the moment its call returns: the
// parser thread has only just been woken for the second then, so a fast path that ignored the
// queue would parse the third first.
TEST(MessageReceiver, ParsedOneAtATimeInOrderOnTheCallersThread) {
    struct Gated : FakeParticipant {
        CacheChange* addChange(EntityId_t& reader, CacheChange* change) override {
            {
                std::unique_lock<std::mutex> lock(gate);
                ++inside;
                most = std::max(most, inside);
                changed.notify_all();
                changed.wait(lock,
                             [&] { return open || change->sampleInfo.sequenceNumber.low != 1; });
                --inside;
            }
            return FakeParticipant::addChange(reader, change);
        }
        bool waitInside() {
            std::unique_lock<std::mutex> lock(gate);
            return changed.wait_for(lock, std::chrono::seconds(5), [&] { return inside > 0; });
        }
        void release() {
            std::lock_guard<std::mutex> lock(gate);
            open = true;
            changed.notify_all();
        }
        std::mutex gate;
        std::condition_variable changed;
        bool open = false;
        int inside = 0;
        int most = 0;
    };
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Gated participant;
        FakeTransport transport;
        MessageReceiver receiver(&participant, &transport, OWN, 60000);
        ASSERT_TRUE(receiver.start());
        Bytes datagrams[4];
        for (uint32_t n = 1; n <= 3; ++n) {
            datagrams[n] = cat({header(), data(0x05, USER_READER, n, {}, PAYLOAD)});
        }
        auto hand = [&](uint32_t n) {
            return std::async(std::launch::async, [&, n] {
                return receiver.receiveMessage(datagrams[n].data(),
                                               static_cast<uint16_t>(datagrams[n].size()));
            });
        };
        auto handAt = [&](uint32_t n) {
            return receiver.receiveMessage(datagrams[n].data(),
                                           static_cast<uint16_t>(datagrams[n].size()));
        };
        std::future<bool> first =
            std::async(std::launch::async, [&] { return handAt(1) && handAt(3); });
        ASSERT_TRUE(participant.waitInside());
        std::future<bool> second = hand(2);
        ASSERT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready)
            << "parsed beside the held one instead of queued";
        EXPECT_EQ(receiver.queuedMessages(), 1u);

        // The first caller leaves, wakes the parser thread for the queued one and at once hands
        // over the third, which must not go around the second.
        participant.release();
        ASSERT_EQ(first.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_TRUE(first.get());
        ASSERT_TRUE(participant.waitFor(3));
        receiver.stop();
        std::vector<uint32_t> order;
        for (auto const& kept : participant.kept) {
            order.push_back(kept->sampleInfo.sequenceNumber.low);
        }
        EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3}));
        EXPECT_EQ(participant.most, 1);
    }
}

// Stopping while a datagram is being parsed on another thread waits for that parse; what comes
// afterwards is queued, never parsed.
TEST(MessageReceiver, StopWaitsForAParseOnAnotherThread) {
    struct Held : FakeParticipant {
        bool hasReader(EntityId_t const& r) override {
            std::unique_lock<std::mutex> lock(gate);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
            return FakeParticipant::hasReader(r);
        }
        std::mutex gate;
        std::condition_variable changed;
        bool entered = false;
        bool open = false;
    } participant;
    FakeTransport transport;
    MessageReceiver receiver(&participant, &transport, OWN, 60000);
    ASSERT_TRUE(receiver.start());
    Bytes const datagram = cat({header(), data(0x05, USER_READER, 1, {}, PAYLOAD)});
    std::future<bool> parsing = std::async(std::launch::async, [&] {
        return receiver.receiveMessage(datagram.data(), static_cast<uint16_t>(datagram.size()));
    });
    {
        std::unique_lock<std::mutex> lock(participant.gate);
        ASSERT_TRUE(participant.changed.wait_for(lock, std::chrono::seconds(5),
                                                 [&] { return participant.entered; }));
    }
    std::future<void> stopped = std::async(std::launch::async, [&] { receiver.stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "stopped while a datagram was being parsed";
    {
        std::lock_guard<std::mutex> lock(participant.gate);
        participant.open = true;
        participant.changed.notify_all();
    }
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(parsing.get());
    EXPECT_EQ(participant.kept.size(), 1u);
    EXPECT_TRUE(receiver.receiveMessage(datagram.data(), static_cast<uint16_t>(datagram.size())));
    EXPECT_EQ(receiver.queuedMessages(), 1u);
    EXPECT_EQ(participant.kept.size(), 1u);
}

TEST(MessageReceiver, InSocketsSharedPerLocator) {
    FakeParticipant participant;
    FakeTransport transport;
    MessageReceiver receiver(&participant, &transport, OWN);
    Locator_t group{LOCATOR_KIND_UDPv4, 7400, {}};
    strToLoc(&group, "239.255.0.1");
    Locator_t group2 = group;
    group2.port = 7401;
    RTPSInSocket* a = receiver.addReceiver(group);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(receiver.addReceiver(group2), a);
    EXPECT_EQ(a->getUseCount(), 2);
    EXPECT_EQ(transport.receiversAdded, 1);

    Locator_t uni{LOCATOR_KIND_UDPv4, 7410, {}};
    strToLoc(&uni, "127.0.0.1");
    Locator_t uni2 = uni;
    uni2.port = 7411;
    RTPSInSocket* u = receiver.addReceiver(uni);
    EXPECT_NE(receiver.addReceiver(uni2), u);
    EXPECT_EQ(receiver.inSocketCount(), 3u);

    receiver.removeReceiver(group);
    EXPECT_EQ(a->getUseCount(), 1);
    receiver.removeReceiver(group2);
    receiver.removeReceiver(uni);
    EXPECT_EQ(receiver.inSocketCount(), 1u);

    Locator_t other{LOCATOR_KIND_UDPv4, 7420, {}};
    strToLoc(&other, "127.0.0.1");
    transport.refuseReceiver = FakeTransport::Refuse::Null;
    EXPECT_EQ(receiver.addReceiver(other), nullptr);
    transport.refuseReceiver = FakeTransport::Refuse::Throw;
    try {
        receiver.addReceiver(other);
        FAIL() << "no exception";
    } catch (GENERAL_DDSI_ERROR const& e) {
        EXPECT_STREQ(e.what(), "Ошибка добавления ресивера");
    }
    EXPECT_EQ(receiver.inSocketCount(), 1u);
}

// While the parser is held the queue takes datagrams up to its bound only: the rest are
// dropped at once (the caller never waits), counted, and logged once per run of drops.
TEST(MessageReceiver, QueueIsBoundedWhileTheParserIsHeld) {
    LogCapture log;
    size_t const logged = LogCapture::count("Очередь приёма заполнена");
    FakeParticipant participant;
    FakeTransport transport;
    Bytes const datagram = cat({header(), heartbeat()});
    uint16_t const n = static_cast<uint16_t>(datagram.size());
    MessageReceiver receiver(&participant, &transport, OWN, 60000, Config::DEFAULT_MAX_SAMPLE_SIZE,
                             3 * size_t{n});
    // Not started: everything waits for the parser.
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(receiver.receiveMessage(datagram.data(), n), i < 3) << i;
    }
    EXPECT_EQ(receiver.queuedMessages(), 3u);
    EXPECT_EQ(receiver.queuedBytes(), 3 * size_t{n});
    EXPECT_EQ(receiver.droppedMessages(), 7u);
    EXPECT_EQ(LogCapture::count("Очередь приёма заполнена"), logged + 1);

    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(participant.waitFor(3));
    receiver.stop();
    EXPECT_EQ(participant.heartbeats.size(), 3u);  // the dropped ones were never parsed
    EXPECT_EQ(receiver.queuedBytes(), 0u);
    // Room again: a new run of drops is logged again.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(receiver.receiveMessage(datagram.data(), n), i < 3) << i;
    }
    EXPECT_EQ(receiver.droppedMessages(), 8u);
    EXPECT_EQ(LogCapture::count("Очередь приёма заполнена"), logged + 2);
}
