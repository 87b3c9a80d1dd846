#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "WireBytes.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/KeyOnlyPayload.h"
#include "rtps/wire/SequenceNumberSet.h"
#include "rtps/wire/SubMessage.h"

using namespace RTPS;

namespace {

const EntityId_t READER = _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER;  // 00 00 03 C7
const EntityId_t WRITER{{0x12, 0x34, 0x56}, 0x02};
const Bytes READER_BYTES{0x00, 0x00, 0x03, 0xC7};
const Bytes WRITER_BYTES{0x12, 0x34, 0x56, 0x02};

Bytes sn(int32_t high, uint32_t low) {
    return cat({le32(uint32_t(high)), le32(low)});
}

SequenceNumberSet snSet(SequenceNumber_t base, uint32_t bits, std::initializer_list<uint32_t> on) {
    SequenceNumberSet s{};
    s.bitmapBase = base;
    s.numBits = bits;
    for (uint32_t i : on) {
        s.set(i);
    }
    return s;
}

void ids(SubMessage& m) {
    ASSERT_TRUE(m.addElement(ELEMENT_ENTITY_ID, &READER, 4));
    ASSERT_TRUE(m.addElement(ELEMENT_ENTITY_ID, &WRITER, 4));
}

void add(SubMessage& m, SubmessageElementKind kind, void const* v, uint16_t len = 0) {
    ASSERT_TRUE(m.addElement(kind, v, len)) << kind;
}

void addParam(SubMessage& m, uint16_t id, Bytes const& value) {
    Parameter p{id, uint16_t(value.size()), const_cast<uint8_t*>(value.data())};
    ASSERT_TRUE(m.addInlineQoSParameter(&p));
}

const Bytes KEY_HASH{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

struct LayoutCase {
    std::string name;
    SubmessageKind kind;
    std::function<void(SubMessage&)> build;
    Bytes expected;
};

std::vector<LayoutCase> layouts() {
    SequenceNumber_t const first{0, 1};
    SequenceNumber_t const last{0, 5};
    SequenceNumber_t const big{2, 0x80000001};
    uint32_t const count = 7;
    return {
        {"HEARTBEAT final+liveliness", HEARTBEAT,
         [=](SubMessage& m) {
             m.setFlags(0x07);
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &first);
             add(m, ELEMENT_SEQUENCE_NUMBER, &last);
             add(m, ELEMENT_COUNT, &count);
         },
         cat({{0x07, 0x07, 28, 0}, READER_BYTES, WRITER_BYTES, sn(0, 1), sn(0, 5), le32(7)})},
        {"ACKNACK with 256 bits", ACKNACK,
         [=](SubMessage& m) {
             m.setFlags(0x03);
             ids(m);
             SequenceNumberSet s = snSet(big, 256, {0, 31, 32, 255});
             add(m, ELEMENT_SEQUENCE_NUMBER_SET, &s);
             add(m, ELEMENT_COUNT, &count);
         },
         cat({{0x06, 0x03, 56, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(2, 0x80000001),
              le32(256),
              le32(0x80000001),
              le32(1),
              repeat(0, 20),
              le32(0x80000000),
              le32(7)})},
        {"GAP with an empty set", GAP,
         [=](SubMessage& m) {
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &first);
             SequenceNumberSet s = snSet(last, 0, {});
             add(m, ELEMENT_SEQUENCE_NUMBER_SET, &s);
         },
         cat({{0x08, 0x01, 28, 0}, READER_BYTES, WRITER_BYTES, sn(0, 1), sn(0, 5), le32(0)})},
        {"GAP with 33 bits", GAP,
         [=](SubMessage& m) {
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &first);
             SequenceNumberSet s = snSet(last, 33, {1, 32});
             add(m, ELEMENT_SEQUENCE_NUMBER_SET, &s);
         },
         cat({{0x08, 0x01, 36, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(0, 1),
              sn(0, 5),
              le32(33),
              le32(2),
              le32(1)})},
        {"INFO_TS", INFO_TS,
         [](SubMessage& m) {
             uint32_t t[2] = {0x5F000001, 500000000};
             add(m, ELEMENT_TIMESTAMP, t);
         },
         cat({{0x09, 0x01, 8, 0}, le32(0x5F000001), le32(500000000)})},
        {"INFO_TS invalidated", INFO_TS,
         [](SubMessage& m) {
             m.setFlags(0x03);
             uint32_t t[2] = {0xFFFFFFFF, 0xFFFFFFFF};
             add(m, ELEMENT_TIMESTAMP, t);
         },
         cat({{0x09, 0x03, 8, 0}, repeat(0xFF, 8)})},
        {"NACK_FRAG", NACK_FRAG,
         [=](SubMessage& m) {
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &big);
             FragmentNumberSet f{};
             f.bitmapBase = 3;
             f.numBits = 5;
             f.set(4);
             add(m, ELEMENT_FRAGMENT_NUMBER_SET, &f);
             add(m, ELEMENT_COUNT, &count);
         },
         cat({{0x12, 0x01, 32, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(2, 0x80000001),
              le32(3),
              le32(5),
              le32(0x10),
              le32(7)})},
        {"DATA without inline QoS", DATA,
         [=](SubMessage& m) {
             m.setFlags(0x05);
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &first);
             uint8_t payload[] = {0x00, 0x01, 0x00, 0x00, 0xAB};
             add(m, ELEMENT_SERIALIZED_DATA, payload, 5);
         },
         cat({{0x15, 0x05, 25, 0, 0, 0, 16, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(0, 1),
              {0x00, 0x01, 0x00, 0x00, 0xAB}})},
        {"DATA with key hash", DATA,
         [=](SubMessage& m) {
             m.setFlags(0x07);
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &first);
             addParam(m, 0x0070, KEY_HASH);
             uint8_t payload[] = {0x00, 0x01, 0x00, 0x00};
             add(m, ELEMENT_SERIALIZED_DATA, payload, 4);
         },
         cat({{0x15, 0x07, 48, 0, 0, 0, 16, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(0, 1),
              {0x70, 0x00, 16, 0x00},
              KEY_HASH,
              {0x01, 0x00, 0x00, 0x00},
              {0x00, 0x01, 0x00, 0x00}})},
        {"DATA key only with key hash and status", DATA,
         [=](SubMessage& m) {
             m.setFlags(0x0B);
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &last);
             addParam(m, 0x0070, KEY_HASH);
             addParam(m, 0x0071, {0x03, 0, 0, 0});
             uint8_t payload[KEY_ONLY_PAYLOAD_SIZE];
             writeKeyOnlyPayload(payload, 0x01020304);
             add(m, ELEMENT_SERIALIZED_DATA, payload, KEY_ONLY_PAYLOAD_SIZE);
         },
         cat({{0x15, 0x0B, 60, 0, 0, 0, 16, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(0, 5),
              {0x70, 0x00, 16, 0x00},
              KEY_HASH,
              {0x71, 0x00, 0x04, 0x00, 0x03, 0, 0, 0},
              {0x01, 0x00, 0x00, 0x00},
              {0x00, 0x01, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01}})},
        {"DATA_FRAG first fragment with inline QoS", DATA_FRAG,
         [=](SubMessage& m) {
             m.setFlags(0x07);
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &big);
             uint32_t start = 1;
             uint16_t inSub = 1;
             uint16_t fragSize = 3;
             uint32_t sampleSize = 7;
             add(m, ELEMENT_FRAGMENT_NUMBER, &start);
             add(m, ELEMENT_USHORT, &inSub);
             add(m, ELEMENT_USHORT, &fragSize);
             add(m, ELEMENT_ULONG, &sampleSize);
             addParam(m, 0x0071, {0x02, 0, 0, 0});
             uint8_t bytes[] = {0xA, 0xB, 0xC};
             add(m, ELEMENT_SERIALIZED_DATA, bytes, 3);
         },
         cat({{0x16, 0x07, 47, 0, 0, 0, 28, 0},
              READER_BYTES,
              WRITER_BYTES,
              sn(2, 0x80000001),
              le32(1),
              le16(1),
              le16(3),
              le32(7),
              {0x71, 0x00, 0x04, 0x00, 0x02, 0, 0, 0},
              {0x01, 0x00, 0x00, 0x00},
              {0xA, 0xB, 0xC}})},
    };
}

Bytes bytesOf(SubMessage const& m) {
    return Bytes(m.getData(), m.getData() + m.getLength());
}

}  // namespace

TEST(SubMessage, ExactBytesOnTheWire) {
    SubMessage m;  // one builder reused for every case, as the pool does
    for (auto const& c : layouts()) {
        SCOPED_TRACE(c.name);
        m.init(c.kind, TRANSPORT_PRIORITY_HIGH);
        c.build(m);
        m.finalize();
        EXPECT_EQ(bytesOf(m), c.expected);
        EXPECT_LE(m.getLength(), m.getMaxLength());
        EXPECT_EQ(m.getPriority(), TRANSPORT_PRIORITY_HIGH);
    }
}

TEST(SubMessage, LargestLengthsPerKind) {
    struct {
        SubmessageKind kind;
        uint16_t header;
        uint16_t largest;
    } const cases[] = {{ACKNACK, 4, 60},      {HEARTBEAT, 4, 32}, {GAP, 4, 64},
                       {INFO_TS, 4, 12},      {NACK_FRAG, 4, 64}, {DATA, 24, 65487},
                       {DATA_FRAG, 36, 65487}};
    SubMessage m;
    for (auto const& c : cases) {
        m.init(c.kind, TRANSPORT_PRIORITY_LOW);
        EXPECT_EQ(m.getLength(), c.header) << int(c.kind);
        EXPECT_EQ(m.getHeaderLength(), c.header) << int(c.kind);
        EXPECT_EQ(m.getMaxLength(), c.largest) << int(c.kind);
        EXPECT_EQ(m.getFlags(), FLAG_ENDIANNESS);
        EXPECT_FALSE(m.hasTimestamp());
        EXPECT_EQ(m.getTimestampSec(), -1);
        EXPECT_EQ(m.getTimestampNanosec(), 0xFFFFFFFFu);
    }
    // A DATA fills exactly one empty datagram.
    m.init(DATA, TRANSPORT_PRIORITY_LOW);
    Bytes payload(65487 - 24, 0x5A);
    EXPECT_FALSE(
        m.addElement(ELEMENT_SERIALIZED_DATA, payload.data(), uint16_t(payload.size() + 1)));
    EXPECT_TRUE(m.addElement(ELEMENT_SERIALIZED_DATA, payload.data(), uint16_t(payload.size())));
    EXPECT_EQ(m.getLength(), 65487);
}

TEST(SubMessage, RefusalsLeaveTheSubmessageUnchanged) {
    uint32_t const u = 0xDDCCBBAA;
    SequenceNumberSet tooBig{};
    tooBig.numBits = 257;
    FragmentNumberSet tooBigFrag{};
    tooBigFrag.numBits = 0xFFFFFFFF;
    SequenceNumberSet full = snSet({0, 1}, 256, {});
    Bytes const kh = KEY_HASH;
    Parameter keyHash{0x70, 16, const_cast<uint8_t*>(kh.data())};
    Parameter huge{0x70, 0xFFFF, const_cast<uint8_t*>(kh.data())};
    struct {
        char const* name;
        SubmessageKind kind;
        std::function<void(SubMessage&)> prepare;
        std::function<bool(SubMessage&)> refused;
    } const cases[] = {
        {"refused element kinds", HEARTBEAT, [](SubMessage&) {},
         [&](SubMessage& m) {
             bool any = false;
             for (unsigned k : {2u, 3u, 4u, 5u, 11u, 12u, 14u, 17u, 255u}) {
                 any = any || m.addElement(SubmessageElementKind(k), &u, 4);
             }
             return any;
         }},
        {"null value", HEARTBEAT, [](SubMessage&) {},
         [](SubMessage& m) { return m.addElement(ELEMENT_COUNT, nullptr, 4); }},
        {"257-bit set", ACKNACK, [](SubMessage&) {},
         [&](SubMessage& m) { return m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &tooBig, 0); }},
        {"huge fragment set", NACK_FRAG, [](SubMessage&) {},
         [&](SubMessage& m) { return m.addElement(ELEMENT_FRAGMENT_NUMBER_SET, &tooBigFrag, 0); }},
        {"HEARTBEAT past 32 bytes", HEARTBEAT,
         [&](SubMessage& m) {
             SequenceNumber_t s{0, 1};
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &s);
             add(m, ELEMENT_SEQUENCE_NUMBER, &s);
             add(m, ELEMENT_COUNT, &u);
         },
         [&](SubMessage& m) { return m.addElement(ELEMENT_ULONG, &u, 4); }},
        {"set that does not fit", ACKNACK,
         [&](SubMessage& m) {
             ids(m);
             add(m, ELEMENT_COUNT, &u);
             add(m, ELEMENT_COUNT, &u);  // 4 bytes too many for the full set behind
         },
         [&](SubMessage& m) { return m.addElement(ELEMENT_SEQUENCE_NUMBER_SET, &full, 0); }},
        {"fifth fixed field of DATA", DATA,
         [&](SubMessage& m) {
             SequenceNumber_t s{0, 1};
             ids(m);
             add(m, ELEMENT_SEQUENCE_NUMBER, &s);
         },
         [&](SubMessage& m) { return m.addElement(ELEMENT_ENTITY_ID, &u, 4); }},
        {"inline QoS after the payload", DATA,
         [&](SubMessage& m) { add(m, ELEMENT_SERIALIZED_DATA, &u, 4); },
         [&](SubMessage& m) { return m.addInlineQoSParameter(&keyHash); }},
        {"inline QoS on a HEARTBEAT", HEARTBEAT, [](SubMessage&) {},
         [&](SubMessage& m) { return m.addInlineQoSParameter(&keyHash); }},
        {"inline QoS one byte past the end", DATA,
         [&](SubMessage& m) {
             // Filler, then a key hash that reaches the largest length exactly.
             Bytes big(65487 - 24 - 8 - 20, 0);
             Parameter filler{0x8000, uint16_t(big.size()), big.data()};
             ASSERT_TRUE(m.addInlineQoSParameter(&filler));
             ASSERT_TRUE(m.addInlineQoSParameter(&keyHash));
             ASSERT_EQ(m.getLength(), 65487);
         },
         [&](SubMessage& m) {
             Parameter empty{0x8001, 0, nullptr};
             return m.addInlineQoSParameter(&empty) || m.addInlineQoSParameter(&huge);
         }},
        {"a view", HEARTBEAT, [](SubMessage&) {},
         [&](SubMessage& m) {
             SubMessage view(m.getData(), m.getLength());
             bool r = view.addElement(ELEMENT_COUNT, &u, 4) || view.addInlineQoSParameter(&keyHash);
             view.init(DATA, TRANSPORT_PRIORITY_LOW);
             view.setFlags(0xFF);
             view.finalize();
             return r || view.getMaxLength() != 0 || !view.isView();
         }},
    };
    SubMessage m;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        m.init(c.kind, TRANSPORT_PRIORITY_LOW);
        c.prepare(m);
        Bytes before = bytesOf(m);
        uint16_t elements = m.getElementLength();
        uint16_t qos = m.getInlineQosLength();
        Bytes whole(m.getData(), m.getData() + 64);
        EXPECT_FALSE(c.refused(m));
        EXPECT_EQ(bytesOf(m), before);
        EXPECT_EQ(Bytes(m.getData(), m.getData() + 64), whole);
        EXPECT_EQ(m.getElementLength(), elements);
        EXPECT_EQ(m.getInlineQosLength(), qos);
    }
}

TEST(SubMessage, InitForgetsThePreviousSubmessage) {
    SubMessage m;
    m.init(DATA_FRAG, TRANSPORT_PRIORITY_HIGH);
    ids(m);
    Bytes const kh = KEY_HASH;
    addParam(m, 0x70, kh);
    m.setTimestamp(5, 6);
    m.finalize();

    m.init(DATA, TRANSPORT_PRIORITY_LOW);
    EXPECT_EQ(bytesOf(m), cat({{0x15, 0x01, 0, 0, 0, 0, 16, 0}, repeat(0, 16)}));
    EXPECT_EQ(m.getInlineQosLength(), 0);
    EXPECT_EQ(m.getElementLength(), 0);
    EXPECT_FALSE(m.hasTimestamp());
    EXPECT_EQ(m.getPriority(), TRANSPORT_PRIORITY_LOW);
    // The fixed-field cursor starts again at readerId.
    ids(m);
    EXPECT_EQ(Bytes(m.getData() + 8, m.getData() + 16), cat({READER_BYTES, WRITER_BYTES}));
}
