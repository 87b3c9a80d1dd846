#pragma once

#include <memory>

#include "RunningForwarder.h"
#include "dcps/api/DREventForwarder.h"
#include "vexa/sub/DataReaderListenerAdapter.hpp"

namespace vexa {
namespace sub {

// The reader's forwarder: converts the core's status and calls the typed handle's adapter,
// which it owns; data available passes the core reader on. Callbacks run on the participant's
// data-handling thread with the participant mutex held (or on the caller's thread through
// notify_datareaders). release() frees a forwarder that the reader no longer uses, later when
// one of its callbacks runs on this thread (the listener replaced itself).
class DataReaderEventForwarder : public vexa::dcps::api::DREventForwarder {
public:
    explicit DataReaderEventForwarder(std::unique_ptr<DataReaderListenerAdapter> adapter)
        : adapter_(std::move(adapter)) {}
    ~DataReaderEventForwarder() override;

    void on_requested_deadline_missed(void* entity,
                                      vexa::dds::DeadlineMissedStatus const& status) override;
    void on_requested_incompatible_qos(void* entity,
                                       vexa::dds::IncompatibleQosStatus const& status) override;
    void on_sample_rejected(void* entity, vexa::dds::SampleRejectedStatus const& status) override;
    void on_liveliness_changed(void* entity,
                               vexa::dds::LivelinessChangedStatus const& status) override;
    void on_data_available(void* entity) override;
    void on_subscription_matched(void* entity,
                                 vexa::dds::SubscriptionMatchedStatus const& status) override;
    void on_sample_lost(void* entity, vexa::dds::SampleLostStatus const& status) override;

    static void release(DataReaderEventForwarder* forwarder);

private:
    template <typename F>
    friend class vexa::core::ForwarderCall;
    template <typename F>
    friend void vexa::core::releaseForwarder(F*);

    std::unique_ptr<DataReaderListenerAdapter> adapter_;
    bool retired_ = false;  // only this thread sets and reads it (see release)
};

}  // namespace sub
}  // namespace vexa
