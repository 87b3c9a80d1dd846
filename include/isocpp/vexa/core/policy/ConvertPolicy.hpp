#ifndef VEXA_CORE_POLICY_CONVERTPOLICY_HPP
#define VEXA_CORE_POLICY_CONVERTPOLICY_HPP

// Each policy between the API value and the core record, both ways. Kinds outside the known
// values are mapped, never copied blindly. Some rules are lopsided on purpose:
// - towards the core, the presentation access scope is always TOPIC (1);
// - towards the core, keep-all history is {KEEP_ALL, depth 1}; towards the API, keep-all
//   leaves the API depth as it was;
// - towards the API, a best-effort record leaves the API's max blocking time as it was.
// Durations towards the API go through the checking constructor: a core duration with a whole
// second of nanoseconds (other than infinite) throws InvalidDataError.

#include "dds/core/policy/CorePolicy.hpp"
#include "vexa/dds/QosPolicy.h"

namespace vexa {
namespace core {
namespace policy {

#define VEXA_CONVERT_POLICY_PAIR(CORE, API)                                        \
    void convertPolicy(vexa::dds::CORE const& from, ::dds::core::policy::API& to); \
    void convertPolicy(::dds::core::policy::API const& from, vexa::dds::CORE& to);

VEXA_CONVERT_POLICY_PAIR(UserDataQosPolicy, UserData)
VEXA_CONVERT_POLICY_PAIR(TopicDataQosPolicy, TopicData)
VEXA_CONVERT_POLICY_PAIR(GroupDataQosPolicy, GroupData)
VEXA_CONVERT_POLICY_PAIR(DurabilityQosPolicy, Durability)
VEXA_CONVERT_POLICY_PAIR(DurabilityServiceQosPolicy, DurabilityService)
VEXA_CONVERT_POLICY_PAIR(PresentationQosPolicy, Presentation)
VEXA_CONVERT_POLICY_PAIR(DeadlineQosPolicy, Deadline)
VEXA_CONVERT_POLICY_PAIR(LatencyBudgetQosPolicy, LatencyBudget)
VEXA_CONVERT_POLICY_PAIR(OwnershipQosPolicy, Ownership)
VEXA_CONVERT_POLICY_PAIR(OwnershipStrengthQosPolicy, OwnershipStrength)
VEXA_CONVERT_POLICY_PAIR(LivelinessQosPolicy, Liveliness)
VEXA_CONVERT_POLICY_PAIR(TimeBasedFilterQosPolicy, TimeBasedFilter)
VEXA_CONVERT_POLICY_PAIR(PartitionQosPolicy, Partition)
VEXA_CONVERT_POLICY_PAIR(ReliabilityQosPolicy, Reliability)
VEXA_CONVERT_POLICY_PAIR(DestinationOrderQosPolicy, DestinationOrder)
VEXA_CONVERT_POLICY_PAIR(HistoryQosPolicy, History)
VEXA_CONVERT_POLICY_PAIR(ResourceLimitsQosPolicy, ResourceLimits)
VEXA_CONVERT_POLICY_PAIR(TransportPriorityQosPolicy, TransportPriority)
VEXA_CONVERT_POLICY_PAIR(LifespanQosPolicy, Lifespan)
VEXA_CONVERT_POLICY_PAIR(EntityFactoryQosPolicy, EntityFactory)
VEXA_CONVERT_POLICY_PAIR(WriterDataLifecycleQosPolicy, WriterDataLifecycle)
VEXA_CONVERT_POLICY_PAIR(ReaderDataLifecycleQosPolicy, ReaderDataLifecycle)

#undef VEXA_CONVERT_POLICY_PAIR

}  // namespace policy
}  // namespace core
}  // namespace vexa

#endif
