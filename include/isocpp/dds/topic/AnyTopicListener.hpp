#ifndef DDS_TOPIC_ANYTOPICLISTENER_HPP
#define DDS_TOPIC_ANYTOPICLISTENER_HPP

// A topic's listener, part of the participant's listener. The library never calls it.

#include "dds/core/status/Status.hpp"

namespace dds {
namespace topic {

class AnyTopic;

class AnyTopicListener {
public:
    virtual ~AnyTopicListener() = default;
    virtual void on_inconsistent_topic(
        AnyTopic& topic, ::dds::core::status::InconsistentTopicStatus const& status) = 0;
};

class NoOpAnyTopicListener : public virtual AnyTopicListener {
public:
    void on_inconsistent_topic(AnyTopic&,
                               ::dds::core::status::InconsistentTopicStatus const&) override {}
};

}  // namespace topic
}  // namespace dds

#endif
