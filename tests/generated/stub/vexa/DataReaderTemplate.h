// Test stand-in: the typed reader template that generated model_DCPS.h names per topic.
#ifndef VEXA_TEST_STUB_DATAREADERTEMPLATE_H
#define VEXA_TEST_STUB_DATAREADERTEMPLATE_H

namespace vexa {
namespace dcps {
namespace api {

template <class T>
class DataReaderTemplate;

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
