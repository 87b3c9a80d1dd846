#ifndef DDS_TOPIC_ANYTOPIC_HPP
#define DDS_TOPIC_ANYTOPIC_HPP

// Topic handles without their sample type: AnyTopicDescription (what a reader reads from) and
// AnyTopic. Each holds one shared holder over a typed topic handle; two handles are equal when
// they stand for the same core topic. A copy keeps the topic alive like the typed handle.

#include <memory>
#include <string>

#include "dds/core/status/Status.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/topic/qos/TopicQos.hpp"

namespace vexa {
namespace topic {
class TopicDelegate;
}
}  // namespace vexa

namespace dds {
namespace topic {

class AnyTopicDescriptionHolder {
public:
    virtual ~AnyTopicDescriptionHolder() = default;
    virtual ::dds::domain::DomainParticipant const& domain_participant() const = 0;
    virtual std::string const& name() const = 0;
    virtual std::string const& type_name() const = 0;
};

class AnyTopicHolder : public AnyTopicDescriptionHolder {
public:
    virtual ::dds::core::status::InconsistentTopicStatus inconsistent_topic_status() = 0;
    virtual qos::TopicQos const& qos() const = 0;
    virtual void qos(qos::TopicQos const& q) = 0;
    // The same for every holder of one core topic.
    virtual void const* identity() const = 0;
    virtual std::shared_ptr<vexa::topic::TopicDelegate> const& topic_delegate() const = 0;
};

class AnyTopicDescription {
public:
    explicit AnyTopicDescription(std::shared_ptr<AnyTopicHolder> const& holder) : holder_(holder) {}
    ::dds::domain::DomainParticipant const& domain_participant() const {
        return holder_->domain_participant();
    }
    std::string const& name() const { return holder_->name(); }
    std::string const& type_name() const { return holder_->type_name(); }
    AnyTopicDescriptionHolder* operator->() const { return holder_.get(); }

private:
    std::shared_ptr<AnyTopicHolder> holder_;
};

class AnyTopic {
public:
    explicit AnyTopic(std::shared_ptr<AnyTopicHolder> const& holder) : holder_(holder) {}
    // From any typed topic handle.
    template <typename TOPIC, typename = decltype(&TOPIC::any_holder)>
    AnyTopic(TOPIC const& topic) : holder_(topic.any_holder()) {}

    ::dds::domain::DomainParticipant const& domain_participant() const {
        return holder_->domain_participant();
    }
    std::string const& name() const { return holder_->name(); }
    std::string const& type_name() const { return holder_->type_name(); }
    ::dds::core::status::InconsistentTopicStatus inconsistent_topic_status() {
        return holder_->inconsistent_topic_status();
    }
    qos::TopicQos const& qos() const { return holder_->qos(); }
    void qos(qos::TopicQos const& q) { holder_->qos(q); }

    // The typed handle, if this is a topic of T.
    template <typename TOPIC>
    TOPIC get() const {
        return TOPIC(holder_->topic_delegate());
    }

    bool operator==(AnyTopic const& other) const {
        return holder_->identity() == other.holder_->identity();
    }
    bool operator!=(AnyTopic const& other) const { return !(*this == other); }
    AnyTopicHolder* operator->() const { return holder_.get(); }
    std::shared_ptr<AnyTopicHolder> const& holder() const { return holder_; }

private:
    std::shared_ptr<AnyTopicHolder> holder_;
};

}  // namespace topic
}  // namespace dds

#endif
