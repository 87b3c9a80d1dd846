#ifndef VEXA_TOPIC_TOPICDELEGATE_HPP
#define VEXA_TOPIC_TOPICDELEGATE_HPP

// The delegate behind a topic handle. It holds its participant's handle, so the participant
// outlives it, creates its core topic through the participant's delegate and deletes it from
// its destructor. Writer and reader delegates hold this delegate, so the core topic goes only
// after its writers and readers. Every operation throws AlreadyClosedError after close().
//
// The topic's listener is never called (see AnyTopicListener.hpp). No lock of its own.

#include <string>

#include "dds/core/status/Status.hpp"
#include "dds/domain/DomainParticipant.hpp"
#include "dds/topic/qos/TopicQos.hpp"
#include "vexa/core/EntityDelegate.hpp"

namespace vexa {
namespace dcps {
class Topic;
}

namespace topic {

class TopicDelegate : public vexa::core::EntityDelegate {
public:
    // NullReferenceError when the core refuses the topic (an unregistered type, a name already
    // used with another type).
    TopicDelegate(::dds::domain::DomainParticipant const& participant, std::string const& name,
                  std::string const& type_name, ::dds::topic::qos::TopicQos const& q);
    ~TopicDelegate() override;

    void close() override;
    void retain() override {}

    std::string const& name() const;
    std::string const& type_name() const;
    ::dds::domain::DomainParticipant const& domain_participant() const;
    ::dds::topic::qos::TopicQos const& qos() const;
    void qos(::dds::topic::qos::TopicQos const& q);
    ::dds::core::status::InconsistentTopicStatus inconsistent_topic_status();

    vexa::dcps::Topic* topic() const { return topic_; }

private:
    void checkOpen(int line) const;

    ::dds::domain::DomainParticipant participant_;
    std::string name_;
    std::string type_name_;
    ::dds::topic::qos::TopicQos qos_;
    vexa::dcps::Topic* topic_ = nullptr;
};

}  // namespace topic
}  // namespace vexa

#endif
