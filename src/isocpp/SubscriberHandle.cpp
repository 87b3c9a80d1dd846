#include "SubscriberEventForwarder.h"
#include "dds/sub/Subscriber.hpp"
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

}  // namespace sub
}  // namespace dds
