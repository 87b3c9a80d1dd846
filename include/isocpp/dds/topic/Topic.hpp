#ifndef DDS_TOPIC_TOPIC_HPP
#define DDS_TOPIC_TOPIC_HPP

// A topic of sample type T, a type that generated code registered with REGISTER_TOPIC_TRAITS.
// Creating the handle registers T's type support with the participant and creates the topic;
// the topic is deleted when the last handle, and every writer and reader of it, has gone.
// retain() keeps it without a handle; close() closes it and drops the retained copies.

#include <memory>
#include <string>

#include "dds/core/TEntity.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/topic/AnyTopic.hpp"
#include "vexa/TypeSupportTemplate.h"
#include "vexa/core/Exception.hpp"
#include "vexa/core/Retain.hpp"
#include "vexa/topic/TopicDelegate.hpp"

namespace dds {
namespace topic {

template <typename T>
class Topic : public ::dds::core::TEntity<vexa::topic::TopicDelegate> {
public:
    using DataType = T;

    Topic(::dds::core::null_type const& nil)
        : ::dds::core::TEntity<vexa::topic::TopicDelegate>(nil) {}
    explicit Topic(std::shared_ptr<vexa::topic::TopicDelegate> const& d)
        : ::dds::core::TEntity<vexa::topic::TopicDelegate>(d) {}
    // With the participant's default topic QoS.
    Topic(::dds::domain::DomainParticipant const& dp, std::string const& name)
        : Topic(dp, name, topic_type_name<T>::value(), dp.default_topic_qos()) {}
    Topic(::dds::domain::DomainParticipant const& dp, std::string const& name,
          qos::TopicQos const& q)
        : Topic(dp, name, topic_type_name<T>::value(), q) {}
    Topic(::dds::domain::DomainParticipant const& dp, std::string const& name,
          std::string const& type_name, qos::TopicQos const& q)
        : ::dds::core::TEntity<vexa::topic::TopicDelegate>(make(dp, name, type_name, q)) {
        this->impl_->register_api_obj(this->impl_);
    }

    // Closes the topic, then drops every retained copy.
    void close() override {
        this->impl_->close();
        AnyTopic any(*this);
        vexa::core::retain_remove(any);
    }
    // Lists this handle in the retain registry.
    void retain() override {
        this->impl_->retain();
        AnyTopic any(*this);
        vexa::core::retain_add(any);
    }

    std::string const& name() const { return this->impl_->name(); }
    std::string const& type_name() const { return this->impl_->type_name(); }
    ::dds::domain::DomainParticipant const& domain_participant() const {
        return this->impl_->domain_participant();
    }
    qos::TopicQos const& qos() const { return this->impl_->qos(); }
    void qos(qos::TopicQos const& q) { this->impl_->qos(q); }
    ::dds::core::status::InconsistentTopicStatus inconsistent_topic_status() {
        return this->impl_->inconsistent_topic_status();
    }

    std::shared_ptr<AnyTopicHolder> any_holder() const {
        return std::make_shared<Holder>(this->impl_);
    }

private:
    class Holder : public AnyTopicHolder {
    public:
        explicit Holder(std::shared_ptr<vexa::topic::TopicDelegate> const& d) : d_(d) {}
        ::dds::domain::DomainParticipant const& domain_participant() const override {
            return d_->domain_participant();
        }
        std::string const& name() const override { return d_->name(); }
        std::string const& type_name() const override { return d_->type_name(); }
        ::dds::core::status::InconsistentTopicStatus inconsistent_topic_status() override {
            return d_->inconsistent_topic_status();
        }
        qos::TopicQos const& qos() const override { return d_->qos(); }
        void qos(qos::TopicQos const& q) override { d_->qos(q); }
        void const* identity() const override { return d_->topic(); }
        std::shared_ptr<vexa::topic::TopicDelegate> const& topic_delegate() const override {
            return d_;
        }

    private:
        std::shared_ptr<vexa::topic::TopicDelegate> d_;
    };

    static std::shared_ptr<vexa::topic::TopicDelegate> make(
        ::dds::domain::DomainParticipant const& dp, std::string const& name,
        std::string const& type_name, qos::TopicQos const& q) {
        static_assert(is_topic_type<T>::value, "T is registered with REGISTER_TOPIC_TRAITS");
        // One type support per type for the process: its factory goes to the core once.
        static typename topic_type_support<T>::type typeSupport;
        vexa::core::code2exception(typeSupport.register_type(dp->participant(), type_name.c_str()),
                                   "register_type at Topic:" + type_name);
        return std::make_shared<vexa::topic::TopicDelegate>(dp, name, type_name, q);
    }
};

// Not supported: always UnsupportedError.
void ignore(::dds::domain::DomainParticipant const& participant,
            ::dds::core::InstanceHandle const& handle);

}  // namespace topic
}  // namespace dds

#endif
