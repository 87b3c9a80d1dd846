#include "rtps/wire/Guid.h"

#include <cstring>

namespace RTPS {

void cpGuidPrefix(unsigned char* to, unsigned char const* from) {
    std::memcpy(to, from, GUID_PREFIX_SIZE);
}

bool prefixEq(unsigned char const* a, unsigned char const* b) {
    return std::memcmp(a, b, GUID_PREFIX_SIZE) == 0;
}

bool operator==(GUID_t const& a, GUID_t const& b) {
    return std::memcmp(&a, &b, sizeof(GUID_t)) == 0;
}

bool almost_eq(GUID_t const& a, GUID_t const& b) {
    return prefixEq(a.guidPrefix, b.guidPrefix) &&
           std::memcmp(a.entityId.entityKey, b.entityId.entityKey, 3) == 0;
}

}  // namespace RTPS
