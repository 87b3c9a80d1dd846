#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DiscoveryRecordSamples.h"
#include "WireBytes.h"
#include "rtps/discovery/RecordDecoders.h"
#include "rtps/discovery/RecordEncoders.h"

using namespace RTPS;
using namespace discovery_samples;

namespace {

Bytes packed(SPDPdiscoveredParticipantData const& r) {
    Bytes out;
    EXPECT_TRUE(packPart(r, out));
    return out;
}
Bytes packed(DiscoveredWriterData const& r) {
    Bytes out;
    EXPECT_TRUE(packPub(r, out));
    return out;
}
Bytes packed(DiscoveredReaderData const& r) {
    Bytes out;
    EXPECT_TRUE(packSub(r, out));
    return out;
}
Bytes packed(DiscoveredTopicData const& r) {
    Bytes out;
    EXPECT_TRUE(packTopic(r, out));
    return out;
}
Bytes packed(ParticipantMessageData const& r) {
    Bytes out;
    EXPECT_TRUE(packMsg(r, out));
    return out;
}

Bytes str(std::string const& s) {
    return cat({le32(uint32_t(s.size())), Bytes(s.begin(), s.end())});
}
Bytes dur(int32_t s, uint32_t ns) {
    return cat({le32(uint32_t(s)), le32(ns)});
}
Bytes loc(Locator_t const& l) {
    return cat({le32(uint32_t(l.kind)), le32(l.port), Bytes(l.address, l.address + 16)});
}
Bytes guidBytes(GUID_t const& g) {
    Bytes b(g.guidPrefix, g.guidPrefix + 12);
    b.insert(b.end(), {g.entityId.entityKey[0], g.entityId.entityKey[1], g.entityId.entityKey[2],
                       g.entityId.entityKind});
    return b;
}
Bytes keyBytes(vexa::dds::BuiltinTopicKey_t const& k) {
    return cat({le32(k.value[0]), le32(k.value[1]), le32(k.value[2])});
}

}  // namespace

TEST(DiscoveryRecords, ParticipantLayoutIsByteExact) {
    SPDPdiscoveredParticipantData p = participantSample();
    p.participant.user_data.value.clear();
    Bytes const expected = cat({
        {2, 1},
        Bytes(p.guidPrefix, p.guidPrefix + 12),
        {0xAA, 0xAB},
        {1},
        le32(0x3C3F),
        le32(1),
        loc(p.metatrafficUnicastLocator),
        le32(1),
        loc(p.metatrafficMulticastLocator),
        le32(1),
        loc(p.defaultMulticastLocator),
        le32(1),
        loc(p.defaultUnicastLocator),
        le32(uint32_t(-7)),
        dur(45, 123),
        keyBytes(p.participant.key),
        le32(0),
    });
    ASSERT_EQ(expected.size(), 161u);
    EXPECT_EQ(packed(p), expected);
    EXPECT_EQ(packedSize(p), 161u);

    p.participant.user_data.value = {0x61, 0x00, 0xFF};
    Bytes const withData = packed(p);
    ASSERT_EQ(withData.size(), 164u);
    EXPECT_EQ(Bytes(withData.begin() + 157, withData.end()), cat({le32(3), {0x61, 0x00, 0xFF}}));
}

TEST(DiscoveryRecords, PublicationLayoutIsByteExact) {
    DiscoveredWriterData w = writerSample();
    auto const& p = w.publicationData;
    Bytes const qos = cat({
        le32(3),                                                     // durability
        dur(1, 2), le32(1), le32(11), le32(12), le32(13), le32(14),  // durability service
        dur(3, 4),                                                   // deadline
        dur(5, 6),                                                   // latency budget
        le32(1), dur(7, 8),                                          // liveliness
        le32(1), dur(9, 10),                                         // reliability
        dur(15, 16),                                                 // lifespan
    });
    ASSERT_EQ(qos.size(), 80u);
    Bytes const expected = cat({
        keyBytes(p.key),
        keyBytes(p.participant_key),
        str("ab"),
        str("Type"),
        qos,
        cat({le32(2), {0xE1, 0xE2}}),  // user data
        le32(1),
        le32(uint32_t(-5)),
        le32(1),  // ownership, strength, destination order
        le32(2),
        {1},
        {0},                                  // presentation
        cat({le32(2), str("A*"), str("B")}),  // partition
        cat({le32(1), {0xD1}}),               // topic data
        le32(0),                              // group data
        guidBytes(w.writerProxy.remoteWriterGuid),
        cat({le32(1), loc(w.writerProxy.unicastLocatorList[0])}),
        cat({le32(2), loc(w.writerProxy.multicastLocatorList[0]),
             loc(w.writerProxy.multicastLocatorList[1])}),
    });
    EXPECT_EQ(packed(w), expected);
}

TEST(DiscoveryRecords, SubscriptionLayoutIsByteExact) {
    DiscoveredReaderData r = readerSample();
    auto const& s = r.subscriptionData;
    Bytes const qos = cat({
        le32(1),              // durability
        dur(3, 4),            // deadline
        dur(5, 6),            // latency budget
        le32(2), dur(7, 8),   // liveliness
        le32(1), dur(9, 10),  // reliability
        le32(1),              // ownership
        le32(1),              // destination order
    });
    ASSERT_EQ(qos.size(), 52u);
    Bytes filter(1024, 0);
    filter[0] = 'x';
    filter[1023] = 'z';
    Bytes const expected = cat({
        keyBytes(s.key),
        keyBytes(s.participant_key),
        str("ab"),
        str(""),
        qos,
        le32(0),      // user data
        dur(0, 500),  // time-based filter
        le32(1),
        {0},
        {1},                         // presentation
        cat({le32(1), str("ABC")}),  // partition
        le32(0),
        cat({le32(1), {0xC1}}),  // topic data, group data
        guidBytes(r.readerProxy.remoteReaderGuid),
        {1},  // expects inline QoS
        cat({le32(1), loc(r.readerProxy.unicastLocatorList[0])}),
        le32(0),
        filter,
    });
    EXPECT_EQ(packed(r), expected);
}

TEST(DiscoveryRecords, TopicLayoutIsByteExactWithUnterminatedStrings) {
    DiscoveredTopicData t = topicSample();
    Bytes const qos = cat({
        le32(2),  // durability
        dur(1, 2),
        le32(1),
        le32(11),
        le32(12),
        le32(13),
        le32(14),  // durability service
        dur(3, 4),
        dur(5, 6),  // deadline, latency
        le32(1),
        dur(7, 8),  // liveliness
        le32(1),
        dur(9, 10),          // reliability
        le32(uint32_t(-3)),  // transport priority
        dur(15, 16),         // lifespan
        le32(1),             // destination order
        le32(1),
        le32(20),  // history
        le32(21),
        le32(22),
        le32(23),  // resource limits
        le32(1),   // ownership
    });
    ASSERT_EQ(qos.size(), 112u);
    Bytes const expected = cat({
        keyBytes(t.topicData.key),
        {0x02, 0x00, 0x00, 0x00, 0x61, 0x62},  // "ab", no terminating zero
        str("T"),
        qos,
        cat({le32(2), {0x07, 0x08}}),
    });
    EXPECT_EQ(packed(t), expected);
}

TEST(DiscoveryRecords, MessageLayoutIsByteExact) {
    ParticipantMessageData m = messageSample();
    m.data.clear();
    Bytes const expected = cat({Bytes(m.guidPrefix, m.guidPrefix + 12), {0, 0, 0, 2}, le32(0)});
    ASSERT_EQ(expected.size(), 20u);
    EXPECT_EQ(packed(m), expected);
}

TEST(DiscoveryRecords, EveryRecordSurvivesARoundTrip) {
    {
        SPDPdiscoveredParticipantData const p = participantSample();
        Bytes const b = packed(p);
        auto d = extractPart(b.data(), b.size());
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(sameParticipant(*d, p));
    }
    {
        DiscoveredWriterData const w = writerSample();
        Bytes const b = packed(w);
        auto d = extractPub(b.data(), b.size());
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(sameWriter(*d, w));
    }
    {
        DiscoveredReaderData const r = readerSample();
        Bytes const b = packed(r);
        auto d = extractSub(b.data(), b.size());
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(sameReader(*d, r));
    }
    {
        DiscoveredTopicData const t = topicSample();
        Bytes const b = packed(t);
        auto d = extractTopic(b.data(), b.size());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->topicData, t.topicData);
    }
    {
        ParticipantMessageData const m = messageSample();
        Bytes const b = packed(m);
        auto d = extractMsg(b.data(), b.size());
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(sameMessage(*d, m));
    }
}

TEST(DiscoveryRecords, ParticipantLocatorListKeepsItsLastEntry) {
    SPDPdiscoveredParticipantData const p = participantSample();
    Bytes b = packed(p);
    Locator_t second = p.metatrafficUnicastLocator;
    second.port = 9999;
    // Metatraffic unicast list (offset 21): two entries instead of one.
    Bytes const two = cat({le32(2), loc(p.metatrafficUnicastLocator), loc(second)});
    b.erase(b.begin() + 21, b.begin() + 49);
    b.insert(b.begin() + 21, two.begin(), two.end());
    auto d = extractPart(b.data(), b.size());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->metatrafficUnicastLocator, second);
    EXPECT_EQ(d->metatrafficMulticastLocator, p.metatrafficMulticastLocator);

    // An empty list decodes to the invalid locator.
    Bytes c = packed(p);
    c.erase(c.begin() + 21, c.begin() + 49);
    Bytes const none = le32(0);
    c.insert(c.begin() + 21, none.begin(), none.end());
    d = extractPart(c.data(), c.size());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->metatrafficUnicastLocator, _LOCATOR_INVALID);
    EXPECT_EQ(d->defaultUnicastLocator, p.defaultUnicastLocator);
}

TEST(DiscoveryRecords, BooleansAreTrueForAnyNonZeroByte) {
    SPDPdiscoveredParticipantData p = participantSample();
    p.expectsInlineQos = false;
    Bytes b = packed(p);
    b[16] = 0x80;
    auto d = extractPart(b.data(), b.size());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->expectsInlineQos);
}

// Every decoder on every cut of its record: exact-size heap copies, so a read one byte too far
// is an AddressSanitizer report, not a quiet pass.
TEST(DiscoveryRecords, TruncatedPayloadsDecodeToNull) {
    struct Case {
        char const* name;
        Bytes whole;
        std::function<bool(Bytes const&)> decodes;
    };
    Case const cases[] = {
        {"participant", packed(participantSample()),
         [](Bytes const& b) { return extractPart(b.data(), b.size()) != nullptr; }},
        {"publication", packed(writerSample()),
         [](Bytes const& b) { return extractPub(b.data(), b.size()) != nullptr; }},
        {"subscription", packed(readerSample()),
         [](Bytes const& b) { return extractSub(b.data(), b.size()) != nullptr; }},
        {"topic", packed(topicSample()),
         [](Bytes const& b) { return extractTopic(b.data(), b.size()) != nullptr; }},
        {"message", packed(messageSample()),
         [](Bytes const& b) { return extractMsg(b.data(), b.size()) != nullptr; }},
    };
    for (Case const& c : cases) {
        EXPECT_TRUE(c.decodes(c.whole)) << c.name;
        for (size_t n = 0; n < c.whole.size(); ++n) {
            Bytes const cut(c.whole.begin(), c.whole.begin() + n);
            EXPECT_FALSE(c.decodes(cut)) << c.name << " cut to " << n;
        }
    }
    EXPECT_EQ(extractPart(nullptr, 161), nullptr);
}

// Lengths and counts that promise more than the payload holds, up to 2^32 - 1 elements: each
// refused without reading past the end or allocating for the promise.
TEST(DiscoveryRecords, LyingLengthsAndCountsDecodeToNull) {
    DiscoveredWriterData const w = writerSample();
    Bytes const pub = packed(w);
    size_t const topicName = 24;
    size_t const userData = topicName + 6 + 8 + 80;
    size_t const partition = userData + 6 + 12 + 4 + 2;
    size_t const unicast = pub.size() - 4 - 48 - 4 - 24;
    Bytes const part = packed(participantSample());
    Bytes const msg = packed(messageSample());
    Bytes const sub = packed(readerSample());
    size_t const subUnicast = sub.size() - 1024 - 4 - 4 - 24;

    struct Case {
        char const* name;
        Bytes const* base;
        size_t offset;
        uint32_t value;
        std::function<bool(Bytes const&)> decodes;
    };
    auto pubOk = [](Bytes const& b) { return extractPub(b.data(), b.size()) != nullptr; };
    auto partOk = [](Bytes const& b) { return extractPart(b.data(), b.size()) != nullptr; };
    auto msgOk = [](Bytes const& b) { return extractMsg(b.data(), b.size()) != nullptr; };
    auto subOk = [](Bytes const& b) { return extractSub(b.data(), b.size()) != nullptr; };
    Case const cases[] = {
        {"topic name length 2^32-1", &pub, topicName, 0xFFFFFFFF, pubOk},
        {"topic name one byte too long", &pub, topicName, uint32_t(pub.size()), pubOk},
        {"user data length 2^31", &pub, userData, 0x80000000, pubOk},
        {"partition count 2^32-1", &pub, partition, 0xFFFFFFFF, pubOk},
        {"partition count beyond the bytes", &pub, partition, 1000, pubOk},
        {"unicast locator count 2^32-1", &pub, unicast, 0xFFFFFFFF, pubOk},
        {"unicast locator count one too many", &pub, unicast, 4, pubOk},
        {"participant locator count 2^32-1", &part, 21, 0xFFFFFFFF, partOk},
        {"participant locator count 2", &part, 21, 2, partOk},
        {"participant user data 2^32-1", &part, 157, 0xFFFFFFFF, partOk},
        {"message data one byte too long", &msg, 16, uint32_t(msg.size() - 20 + 1), msgOk},
        {"subscription locator list eats the filter", &sub, subUnicast, 43, subOk},
    };
    for (Case const& c : cases) {
        ASSERT_TRUE(c.decodes(*c.base)) << c.name;
        Bytes b = *c.base;
        ASSERT_LE(c.offset + 4, b.size()) << c.name;
        Bytes const v = le32(c.value);
        std::copy(v.begin(), v.end(), b.begin() + long(c.offset));
        EXPECT_FALSE(c.decodes(b)) << c.name;
    }
}

TEST(DiscoveryRecords, BytesAfterTheRecordAreIgnored) {
    Bytes b = packed(messageSample());
    b.push_back(0xEE);
    auto d = extractMsg(b.data(), b.size());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(sameMessage(*d, messageSample()));
}

// A record must go out as one DATA: packing refuses it beyond the limit, exactly there.
TEST(DiscoveryRecords, OversizedRecordsAreRefused) {
    SPDPdiscoveredParticipantData p = participantSample();
    p.participant.user_data.value.assign(MAX_PACKED_RECORD_SIZE - 161, 0x5A);
    Bytes out;
    EXPECT_TRUE(packPart(p, out));
    EXPECT_EQ(out.size(), MAX_PACKED_RECORD_SIZE);

    p.participant.user_data.value.push_back(1);
    EXPECT_EQ(packedSize(p), MAX_PACKED_RECORD_SIZE + 1);
    EXPECT_FALSE(packPart(p, out));
    EXPECT_TRUE(out.empty());

    DiscoveredWriterData w = writerSample();
    w.publicationData.partition.name.assign(20000, "abcd");
    EXPECT_FALSE(fitsOneData(packedSize(w)));
    EXPECT_FALSE(packPub(w, out));

    DiscoveredReaderData r = readerSample();
    r.readerProxy.multicastLocatorList.assign(3000, r.readerProxy.unicastLocatorList[0]);
    EXPECT_FALSE(packSub(r, out));
}
