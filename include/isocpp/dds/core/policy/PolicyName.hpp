#ifndef DDS_CORE_POLICY_POLICYNAME_HPP
#define DDS_CORE_POLICY_POLICYNAME_HPP

// policy_name<P>::name(): the policy's name in double quotes, as consistency messages quote it.
// Made once on first use and kept for the life of the program.

#include <string>

#include "dds/core/policy/CorePolicy.hpp"

namespace dds {
namespace core {
namespace policy {

template <typename POLICY>
struct policy_name {
    static std::string const& name();
};

#define VEXA_POLICY_NAME(POLICY)                             \
    template <>                                              \
    inline std::string const& policy_name<POLICY>::name() {  \
        static std::string const quoted = "\"" #POLICY "\""; \
        return quoted;                                       \
    }

VEXA_POLICY_NAME(UserData)
VEXA_POLICY_NAME(Durability)
VEXA_POLICY_NAME(Presentation)
VEXA_POLICY_NAME(Deadline)
VEXA_POLICY_NAME(LatencyBudget)
VEXA_POLICY_NAME(TimeBasedFilter)
VEXA_POLICY_NAME(Ownership)
VEXA_POLICY_NAME(OwnershipStrength)
VEXA_POLICY_NAME(Liveliness)
VEXA_POLICY_NAME(Partition)
VEXA_POLICY_NAME(Reliability)
VEXA_POLICY_NAME(DestinationOrder)
VEXA_POLICY_NAME(History)
VEXA_POLICY_NAME(ResourceLimits)
VEXA_POLICY_NAME(EntityFactory)
VEXA_POLICY_NAME(WriterDataLifecycle)
VEXA_POLICY_NAME(ReaderDataLifecycle)
VEXA_POLICY_NAME(TopicData)
VEXA_POLICY_NAME(GroupData)
VEXA_POLICY_NAME(TransportPriority)
VEXA_POLICY_NAME(Lifespan)
VEXA_POLICY_NAME(DurabilityService)

#undef VEXA_POLICY_NAME

}  // namespace policy
}  // namespace core
}  // namespace dds

#endif
