#include <gtest/gtest.h>

#include <cstdint>

#include "rtps/wire/ByteCursor.h"

using RTPS::ByteCursor;
using RTPS::ByteOrder;

namespace {

const uint8_t BYTES[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                         0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};

}  // namespace

TEST(ByteCursor, ReadsInBothByteOrders) {
    ByteCursor le(BYTES, sizeof BYTES);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    ASSERT_TRUE(le.readU8(u8));
    ASSERT_TRUE(le.readU16(u16));
    ASSERT_TRUE(le.readU32(u32, ByteOrder::Big));
    ASSERT_TRUE(le.readU64(u64));
    EXPECT_EQ(u8, 0x01);
    EXPECT_EQ(u16, 0x0302);
    EXPECT_EQ(u32, 0x04050607u);
    EXPECT_EQ(u64, 0x0F0E0D0C0B0A0908ull);
    EXPECT_EQ(le.remaining(), 1u);

    ByteCursor be(BYTES, sizeof BYTES, ByteOrder::Big);
    int16_t i16 = 0;
    int32_t i32 = 0;
    int64_t i64 = 0;
    ASSERT_TRUE(be.readI16(i16));
    ASSERT_TRUE(be.readI32(i32, ByteOrder::Little));
    ASSERT_TRUE(be.readI64(i64));
    EXPECT_EQ(i16, 0x0102);
    EXPECT_EQ(i32, 0x06050403);
    EXPECT_EQ(i64, 0x0708090A0B0C0D0Ell);

    const uint8_t negative[] = {0xFE, 0xFF, 0xFF, 0xFF};
    ByteCursor n(negative, 4);
    ASSERT_TRUE(n.readI32(i32));
    EXPECT_EQ(i32, -2);
}

TEST(ByteCursor, FailedReadIsStickyAndZeroesTheValue) {
    // Each operation is tried on a cursor with 3 bytes left after one byte was read.
    struct {
        char const* name;
        bool (*op)(ByteCursor&);
    } const cases[] = {
        {"u32",
         [](ByteCursor& c) {
             uint32_t v = 7;
             bool r = c.readU32(v);
             return r || v != 0;
         }},
        {"u64",
         [](ByteCursor& c) {
             uint64_t v = 7;
             bool r = c.readU64(v);
             return r || v != 0;
         }},
        {"i32 big",
         [](ByteCursor& c) {
             int32_t v = 7;
             bool r = c.readI32(v, ByteOrder::Big);
             return r || v != 0;
         }},
        {"bytes",
         [](ByteCursor& c) {
             uint8_t b[4];
             return c.readBytes(b, 4);
         }},
        {"view",
         [](ByteCursor& c) {
             uint8_t const* p = BYTES;
             bool r = c.readView(p, 4);
             return r || p != nullptr;
         }},
        {"skip", [](ByteCursor& c) { return c.skip(4); }},
        {"huge skip", [](ByteCursor& c) { return c.skip(SIZE_MAX); }},
        {"align 8", [](ByteCursor& c) { return c.align(8); }},
        {"sub",
         [](ByteCursor& c) {
             ByteCursor s;
             bool r = c.subCursor(4, s);
             return r || s.ok();
         }},
    };
    for (auto const& c : cases) {
        ByteCursor cur(BYTES, 4);
        uint8_t first = 0;
        ASSERT_TRUE(cur.readU8(first));
        EXPECT_FALSE(c.op(cur)) << c.name;
        EXPECT_FALSE(cur.ok()) << c.name;
        EXPECT_EQ(cur.remaining(), 0u) << c.name;
        uint8_t more = 9;
        EXPECT_FALSE(cur.readU8(more)) << c.name;
        EXPECT_EQ(more, 0) << c.name;
        EXPECT_FALSE(cur.skip(0)) << c.name;
    }
}

TEST(ByteCursor, ExactFitSucceeds) {
    ByteCursor c(BYTES, 4);
    uint32_t v = 0;
    EXPECT_TRUE(c.readU32(v));
    EXPECT_TRUE(c.ok());
    EXPECT_TRUE(c.skip(0));
    EXPECT_EQ(c.remaining(), 0u);
    EXPECT_FALSE(c.readU8(*reinterpret_cast<uint8_t*>(&v)));

    ByteCursor empty;
    EXPECT_EQ(empty.remaining(), 0u);
    EXPECT_TRUE(empty.skip(0));
    ByteCursor null(nullptr, 100);
    EXPECT_EQ(null.remaining(), 0u);
}

TEST(ByteCursor, AlignCountsFromTheCursorStart) {
    struct {
        size_t consumed;
        size_t alignment;
        size_t offsetAfter;
    } const cases[] = {{0, 4, 0},  {1, 4, 4}, {3, 4, 4}, {4, 4, 4}, {5, 8, 8},
                       {9, 8, 16}, {5, 1, 5}, {5, 0, 5}, {5, 3, 6}};
    for (auto const& c : cases) {
        ByteCursor cur(BYTES, sizeof BYTES);
        ASSERT_TRUE(cur.skip(c.consumed));
        EXPECT_TRUE(cur.align(c.alignment)) << c.consumed << "/" << c.alignment;
        EXPECT_EQ(cur.offset(), c.offsetAfter) << c.consumed << "/" << c.alignment;
    }
    // A sub-cursor aligns from its own first byte, not its parent's.
    ByteCursor parent(BYTES, sizeof BYTES);
    ASSERT_TRUE(parent.skip(4));
    ByteCursor sub;
    ASSERT_TRUE(parent.subCursor(12, sub));
    ASSERT_TRUE(sub.skip(1));
    ASSERT_TRUE(sub.align(4));
    EXPECT_EQ(sub.position(), BYTES + 8);
}

TEST(ByteCursor, SubCursorIsBoundedAndAdvancesTheParent) {
    ByteCursor parent(BYTES, sizeof BYTES, ByteOrder::Big);
    ByteCursor sub;
    ASSERT_TRUE(parent.subCursor(3, sub));
    EXPECT_EQ(parent.offset(), 3u);
    EXPECT_EQ(sub.size(), 3u);
    EXPECT_EQ(sub.byteOrder(), ByteOrder::Big);
    uint16_t v = 0;
    ASSERT_TRUE(sub.readU16(v));
    EXPECT_EQ(v, 0x0102);
    uint16_t w = 0;
    EXPECT_FALSE(sub.readU16(w));  // only one byte left in the sub-cursor
    EXPECT_TRUE(parent.ok());      // the parent is not affected
    ASSERT_TRUE(parent.readU16(w));
    EXPECT_EQ(w, 0x0405);
}
