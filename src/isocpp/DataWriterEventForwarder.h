#pragma once

#include <memory>

#include "RunningForwarder.h"
#include "dcps/api/DWEventForwarder.h"
#include "vexa/pub/DataWriterListenerAdapter.hpp"

namespace vexa {
namespace pub {

// The writer's forwarder: converts the core's status and calls the typed handle's adapter,
// which it owns. Callbacks run on the participant's data-handling thread with the participant
// mutex held. release() frees a forwarder that the writer no longer uses, later when one of
// its callbacks runs on this thread (the listener replaced itself).
class DataWriterEventForwarder : public vexa::dcps::api::DWEventForwarder {
public:
    explicit DataWriterEventForwarder(std::unique_ptr<DataWriterListenerAdapter> adapter)
        : adapter_(std::move(adapter)) {}
    ~DataWriterEventForwarder() override;

    void on_offered_deadline_missed(void* entity,
                                    vexa::dds::DeadlineMissedStatus const& status) override;
    void on_offered_incompatible_qos(void* entity,
                                     vexa::dds::IncompatibleQosStatus const& status) override;
    void on_liveliness_lost(void* entity, vexa::dds::LivelinessLostStatus const& status) override;
    void on_publication_matched(void* entity,
                                vexa::dds::PublicationMatchedStatus const& status) override;

    static void release(DataWriterEventForwarder* forwarder);

private:
    template <typename F>
    friend class vexa::core::ForwarderCall;
    template <typename F>
    friend void vexa::core::releaseForwarder(F*);

    std::unique_ptr<DataWriterListenerAdapter> adapter_;
    bool retired_ = false;  // only this thread sets and reads it (see release)
};

}  // namespace pub
}  // namespace vexa
