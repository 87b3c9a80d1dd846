// Packed bytes of the topics of tests/generated/models/Layout.xml, computed by hand: every item
// of n bytes at the next multiple of n from the first data byte, a 1-byte item unaligned, a
// structure without padding of its own, arrays of structures element by element. Each topic
// packs to exactly its bytes, fails for every shorter buffer, and reads its bytes back.
#include "Layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Row {
    const char* name;
    std::function<unsigned(void*, unsigned)> pack;
    std::function<bool(const Bytes&)> readsBack;  // unpack gives the packed value again
    Bytes bytes;                                  // header included
};

template <class Topic>
Row row(const char* name, const Topic& value, Bytes data) {
    Bytes bytes = {0x00, 0x01, 0x00, 0x00};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return {name, [value](void* buf, unsigned n) { return value.pack(buf, n); },
            [value](const Bytes& b) {
                Topic read;
                return read.unpack(b.data(), static_cast<unsigned>(b.size())) && read == value;
            },
            bytes};
}

Layout::Pp pp(int16_t a, uint8_t b) {
    Layout::Pp p;
    p.m_a = a;
    p.m_b = b;
    return p;
}

Layout::Gap gap(int32_t i, bool b, int16_t s) {
    Layout::Gap g;
    g.m_i = i;
    g.m_b = b;
    g.m_s = s;
    return g;
}

// Arrays of Boolean of 2, 6 (2 x 3) and 11 elements, each length read its own way.
template <class Topic>
Topic flags(Topic t) {
    t.m_two = {true, false};
    t.m_grid = {{{false, true, true}, {false, false, true}}};
    t.m_eleven = {true, false, false, true, true, false, true, false, false, false, true};
    return t;
}

Layout::ByteKeys byteKeys() {
    Layout::ByteKeys k;
    k.m_b = 0x7E;
    k.m_i = 0x01020304;
    k.m_v = 1.0;
    return k;
}

std::vector<Row> rows() {
    Layout::Triple triple;
    triple.m_i = 0x01020304;
    triple.m_b = true;
    triple.m_f = 1.0;

    Layout::ByteHuge huge;
    huge.m_b = 0xAB;
    huge.m_h = 1.0L;

    Layout::ByteWord word;
    word.m_b = 0x11;
    word.m_w.m_w = 0x0A0B0C0D;

    Layout::ByteShorts shorts;
    shorts.m_b = 1;
    shorts.m_s = {0x0102, 0x0304, 0x0506};

    Layout::ByteBits9 bits9;
    bits9.m_b = 1;
    bits9.m_s = Layout::Bits9(0x100);

    Layout::ByteBits33 bits33;
    bits33.m_b = 1;
    bits33.m_s = Layout::Bits33(0x100000001ULL);

    Layout::BytePairs pairs;
    pairs.m_b = 0xEE;
    pairs.m_p = {pp(0x1122, 0x33), pp(0x4455, 0x66)};

    Layout::Mixed mixed;
    mixed.m_i = 7;
    mixed.m_s = "ab";
    mixed.m_shorts = {1, -1};
    mixed.m_names = {{1, "x"}, {2, ""}};
    mixed.m_word.m_w = 5;
    mixed.m_grid = {{{pp(1, 2), pp(3, 4)}, {pp(5, 6), pp(7, 8)}}};
    mixed.m_last = 0x0102;

    Layout::OneUnion one;
    one.m_u.on(0x5A);

    const Layout::ByteKeys keys = byteKeys();

    Layout::GapRuns runs;
    runs.m_b = 0x01;
    runs.m_seq = {gap(1, true, 2)};
    runs.m_row = {gap(3, false, 4), gap(5, true, 6)};
    runs.m_g = gap(7, true, 8);

    Layout::FixedGaps fixedGaps;
    fixedGaps.m_b = 0x01;
    fixedGaps.m_row = {gap(3, false, 4), gap(5, true, 6)};
    fixedGaps.m_g = gap(7, true, 8);
    fixedGaps.m_t = 0x0102;

    Layout::ByteFlags byteFlags;
    byteFlags.m_b = 0x7E;
    byteFlags = flags(byteFlags);

    Layout::TextFlags textFlags;
    textFlags.m_s = "ab";
    textFlags = flags(textFlags);

    return {
        row("Int32, Boolean, Float64", triple,
            {0x04, 0x03, 0x02, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}),
        // Float128: the 10 bytes of the x87 value, then 6 zero bytes, at 16.
        row("Byte, Float128", huge, {0xAB, 0, 0, 0, 0, 0, 0, 0,    0,    0,    0, 0, 0, 0, 0, 0,
                                     0,    0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F, 0, 0, 0, 0, 0, 0}),
        row("Byte, structure of Int32", word, {0x11, 0, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A}),
        row("Byte, Int16[3]", shorts, {0x01, 0, 0x02, 0x01, 0x04, 0x03, 0x06, 0x05}),
        row("Byte, bit set of 9", bits9, {0x01, 0, 0x00, 0x01}),
        row("Byte, bit set of 33", bits33,
            {0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0, 0}),
        // Each element where its own first member aligns it: 2 and 6.
        row("Byte, array of 2 structures of Int16, Byte", pairs,
            {0xEE, 0, 0x22, 0x11, 0x33, 0, 0x55, 0x44, 0x66}),
        row("variable: Int32, string, sequence, map, structure, 2-D array of structures", mixed,
            {0x07, 0,    0,    0,                                         // i
             0x03, 0,    0,    0,    'a',  'b',  0,                       // s at 4
             0,    0x02, 0,    0,    0,    0x01, 0,    0xFF, 0xFF,        // shorts: count at 12
             0x02, 0,    0,    0,                                         // names: count at 20
             0x01, 0,    0,    0,    0x02, 0,    0,    0,    'x',  0,     // 1 -> "x"
             0,    0,    0x02, 0,    0,    0,    0x01, 0,    0,    0, 0,  // 2 -> "" (key at 36)
             0,    0,    0,    0x05, 0,    0,    0,                       // word at 48
             0x01, 0,    0x02, 0,    0x03, 0,    0x04, 0,                 // grid from 52
             0x05, 0,    0x06, 0,    0x07, 0,    0x08,                    // to 67
             0,    0x02, 0x01}),                                          // last at 68
        // A Boolean discriminator and a Byte: 6 bytes with the header.
        row("union of Boolean and Byte", one, {0x01, 0x5A}),
        // Structures of Int32, Boolean, Int16 copied as blocks: the byte after the Boolean is
        // a gap in every element.
        row("variable: Byte, sequence, array and structure of Int32, Boolean, Int16", runs,
            {0x01, 0, 0, 0,                      // b, count at 4
             0x01, 0, 0, 0,                      // one element
             0x01, 0, 0, 0, 0x01, 0, 0x02, 0,    // seq[0] at 8
             0x03, 0, 0, 0, 0x00, 0, 0x04, 0,    // row[0] at 16
             0x05, 0, 0, 0, 0x01, 0, 0x06, 0,    // row[1] at 24
             0x07, 0, 0, 0, 0x01, 0, 0x08, 0}),  // g at 32
        row("fixed: Byte, array and structure of Int32, Boolean, Int16, Int16", fixedGaps,
            {0x01, 0,   0, 0,                    // b
             0x03, 0,   0, 0, 0x00, 0, 0x04, 0,  // row[0] at 4
             0x05, 0,   0, 0, 0x01, 0, 0x06, 0,  // row[1] at 12
             0x07, 0,   0, 0, 0x01, 0, 0x08, 0,  // g at 20
             0x02, 0x01}),                       // t at 28
        row("keyed: Byte, Int32, Float64", keys,
            {0x7E, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}),
        row("fixed: Byte, Boolean[2], Boolean[2][3], Boolean[11]", byteFlags,
            {0x7E, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1}),
        row("variable: string, Boolean[2], Boolean[2][3], Boolean[11]", textFlags,
            {0x03, 0, 0, 0, 'a', 'b', 0, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1}),
    };
}

TEST(PackedLayout, TopicsPackToTheirBytesAndNoShorterBufferServes) {
    for (const Row& r : rows()) {
        SCOPED_TRACE(r.name);
        Bytes buffer(r.bytes.size());
        ASSERT_EQ(r.bytes.size(), r.pack(buffer.data(), static_cast<unsigned>(buffer.size())));
        EXPECT_EQ(r.bytes, buffer);
        EXPECT_TRUE(r.readsBack(r.bytes));
        for (std::size_t n = 0; n < r.bytes.size(); ++n) {
            Bytes room(n);  // exact size: the sanitizers see any byte written past it
            EXPECT_EQ(0u, r.pack(room.data(), static_cast<unsigned>(n))) << n;
        }
    }
}

// A buffer that held an earlier sample: the gaps before aligned members, inside structures,
// sequences, maps and unions and before Float128 are written as zeros, not left as they were.
TEST(PackedLayout, ReusedBufferCarriesNoStaleBytes) {
    for (const Row& r : rows()) {
        SCOPED_TRACE(r.name);
        Bytes buffer(r.bytes.size() + 8, 0xAA);
        ASSERT_EQ(r.bytes.size(), r.pack(buffer.data(), static_cast<unsigned>(buffer.size())));
        EXPECT_EQ(r.bytes, Bytes(buffer.begin(), buffer.begin() + r.bytes.size()));
        EXPECT_EQ(Bytes(8, 0xAA), Bytes(buffer.end() - 8, buffer.end()));
    }
}

// The copied keys of a packed key, with the gap between a Byte and an Int32 key written too:
// the bytes do not depend on what the buffer held.
TEST(PackedLayout, PackedKeyGapIsZeroInAReusedBuffer) {
    const Layout::ByteKeys k = byteKeys();
    const Bytes key = {0x00, 0x01, 0x00, 0x00, 0x7E, 0, 0, 0, 0x04, 0x03, 0x02, 0x01};
    ASSERT_EQ(key.size(), k.keylenPacked());
    Bytes buffer(key.size(), 0xAA);
    ASSERT_EQ(key.size(), k.packKey(buffer.data(), static_cast<unsigned>(buffer.size())));
    EXPECT_EQ(key, buffer);
}

// Blocks read in the other byte order, and a Boolean byte other than 0 or 1 reads as true.
TEST(PackedLayout, BigEndianBlocksReadBack) {
    Layout::GapRuns runs;
    runs.m_b = 0x01;
    runs.m_seq = {gap(1, true, 2)};
    runs.m_row = {gap(3, false, 4), gap(5, true, 6)};
    runs.m_g = gap(7, true, 8);
    const Bytes runsBytes = {0,    0, 0, 0,                        // big-endian header
                             0x01, 0, 0, 0,    0,    0, 0, 0x01,   // b, count
                             0,    0, 0, 0x01, 0x02, 0, 0, 0x02,   // seq[0]
                             0,    0, 0, 0x03, 0x00, 0, 0, 0x04,   // row[0]
                             0,    0, 0, 0x05, 0x01, 0, 0, 0x06,   // row[1]
                             0,    0, 0, 0x07, 0x01, 0, 0, 0x08};  // g
    Layout::GapRuns readRuns;
    ASSERT_TRUE(readRuns.unpack(runsBytes.data(), static_cast<unsigned>(runsBytes.size())));
    EXPECT_TRUE(readRuns == runs);

    Layout::FixedGaps fixedGaps;
    fixedGaps.m_b = 0x01;
    fixedGaps.m_row = {gap(3, false, 4), gap(5, true, 6)};
    fixedGaps.m_g = gap(7, true, 8);
    fixedGaps.m_t = 0x0102;
    const Bytes fixedBytes = {0,    0,   0, 0,                       // big-endian header
                              0x01, 0,   0, 0,                       // b
                              0,    0,   0, 0x03, 0x00, 0, 0, 0x04,  // row[0]
                              0,    0,   0, 0x05, 0x01, 0, 0, 0x06,  // row[1]
                              0,    0,   0, 0x07, 0x05, 0, 0, 0x08,  // g
                              0x01, 0x02};                           // t
    Layout::FixedGaps readFixed;
    ASSERT_TRUE(readFixed.unpack(fixedBytes.data(), static_cast<unsigned>(fixedBytes.size())));
    EXPECT_TRUE(readFixed == fixedGaps);
}

// A packed Boolean byte other than 0 reads as true whatever its bits, at every place of
// arrays read several bytes at a time, in a fixed topic and after a string, in both byte
// orders: each row shifts a run of bytes of mixed values along the 19 Boolean bytes.
TEST(PackedLayout, BooleanArrayByteOtherThanZeroReadsAsTrue) {
    const uint8_t values[] = {0x00, 0x80, 0x01, 0x02, 0x00, 0x7F, 0xFF, 0x40};
    struct Topic {
        const char* name;
        Bytes little;  // up to the first Boolean byte, header included
        Bytes big;
        std::function<Bytes(const Bytes&)> read;  // the 19 bools read, one byte each
    };
    auto reader = [](auto topic) {
        return [topic](const Bytes& b) mutable {
            Bytes bools;
            if (!topic.unpack(b.data(), static_cast<unsigned>(b.size()))) {
                return bools;
            }
            for (bool v : topic.m_two) {
                bools.push_back(v);
            }
            for (const auto& r : topic.m_grid) {
                bools.insert(bools.end(), r.begin(), r.end());
            }
            bools.insert(bools.end(), topic.m_eleven.begin(), topic.m_eleven.end());
            return bools;
        };
    };
    const Topic topics[] = {
        {"fixed", {0, 1, 0, 0, 0x7E}, {0, 0, 0, 0, 0x7E}, reader(Layout::ByteFlags())},
        {"after a string",
         {0, 1, 0, 0, 3, 0, 0, 0, 'a', 'b', 0},
         {0, 0, 0, 0, 0, 0, 0, 3, 'a', 'b', 0},
         reader(Layout::TextFlags())},
    };
    for (const Topic& topic : topics) {
        for (bool bigEndian : {false, true}) {
            for (std::size_t shift = 0; shift < sizeof values; ++shift) {
                SCOPED_TRACE(std::string(topic.name) + (bigEndian ? " big" : " little") +
                             " shift " + std::to_string(shift));
                Bytes bytes = bigEndian ? topic.big : topic.little;
                Bytes expected;
                for (std::size_t k = 0; k < 19; ++k) {
                    const uint8_t v = values[(k + shift) % sizeof values];
                    bytes.push_back(v);
                    expected.push_back(v != 0 ? 1 : 0);
                }
                EXPECT_EQ(expected, topic.read(bytes));
            }
        }
    }
}

// A string's count includes its terminating zero: a count of 0 is malformed, in a member and
// in a map value, and nothing is sized by it.
TEST(PackedLayout, StringCountZeroIsRefused) {
    Layout::Mixed mixed;
    mixed.m_i = 7;
    mixed.m_s = "ab";
    mixed.m_names = {{1, "x"}};
    Bytes bytes(64);
    bytes.resize(mixed.pack(bytes.data(), static_cast<unsigned>(bytes.size())));
    ASSERT_FALSE(bytes.empty());
    for (std::size_t at : {4 + 4, 4 + 24}) {  // s, then the value of key 1
        SCOPED_TRACE(at);
        Bytes malformed = bytes;
        ASSERT_EQ(at == 8 ? 3 : 2, malformed[at]);
        std::memset(&malformed[at], 0, 4);
        Layout::Mixed read;
        EXPECT_FALSE(read.unpack(malformed.data(), static_cast<unsigned>(malformed.size())));
    }
}

TEST(PackedLayout, FixedTopicsMeasureHeaderAndData) {
    EXPECT_EQ(20u, Layout::Triple::maxlenPacked());
    EXPECT_EQ(20u, Layout::Triple().lenPacked());
    EXPECT_EQ(36u, Layout::ByteHuge::maxlenPacked());
    EXPECT_EQ(12u, Layout::ByteWord::maxlenPacked());
    EXPECT_EQ(12u, Layout::ByteShorts::maxlenPacked());
    EXPECT_EQ(8u, Layout::ByteBits9::maxlenPacked());
    EXPECT_EQ(20u, Layout::ByteBits33::maxlenPacked());
    EXPECT_EQ(13u, Layout::BytePairs::maxlenPacked());
}

// Float128 padding never reaches the wire: equal values pack to equal bytes whatever the
// memory behind them held.
TEST(PackedLayout, Float128PacksNoMemoryPadding) {
    Layout::ByteHuge a;
    std::memset(static_cast<void*>(&a.m_h), 0xCC, sizeof a.m_h);
    a.m_b = 0xAB;
    a.m_h = 1.0L;
    Bytes buffer(36);
    ASSERT_EQ(36u, a.pack(buffer.data(), 36));
    EXPECT_EQ(Bytes(6, 0), Bytes(buffer.begin() + 30, buffer.end()));
}

}  // namespace
