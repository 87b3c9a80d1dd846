// The example model's Reading through all six files tessgen writes for it, linked as an
// application links them: round trip against the reference writer in both byte orders, the
// packed key (UInt32 id, then the bounded string source), its hash and the key readers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Sensors.h"
#include "../broad/ReferenceWriter.h"

namespace Sensors {

using reference::ReferenceWriter;

inline void writeModel(ReferenceWriter& w, const Value& x) {
    w.put(x.m_d);
    if (x.m_d == Unit::KELVIN) {
        w.put(x.m_Value.m_kelvin);
    } else if (x.m_d == Unit::PASCAL) {
        w.put(x.m_Value.m_pressure);
    } else {
        w.put(x.m_Value.m_celsius);
    }
}

inline void writeModel(ReferenceWriter& w, const Reading& x) {
    w.put(x.m_id);
    w.put(x.m_source);
    w.put(x.m_status);
    w.put(x.m_value);
    w.put(x.m_history);
    w.put(x.m_flags);
    w.put(x.m_label);
}

}  // namespace Sensors

#include "../broad/RoundTrip.h"

namespace {

using reference::ReferenceWriter;
using roundtrip::Bytes;

Sensors::Reading reading(bool empty) {
    Sensors::Reading r;
    r.m_id = 0xA1B2C3D4u;
    r.m_source = empty ? "" : "датчик-7";
    r.m_status = Common::Status::DEGRADED;
    r.m_value.kelvin(273.15);
    if (!empty) {
        r.m_history = {1.0, -2.5, 1e-9};
        r.m_label = "подпись";
    }
    r.m_flags = Sensors::Flags(5);
    return r;
}

TEST(SensorsReading, RoundTripsAndKeysAgainstTheReference) {
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty" : "full");
        const Sensors::Reading r = reading(empty);
        roundtrip::expectRoundTrip(r);
        EXPECT_EQ(0u, Sensors::Reading::maxlenPacked());

        ReferenceWriter little(false);
        little.put(r.m_id);
        little.put(r.m_source);
        Bytes key(r.keylenPacked());
        ASSERT_EQ(key.size(), r.packKey(key.data(), static_cast<unsigned>(key.size())));
        EXPECT_EQ(little.sample(), key);

        ReferenceWriter big(true);
        big.put(r.m_id);
        big.put(r.m_source);
        vexa::dds::KeyHash_t hash;
        VEXA_PACK::MD5::calculate(big.data().data(), static_cast<unsigned>(big.data().size()),
                                  hash.hash);
        EXPECT_TRUE(hash == r.keyHash());

        for (const Bytes& packedKey : {little.sample(), big.sample()}) {
            Sensors::Reading keys;
            ASSERT_TRUE(keys.unpackKey(packedKey.data(), static_cast<unsigned>(packedKey.size())));
            EXPECT_EQ(r.m_id, keys.m_id);
            EXPECT_EQ(r.m_source, keys.m_source);
            EXPECT_TRUE(keys.m_history.empty());
            EXPECT_TRUE(
                r.keyEqual(packedKey.data(), static_cast<unsigned>(packedKey.size()), true));
            Sensors::Reading other = r;
            other.m_source += "x";
            EXPECT_FALSE(
                other.keyEqual(packedKey.data(), static_cast<unsigned>(packedKey.size()), true));
        }
        const auto positions = getKeyPos(r);
        ASSERT_EQ(2u, positions.size());
        EXPECT_EQ(0u, positions[0].first);
        EXPECT_EQ(4u, positions[0].second);
        EXPECT_EQ(4u, positions[1].first);
        EXPECT_EQ(4u + r.m_source.size() + 1, positions[1].second);
    }
}

}  // namespace
