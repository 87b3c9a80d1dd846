#ifndef DDS_PUB_PUBLISHER_HPP
#define DDS_PUB_PUBLISHER_HPP

// A publisher of a participant. It lives while a handle, a writer of it or the retain
// registry holds it: retain() lists it, close() closes it and unlists it.

#include <memory>

#include "dds/core/TEntity.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "vexa/pub/PublisherDelegate.hpp"

namespace dds {
namespace pub {

template <typename D>
class TPublisher : public ::dds::core::TEntity<D> {
public:
    TPublisher(::dds::core::null_type const& nil) : ::dds::core::TEntity<D>(nil) {}
    explicit TPublisher(std::shared_ptr<D> const& d) : ::dds::core::TEntity<D>(d) {}
    explicit TPublisher(::dds::domain::DomainParticipant const& dp)
        : TPublisher(dp, dp.default_publisher_qos()) {}
    TPublisher(
        ::dds::domain::DomainParticipant const& dp, qos::PublisherQos const& q,
        PublisherListener* listener = nullptr,
        ::dds::core::status::StatusMask const& mask = ::dds::core::status::StatusMask(0x7FFF))
        : ::dds::core::TEntity<D>(std::make_shared<D>(dp, q, listener, mask)) {
        this->impl_->register_api_obj(this->impl_);
    }
    ~TPublisher() override = default;
    TPublisher(TPublisher const&) = default;
    TPublisher& operator=(TPublisher const&) = default;

    // Closes the publisher, then drops every retained copy.
    void close() override;
    // Lists this handle in the retain registry.
    void retain() override;

    qos::PublisherQos const& qos() const { return this->impl_->qos(); }
    void qos(qos::PublisherQos const& q) { this->impl_->qos(q); }
    qos::DataWriterQos default_datawriter_qos() const {
        return this->impl_->default_datawriter_qos();
    }
    TPublisher& default_datawriter_qos(qos::DataWriterQos const& q) {
        this->impl_->default_datawriter_qos(q);
        return *this;
    }
    void listener(PublisherListener* l, ::dds::core::status::StatusMask const& mask) {
        this->impl_->listener(l, mask);
    }
    PublisherListener* listener() const { return this->impl_->listener(); }
    void wait_for_acknowledgments(::dds::core::Duration const& timeout) {
        this->impl_->wait_for_acknowledgments(timeout);
    }
    ::dds::domain::DomainParticipant const& participant() const {
        return this->impl_->participant();
    }
};

using Publisher = TPublisher<vexa::pub::PublisherDelegate>;

extern template class TPublisher<vexa::pub::PublisherDelegate>;

// Not supported: always UnsupportedError.
void ignore(::dds::domain::DomainParticipant const& participant,
            ::dds::core::InstanceHandle const& handle);

}  // namespace pub
}  // namespace dds

#endif
