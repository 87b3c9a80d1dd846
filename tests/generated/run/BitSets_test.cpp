// The bit-set classes and pack functions tessgen writes for tests/generated/models/BitSets.xml,
// compiled and run: packing round trips, big-endian input, copies and short buffers.
#include "BitSets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

namespace {

// value in the bit set's storage width, most significant byte first.
template <typename B>
void putBigEndian(std::uint64_t value, unsigned size, unsigned char* out) {
    for (unsigned i = 0; i < size; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * (size - 1 - i)));
    }
}

template <typename B>
void checkRoundTrip(std::uint64_t value, unsigned size) {
    SCOPED_TRACE(::testing::Message() << "size " << size << " value " << value);
    const B original(value);
    ASSERT_EQ(original.to_ullong(), value);

    unsigned char buffer[8] = {};
    ASSERT_EQ(Bits::pack(original, buffer, 0, size), size);
    B back;
    EXPECT_EQ(Bits::unpack(back, buffer, 0, size), size);
    EXPECT_EQ(back.to_ullong(), value);

    unsigned char bigEndian[8] = {};
    putBigEndian<B>(value, size, bigEndian);
    B swapped;
    EXPECT_EQ(Bits::unpackCH(swapped, bigEndian, 0, size), size);
    EXPECT_EQ(swapped.to_ullong(), value);

    // One byte short: nothing read, the object as it was.
    const std::uint64_t before = 1;
    B kept(before);
    EXPECT_EQ(Bits::unpack(kept, buffer, 0, size - 1), 0u);
    EXPECT_EQ(kept.to_ullong(), before);
    EXPECT_EQ(Bits::unpackCH(kept, bigEndian, 0, size - 1), 0u);
    EXPECT_EQ(kept.to_ullong(), before);
    EXPECT_EQ(Bits::pack(original, buffer, 0, size - 1), 0u);
}

TEST(GeneratedBitSets, PackUnpackAndBigEndianGiveTheValueBack) {
    checkRoundTrip<Bits::Bits3>(0x5, 1);
    checkRoundTrip<Bits::Bits17>(0x10001, 4);
    checkRoundTrip<Bits::Bits40>(0x8880000001ull, 8);
    checkRoundTrip<Bits::Bits64>(0x8000000880000001ull, 8);
    checkRoundTrip<Bits::Bits64Alias>(0xFFFFFFFFFFFFFFFFull, 8);
}

TEST(GeneratedBitSets, CopyAndAssignmentKeepHighBits) {
    Bits::Bits64 wide;
    wide.b0(true).b31(true).b35(true).b63(true);
    const std::uint64_t bits = (1ull << 0) | (1ull << 31) | (1ull << 35) | (1ull << 63);
    ASSERT_EQ(wide.to_ullong(), bits);
    const Bits::Bits64 copied(wide);
    EXPECT_EQ(copied.to_ullong(), bits);
    Bits::Bits64 assigned(7);
    assigned = wide;
    EXPECT_EQ(assigned.to_ullong(), bits);

    Bits::Bits40 narrow;
    narrow.b0(true).b31(true).b35(true);
    const std::uint64_t narrowBits = (1ull << 0) | (1ull << 31) | (1ull << 35);
    const Bits::Bits40 narrowCopy(narrow);
    EXPECT_EQ(narrowCopy.to_ullong(), narrowBits);
    Bits::Bits40 narrowAssigned;
    narrowAssigned = narrow;
    EXPECT_EQ(narrowAssigned.to_ullong(), narrowBits);
}

TEST(GeneratedBitSets, NamedBitsThroughConstObjectsAndAll) {
    Bits::Bits3 flags;
    flags.error(true);
    const Bits::Bits3& view = flags;
    EXPECT_FALSE(view.ready());
    EXPECT_TRUE(view.error());
    flags.all();
    EXPECT_EQ(flags.to_ulong(), 0x5u);  // the named bits only
    flags.error(false);
    EXPECT_EQ(flags.to_ulong(), 0x1u);
    static_assert(std::is_same<Bits::Bits3::MaskType, std::bitset<3>>::value, "base");
}

}  // namespace
