#ifndef DDS_SUB_DATAREADERLISTENER_HPP
#define DDS_SUB_DATAREADERLISTENER_HPP

// The listener of a typed reader. Its callbacks run on the participant's data-handling thread
// while the core holds the participant's mutex: a slow callback stalls all intake of that
// participant, and a callback must not wait for another thread that uses the same
// participant. A callback may replace or remove its own listener.

#include "dds/core/status/Status.hpp"

namespace dds {
namespace sub {

template <typename T>
class DataReader;

template <typename T>
class DataReaderListener {
public:
    virtual ~DataReaderListener() = default;
    virtual void on_requested_deadline_missed(
        DataReader<T>& reader,
        ::dds::core::status::RequestedDeadlineMissedStatus const& status) = 0;
    virtual void on_requested_incompatible_qos(
        DataReader<T>& reader,
        ::dds::core::status::RequestedIncompatibleQosStatus const& status) = 0;
    virtual void on_sample_rejected(DataReader<T>& reader,
                                    ::dds::core::status::SampleRejectedStatus const& status) = 0;
    virtual void on_liveliness_changed(
        DataReader<T>& reader, ::dds::core::status::LivelinessChangedStatus const& status) = 0;
    virtual void on_data_available(DataReader<T>& reader) = 0;
    virtual void on_subscription_matched(
        DataReader<T>& reader, ::dds::core::status::SubscriptionMatchedStatus const& status) = 0;
    virtual void on_sample_lost(DataReader<T>& reader,
                                ::dds::core::status::SampleLostStatus const& status) = 0;
};

template <typename T>
class NoOpDataReaderListener : public virtual DataReaderListener<T> {
public:
    void on_requested_deadline_missed(
        DataReader<T>&, ::dds::core::status::RequestedDeadlineMissedStatus const&) override {}
    void on_requested_incompatible_qos(
        DataReader<T>&, ::dds::core::status::RequestedIncompatibleQosStatus const&) override {}
    void on_sample_rejected(DataReader<T>&,
                            ::dds::core::status::SampleRejectedStatus const&) override {}
    void on_liveliness_changed(DataReader<T>&,
                               ::dds::core::status::LivelinessChangedStatus const&) override {}
    void on_data_available(DataReader<T>&) override {}
    void on_subscription_matched(DataReader<T>&,
                                 ::dds::core::status::SubscriptionMatchedStatus const&) override {}
    void on_sample_lost(DataReader<T>&, ::dds::core::status::SampleLostStatus const&) override {}
};

}  // namespace sub
}  // namespace dds

#endif
