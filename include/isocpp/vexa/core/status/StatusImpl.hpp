#ifndef VEXA_CORE_STATUS_STATUSIMPL_HPP
#define VEXA_CORE_STATUS_STATUSIMPL_HPP

// The values behind the dds::core::status templates: the fields of the core's status records,
// in their order, with API handles, the rejected state and the API's policy counts. Offered
// and requested statuses share one class.

#include <cstdint>

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/policy/QosPolicyCount.hpp"
#include "dds/core/status/SampleRejectedState.hpp"

namespace vexa {
namespace core {
namespace status {

struct InconsistentTopicStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

struct LivelinessLostStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

struct DeadlineMissedStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    ::dds::core::InstanceHandle last_instance_handle;
};

struct IncompatibleQosStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    ::dds::core::policy::QosPolicyId last_policy_id = 0;
    ::dds::core::policy::QosPolicyCountSeq policies;
};

struct PublicationMatchedStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    int32_t current_count = 0;
    int32_t current_count_change = 0;
    ::dds::core::InstanceHandle last_subscription_handle;
};

struct SubscriptionMatchedStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    int32_t current_count = 0;
    int32_t current_count_change = 0;
    ::dds::core::InstanceHandle last_publication_handle;
};

struct LivelinessChangedStatusImpl {
    int32_t alive_count = 0;
    int32_t not_alive_count = 0;
    int32_t alive_count_change = 0;
    int32_t not_alive_count_change = 0;
};

struct SampleLostStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
};

struct SampleRejectedStatusImpl {
    int32_t total_count = 0;
    int32_t total_count_change = 0;
    ::dds::core::status::SampleRejectedState last_reason;
    ::dds::core::InstanceHandle last_instance_handle;
};

}  // namespace status
}  // namespace core
}  // namespace vexa

#endif
