#include "vexa/topic/TopicDelegate.hpp"

#include "dds/topic/Topic.hpp"

#include "dcps/domain/DomainParticipant.h"
#include "dcps/topic/Topic.h"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace topic {

TopicDelegate::TopicDelegate(::dds::domain::DomainParticipant const& participant,
                             std::string const& name, std::string const& type_name,
                             ::dds::topic::qos::TopicQos const& q)
    : participant_(participant), name_(name), type_name_(type_name), qos_(q) {
    std::string why;
    topic_ = participant_->create_topic(name, type_name, q, &why);
    if (topic_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to create Topic implementation: " + why);
    }
    setEntity(topic_);
}

TopicDelegate::~TopicDelegate() {
    // Straight to the core: the participant may be closed already, and this is the only
    // place that deletes the topic.
    if (topic_ != nullptr) {
        participant_->participant()->deleteTopic(topic_);
    }
}

void TopicDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError("Topic is already closed at TopicDelegate:" +
                                              std::to_string(line));
    }
}

void TopicDelegate::close() {
    checkOpen(40);
    // A topic that a writer or reader still uses stays open.
    if (participant_->participant()->closeTopicByApi(topic_) != vexa::dds::RETCODE_OK) {
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Topic is in use by a writer or reader at "
            "TopicDelegate:40");
    }
    vexa::core::EntityDelegate::close();
}

std::string const& TopicDelegate::name() const {
    checkOpen(50);
    return name_;
}

std::string const& TopicDelegate::type_name() const {
    checkOpen(55);
    return type_name_;
}

::dds::domain::DomainParticipant const& TopicDelegate::domain_participant() const {
    checkOpen(60);
    return participant_;
}

::dds::topic::qos::TopicQos const& TopicDelegate::qos() const {
    checkOpen(65);
    return qos_;
}

void TopicDelegate::qos(::dds::topic::qos::TopicQos const& q) {
    checkOpen(70);
    participant_->setTopicQoS(topic_, q);
    qos_ = q;
}

::dds::core::status::InconsistentTopicStatus TopicDelegate::inconsistent_topic_status() {
    checkOpen(77);
    ::dds::core::status::InconsistentTopicStatus status;
    participant_->getInconsistentTopicStatus(topic_, status);
    return status;
}

}  // namespace topic
}  // namespace vexa

namespace dds {
namespace topic {

void ignore(::dds::domain::DomainParticipant const&, ::dds::core::InstanceHandle const&) {
    throw ::dds::core::UnsupportedError(
        "ignore_topic: Function is not currently supported at TPdiscovery:20");
}

}  // namespace topic
}  // namespace dds
