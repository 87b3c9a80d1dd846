#include "vexa/domain/DomainParticipantDelegate.hpp"

#include <string>

#include "DomainEventForwarder.h"
#include "QosConsistency.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dcps/topic/Topic.h"
#include "dds/sub/Subscriber.hpp"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace domain {

namespace {

char const DELEGATE[] = "DomainParticipantDelegate";
constexpr uint32_t ALL_STATUSES = 0x7FFF;

// The core's factory, or null when the service did not start.
vexa::dcps::DPFactory* coreFactory() {
    vexa::dcps::DCPSservice& service = vexa::dcps::DCPSservice::getInstance();
    return service.isReady() ? service.getFactory() : nullptr;
}

std::string where(char const* operation, int line) {
    return std::string(operation) + " at " + DELEGATE + ":" + std::to_string(line);
}

}  // namespace

DomainParticipantDelegate::DomainParticipantDelegate(uint32_t domain_id) {
    common_init(domain_id, nullptr);
    vexa::domain::qos::convertQos(participant_->getQos(), qos_);
}

DomainParticipantDelegate::DomainParticipantDelegate(
    uint32_t domain_id, ::dds::domain::qos::DomainParticipantQos const& q,
    ::dds::domain::DomainParticipantListener* listener, ::dds::core::status::StatusMask const& mask)
    : qos_(q) {
    vexa::dds::DomainParticipantQos core;
    vexa::domain::qos::convertQos(q, core);
    common_init(domain_id, &core);
    if (listener != nullptr) {
        forwarder_ = new DomainEventForwarder(listener);
        listener_ = listener;
        participant_->setListener(forwarder_, static_cast<uint32_t>(mask.to_ulong()));
    }
}

void DomainParticipantDelegate::common_init(uint32_t domain_id,
                                            vexa::dds::DomainParticipantQos const* q) {
    vexa::dcps::DPFactory* factory = coreFactory();
    if (factory == nullptr) {
        throw ::dds::core::PreconditionNotMetError(
            "Unable to resolve the DomainParticipant Factory at DomainParticipantDelegate:62");
    }
    participant_ = factory->createParticipant(domain_id, q);
    if (participant_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "Unable to create DomainParticipant at DomainParticipantDelegate:67");
    }
    setEntity(participant_);
    vexa::dds::TopicQos topic;
    participant_->getDefaultTopicQos(topic);
    vexa::topic::qos::convertQos(topic, default_topic_qos_);
    vexa::dds::PublisherQos pub;
    participant_->getDefaultPubQos(pub);
    vexa::pub::qos::convertQos(pub, default_pub_qos_);
    vexa::dds::SubscriberQos sub;
    participant_->getDefaultSubQos(sub);
    vexa::sub::qos::convertQos(sub, default_sub_qos_);
}

DomainParticipantDelegate::~DomainParticipantDelegate() {
    if (participant_ != nullptr) {
        if (listener_ != nullptr) {
            participant_->setListener(nullptr, 0);
        }
        if (vexa::dcps::DPFactory* factory = coreFactory()) {
            factory->delete_participant(participant_);
        }
    }
    delete forwarder_;
}

void DomainParticipantDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError(
            "DomainParticipant is already closed at DomainParticipantDelegate:" +
            std::to_string(line));
    }
}

void DomainParticipantDelegate::listener(::dds::domain::DomainParticipantListener* l,
                                         ::dds::core::status::StatusMask const& mask) {
    checkOpen(115);
    DomainEventForwarder* forwarder = l != nullptr ? new DomainEventForwarder(l) : nullptr;
    if (participant_->setListener(forwarder, static_cast<uint32_t>(mask.to_ulong())) !=
        vexa::dds::RETCODE_OK) {
        // The core keeps calling the old forwarder: it stays.
        delete forwarder;
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Unable to set listener at DomainParticipantDelegate:115");
    }
    delete forwarder_;
    forwarder_ = forwarder;
    listener_ = l;
}

::dds::domain::DomainParticipantListener* DomainParticipantDelegate::listener() const {
    checkOpen(128);
    return listener_;
}

::dds::domain::qos::DomainParticipantQos const& DomainParticipantDelegate::qos() const {
    checkOpen(137);
    return qos_;
}

void DomainParticipantDelegate::qos(::dds::domain::qos::DomainParticipantQos const& q) {
    checkOpen(147);
    vexa::dds::DomainParticipantQos core;
    vexa::domain::qos::convertQos(q, core);
    participant_->setQos(core);
    qos_ = q;
}

uint32_t DomainParticipantDelegate::domain_id() const {
    checkOpen(158);
    return participant_->getDomainId();
}

void DomainParticipantDelegate::assert_liveliness() {
    checkOpen(167);
    participant_->assert_liveliness();
}

bool DomainParticipantDelegate::contains_entity(::dds::core::InstanceHandle const& handle) {
    checkOpen(177);
    return participant_->contains_entity(handle->handle());
}

::dds::core::Time DomainParticipantDelegate::current_time() const {
    checkOpen(186);
    vexa::dds::Time_t now;
    participant_->get_current_time(now);
    return ::dds::core::Time(now.sec, now.nanosec);
}

::dds::pub::qos::PublisherQos DomainParticipantDelegate::default_publisher_qos() const {
    checkOpen(222);
    return default_pub_qos_;
}

void DomainParticipantDelegate::default_publisher_qos(::dds::pub::qos::PublisherQos const& q) {
    checkOpen(232);
    if (q->presentation().access_scope() !=
        ::dds::core::policy::PresentationAccessScopeKind::INSTANCE) {
        throw ::dds::core::UnsupportedError(
            "UnsupportedError : QoS PRESENTATION has unsupported value at "
            "DomainParticipantDelegate:237");
    }
    vexa::dds::PublisherQos core;
    vexa::pub::qos::convertQos(q, core);
    vexa::core::code2exception(participant_->setDefaultPubQos(&core),
                               where("default_publisher_qos", 232));
    default_pub_qos_ = q;
}

::dds::sub::qos::SubscriberQos DomainParticipantDelegate::default_subscriber_qos() const {
    checkOpen(250);
    return default_sub_qos_;
}

void DomainParticipantDelegate::default_subscriber_qos(::dds::sub::qos::SubscriberQos const& q) {
    checkOpen(260);
    if (q->presentation().access_scope() !=
        ::dds::core::policy::PresentationAccessScopeKind::INSTANCE) {
        throw ::dds::core::UnsupportedError(
            "UnsupportedError : QoS PRESENTATION has unsupported value at "
            "DomainParticipantDelegate:265");
    }
    vexa::dds::SubscriberQos core;
    vexa::sub::qos::convertQos(q, core);
    vexa::core::code2exception(participant_->setDefaultSubQos(&core),
                               where("default_subscriber_qos", 260));
    default_sub_qos_ = q;
}

::dds::topic::qos::TopicQos DomainParticipantDelegate::default_topic_qos() const {
    checkOpen(278);
    return default_topic_qos_;
}

void DomainParticipantDelegate::default_topic_qos(::dds::topic::qos::TopicQos const& q) {
    checkOpen(288);
    vexa::dds::TopicQos core;
    vexa::topic::qos::convertQos(q, core);
    vexa::core::checkHistoryLimits(core.history.depth, core.resource_limits.max_samples,
                                   core.resource_limits.max_samples_per_instance, DELEGATE, 300,
                                   304);
    vexa::core::code2exception(participant_->setDefaultTopicQos(&core),
                               where("default_topic_qos", 288));
    default_topic_qos_ = q;
}

void DomainParticipantDelegate::close() {
    checkOpen(314);
    std::shared_ptr<vexa::sub::SubscriberDelegate> builtin;
    {
        // builtin_subscriber makes no delegate once this is closed.
        std::lock_guard<std::mutex> lock(builtinMutex_);
        vexa::core::EntityDelegate::close();
        builtin =
            std::dynamic_pointer_cast<vexa::sub::SubscriberDelegate>(builtinSubscriber_.lock());
    }
    // The retained built-in subscriber handle would keep this delegate alive until exit:
    // closing it through a handle also drops it from the registry.
    if (builtin != nullptr && !builtin->closed()) {
        ::dds::sub::Subscriber(builtin).close();
    }
    participant_->closedByApi();
}

vexa::dcps::Topic* DomainParticipantDelegate::create_topic(std::string const& topic_name,
                                                           std::string const& type_name,
                                                           ::dds::topic::qos::TopicQos const& q,
                                                           std::string* why) {
    checkOpen(329);
    if (topic_name.empty() && type_name.empty()) {
        vexa::core::code2exception(vexa::dds::RETCODE_BAD_PARAMETER, where("create_topic", 329));
    }
    vexa::dds::TopicQos core;
    vexa::topic::qos::convertQos(q, core);
    vexa::core::checkHistoryLimits(core.history.depth, core.resource_limits.max_samples,
                                   core.resource_limits.max_samples_per_instance, DELEGATE, 343,
                                   347);
    return participant_->createTopic(topic_name, type_name, &core, nullptr, ALL_STATUSES, why);
}

void DomainParticipantDelegate::closeTopic(vexa::dcps::Topic* topic) {
    checkOpen(359);
    participant_->closeTopicByApi(topic);
}

vexa::dds::ReturnCode_t DomainParticipantDelegate::delete_topic(vexa::dcps::Topic* topic) {
    checkOpen(371);
    return participant_->deleteTopic(topic);
}

std::weak_ptr<vexa::core::EntityBase> DomainParticipantDelegate::lookup_topic_description(
    std::string const& name) {
    checkOpen(385);
    return api_obj(participant_->lookupTopicDescription(name));
}

void DomainParticipantDelegate::getInconsistentTopicStatus(
    vexa::dcps::Topic* topic, ::dds::core::status::InconsistentTopicStatus& status) {
    checkOpen(399);
    vexa::dds::InconsistentTopicStatus core;
    if (topic == nullptr || topic->getInconsistentTopicStatus(core) != vexa::dds::RETCODE_OK) {
        throw ::dds::core::PreconditionNotMetError(
            "Topic disabled at DomainParticipantDelegate:407");
    }
    status->total_count = core.total_count;
    status->total_count_change = core.total_count_change;
}

void DomainParticipantDelegate::setTopicQoS(vexa::dcps::Topic* topic,
                                            ::dds::topic::qos::TopicQos const& q) {
    checkOpen(418);
    if (topic == nullptr) {
        throw ::dds::core::NullReferenceError(
            "Topic does not exist at DomainParticipantDelegate:420");
    }
    vexa::dds::TopicQos core;
    vexa::topic::qos::convertQos(q, core);
    vexa::core::code2exception(participant_->setTopicQos(topic, core), where("setTopicQoS", 418));
}

vexa::dcps::Publisher* DomainParticipantDelegate::create_publisher(
    ::dds::pub::qos::PublisherQos const& q) {
    checkOpen(438);
    vexa::dds::PublisherQos core;
    vexa::pub::qos::convertQos(q, core);
    return participant_->createPublisher(&core, nullptr, ALL_STATUSES);
}

vexa::dds::ReturnCode_t DomainParticipantDelegate::delete_publisher(
    vexa::dcps::Publisher* publisher) {
    return participant_->deletePublisher(publisher);
}

vexa::dcps::Subscriber* DomainParticipantDelegate::create_subscriber(
    ::dds::sub::qos::SubscriberQos const& q) {
    checkOpen(467);
    vexa::dds::SubscriberQos core;
    vexa::sub::qos::convertQos(q, core);
    return participant_->createSubscriber(&core, nullptr, ALL_STATUSES);
}

vexa::dds::ReturnCode_t DomainParticipantDelegate::delete_subscriber(
    vexa::dcps::Subscriber* subscriber) {
    return participant_->deleteSubscriber(subscriber);
}

vexa::dcps::SubscriberBuiltin* DomainParticipantDelegate::get_builtin_subscriber() {
    checkOpen(494);
    return participant_->getBuiltinSubscriber();
}

::dds::domain::qos::DomainParticipantQos DomainParticipantDelegate::default_participant_qos() {
    return default_participant_qos_;
}

void DomainParticipantDelegate::default_participant_qos(
    ::dds::domain::qos::DomainParticipantQos const& q) {
    vexa::dcps::DPFactory* factory = coreFactory();
    if (factory == nullptr) {
        throw ::dds::core::PreconditionNotMetError(
            "Unable to resolve the DomainParticipant Factory at DomainParticipantDelegate:211");
    }
    vexa::dds::DomainParticipantQos core;
    vexa::domain::qos::convertQos(q, core);
    factory->setDefaultQos(core);
    default_participant_qos_ = q;
}

::dds::domain::qos::DomainParticipantQos DomainParticipantDelegate::init_default_participant_qos() {
    ::dds::domain::qos::DomainParticipantQos q;
    if (vexa::dcps::DPFactory* factory = coreFactory()) {
        vexa::dds::DomainParticipantQos core;
        factory->getDefaultQos(core);
        vexa::domain::qos::convertQos(core, q);
    }
    return q;
}

}  // namespace domain
}  // namespace vexa
