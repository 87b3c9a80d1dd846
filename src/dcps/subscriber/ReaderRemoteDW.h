#pragma once

#include <cstdint>
#include <map>

#include "dcps/subscriber/Reader.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

// What a reader knows of one remote writer of its topic.
struct Reader::RemoteDW {
    static constexpr uint32_t RDW_MATCHED = 1;  // known and reachable
    static constexpr uint32_t RDW_ALIVE = 2;
    static constexpr uint32_t RDW_INCOMPATIBLE_CHANGEABLE = 4;  // deadline or latency budget
    static constexpr uint32_t RDW_INCOMPATIBLE = 8;             // any other mismatch
    static constexpr uint32_t RDW_INCOMPATIBLE_ANY = 12;

    bool compatible() const { return (flags & RDW_INCOMPATIBLE_ANY) == 0; }
    // Matched and compatible: the only records whose liveliness counts.
    bool counted() const { return (flags & RDW_MATCHED) != 0 && compatible(); }
    // Higher strength wins; on a tie the higher GUID; the same GUID counts as stronger.
    bool isStrongerThan(RemoteDW const& other) const;

    uint32_t guidPrefix[3] = {0, 0, 0};
    uint32_t entityId = 0;
    vexa::dcps::RemoteDW* record = nullptr;  // the built-in subscriber's; null once lost
    int32_t handle = 0;                      // the publication handle
    uint32_t flags = 0;
    int32_t strength = 0;
    uint32_t livelinessKind = 0;
    vexa::dds::Time_t aliveTime;
    vexa::dds::Duration_t lifespan = vexa::dds::DURATION_INFINITE;
    std::map<int32_t, uint32_t> instances;  // writer-side instance handle -> instance index
};

}  // namespace vexa::dcps
