#pragma once

#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

// A topic as the topic topic announces it: the core's description and nothing more.
struct DiscoveredTopicData {
    vexa::dds::TopicBuiltinTopicData topicData;
};

}  // namespace RTPS
