#ifndef DDS_SUB_SUBSCRIBER_HPP
#define DDS_SUB_SUBSCRIBER_HPP

// A subscriber of a participant. It lives while a handle, a reader of it or the retain
// registry holds it: retain() lists it, close() closes it and unlists it.

#include <memory>

#include "dds/core/TEntity.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "vexa/sub/SubscriberDelegate.hpp"

namespace dds {
namespace sub {

template <typename D>
class TSubscriber : public ::dds::core::TEntity<D> {
public:
    TSubscriber(::dds::core::null_type const& nil) : ::dds::core::TEntity<D>(nil) {}
    explicit TSubscriber(std::shared_ptr<D> const& d) : ::dds::core::TEntity<D>(d) {}
    // With the participant's default subscriber QoS and every defined status.
    explicit TSubscriber(::dds::domain::DomainParticipant const& dp)
        : TSubscriber(dp, dp.default_subscriber_qos(), nullptr,
                      ::dds::core::status::StatusMask(0x7FE7)) {}
    TSubscriber(
        ::dds::domain::DomainParticipant const& dp, qos::SubscriberQos const& q,
        SubscriberListener* listener = nullptr,
        ::dds::core::status::StatusMask const& mask = ::dds::core::status::StatusMask(0x7FFF));
    ~TSubscriber() override = default;
    TSubscriber(TSubscriber const&) = default;
    TSubscriber& operator=(TSubscriber const&) = default;

    // Closes the subscriber, then drops every retained copy.
    void close() override;
    // Lists this handle in the retain registry.
    void retain() override;

    // Runs the data-available listeners of readers with new data on this thread.
    void notify_datareaders() { this->impl_->notify_datareaders(); }
    qos::SubscriberQos const& qos() const { return this->impl_->qos(); }
    void qos(qos::SubscriberQos const& q) { this->impl_->qos(q); }
    qos::DataReaderQos default_datareader_qos() const {
        return this->impl_->default_datareader_qos();
    }
    TSubscriber& default_datareader_qos(qos::DataReaderQos const& q) {
        this->impl_->default_datareader_qos(q);
        return *this;
    }
    // The listener is installed but never called.
    void listener(SubscriberListener* l, ::dds::core::status::StatusMask const& mask);
    SubscriberListener* listener() const { return this->impl_->listener(); }
    ::dds::domain::DomainParticipant const& participant() const {
        return this->impl_->participant();
    }
};

using Subscriber = TSubscriber<vexa::sub::SubscriberDelegate>;

extern template class TSubscriber<vexa::sub::SubscriberDelegate>;

// The participant's built-in subscriber, whose readers deliver what discovery learns of the
// other participants, topics, writers and readers. Every call gives a handle of the same
// delegate. The handle is retained: it keeps the participant alive until it is closed or the
// participant is closed, or else until process exit.
Subscriber builtin_subscriber(::dds::domain::DomainParticipant const& dp);

// Not supported: always UnsupportedError.
void ignore(::dds::domain::DomainParticipant const& participant,
            ::dds::core::InstanceHandle const& handle);

}  // namespace sub
}  // namespace dds

#endif
