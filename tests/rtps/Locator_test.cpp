#include <gtest/gtest.h>

#include "rtps/wire/Locator.h"

using RTPS::Locator_t;

namespace {

Locator_t udp(char const* text, uint32_t port) {
    Locator_t l{RTPS::LOCATOR_KIND_UDPv4, port, {}};
    RTPS::strToLoc(&l, text);
    return l;
}

}  // namespace

TEST(Locator, TextToAddressTable) {
    struct {
        char const* text;
        uint8_t last4[4];
    } const cases[] = {
        {"239.255.0.1", {239, 255, 0, 1}},
        {"127.0.0.2", {127, 0, 0, 2}},
        {"not an address", {255, 255, 255, 255}},
        {"", {255, 255, 255, 255}},
    };
    for (auto const& c : cases) {
        Locator_t l{};
        for (auto& b : l.address) {
            b = 0x5A;  // stale content must go
        }
        l.kind = 7;
        l.port = 99;
        RTPS::strToLoc(&l, c.text);
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(l.address[i], 0) << c.text;
        }
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(l.address[12 + i], c.last4[i]) << c.text;
        }
        EXPECT_EQ(l.kind, 7);
        EXPECT_EQ(l.port, 99u);
    }
}

TEST(Locator, AlmostEqualIgnoresOnlyThePort) {
    Locator_t const a = udp(RTPS::DEFAULT_MULTICAST_ADDRESS, 7400);
    Locator_t b = udp("239.255.0.1", 7401);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(RTPS::almost_eq(a, b));
    b.port = 7400;
    EXPECT_TRUE(a == b);

    Locator_t otherKind = a;
    otherKind.kind = RTPS::LOCATOR_KIND_UDPv6;
    Locator_t otherAddress = udp("239.255.0.2", 7400);
    for (Locator_t const& x : {otherKind, otherAddress}) {
        EXPECT_FALSE(a == x);
        EXPECT_FALSE(RTPS::almost_eq(a, x));
    }
    EXPECT_EQ(RTPS::_LOCATOR_INVALID.kind, -1);
}
