#include "dcps/topic/Topic.h"

#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DPFactory.h"
#include "dcps/service/TypeSupportCB.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

Topic::Topic(DomainParticipant* participant, TypeSupportCB* typeSupport, std::string name,
             int32_t id, vexa::dds::TopicQos const* qos)
    : TopicDescription(id, participant, typeSupport, std::move(name)) {
    if (qos != nullptr) {
        qos_ = *qos;
    } else {
        participant->getDefaultTopicQos(qos_);
    }
    DPFactory::getGUID12(data_.key.value);
    bool const keyed = typeSupport->factory_ != nullptr && typeSupport->factory_->hasKey();
    auto* firstByte = reinterpret_cast<unsigned char*>(&data_.key.value[0]);
    *firstByte = keyed ? 0x8A : 0x0A;
    data_.name = getName();
    data_.type_name = typeSupport->typeName;
    data_.durability = qos_.durability;
    data_.durability_service = qos_.durability_service;
    data_.deadline = qos_.deadline;
    data_.latency_budget = qos_.latency_budget;
    data_.liveliness = qos_.liveliness;
    data_.reliability = qos_.reliability;
    data_.transport_priority = qos_.transport_priority;
    data_.lifespan = qos_.lifespan;
    data_.destination_order = qos_.destination_order;
    data_.history = qos_.history;
    data_.resource_limits = qos_.resource_limits;
    data_.ownership = qos_.ownership;
    data_.topic_data = qos_.topic_data;
}

ReturnCode_t Topic::setListener(TopicEventForwarder* listener, uint32_t mask) {
    listener_ = listener;
    listenerMask_ = mask;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Topic::getQoS(vexa::dds::TopicQos& out) const {
    out = qos_;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Topic::setQoS(vexa::dds::TopicQos const& qos) {
    qos_ = qos;
    data_.deadline = qos_.deadline;
    data_.latency_budget = qos_.latency_budget;
    data_.transport_priority = qos_.transport_priority;
    data_.lifespan = qos_.lifespan;
    data_.topic_data = qos_.topic_data;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Topic::getInconsistentTopicStatus(vexa::dds::InconsistentTopicStatus& out) {
    if (!isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    out = status_;
    status_.total_count_change = 0;
    reset_status_changes(vexa::dds::INCONSISTENT_TOPIC_STATUS);
    return vexa::dds::RETCODE_OK;
}

void Topic::addInconsistentTopics(int32_t n) {
    status_.total_count += n;
    status_.total_count_change += n;
    set_status_changes(vexa::dds::INCONSISTENT_TOPIC_STATUS);
    // Setting only triggers the condition; a wait set waiting on it wakes on the signal.
    getStatusCondition().signal();
}

TypeSupportCB* Topic::addTopicWriter(Writer* writer) {
    writers_.insert(writer);
    return getTypeSupport();
}

TypeSupportCB* Topic::addTopicReader(Reader* reader) {
    readers_.insert(reader);
    return getTypeSupport();
}

bool Topic::removeTopicWriter(Writer* writer) {
    return writers_.erase(writer) != 0;
}

bool Topic::removeTopicReader(Reader* reader) {
    return readers_.erase(reader) != 0;
}

bool Topic::isConsistent(vexa::dds::TopicBuiltinTopicData const& r) const {
    return r.name == data_.name && r.type_name == data_.type_name &&
           r.durability.kind == data_.durability.kind &&
           r.deadline.period == data_.deadline.period &&
           r.latency_budget.duration == data_.latency_budget.duration &&
           r.liveliness.kind == data_.liveliness.kind &&
           r.liveliness.lease_duration == data_.liveliness.lease_duration &&
           r.reliability.kind == data_.reliability.kind &&
           r.reliability.max_blocking_time == data_.reliability.max_blocking_time &&
           r.destination_order.kind == data_.destination_order.kind &&
           r.ownership.kind == data_.ownership.kind;
}

bool Topic::checkConsistency(vexa::dds::TopicBuiltinTopicData const& remote) {
    bool const consistent = isConsistent(remote);
    if (!consistent) {
        addInconsistentTopics(1);
    }
    return consistent;
}

}  // namespace vexa::dcps
