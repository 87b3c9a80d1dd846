#ifndef VEXA_PUB_DATAWRITERDELEGATE_HPP
#define VEXA_PUB_DATAWRITERDELEGATE_HPP

// The delegate behind a typed writer handle. It holds its publisher's handle and its topic's
// delegate, so both outlive it; it creates the core writer through the publisher's delegate
// and deletes it from its destructor, the only place that deletes it (the core owns the
// bridge and destroys it with the writer). It owns the writer's forwarder. Every operation
// throws AlreadyClosedError after close().
//
// write and the other sample operations call the bridge directly: no allocation of their own.
// The listener runs on the participant's data-handling thread while the core holds the
// participant's mutex.

#include <memory>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/core/InstanceHandle.hpp"
#include "dds/core/Time.hpp"
#include "dds/core/status/Status.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/pub/qos/DataWriterQos.hpp"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/pub/DataWriterListenerAdapter.hpp"
#include "vexa/topic/TopicDelegate.hpp"

namespace vexa {
namespace dcps {
class Writer;
namespace api {
class DataWriterImpl;
}
}  // namespace dcps

namespace pub {

class DataWriterEventForwarder;

class DataWriterDelegate : public vexa::core::EntityDelegate {
public:
    // NullReferenceError when the core refuses the writer.
    DataWriterDelegate(::dds::pub::Publisher const& publisher,
                       std::shared_ptr<vexa::topic::TopicDelegate> const& topic,
                       ::dds::pub::qos::DataWriterQos const& q);
    ~DataWriterDelegate() override;

    void close() override;
    void retain() override {}

    ::dds::pub::qos::DataWriterQos qos();
    void qos(::dds::pub::qos::DataWriterQos const& q);
    ::dds::pub::Publisher const& publisher() const;
    std::shared_ptr<vexa::topic::TopicDelegate> const& topic() const;
    // Installs `adapter` (null: none) for the statuses of `mask`; the previous one goes once
    // no callback uses it, also when a callback replaces its own listener.
    void listener(std::unique_ptr<DataWriterListenerAdapter> adapter,
                  ::dds::core::status::StatusMask const& mask);
    bool has_listener() const;
    void wait_for_acknowledgments(::dds::core::Duration const& timeout);
    void assert_liveliness();

    ::dds::core::status::PublicationMatchedStatus publication_matched_status();
    ::dds::core::status::LivelinessLostStatus liveliness_lost_status();
    ::dds::core::status::OfferedDeadlineMissedStatus offered_deadline_missed_status();
    ::dds::core::status::OfferedIncompatibleQosStatus offered_incompatible_qos_status();

    // `sample` is the topic type's object. TimeoutError when a full history stays full for the
    // reliability's max_blocking_time.
    void write(void const* sample, ::dds::core::InstanceHandle const& handle);
    void write(void const* sample, ::dds::core::InstanceHandle const& handle,
               ::dds::core::Time const& timestamp);
    ::dds::core::InstanceHandle register_instance(void const* sample);
    void unregister_instance(void const* sample, ::dds::core::InstanceHandle const& handle);
    void dispose(void const* sample, ::dds::core::InstanceHandle const& handle);
    ::dds::core::InstanceHandle lookup_instance(void const* sample);

    vexa::dcps::api::DataWriterImpl* bridge() const { return bridge_; }
    vexa::dcps::Writer* writer() const;

private:
    void checkOpen(int line) const;

    ::dds::pub::Publisher publisher_;
    std::shared_ptr<vexa::topic::TopicDelegate> topic_;
    DataWriterEventForwarder* forwarder_ = nullptr;
    vexa::dcps::api::DataWriterImpl* bridge_ = nullptr;
};

}  // namespace pub
}  // namespace vexa

#endif
