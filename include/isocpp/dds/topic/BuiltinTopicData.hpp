#ifndef DDS_TOPIC_BUILTINTOPICDATA_HPP
#define DDS_TOPIC_BUILTINTOPICDATA_HPP

// The samples of the four built-in topics as the application reads them. The accessors give
// the fields of the core's discovery records as they are.

#include <string>

#include "dds/core/Value.hpp"
#include "vexa/topic/BuiltinTopicDataImpl.hpp"

namespace dds {
namespace topic {

template <typename D>
class TParticipantBuiltinTopicData : public ::dds::core::Value<D> {
public:
    vexa::dds::BuiltinTopicKey_t const& key() const { return this->d_.record().key; }
    vexa::dds::UserDataQosPolicy const& user_data() const { return this->d_.record().user_data; }
};

template <typename D>
class TTopicBuiltinTopicData : public ::dds::core::Value<D> {
public:
    vexa::dds::BuiltinTopicKey_t const& key() const { return this->d_.record().key; }
    std::string const& name() const { return this->d_.record().name; }
    std::string const& type_name() const { return this->d_.record().type_name; }
    vexa::dds::DurabilityQosPolicy const& durability() const {
        return this->d_.record().durability;
    }
    vexa::dds::DurabilityServiceQosPolicy const& durability_service() const {
        return this->d_.record().durability_service;
    }
    vexa::dds::DeadlineQosPolicy const& deadline() const { return this->d_.record().deadline; }
    vexa::dds::LatencyBudgetQosPolicy const& latency_budget() const {
        return this->d_.record().latency_budget;
    }
    vexa::dds::LivelinessQosPolicy const& liveliness() const {
        return this->d_.record().liveliness;
    }
    vexa::dds::ReliabilityQosPolicy const& reliability() const {
        return this->d_.record().reliability;
    }
    vexa::dds::TransportPriorityQosPolicy const& transport_priority() const {
        return this->d_.record().transport_priority;
    }
    vexa::dds::LifespanQosPolicy const& lifespan() const { return this->d_.record().lifespan; }
    vexa::dds::DestinationOrderQosPolicy const& destination_order() const {
        return this->d_.record().destination_order;
    }
    vexa::dds::HistoryQosPolicy const& history() const { return this->d_.record().history; }
    vexa::dds::ResourceLimitsQosPolicy const& resource_limits() const {
        return this->d_.record().resource_limits;
    }
    vexa::dds::OwnershipQosPolicy const& ownership() const { return this->d_.record().ownership; }
    vexa::dds::TopicDataQosPolicy const& topic_data() const { return this->d_.record().topic_data; }
};

template <typename D>
class TPublicationBuiltinTopicData : public ::dds::core::Value<D> {
public:
    vexa::dds::BuiltinTopicKey_t const& key() const { return this->d_.record().key; }
    vexa::dds::BuiltinTopicKey_t const& participant_key() const {
        return this->d_.record().participant_key;
    }
    std::string const& topic_name() const { return this->d_.record().topic_name; }
    std::string const& type_name() const { return this->d_.record().type_name; }
    vexa::dds::DurabilityQosPolicy const& durability() const {
        return this->d_.record().durability;
    }
    vexa::dds::DurabilityServiceQosPolicy const& durability_service() const {
        return this->d_.record().durability_service;
    }
    vexa::dds::DeadlineQosPolicy const& deadline() const { return this->d_.record().deadline; }
    vexa::dds::LatencyBudgetQosPolicy const& latency_budget() const {
        return this->d_.record().latency_budget;
    }
    vexa::dds::LivelinessQosPolicy const& liveliness() const {
        return this->d_.record().liveliness;
    }
    vexa::dds::ReliabilityQosPolicy const& reliability() const {
        return this->d_.record().reliability;
    }
    vexa::dds::LifespanQosPolicy const& lifespan() const { return this->d_.record().lifespan; }
    vexa::dds::UserDataQosPolicy const& user_data() const { return this->d_.record().user_data; }
    vexa::dds::OwnershipQosPolicy const& ownership() const { return this->d_.record().ownership; }
    vexa::dds::OwnershipStrengthQosPolicy const& ownership_strength() const {
        return this->d_.record().ownership_strength;
    }
    vexa::dds::DestinationOrderQosPolicy const& destination_order() const {
        return this->d_.record().destination_order;
    }
    vexa::dds::PresentationQosPolicy const& presentation() const {
        return this->d_.record().presentation;
    }
    vexa::dds::PartitionQosPolicy const& partition() const { return this->d_.record().partition; }
    vexa::dds::TopicDataQosPolicy const& topic_data() const { return this->d_.record().topic_data; }
    vexa::dds::GroupDataQosPolicy const& group_data() const { return this->d_.record().group_data; }
};

template <typename D>
class TSubscriptionBuiltinTopicData : public ::dds::core::Value<D> {
public:
    vexa::dds::BuiltinTopicKey_t const& key() const { return this->d_.record().key; }
    vexa::dds::BuiltinTopicKey_t const& participant_key() const {
        return this->d_.record().participant_key;
    }
    std::string const& topic_name() const { return this->d_.record().topic_name; }
    std::string const& type_name() const { return this->d_.record().type_name; }
    vexa::dds::DurabilityQosPolicy const& durability() const {
        return this->d_.record().durability;
    }
    vexa::dds::DeadlineQosPolicy const& deadline() const { return this->d_.record().deadline; }
    vexa::dds::LatencyBudgetQosPolicy const& latency_budget() const {
        return this->d_.record().latency_budget;
    }
    vexa::dds::LivelinessQosPolicy const& liveliness() const {
        return this->d_.record().liveliness;
    }
    vexa::dds::ReliabilityQosPolicy const& reliability() const {
        return this->d_.record().reliability;
    }
    vexa::dds::OwnershipQosPolicy const& ownership() const { return this->d_.record().ownership; }
    vexa::dds::DestinationOrderQosPolicy const& destination_order() const {
        return this->d_.record().destination_order;
    }
    vexa::dds::UserDataQosPolicy const& user_data() const { return this->d_.record().user_data; }
    vexa::dds::TimeBasedFilterQosPolicy const& time_based_filter() const {
        return this->d_.record().time_based_filter;
    }
    vexa::dds::PresentationQosPolicy const& presentation() const {
        return this->d_.record().presentation;
    }
    vexa::dds::PartitionQosPolicy const& partition() const { return this->d_.record().partition; }
    vexa::dds::TopicDataQosPolicy const& topic_data() const { return this->d_.record().topic_data; }
    vexa::dds::GroupDataQosPolicy const& group_data() const { return this->d_.record().group_data; }
};

using ParticipantBuiltinTopicData =
    TParticipantBuiltinTopicData<vexa::topic::ParticipantBuiltinTopicDataImpl>;
using TopicBuiltinTopicData = TTopicBuiltinTopicData<vexa::topic::TopicBuiltinTopicDataImpl>;
using PublicationBuiltinTopicData =
    TPublicationBuiltinTopicData<vexa::topic::PublicationBuiltinTopicDataImpl>;
using SubscriptionBuiltinTopicData =
    TSubscriptionBuiltinTopicData<vexa::topic::SubscriptionBuiltinTopicDataImpl>;

}  // namespace topic
}  // namespace dds

#endif
