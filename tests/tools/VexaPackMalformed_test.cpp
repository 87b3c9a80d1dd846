// Packed data from the network: counts that lie, counts near 2^32 that wrap 32-bit arithmetic,
// and positions near the end of the address range must all end in a clean 0, without reading
// or writing outside the buffer and without allocating by the count.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vexa_pack.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes le32(uint32_t count, std::initializer_list<uint8_t> tail = {}) {
    Bytes b(4);
    std::memcpy(b.data(), &count, 4);
    b.insert(b.end(), tail);
    return b;
}

Bytes be32(uint32_t count, std::initializer_list<uint8_t> tail = {}) {
    Bytes b = {uint8_t(count >> 24), uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count)};
    b.insert(b.end(), tail);
    return b;
}

struct MalformedCase {
    const char* name;
    Bytes data;
    // Runs one decoder over the whole of data from position 0 and returns its result.
    std::function<unsigned(const uint8_t* buf, unsigned len)> decode;
};

template <class T>
std::function<unsigned(const uint8_t*, unsigned)> unpackInto() {
    return [](const uint8_t* b, unsigned l) {
        T out{};
        return VEXA_PACK::unpack(out, b, 0, l);
    };
}

template <class T>
std::function<unsigned(const uint8_t*, unsigned)> unpackIntoCH() {
    return [](const uint8_t* b, unsigned l) {
        T out{};
        return VEXA_PACK::unpackCH(out, b, 0, l);
    };
}

template <class T>
std::function<unsigned(const uint8_t*, unsigned)> unpackSequence(bool swapped) {
    return [swapped](const uint8_t* b, unsigned l) {
        std::vector<T> out;
        return swapped ? VEXA_PACK::unpackPrimitiveCH(out, b, 0, l)
                       : VEXA_PACK::unpackPrimitive(out, b, 0, l);
    };
}

TEST(VexaPackMalformed, RefusedWithZero) {
    using namespace VEXA_PACK;
    const std::string s;
    const std::wstring w;
    const std::vector<std::string> vs;
    const std::vector<std::wstring> vw;
    const MalformedCase cases[] = {
        // A string count includes the terminator: 0 is impossible.
        {"string count 0", le32(0, {0, 0, 0, 0}), unpackInto<std::string>()},
        {"string count 0 CH", be32(0, {0}), unpackIntoCH<std::string>()},
        {"next string count 0", le32(0, {0}),
         [&](const uint8_t* b, unsigned l) { return next(s, b, 0, l); }},
        {"string count past the end", le32(10, {'a', 'b', 'c', 0}), unpackInto<std::string>()},
        // 4 + 0xFFFFFFFF and 4 + 0xFFFFFFFC wrap to 3 and 0 in 32 bits.
        {"string count 0xFFFFFFFF", le32(0xFFFFFFFF, {'a', 0}), unpackInto<std::string>()},
        {"string count 0xFFFFFFFC", le32(0xFFFFFFFC, {'a', 0}), unpackInto<std::string>()},
        {"nextSTR count 0xFFFFFFFC", le32(0xFFFFFFFC, {0}),
         [](const uint8_t* b, unsigned l) { return nextSTR(b, 0, l); }},
        {"nextSTRCH count 0xFFFFFFFF", be32(0xFFFFFFFF, {0}),
         [](const uint8_t* b, unsigned l) { return nextSTRCH(b, 0, l); }},
        {"count word cut short", Bytes{4, 0, 0}, unpackInto<std::string>()},
        // Wide strings count bytes of 4-byte characters.
        {"wide count not a multiple of 4", le32(6, {'a', 0, 0, 0, 'b', 0, 0, 0}),
         unpackInto<std::wstring>()},
        {"wide count not a multiple of 4 CH", be32(2, {0, 0}), unpackIntoCH<std::wstring>()},
        {"next wide count not a multiple of 4", le32(3, {0, 0, 0}),
         [&](const uint8_t* b, unsigned l) { return next(w, b, 0, l); }},
        {"wide count 0xFFFFFFFC", le32(0xFFFFFFFC, {'a', 0, 0, 0}), unpackInto<std::wstring>()},
        // Sequences must not grow to a count the bytes cannot hold.
        {"wide chars count 0xFFFFFFFF", le32(0xFFFFFFFF, {1, 0, 0, 0}),
         unpackSequence<wchar_t>(false)},
        {"wide chars count 0x40000000 (x4 wraps to 0)", le32(0x40000000, {1, 0, 0, 0}),
         unpackSequence<wchar_t>(false)},
        {"doubles count 0x20000000 (x8 wraps to 0)", le32(0x20000000, {0, 0, 0, 0, 1, 2, 3, 4}),
         unpackSequence<double>(false)},
        {"int16 count 0xFFFFFFFF CH", be32(0xFFFFFFFF, {1, 2}), unpackSequence<int16_t>(true)},
        {"bools count 0xFFFFFFFF", le32(0xFFFFFFFF, {1}), unpackSequence<bool>(false)},
        {"bools count 0xFFFFFFFD (4 + n wraps to 1)", le32(0xFFFFFFFD, {1}),
         unpackSequence<bool>(false)},
        {"bools count past the end CH", be32(3, {1, 0}), unpackSequence<bool>(true)},
        {"strings count 0xFFFFFFFF", le32(0xFFFFFFFF, {1, 0, 0, 0, 0}),
         unpackInto<std::vector<std::string>>()},
        {"wide strings count 0xFFFFFFFF CH", be32(0xFFFFFFFF, {0, 0, 0, 0}),
         unpackIntoCH<std::vector<std::wstring>>()},
        {"strings: second element bad", le32(2, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         unpackInto<std::vector<std::string>>()},
        {"nextVCTSTR count beyond the strings", le32(3, {1, 0, 0, 0, 0}),
         [](const uint8_t* b, unsigned l) { return nextVCTSTR(b, 0, l); }},
        {"next strings with a count 0 element", le32(1, {0, 0, 0, 0}),
         [&](const uint8_t* b, unsigned l) { return next(vs, b, 0, l); }},
        {"next wide strings with an odd byte count CH", be32(1, {0, 0, 0, 5, 1, 2, 3, 4, 5}),
         [&](const uint8_t* b, unsigned l) { return nextCH(vw, b, 0, l); }},
        {"nextPrimitiveVCT_Pr count 0x20000000", le32(0x20000000, {0, 0, 0, 0}),
         [](const uint8_t* b, unsigned l) { return nextPrimitiveVCT_Pr(8, b, 0, l, CDR_LE); }},
        {"nextPrimitiveVCTCH<2> count 0x80000000", be32(0x80000000, {0, 0}),
         [](const uint8_t* b, unsigned l) { return nextPrimitiveVCTCH<2>(b, 0, l); }},
        {"nextPrimitiveVCT count word cut short", Bytes{1, 0},
         [](const uint8_t* b, unsigned l) { return nextPrimitiveVCT<4>(b, 0, l); }},
        {"array of int32 cut short", Bytes(11, 0), unpackInto<std::array<int32_t, 3>>()},
        {"array of int16 cut short CH", Bytes(5, 0), unpackIntoCH<std::array<int16_t, 3>>()},
    };
    for (const MalformedCase& c : cases) {
        // A private copy of exactly the given size lets ASan catch any read past the end.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[c.data.size()]);
        std::memcpy(exact.get(), c.data.data(), c.data.size());
        EXPECT_EQ(c.decode(exact.get(), static_cast<unsigned>(c.data.size())), 0u) << c.name;
    }
}

// A failed unpack leaves the target as it was, except a sequence of strings, which keeps the
// elements read before the bad one.
TEST(VexaPackMalformed, TargetsSurviveFailure) {
    using namespace VEXA_PACK;
    const Bytes zeroCount = le32(0, {0, 0, 0, 0});
    std::string s = "keep";
    EXPECT_EQ(unpack(s, zeroCount.data(), 0, 8), 0u);
    EXPECT_EQ(s, "keep");

    const Bytes huge = le32(0xFFFFFFFF, {1, 0, 0, 0});
    std::vector<wchar_t> chars{L'k'};
    EXPECT_EQ(unpackPrimitive(chars, huge.data(), 0, 8), 0u);
    EXPECT_EQ(chars, std::vector<wchar_t>{L'k'});

    int32_t v = 7;
    EXPECT_EQ(unpackPrimitive(v, huge.data(), 6, 8), 0u);
    EXPECT_EQ(v, 7);

    const Bytes twoStrings = le32(2, {2, 0, 0, 0, 'x', 0, 0, 0, 0, 0, 0, 0});
    std::vector<std::string> strings{"a", "b", "c"};
    EXPECT_EQ(unpack(strings, twoStrings.data(), 0, 16), 0u);
    EXPECT_EQ(strings, std::vector<std::string>{"x"});
}

// Positions near 2^32 must not wrap to the start of the buffer when aligned or advanced.
TEST(VexaPackMalformed, PositionsNearTheTopDoNotWrap) {
    using namespace VEXA_PACK;
    Bytes buf(16, 0xEE);
    const unsigned top = 0xFFFFFFFF;
    EXPECT_EQ(packPrimitive(1.0, buf.data(), top - 6, top), 0u);
    EXPECT_EQ(packPrimitive(uint32_t(1), buf.data(), top - 2, top), 0u);
    EXPECT_EQ(pack(std::string("abc"), buf.data(), top - 2, top), 0u);
    EXPECT_EQ(pack(std::vector<int32_t>{1}, buf.data(), top - 2, top), 0u);
    EXPECT_EQ(buf, Bytes(16, 0xEE));

    double d = 0;
    std::string s;
    EXPECT_EQ(unpackPrimitive(d, buf.data(), top - 6, top), 0u);
    EXPECT_EQ(unpack(s, buf.data(), top - 2, top), 0u);
    EXPECT_EQ(nextPrimitive<8>(top - 6, top), 0u);
    EXPECT_EQ((nextARR<4, 2>(top - 2, top)), 0u);
    EXPECT_EQ(nextSTR(buf.data(), top - 2, top), 0u);
    unsigned pos = top - 2;
    EXPECT_FALSE(comparePrimitive(uint32_t(0), buf.data(), pos, top));
    EXPECT_EQ(pos, 0u);
}

TEST(VexaPackMalformed, ComparisonsStayInsideTheData) {
    using namespace VEXA_PACK;
    // One-byte compare at the end of the data.
    const uint8_t one[1] = {5};
    unsigned pos = 1;
    EXPECT_FALSE(comparePrimitive(uint8_t(5), one, pos, 1));
    EXPECT_EQ(pos, 0u);
    pos = 0;
    EXPECT_TRUE(comparePrimitive(uint8_t(5), one, pos, 1));
    EXPECT_EQ(pos, 1u);

    // Count matches but the terminator is missing: never read on to find one.
    const Bytes unterminated = le32(4, {'a', 'b', 'c', 'x'});
    std::unique_ptr<uint8_t[]> exact(new uint8_t[unterminated.size()]);
    std::memcpy(exact.get(), unterminated.data(), unterminated.size());
    pos = 0;
    EXPECT_FALSE(compare(std::string("abc"), exact.get(), pos, 8));
    EXPECT_EQ(pos, 8u);

    // Count matches, characters pass the end.
    pos = 0;
    EXPECT_FALSE(compare(std::string("abc"), exact.get(), pos, 7));
    EXPECT_EQ(pos, 0u);
    pos = 0;
    EXPECT_FALSE(compare(std::wstring(L"a"), le32(4).data(), pos, 4));
    EXPECT_EQ(pos, 0u);

    // Count word itself cut short.
    pos = 1;
    EXPECT_FALSE(compareCH(std::string(), exact.get(), pos, 7));
    EXPECT_EQ(pos, 0u);

    const int32_t arr[2] = {0, 0};
    pos = 0;
    EXPECT_FALSE((compareArr<int32_t, 2>(arr, exact.get(), pos, 7)));
    EXPECT_EQ(pos, 0u);
}

}  // namespace
