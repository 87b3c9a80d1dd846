#ifndef DDS_CORE_POLICY_POLICYKIND_HPP
#define DDS_CORE_POLICY_POLICYKIND_HPP

// The kinds of the API's policies, numbered as the core's. The underlying type is fixed, so a
// number outside the list stays representable; the conversions to the core map it.

#include <cstdint>

namespace dds {
namespace core {
namespace policy {

struct DurabilityKind {
    enum Type : uint32_t { VOLATILE = 0, TRANSIENT_LOCAL = 1, TRANSIENT = 2, PERSISTENT = 3 };
};

struct PresentationAccessScopeKind {
    enum Type : uint32_t { INSTANCE = 0, TOPIC = 1, GROUP = 2 };
};

struct OwnershipKind {
    enum Type : uint32_t { SHARED = 0, EXCLUSIVE = 1 };
};

struct LivelinessKind {
    enum Type : uint32_t { AUTOMATIC = 0, MANUAL_BY_PARTICIPANT = 1, MANUAL_BY_TOPIC = 2 };
};

struct ReliabilityKind {
    enum Type : uint32_t { BEST_EFFORT = 0, RELIABLE = 1 };
};

struct DestinationOrderKind {
    enum Type : uint32_t { BY_RECEPTION_TIMESTAMP = 0, BY_SOURCE_TIMESTAMP = 1 };
};

struct HistoryKind {
    enum Type : uint32_t { KEEP_LAST = 0, KEEP_ALL = 1 };
};

}  // namespace policy
}  // namespace core
}  // namespace dds

#endif
