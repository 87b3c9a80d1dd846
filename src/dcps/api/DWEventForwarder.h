#pragma once

#include "vexa/dds/Status.h"

namespace vexa::dcps::api {

// A writer's listener as the core calls it: on the participant's data-handling thread with the
// participant mutex held. `entity` is the core writer that raised the status. The API layer
// owns the object; slot order is fixed.
class DWEventForwarder {
public:
    virtual ~DWEventForwarder() = default;
    virtual void on_offered_deadline_missed(void* entity,
                                            vexa::dds::DeadlineMissedStatus const& status) = 0;
    virtual void on_offered_incompatible_qos(void* entity,
                                             vexa::dds::IncompatibleQosStatus const& status) = 0;
    virtual void on_liveliness_lost(void* entity,
                                    vexa::dds::LivelinessLostStatus const& status) = 0;
    virtual void on_publication_matched(void* entity,
                                        vexa::dds::PublicationMatchedStatus const& status) = 0;
};

}  // namespace vexa::dcps::api
