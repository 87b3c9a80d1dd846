#ifndef VEXA_SUB_SUBSCRIBERDELEGATE_HPP
#define VEXA_SUB_SUBSCRIBERDELEGATE_HPP

// The delegate behind a subscriber handle, also behind the participant's built-in subscriber
// (init_builtin). It holds its participant's handle, so the participant outlives it, creates
// its core subscriber through the participant's delegate and deletes it from its destructor
// (the built-in one stays with its participant). Reader delegates hold a subscriber handle, so
// the core subscriber is deleted only after its readers' delegates have gone. Reader QoS is
// checked before it reaches the core and stored only once the core has accepted it. Every
// operation throws AlreadyClosedError after close().
//
// The listener is installed but never called (see SubscriberListener.hpp). No lock of its own;
// notify_datareaders runs the reader listeners on the caller's thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dds/core/status/StatusMask.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/sub/SubscriberListener.hpp"
#include "dds/sub/qos/DataReaderQos.hpp"
#include "dds/sub/qos/SubscriberQos.hpp"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/dds/SampleInfo.h"

namespace vexa {
namespace dcps {
class Subscriber;
class SubscriberBuiltin;
class Topic;
namespace api {
class DataReaderImpl;
class DREventForwarder;
class SubEventForwarder;
}  // namespace api
}  // namespace dcps

namespace sub {

class SubscriberDelegate : public vexa::core::EntityDelegate {
public:
    // One reader of get_datareaders.
    struct ReaderAndNames {
        vexa::dcps::api::DataReaderImpl* reader;
        std::weak_ptr<vexa::core::EntityBase> api_obj;
        std::string topic_name;
        std::string type_name;
    };

    SubscriberDelegate(::dds::domain::DomainParticipant const& participant,
                       ::dds::sub::qos::SubscriberQos const& q,
                       ::dds::core::status::StatusMask const& mask);
    ~SubscriberDelegate() override;

    void close() override;
    void retain() override {}

    // Runs the data-available listeners of readers with new data, on this thread.
    void notify_datareaders();
    ::dds::domain::DomainParticipant const& participant() const;
    ::dds::sub::qos::SubscriberQos const& qos() const;
    void qos(::dds::sub::qos::SubscriberQos const& q);
    ::dds::sub::qos::DataReaderQos default_datareader_qos();
    void default_datareader_qos(::dds::sub::qos::DataReaderQos const& q);
    // Takes ownership of `forwarder` (may be null), also when it throws.
    void event_forwarder(::dds::sub::SubscriberListener* listener,
                         vexa::dcps::api::SubEventForwarder* forwarder,
                         ::dds::core::status::StatusMask const& mask);
    ::dds::sub::SubscriberListener* listener() const;

    // The new reader's bridge, or null when the core refused. `q` null: the subscriber's
    // default reader QoS; `mask` null: 0. `forwarder` (may be null) is the reader's listener;
    // the core holds it from then on.
    vexa::dcps::api::DataReaderImpl* create_datareader(vexa::dcps::Topic* topic,
                                                       ::dds::sub::qos::DataReaderQos const* q,
                                                       vexa::dcps::api::DREventForwarder* forwarder,
                                                       ::dds::core::status::StatusMask const* mask);
    vexa::dds::ReturnCode_t delete_datareader(vexa::dcps::api::DataReaderImpl* reader);
    // The bridge of the first reader of the topic with its registered API object and type
    // name; null (outputs untouched) when there is none.
    vexa::dcps::api::DataReaderImpl* lookup_data_reader(std::string const& topic_name,
                                                        std::weak_ptr<vexa::core::EntityBase>& api,
                                                        std::string& type_name);
    // Appends (without clearing `out`) the readers with samples in the given states.
    void get_datareaders(std::vector<ReaderAndNames>& out, vexa::dds::SampleStateMask sampleStates,
                         vexa::dds::ViewStateMask viewStates,
                         vexa::dds::InstanceStateMask instanceStates);

    bool is_builtin() const;
    // Makes this delegate the participant's built-in subscriber's: its own core subscriber is
    // deleted and the QoS are read from `builtin`.
    void init_builtin(vexa::dcps::Subscriber* builtin);

    vexa::dcps::Subscriber* subscriber() const { return subscriber_; }

private:
    void checkOpen(int line) const;

    ::dds::domain::DomainParticipant participant_;
    ::dds::sub::qos::SubscriberQos qos_;
    ::dds::sub::SubscriberListener* listener_ = nullptr;
    ::dds::sub::qos::DataReaderQos default_dr_qos_;
    vexa::dcps::api::SubEventForwarder* forwarder_ = nullptr;
    vexa::dcps::Subscriber* subscriber_ = nullptr;
};

}  // namespace sub
}  // namespace vexa

#endif
