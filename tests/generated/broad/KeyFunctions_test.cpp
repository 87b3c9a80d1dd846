// The length and key functions tessgen writes, on the broad model's keyed topics (one per key
// shape) and its variable-size topics. Packed keys are checked against the reference writer's
// bytes of the key members, key hashes against the big-endian key (padded to 16 bytes, or its
// MD5 digest) and, for the direct forms, against bytes written out by hand. The key readers
// run on every truncation of their input in exact-size heap buffers, for the sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "BroadModelWriters.h"
#include "RoundTrip.h"

namespace {

using roundtrip::Bytes;
using roundtrip::expectRoundTrip;
using roundtrip::packed;
using roundtrip::reference;
using namespace ModelTOPICS;

// How a keyed topic's keys look: the key members in key order for the reference writer, each
// key changed alone, and the keys copied from one value into another.
template <class T>
struct KeyShape {
    std::function<void(ReferenceWriter&, const T&)> keys;
    std::vector<std::function<void(T&)>> changes;
    std::function<void(T&, const T&)> copyKeys;
    // The hash is the big-endian key itself, zero-padded (fixed keys of at most 16 bytes with
    // no Char32 and no array), else the MD5 digest of the big-endian key.
    bool direct;
};

template <class T>
Bytes packedKey(const T& value, std::size_t room = 1 << 12) {
    return roundtrip::packedOverStaleBytes(
        [&value](void* buf, unsigned len) { return value.packKey(buf, len); }, room);
}

template <class T>
Bytes referenceKey(const KeyShape<T>& shape, const T& value, bool bigEndian) {
    ReferenceWriter w(bigEndian);
    shape.keys(w, value);
    return w.sample();
}

template <class T>
vexa::dds::KeyHash_t expectedHash(const KeyShape<T>& shape, const T& value) {
    ReferenceWriter w(true);
    shape.keys(w, value);
    const Bytes& key = w.data();
    vexa::dds::KeyHash_t hash;
    if (shape.direct) {
        EXPECT_LE(key.size(), 16u);
        std::memcpy(hash.hash, key.data(), key.size());
    } else {
        VEXA_PACK::MD5::calculate(key.data(), static_cast<unsigned>(key.size()), hash.hash);
    }
    return hash;
}

template <class T>
void expectKeyFunctions(const KeyShape<T>& shape, const T& value) {
    expectRoundTrip(value);
    const Bytes sample = packed(value);

    // packKey: the reference bytes of the keys, exactly keylenPacked() of them, nothing into a
    // buffer one byte short.
    const Bytes key = packedKey(value);
    ASSERT_EQ(referenceKey(shape, value, false), key);
    EXPECT_EQ(key.size(), value.keylenPacked());
    Bytes short_(key.size() - 1);
    EXPECT_EQ(0u, value.packKey(short_.data(), static_cast<unsigned>(short_.size())));

    // keyHash: the independent value, also for the value read back in either byte order.
    const vexa::dds::KeyHash_t hash = expectedHash(shape, value);
    EXPECT_TRUE(hash == value.keyHash());
    const Bytes big = reference(value, true);
    T readBack;
    ASSERT_TRUE(readBack.unpack(big.data(), static_cast<unsigned>(big.size())));
    EXPECT_TRUE(hash == readBack.keyHash());

    // unpackKey sets the keys and nothing else, from either byte order; so does the
    // constructor from a packed key.
    T keysOnly;
    shape.copyKeys(keysOnly, value);
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian key" : "little-endian key");
        const Bytes bytes = referenceKey(shape, value, bigEndian);
        T read;
        ASSERT_TRUE(read.unpackKey(bytes.data(), static_cast<unsigned>(bytes.size())));
        EXPECT_TRUE(read == keysOnly);
        EXPECT_TRUE(T(bytes.data(), static_cast<unsigned>(bytes.size()), true) == keysOnly);
        EXPECT_TRUE(value.keyEqual(bytes.data(), static_cast<unsigned>(bytes.size()), true));
        EXPECT_TRUE(T::keyEqual(bytes.data(), static_cast<unsigned>(bytes.size()), sample.data(),
                                static_cast<unsigned>(sample.size()), false));
        // Every truncation fails cleanly in both key readers.
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            T partial;
            EXPECT_FALSE(partial.unpackKey(prefix.data(), static_cast<unsigned>(n))) << n;
            EXPECT_FALSE(value.keyEqual(prefix.data(), static_cast<unsigned>(n), true)) << n;
        }
    }
    EXPECT_TRUE(value.keyEqual(keysOnly));
    EXPECT_TRUE(value.keyEqual(sample.data(), static_cast<unsigned>(sample.size())));
    for (std::size_t n = 0; n < sample.size(); ++n) {
        const Bytes prefix(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(value.keyEqual(prefix.data(), static_cast<unsigned>(n), false)) << n;
    }

    // Any one key changed: no form of keyEqual holds, and the hash differs.
    for (std::size_t c = 0; c < shape.changes.size(); ++c) {
        SCOPED_TRACE("key " + std::to_string(c) + " changed");
        T other = value;
        shape.changes[c](other);
        EXPECT_FALSE(other.keyEqual(value));
        EXPECT_FALSE(value.keyEqual(other));
        EXPECT_FALSE(other.keyHash() == value.keyHash());
        for (bool bigEndian : {false, true}) {
            const Bytes bytes = referenceKey(shape, value, bigEndian);
            EXPECT_FALSE(other.keyEqual(bytes.data(), static_cast<unsigned>(bytes.size()), true));
        }
        EXPECT_FALSE(other.keyEqual(sample.data(), static_cast<unsigned>(sample.size())));
        const Bytes otherSample = packed(other);
        EXPECT_FALSE(T::keyEqual(key.data(), static_cast<unsigned>(key.size()), otherSample.data(),
                                 static_cast<unsigned>(otherSample.size()), false));
        EXPECT_FALSE(T::keyEqual(key.data(), static_cast<unsigned>(key.size()),
                                 packedKey(other).data(),
                                 static_cast<unsigned>(packedKey(other).size()), true));
    }
}

// getKeyPos of a variable-size topic: the slices of the packed sample it names are the keys'
// own packed bytes.
template <class T>
void expectKeyPositions(const T& value,
                        const std::vector<std::function<void(ReferenceWriter&)>>& keys) {
    const Bytes sample = packed(value);
    const auto positions = getKeyPos(value);
    ASSERT_EQ(keys.size(), positions.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ReferenceWriter w(false);
        keys[i](w);
        const Bytes& own = w.data();
        ASSERT_EQ(own.size(), positions[i].second) << i;
        ASSERT_LE(4u + positions[i].first + positions[i].second, sample.size()) << i;
        const Bytes slice(sample.begin() + 4 + positions[i].first,
                          sample.begin() + 4 + positions[i].first + positions[i].second);
        EXPECT_EQ(own, slice) << i;
    }
}

#define KEY(member) [](ReferenceWriter& w, const auto& x) { w.put(x.m_##member); }

Header header(int32_t id, uint16_t seq) {
    Header h;
    h.m_id = id;
    h.m_seq = seq;
    return h;
}

TEST(KeyFunctions, FixedKeysOfEveryHashForm) {
    KeyDirect direct;
    direct.m_a = 0x01020304;
    direct.m_b = 0x0506;
    direct.m_v = 2.5;
    expectKeyFunctions<KeyDirect>(
        {[](ReferenceWriter& w, const KeyDirect& x) { w.put(x.m_a), w.put(x.m_b); },
         {[](KeyDirect& x) { x.m_a = -x.m_a; }, [](KeyDirect& x) { x.m_b = 7; }},
         [](KeyDirect& to, const KeyDirect& from) { to.m_a = from.m_a, to.m_b = from.m_b; },
         true},
        direct);

    Key16 k16;
    k16.m_x = -2;
    k16.m_y = 3;
    k16.m_z = 0x7FFFFFFF;
    k16.m_note = "примечание";
    expectKeyFunctions<Key16>(
        {[](ReferenceWriter& w, const Key16& x) { w.put(x.m_x), w.put(x.m_y), w.put(x.m_z); },
         {[](Key16& x) { x.m_x = 2; }, [](Key16& x) { x.m_y = 0; }, [](Key16& x) { x.m_z = 1; }},
         [](Key16& to, const Key16& from) {
             to.m_x = from.m_x, to.m_y = from.m_y, to.m_z = from.m_z;
         },
         true},
        k16);

    Key17 k17;
    k17.m_x = 1;
    k17.m_y = -1;
    k17.m_c = 0xEE;
    k17.m_f = 0.5f;
    expectKeyFunctions<Key17>(
        {[](ReferenceWriter& w, const Key17& x) { w.put(x.m_x), w.put(x.m_y), w.put(x.m_c); },
         {[](Key17& x) { x.m_x = 0; }, [](Key17& x) { x.m_y = 5; }, [](Key17& x) { x.m_c = 0; }},
         [](Key17& to, const Key17& from) {
             to.m_x = from.m_x, to.m_y = from.m_y, to.m_c = from.m_c;
         },
         false},
        k17);

    KeyWide wide;
    wide.m_id = 9;
    wide.m_w = L'Ж';
    wide.m_w2 = L'z';
    wide.m_v = -3;
    expectKeyFunctions<KeyWide>(
        {[](ReferenceWriter& w, const KeyWide& x) { w.put(x.m_id), w.put(x.m_w), w.put(x.m_w2); },
         {[](KeyWide& x) { x.m_id = 8; }, [](KeyWide& x) { x.m_w = L'ж'; },
          [](KeyWide& x) { x.m_w2 = L'Z'; }},
         [](KeyWide& to, const KeyWide& from) {
             to.m_id = from.m_id, to.m_w = from.m_w, to.m_w2 = from.m_w2;
         },
         false},
        wide);

    KeyBool flag;
    flag.m_flag = true;
    flag.m_rest = 12;
    expectKeyFunctions<KeyBool>({KEY(flag),
                                 {[](KeyBool& x) { x.m_flag = false; }},
                                 [](KeyBool& to, const KeyBool& from) { to.m_flag = from.m_flag; },
                                 true},
                                flag);

    KeyHuge huge;
    huge.m_h = -1.0e300L;
    huge.m_rest = 4;
    expectKeyFunctions<KeyHuge>({KEY(h),
                                 {[](KeyHuge& x) { x.m_h = 1.0e300L; }},
                                 [](KeyHuge& to, const KeyHuge& from) { to.m_h = from.m_h; },
                                 true},
                                huge);

    KeyOdd odd;
    odd.m_flag = true;
    odd.m_huge = 0.1L;
    odd.m_pad = 5;
    expectKeyFunctions<KeyOdd>(
        {[](ReferenceWriter& w, const KeyOdd& x) { w.put(x.m_flag), w.put(x.m_huge); },
         {[](KeyOdd& x) { x.m_flag = false; }, [](KeyOdd& x) { x.m_huge = 0.2L; }},
         [](KeyOdd& to, const KeyOdd& from) { to.m_flag = from.m_flag, to.m_huge = from.m_huge; },
         false},
        odd);

    KeyedFixed keyedFixed;
    keyedFixed.m_id = -77;
    keyedFixed.m_pair.m_x = 3;
    keyedFixed.m_point.m_y = 1.5;
    expectKeyFunctions<KeyedFixed>(
        {KEY(id),
         {[](KeyedFixed& x) { x.m_id = 77; }},
         [](KeyedFixed& to, const KeyedFixed& from) { to.m_id = from.m_id; },
         true},
        keyedFixed);
}

// The direct forms written out: big-endian key bytes, the rest of the 16 bytes zero.
TEST(KeyFunctions, DirectHashesAreTheBigEndianKey) {
    KeyDirect direct;
    direct.m_a = 0x01020304;
    direct.m_b = 0x0506;
    const vexa::dds::KeyHash_t a = direct.keyHash();
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes(a.hash, a.hash + 16));
    KeyBool flag;
    flag.m_flag = true;
    const vexa::dds::KeyHash_t b = flag.keyHash();
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes(b.hash, b.hash + 16));
    // A Float128 key is its 10 value bytes (big-endian at the end) and 6 zeros, whatever the
    // padding bytes in memory hold.
    KeyHuge huge;
    std::memset(&huge.m_h, 0xAB, sizeof huge.m_h);
    huge.m_h = 1.0L;
    const vexa::dds::KeyHash_t h = huge.keyHash();
    EXPECT_EQ((Bytes{0, 0, 0, 0, 0, 0, 0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}),
              Bytes(h.hash, h.hash + 16));
    Key16 k16;
    k16.m_x = 0x0102030405060708LL;
    k16.m_y = 0x090A0B0C;
    k16.m_z = 0x0D0E0F10;
    const vexa::dds::KeyHash_t k = k16.keyHash();
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
              Bytes(k.hash, k.hash + 16));
}

TEST(KeyFunctions, VariableKeysEnumerationsArraysAndPaths) {
    const KeyShape<KeyStringFirst> stringFirst = {
        [](ReferenceWriter& w, const KeyStringFirst& x) { w.put(x.m_name), w.put(x.m_id); },
        {[](KeyStringFirst& x) { x.m_name = "второй"; }, [](KeyStringFirst& x) { x.m_id = 43; }},
        [](KeyStringFirst& to, const KeyStringFirst& from) {
            to.m_name = from.m_name, to.m_id = from.m_id;
        },
        false};
    KeyStringFirst first;
    first.m_name = "первый";
    first.m_id = 42;
    first.m_v = -1;
    expectKeyFunctions(stringFirst, first);
    // A key of more than 256 packed bytes is hashed from the heap.
    first.m_name.assign(300, 'k');
    expectKeyFunctions(stringFirst, first);

    KeyForeign foreign;
    foreign.m_pad = 1;
    foreign.m_name = "foreign";
    expectKeyFunctions<KeyForeign>(
        {KEY(name),
         {[](KeyForeign& x) { x.m_name = ""; }},
         [](KeyForeign& to, const KeyForeign& from) { to.m_name = from.m_name; },
         false},
        foreign);

    KeyEnum colors;
    colors.m_color = Color::GREEN;
    colors.m_alias = Color::RED;
    colors.m_text = "t";
    expectKeyFunctions<KeyEnum>(
        {[](ReferenceWriter& w, const KeyEnum& x) { w.put(x.m_color), w.put(x.m_alias); },
         {[](KeyEnum& x) { x.m_color = Color::RED; }, [](KeyEnum& x) { x.m_alias = Color::GREEN; }},
         [](KeyEnum& to, const KeyEnum& from) {
             to.m_color = from.m_color, to.m_alias = from.m_alias;
         },
         true},
        colors);

    KeyArray array;
    array.m_grid = {{{1, -2, 3}, {-4, 5, 0x7FFF}}};
    array.m_name = "grid";
    expectKeyFunctions<KeyArray>(
        {KEY(grid),
         {[](KeyArray& x) { x.m_grid[1][2] = 6; }},
         [](KeyArray& to, const KeyArray& from) { to.m_grid = from.m_grid; },
         false},
        array);

    KeyPath path;
    path.m_hdr = header(-5, 9);
    path.m_body = "body";
    expectKeyFunctions<KeyPath>(
        {[](ReferenceWriter& w, const KeyPath& x) { w.put(x.m_hdr.m_id); },
         {[](KeyPath& x) { x.m_hdr.m_id = 5; }},
         [](KeyPath& to, const KeyPath& from) { to.m_hdr.m_id = from.m_hdr.m_id; },
         true},
        path);

    KeyWorked worked;
    worked.m_id = 1;
    worked.m_name = "name";
    worked.m_code = 0xBEEF;
    worked.m_extra = 3.5;
    expectKeyFunctions<KeyWorked>(
        {[](ReferenceWriter& w, const KeyWorked& x) {
             w.put(x.m_id), w.put(x.m_name), w.put(x.m_code);
         },
         {[](KeyWorked& x) { x.m_id = 2; }, [](KeyWorked& x) { x.m_name = "Name"; },
          [](KeyWorked& x) { x.m_code = 0; }},
         [](KeyWorked& to, const KeyWorked& from) {
             to.m_id = from.m_id, to.m_name = from.m_name, to.m_code = from.m_code;
         },
         false},
        worked);

    KeyShape<KeyBehind> behind{
        [](ReferenceWriter& w, const KeyBehind& x) {
            w.put(x.m_label), w.put(x.m_hdr.m_id), w.put(x.m_code);
        },
        {[](KeyBehind& x) { x.m_label = "other"; }, [](KeyBehind& x) { x.m_hdr.m_id = 0; },
         [](KeyBehind& x) { x.m_code = 1; }},
        [](KeyBehind& to, const KeyBehind& from) {
            to.m_label = from.m_label, to.m_hdr.m_id = from.m_hdr.m_id, to.m_code = from.m_code;
        },
        false};
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty sequence" : "full sequence");
        KeyBehind b;
        b.m_name = "abc";
        if (!empty) {
            b.m_longs = {INT64_MIN, 1};
        }
        b.m_hdr = header(0x11223344, 3);
        b.m_code = 0x5566;
        b.m_label = "label";
        expectKeyFunctions(behind, b);
    }

    Sample sample;
    sample.m_id = 3;
    sample.m_mode = Mode::RUN;
    sample.m_points = {Shapes::Point()};
    expectKeyFunctions<Sample>({KEY(id),
                                {[](Sample& x) { x.m_id = 4; }},
                                [](Sample& to, const Sample& from) { to.m_id = from.m_id; },
                                true},
                               sample);
}

TEST(KeyFunctions, KeyPositionsAreTheKeysPackedBytesInTheSample) {
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty sequence" : "full sequence");
        KeyBehind b;
        b.m_name = "ab";
        if (!empty) {
            b.m_longs = {7};
        }
        b.m_hdr = header(-1, 2);
        b.m_code = 0x0102;
        b.m_label = "lbl";
        // Keys listed out of member order, after a string and a sequence of Int64.
        expectKeyPositions(b, {[&b](ReferenceWriter& w) { w.put(b.m_label); },
                               [&b](ReferenceWriter& w) { w.put(b.m_hdr.m_id); },
                               [&b](ReferenceWriter& w) { w.put(b.m_code); }});
    }
    KeyWorked worked;
    worked.m_id = 7;
    worked.m_name = "seven";
    worked.m_code = 77;
    expectKeyPositions(worked, {[&worked](ReferenceWriter& w) { w.put(worked.m_id); },
                                [&worked](ReferenceWriter& w) { w.put(worked.m_name); },
                                [&worked](ReferenceWriter& w) { w.put(worked.m_code); }});
    KeyStringFirst first;
    first.m_name = "x";
    first.m_id = 1;
    expectKeyPositions(first, {[&first](ReferenceWriter& w) { w.put(first.m_name); },
                               [&first](ReferenceWriter& w) { w.put(first.m_id); }});
    // Keys in the fixed prefix only: constant pairs.
    Key16 k16;
    k16.m_note = "n";
    expectKeyPositions(k16, {[&k16](ReferenceWriter& w) { w.put(k16.m_x); },
                             [&k16](ReferenceWriter& w) { w.put(k16.m_y); },
                             [&k16](ReferenceWriter& w) { w.put(k16.m_z); }});
    KeyPath path;
    path.m_hdr = header(12, 13);
    expectKeyPositions(path, {[&path](ReferenceWriter& w) { w.put(path.m_hdr.m_id); }});
    // A nested key before its structure's string, and keys two levels down around strings.
    KeyNestedFirst nested;
    nested.m_hdr.m_id = 21;
    nested.m_hdr.m_name = "nested";
    nested.m_v = 0.5;
    expectKeyPositions(nested, {[&nested](ReferenceWriter& w) { w.put(nested.m_hdr.m_id); }});
    KeyTwoLevels deep;
    deep.m_flag = 1;
    deep.m_env.m_inner.m_id = 31;
    deep.m_env.m_inner.m_name = "in";
    deep.m_env.m_note = "note";
    deep.m_env.m_code = 0x0304;
    expectKeyPositions(deep, {[&deep](ReferenceWriter& w) { w.put(deep.m_env.m_code); },
                              [&deep](ReferenceWriter& w) { w.put(deep.m_env.m_inner.m_id); }});
}

// A Boolean key byte other than 0 and 1 from the network reads as true in both key readers,
// read inline (native prefix) and through the runtime (big-endian).
TEST(KeyFunctions, BooleanKeyByteTwoReadsAsTrue) {
    auto check = [](const auto& value, auto keys) {
        using T = std::decay_t<decltype(value)>;
        for (bool bigEndian : {false, true}) {
            ReferenceWriter w(bigEndian);
            keys(w, value);
            Bytes key = w.sample();
            key[4] = 2;
            T read;
            ASSERT_TRUE(read.unpackKey(key.data(), static_cast<unsigned>(key.size())));
            EXPECT_TRUE(read.m_flag);
            EXPECT_TRUE(value.keyEqual(key.data(), static_cast<unsigned>(key.size()), true));
        }
    };
    KeyBool flag;
    flag.m_flag = true;
    check(flag, [](ReferenceWriter& w, const KeyBool& x) { w.put(x.m_flag); });
    KeyOdd odd;
    odd.m_flag = true;
    odd.m_huge = 0.25L;
    check(odd, [](ReferenceWriter& w, const KeyOdd& x) { w.put(x.m_flag), w.put(x.m_huge); });
}

// lenPacked() of variable topics is what pack writes, for full and empty containers of every
// element size, a sequence of arrays, a map of structures, a union, a 3x4 array of doubles
// and an array of sequences; maxlenPacked() is 0.
TEST(KeyFunctions, VariableLengthsAreWhatPackWrites) {
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty" : "full");
        Lengths t;
        t.m_i = -1;
        t.m_d = 0.5;
        t.m_grid[2][3] = 1.0;
        t.m_choice.count(3);
        if (!empty) {
            t.m_s = "s";
            t.m_shorts = {1, 2, 3};
            t.m_longs = {4};
            t.m_huges = {1.0L, 2.0L};
            t.m_pairs = {{{1.0, 2.0}}, {{3.0, 4.0}}};
            Shapes::Point p;
            p.m_x = 1;
            t.m_byText = {{"k", p}};
            t.m_intsRow[1] = {5, 6};
            t.m_choice.point(p);
        }
        expectRoundTrip(t);
        EXPECT_EQ(0u, Lengths::maxlenPacked());
        // Off every alignment the prefix could leave: the string makes the rest start anywhere.
        for (const char* text : {"", "a", "ab", "abc", "abcdefg"}) {
            t.m_s = text;
            EXPECT_EQ(packed(t).size(), t.lenPacked()) << text;
        }
        // The length helpers of sequences of simple elements, which generated code measures
        // inline, written for applications: they end where the sequence ends, from any start.
        for (unsigned start : {0u, 1u, 3u, 5u}) {
            auto end = [start](const auto& sequence) {
                ReferenceWriter w(false);
                for (unsigned i = 0; i < start; ++i) {
                    w.put(static_cast<uint8_t>(0));
                }
                w.put(sequence);
                return static_cast<unsigned>(w.data().size());
            };
            EXPECT_EQ(end(t.m_shorts), ModelTOPICS::lenPacked(t.m_shorts, start)) << start;
            EXPECT_EQ(end(t.m_longs), ModelTOPICS::lenPacked(t.m_longs, start)) << start;
            EXPECT_EQ(end(t.m_huges), ModelTOPICS::lenPacked(t.m_huges, start)) << start;
        }
    }
    EXPECT_EQ(0u, KeyedVariable::maxlenPacked());
    EXPECT_EQ(0u, KeyBehind::maxlenPacked());
}

}  // namespace
