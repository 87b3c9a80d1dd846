#include "DataReaderEventForwarder.h"

#include "vexa/core/status/ConvertStatus.hpp"

namespace vexa {
namespace core {
thread_local RunningForwarder* RunningForwarder::current_ = nullptr;
}  // namespace core

namespace sub {

using Call = vexa::core::ForwarderCall<DataReaderEventForwarder>;

DataReaderEventForwarder::~DataReaderEventForwarder() = default;

void DataReaderEventForwarder::release(DataReaderEventForwarder* forwarder) {
    vexa::core::releaseForwarder(forwarder);
}

void DataReaderEventForwarder::on_requested_deadline_missed(
    void*, vexa::dds::DeadlineMissedStatus const& status) {
    ::dds::core::status::RequestedDeadlineMissedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_requested_deadline_missed(s);
}

void DataReaderEventForwarder::on_requested_incompatible_qos(
    void*, vexa::dds::IncompatibleQosStatus const& status) {
    ::dds::core::status::RequestedIncompatibleQosStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_requested_incompatible_qos(s);
}

void DataReaderEventForwarder::on_sample_rejected(void*,
                                                  vexa::dds::SampleRejectedStatus const& status) {
    ::dds::core::status::SampleRejectedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_sample_rejected(s);
}

void DataReaderEventForwarder::on_liveliness_changed(
    void*, vexa::dds::LivelinessChangedStatus const& status) {
    ::dds::core::status::LivelinessChangedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_liveliness_changed(s);
}

void DataReaderEventForwarder::on_data_available(void* entity) {
    Call call(this);
    adapter_->on_data_available(entity);
}

void DataReaderEventForwarder::on_subscription_matched(
    void*, vexa::dds::SubscriptionMatchedStatus const& status) {
    ::dds::core::status::SubscriptionMatchedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_subscription_matched(s);
}

void DataReaderEventForwarder::on_sample_lost(void*, vexa::dds::SampleLostStatus const& status) {
    ::dds::core::status::SampleLostStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_sample_lost(s);
}

}  // namespace sub
}  // namespace vexa
