#ifndef DDS_DOMAIN_DOMAINPARTICIPANT_HPP
#define DDS_DOMAIN_DOMAINPARTICIPANT_HPP

// A participant of one domain. Creating the handle creates the participant; it is deleted
// when the last handle (and every child handle, which holds this one) has gone. retain()
// does nothing for participants.

#include <cstdint>
#include <memory>

#include "dds/core/TEntity.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "vexa/domain/DomainParticipantDelegate.hpp"

namespace dds {
namespace domain {

template <typename D>
class TDomainParticipant : public ::dds::core::TEntity<D> {
public:
    TDomainParticipant(::dds::core::null_type const& nil) : ::dds::core::TEntity<D>(nil) {}
    explicit TDomainParticipant(std::shared_ptr<D> const& d) : ::dds::core::TEntity<D>(d) {}
    explicit TDomainParticipant(uint32_t domain_id)
        : ::dds::core::TEntity<D>(std::make_shared<D>(domain_id)) {
        this->impl_->register_api_obj(this->impl_);
    }
    TDomainParticipant(
        uint32_t domain_id, qos::DomainParticipantQos const& q,
        DomainParticipantListener* listener = nullptr,
        ::dds::core::status::StatusMask const& mask = ::dds::core::status::StatusMask(0x7FFF))
        : ::dds::core::TEntity<D>(std::make_shared<D>(domain_id, q, listener, mask)) {
        this->impl_->register_api_obj(this->impl_);
    }

    void listener(DomainParticipantListener* l, ::dds::core::status::StatusMask const& mask) {
        this->impl_->listener(l, mask);
    }
    DomainParticipantListener* listener() const { return this->impl_->listener(); }
    qos::DomainParticipantQos const& qos() const { return this->impl_->qos(); }
    void qos(qos::DomainParticipantQos const& q) { this->impl_->qos(q); }
    uint32_t domain_id() const { return this->impl_->domain_id(); }
    void assert_liveliness() { this->impl_->assert_liveliness(); }
    bool contains_entity(::dds::core::InstanceHandle const& handle) {
        return this->impl_->contains_entity(handle);
    }
    ::dds::core::Time current_time() const { return this->impl_->current_time(); }

    ::dds::pub::qos::PublisherQos default_publisher_qos() const {
        return this->impl_->default_publisher_qos();
    }
    TDomainParticipant& default_publisher_qos(::dds::pub::qos::PublisherQos const& q) {
        this->impl_->default_publisher_qos(q);
        return *this;
    }
    ::dds::sub::qos::SubscriberQos default_subscriber_qos() const {
        return this->impl_->default_subscriber_qos();
    }
    TDomainParticipant& default_subscriber_qos(::dds::sub::qos::SubscriberQos const& q) {
        this->impl_->default_subscriber_qos(q);
        return *this;
    }
    ::dds::topic::qos::TopicQos default_topic_qos() const {
        return this->impl_->default_topic_qos();
    }
    TDomainParticipant& default_topic_qos(::dds::topic::qos::TopicQos const& q) {
        this->impl_->default_topic_qos(q);
        return *this;
    }

    static qos::DomainParticipantQos default_participant_qos() {
        return D::default_participant_qos();
    }
    static void default_participant_qos(qos::DomainParticipantQos const& q) {
        D::default_participant_qos(q);
    }
};

using DomainParticipant = TDomainParticipant<vexa::domain::DomainParticipantDelegate>;

// The participant of the domain whose delegate still lives; a nil handle otherwise.
DomainParticipant find(uint32_t domain_id);

// Not supported: always UnsupportedError.
void ignore(DomainParticipant const& participant, ::dds::core::InstanceHandle const& handle);

}  // namespace domain
}  // namespace dds

#endif
