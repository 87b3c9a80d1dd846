#include <mutex>

#include "SubscriberEventForwarder.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "dds/sub/Subscriber.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/Retain.hpp"

namespace dds {
namespace sub {

template <typename D>
TSubscriber<D>::TSubscriber(::dds::domain::DomainParticipant const& dp, qos::SubscriberQos const& q,
                            SubscriberListener* listener,
                            ::dds::core::status::StatusMask const& mask)
    : ::dds::core::TEntity<D>(std::make_shared<D>(dp, q, mask)) {
    this->impl_->register_api_obj(this->impl_);
    if (listener != nullptr) {
        this->listener(listener, mask);
    }
}

template <typename D>
void TSubscriber<D>::listener(SubscriberListener* l, ::dds::core::status::StatusMask const& mask) {
    this->impl_->event_forwarder(
        l, l != nullptr ? new vexa::sub::SubscriberEventForwarder(l) : nullptr, mask);
}

template <typename D>
void TSubscriber<D>::close() {
    // Throws for a closed subscriber before the registry is touched.
    this->impl_->close();
    vexa::core::retain_remove(*this);
}

template <typename D>
void TSubscriber<D>::retain() {
    this->impl_->retain();
    vexa::core::retain_add(*this);
}

template class TSubscriber<vexa::sub::SubscriberDelegate>;

Subscriber builtin_subscriber(::dds::domain::DomainParticipant const& dp) {
    // Two threads asking at once would otherwise make two delegates of one subscriber, and a
    // close on another thread would miss a delegate made meanwhile.
    std::unique_lock<std::mutex> lock = dp->builtin_subscriber_lock();
    vexa::dcps::SubscriberBuiltin* builtin = dp->get_builtin_subscriber();  // closed: throws
    if (builtin == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to get the built-in Subscriber");
    }
    auto known = std::dynamic_pointer_cast<vexa::sub::SubscriberDelegate>(
        vexa::core::EntityDelegate::api_obj(builtin).lock());
    if (known) {
        return Subscriber(known);
    }
    // An ordinary subscriber first (nothing announces subscribers), then switched over.
    Subscriber s(dp);
    s->init_builtin(builtin);
    s->register_api_obj(s.delegate());
    dp->builtin_subscriber_delegate(s.delegate());
    s.retain();
    return s;
}

void ignore(::dds::domain::DomainParticipant const&, ::dds::core::InstanceHandle const&) {
    throw ::dds::core::UnsupportedError(
        "ignore: Function is not currently supported at SUBdiscovery:21");
}

}  // namespace sub
}  // namespace dds
