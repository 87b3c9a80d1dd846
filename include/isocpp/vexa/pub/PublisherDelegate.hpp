#ifndef VEXA_PUB_PUBLISHERDELEGATE_HPP
#define VEXA_PUB_PUBLISHERDELEGATE_HPP

// The delegate behind a publisher handle. It holds its participant's handle, so the
// participant outlives it, creates its core publisher through the participant's delegate and
// deletes it from its destructor. QoS is checked before it reaches the core and stored only
// once the core has accepted it. Every operation throws AlreadyClosedError after close().
//
// The listener is stored but never called (see PublisherListener.hpp). No lock of its own.

#include <memory>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/pub/PublisherListener.hpp"
#include "dds/pub/qos/DataWriterQos.hpp"
#include "dds/pub/qos/PublisherQos.hpp"
#include "vexa/core/EntityDelegate.hpp"

namespace vexa {
namespace dcps {
class Publisher;
class Topic;
namespace api {
class DataWriterImpl;
class DWEventForwarder;
}  // namespace api
}  // namespace dcps

namespace pub {

class PublisherEventForwarder;

class PublisherDelegate : public vexa::core::EntityDelegate {
public:
    PublisherDelegate(::dds::domain::DomainParticipant const& participant,
                      ::dds::pub::qos::PublisherQos const& q,
                      ::dds::pub::PublisherListener* listener,
                      ::dds::core::status::StatusMask const& mask);
    ~PublisherDelegate() override;

    void close() override;
    void retain() override {}

    ::dds::pub::qos::PublisherQos const& qos() const;
    void qos(::dds::pub::qos::PublisherQos const& q);
    ::dds::pub::qos::DataWriterQos default_datawriter_qos();
    void default_datawriter_qos(::dds::pub::qos::DataWriterQos const& q);
    void listener(::dds::pub::PublisherListener* l, ::dds::core::status::StatusMask const& mask);
    ::dds::pub::PublisherListener* listener() const;
    void wait_for_acknowledgments(::dds::core::Duration const& timeout);
    ::dds::domain::DomainParticipant const& participant() const;

    // The new writer's bridge, or null when the core refused. `forwarder` (may be null) is
    // the writer's listener; the core holds it from then on.
    vexa::dcps::api::DataWriterImpl* create_datawriter(vexa::dcps::Topic const* topic,
                                                       ::dds::pub::qos::DataWriterQos const& q,
                                                       vexa::dcps::api::DWEventForwarder* forwarder,
                                                       ::dds::core::status::StatusMask const& mask);
    void delete_datawriter(vexa::dcps::api::DataWriterImpl* writer);
    // The registered API object of the first writer of the topic; empty when there is none.
    std::weak_ptr<vexa::core::EntityBase> lookup_data_writer(std::string const& topic_name);

    vexa::dcps::Publisher* publisher() const { return publisher_; }

private:
    void checkOpen(int line) const;

    ::dds::domain::DomainParticipant participant_;
    ::dds::pub::qos::PublisherQos qos_;
    ::dds::pub::PublisherListener* listener_ = nullptr;
    ::dds::pub::qos::DataWriterQos default_dw_qos_;
    PublisherEventForwarder* forwarder_ = nullptr;
    vexa::dcps::Publisher* publisher_ = nullptr;
};

}  // namespace pub
}  // namespace vexa

#endif
