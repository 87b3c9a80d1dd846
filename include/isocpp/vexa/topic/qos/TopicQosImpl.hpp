#ifndef VEXA_TOPIC_QOS_TOPICQOSIMPL_HPP
#define VEXA_TOPIC_QOS_TOPICQOSIMPL_HPP

#include "dds/core/policy/CorePolicy.hpp"

namespace vexa {
namespace topic {
namespace qos {

class TopicQosImpl {
public:
    TopicQosImpl() = default;
    TopicQosImpl(::dds::core::policy::TopicData const& topic_data,
                 ::dds::core::policy::Durability const& durability,
                 ::dds::core::policy::DurabilityService const& durability_service,
                 ::dds::core::policy::Ownership const& ownership,
                 ::dds::core::policy::Deadline const& deadline,
                 ::dds::core::policy::LatencyBudget const& latency_budget,
                 ::dds::core::policy::Liveliness const& liveliness,
                 ::dds::core::policy::Reliability const& reliability,
                 ::dds::core::policy::DestinationOrder const& destination_order,
                 ::dds::core::policy::History const& history,
                 ::dds::core::policy::ResourceLimits const& resource_limits,
                 ::dds::core::policy::TransportPriority const& transport_priority,
                 ::dds::core::policy::Lifespan const& lifespan)
        : topic_data_(topic_data),
          durability_(durability),
          durability_service_(durability_service),
          ownership_(ownership),
          deadline_(deadline),
          latency_budget_(latency_budget),
          liveliness_(liveliness),
          reliability_(reliability),
          destination_order_(destination_order),
          history_(history),
          resource_limits_(resource_limits),
          transport_priority_(transport_priority),
          lifespan_(lifespan) {}

    void policy(::dds::core::policy::TopicData const& p) { topic_data_ = p; }
    void policy(::dds::core::policy::Durability const& p) { durability_ = p; }
    void policy(::dds::core::policy::DurabilityService const& p) { durability_service_ = p; }
    void policy(::dds::core::policy::Ownership const& p) { ownership_ = p; }
    void policy(::dds::core::policy::Deadline const& p) { deadline_ = p; }
    void policy(::dds::core::policy::LatencyBudget const& p) { latency_budget_ = p; }
    void policy(::dds::core::policy::Liveliness const& p) { liveliness_ = p; }
    void policy(::dds::core::policy::Reliability const& p) { reliability_ = p; }
    void policy(::dds::core::policy::DestinationOrder const& p) { destination_order_ = p; }
    void policy(::dds::core::policy::History const& p) { history_ = p; }
    void policy(::dds::core::policy::ResourceLimits const& p) { resource_limits_ = p; }
    void policy(::dds::core::policy::TransportPriority const& p) { transport_priority_ = p; }
    void policy(::dds::core::policy::Lifespan const& p) { lifespan_ = p; }

    ::dds::core::policy::TopicData const& topic_data() const { return topic_data_; }
    ::dds::core::policy::Durability const& durability() const { return durability_; }
    ::dds::core::policy::DurabilityService const& durability_service() const {
        return durability_service_;
    }
    ::dds::core::policy::Ownership const& ownership() const { return ownership_; }
    ::dds::core::policy::Deadline const& deadline() const { return deadline_; }
    ::dds::core::policy::LatencyBudget const& latency_budget() const { return latency_budget_; }
    ::dds::core::policy::Liveliness const& liveliness() const { return liveliness_; }
    ::dds::core::policy::Reliability const& reliability() const { return reliability_; }
    ::dds::core::policy::DestinationOrder const& destination_order() const {
        return destination_order_;
    }
    ::dds::core::policy::History const& history() const { return history_; }
    ::dds::core::policy::ResourceLimits const& resource_limits() const { return resource_limits_; }
    ::dds::core::policy::TransportPriority const& transport_priority() const {
        return transport_priority_;
    }
    ::dds::core::policy::Lifespan const& lifespan() const { return lifespan_; }

private:
    ::dds::core::policy::TopicData topic_data_;
    ::dds::core::policy::Durability durability_;
    ::dds::core::policy::DurabilityService durability_service_;
    ::dds::core::policy::Ownership ownership_;
    ::dds::core::policy::Deadline deadline_;
    ::dds::core::policy::LatencyBudget latency_budget_;
    ::dds::core::policy::Liveliness liveliness_;
    ::dds::core::policy::Reliability reliability_;
    ::dds::core::policy::DestinationOrder destination_order_;
    ::dds::core::policy::History history_;
    ::dds::core::policy::ResourceLimits resource_limits_;
    ::dds::core::policy::TransportPriority transport_priority_;
    ::dds::core::policy::Lifespan lifespan_;
};

}  // namespace qos
}  // namespace topic
}  // namespace vexa

#endif
