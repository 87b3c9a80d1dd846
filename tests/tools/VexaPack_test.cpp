#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "vexa_pack.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kUntouched = 0xEE;

// "04 00 61 .." -> bytes; ".." stands for a byte the packer must not write.
Bytes hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        out.push_back(item == ".." ? kUntouched
                                   : static_cast<uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return out;
}

enum class Order { Plain, Swapped };

struct PackCase {
    const char* name;
    std::function<unsigned(void* buf, unsigned len)> pack;
    unsigned len;
    const char* bytes;  // the whole buffer afterwards
    unsigned result;
};

// Layouts from first principles: count words, terminators, alignment gaps written as zeros,
// the byte order of the "CH" forms, and what a value that does not fit leaves behind.
TEST(VexaPackLayout, PackedBytesAreExact) {
    using namespace VEXA_PACK;
    const std::string abc = "abc";
    const PackCase cases[] = {
        {"string at 0", [&](void* b, unsigned l) { return pack(abc, b, 0, l); }, 8,
         "04 00 00 00 61 62 63 00", 8},
        {"string CH at 0", [&](void* b, unsigned l) { return packCH(abc, b, 0, l); }, 8,
         "00 00 00 04 61 62 63 00", 8},
        {"string at 1 does not fit", [&](void* b, unsigned l) { return pack(abc, b, 1, l); }, 8,
         ".. .. .. .. .. .. .. ..", 0},
        {"empty string", [](void* b, unsigned l) { return pack(std::string(), b, 0, l); }, 6,
         "01 00 00 00 00 ..", 5},
        {"empty wide string", [](void* b, unsigned l) { return pack(std::wstring(), b, 0, l); }, 5,
         "00 00 00 00 ..", 4},
        {"wide string at 2", [](void* b, unsigned l) { return pack(std::wstring(L"ab"), b, 2, l); },
         16, ".. .. 00 00 08 00 00 00 61 00 00 00 62 00 00 00", 16},
        {"wide string CH",
         [](void* b, unsigned l) { return packCH(std::wstring(L"a\x0416"), b, 0, l); }, 12,
         "00 00 00 08 00 00 00 61 00 00 04 16", 12},
        {"wchar_t at 5", [](void* b, unsigned l) { return packPrimitive(L'\x0416', b, 5, l); }, 12,
         ".. .. .. .. .. 00 00 00 16 04 00 00", 12},
        {"wchar_t CH at 5", [](void* b, unsigned l) { return packPrimitiveCH(L'\x0416', b, 5, l); },
         12, ".. .. .. .. .. 00 00 00 00 00 04 16", 12},
        {"uint8_t is not aligned",
         [](void* b, unsigned l) { return packPrimitive(uint8_t(0x7F), b, 3, l); }, 5,
         ".. .. .. 7f ..", 4},
        {"uint16_t at 1",
         [](void* b, unsigned l) { return packPrimitive(uint16_t(0x0102), b, 1, l); }, 4,
         ".. 00 02 01", 4},
        {"uint32_t CH at 2",
         [](void* b, unsigned l) { return packPrimitiveCH(uint32_t(0x01020304), b, 2, l); }, 8,
         ".. .. 00 00 01 02 03 04", 8},
        {"double at 4", [](void* b, unsigned l) { return packPrimitive(1.0, b, 4, l); }, 16,
         ".. .. .. .. 00 00 00 00 00 00 00 00 00 00 f0 3f", 16},
        {"double does not fit", [](void* b, unsigned l) { return packPrimitive(1.0, b, 4, l); }, 15,
         ".. .. .. .. .. .. .. .. .. .. .. .. .. .. ..", 0},
        {"bool", [](void* b, unsigned l) { return packPrimitive(true, b, 1, l); }, 2, ".. 01", 2},
        {"bools",
         [](void* b, unsigned l) {
             return pack(std::vector<bool>{true, false, true}, b, 1, l);
         },
         12, ".. 00 00 00 03 00 00 00 01 00 01 ..", 11},
        {"bools CH",
         [](void* b, unsigned l) {
             return packCH(std::vector<bool>{false, true}, b, 0, l);
         },
         6, "00 00 00 02 00 01", 6},
        {"doubles: first element aligned to 8",
         [](void* b, unsigned l) { return pack(std::vector<double>{-2.0}, b, 0, l); }, 16,
         "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 c0", 16},
        {"int16_t CH sequence",
         [](void* b, unsigned l) {
             return packCH(std::vector<int16_t>{1, -2}, b, 0, l);
         },
         8, "00 00 00 02 00 01 ff fe", 8},
        {"empty sequence", [](void* b, unsigned l) { return pack(std::vector<double>{}, b, 2, l); },
         9, ".. .. 00 00 00 00 00 00 ..", 8},
        {"strings: each aligned on its own",
         [](void* b, unsigned l) {
             return pack(std::vector<std::string>{"a", ""}, b, 0, l);
         },
         17, "02 00 00 00 02 00 00 00 61 00 00 00 01 00 00 00 00", 17},
        {"wide strings CH",
         [](void* b, unsigned l) {
             return packCH(std::vector<std::wstring>{L"", L"z"}, b, 0, l);
         },
         16, "00 00 00 02 00 00 00 00 00 00 00 04 00 00 00 7a", 16},
        {"array has no count",
         [](void* b, unsigned l) {
             return pack(std::array<int16_t, 3>{1, 2, 3}, b, 1, l);
         },
         8, ".. 00 01 00 02 00 03 00", 8},
        {"two-dimensional array CH",
         [](void* b, unsigned l) {
             return packCH(std::array<std::array<uint16_t, 2>, 2>{{{1, 2}, {3, 4}}}, b, 0, l);
         },
         8, "00 01 00 02 00 03 00 04", 8},
        {"enumeration as its underlying integer",
         [](void* b, unsigned l) {
             enum class Color : int32_t { Red = 1, Blue = 0x0A0B };
             return packPrimitive(Color::Blue, b, 1, l);
         },
         8, ".. 00 00 00 0b 0a 00 00", 8},
    };
    for (const PackCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes buf(c.len, kUntouched);
        EXPECT_EQ(c.pack(buf.data(), c.len), c.result);
        EXPECT_EQ(buf, hex(c.bytes));
    }
}

TEST(VexaPackLayout, HeaderAndAlignmentCountFromTheFirstDataByte) {
    using namespace VEXA_PACK;
    Bytes buf(64, kUntouched);
    const unsigned lenbuf = pack(ex_CDR_HEADER_LE, buf.data(), 64);
    ASSERT_EQ(lenbuf, 60u);
    uint8_t* data = buf.data() + 4;
    // One byte, then a double: it lands at data offset 8, absolute offset 12.
    unsigned pos = packPrimitive(uint8_t(9), data, 0, lenbuf);
    pos = packPrimitive(2.5, data, pos, lenbuf);
    EXPECT_EQ(pos, 16u);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 20),
              hex("00 01 00 00 09 00 00 00 00 00 00 00 00 00 00 00 00 00 04 40"));

    CDR_HEADER header{};
    ASSERT_EQ(unpack(header, buf.data(), 64), 60u);
    EXPECT_EQ(header.Encapsulation, EnEncapsulation::CDR_LE);
    uint8_t small = 0;
    double d = 0;
    pos = unpackPrimitive(small, data, 0, lenbuf);
    pos = unpackPrimitive(d, data, pos, lenbuf);
    EXPECT_EQ(pos, 16u);
    EXPECT_EQ(small, 9);
    EXPECT_EQ(d, 2.5);

    EnEncapsulation id = CDR_BE;
    EXPECT_EQ(unpuckEncapsulationSchemeIdentifier(id, buf.data(), 2), 4u);
    EXPECT_EQ(id, CDR_LE);
    EXPECT_EQ(puckEncapsulationSchemeIdentifier(buf.data(), 2), 4u);
    EXPECT_EQ(puckEncapsulationSchemeIdentifier(buf.data(), 1), 0u);
    EXPECT_EQ(unpuckEncapsulationSchemeIdentifier(id, buf.data(), 1), 0u);
}

TEST(VexaPackLayout, HeaderNeedsFourBytes) {
    using namespace VEXA_PACK;
    Bytes buf(4, kUntouched);
    EXPECT_EQ(pack(ex_CDR_HEADER_LE, buf.data(), 3), 0u);
    EXPECT_EQ(buf, hex(".. .. .. .."));
    EXPECT_EQ(pack(ex_CDR_HEADER_LE, buf.data(), 100), 96u);
    CDR_HEADER header{CDR_LE, {7, 7}};
    EXPECT_EQ(unpack(header, buf.data(), 3), 0u);
    EXPECT_EQ(header.Options[0], 7);
}

struct PositionCase {
    const char* name;
    unsigned got;
    unsigned want;
};

TEST(VexaPackLayout, PositionArithmetic) {
    using namespace VEXA_PACK;
    Bytes two(8, 0);
    uint32_t count = 2;
    std::memcpy(two.data(), &count, 4);
    Bytes twoBE = hex("00 00 00 02");
    twoBE.resize(32, 0);
    const PositionCase cases[] = {
        {"lenPacked size 1 ignores alignment", lenPacked(3, 8, 1), 4},
        {"lenPacked aligns", lenPacked(5, 8, 2), 10},
        {"lenPacked alignment 1", lenPacked(3, 1, 4), 7},
        {"lenPackedPrim", lenPackedPrim(3, 8), 16},
        {"lenPackedPrim size 1", lenPackedPrim(3, 1), 4},
        {"lenPackedVct", lenPackedVct(1, 8, 2), 24},
        {"lenPackedVct empty ends after the count", lenPackedVct(0, 8, 0), 4},
        {"lenPackedVct empty bytes", lenPackedVct(0, 1, 0), 4},
        {"lenPacked string", lenPacked(std::string("abc"), 1), 12},
        {"lenPacked wide string", lenPacked(std::wstring(L"ab"), 1), 16},
        {"lenPacked strings", lenPacked(std::vector<std::string>{"a", ""}, 0), 17},
        {"lenPacked wide strings", lenPacked(std::vector<std::wstring>{L"", L"z"}, 0), 16},
        {"nextPrimitivePr", nextPrimitivePr(8, 1), 16},
        {"nextARR_Pr", nextARR_Pr(4, 3, 1), 16},
        {"nextPrimitive<8>", nextPrimitive<8>(1, 16), 16},
        {"nextPrimitive<8> past the end", nextPrimitive<8>(1, 15), 0},
        {"nextPrimitive<1>", nextPrimitive<1>(3, 4), 4},
        {"nextPrimitive<1> past the end", nextPrimitive<1>(4, 4), 0},
        {"nextARR", nextARR<4, 3>(1, 16), 16},
        {"nextARR past the end", nextARR<4, 3>(1, 15), 0},
        {"nextPrimitiveVCT_Pr", nextPrimitiveVCT_Pr(8, two.data(), 0, 24, CDR_LE), 24},
        {"nextPrimitiveVCT_Pr past the end", nextPrimitiveVCT_Pr(8, two.data(), 0, 23, CDR_LE), 0},
        {"nextPrimitiveVCT_Pr big-endian count",
         nextPrimitiveVCT_Pr(2, twoBE.data(), 0, 32, CDR_BE), 8},
        {"nextPrimitiveVCTCH<8>", nextPrimitiveVCTCH<8>(twoBE.data(), 0, 32), 24},
    };
    for (const PositionCase& c : cases) {
        EXPECT_EQ(c.got, c.want) << c.name;
    }
}

// The length of a sequence of primitives is exactly what pack writes, for every element size
// and start offset; an empty one ends after its count word, with no gap for an element.
template <class T>
void expectSequenceLengths(unsigned start) {
    for (unsigned count : {0u, 1u, 3u}) {
        SCOPED_TRACE(testing::Message()
                     << sizeof(T) << "-byte elements, " << count << " at " << start);
        const std::vector<T> v(count);
        Bytes buf(128, kUntouched);
        const unsigned end = VEXA_PACK::pack(v, buf.data(), start, 128);
        ASSERT_NE(0u, end);
        EXPECT_EQ(end, VEXA_PACK::lenPackedVct(start, sizeof(T), count));
    }
}

TEST(VexaPackLayout, SequenceLengthIsWhatPackWrites) {
    for (unsigned start = 0; start < 16; ++start) {
        expectSequenceLengths<uint8_t>(start);
        expectSequenceLengths<int16_t>(start);
        expectSequenceLengths<float>(start);
        expectSequenceLengths<double>(start);
        expectSequenceLengths<long double>(start);
    }
}

TEST(VexaPackLayout, ChangeEndianReversesInPlace) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"01", "01"},
        {"01 02", "02 01"},
        {"01 02 03", "03 02 01"},
        {"01 02 03 04 05 06 07 08", "08 07 06 05 04 03 02 01"}};
    for (const auto& c : cases) {
        Bytes b = hex(c.first);
        VEXA_PACK::changeENDIAN(b.data(), static_cast<unsigned>(b.size()));
        EXPECT_EQ(b, hex(c.second)) << c.first;
    }
    uint32_t v = 0x01020304;
    VEXA_PACK::changeENDIAN(v);
    EXPECT_EQ(v, 0x04030201u);
}

TEST(VexaPackLayout, WideTextKeepsTheLow16Bits) {
    using VEXA_PACK::myUTF32_To_WSTRING;
    using VEXA_PACK::myWSTRING_To_UTF32;
    const std::wstring text = L"A\x0416\U0001F600";
    EXPECT_EQ(myWSTRING_To_UTF32(text, false), (std::u32string{0x41, 0x0416, 0xF600}));
    EXPECT_EQ(myWSTRING_To_UTF32(text, true), (std::u32string{0x41000000, 0x16040000, 0x00F60000}));
    const std::wstring bmp = L"A\x0416\xF600";
    EXPECT_EQ(myUTF32_To_WSTRING(myWSTRING_To_UTF32(text, false), false), bmp);
    EXPECT_EQ(myUTF32_To_WSTRING(myWSTRING_To_UTF32(text, true), true), bmp);
}

// ---- Round trips of every runtime type, in both byte orders and at every start offset ----

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {
    using Element = T;
};
template <class T>
struct IsArray : std::false_type {};
template <class T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};
template <class T>
struct ArrayScalar {
    using type = T;
};
template <class T, std::size_t N>
struct ArrayScalar<std::array<T, N>> : ArrayScalar<T> {};

template <class T>
constexpr bool isScalar() {
    return std::is_arithmetic<T>::value || std::is_enum<T>::value;
}
template <class T>
constexpr bool isScalarVector() {
    if constexpr (IsVector<T>::value) {
        return isScalar<typename IsVector<T>::Element>();
    }
    return false;
}
template <class T>
constexpr bool isText() {
    return std::is_same<T, std::string>::value || std::is_same<T, std::wstring>::value;
}
template <class T>
constexpr bool isTextVector() {
    if constexpr (IsVector<T>::value) {
        return isText<typename IsVector<T>::Element>();
    }
    return false;
}

// The names generated code calls for each kind of value.
template <class T>
unsigned packAs(const T& v, void* b, unsigned p, unsigned l, Order o) {
    using namespace VEXA_PACK;
    if constexpr (isScalar<T>()) {
        return o == Order::Plain ? packPrimitive(v, b, p, l) : packPrimitiveCH(v, b, p, l);
    } else {
        return o == Order::Plain ? pack(v, b, p, l) : packCH(v, b, p, l);
    }
}

template <class T>
unsigned unpackAs(T& v, const void* b, unsigned p, unsigned l, Order o) {
    using namespace VEXA_PACK;
    if constexpr (isScalar<T>() || isScalarVector<T>()) {
        return o == Order::Plain ? unpackPrimitive(v, b, p, l) : unpackPrimitiveCH(v, b, p, l);
    } else {
        return o == Order::Plain ? unpack(v, b, p, l) : unpackCH(v, b, p, l);
    }
}

// Every skip form that serves the type, each expected to land where unpack landed.
template <class T>
std::vector<unsigned> skipAs(const T& v, const void* b, unsigned p, unsigned l, Order o) {
    using namespace VEXA_PACK;
    const bool plain = o == Order::Plain;
    if constexpr (isScalar<T>()) {
        return {nextPrimitive<sizeof(T)>(p, l),
                plain ? nextPrimitive(v, b, p, l) : nextPrimitiveCH(v, b, p, l)};
    } else if constexpr (isText<T>()) {
        return {plain ? nextSTR(b, p, l) : nextSTRCH(b, p, l),
                plain ? next(v, b, p, l) : nextCH(v, b, p, l),
                plain ? nextPrimitive(v, b, p, l) : nextPrimitiveCH(v, b, p, l)};
    } else if constexpr (isTextVector<T>()) {
        return {plain ? nextVCTSTR(b, p, l) : nextVCTSTRCH(b, p, l),
                plain ? next(v, b, p, l) : nextCH(v, b, p, l)};
    } else if constexpr (isScalarVector<T>()) {
        constexpr unsigned size = sizeof(typename IsVector<T>::Element);
        return {plain ? nextPrimitiveVCT<size>(b, p, l) : nextPrimitiveVCTCH<size>(b, p, l)};
    } else {
        using S = typename ArrayScalar<T>::type;
        return {nextARR<sizeof(S), sizeof(T) / sizeof(S)>(p, l)};
    }
}

// The length forms generated length code uses; 0 when none serves the value.
template <class T>
unsigned lengthOf(const T& v, unsigned p) {
    using namespace VEXA_PACK;
    if constexpr (isScalar<T>()) {
        return lenPackedPrim(p, sizeof(T));
    } else if constexpr (isText<T>() || isTextVector<T>()) {
        return lenPacked(v, p);
    } else if constexpr (isScalarVector<T>()) {
        return lenPackedVct(p, sizeof(v[0]), static_cast<unsigned>(v.size()));
    } else {
        using S = typename ArrayScalar<T>::type;
        return lenPacked(p, sizeof(S), sizeof(T));
    }
}

template <class T>
bool compareAs(const T& v, const void* b, unsigned& p, unsigned l, Order o) {
    using namespace VEXA_PACK;
    const bool plain = o == Order::Plain;
    if constexpr (isScalar<T>()) {
        return plain ? comparePrimitive(v, b, p, l) : comparePrimitiveCH(v, b, p, l);
    } else if constexpr (isText<T>()) {
        return plain ? compare(v, b, p, l) : compareCH(v, b, p, l);
    } else {
        using S = typename ArrayScalar<T>::type;
        constexpr std::size_t n = sizeof(T) / sizeof(S);
        return plain ? compareArr<S, n>(v.data(), b, p, l) : compareArrCH<S, n>(v.data(), b, p, l);
    }
}

template <class T>
constexpr bool hasCompare() {
    return isScalar<T>() || isText<T>() || IsArray<T>::value;
}

template <class T>
void expectRoundTrip(const T& value) {
    for (Order order : {Order::Plain, Order::Swapped}) {
        for (unsigned start = 0; start < 8; ++start) {
            SCOPED_TRACE(testing::Message()
                         << (order == Order::Plain ? "plain" : "CH") << " at " << start);
            Bytes buf(512, kUntouched);
            const unsigned end = packAs(value, buf.data(), start, 512, order);
            ASSERT_NE(end, 0u);
            if (const unsigned expected = lengthOf(value, start)) {
                EXPECT_EQ(end, expected) << "length function disagrees with pack";
            }

            T out{};
            EXPECT_EQ(unpackAs(out, buf.data(), start, end, order), end);
            EXPECT_TRUE(out == value);
            for (unsigned skipped : skipAs(value, buf.data(), start, end, order)) {
                EXPECT_EQ(skipped, end);
            }
            if constexpr (hasCompare<T>()) {
                unsigned pos = start;
                EXPECT_TRUE(compareAs(value, buf.data(), pos, end, order));
                EXPECT_EQ(pos, end);
            }

            // One byte short: refused by every form.
            T keep{};
            EXPECT_EQ(unpackAs(keep, buf.data(), start, end - 1, order), 0u);
            for (unsigned skipped : skipAs(value, buf.data(), start, end - 1, order)) {
                EXPECT_EQ(skipped, 0u);
            }
            if constexpr (hasCompare<T>()) {
                unsigned pos = start;
                EXPECT_FALSE(compareAs(value, buf.data(), pos, end - 1, order));
            }
            Bytes short_buf(512, kUntouched);
            EXPECT_EQ(packAs(value, short_buf.data(), start, end - 1, order), 0u);
        }
    }
}

enum class Small : uint8_t { A = 1, B = 200 };
enum Wide64 : int64_t { Far = -0x0102030405060708LL };

TEST(VexaPackRoundTrip, Primitives) {
    expectRoundTrip(uint8_t(0xA5));
    expectRoundTrip(char('z'));
    expectRoundTrip(true);
    expectRoundTrip(false);
    expectRoundTrip(int16_t(-12345));
    expectRoundTrip(uint16_t(0xBEEF));
    expectRoundTrip(int32_t(-0x12345678));
    expectRoundTrip(uint32_t(0xDEADBEEF));
    expectRoundTrip(int64_t(-0x0123456789ABCDEFLL));
    expectRoundTrip(uint64_t(0xFEDCBA9876543210ULL));
    expectRoundTrip(3.25f);
    expectRoundTrip(-1.0e300);
    expectRoundTrip(1.5L);
    expectRoundTrip(L'\x0416');
    expectRoundTrip(wchar_t(0x1F600));
    expectRoundTrip(Small::B);
    expectRoundTrip(Far);
}

TEST(VexaPackRoundTrip, Strings) {
    expectRoundTrip(std::string());
    expectRoundTrip(std::string("abc"));
    expectRoundTrip(std::string(100, 'x'));
    expectRoundTrip(std::string("a\0b", 3));
    expectRoundTrip(std::string("Ошибка"));
    expectRoundTrip(std::wstring());
    expectRoundTrip(std::wstring(L"ab"));
    expectRoundTrip(std::wstring(L"Ошибка \U0001F600"));
}

TEST(VexaPackRoundTrip, Sequences) {
    expectRoundTrip(std::vector<std::string>{});
    expectRoundTrip(std::vector<std::string>{"", "x", "hello", std::string(33, 'q')});
    expectRoundTrip(std::vector<std::wstring>{});
    expectRoundTrip(std::vector<std::wstring>{L"", L"Ж", L"abc"});
    expectRoundTrip(std::vector<int32_t>{});
    expectRoundTrip(std::vector<int32_t>{1, -2, 3});
    expectRoundTrip(std::vector<double>{});
    expectRoundTrip(std::vector<double>{1.5, -2.0, 1e-300});
    expectRoundTrip(std::vector<int16_t>{7});
    expectRoundTrip(std::vector<uint8_t>{1, 2, 3, 4, 5});
    expectRoundTrip(std::vector<long double>{});
    expectRoundTrip(std::vector<long double>{2.5L});
    expectRoundTrip(std::vector<bool>{});
    expectRoundTrip(std::vector<bool>{true, false, true, true});
    expectRoundTrip(std::vector<wchar_t>{L'a', L'\x0416'});
    expectRoundTrip(std::vector<Small>{Small::A, Small::B});
    expectRoundTrip(std::vector<Wide64>{Far});
}

TEST(VexaPackRoundTrip, Arrays) {
    expectRoundTrip(std::array<int16_t, 3>{1, -2, 3});
    expectRoundTrip(std::array<double, 2>{0.5, -0.25});
    expectRoundTrip(std::array<std::array<int32_t, 3>, 2>{{{1, 2, 3}, {4, 5, 6}}});
    expectRoundTrip(std::array<bool, 3>{true, false, true});
    expectRoundTrip(std::array<wchar_t, 2>{L'x', L'\x0416'});
    expectRoundTrip(std::array<uint8_t, 5>{9, 8, 7, 6, 5});
}

TEST(VexaPackRoundTrip, SwappedPrimitivesAreReversedBytes) {
    // The CH forms store exactly the reversed host bytes, at the same place.
    auto check = [](auto value) {
        Bytes plain(32, 0), swapped(32, 0);
        const unsigned a = VEXA_PACK::packPrimitive(value, plain.data(), 3, 32);
        const unsigned b = VEXA_PACK::packPrimitiveCH(value, swapped.data(), 3, 32);
        ASSERT_EQ(a, b);
        const unsigned at = a - sizeof(value);
        std::reverse(plain.begin() + at, plain.begin() + a);
        EXPECT_EQ(plain, swapped);
    };
    check(uint16_t(0x0102));
    check(int32_t(0x01020304));
    check(uint64_t(0x0102030405060708ULL));
    check(2.0f);
    check(-3.5);
    check(L'\x0416');
}

TEST(VexaPackCompare, DetectsEveryDifference) {
    using namespace VEXA_PACK;
    Bytes buf(64, 0);
    const unsigned end = pack(std::string("abc"), buf.data(), 0, 64);
    const std::pair<std::string, unsigned> strings[] = {
        {"abc", end}, {"abd", end}, {"ab", 4}, {"abcd", 4}, {"", 4}};
    for (const auto& c : strings) {
        unsigned pos = 0;
        EXPECT_EQ(compare(c.first, buf.data(), pos, end), c.first == "abc") << c.first;
        EXPECT_EQ(pos, c.second) << c.first;
    }

    const unsigned wend = packCH(std::wstring(L"Жx"), buf.data(), 0, 64);
    const std::wstring wides[] = {L"Жx", L"Жy", L"Ж", L"x\x1604"};
    for (const std::wstring& w : wides) {
        unsigned pos = 0;
        EXPECT_EQ(compareCH(w, buf.data(), pos, wend), w == L"Жx");
    }

    const std::array<int32_t, 3> arr{1, 2, 3};
    const unsigned aend = pack(arr, buf.data(), 1, 64);
    std::array<int32_t, 3> other = arr;
    other[2] = 4;
    unsigned pos = 1;
    EXPECT_TRUE((compareArr<int32_t, 3>(arr.data(), buf.data(), pos, aend)));
    pos = 1;
    EXPECT_FALSE((compareArr<int32_t, 3>(other.data(), buf.data(), pos, aend)));
    EXPECT_EQ(pos, aend);
    pos = 1;
    EXPECT_FALSE(comparePrimitive(int32_t(2), buf.data(), pos, aend));
    EXPECT_EQ(pos, 8u);
}

}  // namespace
