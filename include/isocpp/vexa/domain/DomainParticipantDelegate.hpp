#ifndef VEXA_DOMAIN_DOMAINPARTICIPANTDELEGATE_HPP
#define VEXA_DOMAIN_DOMAINPARTICIPANTDELEGATE_HPP

// The delegate behind a participant handle. It creates its core participant through the
// core's factory and asks the factory to delete it from its destructor; it keeps the API
// forms of the participant QoS and of the default topic, publisher and subscriber QoS (each
// stored only once the core has accepted it), checks QoS before handing it down, and creates
// and deletes topics and publishers for their delegates.
//
// Every operation but the constructors, the destructor, the static QoS operations and the two
// child deletions throws AlreadyClosedError after close(). close() also closes the
// participant's built-in subscriber handle, if one was made, and drops it from the retain
// registry; without close() that handle keeps the participant alive until process exit.
//
// The listener is stored but never called (see DomainParticipantListener.hpp). No lock of its
// own: the core locks the participant.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "dds/core/Time.hpp"
#include "dds/core/status/Status.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/domain/DomainParticipantListener.hpp"
#include "dds/domain/qos/DomainParticipantQos.hpp"
#include "dds/pub/qos/PublisherQos.hpp"
#include "dds/sub/qos/SubscriberQos.hpp"
#include "dds/topic/qos/TopicQos.hpp"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/dds/EntityQos.h"

namespace vexa {
namespace dcps {
class DomainParticipant;
class Publisher;
class Subscriber;
class SubscriberBuiltin;
class Topic;
}  // namespace dcps

namespace domain {

class DomainEventForwarder;

class DomainParticipantDelegate : public vexa::core::EntityDelegate {
public:
    explicit DomainParticipantDelegate(uint32_t domain_id);
    DomainParticipantDelegate(uint32_t domain_id, ::dds::domain::qos::DomainParticipantQos const& q,
                              ::dds::domain::DomainParticipantListener* listener,
                              ::dds::core::status::StatusMask const& mask);
    ~DomainParticipantDelegate() override;

    void close() override;

    void listener(::dds::domain::DomainParticipantListener* l,
                  ::dds::core::status::StatusMask const& mask);
    ::dds::domain::DomainParticipantListener* listener() const;
    ::dds::domain::qos::DomainParticipantQos const& qos() const;
    void qos(::dds::domain::qos::DomainParticipantQos const& q);
    uint32_t domain_id() const;
    void assert_liveliness();
    bool contains_entity(::dds::core::InstanceHandle const& handle);
    ::dds::core::Time current_time() const;

    ::dds::pub::qos::PublisherQos default_publisher_qos() const;
    void default_publisher_qos(::dds::pub::qos::PublisherQos const& q);
    ::dds::sub::qos::SubscriberQos default_subscriber_qos() const;
    void default_subscriber_qos(::dds::sub::qos::SubscriberQos const& q);
    ::dds::topic::qos::TopicQos default_topic_qos() const;
    void default_topic_qos(::dds::topic::qos::TopicQos const& q);

    // Null when the core refuses (the caller throws; `why`, when given, gets the core's
    // reason). InvalidArgumentError when both names are empty.
    vexa::dcps::Topic* create_topic(std::string const& topic_name, std::string const& type_name,
                                    ::dds::topic::qos::TopicQos const& q,
                                    std::string* why = nullptr);
    void closeTopic(vexa::dcps::Topic* topic);
    vexa::dds::ReturnCode_t delete_topic(vexa::dcps::Topic* topic);
    // The topic's registered API object; empty when the name is unknown or its delegate gone.
    std::weak_ptr<vexa::core::EntityBase> lookup_topic_description(std::string const& name);
    void getInconsistentTopicStatus(vexa::dcps::Topic* topic,
                                    ::dds::core::status::InconsistentTopicStatus& status);
    void setTopicQoS(vexa::dcps::Topic* topic, ::dds::topic::qos::TopicQos const& q);

    vexa::dcps::Publisher* create_publisher(::dds::pub::qos::PublisherQos const& q);
    // No closed test: the publisher delegates call it from their destructors.
    vexa::dds::ReturnCode_t delete_publisher(vexa::dcps::Publisher* publisher);
    vexa::dcps::Subscriber* create_subscriber(::dds::sub::qos::SubscriberQos const& q);
    // No closed test: the subscriber delegates call it from their destructors.
    vexa::dds::ReturnCode_t delete_subscriber(vexa::dcps::Subscriber* subscriber);
    vexa::dcps::SubscriberBuiltin* get_builtin_subscriber();

    // dds::sub::builtin_subscriber finds or makes the built-in subscriber's delegate under
    // this lock, and close() marks the participant closed and takes that delegate under it: a
    // delegate made after close began would keep the closed participant in the registry.
    std::unique_lock<std::mutex> builtin_subscriber_lock() {
        return std::unique_lock<std::mutex>(builtinMutex_);
    }
    // The built-in subscriber's delegate, once made (builtin_subscriber_lock held); close()
    // closes it.
    void builtin_subscriber_delegate(std::weak_ptr<vexa::core::EntityDelegate> const& d) {
        builtinSubscriber_ = d;
    }

    vexa::dcps::DomainParticipant* participant() const { return participant_; }

    static ::dds::domain::qos::DomainParticipantQos default_participant_qos();
    static void default_participant_qos(::dds::domain::qos::DomainParticipantQos const& q);
    // The start-up value of the static default: the factory's, or empty user data and
    // autoenable when the core is not running.
    static ::dds::domain::qos::DomainParticipantQos init_default_participant_qos();

private:
    void common_init(uint32_t domain_id, vexa::dds::DomainParticipantQos const* q);
    void checkOpen(int line) const;

    ::dds::domain::qos::DomainParticipantQos qos_;
    ::dds::topic::qos::TopicQos default_topic_qos_;
    ::dds::pub::qos::PublisherQos default_pub_qos_;
    ::dds::sub::qos::SubscriberQos default_sub_qos_;
    ::dds::domain::DomainParticipantListener* listener_ = nullptr;
    DomainEventForwarder* forwarder_ = nullptr;
    vexa::dcps::DomainParticipant* participant_ = nullptr;
    std::mutex builtinMutex_;
    std::weak_ptr<vexa::core::EntityDelegate> builtinSubscriber_;  // guarded by builtinMutex_

    static ::dds::domain::qos::DomainParticipantQos default_participant_qos_;
};

}  // namespace domain
}  // namespace vexa

#endif
