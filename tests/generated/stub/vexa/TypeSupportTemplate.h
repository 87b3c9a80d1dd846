// Test stand-in: the type-support templates that generated model_DCPS.h names per topic.
#ifndef VEXA_TEST_STUB_TYPESUPPORTTEMPLATE_H
#define VEXA_TEST_STUB_TYPESUPPORTTEMPLATE_H

namespace vexa {
namespace dcps {
namespace api {

template <class T, class TWriter, class TReader>
class TypeSupportFactoryTemplate;

template <class T, class TFactory>
class TypeSupportTemplate;

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
