// The broad model's keyless topics through the code tessgen wrote for them: pack gives the
// reference writer's bytes exactly, unpack reads them back in both byte orders, short buffers
// and truncated data fail cleanly (run under the sanitizers with exact-size heap buffers),
// and the skip helpers end where unpack ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "BroadModelWriters.h"
#include "RoundTrip.h"

namespace {

using roundtrip::Bytes;
using roundtrip::expectRoundTrip;
using roundtrip::packed;
using roundtrip::reference;
using namespace Classes;

Shapes::Point point(double x, double y) {
    Shapes::Point p;
    p.m_x = x;
    p.m_y = y;
    return p;
}

Pair pair(int32_t x, int32_t y) {
    Pair p;
    p.m_x = x;
    p.m_y = y;
    return p;
}

Inner inner(int seed) {
    Inner in;
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t c = 0; c < 3; ++c) {
            in.m_grid[r][c] = seed + r * 10.5 + c;
            in.m_truth[r][c] = (r + c + seed) % 2 == 0;
            in.m_rows[r][r][c] = -seed * 1.25 + c;
            in.m_rows[1 - r][r][c] = 1e10 + seed + c;
        }
    }
    in.m_phases = {Phase::START, Phase::PAUSE, Phase::STOP};
    in.m_octets = {0, 1, 0x7F, 0x80, static_cast<uint8_t>(0xFF - seed)};
    in.m_marks[0] = Marks(0x8000000001ULL);
    in.m_marks[1] = Marks(0x5A5A5A5A5AULL + seed);
    in.m_counts = {-1, seed, std::numeric_limits<int32_t>::max()};
    in.m_phase = Phase::PAUSE;
    return in;
}

ModelTOPICS::KeylessFixed keylessFixed(int seed) {
    ModelTOPICS::KeylessFixed t;
    t.m_pair = pair(-seed, 0x01020304);
    t.m_single.m_only = 0.5 + seed;
    t.m_inner = inner(seed);
    t.m_marks = Marks(0x8000000000ULL | seed);
    t.m_grid = t.m_inner.m_grid;
    t.m_truth[1][2] = true;
    t.m_point = point(-1.0, seed);
    t.m_rows = t.m_inner.m_rows;
    t.m_phase = Phase::STOP;
    for (std::size_t i = 0; i < 8; ++i) {
        t.m_cube[i / 4][(i / 2) % 2][i % 2] = Shapes::Bits9(0x100 | (i * 31 + seed));
    }
    return t;
}

Every every(int seed, bool empty) {
    Every e;
    e.m_flag = true;
    e.m_octet = 0xA5;
    e.m_i16 = -12345;
    e.m_u16 = 54321;
    e.m_i32 = -123456789 - seed;
    e.m_u32 = 3000000000u;
    e.m_i64 = -1234567890123LL;
    e.m_u64 = 0xF0E1D2C3B4A59687ULL;
    e.m_f32 = 1.5f;
    e.m_f64 = -2.25;
    e.m_f128 = 3.14159265358979323846L + seed;
    e.m_c8 = 'q';
    e.m_c32 = L'Ж';
    e.m_phase = Phase::PAUSE;
    e.m_phaseAlias = Phase::STOP;
    e.m_levelAA = Shapes::E64::MIN;
    e.m_count = 77;
    e.m_grid[1][2] = 6.5;
    e.m_truth[0][1] = true;
    e.m_marks = Marks(0xFF00000001ULL);
    e.m_pair = pair(1, -1);
    e.m_inner = inner(seed + 3);
    e.m_point = point(1e-3, -1e3);
    e.m_level = Shapes::E16::MIN;
    e.m_choice.point(point(5, 6));
    e.m_pick.eight(Truth23{{{true, false, true}, {false, true, false}}});
    e.m_pointAlias = point(7, 8);
    e.m_gridAlias[0][0] = -0.0;
    e.m_foreign[1][1] = 123.0;
    e.m_Shapes = seed;
    if (!empty) {
        e.m_name = "имя";
        e.m_text = "text";
        e.m_wide = L"широкий";
        e.m_phrases = {"", "one", "фраза"};
        e.m_table = {{-5, L"минус"}, {0, L""}, {9, L"z"}};
        e.m_names = {"a", "bb"};
        e.m_foreignText = "foreign";
    }
    return e;
}

AllUnions unionsAt(int variant) {
    AllUnions u;
    if (variant == 0) {
        u.m_byBool.yes(-7);
        u.m_byByte.low(Phase::START);
        u.m_byI16.lo(-2);
        u.m_byU16.hi(point(3, 4));
        u.m_byI32.lo(11);
        u.m_byU32.one(Phase::PAUSE);
        u.m_byI64.lo(-1);
        u.m_byU64.top(5);
        u.m_byChar.seven(Marks(0x8000000001ULL));
        u.m_byWide.bb(Single());
        u.m_byWide.m_ByWide.m_bb.m_only = 2.5;
        u.m_byPhase.started(3);
        u.m_byLevel.most(Shapes::Grid{{{1, 2, 3}, {4, 5, 6}}});
        u.m_byAlias.paused(Shapes::E64::MAX);
        u.m_onlyOne.solo(9);
        u.m_defaultFirst.second(0.25);
        u.m_repeat.rr(4);
        u.m_repeat._d() = 2;
        u.m_quotes.quote(1);
        u.m_wideQuotes.backslash(-8.5);
    } else {
        // The default members, some under a value no case names.
        u.m_byBool.no(1.5);
        u.m_byByte.high(Marks(1));
        u.m_byByte._d() = 200;
        u.m_byI16.hi(pair(1, 2));
        u.m_byU16.lo(65534);
        u.m_byI32.hi(point(-1, -2));
        u.m_byI32._d() = 5;
        u.m_byU32.top(0xFFFFFFFFu);
        u.m_byI64.hi(42);
        u.m_byU64.zero(0.125f);
        u.m_byU64._d() = 17;
        u.m_byChar.zz(-3);
        u.m_byWide.aa(L'ё');
        u.m_byPhase.stopped(2.0);
        u.m_byLevel.least(1);
        u.m_byAlias.started(4);
        u.m_onlyOne.solo(10);
        u.m_onlyOne._d() = 6;
        u.m_defaultFirst.first(8);
        u.m_repeat.other(1.0);
        u.m_quotes.backslash(2);
        u.m_quotes._d() = 'x';
        u.m_wideQuotes.ya(3);
    }
    return u;
}

ModelTOPICS::KeylessVariable keylessVariable(int variant) {
    ModelTOPICS::KeylessVariable t;
    t.m_every = every(variant, variant == 1);
    t.m_unions = unionsAt(variant);
    const AllUnions other = unionsAt(1 - variant);
    t.m_byBool = other.m_byBool;
    t.m_byByte = other.m_byByte;
    t.m_byI16 = other.m_byI16;
    t.m_byU16 = other.m_byU16;
    t.m_byI32 = other.m_byI32;
    t.m_byU32 = other.m_byU32;
    t.m_byI64 = other.m_byI64;
    t.m_byU64 = other.m_byU64;
    t.m_byChar = other.m_byChar;
    t.m_byWide = other.m_byWide;
    t.m_byPhase = other.m_byPhase;
    t.m_byLevel = other.m_byLevel;
    t.m_byAlias = other.m_byAlias;
    t.m_onlyOne = other.m_onlyOne;
    t.m_defaultFirst = other.m_defaultFirst;
    t.m_repeat = other.m_repeat;
    t.m_quotes = other.m_quotes;
    t.m_wideQuotes = other.m_wideQuotes;
    if (variant == 0) {
        t.m_choice.point(point(0.5, -0.5));
    } else {
        t.m_choice.count(12);
    }
    return t;
}

// Every container kind of the model, full or (empty) with no element at all.
ModelTOPICS::Containers containers(bool empty) {
    ModelTOPICS::Containers t;
    t.m_textRow = {"a", "", "текст", "d"};
    t.m_wideGrid[1][0] = L"ш";
    t.m_wideRow[2] = L"row";
    t.m_bitGrid[2][1] = Shapes::Bits40(0x8000000001ULL);
    t.m_foreignGrid[1][0][2] = 2.5;
    t.m_choiceAA.point(point(1, 2));
    t.m_foreignPoint = point(3, 4);
    t.m_foreignLevel = Shapes::E64::MAX;
    t.m_modeAlias = ModelTOPICS::Mode::RUN;
    t.m_local = ModelTOPICS::Local(0x801);
    t.m_booleans[1][1] = true;
    t.m_sequences.m_choice.count(-4);
    if (empty) {
        return t;
    }
    t.m_ints = {1, -2, 3};
    t.m_shorts = {-1, 2, 0x7FFF};
    t.m_longs = {INT64_MIN, 5};
    t.m_octs = {0, 0xFF, 7};
    t.m_huges = {1.5L, -2.75L};
    t.m_flags = {true, false, true};
    t.m_wides = {L'a', L'я'};
    t.m_floats = {0.5f};
    t.m_points = {point(1, 1), point(2, 2)};
    t.m_foreignPoints = {point(-1, -1)};
    t.m_nested = {{}, {1}, {2, 3}};
    t.m_strings = {"x", ""};
    t.m_texts = {"texts"};
    t.m_wideTexts = {L"w1", L""};
    t.m_foreignNames = {"n"};
    t.m_foreignLevels = {Shapes::E32::MIN, Shapes::E32::ZERO};
    t.m_levels = {Shapes::E32::MAX};
    t.m_counts = {4, 5};
    t.m_byText = {{"one", point(1, 0)}, {"", point(0, 1)}};
    t.m_byLevel = {{Shapes::E16::MIN, L"мин"}, {Shapes::E16::MAX, L""}};
    t.m_wideByMode = {{ModelTOPICS::Mode::IDLE, L"idle"}};
    t.m_intToText = {{1, "a"}, {-1, "b"}};
    t.m_textToWide = {{"k", L"v"}};
    t.m_levelToPoint = {{Shapes::E16::MAX, point(9, 9)}};
    t.m_nameToBits = {{"bits", Shapes::Bits40(0x7F00000001ULL)}};
    t.m_modeByInt = {{3, ModelTOPICS::Mode::RUN}, {4, ModelTOPICS::Mode::IDLE}};
    t.m_levelByInt = {{3, Shapes::E32::MIN}};
    t.m_pointByChar = {{L'п', point(5, 5)}};
    t.m_intsAA = {9, 8, 7};
    t.m_textAA = "alias of alias";
    t.m_nameAA = "name";
    t.m_tableAlias = {{7, "seven"}};
    t.m_title = L"заголовок";
    ModelTOPICS::Sequences& q = t.m_sequences;
    q.m_shorts = t.m_shorts;
    q.m_longs = t.m_longs;
    q.m_octs = t.m_octs;
    q.m_huges = t.m_huges;
    q.m_flags = t.m_flags;
    q.m_wides = t.m_wides;
    q.m_floats = t.m_floats;
    q.m_nested = t.m_nested;
    q.m_levels = t.m_levels;
    q.m_byText = t.m_byText;
    q.m_texts = t.m_texts;
    q.m_textRow = t.m_textRow;
    q.m_bitGrid = t.m_bitGrid;
    return t;
}

TEST(BroadRoundTrip, FixedTopicsPackAsTheReferenceAndReadBackInBothOrders) {
    ModelTOPICS::Plain plain;
    plain.m_v = -0.75f;
    expectRoundTrip(plain);
    for (int seed : {0, 1, 5}) {
        SCOPED_TRACE(seed);
        expectRoundTrip(keylessFixed(seed));
    }
}

TEST(BroadRoundTrip, VariableTopicWithEveryKindAndUnionAlternativeReadsBack) {
    for (int variant : {0, 1}) {
        SCOPED_TRACE(variant);
        expectRoundTrip(keylessVariable(variant));
    }
}

// The keyed twin of the variable topic: its key first, then the same members.
TEST(BroadRoundTrip, KeyedVariableTopicReadsBack) {
    for (int variant : {0, 1}) {
        SCOPED_TRACE(variant);
        const ModelTOPICS::KeylessVariable from = keylessVariable(variant);
        ModelTOPICS::KeyedVariable t;
        t.m_id = -1 - variant;
        t.m_every = from.m_every;
        t.m_unions = from.m_unions;
        t.m_byBool = from.m_byBool;
        t.m_byByte = from.m_byByte;
        t.m_byI16 = from.m_byI16;
        t.m_byU16 = from.m_byU16;
        t.m_byI32 = from.m_byI32;
        t.m_byU32 = from.m_byU32;
        t.m_byI64 = from.m_byI64;
        t.m_byU64 = from.m_byU64;
        t.m_byChar = from.m_byChar;
        t.m_byWide = from.m_byWide;
        t.m_byPhase = from.m_byPhase;
        t.m_byLevel = from.m_byLevel;
        t.m_byAlias = from.m_byAlias;
        t.m_onlyOne = from.m_onlyOne;
        t.m_defaultFirst = from.m_defaultFirst;
        t.m_repeat = from.m_repeat;
        t.m_quotes = from.m_quotes;
        t.m_wideQuotes = from.m_wideQuotes;
        t.m_choice = from.m_choice;
        expectRoundTrip(t);
        EXPECT_EQ(0u, ModelTOPICS::KeyedVariable::maxlenPacked());
        const roundtrip::Bytes sample = packed(t);
        EXPECT_TRUE(t.keyEqual(sample.data(), static_cast<unsigned>(sample.size())));
        const auto positions = getKeyPos(t);
        ASSERT_EQ(1u, positions.size());
        EXPECT_EQ(0u, positions[0].first);
        EXPECT_EQ(4u, positions[0].second);
    }
}

TEST(BroadRoundTrip, ContainersFullAndEmptyReadBack) {
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty" : "full");
        expectRoundTrip(containers(empty));
    }
}

// Unpacking into a sample that held other containers (a reader's reused sample) gives what a
// fresh sample gets: maps and sequences are read over their earlier entries, whether there
// were more, fewer, other or none of them, in either byte order. A key that differs from the
// entry's in its last character only must not pass for it.
TEST(BroadRoundTrip, ContainersReadIntoAUsedSampleReadBack) {
    ModelTOPICS::Containers more = containers(false);
    more.m_byText["zz"] = Shapes::Point();
    more.m_byText["middle"] = Shapes::Point();
    more.m_byText["a longer key 1"] = Shapes::Point();
    more.m_intToText[-7] = "extra";
    ModelTOPICS::Containers fewer = containers(false);
    fewer.m_byText.erase(fewer.m_byText.begin());
    fewer.m_intToText.clear();
    // Entries past the last key read, which nothing but the end of the map drops.
    ModelTOPICS::Containers longer = containers(false);
    longer.m_byText["zz"] = Shapes::Point();
    longer.m_intToText[99] = "last";
    // The first key that differs is compared with the entry's, of each length class.
    auto renamed = [&more](const std::string& key) {
        ModelTOPICS::Containers t = more;
        t.m_byText.erase(key);
        t.m_byText[key.substr(0, key.size() - 1) + "#"] = Shapes::Point();
        return t;
    };
    const ModelTOPICS::Containers samples[] = {
        containers(false),         containers(true),  more,          fewer, longer,
        renamed("a longer key 1"), renamed("middle"), renamed("one")};
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        for (const auto& before : samples) {
            for (const auto& value : samples) {
                const Bytes earlier = reference(before, bigEndian);
                const Bytes bytes = reference(value, bigEndian);
                ModelTOPICS::Containers read;
                ASSERT_TRUE(read.unpack(earlier.data(), static_cast<unsigned>(earlier.size())));
                ASSERT_TRUE(read.unpack(bytes.data(), static_cast<unsigned>(bytes.size())));
                EXPECT_TRUE(read == value);
            }
        }
    }
}

TEST(BroadRoundTrip, FixedLengthFunctionsCountTheHeader) {
    const Bytes bytes = packed(keylessFixed(2));
    EXPECT_EQ(bytes.size(), keylessFixed(2).lenPacked());
    EXPECT_EQ(bytes.size(), ModelTOPICS::KeylessFixed::maxlenPacked());
    EXPECT_EQ(8u, ModelTOPICS::Plain::maxlenPacked());
}

// A Boolean byte other than 0 or 1 from the network reads as true, without undefined
// behaviour: inline in a fixed topic (the first element of inner.truth, data offset 64) and
// through the runtime in a variable one (every.flag, data offset 0).
TEST(BroadRoundTrip, BooleanByteTwoReadsAsTrue) {
    for (bool bigEndian : {false, true}) {
        Bytes fixed = reference(keylessFixed(1), bigEndian);
        fixed[4 + 64] = 2;
        ModelTOPICS::KeylessFixed f;
        ASSERT_TRUE(f.unpack(fixed.data(), static_cast<unsigned>(fixed.size())));
        EXPECT_TRUE(f.m_inner.m_truth[0][0]);
        Bytes variable = reference(keylessVariable(0), bigEndian);
        variable[4] = 2;
        ModelTOPICS::KeylessVariable v;
        ASSERT_TRUE(v.unpack(variable.data(), static_cast<unsigned>(variable.size())));
        EXPECT_TRUE(v.m_every.m_flag);
    }
}

// The skip helpers step over each member exactly where unpack reads it, in both byte orders.
TEST(BroadRoundTrip, SkipHelpersEndWhereUnpackEnds) {
    ModelTOPICS::KeylessVariable t = keylessVariable(0);
    for (bool bigEndian : {false, true}) {
        const Bytes bytes = reference(t, bigEndian);
        const void* data = bytes.data() + 4;
        const unsigned length = static_cast<unsigned>(bytes.size() - 4);
        auto next = [&](auto& member, unsigned pos) {
            return bigEndian ? ModelTOPICS::nextCH(member, data, pos, length)
                             : ModelTOPICS::next(member, data, pos, length);
        };
        unsigned pos = next(t.m_every, 0);
        pos = next(t.m_unions, pos);
        pos = next(t.m_byBool, pos);
        pos = next(t.m_byByte, pos);
        pos = next(t.m_byI16, pos);
        pos = next(t.m_byU16, pos);
        pos = next(t.m_byI32, pos);
        pos = next(t.m_byU32, pos);
        pos = next(t.m_byI64, pos);
        pos = next(t.m_byU64, pos);
        pos = next(t.m_byChar, pos);
        pos = next(t.m_byWide, pos);
        pos = next(t.m_byPhase, pos);
        pos = next(t.m_byLevel, pos);
        pos = next(t.m_byAlias, pos);
        pos = next(t.m_onlyOne, pos);
        pos = next(t.m_defaultFirst, pos);
        pos = next(t.m_repeat, pos);
        pos = next(t.m_quotes, pos);
        pos = next(t.m_wideQuotes, pos);
        const unsigned beforeLast = pos;
        pos = next(t.m_choice, pos);
        EXPECT_EQ(length, pos);
        // Short of the last byte, the last step fails.
        EXPECT_EQ(0u, bigEndian ? ModelTOPICS::nextCH(t.m_choice, data, beforeLast, length - 1)
                                : ModelTOPICS::next(t.m_choice, data, beforeLast, length - 1));
    }
}

// Sequences of elements of 1, 2, 4, 8 and 16 bytes, of sequences and of strings, a map, an
// array of strings, an array of bit sets and a union, skipped in one structure.
TEST(BroadRoundTrip, SkipOfEachSequenceKindEndsWhereUnpackEnds) {
    for (bool empty : {false, true}) {
        ModelTOPICS::Sequences value = containers(empty).m_sequences;
        for (bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::string(empty ? "empty " : "full ") + (bigEndian ? "big" : "little"));
            ReferenceWriter w(bigEndian);
            w.put(value);
            const Bytes& data = w.data();
            const unsigned length = static_cast<unsigned>(data.size());
            ModelTOPICS::Sequences read;
            const unsigned unpacked = bigEndian
                                          ? ModelTOPICS::unpackCH(read, data.data(), 0, length)
                                          : ModelTOPICS::unpack(read, data.data(), 0, length);
            EXPECT_EQ(length, unpacked);
            EXPECT_TRUE(read == value);
            for (unsigned start : {0u, 1u, 3u}) {
                // Started off alignment, every item aligns itself the same in both.
                Bytes shifted(start, 0);
                ReferenceWriter again(bigEndian);
                for (unsigned i = 0; i < start; ++i) {
                    again.put(static_cast<uint8_t>(0));
                }
                again.put(value);
                const Bytes& moved = again.data();
                const unsigned end = static_cast<unsigned>(moved.size());
                EXPECT_EQ(end, bigEndian ? ModelTOPICS::nextCH(value, moved.data(), start, end)
                                         : ModelTOPICS::next(value, moved.data(), start, end))
                    << start;
                EXPECT_EQ(0u, bigEndian ? ModelTOPICS::nextCH(value, moved.data(), start, end - 1)
                                        : ModelTOPICS::next(value, moved.data(), start, end - 1))
                    << start;
            }
        }
    }
}

}  // namespace
