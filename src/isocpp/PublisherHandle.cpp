#include "dds/pub/Publisher.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/Retain.hpp"

namespace dds {
namespace pub {

template <typename D>
void TPublisher<D>::close() {
    // Throws for a closed publisher before the registry is touched.
    this->impl_->close();
    vexa::core::retain_remove(*this);
}

template <typename D>
void TPublisher<D>::retain() {
    this->impl_->retain();
    vexa::core::retain_add(*this);
}

template class TPublisher<vexa::pub::PublisherDelegate>;

void ignore(::dds::domain::DomainParticipant const&, ::dds::core::InstanceHandle const&) {
    throw ::dds::core::UnsupportedError(
        "ignore: Function is not currently supported at PUBdiscovery:20");
}

}  // namespace pub
}  // namespace dds
