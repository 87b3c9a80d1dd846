#ifndef VEXA_DATAREADERIMPL_H
#define VEXA_DATAREADERIMPL_H

// The untyped bridge from a typed reader of generated code to the core's reader. The core
// creates it through the type support's create_datareader and destroys it with its reader, so
// the API reaches it only through a subscriber delegate, whose destructor is the only thing
// that deletes the core subscriber and with it the reader. Each operation is one core call
// whose code comes back unchanged; the typed layer decides which codes throw. The bridge takes
// no lock of its own: the subscriber's operations lock.
//
// Virtual operations keep their slot order (code built elsewhere depends on it); read, take and
// the other sample operations are plain members. Every operation but getEntity requires a
// reader (a fatal assertion otherwise).
//
// Read and take lend the subscriber's sample objects into the sequence; they stay the reader's
// until the sequence goes back through return_loan.

#include <string>
#include <vector>

#include "vexa/SampleSeq.h"
#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/SampleInfo.h"
#include "vexa/dds/Status.h"

namespace vexa {
namespace dcps {

class ReadCondition;
class Reader;
class Subscriber;
class TopicDescription;

namespace api {

class DREventForwarder;

class DataReaderImpl {
public:
    explicit DataReaderImpl(Reader* reader) : reader_(reader) {}
    DataReaderImpl(DataReaderImpl const&) = delete;
    DataReaderImpl& operator=(DataReaderImpl const&) = delete;
    virtual ~DataReaderImpl();

    virtual vexa::dds::ReturnCode_t set_listener(DREventForwarder* listener,
                                                 vexa::dds::StatusMask mask);
    virtual DREventForwarder* get_listener();
    virtual vexa::dds::ReturnCode_t set_qos(vexa::dds::DataReaderQos const& qos);
    virtual vexa::dds::ReturnCode_t get_qos(vexa::dds::DataReaderQos& qos);
    virtual ReadCondition* create_readcondition(vexa::dds::SampleStateMask sampleStates,
                                                vexa::dds::ViewStateMask viewStates,
                                                vexa::dds::InstanceStateMask instanceStates);
    // Not supported: always null.
    virtual ReadCondition* create_querycondition(vexa::dds::SampleStateMask sampleStates,
                                                 vexa::dds::ViewStateMask viewStates,
                                                 vexa::dds::InstanceStateMask instanceStates,
                                                 char const* expression,
                                                 std::vector<std::string> const& parameters);
    virtual vexa::dds::ReturnCode_t delete_readcondition(ReadCondition* condition);
    virtual vexa::dds::ReturnCode_t get_liveliness_changed_status(
        vexa::dds::LivelinessChangedStatus& status);
    virtual vexa::dds::ReturnCode_t get_requested_deadline_missed_status(
        vexa::dds::DeadlineMissedStatus& status);
    virtual vexa::dds::ReturnCode_t get_requested_incompatible_qos_status(
        vexa::dds::IncompatibleQosStatus& status);
    virtual vexa::dds::ReturnCode_t get_sample_lost_status(vexa::dds::SampleLostStatus& status);
    virtual vexa::dds::ReturnCode_t get_sample_rejected_status(
        vexa::dds::SampleRejectedStatus& status);
    virtual vexa::dds::ReturnCode_t get_subscription_matched_status(
        vexa::dds::SubscriptionMatchedStatus& status);
    virtual TopicDescription* get_topicdescription();
    virtual Subscriber* get_subscriber();
    // Deletes the reader's read conditions.
    virtual vexa::dds::ReturnCode_t delete_contained_entities();
    virtual vexa::dds::ReturnCode_t wait_for_historical_data(vexa::dds::Duration_t const& maxWait);

    // Lend up to maxSamples (-1: no limit) matching the three masks; read keeps them in the
    // reader, take removes them. NO_DATA when nothing matched.
    vexa::dds::ReturnCode_t read(SampleSeq& seq, int32_t maxSamples,
                                 vexa::dds::SampleStateMask sampleStates,
                                 vexa::dds::ViewStateMask viewStates,
                                 vexa::dds::InstanceStateMask instanceStates);
    vexa::dds::ReturnCode_t take(SampleSeq& seq, int32_t maxSamples,
                                 vexa::dds::SampleStateMask sampleStates,
                                 vexa::dds::ViewStateMask viewStates,
                                 vexa::dds::InstanceStateMask instanceStates);
    // The same for one instance, or for the instance after `handle` (the _next_ forms).
    vexa::dds::ReturnCode_t read_instance(SampleSeq& seq, int32_t maxSamples,
                                          vexa::dds::InstanceHandle_t handle,
                                          vexa::dds::SampleStateMask sampleStates,
                                          vexa::dds::ViewStateMask viewStates,
                                          vexa::dds::InstanceStateMask instanceStates);
    vexa::dds::ReturnCode_t take_instance(SampleSeq& seq, int32_t maxSamples,
                                          vexa::dds::InstanceHandle_t handle,
                                          vexa::dds::SampleStateMask sampleStates,
                                          vexa::dds::ViewStateMask viewStates,
                                          vexa::dds::InstanceStateMask instanceStates);
    vexa::dds::ReturnCode_t read_next_instance(SampleSeq& seq, int32_t maxSamples,
                                               vexa::dds::InstanceHandle_t handle,
                                               vexa::dds::SampleStateMask sampleStates,
                                               vexa::dds::ViewStateMask viewStates,
                                               vexa::dds::InstanceStateMask instanceStates);
    vexa::dds::ReturnCode_t take_next_instance(SampleSeq& seq, int32_t maxSamples,
                                               vexa::dds::InstanceHandle_t handle,
                                               vexa::dds::SampleStateMask sampleStates,
                                               vexa::dds::ViewStateMask viewStates,
                                               vexa::dds::InstanceStateMask instanceStates);
    // Not supported: UNSUPPORTED, the reader is not touched.
    vexa::dds::ReturnCode_t read_w_condition(SampleSeq& seq, int32_t maxSamples,
                                             ReadCondition* condition);
    vexa::dds::ReturnCode_t take_w_condition(SampleSeq& seq, int32_t maxSamples,
                                             ReadCondition* condition);
    vexa::dds::ReturnCode_t read_next_instance_w_condition(SampleSeq& seq, int32_t maxSamples,
                                                           vexa::dds::InstanceHandle_t handle,
                                                           ReadCondition* condition);
    vexa::dds::ReturnCode_t take_next_instance_w_condition(SampleSeq& seq, int32_t maxSamples,
                                                           vexa::dds::InstanceHandle_t handle,
                                                           ReadCondition* condition);
    vexa::dds::ReturnCode_t return_loan(SampleSeq& seq);
    vexa::dds::ReturnCode_t get_key_value(void* keyHolder, vexa::dds::InstanceHandle_t handle);
    // 0 when the instance is unknown.
    vexa::dds::InstanceHandle_t lookup_instance(void const* sample);
    void close();

    // The core reader this bridge calls (may be null).
    Reader* getEntity() const { return reader_; }

protected:
    Reader* reader_;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
