#ifndef DDS_PUB_DATAWRITER_HPP
#define DDS_PUB_DATAWRITER_HPP

// A writer of samples of type T on a topic of T. Creating the handle creates the writer; it is
// deleted when the last handle (and the retain registry) has let go, after which its publisher
// and topic may go. write() passes the sample straight to the core, which packs it: no copy and
// no allocation in between. retain() keeps the writer without a handle; close() closes it and
// drops the retained copies.

#include <memory>
#include <string>

#include "dds/core/TEntity.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "dds/pub/AnyDataWriter.hpp"
#include "dds/pub/DataWriterListener.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/topic/Topic.hpp"
#include "vexa/core/Retain.hpp"
#include "vexa/pub/DataWriterDelegate.hpp"
#include "vexa/pub/DataWriterHolder.hpp"

namespace dds {
namespace pub {

template <typename T>
class DataWriter : public ::dds::core::TEntity<vexa::pub::DataWriterDelegate> {
    using Base = ::dds::core::TEntity<vexa::pub::DataWriterDelegate>;

public:
    using DataType = T;

    DataWriter(::dds::core::null_type const& nil) : Base(nil) {}
    explicit DataWriter(std::shared_ptr<vexa::pub::DataWriterDelegate> const& d) : Base(d) {}
    // With the publisher's default writer QoS.
    DataWriter(Publisher const& pub, ::dds::topic::Topic<T> const& topic)
        : DataWriter(pub, topic, pub.default_datawriter_qos()) {}
    DataWriter(
        Publisher const& pub, ::dds::topic::Topic<T> const& topic, qos::DataWriterQos const& q,
        DataWriterListener<T>* listener = nullptr,
        ::dds::core::status::StatusMask const& mask = ::dds::core::status::StatusMask(0x7FFF))
        : Base(std::make_shared<vexa::pub::DataWriterDelegate>(pub, topic.delegate(), q)) {
        this->impl_->register_api_obj(this->impl_);
        if (listener != nullptr) {
            this->listener(listener, mask);
        }
    }

    void close() override {
        this->impl_->close();
        AnyDataWriter any(*this);
        vexa::core::retain_remove(any);
    }
    void retain() override {
        this->impl_->retain();
        AnyDataWriter any(*this);
        vexa::core::retain_add(any);
    }

    void write(T const& sample) { this->impl_->write(&sample, ::dds::core::InstanceHandle()); }
    void write(T const& sample, ::dds::core::Time const& timestamp) {
        this->impl_->write(&sample, ::dds::core::InstanceHandle(), timestamp);
    }
    void write(T const& sample, ::dds::core::InstanceHandle const& instance) {
        this->impl_->write(&sample, instance);
    }
    DataWriter& operator<<(T const& sample) {
        write(sample);
        return *this;
    }
    ::dds::core::InstanceHandle register_instance(T const& key) {
        return this->impl_->register_instance(&key);
    }
    DataWriter& unregister_instance(T const& key) {
        this->impl_->unregister_instance(&key, ::dds::core::InstanceHandle());
        return *this;
    }
    DataWriter& dispose_instance(T const& key) {
        this->impl_->dispose(&key, ::dds::core::InstanceHandle());
        return *this;
    }
    ::dds::core::InstanceHandle lookup_instance(T const& key) {
        return this->impl_->lookup_instance(&key);
    }

    qos::DataWriterQos qos() const { return this->impl_->qos(); }
    void qos(qos::DataWriterQos const& q) { this->impl_->qos(q); }
    ::dds::topic::Topic<T> topic() const { return ::dds::topic::Topic<T>(this->impl_->topic()); }
    Publisher const& publisher() const { return this->impl_->publisher(); }
    void wait_for_acknowledgments(::dds::core::Duration const& timeout) {
        this->impl_->wait_for_acknowledgments(timeout);
    }
    void assert_liveliness() { this->impl_->assert_liveliness(); }

    // Installs `l` (null: none) for the statuses of `mask`. The listener is not owned.
    void listener(DataWriterListener<T>* l, ::dds::core::status::StatusMask const& mask) {
        std::unique_ptr<vexa::pub::DataWriterListenerAdapter> adapter;
        if (l != nullptr) {
            adapter.reset(new Adapter(this->impl_, l));
        }
        this->impl_->listener(std::move(adapter), mask);
    }

    ::dds::core::status::PublicationMatchedStatus publication_matched_status() {
        return this->impl_->publication_matched_status();
    }
    ::dds::core::status::LivelinessLostStatus liveliness_lost_status() {
        return this->impl_->liveliness_lost_status();
    }
    ::dds::core::status::OfferedDeadlineMissedStatus offered_deadline_missed_status() {
        return this->impl_->offered_deadline_missed_status();
    }
    ::dds::core::status::OfferedIncompatibleQosStatus offered_incompatible_qos_status() {
        return this->impl_->offered_incompatible_qos_status();
    }

    std::shared_ptr<AnyDataWriterHolder> any_holder() const {
        return std::make_shared<vexa::pub::DataWriterHolder>(this->impl_);
    }

private:
    // Reaches the application's listener with a handle of this writer. It holds the delegate
    // weakly: the delegate owns it (through its forwarder).
    class Adapter : public vexa::pub::DataWriterListenerAdapter {
    public:
        Adapter(std::shared_ptr<vexa::pub::DataWriterDelegate> const& d, DataWriterListener<T>* l)
            : d_(d), l_(l) {}
        void on_offered_deadline_missed(
            ::dds::core::status::OfferedDeadlineMissedStatus const& s) override {
            call([&](DataWriter& w) { l_->on_offered_deadline_missed(w, s); });
        }
        void on_offered_incompatible_qos(
            ::dds::core::status::OfferedIncompatibleQosStatus const& s) override {
            call([&](DataWriter& w) { l_->on_offered_incompatible_qos(w, s); });
        }
        void on_liveliness_lost(::dds::core::status::LivelinessLostStatus const& s) override {
            call([&](DataWriter& w) { l_->on_liveliness_lost(w, s); });
        }
        void on_publication_matched(
            ::dds::core::status::PublicationMatchedStatus const& s) override {
            call([&](DataWriter& w) { l_->on_publication_matched(w, s); });
        }

    private:
        template <typename F>
        void call(F&& f) {
            if (auto d = d_.lock()) {
                DataWriter w(d);
                f(w);
            }
        }
        std::weak_ptr<vexa::pub::DataWriterDelegate> d_;
        DataWriterListener<T>* const l_;
    };
};

}  // namespace pub
}  // namespace dds

#endif
