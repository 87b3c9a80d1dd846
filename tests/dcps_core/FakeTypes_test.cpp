// The fake type support must behave like generated code, or the core's tests prove nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "fake/FakeTypes.h"

using vexatest::KeyedSample;
using vexatest::KeyedTypeSupport;
using vexatest::KeylessSample;
using vexatest::KeylessTypeSupport;

TEST(FakeTypes, KeyedPacksBehindTheHeaderAndHashesTheBigEndianKey) {
    KeyedTypeSupport ts;
    KeyedSample const s{0x01020304, -7};
    std::vector<uint8_t> buf(ts.lenPacked(&s));
    ASSERT_EQ(ts.pack(buf.data(), static_cast<unsigned>(buf.size()), &s), 12u);
    EXPECT_EQ(buf[0], 0x00);
    EXPECT_EQ(buf[1], 0x01);  // CDR_LE
    std::unique_ptr<KeyedSample> back(
        static_cast<KeyedSample*>(ts.unpack(buf.data(), static_cast<unsigned>(buf.size()))));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->key, s.key);
    EXPECT_EQ(back->value, s.value);
    uint8_t const expected[16] = {1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(ts.keyHash(&s).hash, expected, 16), 0);
    EXPECT_TRUE(ts.keyEqual(&s, buf.data(), static_cast<unsigned>(buf.size()), false));
}

TEST(FakeTypes, UnpackRefusesShortAndGarbageBuffers) {
    KeyedTypeSupport keyed;
    KeylessTypeSupport keyless;
    KeylessSample const text{5, "привет"};
    std::vector<uint8_t> good(keyless.lenPacked(&text));
    ASSERT_GT(keyless.pack(good.data(), static_cast<unsigned>(good.size()), &text), 0u);
    struct Case {
        char const* name;
        std::vector<uint8_t> bytes;
        bool keyedType;
    } const cases[] = {
        {"empty", {}, true},
        {"header only", {0, 1, 0, 0}, true},
        {"key without value", {0, 1, 0, 0, 1, 0, 0, 0}, true},
        {"unknown encapsulation", {0x12, 0x34, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}, true},
        {"string count past the end", {0, 1, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0, 0, 'a'}, false},
        {"string cut short", std::vector<uint8_t>(good.begin(), good.end() - 2), false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        // Exact-size copies let AddressSanitizer see a read past the end.
        auto* exact = new uint8_t[c.bytes.size()];
        if (!c.bytes.empty()) {
            std::memcpy(exact, c.bytes.data(), c.bytes.size());
        }
        void* obj = c.keyedType ? keyed.unpack(exact, static_cast<unsigned>(c.bytes.size()))
                                : keyless.unpack(exact, static_cast<unsigned>(c.bytes.size()));
        EXPECT_EQ(obj, nullptr);
        delete[] exact;
    }
}

TEST(FakeTypes, KnobsAndCounters) {
    KeyedTypeSupport ts;
    KeyedSample const s{1, 2};
    uint8_t buf[12];
    ASSERT_EQ(ts.pack(buf, sizeof buf, &s), 12u);
    ts.failUnpack = true;
    EXPECT_EQ(ts.unpack(buf, sizeof buf), nullptr);
    ts.failAllocate = true;
    void* block = nullptr;
    size_t stride = 0;
    EXPECT_EQ(ts.allocate(3, block, stride), nullptr);
    ts.failAllocate = false;
    void* first = ts.allocate(3, block, stride);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(stride, sizeof(KeyedSample));
    ts.deleteAllocatedObjects(block);
    EXPECT_EQ(ts.count(vexatest::TypeOp::Unpack), 1u);
    EXPECT_EQ(ts.count(vexatest::TypeOp::Allocate), 2u);
}
