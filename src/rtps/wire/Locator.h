#pragma once

#include <cstdint>

namespace RTPS {

inline constexpr int32_t LOCATOR_KIND_INVALID = -1;
inline constexpr int32_t LOCATOR_KIND_UDPv4 = 1;
inline constexpr int32_t LOCATOR_KIND_UDPv6 = 2;

// An IPv4 address occupies the last 4 address bytes in network order; the first 12 are zero.
struct Locator_t {
    int32_t kind;
    uint32_t port;
    uint8_t address[16];
};
static_assert(sizeof(Locator_t) == 24, "a locator is 24 bytes");

inline constexpr Locator_t _LOCATOR_INVALID{LOCATOR_KIND_INVALID, 0, {}};

// Multicast group of SPDP announcements.
inline constexpr char DEFAULT_MULTICAST_ADDRESS[] = "239.255.0.1";

bool operator==(Locator_t const& a, Locator_t const& b);
inline bool operator!=(Locator_t const& a, Locator_t const& b) {
    return !(a == b);
}

// Kind and address equal; the port is not compared.
bool almost_eq(Locator_t const& a, Locator_t const& b);

// Sets the address from dotted text and leaves kind and port to the caller. Text that is not
// an address gives 255.255.255.255.
void strToLoc(Locator_t* loc, char const* text);

}  // namespace RTPS
