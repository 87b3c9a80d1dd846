#ifndef VEXA_DATAREADERTEMPLATE_H
#define VEXA_DATAREADERTEMPLATE_H

// The typed reader bridge of a topic type T: the untyped bridge with T in its signatures.
// The core owns it (see DataReaderImpl.h); the typed handle dds::sub::DataReader<T> reaches it
// through its delegate. Lent samples stay untyped in the SampleSeq: element i is a T.

#include "vexa/DataReaderImpl.h"

namespace vexa {
namespace dcps {
namespace api {

template <class T>
class DataReaderTemplate : public DataReaderImpl {
public:
    explicit DataReaderTemplate(Reader* reader) : DataReaderImpl(reader) {}

    vexa::dds::ReturnCode_t get_key_value(T& keyHolder, vexa::dds::InstanceHandle_t handle) {
        return DataReaderImpl::get_key_value(&keyHolder, handle);
    }
    vexa::dds::InstanceHandle_t lookup_instance(T const& sample) {
        return DataReaderImpl::lookup_instance(&sample);
    }

    // Element i of a lent sequence.
    static T const& sample(SampleSeq const& seq, size_t i) {
        return *static_cast<T const*>(seq.data[i]);
    }
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
