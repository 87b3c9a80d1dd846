// The stand-in key and length functions against the generated pack code: a length that the
// pack does not fill, or a key that does not match the packed sample, would corrupt what the
// core stores and matches.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sensors.h"

namespace {

Sensors::Reading reading(uint32_t id, std::string source, int unit, size_t history,
                         std::string label) {
    Sensors::Reading r;
    r.id(id);
    r.source(std::move(source));
    Sensors::Value v;
    if (unit == 0) {
        v.celsius(21.5f);
    } else if (unit == 1) {
        v.kelvin(294.65);
    } else {
        v.pressure(101325);
    }
    r.value(v);
    r.history(Sensors::Samples(history, 1.25));
    r.flags(Sensors::Flags().STALE(true));
    r.label(std::move(label));
    return r;
}

std::vector<Sensors::Reading> table() {
    return {
        reading(0, "", 0, 0, ""),
        reading(1, "a", 1, 1, "x"),
        reading(2, "ab", 2, 3, "xyz"),
        reading(3, std::string(64, 's'), 1, 100, std::string(32, 'l')),
        reading(0xFFFFFFFFu, "sensor-7", 2, 7, "seven"),
    };
}

TEST(ReadingKeyFunctions, lengthIsWhatPackWrites) {
    for (Sensors::Reading const& r : table()) {
        unsigned const len = r.lenPacked();
        std::vector<uint8_t> buf(len + 16);
        EXPECT_EQ(r.pack(buf.data(), static_cast<unsigned>(buf.size())), len) << r.source();
        EXPECT_EQ(r.pack(buf.data(), len - 1), 0u) << "one byte short must not pack";
        EXPECT_LE(len, Sensors::Reading::maxlenPacked());
    }
}

TEST(ReadingKeyFunctions, packedKeyRoundTripsAndMatchesThePackedSample) {
    std::vector<Sensors::Reading> const rows = table();
    for (Sensors::Reading const& r : rows) {
        std::vector<uint8_t> key(r.keylenPacked());
        ASSERT_EQ(r.packKey(key.data(), static_cast<unsigned>(key.size())), key.size());
        Sensors::Reading k;
        ASSERT_TRUE(k.unpackKey(key.data(), static_cast<unsigned>(key.size())));
        EXPECT_TRUE(k.keyEqual(r));

        std::vector<uint8_t> whole(r.lenPacked());
        ASSERT_EQ(r.pack(whole.data(), static_cast<unsigned>(whole.size())), whole.size());
        unsigned const n = static_cast<unsigned>(whole.size());
        EXPECT_TRUE(r.keyEqual(whole.data(), n, false));
        EXPECT_TRUE(r.keyEqual(key.data(), static_cast<unsigned>(key.size()), true));
        EXPECT_TRUE(Sensors::Reading::keyEqual(key.data(), static_cast<unsigned>(key.size()),
                                               whole.data(), n, false));
        for (Sensors::Reading const& other : rows) {
            if (other.id() != r.id() || other.source() != r.source()) {
                EXPECT_FALSE(other.keyEqual(whole.data(), n, false));
                EXPECT_FALSE(other.keyHash() == r.keyHash());
            }
        }
        EXPECT_FALSE(r.keyEqual(whole.data(), 6, false)) << "a cut buffer is no key";
    }
}

// The hash depends on the key only.
TEST(ReadingKeyFunctions, hashIgnoresTheOtherMembers) {
    Sensors::Reading a = reading(9, "boiler", 0, 2, "a");
    Sensors::Reading b = reading(9, "boiler", 2, 50, "b");
    EXPECT_TRUE(a.keyHash() == b.keyHash());
    EXPECT_TRUE(a.keyEqual(b));
}

}  // namespace
