#include "vexa/DataWriterImpl.h"

#include "dcps/entity/FatalAssertion.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"

namespace vexa {
namespace dcps {
namespace api {

using vexa::dds::ReturnCode_t;

namespace {

Writer* require(Writer* writer) {
    fatalUnless(writer != nullptr, "DataWriterImpl", "writer_");
    return writer;
}

Publisher& publisherOf(Writer* writer) {
    return *require(writer)->getPublisher();
}

}  // namespace

DataWriterImpl::~DataWriterImpl() = default;

ReturnCode_t DataWriterImpl::set_qos(vexa::dds::DataWriterQos const& qos) {
    return publisherOf(writer_).setWriterQoS(qos, writer_);
}

ReturnCode_t DataWriterImpl::get_qos(vexa::dds::DataWriterQos& qos) {
    return require(writer_)->getQoS(qos);
}

ReturnCode_t DataWriterImpl::set_listener(DWEventForwarder* listener, vexa::dds::StatusMask mask) {
    return publisherOf(writer_).setWriterListener(listener, mask, writer_);
}

DWEventForwarder* DataWriterImpl::get_listener() {
    return require(writer_)->getListener();
}

Topic* DataWriterImpl::get_topic() {
    return require(writer_)->getTopic();
}

Publisher* DataWriterImpl::get_publisher() {
    return require(writer_)->getPublisher();
}

ReturnCode_t DataWriterImpl::wait_for_acknowledgments(vexa::dds::Duration_t const& maxWait) {
    return publisherOf(writer_).waitForWriterAcknowledgements(maxWait, writer_);
}

ReturnCode_t DataWriterImpl::get_liveliness_lost_status(vexa::dds::LivelinessLostStatus& status) {
    return publisherOf(writer_).getLivelinessLostStatus(status, writer_);
}

ReturnCode_t DataWriterImpl::get_offered_deadline_missed_status(
    vexa::dds::DeadlineMissedStatus& status) {
    return publisherOf(writer_).getOfferedDeadlineMissedStatus(status, writer_);
}

ReturnCode_t DataWriterImpl::get_offered_incompatible_qos_status(
    vexa::dds::IncompatibleQosStatus& status) {
    return publisherOf(writer_).getOfferedIncompatibleQosStatus(status, writer_);
}

ReturnCode_t DataWriterImpl::get_publication_matched_status(
    vexa::dds::PublicationMatchedStatus& status) {
    return publisherOf(writer_).getPublicationMatchedStatus(status, writer_);
}

ReturnCode_t DataWriterImpl::assert_liveliness() {
    return publisherOf(writer_).assertLiveliness(writer_);
}

ReturnCode_t DataWriterImpl::write(void const* sample, vexa::dds::InstanceHandle_t handle) {
    return publisherOf(writer_).write(writer_, sample, handle, nullptr);
}

ReturnCode_t DataWriterImpl::write_w_timestamp(void const* sample,
                                               vexa::dds::InstanceHandle_t handle,
                                               vexa::dds::Time_t const& timestamp) {
    return publisherOf(writer_).write(writer_, sample, handle, &timestamp);
}

ReturnCode_t DataWriterImpl::dispose(void const* sample, vexa::dds::InstanceHandle_t handle) {
    return publisherOf(writer_).dispose(writer_, sample, handle, nullptr);
}

ReturnCode_t DataWriterImpl::dispose_w_timestamp(void const* sample,
                                                 vexa::dds::InstanceHandle_t handle,
                                                 vexa::dds::Time_t const& timestamp) {
    return publisherOf(writer_).dispose(writer_, sample, handle, &timestamp);
}

vexa::dds::InstanceHandle_t DataWriterImpl::register_instance(void const* sample) {
    return publisherOf(writer_).registerInstance(writer_, sample, nullptr);
}

vexa::dds::InstanceHandle_t DataWriterImpl::register_instance_w_timestamp(
    void const* sample, vexa::dds::Time_t const& timestamp) {
    return publisherOf(writer_).registerInstance(writer_, sample, &timestamp);
}

ReturnCode_t DataWriterImpl::unregister_instance(void const* sample,
                                                 vexa::dds::InstanceHandle_t handle) {
    return publisherOf(writer_).unregisterInstance(writer_, sample, handle, nullptr);
}

ReturnCode_t DataWriterImpl::unregister_instance_w_timestamp(void const* sample,
                                                             vexa::dds::InstanceHandle_t handle,
                                                             vexa::dds::Time_t const& timestamp) {
    return publisherOf(writer_).unregisterInstance(writer_, sample, handle, &timestamp);
}

ReturnCode_t DataWriterImpl::get_key_value(void* keyHolder, vexa::dds::InstanceHandle_t handle) {
    return publisherOf(writer_).getKeyValue(keyHolder, handle, writer_);
}

vexa::dds::InstanceHandle_t DataWriterImpl::lookup_instance(void const* sample) {
    return publisherOf(writer_).lookupInstance(sample, writer_);
}

void DataWriterImpl::close() {
    publisherOf(writer_).closeDWByApi(writer_);
}

}  // namespace api
}  // namespace dcps
}  // namespace vexa
