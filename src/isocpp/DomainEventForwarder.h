#pragma once

#include "dcps/api/DPEventForwarder.h"
#include "dds/domain/DomainParticipantListener.hpp"

namespace vexa {
namespace domain {

// The participant's forwarder: it holds the application's listener (not owned) and calls it
// never. Participant listeners stay silent; writer and reader listeners are the ones called.
class DomainEventForwarder : public vexa::dcps::api::DPEventForwarder {
public:
    explicit DomainEventForwarder(::dds::domain::DomainParticipantListener* listener)
        : listener_(listener) {}

    void on_data_on_readers(void*) override {}
    void on_inconsistent_topic(void*, vexa::dds::InconsistentTopicStatus const&) override {}
    void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const&) override {}
    void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const&) override {}
    void on_requested_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_sample_rejected(void*, vexa::dds::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(void*, vexa::dds::LivelinessChangedStatus const&) override {}
    void on_data_available(void*) override {}
    void on_subscription_matched(void*, vexa::dds::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(void*, vexa::dds::SampleLostStatus const&) override {}

    ::dds::domain::DomainParticipantListener* listener() const { return listener_; }

private:
    ::dds::domain::DomainParticipantListener* const listener_;
};

}  // namespace domain
}  // namespace vexa
