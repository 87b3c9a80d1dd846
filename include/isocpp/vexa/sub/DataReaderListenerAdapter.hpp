#ifndef VEXA_SUB_DATAREADERLISTENERADAPTER_HPP
#define VEXA_SUB_DATAREADERLISTENERADAPTER_HPP

// What the library's reader forwarder calls, with the API status already converted: the typed
// reader handle supplies the implementation that reaches the application's typed listener.
// Compiled into application code, so the slot order is fixed: new operations go at the end.

#include "dds/core/status/Status.hpp"

namespace vexa {
namespace sub {

class DataReaderListenerAdapter {
public:
    virtual ~DataReaderListenerAdapter() = default;
    virtual void on_requested_deadline_missed(
        ::dds::core::status::RequestedDeadlineMissedStatus const& status) = 0;
    virtual void on_requested_incompatible_qos(
        ::dds::core::status::RequestedIncompatibleQosStatus const& status) = 0;
    virtual void on_sample_rejected(::dds::core::status::SampleRejectedStatus const& status) = 0;
    virtual void on_liveliness_changed(
        ::dds::core::status::LivelinessChangedStatus const& status) = 0;
    // `reader`: the core reader that has new data.
    virtual void on_data_available(void* reader) = 0;
    virtual void on_subscription_matched(
        ::dds::core::status::SubscriptionMatchedStatus const& status) = 0;
    virtual void on_sample_lost(::dds::core::status::SampleLostStatus const& status) = 0;
};

}  // namespace sub
}  // namespace vexa

#endif
