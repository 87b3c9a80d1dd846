#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"

namespace RTPS {

inline constexpr unsigned GUID_PREFIX_SIZE = 12;

// A participant's prefix begins with the vendor id 0xAA 0xAA.
struct GUID_t {
    uint8_t guidPrefix[GUID_PREFIX_SIZE];
    EntityId_t entityId;
};
static_assert(sizeof(GUID_t) == 16, "a GUID is 16 bytes on the wire");

inline constexpr GUID_t GUID_UNKNOWN{};
inline constexpr uint8_t _GUIDPREFIX_UNKNOWN[GUID_PREFIX_SIZE] = {};

// Copies a 12-byte prefix.
void cpGuidPrefix(unsigned char* to, unsigned char const* from);
// Whether two 12-byte prefixes are equal.
bool prefixEq(unsigned char const* a, unsigned char const* b);

bool operator==(GUID_t const& a, GUID_t const& b);
inline bool operator!=(GUID_t const& a, GUID_t const& b) {
    return !(a == b);
}

// Prefix and entity key equal; the entity kind byte is not compared.
bool almost_eq(GUID_t const& a, GUID_t const& b);

}  // namespace RTPS
