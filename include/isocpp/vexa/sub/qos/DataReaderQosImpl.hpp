#ifndef VEXA_SUB_QOS_DATAREADERQOSIMPL_HPP
#define VEXA_SUB_QOS_DATAREADERQOSIMPL_HPP

#include "vexa/core/EndpointQosImpl.hpp"
#include "vexa/topic/qos/TopicQosImpl.hpp"

namespace vexa {
namespace sub {
namespace qos {

class DataReaderQosImpl : public vexa::core::EndpointQosImpl {
public:
    DataReaderQosImpl() = default;
    DataReaderQosImpl(::dds::core::policy::UserData const& user_data,
                      ::dds::core::policy::Durability const& durability,
                      ::dds::core::policy::DurabilityService const& durability_service,
                      ::dds::core::policy::Deadline const& deadline,
                      ::dds::core::policy::LatencyBudget const& latency_budget,
                      ::dds::core::policy::Liveliness const& liveliness,
                      ::dds::core::policy::Reliability const& reliability,
                      ::dds::core::policy::DestinationOrder const& destination_order,
                      ::dds::core::policy::History const& history,
                      ::dds::core::policy::ResourceLimits const& resource_limits,
                      ::dds::core::policy::TransportPriority const& transport_priority,
                      ::dds::core::policy::Lifespan const& lifespan,
                      ::dds::core::policy::Ownership const& ownership,
                      ::dds::core::policy::TimeBasedFilter const& time_based_filter,
                      ::dds::core::policy::ReaderDataLifecycle const& reader_data_lifecycle)
        : EndpointQosImpl(user_data, durability, durability_service, deadline, latency_budget,
                          liveliness, reliability, destination_order, history, resource_limits,
                          transport_priority, lifespan, ownership),
          time_based_filter_(time_based_filter),
          reader_data_lifecycle_(reader_data_lifecycle) {}
    // The topic's policies, empty user data, no time filter and infinite purge delays.
    explicit DataReaderQosImpl(vexa::topic::qos::TopicQosImpl const& t) : EndpointQosImpl(t) {}

    using EndpointQosImpl::policy;
    void policy(::dds::core::policy::TimeBasedFilter const& p) { time_based_filter_ = p; }
    void policy(::dds::core::policy::ReaderDataLifecycle const& p) { reader_data_lifecycle_ = p; }

    ::dds::core::policy::TimeBasedFilter const& time_based_filter() const {
        return time_based_filter_;
    }
    ::dds::core::policy::ReaderDataLifecycle const& reader_data_lifecycle() const {
        return reader_data_lifecycle_;
    }

private:
    ::dds::core::policy::TimeBasedFilter time_based_filter_;
    ::dds::core::policy::ReaderDataLifecycle reader_data_lifecycle_;
};

}  // namespace qos
}  // namespace sub
}  // namespace vexa

#endif
