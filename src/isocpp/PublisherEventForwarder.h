#pragma once

#include "dcps/api/PubEventForwarder.h"
#include "dds/pub/PublisherListener.hpp"

namespace vexa {
namespace pub {

// The publisher's forwarder: it holds the application's listener (not owned) and calls it
// never. Publisher listeners stay silent; writer listeners are the ones called.
class PublisherEventForwarder : public vexa::dcps::api::PubEventForwarder {
public:
    explicit PublisherEventForwarder(::dds::pub::PublisherListener* listener)
        : listener_(listener) {}

    void on_offered_deadline_missed(void*, vexa::dds::DeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(void*, vexa::dds::IncompatibleQosStatus const&) override {}
    void on_liveliness_lost(void*, vexa::dds::LivelinessLostStatus const&) override {}
    void on_publication_matched(void*, vexa::dds::PublicationMatchedStatus const&) override {}

    ::dds::pub::PublisherListener* listener() const { return listener_; }

private:
    ::dds::pub::PublisherListener* const listener_;
};

}  // namespace pub
}  // namespace vexa
