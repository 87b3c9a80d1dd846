#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "WireBytes.h"
#include "rtps/wire/KeyOnlyPayload.h"
#include "rtps/wire/SubMessage.h"
#include "rtps/wire/SubmessageDecoder.h"

using namespace RTPS;

namespace {

const EntityId_t READER = _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER;
const EntityId_t WRITER{{0x01, 0x02, 0x03}, 0x03};
const SequenceNumber_t SN{1, 0xFFFFFFFE};
const uint8_t KEY_HASH[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

SubmessageSpan spanOf(SubMessage const& m) {
    return m.span();
}

void start(SubMessage& m, SubmessageKind kind, uint8_t flags) {
    m.init(kind, TRANSPORT_PRIORITY_LOW);
    m.setFlags(flags);
    ASSERT_TRUE(m.addElement(ELEMENT_ENTITY_ID, &READER, 4));
    ASSERT_TRUE(m.addElement(ELEMENT_ENTITY_ID, &WRITER, 4));
}

void buildData(SubMessage& m, uint8_t flags, bool keyHash, uint8_t status, Bytes const& payload) {
    start(m, DATA, flags);
    ASSERT_TRUE(m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8));
    if (keyHash) {
        Parameter p{PID_KEY_HASH, 16, const_cast<uint8_t*>(KEY_HASH)};
        ASSERT_TRUE(m.addInlineQoSParameter(&p));
    }
    if (status != 0) {
        uint8_t v[4] = {status, 0, 0, 0};
        Parameter p{PID_STATUS_INFO, 4, v};
        ASSERT_TRUE(m.addInlineQoSParameter(&p));
    }
    if (!payload.empty()) {
        ASSERT_TRUE(
            m.addElement(ELEMENT_SERIALIZED_DATA, payload.data(), uint16_t(payload.size())));
    }
    m.finalize();
}

}  // namespace

TEST(SubmessageDecoder, ControlSubmessagesReadBack) {
    SubMessage m;
    uint32_t const count = 42;

    start(m, HEARTBEAT, 0x05);
    SequenceNumber_t const last = SN + 3;
    m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
    m.addElement(ELEMENT_SEQUENCE_NUMBER, &last, 8);
    m.addElement(ELEMENT_COUNT, &count, 4);
    m.finalize();
    HeartbeatFields hb{};
    ASSERT_TRUE(decodeHeartbeat(spanOf(m), hb));
    EXPECT_FALSE(hb.final);
    EXPECT_TRUE(hb.liveliness);
    EXPECT_TRUE(hb.readerId == READER);
    EXPECT_TRUE(hb.writerId == WRITER);
    EXPECT_EQ(hb.firstSN, SN);
    EXPECT_EQ(hb.lastSN, (SequenceNumber_t{2, 1}));
    EXPECT_EQ(hb.count, 42u);

    start(m, ACKNACK, 0x03);
    SequenceNumberSet set{};
    set.bitmapBase = SN;
    set.numBits = 70;
    set.set(69);
    m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &set, 0);
    m.addElement(ELEMENT_COUNT, &count, 4);
    m.finalize();
    AckNackFields an{};
    ASSERT_TRUE(decodeAckNack(spanOf(m), an));
    EXPECT_TRUE(an.final);
    EXPECT_EQ(an.readerSNState.bitmapBase, SN);
    EXPECT_EQ(an.readerSNState.numBits, 70u);
    EXPECT_TRUE(an.readerSNState.isSet(69));
    EXPECT_EQ(an.readerSNState.bitmap[2], 0x20u);
    EXPECT_EQ(an.count, 42u);

    start(m, GAP, 0x01);
    m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
    set.numBits = 0;
    m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &set, 0);
    m.finalize();
    GapFields gap{};
    ASSERT_TRUE(decodeGap(spanOf(m), gap));
    EXPECT_EQ(gap.gapStart, SN);
    EXPECT_EQ(gap.gapList.numBits, 0u);

    start(m, NACK_FRAG, 0x01);
    m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
    FragmentNumberSet frags{};
    frags.bitmapBase = 17;
    frags.numBits = 2;
    frags.set(1);
    m.addElement(ELEMENT_FRAGMENT_NUMBER_SET, &frags, 0);
    m.addElement(ELEMENT_COUNT, &count, 4);
    m.finalize();
    NackFragFields nf{};
    ASSERT_TRUE(decodeNackFrag(spanOf(m), nf));
    EXPECT_EQ(nf.writerSN, SN);
    EXPECT_EQ(nf.fragmentNumberState.bitmapBase, 17u);
    EXPECT_TRUE(nf.fragmentNumberState.isSet(1));
    EXPECT_FALSE(nf.fragmentNumberState.isSet(0));
    EXPECT_EQ(nf.count, 42u);

    m.init(INFO_TS, TRANSPORT_PRIORITY_LOW);
    uint32_t t[2] = {uint32_t(-3), 7};
    m.addElement(ELEMENT_TIMESTAMP, t, 8);
    m.finalize();
    InfoTsFields ts{};
    ASSERT_TRUE(decodeInfoTs(spanOf(m), ts));
    EXPECT_FALSE(ts.invalidate);
    EXPECT_EQ(ts.sec, -3);
    EXPECT_EQ(ts.nanosec, 7u);
}

TEST(SubmessageDecoder, DataReadsBack) {
    SubMessage m;
    Bytes const payload{0x00, 0x01, 0x00, 0x00, 0xDE, 0xAD};
    buildData(m, 0x07, true, STATUS_INFO_DISPOSED | STATUS_INFO_UNREGISTERED, payload);
    DataFields d{};
    ASSERT_TRUE(decodeData(spanOf(m), d));
    EXPECT_FALSE(d.fragment);
    EXPECT_TRUE(d.readerId == READER);
    EXPECT_TRUE(d.writerId == WRITER);
    EXPECT_EQ(d.writerSN, SN);
    ASSERT_TRUE(d.hasKeyHash);
    EXPECT_EQ(std::memcmp(d.keyHash, KEY_HASH, 16), 0);
    ASSERT_TRUE(d.hasStatusInfo);
    EXPECT_EQ(d.statusInfo, 0x03);
    EXPECT_EQ(d.inlineQosLength, 32);
    EXPECT_EQ(d.inlineQos, m.getData() + 24);
    EXPECT_EQ(Bytes(d.payload, d.payload + d.payloadLength), payload);
    EXPECT_FALSE(d.keyOnly);

    uint8_t keyOnly[KEY_ONLY_PAYLOAD_SIZE];
    writeKeyOnlyPayload(keyOnly, 0xCAFE0001);
    buildData(m, 0x09, false, 0, Bytes(keyOnly, keyOnly + sizeof keyOnly));
    ASSERT_TRUE(decodeData(spanOf(m), d));
    EXPECT_FALSE(d.hasKeyHash);
    EXPECT_EQ(d.inlineQosLength, 0);
    EXPECT_TRUE(d.keyOnly);
    EXPECT_EQ(d.instanceHandle, 0xCAFE0001u);
    EXPECT_EQ(d.payload, m.getData() + 24);

    start(m, DATA_FRAG, 0x05);
    m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
    uint32_t const first = 4;
    uint16_t const one = 1;
    uint16_t const size = 1000;
    uint32_t const sample = 3500;
    m.addElement(ELEMENT_FRAGMENT_NUMBER, &first, 4);
    m.addElement(ELEMENT_USHORT, &one, 2);
    m.addElement(ELEMENT_USHORT, &size, 2);
    m.addElement(ELEMENT_ULONG, &sample, 4);
    Bytes const fragment(500, 0x77);
    m.addElement(ELEMENT_SERIALIZED_DATA, fragment.data(), 500);
    m.finalize();
    ASSERT_TRUE(decodeData(spanOf(m), d));
    EXPECT_TRUE(d.fragment);
    EXPECT_EQ(d.fragmentStartingNum, 4u);
    EXPECT_EQ(d.fragmentsInSubmessage, 1);
    EXPECT_EQ(d.fragmentSize, 1000);
    EXPECT_EQ(d.sampleSize, 3500u);
    EXPECT_EQ(d.payload, m.getData() + 36);
    EXPECT_EQ(d.payloadLength, 500);
}

// Every length shorter than what the kind needs is refused before a field is used; lengths in
// `acceptedFrom` and above are accepted.
TEST(SubmessageDecoder, TruncatedSubmessagesAreRefused) {
    struct {
        std::string name;
        std::function<void(SubMessage&)> build;
        std::function<bool(SubmessageSpan const&)> decode;
        uint16_t acceptedFrom;
    } const cases[] = {
        {"HEARTBEAT",
         [](SubMessage& m) {
             start(m, HEARTBEAT, 1);
             uint32_t z[5] = {};
             m.addElement(ELEMENT_SERIALIZED_DATA, z, 20);
         },
         [](SubmessageSpan const& s) {
             HeartbeatFields f;
             return decodeHeartbeat(s, f);
         },
         32},
        {"ACKNACK with 64 bits",
         [](SubMessage& m) {
             start(m, ACKNACK, 1);
             SequenceNumberSet set{};
             set.numBits = 64;
             uint32_t c = 1;
             m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &set, 0);
             m.addElement(ELEMENT_COUNT, &c, 4);
         },
         [](SubmessageSpan const& s) {
             AckNackFields f;
             return decodeAckNack(s, f);
         },
         36},
        {"GAP with 33 bits",
         [](SubMessage& m) {
             start(m, GAP, 1);
             m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
             SequenceNumberSet set{};
             set.numBits = 33;
             m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &set, 0);
         },
         [](SubmessageSpan const& s) {
             GapFields f;
             return decodeGap(s, f);
         },
         40},
        {"NACK_FRAG with 1 bit",
         [](SubMessage& m) {
             start(m, NACK_FRAG, 1);
             m.addElement(ELEMENT_SEQUENCE_NUMBER, &SN, 8);
             FragmentNumberSet set{};
             set.numBits = 1;
             uint32_t c = 1;
             m.addElement(ELEMENT_FRAGMENT_NUMBER_SET, &set, 0);
             m.addElement(ELEMENT_COUNT, &c, 4);
         },
         [](SubmessageSpan const& s) {
             NackFragFields f;
             return decodeNackFrag(s, f);
         },
         36},
        {"INFO_TS",
         [](SubMessage& m) {
             m.init(INFO_TS, TRANSPORT_PRIORITY_LOW);
             uint32_t t[2] = {1, 2};
             m.addElement(ELEMENT_TIMESTAMP, t, 8);
         },
         [](SubmessageSpan const& s) {
             InfoTsFields f;
             return decodeInfoTs(s, f);
         },
         12},
        {"INFO_TS invalidated needs no time",
         [](SubMessage& m) {
             m.init(INFO_TS, TRANSPORT_PRIORITY_LOW);
             m.setFlags(0x03);
         },
         [](SubmessageSpan const& s) {
             InfoTsFields f;
             return decodeInfoTs(s, f) && f.invalidate && f.sec == -1;
         },
         4},
        {"DATA with key hash: payload may be cut, inline QoS not",
         [](SubMessage& m) { buildData(m, 0x07, true, 0, Bytes(10, 1)); },
         [](SubmessageSpan const& s) {
             DataFields f;
             return decodeData(s, f) && f.hasKeyHash;
         },
         48},
        {"DATA key only needs its 8 payload bytes",
         [](SubMessage& m) { buildData(m, 0x09, false, 0, Bytes(8, 0)); },
         [](SubmessageSpan const& s) {
             DataFields f;
             return decodeData(s, f);
         },
         32},
        {"DATA_FRAG",
         [](SubMessage& m) {
             start(m, DATA_FRAG, 5);
             m.addElement(ELEMENT_SERIALIZED_DATA, "abc", 3);
         },
         [](SubmessageSpan const& s) {
             DataFields f;
             return decodeData(s, f);
         },
         36},
    };
    SubMessage m;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        c.build(m);
        m.finalize();
        // The bytes are copied so that ASan sees any read past the given length.
        for (uint16_t len = 0; len <= m.getLength(); ++len) {
            Bytes copy(m.getData(), m.getData() + len);
            SubmessageSpan s{m.getKind(), m.getFlags(), copy.data(), len, 0};
            EXPECT_EQ(c.decode(s), len >= c.acceptedFrom) << "length " << len;
        }
    }
}

TEST(SubmessageDecoder, EachDecoderTakesOnlyItsKind) {
    SubMessage m;
    start(m, HEARTBEAT, 1);
    uint32_t z[5] = {};
    m.addElement(ELEMENT_SERIALIZED_DATA, z, 20);
    SubmessageSpan s = spanOf(m);
    HeartbeatFields hb;
    GapFields gap;
    DataFields data;
    EXPECT_TRUE(decodeHeartbeat(s, hb));
    EXPECT_FALSE(decodeGap(s, gap));
    EXPECT_FALSE(decodeData(s, data));
}

TEST(SubmessageDecoder, MalformedFieldsAreRefused) {
    SubMessage m;
    struct {
        std::string name;
        std::function<Bytes()> bytes;
        bool accepted;
        bool keyHash;
    } const cases[] = {
        {"ACKNACK with 257 bits",
         [&] {
             start(m, ACKNACK, 1);
             Bytes b(m.getData(), m.getData() + m.getLength());
             return cat({b, repeat(0, 8), le32(257), repeat(0, 40)});
         },
         false, false},
        {"DATA whose octetsToInlineQos hides the sequence number",
         [&] {
             buildData(m, 0x05, false, 0, Bytes(4, 0));
             Bytes b(m.getData(), m.getData() + m.getLength());
             b[6] = 12;
             return b;
         },
         false, false},
        {"DATA with 4 unknown bytes before its inline QoS",
         [&] {
             buildData(m, 0x07, true, 0, {});
             Bytes b(m.getData(), m.getData() + 24);
             b[6] = 20;
             return cat({b, repeat(0xEE, 4), Bytes(m.getData() + 24, m.getData() + m.getLength())});
         },
         true, true},
        {"inline QoS flag without a sentinel",
         [&] {
             buildData(m, 0x07, false, 0, {});
             Bytes b(m.getData(), m.getData() + m.getLength());
             return cat({b, {0x70, 0x00, 0x04, 0x00, 1, 2, 3, 4}});
         },
         false, false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = c.bytes();
        SubmessageSpan s{b[0], b[1], b.data(), uint16_t(b.size()), 0};
        bool accepted;
        DataFields d{};
        if (b[0] == ACKNACK) {
            AckNackFields f;
            accepted = decodeAckNack(s, f);
        } else {
            accepted = decodeData(s, d);
        }
        EXPECT_EQ(accepted, c.accepted);
        if (accepted) {
            EXPECT_EQ(d.hasKeyHash, c.keyHash);
            EXPECT_EQ(d.writerSN, SN);
        }
    }
}

// The key hash and the status info are the two inline QoS values the engine reads: a key hash
// of any other length than 16 or a status info shorter than 4 bytes drops the DATA, for every
// caller alike. Other parameters may have any length.
TEST(SubmessageDecoder, InlineQosValuesOfTheWrongLengthDropTheData) {
    Bytes const key16(KEY_HASH, KEY_HASH + 16);
    struct {
        char const* name;
        Bytes qos;  // parameters before the sentinel
        bool accepted;
        bool keyHash;
        bool statusInfo;
    } const cases[] = {
        {"key hash of 16", cat({{0x70, 0x00, 16, 0x00}, key16}), true, true, false},
        {"key hash of 12", cat({{0x70, 0x00, 12, 0x00}, repeat(1, 12)}), false, false, false},
        {"key hash of 20", cat({{0x70, 0x00, 20, 0x00}, repeat(1, 20)}), false, false, false},
        {"key hash of 0", {0x70, 0x00, 0x00, 0x00}, false, false, false},
        {"status info of 4", {0x71, 0x00, 4, 0x00, 3, 0, 0, 0}, true, false, true},
        {"status info of 8", cat({{0x71, 0x00, 8, 0x00}, repeat(3, 8)}), true, false, true},
        {"status info of 2", {0x71, 0x00, 2, 0x00, 3, 0}, false, false, false},
        {"status info of 0", {0x71, 0x00, 0x00, 0x00}, false, false, false},
        {"a good key hash, then a short status info",
         cat({{0x70, 0x00, 16, 0x00}, key16, {0x71, 0x00, 2, 0x00, 3, 0}}), false, false, false},
        {"another parameter of 2", {0x05, 0x00, 2, 0x00, 9, 9}, true, false, false},
    };
    SubMessage m;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        buildData(m, 0x07, false, 0, {});
        Bytes b = cat({Bytes(m.getData(), m.getData() + m.getLength()),
                       c.qos,
                       {0x01, 0x00, 0x00, 0x00},
                       {0x00, 0x01, 0x00, 0x00}});
        SubmessageSpan s{b[0], b[1], b.data(), uint16_t(b.size()), 0};
        DataFields d{};
        ASSERT_EQ(decodeData(s, d), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(d.hasKeyHash, c.keyHash);
            EXPECT_EQ(d.hasStatusInfo, c.statusInfo);
            EXPECT_EQ(d.payloadLength, 4);
        }
    }
}
