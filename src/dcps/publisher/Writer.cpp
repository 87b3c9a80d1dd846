// The writer's construction, effective limits, publication data and end.
#include "dcps/publisher/Writer.h"

#include <algorithm>
#include <cstring>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/TypeSupportCB.h"
#include "dcps/topic/Topic.h"
#include "vexa/DataWriterImpl.h"
#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {

// A QoS limit replaces the current one only when it is a real limit below it.
int32_t tighter(int32_t current, int32_t qosValue) {
    return (qosValue >= 1 && qosValue < current) ? qosValue : current;
}

constexpr int32_t MAX_PREALLOCATION = 10;

}  // namespace

Writer::Writer(Publisher* publisher, Topic* topic, uint32_t id, vexa::dds::DataWriterQos const* qos)
    : Entity(static_cast<int32_t>(id), publisher),
      qos_(*qos),
      publisher_(publisher),
      topic_(topic) {
    auto const& limits = qos_.resource_limits;
    maxSamples_ = tighter(DCPSservice::getInstance().getMaxSamplesPerWriter(), limits.max_samples);
    maxInstances_ = tighter(maxSamples_, limits.max_instances);
    maxSamplesPerInstance_ = tighter(maxSamples_, limits.max_samples_per_instance);
    depth_ = maxSamplesPerInstance_;
    if (qos_.history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS) {
        depth_ = tighter(depth_, qos_.history.depth);
    }
    preallocation_ = std::min(depth_, MAX_PREALLOCATION);

    for (vexa::dds::QosPolicyId_t policy :
         {vexa::dds::DURABILITY_QOS_POLICY_ID, vexa::dds::DEADLINE_QOS_POLICY_ID,
          vexa::dds::LATENCYBUDGET_QOS_POLICY_ID, vexa::dds::LIVELINESS_QOS_POLICY_ID,
          vexa::dds::RELIABILITY_QOS_POLICY_ID, vexa::dds::DESTINATIONORDER_QOS_POLICY_ID,
          vexa::dds::OWNERSHIP_QOS_POLICY_ID, vexa::dds::PRESENTATION_QOS_POLICY_ID}) {
        incompatibleQos_.policies.push_back({policy, 0});
    }

    data_.key.value[0] = id & 0x00FFFFFFu;
    data_.topic_name = topic->getName();
    data_.type_name = topic->getTypeName();
    data_.durability = qos_.durability;
    data_.durability_service = qos_.durability_service;
    data_.ownership_strength = qos_.ownership_strength;
    data_.liveliness = qos_.liveliness;
    data_.reliability = qos_.reliability;
    data_.ownership = qos_.ownership;
    data_.destination_order = qos_.destination_order;
    refreshPublicationData();
    vexa::dds::PublisherQos const& pub = publisher->qos();
    data_.presentation = pub.presentation;
    data_.partition = pub.partition;
    data_.group_data = pub.group_data;
    vexa::dds::TopicQos topicQos;
    topic->getQoS(topicQos);
    data_.topic_data = topicQos.topic_data;

    vexa::dds::Time_t const now = clock().now();
    lastAssertion_ = now;
    lastLivelinessCheck_ = now;
    lastDeadlineCheck_ = now;
}

Writer::~Writer() {
    releaseRemoteReaders();
    delete bridge_;
}

void Writer::refreshPublicationData() {
    data_.deadline = qos_.deadline;
    data_.latency_budget = qos_.latency_budget;
    data_.lifespan = qos_.lifespan;
    data_.user_data = qos_.user_data;
}

TimeService& Writer::clock() const {
    return publisher_->getTimeService();
}

api::DataWriterImpl* Writer::InitResources(api::TypeSupportFactoryImpl const& typeSupport) {
    typeSupport_ = &typeSupport;
    bridge_ = typeSupport.create_datawriter(this);
    return bridge_;
}

RTPS::Writer* Writer::detachRTPS() {
    detaching_ = true;
    RTPS::Writer* rtps = rtps_;
    rtps_ = nullptr;
    return rtps;
}

ReturnCode_t Writer::getQoS(vexa::dds::DataWriterQos& out) const {
    out = qos_;
    return vexa::dds::RETCODE_OK;
}

ReturnCode_t Writer::setListener(api::DWEventForwarder* listener, uint32_t mask) {
    listener_ = listener;
    listenerMask_ = mask;
    return vexa::dds::RETCODE_OK;
}

size_t Writer::KeyHashHasher::operator()(vexa::dds::KeyHash_t const& h) const {
    uint64_t first = 0;
    uint64_t second = 0;
    std::memcpy(&first, h.hash, sizeof first);
    std::memcpy(&second, h.hash + sizeof first, sizeof second);
    return static_cast<size_t>((second * 2) ^ first);
}

}  // namespace vexa::dcps
