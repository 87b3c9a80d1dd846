#pragma once

#include "dcps/api/SubEventForwarder.h"
#include "dds/sub/SubscriberListener.hpp"

namespace vexa {
namespace sub {

// The subscriber's forwarder: it holds the application's listener (not owned) and calls it
// never. Subscriber listeners stay silent; reader listeners are the ones called.
class SubscriberEventForwarder : public vexa::dcps::api::SubEventForwarder {
public:
    explicit SubscriberEventForwarder(::dds::sub::SubscriberListener* listener)
        : listener_(listener) {}

    void on_requested_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, vexa::dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, vexa::dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, vexa::dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void*, vexa::dds::SampleLostStatus const&) override {}
    void on_data_on_readers(void*) override {}

    ::dds::sub::SubscriberListener* listener() const { return listener_; }

private:
    ::dds::sub::SubscriberListener* const listener_;
};

}  // namespace sub
}  // namespace vexa
