#pragma once

#include "vexa/dds/Status.h"

namespace vexa::dcps::api {

// A reader's listener as the core calls it: on the participant's data-handling thread with the
// participant mutex held. `entity` is the core reader that raised the status. Slot order is
// fixed.
class DREventForwarder {
public:
    virtual ~DREventForwarder() = default;
    virtual void on_requested_deadline_missed(void* entity,
                                              vexa::dds::DeadlineMissedStatus const& status) = 0;
    virtual void on_requested_incompatible_qos(void* entity,
                                               vexa::dds::IncompatibleQosStatus const& status) = 0;
    virtual void on_sample_rejected(void* entity,
                                    vexa::dds::SampleRejectedStatus const& status) = 0;
    virtual void on_liveliness_changed(void* entity,
                                       vexa::dds::LivelinessChangedStatus const& status) = 0;
    virtual void on_data_available(void* entity) = 0;
    virtual void on_subscription_matched(void* entity,
                                         vexa::dds::SubscriptionMatchedStatus const& status) = 0;
    virtual void on_sample_lost(void* entity, vexa::dds::SampleLostStatus const& status) = 0;
};

}  // namespace vexa::dcps::api
