#pragma once

namespace vexa::dcps {

// The topic listener type that createTopic and Topic::setListener accept and store. The API
// layer passes none, so it has no callbacks.
class TopicEventForwarder {
public:
    virtual ~TopicEventForwarder() = default;
};

}  // namespace vexa::dcps
