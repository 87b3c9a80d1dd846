#pragma once

#include <cstring>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"

namespace RTPS {

// Whether a removal for `remote` takes the endpoint `endpoint`: the same endpoint, or any
// endpoint of the participant when `remote` names the participant itself.
inline bool removalCovers(GUID_t const& remote, GUID_t const& endpoint) {
    if (std::memcmp(remote.guidPrefix, endpoint.guidPrefix, GUID_PREFIX_SIZE) != 0) {
        return false;
    }
    return remote.entityId == _ENTITYID_PARTICIPANT || remote.entityId == endpoint.entityId;
}

}  // namespace RTPS
