// Test stand-in: the typed writer template that generated model_DCPS.h names per topic.
#ifndef VEXA_TEST_STUB_DATAWRITERTEMPLATE_H
#define VEXA_TEST_STUB_DATAWRITERTEMPLATE_H

namespace vexa {
namespace dcps {
namespace api {

template <class T>
class DataWriterTemplate;

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
