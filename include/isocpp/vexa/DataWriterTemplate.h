#ifndef VEXA_DATAWRITERTEMPLATE_H
#define VEXA_DATAWRITERTEMPLATE_H

// The typed writer bridge of a topic type T: the untyped bridge with T in its signatures.
// The core owns it (see DataWriterImpl.h); the typed handle dds::pub::DataWriter<T> reaches it
// through its delegate.

#include "vexa/DataWriterImpl.h"

namespace vexa {
namespace dcps {
namespace api {

template <class T>
class DataWriterTemplate : public DataWriterImpl {
public:
    explicit DataWriterTemplate(Writer* writer) : DataWriterImpl(writer) {}

    vexa::dds::ReturnCode_t write(T const& sample,
                                  vexa::dds::InstanceHandle_t handle = vexa::dds::HANDLE_NIL) {
        return DataWriterImpl::write(&sample, handle);
    }
    vexa::dds::ReturnCode_t write_w_timestamp(T const& sample, vexa::dds::InstanceHandle_t handle,
                                              vexa::dds::Time_t const& timestamp) {
        return DataWriterImpl::write_w_timestamp(&sample, handle, timestamp);
    }
    vexa::dds::ReturnCode_t dispose(T const& sample, vexa::dds::InstanceHandle_t handle) {
        return DataWriterImpl::dispose(&sample, handle);
    }
    vexa::dds::InstanceHandle_t register_instance(T const& sample) {
        return DataWriterImpl::register_instance(&sample);
    }
    vexa::dds::ReturnCode_t unregister_instance(T const& sample,
                                                vexa::dds::InstanceHandle_t handle) {
        return DataWriterImpl::unregister_instance(&sample, handle);
    }
    vexa::dds::ReturnCode_t get_key_value(T& keyHolder, vexa::dds::InstanceHandle_t handle) {
        return DataWriterImpl::get_key_value(&keyHolder, handle);
    }
    vexa::dds::InstanceHandle_t lookup_instance(T const& sample) {
        return DataWriterImpl::lookup_instance(&sample);
    }
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
