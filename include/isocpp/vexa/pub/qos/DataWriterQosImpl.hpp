#ifndef VEXA_PUB_QOS_DATAWRITERQOSIMPL_HPP
#define VEXA_PUB_QOS_DATAWRITERQOSIMPL_HPP

#include "vexa/core/EndpointQosImpl.hpp"
#include "vexa/topic/qos/TopicQosImpl.hpp"

namespace vexa {
namespace pub {
namespace qos {

class DataWriterQosImpl : public vexa::core::EndpointQosImpl {
public:
    DataWriterQosImpl() = default;
    DataWriterQosImpl(::dds::core::policy::UserData const& user_data,
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
                      ::dds::core::policy::OwnershipStrength const& ownership_strength,
                      ::dds::core::policy::WriterDataLifecycle const& writer_data_lifecycle)
        : EndpointQosImpl(user_data, durability, durability_service, deadline, latency_budget,
                          liveliness, reliability, destination_order, history, resource_limits,
                          transport_priority, lifespan, ownership),
          ownership_strength_(ownership_strength),
          writer_data_lifecycle_(writer_data_lifecycle) {}
    // The topic's policies, empty user data, strength 0 and autodispose on.
    explicit DataWriterQosImpl(vexa::topic::qos::TopicQosImpl const& t) : EndpointQosImpl(t) {}

    using EndpointQosImpl::policy;
    void policy(::dds::core::policy::OwnershipStrength const& p) { ownership_strength_ = p; }
    void policy(::dds::core::policy::WriterDataLifecycle const& p) { writer_data_lifecycle_ = p; }

    ::dds::core::policy::OwnershipStrength const& ownership_strength() const {
        return ownership_strength_;
    }
    ::dds::core::policy::WriterDataLifecycle const& writer_data_lifecycle() const {
        return writer_data_lifecycle_;
    }

private:
    ::dds::core::policy::OwnershipStrength ownership_strength_;
    ::dds::core::policy::WriterDataLifecycle writer_data_lifecycle_;
};

}  // namespace qos
}  // namespace pub
}  // namespace vexa

#endif
