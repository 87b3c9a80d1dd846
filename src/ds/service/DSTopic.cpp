#include "ds/service/DSTopic.h"

#include "ds/service/DurabilityService.h"
#include "rtps/dsvc/HistoryRefusal.h"

namespace vexa::ds {

DSTopic::DSTopic(DSDomainParticipant* participant, const std::string& typeName,
                 const std::string& name, uint32_t id, const vexa::dds::TopicQos& qos, bool hasKey)
    : m_participant(participant), m_id(id), m_hasKey(hasKey), m_qos(qos) {
    DurabilityService::getGUID12(m_data.key.value);
    m_data.key.value[0] = (m_data.key.value[0] & ~0xFFu) | (hasKey ? KEYED : KEYLESS);
    m_data.name = name;
    m_data.type_name = typeName;
    m_data.durability = qos.durability;
    m_data.durability_service = qos.durability_service;
    m_data.deadline = qos.deadline;
    m_data.latency_budget = qos.latency_budget;
    m_data.liveliness = qos.liveliness;
    m_data.reliability = qos.reliability;
    m_data.transport_priority = qos.transport_priority;
    m_data.lifespan = qos.lifespan;
    m_data.destination_order = qos.destination_order;
    m_data.history = qos.history;
    m_data.resource_limits = qos.resource_limits;
    m_data.ownership = qos.ownership;
    m_data.topic_data = qos.topic_data;
}

bool DSTopic::isConsistent(const vexa::dds::SubscriptionBuiltinTopicData& sub) const {
    return RTPS::historyRefusal(m_data, sub) == nullptr;
}

// Durability service, history, resource limits, transport priority, lifespan and topic data may
// differ between participants.
bool DSTopic::isConsistent(const vexa::dds::TopicBuiltinTopicData& o) const {
    const vexa::dds::TopicBuiltinTopicData& t = m_data;
    return o.name == t.name && o.type_name == t.type_name &&
           o.durability.kind == t.durability.kind && o.deadline.period == t.deadline.period &&
           o.latency_budget.duration == t.latency_budget.duration &&
           o.liveliness.kind == t.liveliness.kind &&
           o.liveliness.lease_duration == t.liveliness.lease_duration &&
           o.reliability.kind == t.reliability.kind &&
           o.reliability.max_blocking_time == t.reliability.max_blocking_time &&
           o.destination_order.kind == t.destination_order.kind &&
           o.ownership.kind == t.ownership.kind;
}

}  // namespace vexa::ds
