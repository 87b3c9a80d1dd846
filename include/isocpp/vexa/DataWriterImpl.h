#ifndef VEXA_DATAWRITERIMPL_H
#define VEXA_DATAWRITERIMPL_H

// The untyped bridge from a typed writer of generated code to the core's writer. The core
// creates it through the type support's create_datawriter and destroys it with its writer, so
// the API reaches it only through a writer delegate, whose destructor is the only thing that
// deletes the core writer. Each operation is one core call whose code comes back unchanged;
// the typed layer decides which codes throw. The bridge takes no lock of its own.
//
// Virtual operations keep their slot order (code built elsewhere depends on it); write and
// the other sample operations are plain members. Every operation but getEntity requires a
// writer (a fatal assertion otherwise).

#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/EntityQos.h"
#include "vexa/dds/Status.h"

namespace vexa {
namespace dcps {

class Publisher;
class Topic;
class Writer;

namespace api {

class DWEventForwarder;

class DataWriterImpl {
public:
    explicit DataWriterImpl(Writer* writer) : writer_(writer) {}
    DataWriterImpl(DataWriterImpl const&) = delete;
    DataWriterImpl& operator=(DataWriterImpl const&) = delete;
    virtual ~DataWriterImpl();

    virtual vexa::dds::ReturnCode_t set_qos(vexa::dds::DataWriterQos const& qos);
    virtual vexa::dds::ReturnCode_t get_qos(vexa::dds::DataWriterQos& qos);
    virtual vexa::dds::ReturnCode_t set_listener(DWEventForwarder* listener,
                                                 vexa::dds::StatusMask mask);
    virtual DWEventForwarder* get_listener();
    virtual Topic* get_topic();
    virtual Publisher* get_publisher();
    virtual vexa::dds::ReturnCode_t wait_for_acknowledgments(vexa::dds::Duration_t const& maxWait);
    virtual vexa::dds::ReturnCode_t get_liveliness_lost_status(
        vexa::dds::LivelinessLostStatus& status);
    virtual vexa::dds::ReturnCode_t get_offered_deadline_missed_status(
        vexa::dds::DeadlineMissedStatus& status);
    virtual vexa::dds::ReturnCode_t get_offered_incompatible_qos_status(
        vexa::dds::IncompatibleQosStatus& status);
    virtual vexa::dds::ReturnCode_t get_publication_matched_status(
        vexa::dds::PublicationMatchedStatus& status);
    virtual vexa::dds::ReturnCode_t assert_liveliness();

    vexa::dds::ReturnCode_t write(void const* sample, vexa::dds::InstanceHandle_t handle);
    vexa::dds::ReturnCode_t write_w_timestamp(void const* sample,
                                              vexa::dds::InstanceHandle_t handle,
                                              vexa::dds::Time_t const& timestamp);
    vexa::dds::ReturnCode_t dispose(void const* sample, vexa::dds::InstanceHandle_t handle);
    vexa::dds::ReturnCode_t dispose_w_timestamp(void const* sample,
                                                vexa::dds::InstanceHandle_t handle,
                                                vexa::dds::Time_t const& timestamp);
    vexa::dds::InstanceHandle_t register_instance(void const* sample);
    vexa::dds::InstanceHandle_t register_instance_w_timestamp(void const* sample,
                                                              vexa::dds::Time_t const& timestamp);
    vexa::dds::ReturnCode_t unregister_instance(void const* sample,
                                                vexa::dds::InstanceHandle_t handle);
    vexa::dds::ReturnCode_t unregister_instance_w_timestamp(void const* sample,
                                                            vexa::dds::InstanceHandle_t handle,
                                                            vexa::dds::Time_t const& timestamp);
    vexa::dds::ReturnCode_t get_key_value(void* keyHolder, vexa::dds::InstanceHandle_t handle);
    // 0 when the instance is unknown.
    vexa::dds::InstanceHandle_t lookup_instance(void const* sample);
    void close();

    // The core writer this bridge calls (may be null).
    Writer* getEntity() const { return writer_; }

protected:
    Writer* writer_;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
