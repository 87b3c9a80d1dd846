#ifndef DDS_SUB_ANYDATAREADERLISTENER_HPP
#define DDS_SUB_ANYDATAREADERLISTENER_HPP

// The reader callbacks that an application listener implements. They run on the
// participant's data-handling thread while the core holds the participant's mutex: a slow
// callback stalls all intake of that participant, and a callback must not wait for another
// thread that uses the same participant.

#include "dds/core/status/Status.hpp"

namespace dds {
namespace sub {

class AnyDataReader;

class AnyDataReaderListener {
public:
    virtual ~AnyDataReaderListener() = default;
    virtual void on_requested_deadline_missed(
        AnyDataReader& reader,
        ::dds::core::status::RequestedDeadlineMissedStatus const& status) = 0;
    virtual void on_requested_incompatible_qos(
        AnyDataReader& reader,
        ::dds::core::status::RequestedIncompatibleQosStatus const& status) = 0;
    virtual void on_sample_rejected(AnyDataReader& reader,
                                    ::dds::core::status::SampleRejectedStatus const& status) = 0;
    virtual void on_liveliness_changed(
        AnyDataReader& reader, ::dds::core::status::LivelinessChangedStatus const& status) = 0;
    virtual void on_data_available(AnyDataReader& reader) = 0;
    virtual void on_subscription_matched(
        AnyDataReader& reader, ::dds::core::status::SubscriptionMatchedStatus const& status) = 0;
    virtual void on_sample_lost(AnyDataReader& reader,
                                ::dds::core::status::SampleLostStatus const& status) = 0;
};

class NoOpAnyDataReaderListener : public virtual AnyDataReaderListener {
public:
    void on_requested_deadline_missed(
        AnyDataReader&, ::dds::core::status::RequestedDeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(
        AnyDataReader&, ::dds::core::status::RequestedIncompatibleQosStatus const&) override {}
    void on_sample_rejected(AnyDataReader&,
                            ::dds::core::status::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(AnyDataReader&,
                               ::dds::core::status::LivelinessChangedStatus const&) override {}
    void on_data_available(AnyDataReader&) override {}
    void on_subscription_matched(AnyDataReader&,
                                 ::dds::core::status::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(AnyDataReader&, ::dds::core::status::SampleLostStatus const&) override {}
};

}  // namespace sub
}  // namespace dds

#endif
