#include "vexa/core/Retain.hpp"

#include "RetainRegistry.h"

namespace vexa {
namespace core {

namespace {

RetainRegistry<::dds::domain::DomainParticipant>& registryOf(
    ::dds::domain::DomainParticipant const&) {
    return domainParticipantRetain;
}
RetainRegistry<::dds::pub::Publisher>& registryOf(::dds::pub::Publisher const&) {
    return publisherRetain;
}
RetainRegistry<::dds::sub::Subscriber>& registryOf(::dds::sub::Subscriber const&) {
    return subscriberRetain;
}
RetainRegistry<::dds::pub::AnyDataWriter>& registryOf(::dds::pub::AnyDataWriter const&) {
    return dataWriterRetain;
}
RetainRegistry<::dds::sub::AnyDataReader>& registryOf(::dds::sub::AnyDataReader const&) {
    return dataReaderRetain;
}
RetainRegistry<::dds::topic::AnyTopic>& registryOf(::dds::topic::AnyTopic const&) {
    return topicRetain;
}

}  // namespace

template <typename H>
void retain_add(H& handle) {
    registryOf(handle).add(handle);
}

template <typename H>
void retain_remove(H& handle) {
    registryOf(handle).remove(handle);
}

template void retain_add<::dds::domain::DomainParticipant>(::dds::domain::DomainParticipant&);
template void retain_remove<::dds::domain::DomainParticipant>(::dds::domain::DomainParticipant&);
template void retain_add<::dds::pub::Publisher>(::dds::pub::Publisher&);
template void retain_remove<::dds::pub::Publisher>(::dds::pub::Publisher&);
template void retain_add<::dds::sub::Subscriber>(::dds::sub::Subscriber&);
template void retain_remove<::dds::sub::Subscriber>(::dds::sub::Subscriber&);
template void retain_add<::dds::pub::AnyDataWriter>(::dds::pub::AnyDataWriter&);
template void retain_remove<::dds::pub::AnyDataWriter>(::dds::pub::AnyDataWriter&);
template void retain_add<::dds::sub::AnyDataReader>(::dds::sub::AnyDataReader&);
template void retain_remove<::dds::sub::AnyDataReader>(::dds::sub::AnyDataReader&);
template void retain_add<::dds::topic::AnyTopic>(::dds::topic::AnyTopic&);
template void retain_remove<::dds::topic::AnyTopic>(::dds::topic::AnyTopic&);

}  // namespace core
}  // namespace vexa
