#include "vexa/dds/BuiltinTopicData.h"

namespace vexa {
namespace dds {

bool operator==(ParticipantBuiltinTopicData const& a, ParticipantBuiltinTopicData const& b) {
    return a.key == b.key && a.user_data == b.user_data;
}

bool operator==(TopicBuiltinTopicData const& a, TopicBuiltinTopicData const& b) {
    return a.key == b.key && a.name == b.name && a.type_name == b.type_name &&
           a.durability == b.durability && a.durability_service == b.durability_service &&
           a.deadline == b.deadline && a.latency_budget == b.latency_budget &&
           a.liveliness == b.liveliness && a.reliability == b.reliability &&
           a.transport_priority == b.transport_priority && a.lifespan == b.lifespan &&
           a.destination_order == b.destination_order && a.history == b.history &&
           a.resource_limits == b.resource_limits && a.ownership == b.ownership &&
           a.topic_data == b.topic_data;
}

bool operator==(PublicationBuiltinTopicData const& a, PublicationBuiltinTopicData const& b) {
    return a.key == b.key && a.participant_key == b.participant_key &&
           a.topic_name == b.topic_name && a.type_name == b.type_name &&
           a.durability == b.durability && a.durability_service == b.durability_service &&
           a.deadline == b.deadline && a.latency_budget == b.latency_budget &&
           a.liveliness == b.liveliness && a.reliability == b.reliability &&
           a.lifespan == b.lifespan && a.user_data == b.user_data && a.ownership == b.ownership &&
           a.ownership_strength == b.ownership_strength &&
           a.destination_order == b.destination_order && a.presentation == b.presentation &&
           a.partition == b.partition && a.topic_data == b.topic_data &&
           a.group_data == b.group_data;
}

bool operator==(SubscriptionBuiltinTopicData const& a, SubscriptionBuiltinTopicData const& b) {
    return a.key == b.key && a.participant_key == b.participant_key &&
           a.topic_name == b.topic_name && a.type_name == b.type_name &&
           a.durability == b.durability && a.deadline == b.deadline &&
           a.latency_budget == b.latency_budget && a.liveliness == b.liveliness &&
           a.reliability == b.reliability && a.ownership == b.ownership &&
           a.destination_order == b.destination_order && a.user_data == b.user_data &&
           a.time_based_filter == b.time_based_filter && a.presentation == b.presentation &&
           a.partition == b.partition && a.topic_data == b.topic_data &&
           a.group_data == b.group_data;
}

}  // namespace dds
}  // namespace vexa
