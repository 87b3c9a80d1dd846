#include "DataWriterEventForwarder.h"

#include "vexa/core/status/ConvertStatus.hpp"

namespace vexa {
namespace pub {

using Call = vexa::core::ForwarderCall<DataWriterEventForwarder>;

DataWriterEventForwarder::~DataWriterEventForwarder() = default;

void DataWriterEventForwarder::release(DataWriterEventForwarder* forwarder) {
    vexa::core::releaseForwarder(forwarder);
}

void DataWriterEventForwarder::on_offered_deadline_missed(
    void*, vexa::dds::DeadlineMissedStatus const& status) {
    ::dds::core::status::OfferedDeadlineMissedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_offered_deadline_missed(s);
}

void DataWriterEventForwarder::on_offered_incompatible_qos(
    void*, vexa::dds::IncompatibleQosStatus const& status) {
    ::dds::core::status::OfferedIncompatibleQosStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_offered_incompatible_qos(s);
}

void DataWriterEventForwarder::on_liveliness_lost(void*,
                                                  vexa::dds::LivelinessLostStatus const& status) {
    ::dds::core::status::LivelinessLostStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_liveliness_lost(s);
}

void DataWriterEventForwarder::on_publication_matched(
    void*, vexa::dds::PublicationMatchedStatus const& status) {
    ::dds::core::status::PublicationMatchedStatus s;
    vexa::core::convertStatus(status, s);
    Call call(this);
    adapter_->on_publication_matched(s);
}

}  // namespace pub
}  // namespace vexa
