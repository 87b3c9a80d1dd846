#include "vexa/DataReaderImpl.h"

#include <mutex>

#include "dcps/entity/FatalAssertion.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"

namespace vexa {
namespace dcps {
namespace api {

using vexa::dds::ReturnCode_t;

namespace {

Reader* require(Reader* reader) {
    fatalUnless(reader != nullptr, "DataReaderImpl", "reader_");
    return reader;
}

Subscriber& subscriberOf(Reader* reader) {
    return *require(reader)->getSubscriber();
}

}  // namespace

DataReaderImpl::~DataReaderImpl() = default;

ReturnCode_t DataReaderImpl::set_listener(DREventForwarder* listener, vexa::dds::StatusMask mask) {
    return subscriberOf(reader_).setReaderListener(listener, mask, reader_);
}

DREventForwarder* DataReaderImpl::get_listener() {
    std::lock_guard<CoreRecursiveMutex> lock(subscriberOf(reader_).getMutex());
    return reader_->getListener();
}

ReturnCode_t DataReaderImpl::set_qos(vexa::dds::DataReaderQos const& qos) {
    return subscriberOf(reader_).setReaderQoS(qos, reader_);
}

ReturnCode_t DataReaderImpl::get_qos(vexa::dds::DataReaderQos& qos) {
    std::lock_guard<CoreRecursiveMutex> lock(subscriberOf(reader_).getMutex());
    qos = reader_->getQoS();
    return vexa::dds::RETCODE_OK;
}

ReadCondition* DataReaderImpl::create_readcondition(vexa::dds::SampleStateMask sampleStates,
                                                    vexa::dds::ViewStateMask viewStates,
                                                    vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).createReadCondition(sampleStates, viewStates, instanceStates,
                                                     reader_);
}

ReadCondition* DataReaderImpl::create_querycondition(vexa::dds::SampleStateMask,
                                                     vexa::dds::ViewStateMask,
                                                     vexa::dds::InstanceStateMask, char const*,
                                                     std::vector<std::string> const&) {
    require(reader_);
    return nullptr;
}

ReturnCode_t DataReaderImpl::delete_readcondition(ReadCondition* condition) {
    return subscriberOf(reader_).deleteReadCondition(condition, reader_);
}

ReturnCode_t DataReaderImpl::get_liveliness_changed_status(
    vexa::dds::LivelinessChangedStatus& status) {
    return subscriberOf(reader_).getLivelinessChangedStatus(status, reader_);
}

ReturnCode_t DataReaderImpl::get_requested_deadline_missed_status(
    vexa::dds::DeadlineMissedStatus& status) {
    return subscriberOf(reader_).getRequestedDeadlineMissedStatus(status, reader_);
}

ReturnCode_t DataReaderImpl::get_requested_incompatible_qos_status(
    vexa::dds::IncompatibleQosStatus& status) {
    return subscriberOf(reader_).getRequestedIncompatibleQosStatus(status, reader_);
}

ReturnCode_t DataReaderImpl::get_sample_lost_status(vexa::dds::SampleLostStatus& status) {
    return subscriberOf(reader_).getSampleLostStatus(status, reader_);
}

ReturnCode_t DataReaderImpl::get_sample_rejected_status(vexa::dds::SampleRejectedStatus& status) {
    return subscriberOf(reader_).getSampleRejectedStatus(status, reader_);
}

ReturnCode_t DataReaderImpl::get_subscription_matched_status(
    vexa::dds::SubscriptionMatchedStatus& status) {
    return subscriberOf(reader_).getSubscriptionMatchedStatus(status, reader_);
}

TopicDescription* DataReaderImpl::get_topicdescription() {
    return require(reader_)->getTopic();
}

Subscriber* DataReaderImpl::get_subscriber() {
    return require(reader_)->getSubscriber();
}

ReturnCode_t DataReaderImpl::delete_contained_entities() {
    return subscriberOf(reader_).deleteAllReadConditions(reader_);
}

ReturnCode_t DataReaderImpl::wait_for_historical_data(vexa::dds::Duration_t const& maxWait) {
    return subscriberOf(reader_).waitForHistoricalData(maxWait, reader_);
}

ReturnCode_t DataReaderImpl::read(SampleSeq& seq, int32_t maxSamples,
                                  vexa::dds::SampleStateMask sampleStates,
                                  vexa::dds::ViewStateMask viewStates,
                                  vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanSamples(seq, reader_, true, maxSamples, sampleStates,
                                             viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::take(SampleSeq& seq, int32_t maxSamples,
                                  vexa::dds::SampleStateMask sampleStates,
                                  vexa::dds::ViewStateMask viewStates,
                                  vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanSamples(seq, reader_, false, maxSamples, sampleStates,
                                             viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::read_instance(SampleSeq& seq, int32_t maxSamples,
                                           vexa::dds::InstanceHandle_t handle,
                                           vexa::dds::SampleStateMask sampleStates,
                                           vexa::dds::ViewStateMask viewStates,
                                           vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanInstanceSamples(seq, reader_, true, handle, false, maxSamples,
                                                     sampleStates, viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::take_instance(SampleSeq& seq, int32_t maxSamples,
                                           vexa::dds::InstanceHandle_t handle,
                                           vexa::dds::SampleStateMask sampleStates,
                                           vexa::dds::ViewStateMask viewStates,
                                           vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanInstanceSamples(seq, reader_, false, handle, false, maxSamples,
                                                     sampleStates, viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::read_next_instance(SampleSeq& seq, int32_t maxSamples,
                                                vexa::dds::InstanceHandle_t handle,
                                                vexa::dds::SampleStateMask sampleStates,
                                                vexa::dds::ViewStateMask viewStates,
                                                vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanInstanceSamples(seq, reader_, true, handle, true, maxSamples,
                                                     sampleStates, viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::take_next_instance(SampleSeq& seq, int32_t maxSamples,
                                                vexa::dds::InstanceHandle_t handle,
                                                vexa::dds::SampleStateMask sampleStates,
                                                vexa::dds::ViewStateMask viewStates,
                                                vexa::dds::InstanceStateMask instanceStates) {
    return subscriberOf(reader_).loanInstanceSamples(seq, reader_, false, handle, true, maxSamples,
                                                     sampleStates, viewStates, instanceStates);
}

ReturnCode_t DataReaderImpl::read_w_condition(SampleSeq&, int32_t, ReadCondition*) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

ReturnCode_t DataReaderImpl::take_w_condition(SampleSeq&, int32_t, ReadCondition*) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

ReturnCode_t DataReaderImpl::read_next_instance_w_condition(SampleSeq&, int32_t,
                                                            vexa::dds::InstanceHandle_t,
                                                            ReadCondition*) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

ReturnCode_t DataReaderImpl::take_next_instance_w_condition(SampleSeq&, int32_t,
                                                            vexa::dds::InstanceHandle_t,
                                                            ReadCondition*) {
    return vexa::dds::RETCODE_UNSUPPORTED;
}

ReturnCode_t DataReaderImpl::return_loan(SampleSeq& seq) {
    return subscriberOf(reader_).returnLoan(seq, reader_);
}

ReturnCode_t DataReaderImpl::get_key_value(void* keyHolder, vexa::dds::InstanceHandle_t handle) {
    return subscriberOf(reader_).getKeyValue(keyHolder, handle, reader_);
}

vexa::dds::InstanceHandle_t DataReaderImpl::lookup_instance(void const* sample) {
    return subscriberOf(reader_).lookupInstance(sample, reader_);
}

void DataReaderImpl::close() {
    subscriberOf(reader_).closeDRByApi(reader_);
}

}  // namespace api
}  // namespace dcps
}  // namespace vexa
