#pragma once

#include "vexa/dds/Status.h"

namespace vexa::dcps::api {

// A participant's listener, called like the writer and reader listeners; `entity` is the core
// entity that raised the status. Slot order is fixed.
class DPEventForwarder {
public:
    virtual ~DPEventForwarder() = default;
    virtual void on_data_on_readers(void* entity) = 0;
    virtual void on_inconsistent_topic(void* entity,
                                       vexa::dds::InconsistentTopicStatus const& status) = 0;
    virtual void on_offered_deadline_missed(void* entity,
                                            vexa::dds::DeadlineMissedStatus const& status) = 0;
    virtual void on_offered_incompatible_qos(void* entity,
                                             vexa::dds::IncompatibleQosStatus const& status) = 0;
    virtual void on_liveliness_lost(void* entity,
                                    vexa::dds::LivelinessLostStatus const& status) = 0;
    virtual void on_publication_matched(void* entity,
                                        vexa::dds::PublicationMatchedStatus const& status) = 0;
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
