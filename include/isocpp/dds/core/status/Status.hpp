#ifndef DDS_CORE_STATUS_STATUS_HPP
#define DDS_CORE_STATUS_STATUS_HPP

// The communication statuses as the application reads them, and get_status<S>(), the mask
// bit of each status.

#include <cstdint>

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/Value.hpp"
#include "dds/core/policy/QosPolicyCount.hpp"
#include "dds/core/status/SampleRejectedState.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "vexa/core/status/StatusImpl.hpp"
#include "vexa/dds/Status.h"

namespace dds {
namespace core {
namespace status {

template <typename D>
class TInconsistentTopicStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
};

template <typename D>
class TLivelinessLostStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
};

template <typename D>
class TOfferedDeadlineMissedStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    InstanceHandle const& last_instance_handle() const { return this->d_.last_instance_handle; }
};

template <typename D>
class TRequestedDeadlineMissedStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    InstanceHandle const& last_instance_handle() const { return this->d_.last_instance_handle; }
};

template <typename D>
class TOfferedIncompatibleQosStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    policy::QosPolicyId last_policy_id() const { return this->d_.last_policy_id; }
    policy::QosPolicyCountSeq const& policies() const { return this->d_.policies; }
};

template <typename D>
class TRequestedIncompatibleQosStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    policy::QosPolicyId last_policy_id() const { return this->d_.last_policy_id; }
    policy::QosPolicyCountSeq const& policies() const { return this->d_.policies; }
};

template <typename D>
class TPublicationMatchedStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    int32_t current_count() const { return this->d_.current_count; }
    int32_t current_count_change() const { return this->d_.current_count_change; }
    InstanceHandle const& last_subscription_handle() const {
        return this->d_.last_subscription_handle;
    }
};

template <typename D>
class TSubscriptionMatchedStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    int32_t current_count() const { return this->d_.current_count; }
    int32_t current_count_change() const { return this->d_.current_count_change; }
    InstanceHandle const& last_publication_handle() const {
        return this->d_.last_publication_handle;
    }
};

template <typename D>
class TLivelinessChangedStatus : public Value<D> {
public:
    int32_t alive_count() const { return this->d_.alive_count; }
    int32_t not_alive_count() const { return this->d_.not_alive_count; }
    int32_t alive_count_change() const { return this->d_.alive_count_change; }
    int32_t not_alive_count_change() const { return this->d_.not_alive_count_change; }
};

template <typename D>
class TSampleLostStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
};

template <typename D>
class TSampleRejectedStatus : public Value<D> {
public:
    int32_t total_count() const { return this->d_.total_count; }
    int32_t total_count_change() const { return this->d_.total_count_change; }
    SampleRejectedState const& last_reason() const { return this->d_.last_reason; }
    InstanceHandle const& last_instance_handle() const { return this->d_.last_instance_handle; }
};

// These two carry no counters; only their bits matter.
class DataOnReadersStatus {};
class DataAvailableStatus {};

using InconsistentTopicStatus =
    TInconsistentTopicStatus<vexa::core::status::InconsistentTopicStatusImpl>;
using LivelinessLostStatus = TLivelinessLostStatus<vexa::core::status::LivelinessLostStatusImpl>;
using OfferedDeadlineMissedStatus =
    TOfferedDeadlineMissedStatus<vexa::core::status::DeadlineMissedStatusImpl>;
using RequestedDeadlineMissedStatus =
    TRequestedDeadlineMissedStatus<vexa::core::status::DeadlineMissedStatusImpl>;
using OfferedIncompatibleQosStatus =
    TOfferedIncompatibleQosStatus<vexa::core::status::IncompatibleQosStatusImpl>;
using RequestedIncompatibleQosStatus =
    TRequestedIncompatibleQosStatus<vexa::core::status::IncompatibleQosStatusImpl>;
using PublicationMatchedStatus =
    TPublicationMatchedStatus<vexa::core::status::PublicationMatchedStatusImpl>;
using SubscriptionMatchedStatus =
    TSubscriptionMatchedStatus<vexa::core::status::SubscriptionMatchedStatusImpl>;
using LivelinessChangedStatus =
    TLivelinessChangedStatus<vexa::core::status::LivelinessChangedStatusImpl>;
using SampleLostStatus = TSampleLostStatus<vexa::core::status::SampleLostStatusImpl>;
using SampleRejectedStatus = TSampleRejectedStatus<vexa::core::status::SampleRejectedStatusImpl>;

// The mask with the single bit of status S.
template <typename S>
StatusMask get_status();

#define VEXA_STATUS_BIT(S, BIT)            \
    template <>                            \
    inline StatusMask get_status<S>() {    \
        return StatusMask(vexa::dds::BIT); \
    }

VEXA_STATUS_BIT(InconsistentTopicStatus, INCONSISTENT_TOPIC_STATUS)
VEXA_STATUS_BIT(OfferedDeadlineMissedStatus, OFFERED_DEADLINE_MISSED_STATUS)
VEXA_STATUS_BIT(RequestedDeadlineMissedStatus, REQUESTED_DEADLINE_MISSED_STATUS)
VEXA_STATUS_BIT(OfferedIncompatibleQosStatus, OFFERED_INCOMPATIBLE_QOS_STATUS)
VEXA_STATUS_BIT(RequestedIncompatibleQosStatus, REQUESTED_INCOMPATIBLE_QOS_STATUS)
VEXA_STATUS_BIT(SampleLostStatus, SAMPLE_LOST_STATUS)
VEXA_STATUS_BIT(SampleRejectedStatus, SAMPLE_REJECTED_STATUS)
VEXA_STATUS_BIT(DataOnReadersStatus, DATA_ON_READERS_STATUS)
VEXA_STATUS_BIT(DataAvailableStatus, DATA_AVAILABLE_STATUS)
VEXA_STATUS_BIT(LivelinessLostStatus, LIVELINESS_LOST_STATUS)
VEXA_STATUS_BIT(LivelinessChangedStatus, LIVELINESS_CHANGED_STATUS)
VEXA_STATUS_BIT(PublicationMatchedStatus, PUBLICATION_MATCHED_STATUS)
VEXA_STATUS_BIT(SubscriptionMatchedStatus, SUBSCRIPTION_MATCHED_STATUS)

#undef VEXA_STATUS_BIT

}  // namespace status
}  // namespace core
}  // namespace dds

#endif
