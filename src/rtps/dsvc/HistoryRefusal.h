#pragma once

#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// Why the durability service refuses a late reader's request for a topic's stored history, or
// null when it serves it. The topic offers, the reader requests: every requested policy may be
// weaker than the topic's, never stronger; ownership kinds must be equal. The service answers a
// refused request with an empty history, so both ends log this reason: the service when it
// refuses, an application when it creates a durable reader the service would refuse.
//
// Header only: the DCPS core, which does not link the engine, checks its readers with it too.
inline char const* historyRefusal(vexa::dds::TopicBuiltinTopicData const& topic,
                                  vexa::dds::SubscriptionBuiltinTopicData const& reader) {
    if (reader.topic_name != topic.name) {
        return "другое имя темы";
    }
    if (reader.type_name != topic.type_name) {
        return "другое имя типа";
    }
    if (reader.durability.kind > topic.durability.kind) {
        return "DURABILITY читателя строже, чем у темы";
    }
    if (reader.deadline.period < topic.deadline.period) {
        return "DEADLINE читателя короче, чем у темы";
    }
    if (reader.latency_budget.duration < topic.latency_budget.duration) {
        return "LATENCY_BUDGET читателя меньше, чем у темы";
    }
    if (reader.liveliness.kind > topic.liveliness.kind) {
        return "LIVELINESS читателя строже, чем у темы";
    }
    if (reader.liveliness.lease_duration < topic.liveliness.lease_duration) {
        return "срок LIVELINESS читателя короче, чем у темы";
    }
    if (reader.reliability.kind > topic.reliability.kind) {
        return "RELIABILITY читателя RELIABLE, у темы BEST_EFFORT";
    }
    if (reader.ownership.kind != topic.ownership.kind) {
        return "OWNERSHIP читателя и темы различны";
    }
    if (reader.destination_order.kind > topic.destination_order.kind) {
        return "DESTINATION_ORDER читателя строже, чем у темы";
    }
    return nullptr;
}

}  // namespace RTPS
