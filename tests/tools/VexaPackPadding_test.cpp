// Alignment gaps are written as zeros: a sample or key packed into a buffer that held an
// earlier sample carries none of its bytes, so the packed bytes (and the hash of a packed key)
// depend on the value alone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "vexa_pack.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Pack = std::function<unsigned(void* buf, unsigned pos, unsigned len)>;

struct GapCase {
    const char* name;
    Pack pack;
};

// Each value follows a single byte at 0, so every form starts at an unaligned position.
TEST(VexaPackPadding, ReusedBufferGivesTheBytesOfAZeroedOne) {
    using namespace VEXA_PACK;
    enum class Level : int64_t { High = 7 };
    const GapCase cases[] = {
        {"Int16", [](void* b, unsigned p, unsigned l) { return pack(int16_t(-2), b, p, l); }},
        {"Int32 CH",
         [](void* b, unsigned p, unsigned l) { return packPrimitiveCH(int32_t(5), b, p, l); }},
        {"Float64", [](void* b, unsigned p, unsigned l) { return packPrimitive(2.5, b, p, l); }},
        {"enumeration of 8 bytes",
         [](void* b, unsigned p, unsigned l) { return packPrimitive(Level::High, b, p, l); }},
        {"Float128", [](void* b, unsigned p, unsigned l) { return packPrimitive(1.5L, b, p, l); }},
        {"Float128 CH",
         [](void* b, unsigned p, unsigned l) { return packPrimitiveCH(-1.5L, b, p, l); }},
        {"string",
         [](void* b, unsigned p, unsigned l) { return pack(std::string("ab"), b, p, l); }},
        {"wide string CH",
         [](void* b, unsigned p, unsigned l) { return packCH(std::wstring(L"ab"), b, p, l); }},
        {"strings",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::vector<std::string>{"a", "", "bcd"}, b, p, l);
         }},
        {"wide strings",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::vector<std::wstring>{L"a", L""}, b, p, l);
         }},
        {"empty sequence of Float64",
         [](void* b, unsigned p, unsigned l) { return pack(std::vector<double>{}, b, p, l); }},
        {"sequence of Float64: count, then a gap to 8",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::vector<double>{1, 2}, b, p, l);
         }},
        {"sequence of Float64 CH",
         [](void* b, unsigned p, unsigned l) {
             return packCH(std::vector<double>{1, 2}, b, p, l);
         }},
        {"sequence of Float128",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::vector<long double>{1, -2}, b, p, l);
         }},
        {"sequence of Int16",
         [](void* b, unsigned p, unsigned l) { return pack(std::vector<int16_t>{3}, b, p, l); }},
        {"sequence of Boolean",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::vector<bool>{true, false}, b, p, l);
         }},
        {"sequence of Boolean CH",
         [](void* b, unsigned p, unsigned l) { return packCH(std::vector<bool>{true}, b, p, l); }},
        {"array of Int32",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::array<int32_t, 2>{1, 2}, b, p, l);
         }},
        {"array of arrays of Float64 CH",
         [](void* b, unsigned p, unsigned l) {
             return packCH(std::array<std::array<double, 2>, 2>{{{1, 2}, {3, 4}}}, b, p, l);
         }},
        {"array of Float128",
         [](void* b, unsigned p, unsigned l) {
             return pack(std::array<long double, 2>{1, 2}, b, p, l);
         }},
    };
    for (const GapCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes stale(96, 0xAA), zeroed(96, 0);
        for (Bytes* buf : {&stale, &zeroed}) {
            ASSERT_EQ(1u, VEXA_PACK::pack(uint8_t(0x5A), buf->data(), 0, 96));
        }
        const unsigned end = c.pack(stale.data(), 1, 96);
        ASSERT_NE(0u, end);
        ASSERT_EQ(end, c.pack(zeroed.data(), 1, 96));
        EXPECT_EQ(Bytes(zeroed.begin(), zeroed.begin() + end),
                  Bytes(stale.begin(), stale.begin() + end));
        // Nothing past the end is touched.
        EXPECT_EQ(Bytes(96 - end, 0xAA), Bytes(stale.begin() + end, stale.end()));
    }
}

// Float128 values hold 10 bytes in 16: whatever the memory holds past them never reaches the
// packed data, in a sequence (copied as a block) or an array (element by element).
TEST(VexaPackPadding, Float128MemoryPaddingIsPackedAsZeros) {
    const long double values[] = {1.5L, -2.25L, 3.0L};
    std::vector<long double> sequence(3);
    std::array<long double, 3> array{};
    for (unsigned char* storage : {reinterpret_cast<unsigned char*>(sequence.data()),
                                   reinterpret_cast<unsigned char*>(array.data())}) {
        std::memset(storage, 0xAA, 3 * sizeof(long double));
        for (int i = 0; i < 3; ++i) {
            std::memcpy(storage + i * sizeof(long double), &values[i], 10);
        }
    }
    Bytes expected(48, 0);
    for (int i = 0; i < 3; ++i) {
        std::memcpy(expected.data() + 16 * i, &values[i], 10);
    }
    Bytes packed(64, 0xEE);
    ASSERT_EQ(4u + 12u + 48u, VEXA_PACK::pack(sequence, packed.data(), 0, 64));
    EXPECT_EQ(expected, Bytes(packed.begin() + 16, packed.end()));
    packed.assign(64, 0xEE);
    ASSERT_EQ(48u, VEXA_PACK::pack(array, packed.data(), 0, 64));
    EXPECT_EQ(expected, Bytes(packed.begin(), packed.begin() + 48));
}

}  // namespace
