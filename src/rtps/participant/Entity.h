#pragma once

#include "rtps/wire/Guid.h"

namespace RTPS {

// Anything of the engine that has a GUID: participants, writers, readers.
class Entity {
public:
    explicit Entity(GUID_t const& guid) : m_guid(guid) {}
    virtual ~Entity() = default;

    GUID_t const& getGuid() const { return m_guid; }
    // Returns 1.
    int setGuid(GUID_t const& guid) {
        m_guid = guid;
        return 1;
    }

protected:
    GUID_t m_guid;
};

}  // namespace RTPS
