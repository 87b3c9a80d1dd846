#include <gtest/gtest.h>

#include <cstring>

#include "rtps/wire/Guid.h"
#include "rtps/wire/KeyHash.h"

using RTPS::GUID_t;

namespace {

GUID_t sample() {
    GUID_t g{};
    for (unsigned i = 0; i < RTPS::GUID_PREFIX_SIZE; ++i) {
        g.guidPrefix[i] = static_cast<uint8_t>(0xA0 + i);
    }
    g.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
    return g;
}

}  // namespace

TEST(Guid, EqualityAndAlmostEqualityByChangedByte) {
    // Which byte of the 16 is changed, and whether the GUIDs are then still almost equal.
    struct {
        unsigned byte;
        bool almost;
    } const cases[] = {{0, false}, {11, false}, {12, false}, {14, false}, {15, true}};
    GUID_t const a = sample();
    EXPECT_TRUE(a == sample());
    EXPECT_TRUE(RTPS::almost_eq(a, sample()));
    for (auto const& c : cases) {
        GUID_t b = a;
        reinterpret_cast<uint8_t*>(&b)[c.byte] ^= 0x01;
        EXPECT_FALSE(a == b) << c.byte;
        EXPECT_TRUE(a != b) << c.byte;
        EXPECT_EQ(RTPS::almost_eq(a, b), c.almost) << c.byte;
    }
}

TEST(Guid, PrefixCopyAndCompare) {
    GUID_t const a = sample();
    unsigned char to[12] = {};
    RTPS::cpGuidPrefix(to, a.guidPrefix);
    EXPECT_EQ(std::memcmp(to, a.guidPrefix, 12), 0);
    EXPECT_TRUE(RTPS::prefixEq(to, a.guidPrefix));
    to[11] ^= 0x80;
    EXPECT_FALSE(RTPS::prefixEq(to, a.guidPrefix));
    EXPECT_TRUE(RTPS::prefixEq(RTPS::GUID_UNKNOWN.guidPrefix, RTPS::_GUIDPREFIX_UNKNOWN));
}

TEST(Guid, WellKnownEntityIdsInMemoryOrder) {
    struct {
        RTPS::EntityId_t id;
        uint8_t bytes[4];
    } const cases[] = {
        {RTPS::_ENTITYID_UNKNOWN, {0, 0, 0, 0}},
        {RTPS::_ENTITYID_PARTICIPANT, {0, 0, 1, 0xC1}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_WRITER, {0, 0, 2, 0xC2}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER, {0, 0, 2, 0xC7}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER, {0, 0, 3, 0xC2}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER, {0, 0, 3, 0xC7}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER, {0, 0, 4, 0xC2}},
        {RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER, {0, 0, 4, 0xC7}},
        {RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER, {0, 1, 0, 0xC2}},
        {RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER, {0, 1, 0, 0xC7}},
        {RTPS::_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER, {0, 2, 0, 0xC2}},
        {RTPS::_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER, {0, 2, 0, 0xC7}},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(std::memcmp(&c.id, c.bytes, 4), 0) << int(c.bytes[2]) << " " << int(c.bytes[3]);
    }
    // Crossing an interface as one number: the four bytes in host order.
    EXPECT_EQ(RTPS::entityIdToU32(RTPS::_ENTITYID_PARTICIPANT), 0xC1010000u);
    EXPECT_TRUE(RTPS::u32ToEntityId(0xC2000100u) ==
                RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER);
}

TEST(KeyHash, EmptyOnlyWhenAllSixteenBytesAreZero) {
    unsigned char hash[16] = {};
    EXPECT_TRUE(RTPS::keyHashEmpty(hash));
    for (unsigned i : {0u, 7u, 15u}) {
        unsigned char h[16] = {};
        h[i] = 1;
        EXPECT_FALSE(RTPS::keyHashEmpty(h)) << i;
    }
}
