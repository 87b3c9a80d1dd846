#ifndef VEXA_SUB_DATAREADERDELEGATE_HPP
#define VEXA_SUB_DATAREADERDELEGATE_HPP

// The delegate behind a typed reader handle. It holds its subscriber's handle and its topic's
// delegate, so both outlive it; it creates the core reader through the subscriber's delegate
// and deletes it from its destructor, the only place that deletes it (the core owns the bridge
// and destroys it with the reader). It owns the reader's forwarder. Every operation but
// return_loan throws AlreadyClosedError after close().
//
// A delegate may also stand for one of the built-in subscriber's readers, which the core makes
// itself (found): it adopts that reader, registers itself with it and never deletes it; it has
// no topic delegate.
//
// read and take lend the core's sample objects: they stay the reader's until return_loan.
// The listener runs on the participant's data-handling thread while the core holds the
// participant's mutex.

#include <memory>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/core/InstanceHandle.hpp"
#include "dds/core/status/Status.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/sub/qos/DataReaderQos.hpp"
#include "dds/sub/status/DataState.hpp"
#include "vexa/SampleSeq.h"
#include "vexa/core/EntityDelegate.hpp"
#include "vexa/sub/DataReaderListenerAdapter.hpp"
#include "vexa/topic/TopicDelegate.hpp"

namespace vexa {
namespace dcps {
class Reader;
namespace api {
class DataReaderImpl;
}
}  // namespace dcps

namespace sub {

class DataReaderEventForwarder;

class DataReaderDelegate : public vexa::core::EntityDelegate {
public:
    // `q` null: the subscriber's default reader QoS. NullReferenceError when the core refuses.
    DataReaderDelegate(::dds::sub::Subscriber const& subscriber,
                       std::shared_ptr<vexa::topic::TopicDelegate> const& topic,
                       ::dds::sub::qos::DataReaderQos const* q);
    // Adopts a reader of the built-in subscriber `subscriber`; use found().
    struct Adopt {};
    DataReaderDelegate(Adopt, ::dds::sub::Subscriber const& subscriber,
                       vexa::dcps::api::DataReaderImpl* bridge);
    ~DataReaderDelegate() override;

    // The delegate of a reader that `subscriber` listed with its registered API object `api`:
    // that delegate while it lives; for a reader of the built-in subscriber without one, a new
    // delegate adopting it. Null otherwise (an ordinary reader whose delegate has gone is on
    // its way out).
    static std::shared_ptr<DataReaderDelegate> found(
        ::dds::sub::Subscriber const& subscriber, vexa::dcps::api::DataReaderImpl* bridge,
        std::weak_ptr<vexa::core::EntityBase> const& api);

    void close() override;
    void retain() override {}

    ::dds::sub::qos::DataReaderQos qos();
    void qos(::dds::sub::qos::DataReaderQos const& q);
    ::dds::sub::Subscriber const& subscriber() const;
    // Null for an adopted built-in reader.
    std::shared_ptr<vexa::topic::TopicDelegate> const& topic() const;
    std::string const& topic_name() const;
    std::string const& type_name() const;
    // Installs `adapter` (null: none) for the statuses of `mask`; the previous one goes once
    // no callback uses it, also when a callback replaces its own listener.
    void listener(std::unique_ptr<DataReaderListenerAdapter> adapter,
                  ::dds::core::status::StatusMask const& mask);
    bool has_listener() const;

    ::dds::core::status::SubscriptionMatchedStatus subscription_matched_status();
    ::dds::core::status::LivelinessChangedStatus liveliness_changed_status();
    ::dds::core::status::SampleLostStatus sample_lost_status();
    ::dds::core::status::SampleRejectedStatus sample_rejected_status();
    ::dds::core::status::RequestedDeadlineMissedStatus requested_deadline_missed_status();
    ::dds::core::status::RequestedIncompatibleQosStatus requested_incompatible_qos_status();

    // Lends up to `max` samples (-1: all) in the given states into `seq`, which must be empty;
    // read leaves them in the reader, take removes them. Nothing lent: `seq` stays empty.
    void read(vexa::dcps::api::SampleSeq& seq, int32_t max,
              ::dds::sub::status::DataState const& state);
    void take(vexa::dcps::api::SampleSeq& seq, int32_t max,
              ::dds::sub::status::DataState const& state);
    // The same for the one instance `handle`, or with `next` for the first instance after it
    // (nil: the first of all) that has samples in the given states. InvalidArgumentError for a
    // handle the reader does not know (and for a nil one without `next`).
    void read_instance(vexa::dcps::api::SampleSeq& seq, int32_t max,
                       ::dds::core::InstanceHandle const& handle, bool next,
                       ::dds::sub::status::DataState const& state);
    void take_instance(vexa::dcps::api::SampleSeq& seq, int32_t max,
                       ::dds::core::InstanceHandle const& handle, bool next,
                       ::dds::sub::status::DataState const& state);
    // The instance of the key fields of `sample` (the topic type's object); nil when unknown.
    ::dds::core::InstanceHandle lookup_instance(void const* sample);
    // Sets the key fields of `key` (the topic type's object) to those of the instance.
    // InvalidArgumentError for a handle the reader does not know.
    void key_value(void* key, ::dds::core::InstanceHandle const& handle);
    // Returns once the reader holds what its matched writers had when they matched (at once
    // for a volatile reader); TimeoutError when `timeout` passes first.
    void wait_for_historical_data(::dds::core::Duration const& timeout);
    // Gives lent samples back and empties `seq`; works after close() too, never throws.
    void return_loan(vexa::dcps::api::SampleSeq& seq) noexcept;

    vexa::dcps::api::DataReaderImpl* bridge() const { return bridge_; }
    vexa::dcps::Reader* reader() const;

private:
    void checkOpen(int line) const;

    ::dds::sub::Subscriber subscriber_;
    std::shared_ptr<vexa::topic::TopicDelegate> topic_;
    DataReaderEventForwarder* forwarder_ = nullptr;
    vexa::dcps::api::DataReaderImpl* bridge_ = nullptr;
    bool const adopted_ = false;  // a built-in reader: the core keeps it
};

}  // namespace sub
}  // namespace vexa

#endif
