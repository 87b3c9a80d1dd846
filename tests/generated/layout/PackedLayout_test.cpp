// Packed bytes of the topics of tests/generated/models/Layout.xml, computed by hand: every item
// of n bytes at the next multiple of n from the first data byte, a 1-byte item unaligned, a
// structure without padding of its own, arrays of structures element by element. Each topic
// packs to exactly its bytes, fails for every shorter buffer, and reads its bytes back.
#include "Layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
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
        row("keyed: Byte, Int32, Float64", keys,
            {0x7E, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}),
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
