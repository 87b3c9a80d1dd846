#ifndef DDS_SUB_DATAREADER_HPP
#define DDS_SUB_DATAREADER_HPP

// A reader of samples of type T on a topic of T. Creating the handle creates the reader; it is
// deleted when the last handle, loan, read condition (and the retain registry) has let go,
// after which its subscriber and topic may go. read() and take() lend the reader's own sample
// objects (see LoanedSamples.hpp); select() narrows them to one instance, or to the instance
// after one. retain() keeps the reader without a handle; close() closes it and drops the
// retained copies.

#include <memory>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/core/InstanceHandle.hpp"
#include "dds/core/TEntity.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/DataReaderListener.hpp"
#include "dds/sub/LoanedSamples.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/sub/status/DataState.hpp"
#include "dds/topic/Topic.hpp"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/Retain.hpp"
#include "vexa/sub/DataReaderDelegate.hpp"
#include "vexa/sub/DataReaderHolder.hpp"

namespace dds {
namespace sub {

template <typename T>
class DataReader : public ::dds::core::TEntity<vexa::sub::DataReaderDelegate> {
    using Base = ::dds::core::TEntity<vexa::sub::DataReaderDelegate>;

public:
    using DataType = T;

    // Which samples a read or take lends: by default every one in any state, of every
    // instance. Made by select(); each setter returns the selector for the next.
    class Selector {
    public:
        explicit Selector(std::shared_ptr<vexa::sub::DataReaderDelegate> const& d) : d_(d) {}
        // Only the samples of this instance.
        Selector& instance(::dds::core::InstanceHandle const& h) {
            handle_ = h;
            scope_ = Scope::Instance;
            return *this;
        }
        // Only those of the first instance after `h` (nil: the first instance) that has
        // samples in the selected states; walking an instance at a time, pass the handle of
        // the last one lent.
        Selector& next_instance(::dds::core::InstanceHandle const& h) {
            handle_ = h;
            scope_ = Scope::NextInstance;
            return *this;
        }
        Selector& state(status::DataState const& s) {
            state_ = s;
            return *this;
        }
        // At most `n` samples (-1: no limit).
        Selector& max_samples(int32_t n) {
            max_ = n;
            return *this;
        }
        LoanedSamples<T> read() { return lend(true); }
        LoanedSamples<T> take() { return lend(false); }

    private:
        enum class Scope { All, Instance, NextInstance };

        LoanedSamples<T> lend(bool read) {
            LoanedSamples<T> samples(d_);
            bool const next = scope_ == Scope::NextInstance;
            if (scope_ == Scope::All) {
                if (read) {
                    d_->read(samples.seq(), max_, state_);
                } else {
                    d_->take(samples.seq(), max_, state_);
                }
            } else if (read) {
                d_->read_instance(samples.seq(), max_, handle_, next, state_);
            } else {
                d_->take_instance(samples.seq(), max_, handle_, next, state_);
            }
            return samples;
        }

        std::shared_ptr<vexa::sub::DataReaderDelegate> d_;
        Scope scope_ = Scope::All;
        ::dds::core::InstanceHandle handle_;
        status::DataState state_ = status::DataState::any();
        int32_t max_ = -1;
    };

    DataReader(::dds::core::null_type const& nil) : Base(nil) {}
    explicit DataReader(std::shared_ptr<vexa::sub::DataReaderDelegate> const& d) : Base(d) {}
    // With the subscriber's default reader QoS.
    DataReader(Subscriber const& sub, ::dds::topic::Topic<T> const& topic)
        : Base(std::make_shared<vexa::sub::DataReaderDelegate>(sub, topic.delegate(), nullptr)) {
        this->impl_->register_api_obj(this->impl_);
    }
    DataReader(
        Subscriber const& sub, ::dds::topic::Topic<T> const& topic, qos::DataReaderQos const& q,
        DataReaderListener<T>* listener = nullptr,
        ::dds::core::status::StatusMask const& mask = ::dds::core::status::StatusMask(0x7FFF))
        : Base(std::make_shared<vexa::sub::DataReaderDelegate>(sub, topic.delegate(), &q)) {
        this->impl_->register_api_obj(this->impl_);
        if (listener != nullptr) {
            this->listener(listener, mask);
        }
    }

    void close() override {
        this->impl_->close();
        AnyDataReader any(*this);
        vexa::core::retain_remove(any);
    }
    void retain() override {
        this->impl_->retain();
        AnyDataReader any(*this);
        vexa::core::retain_add(any);
    }

    // Lends every sample (at most `max`; -1: no limit) in the given states; read leaves them in
    // the reader marked read, take removes them.
    LoanedSamples<T> read(status::DataState const& state = status::DataState::any(),
                          int32_t max = -1) {
        LoanedSamples<T> samples(this->impl_);
        this->impl_->read(samples.seq(), max, state);
        return samples;
    }
    LoanedSamples<T> take(status::DataState const& state = status::DataState::any(),
                          int32_t max = -1) {
        LoanedSamples<T> samples(this->impl_);
        this->impl_->take(samples.seq(), max, state);
        return samples;
    }

    Selector select() const { return Selector(this->impl_); }

    // The instance whose key fields are those of `key`; nil when the reader has none such.
    ::dds::core::InstanceHandle lookup_instance(T const& key) const {
        return this->impl_->lookup_instance(&key);
    }
    // Sets the key fields of `key` to those of the instance `h` and returns it;
    // InvalidArgumentError for an instance the reader does not know.
    T& key_value(T& key, ::dds::core::InstanceHandle const& h) const {
        this->impl_->key_value(&key, h);
        return key;
    }
    T key_value(::dds::core::InstanceHandle const& h) const {
        T key;
        return key_value(key, h);
    }
    // Returns once a durable reader holds what its matched writers had for it (a volatile one
    // returns at once); TimeoutError when `timeout` passes first.
    void wait_for_historical_data(::dds::core::Duration const& timeout) {
        this->impl_->wait_for_historical_data(timeout);
    }

    qos::DataReaderQos qos() const { return this->impl_->qos(); }
    void qos(qos::DataReaderQos const& q) { this->impl_->qos(q); }
    ::dds::topic::Topic<T> topic() const { return ::dds::topic::Topic<T>(this->impl_->topic()); }
    Subscriber const& subscriber() const { return this->impl_->subscriber(); }

    // Installs `l` (null: none) for the statuses of `mask`. The listener is not owned.
    void listener(DataReaderListener<T>* l, ::dds::core::status::StatusMask const& mask) {
        std::unique_ptr<vexa::sub::DataReaderListenerAdapter> adapter;
        if (l != nullptr) {
            adapter.reset(new Adapter(this->impl_, l));
        }
        this->impl_->listener(std::move(adapter), mask);
    }

    ::dds::core::status::SubscriptionMatchedStatus subscription_matched_status() {
        return this->impl_->subscription_matched_status();
    }
    ::dds::core::status::LivelinessChangedStatus liveliness_changed_status() {
        return this->impl_->liveliness_changed_status();
    }
    ::dds::core::status::SampleLostStatus sample_lost_status() {
        return this->impl_->sample_lost_status();
    }
    ::dds::core::status::SampleRejectedStatus sample_rejected_status() {
        return this->impl_->sample_rejected_status();
    }
    ::dds::core::status::RequestedDeadlineMissedStatus requested_deadline_missed_status() {
        return this->impl_->requested_deadline_missed_status();
    }
    ::dds::core::status::RequestedIncompatibleQosStatus requested_incompatible_qos_status() {
        return this->impl_->requested_incompatible_qos_status();
    }

    std::shared_ptr<AnyDataReaderHolder> any_holder() const {
        return std::make_shared<vexa::sub::DataReaderHolder>(this->impl_);
    }

private:
    // Reaches the application's listener with a handle of this reader. It holds the delegate
    // weakly: the delegate owns it (through its forwarder).
    class Adapter : public vexa::sub::DataReaderListenerAdapter {
    public:
        Adapter(std::shared_ptr<vexa::sub::DataReaderDelegate> const& d, DataReaderListener<T>* l)
            : d_(d), l_(l) {}
        void on_requested_deadline_missed(
            ::dds::core::status::RequestedDeadlineMissedStatus const& s) override {
            call([&](DataReader& r) { l_->on_requested_deadline_missed(r, s); });
        }
        void on_requested_incompatible_qos(
            ::dds::core::status::RequestedIncompatibleQosStatus const& s) override {
            call([&](DataReader& r) { l_->on_requested_incompatible_qos(r, s); });
        }
        void on_sample_rejected(::dds::core::status::SampleRejectedStatus const& s) override {
            call([&](DataReader& r) { l_->on_sample_rejected(r, s); });
        }
        void on_liveliness_changed(::dds::core::status::LivelinessChangedStatus const& s) override {
            call([&](DataReader& r) { l_->on_liveliness_changed(r, s); });
        }
        void on_data_available(void*) override {
            call([&](DataReader& r) { l_->on_data_available(r); });
        }
        void on_subscription_matched(
            ::dds::core::status::SubscriptionMatchedStatus const& s) override {
            call([&](DataReader& r) { l_->on_subscription_matched(r, s); });
        }
        void on_sample_lost(::dds::core::status::SampleLostStatus const& s) override {
            call([&](DataReader& r) { l_->on_sample_lost(r, s); });
        }

    private:
        template <typename F>
        void call(F&& f) {
            if (auto d = d_.lock()) {
                DataReader r(d);
                f(r);
            }
        }
        std::weak_ptr<vexa::sub::DataReaderDelegate> d_;
        DataReaderListener<T>* const l_;
    };
};

}  // namespace sub
}  // namespace dds

#endif
