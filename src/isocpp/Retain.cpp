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

}  // namespace core
}  // namespace vexa
